// The light-curve panel: absolute magnitude against height, per station, with the
// stations' combined curve; and the scene's light curve from a solution.
#include <algorithm>
#include <cmath>

#include "common/text.hpp"
#include "plot/figure_axes.hpp"
#include "plot/figure_marks.hpp"
#include "plot/figure_style.hpp"
#include "plot/panels.hpp"

namespace sightline {

namespace {

constexpr double kMetresPerKm = 1000.0;
constexpr double kPerCent = 100.0;
constexpr double kGramsPerKilogram = 1000.0;
/// Masses under this are given in grams in the caption, kg.
constexpr double kGramCaptionLimit = 1.0;

// "Peak absolute magnitude -4.0 at 75.1 km, F 0.43, photometric mass 12.3 g (tau 0.70%)".
std::string photometryCaption(const Photometry& p) {
  std::string text = formatted("Peak absolute magnitude %.1f at %.1f km", p.peakAbsoluteMagnitude, p.peak.height / kMetresPerKm);
  if (p.fParameter) text += formatted(", F %.2f", *p.fParameter);
  if (p.mass) {
    text += *p.mass < kGramCaptionLimit ? formatted(", photometric mass %.3g g", *p.mass * kGramsPerKilogram)
                                        : formatted(", photometric mass %.3g kg", *p.mass);
    if (p.tau) text += formatted(" (\u03c4 %.2f%%, ", *p.tau * kPerCent) + luminousEfficiencyName(p.model) + ")";
  }
  return text;
}

}  // namespace

void addLightCurve(const Solution& solution, FigureScene& scene) {
  for (const SightingResult& r : solution.sightings) {
    if (!r.absoluteMagnitude || !r.hasPoint || !std::isfinite(r.point.position.height)) continue;
    scene.lightCurve.push_back({r.station, r.point.position.height / kMetresPerKm, *r.absoluteMagnitude});
  }
  if (!solution.photometry) return;
  for (const LightCurveSample& s : solution.photometry->curve)
    scene.combinedCurve.push_back({0, s.position.height / kMetresPerKm, s.absoluteMagnitude});
  scene.caption.push_back(photometryCaption(*solution.photometry));
}

namespace figure {

void drawLightCurve(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.lightCurve;
  Extent extent;
  for (const LightCurvePoint& p : scene.lightCurve) extent.add(p.height, p.magnitude);
  for (const LightCurvePoint& p : scene.combinedCurve) extent.add(p.height, p.magnitude);
  const auto [up, bright] = extent.scales(f, 1.0);
  // Heights fall to the right (the direction of flight), bright magnitudes at the top.
  const Scale x{up.lo, up.hi, f.x + f.width, f.x};
  const Scale y{bright.lo, bright.hi, f.y, f.y + f.height};
  startTimePanel(cr, f, x, y, "Light curve", "absolute magnitude (at 100 km) per station; black: the stations combined",
                 false);
  cairo_save(cr);
  clipTo(cr, f);
  if (scene.combinedCurve.size() >= 2) {
    setGrey(cr, 0.0);
    cairo_set_line_width(cr, 1.6);
    for (std::size_t i = 0; i < scene.combinedCurve.size(); ++i)
      (i ? cairo_line_to : cairo_move_to)(cr, x(scene.combinedCurve[i].height), y(scene.combinedCurve[i].magnitude));
    cairo_stroke(cr);
  }
  for (const LightCurvePoint& p : scene.lightCurve) drawStationMarker(cr, p.station, x(p.height), y(p.magnitude), kPointRadius, true);
  cairo_restore(cr);
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, "height (km)", "absolute magnitude", 8, 5);
}

}  // namespace figure

}  // namespace sightline
