// The speed panel: the speed model, its band and the point-to-point speeds against time.
#include "plot/panels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "plot/figure_axes.hpp"
#include "plot/figure_marks.hpp"
#include "plot/figure_style.hpp"
#include "plot/figure_text.hpp"

namespace sightline::figure {

namespace {

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

}  // namespace

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

}  // namespace sightline::figure
