// The geoid around a fall, sampled once so that many falls on many threads
// read it without a lock: the nodes of the EGM96 15' grid over a square
// around the start, bilinear between them as PROJ's grid shift is.
#pragma once

#include <functional>
#include <vector>

namespace sightline::darkflight {

/// Height of the geoid above the WGS84 ellipsoid (metres) at a latitude and
/// longitude (degrees); NaN where unknown.
using UndulationFunction = std::function<double(double latitude, double longitude)>;

class GeoidPatch {
 public:
  /// A geoid of height 0 everywhere (no grid).
  GeoidPatch() = default;
  /// Samples `undulation` at the nodes of a 0.25-degree grid within
  /// `halfWidth` degrees of (`latitude`, `longitude`). Nodes where it is NaN
  /// count as 0, and so does everything when it is empty.
  GeoidPatch(const UndulationFunction& undulation, double latitude, double longitude, double halfWidth = 2.0);

  /// The geoid's height (metres above the ellipsoid) at `latitude`,
  /// `longitude` (degrees): bilinear between the nodes; outside the patch,
  /// the nearest edge's value.
  double at(double latitude, double longitude) const;

 private:
  double latitude0_ = 0.0, longitude0_ = 0.0;  ///< degrees, the south-west node
  int rows_ = 0, columns_ = 0;
  std::vector<double> values_;  ///< metres, row-major from the south-west node
};

}  // namespace sightline::darkflight
