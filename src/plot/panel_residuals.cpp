// The residuals panel: each sighting's cross-track residual with its station's band.
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

// Whether every residual has the same sigma: then one band serves all stations.
bool sameSigma(const FigureScene& scene) {
  for (const ResidualPoint& p : scene.residuals)
    if (std::fabs(p.sigma - scene.residuals.front().sigma) > 1e-9 * std::max(1.0, p.sigma)) return false;
  return true;
}

namespace {

// The residual panel's scales: sighting number or time across, residual (arcsec) up; `widest`
// is the widest sigma, `bandCut` whether its band reaches beyond the frame.
struct ResidualFrame {
  Scale x, y;
  double x0 = 0.0, x1 = 0.0;
  double widest = 0.0;
  bool bandCut = false;
};

ResidualFrame residualFrame(const FigureRect& f, const FigureScene& scene) {
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
  ResidualFrame frame;
  frame.bandCut = widest > most;
  frame.x = Scale{x0, x1, f.x, f.x + f.width};
  frame.y = Scale{-most, most, f.y + f.height, f.y};
  frame.x0 = x0, frame.x1 = x1, frame.widest = widest;
  return frame;
}

// The upper edge (x, sigma) of the band of `own` sightings, sorted along x, a little
// beyond the first and last; one band for all is flat across the frame.
std::vector<std::array<double, 2>> bandEdge(std::vector<ResidualPoint> own, double pad, bool oneBand, const Scale& x) {
  std::stable_sort(own.begin(), own.end(), [](const ResidualPoint& a, const ResidualPoint& b) { return a.x < b.x; });
  std::vector<std::array<double, 2>> upper;
  for (std::size_t i = 0; i < own.size(); ++i) {
    const double xs = own[i].x - (i == 0 ? pad : 0.0);
    upper.push_back({xs, own[i].sigma});
    if (i + 1 == own.size()) upper.push_back({own[i].x + pad, own[i].sigma});
  }
  if (oneBand && !own.empty()) upper = {{x.lo, own.front().sigma}, {x.hi, own.front().sigma}};
  return upper;
}

// Fills the band between `upper` and its mirror, tinted grey (one band) or in station `s`'s
// colour, with dashed edges; a band wider than the frame everywhere is left out.
void drawBand(cairo_t* cr, const std::vector<std::array<double, 2>>& upper, const Scale& x, const Scale& y, bool oneBand,
              std::size_t s) {
  cairo_new_path(cr);
  for (std::size_t i = 0; i < upper.size(); ++i) (i ? cairo_line_to : cairo_move_to)(cr, x(upper[i][0]), y(upper[i][1]));
  for (std::size_t i = upper.size(); i-- > 0;) cairo_line_to(cr, x(upper[i][0]), y(-upper[i][1]));
  cairo_close_path(cr);
  // A band wider than the frame everywhere would only tint it: left out (a note says so).
  bool seen = false;
  for (const auto& u : upper) seen = seen || u[1] <= y.hi;
  if (!seen) {
    cairo_new_path(cr);
    return;
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

// Each station's +-1 sigma band, following its sightings' sigmas (one band when all are equal).
void drawResidualBands(cairo_t* cr, const FigureScene& scene, const ResidualFrame& frame) {
  std::vector<std::size_t> stations;
  for (const ResidualPoint& p : scene.residuals)
    if (std::find(stations.begin(), stations.end(), p.station) == stations.end()) stations.push_back(p.station);
  const double pad = 0.012 * (frame.x1 - frame.x0);
  const bool oneBand = sameSigma(scene);
  if (oneBand) stations.resize(std::min<std::size_t>(stations.size(), 1));
  for (std::size_t s : stations) {
    std::vector<ResidualPoint> own;
    for (const ResidualPoint& p : scene.residuals)
      if (oneBand || p.station == s) own.push_back(p);
    drawBand(cr, bandEdge(std::move(own), pad, oneBand, frame.x), frame.x, frame.y, oneBand, s);
  }
}

// A sighting left out of the fit: a cross of radius r (pixels) in its station's colour.
void drawExcludedMarker(cairo_t* cr, std::size_t station, double x, double y, double r) {
  setStation(cr, station, 1.0);
  cairo_set_line_width(cr, 1.5);
  cairo_move_to(cr, x - r, y - r);
  cairo_line_to(cr, x + r, y + r);
  cairo_move_to(cr, x - r, y + r);
  cairo_line_to(cr, x + r, y - r);
  cairo_stroke(cr);
}

// The remark in the panel's corner: the band beyond the frame, the crosses of excluded sightings.
std::string cornerRemark(const FigureScene& scene, const ResidualFrame& frame) {
  std::string remark;
  if (frame.bandCut)
    remark = "\u00b11\u03c3 = " + number(frame.widest, frame.widest < 10.0 ? 1 : 0) + " arcsec, beyond the frame";
  const bool excluded = std::any_of(scene.residuals.begin(), scene.residuals.end(),
                                    [](const ResidualPoint& p) { return p.excluded; });
  if (excluded) remark += (remark.empty() ? "" : "; ") + std::string("\u00d7 left out of the fit");
  return remark;
}

}  // namespace

void drawResiduals(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  const FigureRect& f = layout.residuals;
  const ResidualFrame frame = residualFrame(f, scene);
  const Scale& x = frame.x;
  const Scale& y = frame.y;

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
  drawResidualBands(cr, scene, frame);
  if (!empty) drawLevel(cr, f, y, 0.0);
  for (const ResidualPoint& p : scene.residuals) {
    if (p.excluded) drawExcludedMarker(cr, p.station, x(p.x), y(p.residual), kPointRadius);
    else drawStationMarker(cr, p.station, x(p.x), y(p.residual), kPointRadius, true);
  }
  cairo_restore(cr);
  if (scene.residuals.empty()) drawEmpty(cr, f, scene.residualNote);
  const std::string remark = cornerRemark(scene, frame);
  if (!remark.empty()) drawCornerRemark(cr, f, remark);
  drawFrame(cr, f);
  drawAxes(cr, f, x, y, scene.residualsAgainstTime ? "time since the first sighting (s)" : "sighting number",
           "residual (arcsec)", empty ? 0 : 8, empty ? 0 : 6, xMinStep);
}

}  // namespace sightline::figure
