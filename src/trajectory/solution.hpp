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
#include "orbit/orbit.hpp"
#include "orbit/showers.hpp"
#include "trajectory/event.hpp"
#include "trajectory/noise.hpp"
#include "trajectory/photometry.hpp"
#include "trajectory/velocity.hpp"

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
  // Along the trajectory (timed sightings with a point on a trajectory line only):
  std::optional<double> length;         ///< metres from the begin point along the direction of flight
  std::optional<double> timeFromBegin;  ///< seconds on the reference clock from the begin time (its station's clock offset removed)
  std::optional<double> velocity;       ///< m/s, the speed model at timeFromBegin
  std::optional<double> lag;            ///< metres: length - (initial velocity * timeFromBegin + c), how far it fell behind
  /// arcseconds, signed: the residual along the trajectory (observed minus the speed model's
  /// position at this sighting's time, + in the direction of flight); timed sightings with a speed model only
  std::optional<double> alongTrackResidual;
  bool excluded = false;      ///< left out of the fit (a bad frame or a bad station); its point and residuals are still given
  /// the apparent magnitude reduced to 100 km (trajectory/photometry.hpp); sightings with a magnitude and a point only
  std::optional<double> absoluteMagnitude;
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

/// Spread of the speed model over the Monte Carlo draws: 1 sigma and 95% intervals.
struct VelocityUncertainty {
  double initial = 0.0;        ///< m/s
  double final = 0.0;          ///< m/s
  double a1 = 0.0;             ///< m
  double a2 = 0.0;             ///< 1/s
  Interval initialInterval;    ///< m/s, 95%
  Interval finalInterval;      ///< m/s, 95%
  Interval a1Interval;         ///< m, 95%
  Interval a2Interval;         ///< 1/s, 95%
  /// The model speed's 1-sigma band: (seconds from the begin time, m/s) at
  /// evenly spaced times from the begin to the last timed sighting.
  std::vector<std::array<double, 2>> speedBand;
  int draws = 0;               ///< draws that gave a speed model
};

/// The speed along the trajectory: the deceleration model fitted to every
/// timed sighting of every station (trajectory/velocity.hpp),
///   length(t) = c + vInf*t - |a1|*exp(|a2|*t),  speed(t) = vInf - |a1||a2|*exp(|a2|*t),
/// t in seconds on the reference clock from the begin time.
struct Velocity {
  VelocityModel model = VelocityModel::Constant;  ///< Constant when the deceleration term is not supported
  double initial = 0.0;        ///< m/s, Earth-fixed: the model's speed at the begin point (vInit)
  double final = 0.0;          ///< m/s: the model's speed at the last timed sighting
  std::optional<double> average;  ///< m/s: Trajectory::speed, the least-squares slope over the whole path
  double c = 0.0;              ///< m
  double vInf = 0.0;           ///< m/s
  double a1 = 0.0;             ///< m (0 for Constant)
  double a2 = 0.0;             ///< 1/s (0 for Constant)
  double rms = 0.0;            ///< m, RMS of the length residuals
  double beginTime = 0.0;      ///< s since 1970-01-01T00:00:00Z (UTC) on the reference clock: t = 0
  double duration = 0.0;       ///< s from the begin time to the last timed sighting
  std::size_t referenceStation = 0;  ///< index into Event::stations whose clock is the reference
  std::optional<VelocityUncertainty> uncertainty;
};

/// A station's clock against the reference clock.
struct StationClock {
  std::size_t station = 0;     ///< index into Event::stations
  double offset = 0.0;         ///< s: its clock minus the reference clock (positive: ahead, its times later)
  bool fitted = false;         ///< false: fixed at 0 (the reference, "clockOffsets": "none", or under 4 timed sightings)
  std::optional<double> sigma;     ///< s, 1 sigma over the Monte Carlo draws (fitted offsets only)
  std::optional<Interval> interval;  ///< s, 95% interval over the draws
};

/// The trajectory: a straight line, or (model Gravity) the path of a body under gravity above
/// the turning Earth, whose begin, end and sighting points are Earth-fixed places at their
/// corrected times and whose direction is the Earth-fixed velocity's at the begin.
struct Trajectory {
  TrajectoryModel model = TrajectoryModel::Straight;  ///< the motion fitted
  SolvedPoint begin;               ///< first point along the direction of flight
  SolvedPoint end;                 ///< last point
  Vector3 direction;               ///< ECEF unit vector of the direction of flight
  double length = 0.0;             ///< metres from begin to end
  double radiantAzimuth = 0.0;     ///< degrees from north through east, at the begin point
  double radiantElevation = 0.0;   ///< degrees, the direction the fireball came from
  double endRadiantAzimuth = 0.0;   ///< degrees from north through east: where it came from, seen at the end point
  double endRadiantElevation = 0.0; ///< degrees, in the end point's geodetic horizon
  std::optional<double> speed;     ///< metres per second (sightings with times only)
  double convergenceAngle = 0.0;   ///< degrees, largest of the station pairs
  std::optional<TrajectoryUncertainty> uncertainty;
  std::optional<Velocity> velocity;        ///< when two or more distinct times give a speed
  std::vector<StationClock> clockOffsets;  ///< one per station with timed points, when there is a velocity
};

/// The orbit the fireball came from (orbit/orbit.hpp), from the begin point at
/// the begin time with the initial velocity along the trajectory.
struct SolvedOrbit {
  Orbit orbit;                 ///< units and frames in orbit/orbit.hpp
  double time = 0.0;           ///< s since 1970 UTC: the begin time on the reference clock
  GeodeticPosition point;      ///< the begin point
  /// 1 sigma of every figure over the Monte Carlo draws (angles on the circle;
  /// Q and period when every draw has them).
  std::optional<Orbit> sigma;
  int draws = 0;               ///< draws that gave an orbit
  /// What the shower rule needs of every draw that gave an orbit (Monte Carlo only).
  std::vector<ShowerKey> drawKeys;
  /// The shower of the nominal orbit (set by the front ends' pipeline, app/solve_event),
  /// with the share of drawKeys in it.
  ShowerAssociation shower;
};

/// Summary of a Monte Carlo run.
struct MonteCarloSummary {
  int draws = 0;        ///< draws asked for
  int failed = 0;       ///< draws that gave no trajectory (counted, not hidden)
  std::uint64_t seed = 0;
};

/// One station's angular sigma and the residuals it rests on (trajectory/noise.hpp).
struct StationSigma {
  std::size_t station = 0;                    ///< index into Event::stations
  double sigma = 0.0;                         ///< degrees on the sky, per axis: what weighed its sightings (with no stated sigma of their own)
  SigmaSource source = SigmaSource::Default;  ///< stated, estimated, pooled or default
  std::optional<double> residualRms;          ///< degrees, per axis: over its sightings in the fit (an excluded station: its cross-track residuals); empty without a trajectory
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
  std::optional<SolvedOrbit> orbit;        ///< when the sightings are timed and give an initial velocity
  std::vector<StationSigma> stationSigmas; ///< one per station, in input order
  std::optional<Photometry> photometry;    ///< when sightings with magnitudes have points (trajectory/photometry.hpp)
};

/// A short English description of a status, for messages.
const char* statusText(SolveStatus status);

}  // namespace sightline
