// What every panel of a figure shares: scales, ticks, axes, grid lines, frames, titles, notes.
#pragma once

#include <cairo.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "plot/figure_layout.hpp"

namespace sightline::figure {

// Data to figure units along one axis.
struct Scale {
  double lo = 0.0, hi = 1.0;        // data
  double pixLo = 0.0, pixHi = 1.0;  // figure units of lo and hi
  double operator()(double v) const { return pixLo + (v - lo) / (hi - lo) * (pixHi - pixLo); }
  double perUnit() const { return std::fabs(pixHi - pixLo) / (hi - lo); }
};

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most `most` parts.
double niceStep(double span, int most);

int decimalsOf(double step);

std::vector<double> ticks(double lo, double hi, double step);

// A data range with room around it, at least `minSpan` wide.
void padRange(double& lo, double& hi, double fraction, double minSpan);

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

void rectPath(cairo_t* cr, const FigureRect& r);

void clipTo(cairo_t* cr, const FigureRect& r);

void setGrey(cairo_t* cr, double g, double alpha = 1.0);

void setStation(cairo_t* cr, std::size_t s, double alpha = 1.0);

// A filled grey ellipse with a dark outline: centre (cx, cy) in device units,
// rotated by `angle` radians, semi-axes `a` and `b` in device units.
void drawEllipse(cairo_t* cr, double cx, double cy, double angle, double a, double b);

// Ticks, tick labels and the title of the bottom and left axes of a frame.
void drawAxes(cairo_t* cr, const FigureRect& frame, const Scale& x, const Scale& y, const std::string& xTitle,
              const std::string& yTitle, int xTicks, int yTicks, double xMinStep = 0.0);

// Faint grid lines at the ticks inside a frame.
void drawGridLines(cairo_t* cr, const FigureRect& frame, const Scale& x, const Scale& y, int xTicks, int yTicks,
                   double xMinStep = 0.0);

void drawFrame(cairo_t* cr, const FigureRect& frame);

// The panel's title above its frame, followed by `remark` in plain grey type (cut to fit).
void drawPanelTitle(cairo_t* cr, const FigureRect& frame, const std::string& title, const std::string& remark,
                    double above = 8.0);

// A message centred in an empty frame.
void drawEmpty(cairo_t* cr, const FigureRect& frame, std::string message);

// A white frame with its title, and grid lines unless empty.
void startTimePanel(cairo_t* cr, const FigureRect& f, const Scale& x, const Scale& y, const std::string& title,
                    const std::string& remark, bool empty);

// A horizontal line at `value` across the frame (zero lag).
void drawLevel(cairo_t* cr, const FigureRect& f, const Scale& y, double value);

// A remark in the frame's top right corner on a white ground.
void drawCornerRemark(cairo_t* cr, const FigureRect& f, const std::string& text);

}  // namespace sightline::figure
