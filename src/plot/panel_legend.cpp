// The legend below the panels: stations, then the other symbols.
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

namespace {

// The ground track's symbol: a thick line with an arrowhead.
void drawTrackSymbol(cairo_t* cr, double sx, double cy) {
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
}

// A line of sight's symbol: a thin slanted grey line, dashed for an azimuth without a point.
void drawSightSymbol(cairo_t* cr, bool ray, double sx, double cy) {
  setGrey(cr, 0.35);
  cairo_set_line_width(cr, 1.0);
  if (ray) {
    const double dash[] = {5.0, 4.0};
    cairo_set_dash(cr, dash, 2, 0.0);
  }
  cairo_move_to(cr, sx - 11.0, cy + 4.0);
  cairo_line_to(cr, sx + 11.0, cy - 4.0);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0.0);
}

// The speed model's symbol: its grey band with the curve across.
void drawSpeedModelSymbol(cairo_t* cr, double sx, double cy) {
  setGrey(cr, 0.5, 0.2);
  cairo_rectangle(cr, sx - 11.0, cy - 6.0, 22.0, 12.0);
  cairo_fill(cr);
  setGrey(cr, 0.0);
  cairo_set_line_width(cr, 1.8);
  cairo_move_to(cr, sx - 11.0, cy + 2.0);
  cairo_line_to(cr, sx + 11.0, cy - 2.0);
  cairo_stroke(cr);
}

// Draws the symbol of legend entry `e` centred at (sx, cy).
void drawLegendSymbol(cairo_t* cr, const LegendEntry& e, double sx, double cy) {
  cairo_new_path(cr);
  switch (e.kind) {
    case LegendKind::Station:
      drawStationMarker(cr, e.station, sx, cy, kMarkerRadius);
      break;
    case LegendKind::Track:
      drawTrackSymbol(cr, sx, cy);
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
      drawSightSymbol(cr, e.kind == LegendKind::Ray, sx, cy);
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
      drawSpeedModelSymbol(cr, sx, cy);
      break;
    case LegendKind::PointSpeed:
      drawFaintMark(cr, 0, sx - 6.0, cy + 2.0);
      drawFaintMark(cr, 1, sx + 6.0, cy - 2.0);
      break;
  }
}

}  // namespace

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
    drawLegendSymbol(cr, e, sx, cy);
    setGrey(cr, 0.1);
    const double room = span * columnWidth - 34.0;
    const std::string text = textWidth(cr, e.text + e.extra) <= room ? e.text + e.extra : fitText(cr, e.text, room);
    drawText(cr, text, cx + 30.0, cy, 0.0, 0.5);
  }
}

}  // namespace sightline::figure
