// Markers of stations and points, and labels placed clear of them.
#pragma once

#include <cairo.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"
#include "plot/figure_text.hpp"

namespace sightline::figure {

void markerPath(cairo_t* cr, int shape, double x, double y, double r);

// Filled with a dark outline; or `open`: an outline in the station's colour, so that
// markers of several stations at the same place all stay visible.
void drawStationMarker(cairo_t* cr, std::size_t station, double x, double y, double r, bool open = false);

// Begin: a filled black disc; end: a black ring; other labelled points: a small black diamond.
void drawMarkMarker(cairo_t* cr, const std::string& label, double x, double y);

void drawMark(cairo_t* cr, const TrackMark& m, double x, double y);

// A faint outline in the station's colour and marker: a point-to-point speed.
void drawFaintMark(cairo_t* cr, std::size_t station, double px, double py);

// The text beside a mark: its name and height. A triangulated point right on the
// line's end of the same name goes without, so that the end is not named twice.
template <class Position>
std::string markText(const FigureScene& scene, const TrackMark& m, Position position) {
  if (m.triangulated) {
    const auto p = position(m);
    for (const TrackMark& other : scene.marks)
      if (!other.triangulated && other.label == m.label) {
        const auto q = position(other);
        if (std::hypot(p[0] - q[0], p[1] - q[1]) < 12.0) return "";
      }
    return "\u201c" + m.label + "\u201d " + number(m.height, 1) + " km";
  }
  return m.label + " " + number(m.height, 1) + " km";
}

// Places text labels next to their points without covering each other or the
// points, inside a frame.
class LabelPlacer {
 public:
  LabelPlacer(cairo_t* cr, const FigureRect& bounds) : cr_(cr), bounds_(bounds) {}

  void occupy(double x, double y, double r) { taken_.push_back({x - r, y - r, x + r, y + r}); }
  void occupy(const Box& box) { taken_.push_back(box); }

  // Finds a place for `text` near (x, y), clear of a marker of radius `r`; draw() draws it.
  void place(const std::string& text, double x, double y, double r, bool bold);

  // Draws the placed labels: every leader line first, so that none crosses a label.
  void draw();

 private:
  struct Placed {
    Box box;
    std::string text;
    double x, y, r;
    bool leader, bold;
  };
  cairo_t* cr_;
  FigureRect bounds_;
  std::vector<Box> taken_;  // markers and lines
  std::vector<Placed> placed_;
};

}  // namespace sightline::figure
