// The figure of a dark flight (Cairo): a map of the fall line with its mass
// labels, the 95% ellipses and a scale bar, and the height against ground
// distance of a few masses.
#pragma once

#include <string>

#include "formats/darkflight_writers.hpp"
#include "plot/figure.hpp"

namespace sightline {

/// Draws the figure of `report` in `format` into `bytes` (the whole file).
/// False with `error` set when it cannot be drawn. The paths of the profile
/// panel need the report's falls to have kept their paths.
bool drawDarkFlightFigure(FigureFormat format, const DarkFlightReport& report, std::string& bytes, std::string& error);

}  // namespace sightline
