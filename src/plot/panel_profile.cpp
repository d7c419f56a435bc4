// The height profile panel: heights of the points and the fitted line against distance or time.
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

}  // namespace sightline::figure
