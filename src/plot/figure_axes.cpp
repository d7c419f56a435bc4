// Scales, axes and frames of the panels.
#include "plot/figure_axes.hpp"

#include <algorithm>
#include <cctype>

#include "plot/figure_style.hpp"
#include "plot/figure_text.hpp"

namespace sightline::figure {

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

void setGrey(cairo_t* cr, double g, double alpha) { cairo_set_source_rgba(cr, g, g, g, alpha); }

void setStation(cairo_t* cr, std::size_t s, double alpha) {
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
              const std::string& yTitle, int xTicks, int yTicks, double xMinStep) {
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
                   double xMinStep) {
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
                    double above) {
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

}  // namespace sightline::figure
