// The panels of a figure, one source file each: ground track (panel_ground.cpp), height profile
// (panel_profile.cpp), residuals (panel_residuals.cpp), lag (panel_lag.cpp), speed (panel_speed.cpp),
// legend (panel_legend.cpp), title and caption (panel_summary.cpp). A new panel is a new file.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"
#include "trajectory/event.hpp"

namespace sightline::figure {

// How much a map ellipse is drawn enlarged.
struct EllipseScale {
  double factor = 1.0;  // drawn enlarged by this factor
  bool drawn = false;
};

// What a legend entry shows.
enum class LegendKind { Station, Track, Begin, End, SightLine, Ray, Ellipse, Fitted, Band, Point, SpeedModel, PointSpeed };

// One symbol and its text in the legend.
struct LegendEntry {
  LegendKind kind;
  std::size_t station = 0;
  std::string text;
  std::string extra;  // shown after the text when there is room
};

// Draws the ground map; returns the scales of its ellipses.
std::vector<EllipseScale> drawGround(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// Heights (km) of the points and the fitted line against distance or time.
void drawProfile(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// Whether every residual has the same sigma: then one band serves all stations.
bool sameSigma(const FigureScene& scene);

// Cross-track residuals (arcsec) of the sightings with each station's 1-sigma band.
void drawResiduals(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// Lag (m) of each timed sighting against its time from the begin (s), in its station's marker.
void drawLag(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// Speed (km/s) against time from the begin (s): the model's band, the point-to-point speeds
// faint in their stations' colours, the model's curve on top.
void drawSpeed(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// The legend's text for the ellipses and their enlargement.
std::string ellipseLegend(const FigureScene& scene, const std::vector<EllipseScale>& scales);

// Where each legend entry goes (slot = row * columns + column): the stations, then the
// other entries from a fresh row; the ellipse entry, the longest, takes two columns.
// Returns the number of rows.
std::size_t legendSlots(const std::vector<LegendEntry>& entries, int columns, std::vector<std::size_t>& slots);

// The legend's entries for what the figure shows (`event`, when given, counts the sightings).
std::vector<LegendEntry> legendEntries(const FigureScene& scene, const std::vector<EllipseScale>& scales,
                                       const Event* event);

// Draws the legend's entries in the layout's columns.
void drawLegend(cairo_t* cr, const FigureLayout& layout, const std::vector<LegendEntry>& entries);

// Absolute magnitude against height (km): each station's sightings in its marker, the stations'
// combined curve as a black line; bright at the top, the direction of flight to the right.
void drawLightCurve(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// The title and subtitle above the panels on a white page.
void drawTitle(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene);

// The caption (the layout's wrapped lines) below the legend.
void drawCaption(cairo_t* cr, const FigureLayout& layout);

}  // namespace sightline::figure
