// The outer loop of solve(): fit once, estimate the stations' sigmas from the
// residuals, leave out bad frames and bad stations, refit; and the same
// sigmas and exclusions for the Monte Carlo draws.
#pragma once

#include <functional>

#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"
#include "trajectory/solver_core.hpp"

namespace sightline {

/// One fit of a prepared event as its sigmas and exclusions stand, with everything reported from it.
using PreparedFit = std::function<Solution(const PreparedEvent&)>;

/// Fits `prepared` (made by prepare(event)) with `fit`, then, while a trajectory is found:
///   1. estimates every station's sigma from the residuals (trajectory/noise.hpp), applies it to
///      its sightings that state none and refits, until no sigma moves by more than 5%;
///   2. leaves out the worst bad station, or the bad frames of the worst station, and refits;
/// repeated until nothing more is left out. Returns the last fit's solution with
/// `stationSigmas`, the excluded sightings marked, and the warnings "station-excluded",
/// "sighting-excluded", "sigma-overstated" and "sigma-understated" after the fit's own.
/// `prepared` ends with the sigmas (radians) and exclusions of that fit.
/// Exclusions are never taken back. Without a trajectory the sigmas stay as stated or default.
Solution fitWithNoise(const Event& event, PreparedEvent& prepared, const PreparedFit& fit);

/// Gives `prepared` (made by prepare() of the solved event) the sigmas and exclusions of
/// `solution` (SightingResult::sigma, degrees, and ::excluded), for draws that perturb
/// and refit as the solution was fitted.
void applySolvedNoise(const Solution& solution, PreparedEvent& prepared);

/// Parameters the fit of `solution` adjusted: 4 of the line, 4 (deceleration) or
/// 2 (constant speed) of the speed model, one per fitted clock offset; 0 without a line.
std::size_t fittedParameters(const Solution& solution);

}  // namespace sightline
