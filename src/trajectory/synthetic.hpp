// Events made from a known straight trajectory: exact sightings for tests,
// examples and benchmarks (straight lines of sight, no refraction).
#pragma once

#include <string>
#include <vector>

#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// A straight trajectory flown at constant speed.
struct KnownTrajectory {
  GeodeticPosition begin;    ///< degrees, metres above the ellipsoid
  GeodeticPosition end;
  double beginTime = 0.0;    ///< seconds (UTC epoch) at the begin point
  double speed = 20000.0;    ///< metres per second along the line
};

/// A station that sees the part of the trajectory between fractions `from` and
/// `to` (0 = begin, 1 = end) in `count` evenly spaced sightings (count >= 1;
/// one sighting sees the middle of that part).
struct KnownStation {
  std::string name;
  GeodeticPosition position;
  int count = 2;
  double from = 0.0;
  double to = 1.0;
};

/// Azimuth (degrees from north through east) and elevation (degrees above the
/// geodetic horizon) of the ECEF point `point` (metres) seen from `station`.
void lookAngles(const GeodeticPosition& station, const Vector3& point, double& azimuth, double& elevation);

/// ECEF point (metres) at fraction `f` of the way from begin to end.
Vector3 pointAlong(const KnownTrajectory& trajectory, double f);

/// The event whose sightings are exact: refraction None, each sighting timed,
/// no labels.
Event knownEvent(const KnownTrajectory& trajectory, const std::vector<KnownStation>& stations);

}  // namespace sightline
