// The noise of the sightings from the residuals of a fit: each station's
// angular sigma (stated, estimated from its own residuals, pooled over the
// stations that have enough sightings, or the default), warnings on stated
// sigmas the residuals contradict, and the sightings and stations a fit must
// leave out (bad frames, misaligned or mistimed cameras).
//
// Units: every angle in radians on the sky, per axis (the meaning the Monte
// Carlo draws give a sigma: each of the two axes moved by that much);
// residuals signed as in solution.hpp.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"

namespace sightline {

/// Where a station's sigma comes from.
enum class SigmaSource {
  Stated,     ///< every one of its sightings has a stated sigma (event, station, sighting or ECSV columns)
  Estimated,  ///< from its own residuals (6 or more sightings in the file)
  Pooled,     ///< from the pooled residuals of the stations with 6 or more sightings
  Default,    ///< kDefaultSigmaDegrees: no station has 6 or more sightings
};

/// "stated", "estimated", "pooled" or "default".
const char* sigmaSourceName(SigmaSource source);

/// One sighting's misfit as a fit left it.
struct SightingMisfit {
  std::size_t station = 0;           ///< index of its station
  bool hasPoint = false;             ///< the fit gave it a point (and so a residual)
  bool excluded = false;             ///< left out of the fit
  double crossTrack = 0.0;           ///< radians, signed: across the trajectory (no speed model can absorb it)
  std::optional<double> alongTrack;  ///< radians, signed: along it (timed sightings with a speed model only)
};

/// What the estimate needs of one station, from the event.
struct StationNoiseInput {
  std::size_t sightings = 0;  ///< sightings in the file
  bool stated = false;        ///< every sighting has a stated sigma
  double statedSigma = 0.0;   ///< radians: quadratic mean of its stated sigmas (when stated)
  bool excluded = false;      ///< left out of the fit as a bad station
};

/// One station's sigma and the residuals it rests on.
struct StationNoise {
  double sigma = 0.0;                         ///< radians, per axis
  SigmaSource source = SigmaSource::Default;
  std::optional<double> residualRms;          ///< radians, per axis: over its sightings in the fit (an excluded station: its cross-track residuals)
  std::size_t components = 0;                 ///< residual components behind residualRms
};

/// The stations' sigmas from the residuals of one fit.
///
/// Given:
///   stations    per station (see StationNoiseInput)
///   misfits     per sighting of the fit, any order
///   parameters  parameters the fit adjusted (line, speed model, clock offsets)
///
/// Returned:
///   per station: its sigma (radians), source and residual RMS (radians per axis).
///
/// Notes:
///   - The components counted are the ones really observed: the cross-track residual of
///     every sighting with a point, and the along-track one where a speed model places
///     the sighting (an untimed sighting's place along the line is free: it has none).
///   - Estimated sigma^2 = sum(residual^2) / (m (1 - P/M)): m components of the station,
///     M of the whole fit, P parameters. The factor is the mean leverage P/M of a linear
///     least-squares fit spread evenly over the components (e.g. Draper & Smith 1998,
///     Applied Regression Analysis, sec. 2.6): an unbiased estimate of the noise variance.
///     For two components per sighting this is sqrt(sum |theta|^2 / (2n)) corrected.
///   - Floor kSigmaFloor (1 arcsecond): exact data would otherwise weigh without bound.
///   - A station with fewer than 6 sightings in the file takes the pooled estimate of the
///     stations that have 6 or more (their squared residuals pooled, excluded stations
///     left out), or kDefaultSigmaDegrees when none has.
std::vector<StationNoise> estimateStationSigmas(const std::vector<StationNoiseInput>& stations,
                                                const std::vector<SightingMisfit>& misfits, std::size_t parameters);

/// Warnings "sigma-overstated" (residual RMS under a fifth of the stated sigma) and
/// "sigma-understated" (over three times it) for the stated stations whose residuals
/// have degrees of freedom left (the fit has more components than parameters).
/// `names` per station; `noise` from estimateStationSigmas().
std::vector<Warning> statedSigmaWarnings(const std::vector<StationNoiseInput>& stations,
                                         const std::vector<StationNoise>& noise, const std::vector<std::string>& names,
                                         const std::vector<SightingMisfit>& misfits, std::size_t parameters);

/// What the next refit leaves out: one bad station, or bad frames of one station, or nothing.
struct Exclusion {
  std::optional<std::size_t> station;       ///< a bad station: every sighting of it goes
  std::vector<std::size_t> sightings;       ///< bad frames (indices into the misfits), all of one station
  std::string reason;                       ///< English, with the numbers that decided
};

/// The worst station that the residuals of one fit (with estimated sigmas) condemn.
///
/// Given:
///   stations  per station (excluded ones are already out)
///   noise     per station from estimateStationSigmas() on the same fit
///   misfits   per sighting of the fit
///
/// Returned:
///   empty station and sightings when nothing is to go.
///
/// Notes:
///   - Bad frame: a sighting in the fit whose cross-track residual exceeds 5 times its
///     station's robust sigma, 1.4826 * median |cross-track residual| (floor 1
///     arcsecond), at stations with 6 or more sightings in the fit; never more than
///     half of a station's sightings, nor runs of 3 or more consecutive frames (a trend the
///     model misses, not bad frames). Along-track misfit is the speed model's business.
///   - Bad station, all three of: residual RMS over 3 times the median of the others'
///     and over 30 arcseconds; mean cross-track residual more than 5 standard errors
///     from zero (a misaligned or mistimed camera; an honest noisier one is only
///     down-weighted); at least 2 good stations left and at most half of the stations out.
///   - Worst first: of the bad stations the one whose RMS is the largest multiple of
///     the others' median, else the station with the largest bad frame (in robust sigmas).
Exclusion decideExclusion(const std::vector<StationNoiseInput>& stations, const std::vector<StationNoise>& noise,
                          const std::vector<SightingMisfit>& misfits);

/// Sigma floor of an estimate, radians (1 arcsecond).
inline constexpr double kSigmaFloor = 4.84813681109536e-6;

}  // namespace sightline
