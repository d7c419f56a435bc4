// Draws a figure scene with Cairo: one drawing code for PNG, SVG and PDF.
#include "plot/figure.hpp"

#include <cairo.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>

#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"

namespace sightline {

namespace {

// Canvas and panels, figure units (pixels or points).
constexpr double kWidth = 1280.0;
constexpr double kPanelsBottom = 1055.0;      // below the lowest axis titles
constexpr double kLegendRow = 21.0;           // height of a legend row
constexpr double kLegendColumnWidth = 240.0;  // width of a legend column
constexpr double kCaptionLine = 19.0;         // height of a caption line
constexpr double kMargin = 40.0;              // left and right margin of the legend and caption

// Type, figure units.
constexpr const char* kFont = "DejaVu Sans";
constexpr double kTitleSize = 21.0;
constexpr double kSubtitleSize = 13.0;
constexpr double kAxisTitleSize = 13.0;
constexpr double kTickSize = 11.5;
constexpr double kLabelSize = 12.0;
constexpr double kLegendSize = 12.5;
constexpr double kCaptionSize = 13.0;
constexpr double kNoteSize = 13.0;

constexpr double kMarkerRadius = 6.0;         // station markers on the map
constexpr double kPointRadius = 4.0;          // sighting points in the profile and residuals
constexpr double kMinEllipsePixels = 12.0;    // 1-sigma ellipses are enlarged to at least this semi-axis, clear of markers
constexpr double kMaxCommonEllipse = 0.25;    // ellipses share one factor unless it would make one wider than this part of the map
constexpr double kMinResidualAxis = 0.01;     // arcsec: residuals below this are zero, the axis spans at least +-this
constexpr double kBandReach = 4.0;            // residual axes reach at most this many times the largest residual to show a band
constexpr double kFaintRadius = 3.8;          // point-to-point speeds, faint marks
constexpr double kFaintAlpha = 0.55;          // opacity of the faint marks
constexpr double kSpeedOutlier = 5.0;         // point-to-point speeds farther from the model than this many typical deviations lie beyond the frame
constexpr double kPi = std::numbers::pi;

// Okabe and Ito's qualitative palette (without black, used for the trajectory),
// yellow last as it is the faintest on white.
constexpr std::array<std::array<double, 3>, 7> kPalette{{
    {0.0 / 255, 114.0 / 255, 178.0 / 255},    // blue
    {213.0 / 255, 94.0 / 255, 0.0 / 255},     // vermillion
    {0.0 / 255, 158.0 / 255, 115.0 / 255},    // bluish green
    {204.0 / 255, 121.0 / 255, 167.0 / 255},  // reddish purple
    {230.0 / 255, 159.0 / 255, 0.0 / 255},    // orange
    {86.0 / 255, 180.0 / 255, 233.0 / 255},   // sky blue
    {240.0 / 255, 228.0 / 255, 66.0 / 255},   // yellow
}};
constexpr int kMarkerShapes = 5;

// ---------------------------------------------------------------- text

struct Box {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  double overlap(const Box& o) const {
    const double w = std::min(x1, o.x1) - std::max(x0, o.x0);
    const double h = std::min(y1, o.y1) - std::max(y0, o.y0);
    return w > 0.0 && h > 0.0 ? w * h : 0.0;
  }
};

void setFont(cairo_t* cr, double size, bool bold = false, bool italic = false) {
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

// ---------------------------------------------------------------- axes

struct Scale {
  double lo = 0.0, hi = 1.0;        // data
  double pixLo = 0.0, pixHi = 1.0;  // figure units of lo and hi
  double operator()(double v) const { return pixLo + (v - lo) / (hi - lo) * (pixHi - pixLo); }
  double perUnit() const { return std::fabs(pixHi - pixLo) / (hi - lo); }
};

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most `most` parts.
double niceStep(double span, int most) {
  if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
  const double raw = span / most;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * magnitude >= raw * (1.0 - 1e-9)) return m * magnitude;
  return 10.0 * magnitude;
}

int decimalsOf(double step) {
  if (!(step > 0.0)) return 0;
  int d = 0;
  double s = step;
  while (d < 6 && std::fabs(s - std::round(s)) > 1e-6 * std::max(1.0, std::fabs(s))) {
    s *= 10.0;
    ++d;
  }
  return d;
}

std::string number(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  std::string s = buffer;
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);  // no "-0"
  if (!s.empty() && s[0] == '-') s = "\u2212" + s.substr(1);
  return s;
}

std::vector<double> ticks(double lo, double hi, double step) {
  std::vector<double> out;
  if (!(step > 0.0) || !std::isfinite(lo) || !std::isfinite(hi)) return out;
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + 1e-9 * step && out.size() < 100; k += 1.0)
    out.push_back(k * step);
  return out;
}

// A data range with room around it, at least `minSpan` wide.
void padRange(double& lo, double& hi, double fraction, double minSpan) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || lo > hi) lo = 0.0, hi = 0.0;
  double span = hi - lo;
  if (span < minSpan) {
    const double mid = 0.5 * (lo + hi);
    lo = mid - minSpan / 2.0;
    hi = mid + minSpan / 2.0;
    span = minSpan;
  }
  lo -= fraction * span;
  hi += fraction * span;
}

void rectPath(cairo_t* cr, const FigureRect& r) { cairo_rectangle(cr, r.x, r.y, r.width, r.height); }

void clipTo(cairo_t* cr, const FigureRect& r) {
  rectPath(cr, r);
  cairo_clip(cr);
}

void setGrey(cairo_t* cr, double g, double alpha = 1.0) { cairo_set_source_rgba(cr, g, g, g, alpha); }

void setStation(cairo_t* cr, std::size_t s, double alpha = 1.0) {
  double r = 0, g = 0, b = 0;
  stationColour(s, r, g, b);
  cairo_set_source_rgba(cr, r, g, b, alpha);
}

// A filled grey ellipse with a dark outline: centre (cx, cy) in device units,
// rotated by `angle` radians, semi-axes `a` and `b` in device units.
void drawEllipse(cairo_t* cr, double cx, double cy, double angle, double a, double b) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, angle);
  cairo_scale(cr, a, b);
  cairo_new_path(cr);
  cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * kPi);
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 0.35, 0.35, 0.35, 0.25);
  cairo_fill_preserve(cr);
  setGrey(cr, 0.15);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
}

// Ticks, tick labels and the title of the bottom and left axes of a frame.
void drawAxes(cairo_t* cr, const FigureRect& frame, const Scale& x, const Scale& y, const std::string& xTitle,
              const std::string& yTitle, int xTicks, int yTicks, double xMinStep = 0.0) {
  setFont(cr, kTickSize);
  const double xStep = std::max(niceStep(x.hi - x.lo, std::max(xTicks, 1)), xMinStep);
  const double yStep = niceStep(y.hi - y.lo, std::max(yTicks, 1));
  const int xd = decimalsOf(xStep), yd = decimalsOf(yStep);
  cairo_set_line_width(cr, 1.0);
  double widest = 0.0;
  for (double v : xTicks > 0 ? ticks(x.lo, x.hi, xStep) : std::vector<double>{}) {
    const double px = x(v);
    setGrey(cr, 0.2);
    cairo_move_to(cr, px, frame.y + frame.height);
    cairo_line_to(cr, px, frame.y + frame.height + 5.0);
    cairo_stroke(cr);
    drawText(cr, number(v, xd), px, frame.y + frame.height + 8.0, 0.5, 0.0);
  }
  for (double v : yTicks > 0 ? ticks(y.lo, y.hi, yStep) : std::vector<double>{}) {
    const double py = y(v);
    setGrey(cr, 0.2);
    cairo_move_to(cr, frame.x, py);
    cairo_line_to(cr, frame.x - 5.0, py);
    cairo_stroke(cr);
    const std::string label = number(v, yd);
    widest = std::max(widest, textWidth(cr, label));
    drawText(cr, label, frame.x - 8.0, py, 1.0, 0.5);
  }
  setFont(cr, kAxisTitleSize);
  setGrey(cr, 0.1);
  drawText(cr, xTitle, frame.x + frame.width / 2.0, frame.y + frame.height + 28.0, 0.5, 0.0);
  cairo_save(cr);
  cairo_translate(cr, frame.x - 14.0 - widest, frame.y + frame.height / 2.0);
  cairo_rotate(cr, -kPi / 2.0);
  drawText(cr, yTitle, 0.0, 0.0, 0.5, 1.0);
  cairo_restore(cr);
}

// Faint grid lines at the ticks inside a frame.
void drawGridLines(cairo_t* cr, const FigureRect& frame, const Scale& x, const Scale& y, int xTicks, int yTicks,
                   double xMinStep = 0.0) {
  cairo_save(cr);
  clipTo(cr, frame);
  setGrey(cr, 0.9);
  cairo_set_line_width(cr, 1.0);
  for (double v : ticks(x.lo, x.hi, std::max(niceStep(x.hi - x.lo, xTicks), xMinStep))) {
    cairo_move_to(cr, x(v), frame.y);
    cairo_line_to(cr, x(v), frame.y + frame.height);
  }
  for (double v : ticks(y.lo, y.hi, niceStep(y.hi - y.lo, yTicks))) {
    cairo_move_to(cr, frame.x, y(v));
    cairo_line_to(cr, frame.x + frame.width, y(v));
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

void drawFrame(cairo_t* cr, const FigureRect& frame) {
  setGrey(cr, 0.25);
  cairo_set_line_width(cr, 1.0);
  rectPath(cr, frame);
  cairo_stroke(cr);
}

// The panel's title above its frame, followed by `remark` in plain grey type (cut to fit).
void drawPanelTitle(cairo_t* cr, const FigureRect& frame, const std::string& title, const std::string& remark,
                    double above = 8.0) {
  setFont(cr, kAxisTitleSize, true);
  setGrey(cr, 0.1);
  drawText(cr, title, frame.x, frame.y - above, 0.0, 1.0);
  if (remark.empty()) return;
  const double x = frame.x + textWidth(cr, title);
  setFont(cr, kAxisTitleSize);
  setGrey(cr, 0.35);
  drawText(cr, fitText(cr, "  \u2014  " + remark, frame.width - (x - frame.x)), x, frame.y - above, 0.0, 1.0);
}

// A message centred in an empty frame.
void drawEmpty(cairo_t* cr, const FigureRect& frame, std::string message) {
  if (!message.empty()) message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
  setFont(cr, kNoteSize, false, true);
  setGrey(cr, 0.3);
  drawText(cr, fitText(cr, message, frame.width - 24.0), frame.x + frame.width / 2.0, frame.y + frame.height / 2.0,
           0.5, 0.5);
}

// ---------------------------------------------------------------- markers

void markerPath(cairo_t* cr, int shape, double x, double y, double r) {
  switch (shape) {
    case 1:
      cairo_rectangle(cr, x - r * 0.85, y - r * 0.85, 1.7 * r, 1.7 * r);
      break;
    case 2:
      cairo_move_to(cr, x, y - r * 1.15);
      cairo_line_to(cr, x + r, y + r * 0.75);
      cairo_line_to(cr, x - r, y + r * 0.75);
      cairo_close_path(cr);
      break;
    case 3:
      cairo_move_to(cr, x, y - r * 1.2);
      cairo_line_to(cr, x + r, y);
      cairo_line_to(cr, x, y + r * 1.2);
      cairo_line_to(cr, x - r, y);
      cairo_close_path(cr);
      break;
    case 4:
      cairo_move_to(cr, x, y + r * 1.15);
      cairo_line_to(cr, x + r, y - r * 0.75);
      cairo_line_to(cr, x - r, y - r * 0.75);
      cairo_close_path(cr);
      break;
    default:
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, r, 0.0, 2.0 * kPi);
      break;
  }
}

// Filled with a dark outline; or `open`: an outline in the station's colour, so that
// markers of several stations at the same place all stay visible.
void drawStationMarker(cairo_t* cr, std::size_t station, double x, double y, double r, bool open = false) {
  markerPath(cr, stationMarker(station), x, y, r);
  setStation(cr, station);
  if (open) {
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    return;
  }
  cairo_fill_preserve(cr);
  setGrey(cr, 0.1);
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

// Begin: a filled black disc; end: a black ring; other labelled points: a small black diamond.
void drawMarkMarker(cairo_t* cr, const std::string& label, double x, double y) {
  cairo_new_path(cr);
  if (label == "begin") {
    cairo_arc(cr, x, y, 5.5, 0.0, 2.0 * kPi);
    setGrey(cr, 0.0);
    cairo_fill(cr);
  } else if (label == "end") {
    cairo_arc(cr, x, y, 5.5, 0.0, 2.0 * kPi);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_fill_preserve(cr);
    setGrey(cr, 0.0);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
  } else {
    markerPath(cr, 3, x, y, 4.0);
    setGrey(cr, 0.0);
    cairo_fill(cr);
  }
}

void drawMark(cairo_t* cr, const TrackMark& m, double x, double y) {
  drawMarkMarker(cr, m.triangulated ? std::string() : m.label, x, y);
}

// The text beside a mark: its name and height. A triangulated point right on the
// line's end of the same name goes without, so that the end is not named twice.
template <class Position>
std::string markText(const FigureScene& scene, const TrackMark& m, Position position) {
  if (m.triangulated) {
    const auto p = position(m);
    for (const TrackMark& other : scene.marks)
      if (!other.triangulated && other.label == m.label) {
        const auto q = position(other);
        if (std::hypot(p[0] - q[0], p[1] - q[1]) < 12.0) return "";
      }
    return "\u201c" + m.label + "\u201d " + number(m.height, 1) + " km";
  }
  return m.label + " " + number(m.height, 1) + " km";
}

// ---------------------------------------------------------------- labels

// Places text labels next to their points without covering each other or the
// points, inside a frame.
class LabelPlacer {
 public:
  LabelPlacer(cairo_t* cr, const FigureRect& bounds) : cr_(cr), bounds_(bounds) {}

  void occupy(double x, double y, double r) { taken_.push_back({x - r, y - r, x + r, y + r}); }
  void occupy(const Box& box) { taken_.push_back(box); }

  // Finds a place for `text` near (x, y), clear of a marker of radius `r`; draw() draws it.
  void place(const std::string& text, double x, double y, double r, bool bold) {
    setFont(cr_, kLabelSize, bold);
    const double w = textWidth(cr_, text);
    const double h = textAscent(cr_) + textDescent(cr_);
    double bestScore = std::numeric_limits<double>::infinity();
    Box best{};
    int bestRing = 0;
    // Rings of candidate boxes around the point, each box touching its ring from outside
    // in one of sixteen directions; the least covered wins, nearer rings first.
    for (int ring = 0; ring < 6; ++ring) {
      const double d = r + 4.0 + 13.0 * ring;
      for (int k = 0; k < 16; ++k) {
        const double a = k * kPi / 8.0;
        const double c = std::cos(a), s = std::sin(a);
        const double x0 = x + d * c - w * (1.0 - c) / 2.0, y0 = y + d * s - h * (1.0 - s) / 2.0;
        const Box b{x0 - 2.0, y0 - 1.0, x0 + w + 2.0, y0 + h + 1.0};
        double score = 0.0;
        for (const Box& t : taken_) score += t.overlap(b);
        for (const Placed& p : placed_) score += 8.0 * p.box.overlap(b);  // text on text is worst
        // Outside the frame counts heavily too: text must not cross it.
        const double inside = Box{bounds_.x, bounds_.y, bounds_.x + bounds_.width, bounds_.y + bounds_.height}.overlap(b);
        score += 50.0 * ((b.x1 - b.x0) * (b.y1 - b.y0) - inside) + ring * 0.5 + (k % 2) * 0.1;
        if (score < bestScore) {
          bestScore = score;
          best = b;
          bestRing = ring;
        }
      }
    }
    placed_.push_back({best, text, x, y, r, bestRing > 0, bold});
  }

  // Draws the placed labels: every leader line first, so that none crosses a label.
  void draw() {
    cairo_set_line_width(cr_, 0.7);
    setGrey(cr_, 0.45);
    for (const Placed& p : placed_) {
      if (!p.leader) continue;
      const double cx = std::clamp(p.x, p.box.x0, p.box.x1), cy = std::clamp(p.y, p.box.y0, p.box.y1);
      const double d = std::hypot(cx - p.x, cy - p.y);
      if (d <= p.r) continue;
      cairo_move_to(cr_, p.x + (cx - p.x) * p.r / d, p.y + (cy - p.y) * p.r / d);  // from the marker's edge
      cairo_line_to(cr_, cx, cy);
    }
    cairo_stroke(cr_);
    for (const Placed& p : placed_) {
      cairo_set_source_rgba(cr_, 1.0, 1.0, 1.0, 0.8);
      cairo_rectangle(cr_, p.box.x0, p.box.y0, p.box.x1 - p.box.x0, p.box.y1 - p.box.y0);
      cairo_fill(cr_);
      setFont(cr_, kLabelSize, p.bold);
      setGrey(cr_, 0.05);
      drawText(cr_, p.text, p.box.x0 + 2.0, p.box.y0 + 1.0, 0.0, 0.0);
    }
    placed_.clear();
  }

 private:
  struct Placed {
    Box box;
    std::string text;
    double x, y, r;
    bool leader, bold;
  };
  cairo_t* cr_;
  FigureRect bounds_;
  std::vector<Box> taken_;  // markers and lines
  std::vector<Placed> placed_;
};

// ---------------------------------------------------------------- ground map

std::string degreeText(double v, int decimals, bool latitude) {
  const char* hemisphere = latitude ? (v < 0 ? "S" : "N") : (v < 0 ? "W" : "E");
  if (std::fabs(v) < 1e-12 || (!latitude && std::fabs(std::fabs(v) - 180.0) < 1e-9)) hemisphere = "";
  return number(std::fabs(v), decimals) + "\u00b0" + hemisphere;
}

// A step in degrees for about four grid lines over `span` degrees.
double degreeStep(double span) {
  for (double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0})
    if (span / step <= 5.0) return step;
  return 45.0;
}

struct EllipseScale {
  double factor = 1.0;  // drawn enlarged by this factor
  bool drawn = false;
};

std::string ellipseLegend(const FigureScene& scene, const std::vector<EllipseScale>& scales) {
  std::string text = "1\u03c3 ellipse";
  if (scene.ellipses.size() > 1) text += "s";
  bool same = true;
  for (const EllipseScale& s : scales) same = same && (!s.drawn || s.factor == scales.front().factor);
  auto factorText = [](double f) { return f == 1.0 ? std::string("to scale") : "\u00d7" + number(f, 0); };
  if (same) return text + ", " + factorText(scales.front().factor);
  text += ":";
  for (std::size_t i = 0; i < scene.ellipses.size(); ++i)
    text += (i ? ", " : " ") + scene.ellipses[i].label + " " + factorText(scales[i].factor);
  return text;
}

// How much each ellipse is enlarged on a map of `pixelsPerKm` that is `width` wide: by
// powers of ten up to kMinEllipsePixels, all by the same factor when that keeps them small.
std::vector<EllipseScale> ellipseScales(const FigureScene& scene, double pixelsPerKm, double width) {
  std::vector<EllipseScale> scales(scene.ellipses.size());
  double commonFactor = 1.0, largest = 0.0;
  for (std::size_t i = 0; i < scene.ellipses.size(); ++i) {
    const double major = scene.ellipses[i].major * pixelsPerKm;
    if (!std::isfinite(major) || !(major > 0.0)) continue;
    EllipseScale& s = scales[i];
    while (major * s.factor < kMinEllipsePixels && s.factor < 1e9) s.factor *= 10.0;
    s.drawn = true;
    commonFactor = std::max(commonFactor, s.factor);
    largest = std::max(largest, major);
  }
  if (largest * commonFactor <= kMaxCommonEllipse * width)
    for (EllipseScale& s : scales)
      if (s.drawn) s.factor = commonFactor;
  return scales;
}

// The ground map's scales (km on the map to figure units, a km as long east as north),
// its side (km) and the enlargement of each ellipse.
struct MapView {
  Scale x, y;
  double span = 0.0;
  std::vector<EllipseScale> scales;
  std::array<double, 2> px(const MapPoint& p) const { return std::array<double, 2>{x(p.east), y(p.north)}; }
};

// Extent: everything shown, squared so that a km is as long east as north, with room for
// the ellipses as drawn (enlarged when too small to see).
MapView mapView(const FigureRect& f, const FigureScene& scene) {
  double e0 = std::numeric_limits<double>::infinity(), e1 = -e0, n0 = e0, n1 = -e0;
  auto extend = [&](const MapPoint& p, double r = 0.0) {
    if (!std::isfinite(p.east) || !std::isfinite(p.north)) return;
    e0 = std::min(e0, p.east - r), e1 = std::max(e1, p.east + r);
    n0 = std::min(n0, p.north - r), n1 = std::max(n1, p.north + r);
  };
  for (const MapStation& s : scene.stations) extend(s.at);
  for (const MapSightLine& l : scene.sightLines) extend(l.from), extend(l.to);
  for (const MapPoint& p : scene.track) extend(p);
  for (const TrackMark& m : scene.marks) extend(m.at);
  for (const MapEllipse& e : scene.ellipses) extend(e.centre, e.major);
  if (!(e0 <= e1)) e0 = e1 = n0 = n1 = 0.0;
  MapView view;
  double span = std::max({e1 - e0, n1 - n0, 4.0}) * 1.16;
  view.scales = ellipseScales(scene, f.width / span, f.width);
  for (std::size_t i = 0; i < scene.ellipses.size(); ++i)
    if (view.scales[i].drawn) extend(scene.ellipses[i].centre, scene.ellipses[i].major * view.scales[i].factor);
  span = std::max({e1 - e0, n1 - n0, 4.0}) * 1.16;
  const double ce = 0.5 * (e0 + e1), cn = 0.5 * (n0 + n1);
  view.x = Scale{ce - span / 2.0, ce + span / 2.0, f.x, f.x + f.width};
  view.y = Scale{cn - span / 2.0, cn + span / 2.0, f.y + f.height, f.y};
  view.span = span;
  return view;
}

// Latitude and longitude ranges (degrees) of the graticule over the map, and its label decimals.
struct Graticule {
  double latMin = 90.0, latMax = -90.0, lonMin = 1e9, lonMax = -1e9;
  double latStep = 1.0, lonStep = 1.0;
  int latDecimals = 0, lonDecimals = 0;
};

// The graticule of the map's square: steps for a few lines, ranges a little beyond the corners
// so that every line reaches the frame's edges.
Graticule graticuleOf(const FigureScene& scene, const MapView& view) {
  Graticule g;
  for (int i = 0; i <= 8; ++i)
    for (int j = 0; j <= 8; ++j) {
      double lat = 0.0, lon = 0.0;
      fromMap(scene.origin, {view.x.lo + view.span * i / 8.0, view.y.lo + view.span * j / 8.0}, lat, lon);
      // Longitudes about the origin's, so that the antimeridian does not split the range.
      lon = scene.origin.longitude + std::remainder(lon - scene.origin.longitude, 360.0);
      g.latMin = std::min(g.latMin, lat), g.latMax = std::max(g.latMax, lat);
      g.lonMin = std::min(g.lonMin, lon), g.lonMax = std::max(g.lonMax, lon);
    }
  g.latStep = degreeStep(g.latMax - g.latMin), g.lonStep = degreeStep(g.lonMax - g.lonMin);
  const double latPad = 0.05 * (g.latMax - g.latMin), lonPad = 0.05 * (g.lonMax - g.lonMin);
  g.latMin = std::max(g.latMin - latPad, -90.0), g.latMax = std::min(g.latMax + latPad, 90.0);
  g.lonMin -= lonPad, g.lonMax += lonPad;
  g.latDecimals = decimalsOf(g.latStep), g.lonDecimals = decimalsOf(g.lonStep);
  return g;
}

// Labels a graticule line (figure-unit points) where it crosses the top edge (meridians) or
// the right edge (parallels), unless the label would touch one already placed.
void labelGraticuleLine(cairo_t* cr, const FigureRect& f, const Graticule& g, bool meridian, double value,
                        const std::vector<std::array<double, 2>>& points, std::vector<Box>& labels) {
  for (std::size_t i = 1; i < points.size(); ++i) {
    const auto& a = points[i - 1];
    const auto& b = points[i];
    const double edge = meridian ? f.y : f.x + f.width;
    const double va = meridian ? a[1] : a[0], vb = meridian ? b[1] : b[0];
    if ((va - edge) * (vb - edge) > 0.0 || va == vb) continue;
    const double t = (edge - va) / (vb - va);
    const double along = meridian ? a[0] + t * (b[0] - a[0]) : a[1] + t * (b[1] - a[1]);
    if (meridian && (along < f.x || along > f.x + f.width)) continue;
    if (!meridian && (along < f.y || along > f.y + f.height)) continue;
    const double wrapped = meridian ? std::remainder(value, 360.0) : value;
    const std::string text = degreeText(wrapped, meridian ? g.lonDecimals : g.latDecimals, !meridian);
    const double lx = meridian ? along : f.x + f.width + 5.0, ly = meridian ? f.y - 4.0 : along;
    const Box box = textBox(cr, text, lx, ly, meridian ? 0.5 : 0.0, meridian ? 1.0 : 0.5);
    bool clear = true;
    for (const Box& other : labels) clear = clear && other.overlap(box) == 0.0;
    if (!clear) break;
    labels.push_back(box);
    setGrey(cr, 0.45);
    drawText(cr, text, lx, ly, meridian ? 0.5 : 0.0, meridian ? 1.0 : 0.5);
    break;
  }
}

// Latitude and longitude grid (degrees), labelled where it leaves the frame (longitudes on top, latitudes on the right).
void drawGraticule(cairo_t* cr, const FigureRect& f, const FigureScene& scene, const MapView& view) {
  const Graticule g = graticuleOf(scene, view);
  constexpr int kSamples = 48;
  setFont(cr, kTickSize);
  std::vector<Box> labels;
  auto drawLine = [&](bool meridian, double value) {
    std::vector<std::array<double, 2>> points;
    for (int i = 0; i <= kSamples; ++i) {
      const double t = static_cast<double>(i) / kSamples;
      const double lat = meridian ? g.latMin + t * (g.latMax - g.latMin) : value;
      const double lon = meridian ? value : g.lonMin + t * (g.lonMax - g.lonMin);
      points.push_back(view.px(toMap(scene.origin, lat, lon)));
    }
    cairo_save(cr);
    clipTo(cr, f);
    setGrey(cr, 0.86);
    cairo_set_line_width(cr, 0.8);
    for (std::size_t i = 0; i < points.size(); ++i)
      (i ? cairo_line_to : cairo_move_to)(cr, points[i][0], points[i][1]);
    cairo_stroke(cr);
    cairo_restore(cr);
    labelGraticuleLine(cr, f, g, meridian, value, points, labels);
  };
  for (double lon : ticks(g.lonMin, g.lonMax, g.lonStep)) drawLine(true, lon);
  for (double lat : ticks(g.latMin, g.latMax, g.latStep)) drawLine(false, lat);
}

// Lines of sight on the map: solid to the ground below a point, dashed along an azimuth.
void drawMapSightLines(cairo_t* cr, const FigureScene& scene, const MapView& view) {
  for (const MapSightLine& l : scene.sightLines) {
    const auto a = view.px(l.from), b = view.px(l.to);
    setStation(cr, l.station, l.toPoint ? 0.55 : 0.8);
    cairo_set_line_width(cr, l.toPoint ? 0.9 : 1.2);
    if (!l.toPoint) {
      const double dash[] = {5.0, 4.0};
      cairo_set_dash(cr, dash, 2, 0.0);
    }
    cairo_move_to(cr, a[0], a[1]);
    cairo_line_to(cr, b[0], b[1]);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    if (l.toPoint && scene.track.empty()) {  // without a track, mark the ground below the point
      setStation(cr, l.station);
      cairo_arc(cr, b[0], b[1], 2.5, 0.0, 2.0 * kPi);
      cairo_fill(cr);
    }
  }
}

// 1-sigma ellipses, enlarged by a power of ten when too small to see.
void drawMapEllipses(cairo_t* cr, const FigureScene& scene, const MapView& view) {
  for (std::size_t i = 0; i < scene.ellipses.size(); ++i) {
    if (!view.scales[i].drawn) continue;
    const MapEllipse& e = scene.ellipses[i];
    const auto c = view.px(e.centre);
    drawEllipse(cr, c[0], c[1], -e.angle, e.major * view.x.perUnit() * view.scales[i].factor,
                std::max(e.minor * view.x.perUnit() * view.scales[i].factor, 0.3));
  }
}

// Ground track with an arrow at its middle for the direction of flight.
void drawGroundTrack(cairo_t* cr, const FigureScene& scene, const MapView& view) {
  if (scene.track.size() < 2) return;
  setGrey(cr, 0.0);
  cairo_set_line_width(cr, 2.6);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (std::size_t i = 0; i < scene.track.size(); ++i) {
    const auto p = view.px(scene.track[i]);
    (i ? cairo_line_to : cairo_move_to)(cr, p[0], p[1]);
  }
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  const std::size_t mid = scene.track.size() / 2;
  const auto a = view.px(scene.track.front()), b = view.px(scene.track.back());
  const auto m = view.px(scene.track[mid]);
  const double dx = b[0] - a[0], dy = b[1] - a[1], len = std::hypot(dx, dy);
  if (len > 24.0) {
    const double ux = dx / len, uy = dy / len, size = 13.0;
    const double tipX = m[0] + ux * size * 0.6, tipY = m[1] + uy * size * 0.6;
    cairo_move_to(cr, tipX, tipY);
    cairo_line_to(cr, tipX - ux * size - uy * size * 0.55, tipY - uy * size + ux * size * 0.55);
    cairo_line_to(cr, tipX - ux * size + uy * size * 0.55, tipY - uy * size - ux * size * 0.55);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
}

// Where the scale bar of `length` (figure units) goes: the emptiest corner; returns its left end (x0, y0).
Box scaleBarPlace(const FigureRect& f, const FigureScene& scene, const MapView& view, double length) {
  double bestCrowd = std::numeric_limits<double>::infinity();
  Box bar{};
  for (int corner = 0; corner < 4; ++corner) {  // bottom left, bottom right, top left, top right
    const bool left = corner % 2 == 0, bottom = corner < 2;
    const double bx = left ? f.x + 16.0 : f.x + f.width - 16.0 - length;
    const double by = bottom ? f.y + f.height - 18.0 : f.y + 34.0;
    const Box box{bx - 6.0 - 20.0, by - 22.0 - 20.0, bx + length + 6.0 + 20.0, by + 8.0 + 20.0};  // with a margin
    auto in = [&](const MapPoint& q) {
      const auto p = view.px(q);
      return p[0] >= box.x0 && p[0] <= box.x1 && p[1] >= box.y0 && p[1] <= box.y1 ? 1.0 : 0.0;
    };
    double crowd = 0.0;
    for (const MapStation& st : scene.stations) crowd += 10.0 * in(st.at);
    for (const TrackMark& m : scene.marks) crowd += 10.0 * in(m.at);
    for (const MapPoint& q : scene.track) crowd += in(q);
    for (const MapSightLine& l : scene.sightLines)
      for (double t : {0.0, 0.25, 0.5, 0.75, 1.0})
        crowd += 0.5 * in({l.from.east + t * (l.to.east - l.from.east), l.from.north + t * (l.to.north - l.from.north)});
    if (crowd < bestCrowd) {
      bestCrowd = crowd;
      bar = {bx, by, bx + length, by};
    }
  }
  return bar;
}

// Scale bar (a round number of km) in the emptiest corner, under the stations; labels keep clear of it.
void drawScaleBar(cairo_t* cr, const FigureRect& f, const FigureScene& scene, const MapView& view,
                  LabelPlacer& placer) {
  const double km = niceStep(view.span, 6);
  const double length = km * view.x.perUnit();
  const Box bar = scaleBarPlace(f, scene, view, length);
  const double bx = bar.x0, by = bar.y0;
  setFont(cr, kTickSize);
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.85);
  cairo_rectangle(cr, bx - 6.0, by - 22.0, length + 12.0, 30.0);
  cairo_fill(cr);
  setGrey(cr, 0.1);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, bx, by - 3.0, length, 5.0);
  cairo_stroke(cr);
  cairo_rectangle(cr, bx, by - 3.0, length / 2.0, 5.0);
  cairo_fill(cr);
  drawText(cr, number(km, decimalsOf(km)) + " km", bx + length / 2.0, by - 7.0, 0.5, 1.0);
  placer.occupy(Box{bx - 6.0, by - 22.0, bx + length + 6.0, by + 8.0});
}

// Stations and marks on the map, then their labels clear of everything.
void drawMapMarkers(cairo_t* cr, const FigureScene& scene, const MapView& view, LabelPlacer& placer) {
  for (const MapStation& s : scene.stations) {
    const auto p = view.px(s.at);
    drawStationMarker(cr, s.station, p[0], p[1], kMarkerRadius);
    placer.occupy(p[0], p[1], kMarkerRadius + 1.0);
  }
  for (bool triangulated : {true, false})  // the line's ends on top
    for (const TrackMark& m : scene.marks) {
      if (m.triangulated != triangulated) continue;
      const auto p = view.px(m.at);
      drawMark(cr, m, p[0], p[1]);
      placer.occupy(p[0], p[1], 6.0);
    }
  for (const MapPoint& q : scene.track) {
    const auto p = view.px(q);
    placer.occupy(p[0], p[1], 2.0);
  }
  for (const MapStation& s : scene.stations) {
    const auto p = view.px(s.at);
    placer.place(s.name.empty() ? "station " + std::to_string(s.station + 1) : s.name, p[0], p[1], kMarkerRadius, true);
  }
  const auto mapPosition = [&](const TrackMark& m) { return view.px(m.at); };
  for (const TrackMark& m : scene.marks) {
    const std::string text = markText(scene, m, mapPosition);
    if (text.empty()) continue;
    const auto p = view.px(m.at);
    placer.place(text, p[0], p[1], 6.0, false);
  }
  placer.draw();
}

// Draws the ground map; returns the scales of its ellipses.
std::vector<EllipseScale> drawGround(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.ground;
  const MapView view = mapView(f, scene);
  drawPanelTitle(cr, f, "Ground track", scene.mapNote, 26.0);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  rectPath(cr, f);
  cairo_fill(cr);
  drawGraticule(cr, f, scene, view);

  cairo_save(cr);
  clipTo(cr, f);
  drawMapSightLines(cr, scene, view);
  drawMapEllipses(cr, scene, view);
  drawGroundTrack(cr, scene, view);
  LabelPlacer placer(cr, f);
  if (!scene.stations.empty()) drawScaleBar(cr, f, scene, view, placer);
  drawMapMarkers(cr, scene, view, placer);
  cairo_restore(cr);
  if (scene.stations.empty()) drawEmpty(cr, f, scene.mapNote);
  drawFrame(cr, f);
  const int mapTicks = scene.stations.empty() ? 0 : 6;
  drawAxes(cr, f, view.x, view.y, "east of " + scene.mapOrigin + " (km)", "north of " + scene.mapOrigin + " (km)",
           mapTicks, mapTicks);
  return view.scales;
}

// ---------------------------------------------------------------- height profile

void drawProfile(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.profile;
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
  auto extend = [&](double d, double h) {
    if (!std::isfinite(d) || !std::isfinite(h)) return;
    x0 = std::min(x0, d), x1 = std::max(x1, d), y0 = std::min(y0, h), y1 = std::max(y1, h);
  };
  for (const ProfilePoint& p : scene.profile) extend(p.distance, p.height);
  for (const ProfilePoint& p : scene.fittedLine) extend(p.distance, p.height);
  for (const TrackMark& m : scene.marks) extend(m.distance, m.height);
  const bool empty = !(x0 <= x1);
  if (empty) x0 = x1 = 0.0, y0 = y1 = 50.0;
  padRange(x0, x1, 0.06, 1.0);
  padRange(y0, y1, 0.1, 1.0);
  const Scale x{x0, x1, f.x, f.x + f.width};
  const Scale y{y0, y1, f.y + f.height, f.y};

  drawPanelTitle(cr, f, "Height profile", scene.profileNote);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  rectPath(cr, f);
  cairo_fill(cr);
  if (!empty) drawGridLines(cr, f, x, y, 8, 5);
  cairo_save(cr);
  clipTo(cr, f);
  if (scene.fittedLine.size() >= 2) {
    setGrey(cr, 0.0);
    cairo_set_line_width(cr, 1.6);
    for (std::size_t i = 0; i < scene.fittedLine.size(); ++i)
      (i ? cairo_line_to : cairo_move_to)(cr, x(scene.fittedLine[i].distance), y(scene.fittedLine[i].height));
    cairo_stroke(cr);
  }
  LabelPlacer placer(cr, f);
  for (const ProfilePoint& p : scene.profile) {
    drawStationMarker(cr, p.station, x(p.distance), y(p.height), kPointRadius, true);
    placer.occupy(x(p.distance), y(p.height), kPointRadius);
  }
  for (bool triangulated : {true, false})
    for (const TrackMark& m : scene.marks) {
      if (m.triangulated != triangulated) continue;
      drawMark(cr, m, x(m.distance), y(m.height));
      placer.occupy(x(m.distance), y(m.height), 6.0);
    }
  for (const ProfilePoint& p : scene.fittedLine) placer.occupy(x(p.distance), y(p.height), 2.0);
  const auto profilePosition = [&](const TrackMark& m) { return std::array<double, 2>{x(m.distance), y(m.height)}; };
  for (const TrackMark& m : scene.marks) {
    const std::string text = markText(scene, m, profilePosition);
    if (!text.empty()) placer.place(text, x(m.distance), y(m.height), 6.0, false);
  }
  placer.draw();
  cairo_restore(cr);
  if (empty) drawEmpty(cr, f, scene.profileNote);
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, scene.profileAxis, "height (km)", empty ? 0 : 8, empty ? 0 : 5);
}

// ---------------------------------------------------------------- residuals

// Whether every residual has the same sigma: then one band serves all stations.
bool sameSigma(const FigureScene& scene) {
  for (const ResidualPoint& p : scene.residuals)
    if (std::fabs(p.sigma - scene.residuals.front().sigma) > 1e-9 * std::max(1.0, p.sigma)) return false;
  return true;
}

void drawResiduals(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.residuals;
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, largest = 0.0, widest = 0.0;
  for (const ResidualPoint& p : scene.residuals) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    if (std::isfinite(p.residual)) largest = std::max(largest, std::fabs(p.residual));
    if (std::isfinite(p.sigma)) widest = std::max(widest, p.sigma);
  }
  if (!(x0 <= x1)) x0 = x1 = 0.0;
  padRange(x0, x1, 0.05, scene.residualsAgainstTime ? 0.2 : 2.0);
  // Room for the residuals first: the bands show whole unless they are far wider
  // than every residual, which would flatten them onto the zero line.
  double most = std::max({1.25 * largest, std::min(1.15 * widest, kBandReach * largest), kMinResidualAxis});
  if (!(most > 0.0) || !std::isfinite(most)) most = widest > 0.0 ? 1.15 * widest : 1.0;
  const bool bandCut = widest > most;
  const Scale x{x0, x1, f.x, f.x + f.width};
  const Scale y{-most, most, f.y + f.height, f.y};

  drawPanelTitle(cr, f, "Residuals",
                 scene.residualNote.empty() ? "+ right of the track, facing the direction of flight" : scene.residualNote);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  rectPath(cr, f);
  cairo_fill(cr);
  const bool empty = scene.residuals.empty();
  const double xMinStep = scene.residualsAgainstTime ? 0.0 : 1.0;  // sighting numbers are whole
  if (!empty) drawGridLines(cr, f, x, y, 8, 6, xMinStep);
  cairo_save(cr);
  clipTo(cr, f);
  // Each station's +-1 sigma band, following its sightings' sigmas.
  std::vector<std::size_t> stations;
  for (const ResidualPoint& p : scene.residuals)
    if (std::find(stations.begin(), stations.end(), p.station) == stations.end()) stations.push_back(p.station);
  const double pad = 0.012 * (x1 - x0);
  const bool oneBand = sameSigma(scene);
  if (oneBand) stations.resize(std::min<std::size_t>(stations.size(), 1));
  for (std::size_t s : stations) {
    std::vector<ResidualPoint> own;
    for (const ResidualPoint& p : scene.residuals)
      if (oneBand || p.station == s) own.push_back(p);
    std::stable_sort(own.begin(), own.end(), [](const ResidualPoint& a, const ResidualPoint& b) { return a.x < b.x; });
    std::vector<std::array<double, 2>> upper;
    for (std::size_t i = 0; i < own.size(); ++i) {
      const double xs = own[i].x - (i == 0 ? pad : 0.0);
      upper.push_back({xs, own[i].sigma});
      if (i + 1 == own.size()) upper.push_back({own[i].x + pad, own[i].sigma});
    }
    if (oneBand && !own.empty()) upper = {{x.lo, own.front().sigma}, {x.hi, own.front().sigma}};
    cairo_new_path(cr);
    for (std::size_t i = 0; i < upper.size(); ++i) (i ? cairo_line_to : cairo_move_to)(cr, x(upper[i][0]), y(upper[i][1]));
    for (std::size_t i = upper.size(); i-- > 0;) cairo_line_to(cr, x(upper[i][0]), y(-upper[i][1]));
    cairo_close_path(cr);
    // A band wider than the frame everywhere would only tint it: left out (a note says so).
    bool seen = false;
    for (const auto& u : upper) seen = seen || u[1] <= y.hi;
    if (!seen) {
      cairo_new_path(cr);
      continue;
    }
    if (oneBand) setGrey(cr, 0.5, 0.16);
    else setStation(cr, s, 0.10);
    cairo_fill(cr);
    if (oneBand) setGrey(cr, 0.4, 0.8);
    else setStation(cr, s, 0.75);
    cairo_set_line_width(cr, 1.0);
    const double dash[] = {4.0, 3.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    for (double sign : {1.0, -1.0}) {
      for (std::size_t i = 0; i < upper.size(); ++i)
        (i ? cairo_line_to : cairo_move_to)(cr, x(upper[i][0]), y(sign * upper[i][1]));
      cairo_stroke(cr);
    }
    cairo_set_dash(cr, nullptr, 0, 0.0);
  }
  if (!empty) {
    setGrey(cr, 0.35);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, f.x, y(0.0));
    cairo_line_to(cr, f.x + f.width, y(0.0));
    cairo_stroke(cr);
  }
  for (const ResidualPoint& p : scene.residuals) drawStationMarker(cr, p.station, x(p.x), y(p.residual), kPointRadius, true);
  cairo_restore(cr);
  if (scene.residuals.empty()) drawEmpty(cr, f, scene.residualNote);
  if (bandCut) {
    setFont(cr, kTickSize, false, true);
    const std::string text = "\u00b11\u03c3 = " + number(widest, widest < 10.0 ? 1 : 0) + " arcsec, beyond the frame";
    const Box b = textBox(cr, text, f.x + f.width - 6.0, f.y + 5.0, 1.0, 0.0);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.85);
    cairo_rectangle(cr, b.x0 - 3.0, b.y0 - 1.0, b.x1 - b.x0 + 6.0, b.y1 - b.y0 + 2.0);
    cairo_fill(cr);
    setGrey(cr, 0.3);
    drawText(cr, text, f.x + f.width - 6.0, f.y + 5.0, 1.0, 0.0);
  }
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, scene.residualsAgainstTime ? "time since the first sighting (s)" : "sighting number",
           "residual (arcsec)", empty ? 0 : 8, empty ? 0 : 6, xMinStep);
}

// ---------------------------------------------------------------- lag and speed against time

// The data range (lo, hi) of a panel against time, padded; `empty` when nothing was added.
struct Extent {
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  }
  bool empty() const { return !(x0 <= x1); }
  // Scales over `f`, with room around the data (`minY`: least span of the values).
  std::array<Scale, 2> scales(const FigureRect& f, double minY) {
    if (empty()) x0 = x1 = 0.0, y0 = y1 = 0.0;
    padRange(x0, x1, 0.05, 0.1);
    padRange(y0, y1, 0.1, minY);
    return {Scale{x0, x1, f.x, f.x + f.width}, Scale{y0, y1, f.y + f.height, f.y}};
  }
};

// A white frame with its title, and grid lines unless empty.
void startTimePanel(cairo_t* cr, const FigureRect& f, const Scale& x, const Scale& y, const std::string& title,
                    const std::string& remark, bool empty) {
  drawPanelTitle(cr, f, title, remark);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  rectPath(cr, f);
  cairo_fill(cr);
  if (!empty) drawGridLines(cr, f, x, y, 8, 5);
}

// A horizontal line at `value` across the frame (zero lag).
void drawLevel(cairo_t* cr, const FigureRect& f, const Scale& y, double value) {
  setGrey(cr, 0.35);
  cairo_set_line_width(cr, 1.0);
  cairo_move_to(cr, f.x, y(value));
  cairo_line_to(cr, f.x + f.width, y(value));
  cairo_stroke(cr);
}

// Lag (m) of each timed sighting against its time from the begin (s), in its station's marker.
void drawLag(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.lag;
  Extent extent;
  for (const TimePoint& p : scene.lags) extent.add(p.time, p.value);
  const bool empty = extent.empty();
  if (!empty) extent.add(extent.x0, 0.0);  // zero lag always in view
  const auto [x, y] = extent.scales(f, 10.0);
  startTimePanel(cr, f, x, y, "Lag",
                 scene.lagNote.empty() ? "length minus the initial speed's, per station" : scene.lagNote, empty);
  cairo_save(cr);
  clipTo(cr, f);
  if (!empty) drawLevel(cr, f, y, 0.0);
  for (const TimePoint& p : scene.lags) drawStationMarker(cr, p.station, x(p.time), y(p.value), kPointRadius, true);
  cairo_restore(cr);
  if (empty) drawEmpty(cr, f, scene.lagNote);
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, "time from begin (s)", "lag (m)", empty ? 0 : 8, empty ? 0 : 5);
}

// The model's speed (km/s) at `t` (s), by straight lines between its samples.
double speedAt(const std::vector<SpeedSample>& model, double t) {
  if (model.empty()) return NAN;
  if (t <= model.front().time) return model.front().speed;
  for (std::size_t i = 1; i < model.size(); ++i)
    if (t <= model[i].time) {
      const SpeedSample &a = model[i - 1], &b = model[i];
      return b.time > a.time ? a.speed + (t - a.time) / (b.time - a.time) * (b.speed - a.speed) : b.speed;
    }
  return model.back().speed;
}

// Whether each point-to-point speed is near enough the model to set the frame: within
// kSpeedOutlier times the median distance from it (km/s), so that a few wild pairs of
// close sightings do not flatten the curve.
std::vector<bool> nearTheModel(const FigureScene& scene) {
  std::vector<double> off;
  for (const TimePoint& p : scene.pointSpeeds) off.push_back(std::fabs(p.value - speedAt(scene.speedModel, p.time)));
  std::vector<double> sorted = off;
  std::sort(sorted.begin(), sorted.end());
  const double typical = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
  std::vector<bool> near;
  for (double d : off) near.push_back(std::isfinite(d) && d <= std::max(kSpeedOutlier * typical, 0.5));
  return near;
}

// The model's 1-sigma band, grey with dashed edges.
void drawSpeedBand(cairo_t* cr, const std::vector<SpeedSample>& band, const Scale& x, const Scale& y) {
  if (band.size() < 2) return;
  cairo_new_path(cr);
  for (std::size_t i = 0; i < band.size(); ++i) (i ? cairo_line_to : cairo_move_to)(cr, x(band[i].time), y(band[i].speed + band[i].sigma));
  for (std::size_t i = band.size(); i-- > 0;) cairo_line_to(cr, x(band[i].time), y(band[i].speed - band[i].sigma));
  cairo_close_path(cr);
  setGrey(cr, 0.5, 0.2);
  cairo_fill(cr);
  setGrey(cr, 0.4, 0.8);
  cairo_set_line_width(cr, 1.0);
  const double dash[] = {4.0, 3.0};
  cairo_set_dash(cr, dash, 2, 0.0);
  for (double sign : {1.0, -1.0}) {
    for (std::size_t i = 0; i < band.size(); ++i)
      (i ? cairo_line_to : cairo_move_to)(cr, x(band[i].time), y(band[i].speed + sign * band[i].sigma));
    cairo_stroke(cr);
  }
  cairo_set_dash(cr, nullptr, 0, 0.0);
}

// A faint outline in the station's colour and marker: a point-to-point speed.
void drawFaintMark(cairo_t* cr, std::size_t station, double px, double py) {
  cairo_new_path(cr);
  markerPath(cr, stationMarker(station), px, py, kFaintRadius);
  setStation(cr, station, kFaintAlpha);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
}

// A remark in the frame's top right corner on a white ground.
void drawCornerRemark(cairo_t* cr, const FigureRect& f, const std::string& text) {
  setFont(cr, kTickSize, false, true);
  const Box b = textBox(cr, text, f.x + f.width - 6.0, f.y + 5.0, 1.0, 0.0);
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.85);
  cairo_rectangle(cr, b.x0 - 3.0, b.y0 - 1.0, b.x1 - b.x0 + 6.0, b.y1 - b.y0 + 2.0);
  cairo_fill(cr);
  setGrey(cr, 0.3);
  drawText(cr, text, f.x + f.width - 6.0, f.y + 5.0, 1.0, 0.0);
}

// Speed (km/s) against time from the begin (s): the model's band, the point-to-point speeds
// faint in their stations' colours, the model's curve on top.
void drawSpeed(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.speed;
  Extent extent;
  for (const SpeedSample& s : scene.speedModel) extent.add(s.time, s.speed);
  for (const SpeedSample& s : scene.speedBand) extent.add(s.time, s.speed - s.sigma), extent.add(s.time, s.speed + s.sigma);
  const std::vector<bool> near = nearTheModel(scene);
  std::size_t beyond = 0;
  for (std::size_t i = 0; i < scene.pointSpeeds.size(); ++i) {
    if (near[i]) extent.add(scene.pointSpeeds[i].time, scene.pointSpeeds[i].value);
    else ++beyond;
  }
  const bool empty = extent.empty();
  const auto [x, y] = extent.scales(f, 0.5);
  startTimePanel(cr, f, x, y, "Speed",
                 scene.speedNote.empty() ? "model \u00b11\u03c3, point to point faint" : scene.speedNote, empty);
  cairo_save(cr);
  clipTo(cr, f);
  drawSpeedBand(cr, scene.speedBand, x, y);
  for (const TimePoint& p : scene.pointSpeeds) drawFaintMark(cr, p.station, x(p.time), y(p.value));
  setGrey(cr, 0.0);
  cairo_set_line_width(cr, 1.8);
  for (std::size_t i = 0; i < scene.speedModel.size(); ++i)
    (i ? cairo_line_to : cairo_move_to)(cr, x(scene.speedModel[i].time), y(scene.speedModel[i].speed));
  cairo_stroke(cr);
  cairo_restore(cr);
  if (empty) drawEmpty(cr, f, scene.speedNote);
  if (beyond > 0)
    drawCornerRemark(cr, f, std::to_string(beyond) + (beyond == 1 ? " point-to-point speed" : " point-to-point speeds") +
                                " beyond the frame");
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, "time from begin (s)", "speed (km/s)", empty ? 0 : 8, empty ? 0 : 5);
}

// ---------------------------------------------------------------- legend and caption

enum class LegendKind { Station, Track, Begin, End, SightLine, Ray, Ellipse, Fitted, Band, Point, SpeedModel, PointSpeed };

struct LegendEntry {
  LegendKind kind;
  std::size_t station = 0;
  std::string text;
  std::string extra;  // shown after the text when there is room
};

// Where each legend entry goes (slot = row * columns + column): the stations, then the
// other entries from a fresh row; the ellipse entry, the longest, takes two columns.
// Returns the number of rows.
std::size_t legendSlots(const std::vector<LegendEntry>& entries, int columns, std::vector<std::size_t>& slots) {
  const std::size_t c = static_cast<std::size_t>(columns);
  slots.clear();
  std::size_t next = 0;
  bool stations = true;
  for (const LegendEntry& e : entries) {
    if (stations && e.kind != LegendKind::Station) {
      stations = false;
      next = (next + c - 1) / c * c;
    }
    const std::size_t width = e.kind == LegendKind::Ellipse && c > 1 ? 2 : 1;
    if (next % c + width > c) next = (next / c + 1) * c;
    slots.push_back(next);
    next += width;
  }
  return (next + c - 1) / c;
}

std::vector<LegendEntry> legendEntries(const FigureScene& scene, const std::vector<EllipseScale>& scales,
                                       const Event* event) {
  std::vector<LegendEntry> entries;
  for (const MapStation& s : scene.stations) {
    std::string text = s.name.empty() ? "station " + std::to_string(s.station + 1) : s.name;
    std::string count;
    if (event && s.station < event->stations.size()) {
      const std::size_t n = event->stations[s.station].sightings.size();
      count = " (" + std::to_string(n) + (n == 1 ? " sighting)" : " sightings)");
    }
    entries.push_back({LegendKind::Station, s.station, text, count});
  }
  if (!scene.track.empty()) entries.push_back({LegendKind::Track, 0, "ground track, direction of flight", ""});
  for (const TrackMark& m : scene.marks) {
    if (m.triangulated) continue;
    if (m.label == "begin") entries.push_back({LegendKind::Begin, 0, "begin (height)", ""});
    if (m.label == "end") entries.push_back({LegendKind::End, 0, "end (height)", ""});
  }
  if (std::any_of(scene.marks.begin(), scene.marks.end(), [](const TrackMark& m) { return m.triangulated; }))
    entries.push_back({LegendKind::Point, 0, "point triangulated from its label", ""});
  if (std::any_of(scene.sightLines.begin(), scene.sightLines.end(), [](const MapSightLine& l) { return l.toPoint; }))
    entries.push_back({LegendKind::SightLine, 0, "lines of sight to the points", ""});
  if (std::any_of(scene.sightLines.begin(), scene.sightLines.end(), [](const MapSightLine& l) { return !l.toPoint; }))
    entries.push_back({LegendKind::Ray, 0, "azimuth without a point", ""});
  if (!scene.fittedLine.empty()) entries.push_back({LegendKind::Fitted, 0, "trajectory line (profile)", ""});
  if (!scene.residuals.empty())
    entries.push_back({LegendKind::Band, 0,
                       sameSigma(scene) ? "\u00b11\u03c3 of the sightings (residuals)" : "\u00b11\u03c3 of a station (residuals)", ""});
  if (!scene.speedModel.empty())
    entries.push_back({LegendKind::SpeedModel, 0,
                       scene.speedBand.empty() ? "speed model (speed)" : "speed model, ±1σ band (speed)", ""});
  if (!scene.pointSpeeds.empty()) entries.push_back({LegendKind::PointSpeed, 0, "point-to-point speeds (speed)", ""});
  if (!scene.ellipses.empty() && !scales.empty()) entries.push_back({LegendKind::Ellipse, 0, ellipseLegend(scene, scales), ""});
  return entries;
}

void drawLegend(cairo_t* cr, const FigureLayout& layout, const std::vector<LegendEntry>& entries) {
  const FigureRect& r = layout.legend;
  setFont(cr, kLegendSize);
  const double columnWidth = r.width / layout.legendColumns;
  const std::size_t columns = static_cast<std::size_t>(layout.legendColumns);
  std::vector<std::size_t> slots;
  legendSlots(entries, layout.legendColumns, slots);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const LegendEntry& e = entries[i];
    const std::size_t slot = slots[i];
    const double span = e.kind == LegendKind::Ellipse && columns > 1 ? 2.0 : 1.0;
    const double cx = r.x + (slot % columns) * columnWidth;
    const double cy = r.y + (slot / columns) * kLegendRow + kLegendRow / 2.0;
    const double sx = cx + 12.0;  // symbol centre
    cairo_new_path(cr);
    switch (e.kind) {
      case LegendKind::Station:
        drawStationMarker(cr, e.station, sx, cy, kMarkerRadius);
        break;
      case LegendKind::Track:
        setGrey(cr, 0.0);
        cairo_set_line_width(cr, 2.6);
        cairo_move_to(cr, sx - 11.0, cy);
        cairo_line_to(cr, sx + 4.0, cy);
        cairo_stroke(cr);
        cairo_move_to(cr, sx + 12.0, cy);
        cairo_line_to(cr, sx + 2.0, cy - 5.5);
        cairo_line_to(cr, sx + 2.0, cy + 5.5);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
      case LegendKind::Begin:
        drawMarkMarker(cr, "begin", sx, cy);
        break;
      case LegendKind::End:
        drawMarkMarker(cr, "end", sx, cy);
        break;
      case LegendKind::Point:
        drawMarkMarker(cr, "", sx, cy);
        break;
      case LegendKind::SightLine:
      case LegendKind::Ray:
        setGrey(cr, 0.35);
        cairo_set_line_width(cr, 1.0);
        if (e.kind == LegendKind::Ray) {
          const double dash[] = {5.0, 4.0};
          cairo_set_dash(cr, dash, 2, 0.0);
        }
        cairo_move_to(cr, sx - 11.0, cy + 4.0);
        cairo_line_to(cr, sx + 11.0, cy - 4.0);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0.0);
        break;
      case LegendKind::Ellipse:
        drawEllipse(cr, sx, cy, 0.0, 10.0, 5.5);
        break;
      case LegendKind::Fitted:
        setGrey(cr, 0.0);
        cairo_set_line_width(cr, 1.6);
        cairo_move_to(cr, sx - 11.0, cy);
        cairo_line_to(cr, sx + 11.0, cy);
        cairo_stroke(cr);
        break;
      case LegendKind::Band:
        cairo_set_source_rgba(cr, 0.4, 0.4, 0.4, 0.2);
        cairo_rectangle(cr, sx - 11.0, cy - 6.0, 22.0, 12.0);
        cairo_fill(cr);
        break;
      case LegendKind::SpeedModel:
        setGrey(cr, 0.5, 0.2);
        cairo_rectangle(cr, sx - 11.0, cy - 6.0, 22.0, 12.0);
        cairo_fill(cr);
        setGrey(cr, 0.0);
        cairo_set_line_width(cr, 1.8);
        cairo_move_to(cr, sx - 11.0, cy + 2.0);
        cairo_line_to(cr, sx + 11.0, cy - 2.0);
        cairo_stroke(cr);
        break;
      case LegendKind::PointSpeed:
        drawFaintMark(cr, 0, sx - 6.0, cy + 2.0);
        drawFaintMark(cr, 1, sx + 6.0, cy - 2.0);
        break;
    }
    setGrey(cr, 0.1);
    const double room = span * columnWidth - 34.0;
    const std::string text = textWidth(cr, e.text + e.extra) <= room ? e.text + e.extra : fitText(cr, e.text, room);
    drawText(cr, text, cx + 30.0, cy, 0.0, 0.5);
  }
}

void drawCaption(cairo_t* cr, const FigureLayout& layout) {
  const FigureRect& r = layout.caption;
  setFont(cr, kCaptionSize);
  setGrey(cr, 0.05);
  for (std::size_t i = 0; i < layout.captionLines.size(); ++i)
    drawText(cr, layout.captionLines[i], r.x, r.y + i * kCaptionLine + kCaptionLine / 2.0, 0.0, 0.5);
}

void drawFigure(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene, const Event& event) {
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  setFont(cr, kTitleSize, true);
  setGrey(cr, 0.0);
  drawText(cr, fitText(cr, scene.title, layout.width - 2.0 * kMargin), kMargin, 34.0, 0.0, 1.0);
  setFont(cr, kSubtitleSize);
  setGrey(cr, 0.3);
  drawText(cr, fitText(cr, scene.subtitle, layout.width - 2.0 * kMargin), kMargin, 56.0, 0.0, 1.0);
  const std::vector<EllipseScale> scales = drawGround(cr, layout, scene);
  drawProfile(cr, layout, scene);
  drawResiduals(cr, layout, scene);
  drawLag(cr, layout, scene);
  drawSpeed(cr, layout, scene);
  drawLegend(cr, layout, legendEntries(scene, scales, &event));
  drawCaption(cr, layout);
}

// ---------------------------------------------------------------- output

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// Draws into `bytes`; empty on success, else what failed.
std::string render(FigureFormat format, std::string& bytes, const FigureLayout& layout, const FigureScene& scene,
                   const Event& event) {
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
  const int w = static_cast<int>(std::ceil(layout.width)), h = static_cast<int>(std::ceil(layout.height));
  switch (format) {
    case FigureFormat::Png:
      surface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
      break;
    case FigureFormat::Svg:
      surface.reset(cairo_svg_surface_create_for_stream(appendTo, &bytes, layout.width, layout.height));
      break;
    case FigureFormat::Pdf:
      surface.reset(cairo_pdf_surface_create_for_stream(appendTo, &bytes, layout.width, layout.height));
      cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, scene.title.c_str());
      cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Sightline");
      break;
  }
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    return cairo_status_to_string(cairo_surface_status(surface.get()));
  {
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    drawFigure(cr.get(), layout, scene, event);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return cairo_status_to_string(cairo_status(cr.get()));
  }
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (format == FigureFormat::Png) {
    cairo_surface_flush(surface.get());
    status = cairo_surface_write_to_png_stream(surface.get(), appendTo, &bytes);
  } else {
    cairo_surface_finish(surface.get());
    status = cairo_surface_status(surface.get());
  }
  return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

}  // namespace

void stationColour(std::size_t index, double& red, double& green, double& blue) {
  const auto& c = kPalette[index % kPalette.size()];
  red = c[0], green = c[1], blue = c[2];
}

int stationMarker(std::size_t index) { return static_cast<int>(index % kMarkerShapes); }

FigureLayout figureLayout(const FigureScene& scene) {
  FigureLayout layout;
  layout.width = kWidth;
  layout.ground = {100.0, 100.0, 560.0, 560.0};
  layout.profile = {810.0, 100.0, 430.0, 235.0};
  layout.residuals = {810.0, 425.0, 430.0, 235.0};
  layout.lag = {100.0, 765.0, 560.0, 235.0};
  layout.speed = {810.0, 765.0, 430.0, 235.0};
  // The ellipse entry's text does not change the count; scales are not needed here.
  layout.legendColumns = static_cast<int>((kWidth - 2.0 * kMargin) / kLegendColumnWidth);
  const std::vector<LegendEntry> entries = legendEntries(scene, std::vector<EllipseScale>(scene.ellipses.size()), nullptr);
  layout.legendEntries = entries.size();
  std::vector<std::size_t> slots;
  const std::size_t rows = legendSlots(entries, layout.legendColumns, slots);
  layout.legend = {kMargin, kPanelsBottom, kWidth - 2.0 * kMargin, rows * kLegendRow};
  // Wrap the caption with the font it is drawn in.
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
  std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
  setFont(cr.get(), kCaptionSize);
  for (const std::string& line : scene.caption)
    for (std::string& part : wrap(cr.get(), line, kWidth - 2.0 * kMargin)) layout.captionLines.push_back(std::move(part));
  layout.caption = {kMargin, layout.legend.y + layout.legend.height + 14.0, kWidth - 2.0 * kMargin,
                    layout.captionLines.size() * kCaptionLine};
  layout.height = std::ceil(layout.caption.y + layout.caption.height + 18.0);
  return layout;
}

std::optional<FigureFormat> figureFormatOf(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return FigureFormat::Png;
  if (ext == "svg") return FigureFormat::Svg;
  if (ext == "pdf") return FigureFormat::Pdf;
  return std::nullopt;
}

bool drawFigure(FigureFormat format, const Event& event, const Solution& solution, const OutputContext& context,
                std::string& bytes, std::string& error) {
  const FigureScene scene = buildFigureScene(event, solution, context.source, context.geoid);
  const FigureLayout layout = figureLayout(scene);
  bytes.clear();
  const std::string failure = render(format, bytes, layout, scene, event);
  if (!failure.empty()) {
    error = "cannot draw the figure: " + failure;
    return false;
  }
  return true;
}

}  // namespace sightline
