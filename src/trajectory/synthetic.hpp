// Events made from a known straight trajectory: exact sightings for tests,
// examples and benchmarks (straight lines of sight, no refraction).
//
// Motion along the line (Whipple & Jacchia 1957 exponential deceleration, the
// model solve() fits): at true time tau (s after beginTime) the fireball is
//   L(tau) = speed*tau - a1*(exp(a2*tau) - 1)   metres from the begin point,
// moving at speed - a1*a2*exp(a2*tau) m/s; a1 = 0 is constant speed.
#pragma once

#include <string>
#include <vector>

#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// A straight trajectory flown at constant speed, or decelerating (a1, a2 > 0).
struct KnownTrajectory {
  GeodeticPosition begin;    ///< degrees, metres above the ellipsoid
  GeodeticPosition end;
  double beginTime = 0.0;    ///< seconds (UTC epoch) at the begin point
  double speed = 20000.0;    ///< metres per second along the line (vInf of the deceleration model)
  double a1 = 0.0;           ///< metres, deceleration amplitude (0: constant speed)
  double a2 = 0.0;           ///< 1/s, deceleration rate
};

/// A station that sees the part of the trajectory between fractions `from` and
/// `to` (0 = begin, 1 = end) of its length. With frameRate 0: in `count` evenly
/// spaced sightings (count >= 1; one sighting sees the middle of that part).
/// With frameRate > 0 (frames per second, e.g. 25 or 50): one sighting per
/// video frame, the first where the fireball is at `from`, then every
/// 1/frameRate s of true time while it has not passed `to` and still moves
/// forward (`count` unused).
/// Each sighting's time is the true time plus clockOffset.
struct KnownStation {
  std::string name;
  GeodeticPosition position;
  int count = 2;
  double from = 0.0;
  double to = 1.0;
  double clockOffset = 0.0;  ///< s: the station's clock minus the true time (positive: its times are later)
  double frameRate = 0.0;    ///< frames per second (0: `count` sightings evenly spaced in length)
};

/// Azimuth (degrees from north through east) and elevation (degrees above the
/// geodetic horizon) of the ECEF point `point` (metres) seen from `station`.
void lookAngles(const GeodeticPosition& station, const Vector3& point, double& azimuth, double& elevation);

/// ECEF point (metres) at fraction `f` of the way from begin to end.
Vector3 pointAlong(const KnownTrajectory& trajectory, double f);

/// Metres from the begin point at true time `tau` (s after beginTime):
/// speed*tau - a1*(exp(a2*tau) - 1).
double knownLength(const KnownTrajectory& trajectory, double tau);

/// Speed (m/s along the line) at true time `tau` (s after beginTime):
/// speed - a1*a2*exp(a2*tau); at tau = 0 the initial speed vInit.
double knownSpeed(const KnownTrajectory& trajectory, double tau);

/// True time (s after beginTime) when the fireball is `length` metres from the
/// begin point (>= 0; the speed must stay positive until then, else the time
/// returned is meaningless). Solved by bisection to a picosecond; with a1 = 0
/// exactly length / speed.
double knownTime(const KnownTrajectory& trajectory, double length);

/// The true times (s after beginTime) at which `station` sees the fireball,
/// in order (see KnownStation).
std::vector<double> knownTimes(const KnownTrajectory& trajectory, const KnownStation& station);

/// The event whose sightings are exact: refraction None, each sighting timed,
/// no labels, trajectory model Straight (the truth is a straight Earth-fixed line).
Event knownEvent(const KnownTrajectory& trajectory, const std::vector<KnownStation>& stations);

}  // namespace sightline
