// What solve() finds: the trajectory, its points, per-sighting results,
// quality figures and warnings. Units as in event.hpp: degrees, metres,
// geodetic WGS84 heights above the ellipsoid; residuals and refraction in
// arcseconds; Earth-centred vectors (ECEF: x to 0 N 0 E, z to the north pole) in metres.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// How solve() ended.
enum class SolveStatus {
  Trajectory,      ///< a trajectory line was found (two or more stations with planes of sight)
  PointsOnly,      ///< no trajectory line, but points (one plane of sight, or single sightings)
  TooFewStations,  ///< fewer than two stations with sightings
  NoGeometry,      ///< no pair of lines or planes gives a point (all parallel, or not a number)
};

/// A closed interval, e.g. a 95% interval (same unit as the value it bounds).
struct Interval {
  double low = 0.0;
  double high = 0.0;
};

/// The spread of a point over the Monte Carlo draws (1 sigma, east-north-up at the point).
struct PointUncertainty {
  double east = 0.0;   ///< metres
  double north = 0.0;  ///< metres
  double up = 0.0;     ///< metres
  std::array<double, 9> covariance{};  ///< metres^2, row-major, east-north-up
  Interval height;     ///< 95% interval, metres above the ellipsoid
  Interval latitude;   ///< 95% interval, degrees
  Interval longitude;  ///< 95% interval, degrees
};

/// A point of the solution.
struct SolvedPoint {
  GeodeticPosition position;  ///< longitude in [-180, 180)
  Vector3 ecef;               ///< metres
  std::optional<PointUncertainty> uncertainty;
};

/// Result for one sighting, in input order.
struct SightingResult {
  std::size_t station = 0;    ///< index into Event::stations
  std::size_t sighting = 0;   ///< index into that station's sightings
  bool hasPoint = false;      ///< false when no point could be found for it
  SolvedPoint point;          ///< nearest point of the trajectory line (or of the plane of sight)
  double range = 0.0;         ///< metres from the station to the point
  double residual = 0.0;      ///< arcseconds, signed: + when the line of sight passes right of the trajectory (facing the direction of flight, seen from the station)
  double refraction = 0.0;    ///< arcseconds: elevation of the line of sight used minus elevation given
  double sigma = 0.0;         ///< degrees on the sky, the sigma that applied
};

/// A point triangulated from sightings with the same label at two or more stations.
struct LabelledPoint {
  std::string label;
  SolvedPoint point;
  std::vector<std::size_t> stations;   ///< indices into Event::stations
  std::vector<double> missDistances;   ///< metres, per line of sight, same order as stations
};

/// Convergence angle of two stations' planes of sight.
struct StationPair {
  std::size_t first = 0;
  std::size_t second = 0;
  double convergenceAngle = 0.0;  ///< degrees, 0..90
};

/// Spread of the radiant, length and speed over the Monte Carlo draws (1 sigma).
struct TrajectoryUncertainty {
  double radiantAzimuth = 0.0;    ///< degrees
  double radiantElevation = 0.0;  ///< degrees
  double length = 0.0;            ///< metres
  std::optional<double> speed;    ///< metres per second
};

/// The straight trajectory.
struct Trajectory {
  SolvedPoint begin;               ///< first point along the direction of flight
  SolvedPoint end;                 ///< last point
  Vector3 direction;               ///< ECEF unit vector of the direction of flight
  double length = 0.0;             ///< metres from begin to end
  double radiantAzimuth = 0.0;     ///< degrees from north through east, at the begin point
  double radiantElevation = 0.0;   ///< degrees, the direction the fireball came from
  std::optional<double> speed;     ///< metres per second (sightings with times only)
  double convergenceAngle = 0.0;   ///< degrees, largest of the station pairs
  std::optional<TrajectoryUncertainty> uncertainty;
};

/// Summary of a Monte Carlo run.
struct MonteCarloSummary {
  int draws = 0;        ///< draws asked for
  int failed = 0;       ///< draws that gave no trajectory (counted, not hidden)
  std::uint64_t seed = 0;
};

/// Everything solve() found.
struct Solution {
  SolveStatus status = SolveStatus::NoGeometry;
  std::optional<Trajectory> trajectory;
  std::vector<LabelledPoint> points;
  std::vector<SightingResult> sightings;   ///< input order: station by station
  std::vector<StationPair> stationPairs;   ///< every pair of stations with planes of sight
  int passes = 0;                          ///< passes of the refraction loop
  std::vector<Warning> warnings;            ///< coded, in the order found
  std::optional<MonteCarloSummary> monteCarlo;
};

/// A short English description of a status, for messages.
const char* statusText(SolveStatus status);

}  // namespace sightline
