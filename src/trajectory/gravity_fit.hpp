// The trajectory of a timed event as a body that flies under gravity above a
// turning Earth: one joint least-squares fit of the begin point, the
// direction, the speed model and the stations' clock offsets to the
// sightings' directions on the sky.
//
// Model (frame: ECEF at the begin time t_b, held fixed in space; metres, s):
//   r(t) = r_b + u*(s(t) - s(t_b)) + d(t),
//   d'' = g(r(t)) = -GM r/|r|^3,  d(t_b) = d'(t_b) = 0,
// s(t) the speed model of trajectory/velocity.hpp (exponential deceleration
// or constant speed), u a constant unit vector. The Earth turns about +z at
// omega, so a point fixed to the Earth at p is at Rz(omega*(t - t_b)) p at t
// and the meteor's Earth-fixed place is Rz(-omega*(t - t_b)) r(t). A timed
// sighting at station time t is seen at the corrected time t - offset of its
// station. Polar motion, precession, nutation and light time are neglected
// over a flight's seconds.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "geometry/vector3.hpp"
#include "orbit/orbit.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/velocity.hpp"

namespace sightline {

namespace gravity_constants {
/// Earth's rotation rate, rad/s (IERS Conventions 2010, the nominal mean angular velocity).
inline constexpr double kEarthRotation = 7.292115e-5;
/// Geocentric gravitational constant, m^3/s^2 (IERS Conventions 2010, EGM2008 value).
inline constexpr double kEarthGm = 3.986004418e14;
}  // namespace gravity_constants

/// The gravity grid: d(t) and d'(t) at evenly spaced times, integrated once
/// along a trajectory and interpolated (cubic Hermite) between nodes.
struct GravityGrid {
  double first = 0.0;               ///< s from the fit's epoch: time of node 0
  double step = 0.0;                ///< s between nodes (> 0), 0 when there is a single node
  std::vector<Vector3> d;           ///< m, displacement by gravity since t_b, inertial frame at t_b
  std::vector<Vector3> rate;        ///< m/s, its time derivative
};

/// What fitGravity() finds. Times are seconds from the caller's epoch unless said otherwise.
struct GravityFit {
  bool ok = false;
  double epoch = 0.0;               ///< s since 1970 UTC: what every time here counts from
  VelocityModel model = VelocityModel::Constant;
  double beginTime = 0.0;           ///< s from the epoch, on the reference clock: t_b
  Vector3 begin;                    ///< r_b, ECEF metres at t_b
  Vector3 direction;                ///< u, unit, in the inertial frame (ECEF at t_b)
  Vector3 velocity;                 ///< m/s, Earth-fixed velocity at the begin: u s'(t_b) - omega z x r_b
  // The speed model s(t) - s(t_b) = v (t - tp) - dec (t - tp)^2 G(k (t - tp)) - the same at t_b
  // (velocity.cpp's pivot form, G(x) = (exp(x) - 1 - x)/x^2):
  double pivot = 0.0;               ///< s from the epoch: tp
  double v = 0.0;                   ///< m/s at tp
  double dec = 0.0;                 ///< m/s^2 at tp (0: constant speed)
  double k = 0.0;                   ///< 1/s (|a2|)
  std::size_t referenceStation = 0; ///< index into PreparedEvent::stations
  std::vector<ClockOffset> offsets; ///< as the start fit's, with the fitted values
  GravityGrid grid;                 ///< d(t) along this trajectory
  int iterations = 0;               ///< Gauss-Newton (Levenberg-Marquardt) steps taken
  double chiSquare = 0.0;           ///< sum of squared residuals in sigmas (both axes)
};

/// Fits the model to the timed, not excluded sightings of `event`.
///
/// Given:
///   event       the prepared event; only PreparedSighting::time, sigma, station, excluded are used
///   directions  per sighting: unit ECEF line of sight (refraction already applied, as solveCore gives)
///   epoch       s since 1970 UTC: what the speed fit's times count from
///   line        the straight-line start: its begin point and direction of flight
///   speed       the speed fit along that line (times from `epoch`): model, parameters, offsets
///   warm        optional: a fit of a nearby realisation of the same event, whose gravity grid
///               is reused and whose parameters start the iterations (the Monte Carlo draws)
///
/// Returned:
///   the fit; ok == false when the iterations fail or the sightings do not fix the parameters.
///
/// Notes:
///   - Residuals are each sighting's two angles on the sky between its line of sight and the
///     direction to the model's Earth-fixed place at its corrected time, over its sigma.
///   - Levenberg-Marquardt (Marquardt 1963) with the analytic Jacobian; d(t) is integrated
///     (classical Runge-Kutta) along the current trajectory once per iteration and held fixed
///     within it: it depends on the parameters to a part in a million.
///   - t_b, the earliest corrected time of the fitted sightings, moves with the offsets: the
///     fit is repeated with the frame moved to the new t_b until it stays within a microsecond.
GravityFit fitGravity(const PreparedEvent& event, const std::vector<Vector3>& directions, double epoch,
                      const CoreResult& line, const VelocityFit& speed, const GravityFit* warm = nullptr);

/// The same fit with the speed model's parameters, offsets and geometry taken from `warm` and
/// the model forced to `model` (a constant-speed start of an exponential refit, or back).
GravityFit refitGravity(const PreparedEvent& event, const std::vector<Vector3>& directions, const GravityFit& warm,
                        const VelocityFit& speed);

/// Clock offset (s) of `station` in the fit (0 when not fitted).
double offsetOf(const GravityFit& fit, std::size_t station);

/// Corrected time (s from the epoch, reference clock) of sighting `i`; NaN when untimed.
double correctedTime(const GravityFit& fit, const PreparedEvent& event, double epoch, std::size_t i);

/// The model's Earth-fixed place (ECEF m) and Earth-fixed velocity (m/s) at time t (s from the epoch).
void earthFixedState(const GravityFit& fit, double t, Vector3& position, Vector3& velocity);

/// s(t) - s(t_b) (m) and s'(t) (m/s): length along u and inertial speed at t (s from the epoch).
double trackLength(const GravityFit& fit, double t, double* speed = nullptr);

/// The timed sightings' places along the model (the speed model's input with gravity and the
/// Earth's turning removed), for the choice of speed model by fitVelocity(): per timed,
/// not excluded sighting with a finite line of sight, its own-clock time (s from the epoch),
/// its length along u from r_b (m) and its along-track sigma (m). `indices` receives the
/// sighting indices.
std::vector<TimedPoint> gravityTrack(const GravityFit& fit, const PreparedEvent& event,
                                     const std::vector<Vector3>& directions, double epoch,
                                     std::vector<std::size_t>* indices = nullptr);

/// The orbit state at the begin: t_b (s since 1970 UTC), r_b and the Earth-fixed velocity.
OrbitState gravityBeginState(const GravityFit& fit, double epoch);

}  // namespace sightline
