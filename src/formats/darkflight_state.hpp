// The start of a dark flight read from a `solve --format json` solution:
// the end of the luminous trajectory, its speed and direction there, and,
// after a Monte Carlo run, their spreads.
#pragma once

#include <optional>
#include <string>

#include "common/diagnostics.hpp"
#include "darkflight/fall.hpp"

namespace sightline {

/// What a solution says about the end of the luminous flight.
struct DarkFlightStart {
  darkflight::StartState start;       ///< position, direction (degrees), speed (m/s); time if known
  bool timeKnown = false;             ///< false: the solution has no speed model, so no end time
  std::string directionSource;        ///< "endRadiant" or "line" (begin to end, in the end's horizon)
  std::optional<double> sigmaEast, sigmaNorth, sigmaUp;  ///< metres, 1-sigma of the end point
  std::optional<double> sigmaSpeed;                      ///< m/s, 1-sigma of the speed
  std::optional<double> sigmaDirection;                  ///< degrees, 1-sigma of the elevation
};

/// Reads the start of the dark flight from the solution JSON `text` (named `name` in messages).
///
/// Notes: position trajectory.end (degrees, metres above the ellipsoid); time
/// velocity.beginTime + velocity.duration; speed trajectory.velocity.final, or
/// trajectory.speed when there is no speed model; direction
/// trajectory.endRadiant when the solution has it, otherwise the line from
/// trajectory.begin to trajectory.end (a straight-line solution) as the
/// azimuth and elevation in the end point's horizon of where the body came
/// from. Sigmas: trajectory.end.sigma, velocity.sigma.final (or speedSigma)
/// and the radiant's sigma: max(sigma_el, sigma_az cos el).
std::optional<InputError> readDarkFlightStart(const std::string& text, const std::string& name, DarkFlightStart& out);

}  // namespace sightline
