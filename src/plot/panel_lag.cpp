// The lag panel: how far each timed sighting falls behind the initial speed.
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

}  // namespace sightline::figure
