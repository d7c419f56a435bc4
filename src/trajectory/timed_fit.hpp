// The one fit of a timed event: the speed model along the straight line, or
// (the gravity model) the joint fit of trajectory/gravity_fit.hpp started
// from it, with the speed model chosen by fitVelocity() on the lengths the
// gravity model leaves. What solve() and every Monte Carlo draw call.
//
// Frames and units: ECEF metres and m/s; times in seconds from `epoch`
// (s since 1970 UTC); angles in radians.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "trajectory/event.hpp"
#include "trajectory/gravity_fit.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/velocity.hpp"

namespace sightline {

/// What fitTimed() found.
struct TimedFit {
  /// The speed model as the solution reports it. Gravity: t0 is t_b, lengths count from r_b
  /// along u (c = |a1|), initialVelocity and the speeds are Earth-fixed speeds |v_ef|.
  VelocityFit speed;
  std::optional<GravityFit> gravity;   ///< when the gravity model was fitted
  std::vector<std::size_t> sightings;  ///< indices into PreparedEvent::sightings of speed.t, lengths, lag
  std::vector<double> lengths;         ///< m: each sighting's place along the trajectory from the begin point
  std::vector<double> lag;             ///< m: lengths - (initial speed along the track * t + the model's begin length)
  /// Per PreparedEvent sighting (gravity only; NaN where untimed): the model's Earth-fixed place
  /// at the sighting's corrected time (ECEF m), the range to it (m) and the residuals across and
  /// along the trajectory (rad, signs as SightingResult's).
  std::vector<Vector3> points;
  std::vector<double> range, across, along;
  /// Along-track residual (rad, observed minus model, + along the flight) per PreparedEvent
  /// sighting; NaN where there is none (untimed, or no speed model).
  std::vector<double> alongTrack;
  double epoch = 0.0;                  ///< s since 1970 UTC
  std::vector<Warning> warnings;       ///< of the model choice and of the gravity fit
};

/// Whether the gravity model applies: asked for, a trajectory line, and every sighting
/// in the fit timed. `mixed` is set when only some of them are.
bool gravityApplies(const PreparedEvent& event, const CoreResult& core, TrajectoryModel model, bool* mixed = nullptr);

/// The fit of the timed sightings of `core` (a straight-line solve of `event`).
/// Given: the clock mode, the trajectory model (gravity where gravityApplies()), the epoch and,
/// for a Monte Carlo draw, the nominal fit `warm` (then the speed model is the nominal's).
/// Returned: the fit; speed.ok == false when there is no speed model.
TimedFit fitTimed(const PreparedEvent& event, const CoreResult& core, double epoch, ClockOffsetMode mode,
                  TrajectoryModel model, const TimedFit* warm = nullptr);

/// Puts the gravity fit's begin, end, direction (Earth-fixed velocity at the begin) and
/// sightings' points into `core`, so that a draw's figures read as a straight solve's.
void applyGravity(const TimedFit& fit, CoreResult& core);

}  // namespace sightline
