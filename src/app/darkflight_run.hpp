// A dark flight from its inputs to its outputs, as every front end does it
// (the command line and the Python module): the start from the options or a
// solution, the air from a profile, the fall line and the strewn field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/solve_event.hpp"
#include "formats/darkflight_writers.hpp"
#include "formats/files.hpp"

namespace sightline {

/// What a front end was asked. Option names in messages are the command line's.
struct DarkFlightRequest {
  std::optional<darkflight::StartState> start;  ///< explicit state (speed in m/s); or `solution`
  bool timeKnown = true;
  std::optional<NamedText> solution;            ///< a `solve --format json` solution
  std::optional<NamedText> wind;                ///< the profile; none: still air, 1976 standard
  std::vector<double> masses;                   ///< kg; empty: the default fall line
  double density = 3500.0;                      ///< kg/m^3
  double shapeFactor = 1.21;                    ///< A
  double groundHeight = 0.0;                    ///< metres above mean sea level
  int draws = 0;                                ///< Monte Carlo draws per mass; 0: none
  std::uint64_t seed = 0;
  int threads = 0;                              ///< 0: all cores
  std::optional<double> sigmaPosition;          ///< metres (east, north, up each); the solution's otherwise, else 0
  std::optional<double> sigmaSpeed;             ///< m/s; the solution's otherwise, else 0
  std::optional<double> sigmaDirection;         ///< degrees; the solution's otherwise, else 0
  double windSigma = 2.0;                       ///< m/s
  double shapeFactorRange = 0.15;               ///< half-width of A's uniform range
  double densityRange = 0.10;                   ///< half-width of the density's uniform range, fraction
  bool keepPaths = false;                       ///< keep each fall's path (figures)
};

/// The report, or why there is none (status from common/exit_status.hpp and the message).
struct DarkFlightOutcome {
  std::optional<InputFailure> failure;
  DarkFlightReport report;
  int status = 0;  ///< kExitSolved, or kExitNoSolution when no mass landed
};

/// Checks the request, reads its files' texts, and computes the fall line and, with draws, the strewn field.
DarkFlightOutcome runDarkFlight(const DarkFlightRequest& request);

/// The report in `format` ("text", "json", "geojson", "kml", "csv").
std::string renderDarkFlight(const std::string& format, const DarkFlightReport& report);

}  // namespace sightline
