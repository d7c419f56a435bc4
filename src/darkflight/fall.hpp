// One stone's dark flight from the end of the luminous path to the ground:
// adaptive integration (Boost.Odeint, Dormand-Prince 5(4) with dense output)
// of the Earth-fixed equations of motion, and the landing found on the dense
// output.
#pragma once

#include <vector>

#include "darkflight/motion.hpp"
#include "earth/frames.hpp"

namespace sightline::darkflight {

/// Where and how fast the stone starts: the end of the luminous flight.
struct StartState {
  double time = 0.0;            ///< UTC, seconds since 1970-01-01 (carried to the outputs only)
  GeodeticPosition position;    ///< WGS84, metres above the ellipsoid
  double azimuth = 0.0;         ///< degrees from north through east: where the body came FROM
  double elevation = 0.0;       ///< degrees above the local horizon of that direction
  double speed = 0.0;           ///< Earth-fixed speed, m/s
};

/// The Earth-fixed position (m, ECEF) and velocity (m/s) of `start`:
/// v = -speed (cos el sin az, cos el cos az, sin el) in east-north-up.
State startVector(const StartState& start);

/// How to integrate.
struct FallSettings {
  double groundHeight = 0.0;        ///< metres above mean sea level where the stone lands
  double absoluteTolerance = 1e-5;  ///< Odeint's absolute error per step (m, m/s)
  double relativeTolerance = 1e-9;  ///< Odeint's relative error per step: about a millimetre at the landing
  double maxTime = 7200.0;          ///< s; a stone still aloft after this has not landed
  double ceiling = 200000.0;        ///< metres above the ellipsoid; a stone above it has left
  long maxSteps = 200000;           ///< steps at most: a speck of dust held by the air does not land in time
  bool keepPath = false;            ///< keep the path (each step's end) for figures
};

/// One point of the path.
struct PathPoint {
  double time = 0.0;          ///< s since the start
  GeodeticPosition position;  ///< WGS84, metres above the ellipsoid
};

/// The outcome of one fall.
struct Landing {
  bool landed = false;          ///< false: still aloft after maxTime, or gone above the ceiling
  GeodeticPosition position;    ///< WGS84; height = ground + geoid there (metres above the ellipsoid)
  double timeOfFlight = 0.0;    ///< s from the start to the landing
  double impactSpeed = 0.0;     ///< Earth-fixed speed at the landing, m/s
  std::vector<PathPoint> path;  ///< with keepPath: the start, each step's end, the landing
};

/// Height (metres) of the ECEF point `r` above the ground: its ellipsoidal
/// height minus the ground height above mean sea level minus the geoid there.
double heightAboveGround(const Vector3& r, const Surroundings& surroundings, double groundHeight);

/// Integrates the fall of `body` from `start` (ECEF m, m/s) through
/// `surroundings` until it lands.
///
/// Notes: the landing is the first time at which the height above the ground
/// (heightAboveGround()) reaches 0, found on the dense output between two
/// steps with TOMS 748 (Boost.Math) to 1 microsecond, that is to well under
/// 0.1 m of height.
Landing fall(const State& start, const Body& body, const Surroundings& surroundings, const FallSettings& settings);

}  // namespace sightline::darkflight
