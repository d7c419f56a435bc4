// Where the parts of a figure go: pixels in PNG, points in SVG and PDF, origin
// at the top left, y downwards.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plot/figure_scene.hpp"

namespace sightline {

/// A rectangle in figure units (pixels or points), top left corner and size.
struct FigureRect {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
};

/// The figure's canvas and the frames of its parts.
struct FigureLayout {
  double width = 0.0;   ///< pixels (PNG) or points (SVG, PDF)
  double height = 0.0;
  FigureRect ground;     ///< data frame of the ground map (square: equal scale on both axes)
  FigureRect profile;    ///< data frame of the height profile
  FigureRect residuals;  ///< data frame of the residuals
  FigureRect lag;        ///< data frame of the lag against time, below the map
  FigureRect speed;      ///< data frame of the speed against time, below the residuals
  FigureRect lightCurve; ///< data frame of the light curve, a row of its own below the others; empty without magnitudes
  FigureRect legend;     ///< legend block, below the panels
  FigureRect caption;    ///< key figures, below the legend
  int legendColumns = 1;
  std::size_t legendEntries = 0;
  std::vector<std::string> captionLines;  ///< the scene's caption, wrapped to the caption's width
};

/// The layout of `scene`'s figure: fixed panels (the map, with the lag below it; the profile,
/// residuals and speed stacked on the right), a legend and a caption that grow with
/// the number of stations and caption lines.
FigureLayout figureLayout(const FigureScene& scene);

/// Colour of station `index` (red, green, blue in 0..1) from a fixed palette that stays
/// distinguishable under the common colour blindnesses; it repeats after seven stations,
/// the marker shape (stationMarker) after five, so that each pair differs up to 35 stations.
void stationColour(std::size_t index, double& red, double& green, double& blue);

/// Marker shape of station `index`: 0 circle, 1 square, 2 triangle up, 3 diamond, 4 triangle down.
int stationMarker(std::size_t index);

}  // namespace sightline
