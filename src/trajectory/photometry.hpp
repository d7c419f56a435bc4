// Photometry of a solved event: absolute magnitudes, the stations' combined
// light curve, its peak, the F parameter and the photometric mass.
//
// Units and frames as in solution.hpp: metres, heights above the WGS84
// ellipsoid, seconds on the reference clock from the begin time, m/s.
// Magnitudes are visual (the cameras' passband); absolute magnitudes are
// those the meteor would have at 100 km.
#pragma once

#include <optional>
#include <vector>

#include "common/diagnostics.hpp"
#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"
#include "trajectory/luminous_efficiency.hpp"

namespace sightline {

struct Solution;

/// Power radiated in the cameras' passband by a meteor of absolute magnitude 0, watts:
/// the convention of the video networks' photometric masses (the value depends on the
/// passband; panchromatic film photometry used larger ones).
inline constexpr double kZeroMagnitudePower = 1210.0;
/// Range to which absolute magnitudes are reduced, metres.
inline constexpr double kAbsoluteMagnitudeRange = 100000.0;
/// Apparent magnitudes the readers accept: brighter than -30 or fainter than +15 is a mistake.
inline constexpr double kBrightestMagnitude = -30.0;
inline constexpr double kFaintestMagnitude = 15.0;

/// One sample of the combined light curve.
struct LightCurveSample {
  std::optional<double> time;  ///< s from the begin time on the reference clock (timed curves only)
  double absoluteMagnitude = 0.0;
  double power = 0.0;          ///< W in the passband: kZeroMagnitudePower * 10^(-0.4 * absoluteMagnitude)
  GeodeticPosition position;   ///< where the meteor was (height above the ellipsoid)
  Vector3 ecef;                ///< the same point, ECEF metres
  std::optional<double> speed; ///< m/s, the speed model there (timed curves with a speed model)
  int stations = 0;            ///< stations whose sightings the sample averages
};

/// What the photometry of an event found.
struct Photometry {
  /// The combined light curve in the order of flight (see photometryOf for the method).
  std::vector<LightCurveSample> curve;
  bool timed = false;                  ///< the curve's samples are binned by time (else along the path)
  double peakAbsoluteMagnitude = 0.0;  ///< of the brightest sample of the curve
  GeodeticPosition peak;               ///< where it was (height above the ellipsoid)
  std::optional<double> peakTime;      ///< s from the begin time (timed curves only)
  std::optional<double> fParameter;    ///< (begin height - peak height) / (begin height - end height), trajectory begin and end
  std::optional<double> mass;          ///< kg, photometric mass (timed curves with a speed model only)
  LuminousEfficiencyModel model = LuminousEfficiencyModel::Constant;
  std::optional<double> tau;           ///< fraction, the luminous efficiency used (null when it could not be had)
};

/// Absolute magnitude of apparent magnitude `apparent` seen at `range` metres (> 0):
/// M = m + 5 log10(100 km / range) (the inverse-square law, no extinction).
double absoluteMagnitude(double apparent, double range);

/// Power radiated in the passband (W) at absolute magnitude `absolute`:
/// kZeroMagnitudePower * 10^(-0.4 * absolute).
double radiatedPower(double absolute);

/// Photometric mass (kg) of a light curve: m = integral of 2 I / (tau v^2) dt
/// (the luminous equation, e.g. Ceplecha et al. 1998, Space Sci. Rev. 84, 327,
/// with the mass loss rate integrated), by the trapezoidal rule over the samples.
///
/// Given:
///   time   s, increasing;  power  W;  speed  m/s (> 0);  tau  fraction (> 0); same sizes, at least 2
/// Returned:
///   kg; nullopt when the samples cannot give a mass (fewer than 2, a speed not > 0)
std::optional<double> photometricMass(const std::vector<double>& time, const std::vector<double>& power,
                                      const std::vector<double>& speed, double tau);

/// The photometry of `solution` (solve()'s result for `event`), and each sighting's
/// absolute magnitude (solution.sightings[i].absoluteMagnitude).
///
/// Given:
///   event       the magnitudes (Sighting::magnitude) and the luminous efficiency (Event::luminousEfficiency)
///   solution    its sightings' points, ranges, times from the begin and model speeds; the trajectory
///
/// Returned:
///   nullopt when no sighting with a magnitude has a point; warnings (coded) in `warnings`:
///   "no-mass-without-times" (fewer than two timed sightings with magnitudes),
///   "no-mass-without-speed" (timed, but no speed model, or one not positive everywhere),
///   "no-photometry-without-points".
///
/// Notes:
///   - The combined light curve: every sighting with a magnitude and a point, not left
///     out of the fit, is a sample of its station's curve. When two or more of them are
///     timed, the timed ones are binned by time from the begin (the stations' clock
///     offsets removed); otherwise all are binned by distance along the path (by height
///     without a trajectory line). The bin width is the median spacing of consecutive
///     samples of one station (pooled over the stations), so that a bin holds about one
///     frame of each station; the bins start at the first sample.
///   - In each bin each station's samples are averaged in power (not in magnitude), and
///     the bin is the mean of the stations that have samples in it: stations that see
///     only part of the flight still add their part, and where several see it their
///     calibrations are averaged. Time, point and speed are averaged the same way.
///   - The peak is the brightest bin; the mass integrates the binned curve with the
///     model speed of each bin and one tau for the whole flight (the Constant tau, or
///     Drolshagen 2021's tau at the initial speed).
std::optional<Photometry> photometryOf(const Event& event, Solution& solution, std::vector<Warning>& warnings);

}  // namespace sightline
