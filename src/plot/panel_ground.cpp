// The ground track panel: a map of the stations, lines of sight, track, marks and ellipses.
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


}  // namespace

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

}  // namespace sightline::figure
