#include "plot/darkflight_figure.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/text.hpp"
#include "plot/figure_axes.hpp"
#include "plot/figure_style.hpp"
#include "plot/figure_text.hpp"

namespace sightline {

namespace {

using namespace figure;
using darkflight::FallLinePoint;

constexpr double kHeight = 720.0;
constexpr FigureRect kMap{100.0, 100.0, 560.0, 560.0};
constexpr FigureRect kProfile{810.0, 100.0, 430.0, 560.0};
constexpr std::size_t kProfileMasses = 4;

/// East and north (km) of a position from the start's point on the map.
struct MapPoint {
  double east = 0.0, north = 0.0;
};

struct Projection {
  LocalFrame frame;
  Vector3 origin;
  MapPoint operator()(const GeodeticPosition& p) const {
    const Vector3 d = toEcef(GeodeticPosition{p.latitude, p.longitude, 0.0}) - origin;
    return MapPoint{dot(d, frame.east) / 1000.0, dot(d, frame.north) / 1000.0};
  }
};

Projection projectionOf(const DarkFlightReport& r) {
  const GeodeticPosition ground{r.start.position.latitude, r.start.position.longitude, 0.0};
  return Projection{localFrame(ground), toEcef(ground)};
}

/// Square scales (km) holding the start, the landings and the ellipses.
std::array<Scale, 2> mapScales(const DarkFlightReport& r, const Projection& project) {
  Extent e;
  e.add(0.0, 0.0);
  for (const FallLinePoint& p : r.fallLine) {
    if (!p.landing.landed) continue;
    const MapPoint m = project(p.landing.position);
    e.add(m.east, m.north);
  }
  for (const darkflight::StrewnMass& s : r.strewnField) {
    const MapPoint c = project(s.centre);
    const double a = s.ellipse.semiMajor / 1000.0;
    e.add(c.east - a, c.north - a);
    e.add(c.east + a, c.north + a);
  }
  padRange(e.x0, e.x1, 0.08, 1.0);
  padRange(e.y0, e.y1, 0.08, 1.0);
  const double half = 0.5 * std::max(e.x1 - e.x0, e.y1 - e.y0);
  const double cx = 0.5 * (e.x0 + e.x1), cy = 0.5 * (e.y0 + e.y1);
  return {Scale{cx - half, cx + half, kMap.x, kMap.x + kMap.width}, Scale{cy - half, cy + half, kMap.y + kMap.height, kMap.y}};
}

/// Labels at whole powers of ten of the mass (and the ends), so that they do not crowd.
bool labelled(const std::vector<FallLinePoint>& line, std::size_t i) {
  if (line.size() <= 6 || i == 0 || i + 1 == line.size()) return true;
  const double l = std::log10(line[i].mass);
  return std::fabs(l - std::round(l)) < 1e-9;
}

void drawScaleBar(cairo_t* cr, const Scale& x) {
  const double length = niceStep(0.3 * (x.hi - x.lo), 1);
  const double px = length * x.perUnit();
  const double x0 = kMap.x + 20.0, y0 = kMap.y + kMap.height - 24.0;
  setGrey(cr, 0.1);
  cairo_set_line_width(cr, 3.0);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x0 + px, y0);
  cairo_stroke(cr);
  setFont(cr, kLabelSize);
  drawText(cr, number(length, decimalsOf(length)) + " km", x0 + 0.5 * px, y0 - 6.0, 0.5, 1.0);
}

void drawMap(cairo_t* cr, const DarkFlightReport& r) {
  const Projection project = projectionOf(r);
  const auto [x, y] = mapScales(r, project);
  cairo_save(cr);
  clipTo(cr, kMap);
  drawGridLines(cr, kMap, x, y, 6, 6);
  for (const darkflight::StrewnMass& s : r.strewnField) {
    if (s.draws < 2) continue;
    const MapPoint c = project(s.centre);
    // The major axis's azimuth from north is the angle on the page from up, clockwise.
    drawEllipse(cr, x(c.east), y(c.north), (s.ellipse.azimuth - 90.0) * kPi / 180.0, s.ellipse.semiMajor / 1000.0 * x.perUnit(),
                s.ellipse.semiMinor / 1000.0 * x.perUnit());
  }
  cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
  cairo_set_line_width(cr, 2.0);
  bool first = true;
  for (const FallLinePoint& p : r.fallLine) {
    if (!p.landing.landed) continue;
    const MapPoint m = project(p.landing.position);
    first ? cairo_move_to(cr, x(m.east), y(m.north)) : cairo_line_to(cr, x(m.east), y(m.north));
    first = false;
  }
  cairo_stroke(cr);
  setFont(cr, kLabelSize);
  for (std::size_t i = 0; i < r.fallLine.size(); ++i) {
    const FallLinePoint& p = r.fallLine[i];
    if (!p.landing.landed) continue;
    const MapPoint m = project(p.landing.position);
    cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
    cairo_arc(cr, x(m.east), y(m.north), 3.0, 0.0, 2.0 * kPi);
    cairo_fill(cr);
    if (!labelled(r.fallLine, i)) continue;
    setGrey(cr, 0.1);
    drawText(cr, massLabel(p.mass), x(m.east) + 7.0, y(m.north) - 4.0, 0.0, 1.0);
  }
  setGrey(cr, 0.1);
  cairo_rectangle(cr, x(0.0) - 5.0, y(0.0) - 5.0, 10.0, 10.0);
  cairo_stroke(cr);
  drawText(cr, "end of the luminous flight (below it)", x(0.0) + 9.0, y(0.0) + 4.0, 0.0, 0.0);
  drawScaleBar(cr, x);
  cairo_restore(cr);
  drawFrame(cr, kMap);
  drawAxes(cr, kMap, x, y, "east of the end point (km)", "north of the end point (km)", 6, 6);
  drawPanelTitle(cr, kMap, "Fall line", r.strewnField.empty() ? "landing of each mass" : "with 95% ellipses of the landings");
}

/// Up to kProfileMasses masses spread over the fall line, those with a path.
std::vector<const FallLinePoint*> profileMasses(const DarkFlightReport& r) {
  std::vector<const FallLinePoint*> withPath;
  for (const FallLinePoint& p : r.fallLine)
    if (p.landing.landed && p.landing.path.size() > 1) withPath.push_back(&p);
  if (withPath.size() <= kProfileMasses) return withPath;
  std::vector<const FallLinePoint*> out;
  for (std::size_t k = 0; k < kProfileMasses; ++k) out.push_back(withPath[k * (withPath.size() - 1) / (kProfileMasses - 1)]);
  return out;
}

void drawProfilePanel(cairo_t* cr, const DarkFlightReport& r) {
  const Projection project = projectionOf(r);
  const auto masses = profileMasses(r);
  Extent e;
  for (const FallLinePoint* p : masses)
    for (const darkflight::PathPoint& q : p->landing.path) {
      const MapPoint m = project(q.position);
      e.add(std::hypot(m.east, m.north), q.position.height / 1000.0);
    }
  auto [x, y] = e.scales(kProfile, 1.0);
  startTimePanel(cr, kProfile, x, y, "Height against ground distance", "from the end point", masses.empty());
  if (masses.empty()) {
    drawEmpty(cr, kProfile, "no paths");
    return;
  }
  cairo_save(cr);
  clipTo(cr, kProfile);
  for (std::size_t k = 0; k < masses.size(); ++k) {
    setStation(cr, k);
    cairo_set_line_width(cr, 2.0);
    const auto& path = masses[k]->landing.path;
    for (std::size_t i = 0; i < path.size(); ++i) {
      const MapPoint m = project(path[i].position);
      const double px = x(std::hypot(m.east, m.north)), py = y(path[i].position.height / 1000.0);
      i == 0 ? cairo_move_to(cr, px, py) : cairo_line_to(cr, px, py);
    }
    cairo_stroke(cr);
    const MapPoint end = project(path.back().position);
    setFont(cr, kLabelSize);
    // Stones of similar masses land close together: their labels step upward so as not to overprint.
    drawText(cr, massLabel(masses[k]->mass), x(std::hypot(end.east, end.north)) + 4.0,
             y(path.back().position.height / 1000.0) - 6.0 - 16.0 * static_cast<double>(k), 0.0, 1.0);
  }
  cairo_restore(cr);
  drawFrame(cr, kProfile);
  drawAxes(cr, kProfile, x, y, "ground distance (km)", "height above the ellipsoid (km)", 5, 6);
}

void drawPage(cairo_t* cr, const DarkFlightReport& r) {
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  setGrey(cr, 0.05);
  setFont(cr, kTitleSize, true);
  drawText(cr, "Dark flight", kMargin, 40.0, 0.0, 1.0);
  setFont(cr, kSubtitleSize);
  std::string subtitle = formatted("from %.5f, %.5f at %.2f km, %.3f km/s; ", r.start.position.latitude,
                                   r.start.position.longitude, r.start.position.height / 1000.0, r.start.speed / 1000.0) +
                         (r.windFile.empty() ? std::string("still air") : "air: " + r.windFile);
  drawText(cr, fitText(cr, subtitle, kWidth - 2.0 * kMargin), kMargin, 64.0, 0.0, 1.0);
  drawMap(cr, r);
  drawProfilePanel(cr, r);
}

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* surfaceFor(FigureFormat format, std::string& bytes) {
  switch (format) {
    case FigureFormat::Png: return cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(kWidth), static_cast<int>(kHeight));
    case FigureFormat::Svg: return cairo_svg_surface_create_for_stream(appendTo, &bytes, kWidth, kHeight);
    case FigureFormat::Pdf: return cairo_pdf_surface_create_for_stream(appendTo, &bytes, kWidth, kHeight);
  }
  return nullptr;
}

}  // namespace

bool drawDarkFlightFigure(FigureFormat format, const DarkFlightReport& report, std::string& bytes, std::string& error) {
  bytes.clear();
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(surfaceFor(format, bytes), cairo_surface_destroy);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(cairo_surface_status(surface.get()));
    return false;
  }
  {
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
    drawPage(cr.get(), report);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
      error = cairo_status_to_string(cairo_status(cr.get()));
      return false;
    }
  }
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (format == FigureFormat::Png) {
    cairo_surface_flush(surface.get());
    status = cairo_surface_write_to_png_stream(surface.get(), appendTo, &bytes);
  } else {
    cairo_surface_finish(surface.get());
    status = cairo_surface_status(surface.get());
  }
  if (status != CAIRO_STATUS_SUCCESS) error = cairo_status_to_string(status);
  return status == CAIRO_STATUS_SUCCESS;
}

}  // namespace sightline
