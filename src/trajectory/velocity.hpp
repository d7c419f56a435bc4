// The fireball's speed along its trajectory: an exponential deceleration
// model fitted to the along-track lengths of all timed sightings of all
// stations, jointly with the stations' clock offsets, robust to bad frames.
//
// Frames and units: lengths in metres along the direction of flight from the
// begin point; times in seconds; speeds in m/s. "Model time" counts seconds
// on the reference station's clock from the begin time t0.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"

namespace sightline {

/// How the stations' clocks are treated (event key "clockOffsets": "fit" | "none").
enum class ClockOffsetMode { Fit, None };

/// Which speed model a fit ended with.
enum class VelocityModel { Exponential, Constant };

/// One timed sighting's point on the trajectory line.
struct TimedPoint {
  std::size_t station = 0;  ///< index of the station (any indices; need not be contiguous)
  double time = 0.0;        ///< s, on the station's own clock, from any common epoch (subtract a large epoch first)
  double length = 0.0;      ///< m, along the direction of flight from the begin point
  double sigma = 1.0;       ///< m, 1-sigma along-track uncertainty (> 0)
};

/// One station's clock offset.
struct ClockOffset {
  std::size_t station = 0;
  double offset = 0.0;  ///< s: the station's clock minus the reference clock (positive: its times are later)
  bool fitted = false;  ///< false: fixed at 0 (reference station, mode None, or fewer than 4 timed points)
};

/// A coded warning (e.g. "constant-speed-fallback"): `code` is stable and machine-readable, `text` is English.
using VelocityWarning = Warning;

/// Result of fitVelocity(). The model is
///   length(t) = c + vInf*t - |a1|*exp(|a2|*t),   speed(t) = vInf - |a1||a2|*exp(|a2|*t),
/// t in seconds of model time (reference clock, from t0).
struct VelocityFit {
  bool ok = false;  ///< false only when there is nothing to fit (fewer than 2 distinct times): no numbers then
  VelocityModel model = VelocityModel::Constant;
  double t0 = 0.0;  ///< s, same epoch as TimedPoint::time: begin time on the reference clock (earliest corrected time)
  double c = 0.0;   ///< m
  double vInf = 0.0;                 ///< m/s
  double a1 = 0.0;                   ///< m (0 for Constant)
  double a2 = 0.0;                   ///< 1/s (0 for Constant)
  std::size_t referenceStation = 0;  ///< station index whose clock is the reference
  std::vector<ClockOffset> offsets;  ///< one per station with timed points, in order of first appearance
  double rms = 0.0;                  ///< m, RMS of the length residuals (unweighted, on the reference clock)
  double initialVelocity = 0.0;      ///< m/s: model speed at t = 0 (the begin point)
  double finalVelocity = 0.0;        ///< m/s: model speed at the last corrected time
  std::vector<VelocityWarning> warnings;
  // Per input point, same order:
  std::vector<double> t;       ///< s: time on the reference clock minus t0
  std::vector<double> speed;   ///< m/s: model speed there
  std::vector<double> lag;     ///< m: length - (initialVelocity*t + c)
  std::vector<double> weight;  ///< robust weight (0..1) the final fit gave the point: small for a bad frame
  double scale = 1.0;          ///< robust scale of the residuals in sigmas: max(1.4826*median|residual/sigma|, 1)
  int iterations = 0;          ///< Levenberg-Marquardt iterations of the exponential refinement (0: none)
};

/// Fits the speed model and the clock offsets.
///
/// Given:
///   points  all timed points of all stations (time s, length m, sigma m > 0)
///   mode    Fit: every station but the reference with at least 4 points gets an
///           offset (s); None: all offsets 0
///   start   optional warm start: a fit of a nearby realisation of the same event
///           (the Monte Carlo draws); with it the global search over |a2| is skipped and
///           the robust scale is the start's (the draws share the event's noise level)
///
/// Returned:
///   the fit (see VelocityFit); ok == false when the points hold fewer than 2 distinct times,
///   or (warning "no-speed-fit") when they cannot fix a speed with the offsets fitted.
///
/// Notes:
///   - The reference station has the most timed points (the first in input order on a tie).
///   - Weighted by 1/sigma^2 with Huber's loss (Huber 1964), applied by iteratively
///     reweighted least squares with the scale max(1.4826*MAD, 1) in sigma units,
///     so points within about 1.3 sigma are never down-weighted.
///   - For a fixed |a2| the model is linear in c, vInf, a1 and in the products
///     vInf*offset (variable projection, Golub & Pereyra 1973): a log grid of |a2|
///     gives the start, Levenberg-Marquardt (Marquardt 1963) refines all parameters.
///   - The straight line c + v*t (offsets still fitted) replaces the exponential
///     model, with a "constant-speed-fallback" warning saying why, when the
///     deceleration term is not supported by the data: too few points or too short,
///     no significant improvement, a speed-up, no convergence, or |a2| beyond reason.
///     Significance: an F-test of the weighted residual sums at a false-alarm rate of
///     0.001 (2 extra parameters; trajectory/f_test.hpp), unchanged when every sigma is
///     multiplied by one constant.
///   - Exponential deceleration of meteors: e.g. Whipple & Jacchia 1957; Pecina & Ceplecha 1983.
VelocityFit fitVelocity(const std::vector<TimedPoint>& points, ClockOffsetMode mode,
                        const VelocityFit* start = nullptr);

/// Model length (m) at model time t (s from fit.t0 on the reference clock).
double modelLength(const VelocityFit& fit, double t);

/// Model speed (m/s) at model time t (s from fit.t0 on the reference clock).
double modelSpeed(const VelocityFit& fit, double t);

/// The deceleration model's shape functions at x = |a2|*t (dimensionless), for fits
/// that use its pivot form length = c + v*t - d*t^2*bend (speed v - d*t*growth):
///   growth = expm1(x)/x,  bend = (exp(x) - 1 - x)/x^2,  slope = d bend/dx,
/// free of cancellation near x = 0.
struct DecelerationShape {
  double growth = 1.0, bend = 0.5, slope = 1.0 / 6.0;
};
DecelerationShape decelerationShape(double x);

}  // namespace sightline
