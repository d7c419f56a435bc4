// Text in a figure (Cairo's toy text interface).
#include "plot/figure_text.hpp"

#include <cstdio>

#include "plot/figure_style.hpp"

namespace sightline::figure {

void setFont(cairo_t* cr, double size, bool bold, bool italic) {
  cairo_select_font_face(cr, kFont, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

// Width of `text` in the current font; height of the font's capitals and descenders.
double textWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_advance;
}

double textAscent(cairo_t* cr) {
  cairo_font_extents_t f;
  cairo_font_extents(cr, &f);
  return f.ascent * 0.8;  // capitals, not accents
}

double textDescent(cairo_t* cr) {
  cairo_font_extents_t f;
  cairo_font_extents(cr, &f);
  return f.descent;
}

// Draws `text` with its anchor at (x, y): ax 0 left, 0.5 centre, 1 right; ay 0 top,
// 0.5 middle, 1 baseline.
void drawText(cairo_t* cr, const std::string& text, double x, double y, double ax, double ay) {
  const double w = textWidth(cr, text);
  const double a = textAscent(cr);
  double baseline = y;
  if (ay == 0.0) baseline = y + a;
  else if (ay == 0.5) baseline = y + a / 2.0;
  cairo_move_to(cr, x - ax * w, baseline);
  cairo_show_text(cr, text.c_str());
}

// The box drawText would fill.
Box textBox(cairo_t* cr, const std::string& text, double x, double y, double ax, double ay) {
  const double w = textWidth(cr, text);
  const double a = textAscent(cr);
  double top = y;
  if (ay == 0.5) top = y - a / 2.0;
  else if (ay == 1.0) top = y - a;
  return {x - ax * w, top, x - ax * w + w, top + a + textDescent(cr)};
}

// `text` cut with an ellipsis to fit `width`.
std::string fitText(cairo_t* cr, std::string text, double width) {
  if (textWidth(cr, text) <= width) return text;
  while (!text.empty()) {
    // Drop whole UTF-8 characters.
    do text.pop_back();
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80);
    if (!text.empty()) text.pop_back();
    if (textWidth(cr, text + "\u2026") <= width) return text + "\u2026";
  }
  return text;
}

// Greedy wrap of `line` to `width`: breaks at wide gaps between items first, then at spaces.
std::vector<std::string> wrap(cairo_t* cr, const std::string& line, double width) {
  if (textWidth(cr, line) <= width) return {line};
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < line.size()) {
    std::size_t next = line.find(' ', start);
    if (next == std::string::npos) next = line.size();
    if (next > start) words.push_back(line.substr(start, next - start));
    start = next + 1;
  }
  std::vector<std::string> lines;
  std::string current;
  for (const std::string& word : words) {
    const std::string candidate = current.empty() ? word : current + " " + word;
    if (!current.empty() && textWidth(cr, candidate) > width) {
      lines.push_back(current);
      current = "    " + word;
    } else {
      current = candidate;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

std::string number(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  std::string s = buffer;
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);  // no "-0"
  if (!s.empty() && s[0] == '-') s = "\u2212" + s.substr(1);
  return s;
}

}  // namespace sightline::figure
