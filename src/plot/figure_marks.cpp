// Markers of stations and points, and the placing of labels.
#include "plot/figure_marks.hpp"

#include <algorithm>
#include <limits>

#include "plot/figure_axes.hpp"
#include "plot/figure_style.hpp"

namespace sightline::figure {

void markerPath(cairo_t* cr, int shape, double x, double y, double r) {
  switch (shape) {
    case 1:
      cairo_rectangle(cr, x - r * 0.85, y - r * 0.85, 1.7 * r, 1.7 * r);
      break;
    case 2:
      cairo_move_to(cr, x, y - r * 1.15);
      cairo_line_to(cr, x + r, y + r * 0.75);
      cairo_line_to(cr, x - r, y + r * 0.75);
      cairo_close_path(cr);
      break;
    case 3:
      cairo_move_to(cr, x, y - r * 1.2);
      cairo_line_to(cr, x + r, y);
      cairo_line_to(cr, x, y + r * 1.2);
      cairo_line_to(cr, x - r, y);
      cairo_close_path(cr);
      break;
    case 4:
      cairo_move_to(cr, x, y + r * 1.15);
      cairo_line_to(cr, x + r, y - r * 0.75);
      cairo_line_to(cr, x - r, y - r * 0.75);
      cairo_close_path(cr);
      break;
    default:
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, r, 0.0, 2.0 * kPi);
      break;
  }
}

// Filled with a dark outline; or `open`: an outline in the station's colour, so that
// markers of several stations at the same place all stay visible.
void drawStationMarker(cairo_t* cr, std::size_t station, double x, double y, double r, bool open) {
  markerPath(cr, stationMarker(station), x, y, r);
  setStation(cr, station);
  if (open) {
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    return;
  }
  cairo_fill_preserve(cr);
  setGrey(cr, 0.1);
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

// Begin: a filled black disc; end: a black ring; other labelled points: a small black diamond.
void drawMarkMarker(cairo_t* cr, const std::string& label, double x, double y) {
  cairo_new_path(cr);
  if (label == "begin") {
    cairo_arc(cr, x, y, 5.5, 0.0, 2.0 * kPi);
    setGrey(cr, 0.0);
    cairo_fill(cr);
  } else if (label == "end") {
    cairo_arc(cr, x, y, 5.5, 0.0, 2.0 * kPi);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_fill_preserve(cr);
    setGrey(cr, 0.0);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
  } else {
    markerPath(cr, 3, x, y, 4.0);
    setGrey(cr, 0.0);
    cairo_fill(cr);
  }
}

void drawMark(cairo_t* cr, const TrackMark& m, double x, double y) {
  drawMarkMarker(cr, m.triangulated ? std::string() : m.label, x, y);
}

// A faint outline in the station's colour and marker: a point-to-point speed.
void drawFaintMark(cairo_t* cr, std::size_t station, double px, double py) {
  cairo_new_path(cr);
  markerPath(cr, stationMarker(station), px, py, kFaintRadius);
  setStation(cr, station, kFaintAlpha);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
}

void LabelPlacer::place(const std::string& text, double x, double y, double r, bool bold) {
  setFont(cr_, kLabelSize, bold);
  const double w = textWidth(cr_, text);
  const double h = textAscent(cr_) + textDescent(cr_);
  double bestScore = std::numeric_limits<double>::infinity();
  Box best{};
  int bestRing = 0;
  // Rings of candidate boxes around the point, each box touching its ring from outside
  // in one of sixteen directions; the least covered wins, nearer rings first.
  for (int ring = 0; ring < 6; ++ring) {
    const double d = r + 4.0 + 13.0 * ring;
    for (int k = 0; k < 16; ++k) {
      const double a = k * kPi / 8.0;
      const double c = std::cos(a), s = std::sin(a);
      const double x0 = x + d * c - w * (1.0 - c) / 2.0, y0 = y + d * s - h * (1.0 - s) / 2.0;
      const Box b{x0 - 2.0, y0 - 1.0, x0 + w + 2.0, y0 + h + 1.0};
      double score = 0.0;
      for (const Box& t : taken_) score += t.overlap(b);
      for (const Placed& p : placed_) score += 8.0 * p.box.overlap(b);  // text on text is worst
      // Outside the frame counts heavily too: text must not cross it.
      const double inside = Box{bounds_.x, bounds_.y, bounds_.x + bounds_.width, bounds_.y + bounds_.height}.overlap(b);
      score += 50.0 * ((b.x1 - b.x0) * (b.y1 - b.y0) - inside) + ring * 0.5 + (k % 2) * 0.1;
      if (score < bestScore) {
        bestScore = score;
        best = b;
        bestRing = ring;
      }
    }
  }
  placed_.push_back({best, text, x, y, r, bestRing > 0, bold});
}

void LabelPlacer::draw() {
  cairo_set_line_width(cr_, 0.7);
  setGrey(cr_, 0.45);
  for (const Placed& p : placed_) {
    if (!p.leader) continue;
    const double cx = std::clamp(p.x, p.box.x0, p.box.x1), cy = std::clamp(p.y, p.box.y0, p.box.y1);
    const double d = std::hypot(cx - p.x, cy - p.y);
    if (d <= p.r) continue;
    cairo_move_to(cr_, p.x + (cx - p.x) * p.r / d, p.y + (cy - p.y) * p.r / d);  // from the marker's edge
    cairo_line_to(cr_, cx, cy);
  }
  cairo_stroke(cr_);
  for (const Placed& p : placed_) {
    cairo_set_source_rgba(cr_, 1.0, 1.0, 1.0, 0.8);
    cairo_rectangle(cr_, p.box.x0, p.box.y0, p.box.x1 - p.box.x0, p.box.y1 - p.box.y0);
    cairo_fill(cr_);
    setFont(cr_, kLabelSize, p.bold);
    setGrey(cr_, 0.05);
    drawText(cr_, p.text, p.box.x0 + 2.0, p.box.y0 + 1.0, 0.0, 0.0);
  }
  placed_.clear();
}

}  // namespace sightline::figure
