// The timed sightings' places along the trajectory line, the speed model
// fitted to them and the orbit that starts from it: what solve() and each
// Monte Carlo draw compute from one inner solve.
//
// Frames and units: ECEF metres (solution.hpp); lengths in metres along the
// direction of flight from the begin point; times in seconds.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "orbit/orbit.hpp"
#include "trajectory/solution.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/velocity.hpp"

namespace sightline {

/// The timed sightings that have a point on the trajectory line.
struct AlongTrack {
  double epoch = 0.0;                  ///< s since 1970 UTC: the earliest sighting time, subtracted from every time
  std::vector<std::size_t> sightings;  ///< indices into PreparedEvent::sightings, input order
  std::vector<TimedPoint> points;      ///< same order: station, time (s from epoch), length (m), along-track sigma (m)
};

/// The earliest time (s since 1970 UTC) of the event's sightings, if any is timed.
std::optional<double> earliestTime(const PreparedEvent& event);

/// The along-track places of `core`'s timed sightings in the fit (empty without a trajectory line).
/// Given: the prepared event, one inner solve, the epoch (s since 1970 UTC).
/// Returned: per timed sighting with a point, its length from core.begin along
/// core.direction (m) and its along-track 1 sigma (m): the angular sigma times
/// the range, divided by the sine of the angle between the line of sight and
/// the trajectory (an error across the line of sight moves the point along
/// the trajectory by that much).
AlongTrack alongTrack(const PreparedEvent& event, const CoreResult& core, double epoch);

/// The solution's speed model from a fit (`average`: the whole path's slope, m/s).
Velocity velocityOf(const VelocityFit& fit, double epoch, std::optional<double> average);

/// The model's length (m) at the begin time: where the lag counts from.
double beginLength(const VelocityFit& fit);

/// The orbit state at the begin point: its time on the reference clock (s since
/// 1970 UTC), position (ECEF m) and the initial velocity along the direction of flight (m/s).
OrbitState beginState(const CoreResult& core, const Velocity& velocity);

}  // namespace sightline
