// Text in a figure: fonts, extents, anchored drawing, fitting and wrapping, numbers.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sightline::figure {

// A rectangle in figure units by its corners (x0, y0) top left and (x1, y1) bottom right.
struct Box {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  double overlap(const Box& o) const {
    const double w = std::min(x1, o.x1) - std::max(x0, o.x0);
    const double h = std::min(y1, o.y1) - std::max(y0, o.y0);
    return w > 0.0 && h > 0.0 ? w * h : 0.0;
  }
};

void setFont(cairo_t* cr, double size, bool bold = false, bool italic = false);

// Width of `text` in the current font; height of the font's capitals and descenders.
double textWidth(cairo_t* cr, const std::string& text);

double textAscent(cairo_t* cr);

double textDescent(cairo_t* cr);

// Draws `text` with its anchor at (x, y): ax 0 left, 0.5 centre, 1 right; ay 0 top,
// 0.5 middle, 1 baseline.
void drawText(cairo_t* cr, const std::string& text, double x, double y, double ax, double ay);

// The box drawText would fill.
Box textBox(cairo_t* cr, const std::string& text, double x, double y, double ax, double ay);

// `text` cut with an ellipsis to fit `width`.
std::string fitText(cairo_t* cr, std::string text, double width);

// Greedy wrap of `line` to `width`: breaks at wide gaps between items first, then at spaces.
std::vector<std::string> wrap(cairo_t* cr, const std::string& line, double width);

std::string number(double v, int decimals);

}  // namespace sightline::figure
