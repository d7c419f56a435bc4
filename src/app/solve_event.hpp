// One event from its inputs to its outputs: the steps that every front end
// shares (the command line, the batch command and the Python module), so that
// all of them give the same numbers for the same event.
//
//   read (eventFromInputs) -> validate (station heights) -> solve (+ Monte Carlo) -> write (renderSolution)
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/showers.hpp"
#include "earth/geoid.hpp"
#include "formats/files.hpp"
#include "formats/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"
#include "uncertainty/monte_carlo.hpp"

namespace sightline {

/// The output formats of a solution.
enum class OutputFormat { Text, Json, GeoJson, Kml, Csv };

/// The format named `name` ("text", "json", "geojson", "kml", "csv"), if any.
std::optional<OutputFormat> outputFormatFromName(const std::string& name);

/// Why inputs give no event: the exit status it calls for (kExitUsage: the
/// inputs are of the wrong kind or number; kExitInput: a file is not valid)
/// and the message (file, line or JSON path, what was expected).
struct InputFailure {
  int status = 0;
  std::string message;
};

/// The event of `inputs`: one event file (JSON), or two or more ECSV files
/// (one per station) whose heights are measured from `ecsvHeights`.
std::optional<InputFailure> eventFromInputs(const std::vector<NamedText>& inputs, HeightReference ecsvHeights,
                                            Event& event);

/// The EGM96 geoid, opened once per process and shared by every thread;
/// `geoid` is nullptr when the grid is missing, with `message` saying why.
struct GeoidAccess {
  const Geoid* geoid = nullptr;
  std::string message;
};
const GeoidAccess& sharedGeoid();

/// What a front end may change of the event's own settings.
struct SolveSettings {
  std::optional<Refraction> refraction;  ///< the event's refraction handling otherwise
  std::optional<int> draws;              ///< Monte Carlo draws; the event's otherwise
  std::optional<std::uint64_t> seed;     ///< the event's seed otherwise
  int threads = 0;                       ///< threads for the draws; 0: all cores
  std::optional<TrajectoryModel> trajectoryModel;  ///< the event's "trajectoryModel" otherwise
  ShowerSettings showers;                ///< the shower table and the rule's limits
  /// The luminous efficiency of the photometric mass; the default (constant 0.7%) otherwise.
  std::optional<LuminousEfficiency> luminousEfficiency;
};

/// The luminous efficiency (a fraction, 0 < tau <= 1) written as `text`: a per cent
/// such as "0.7%", or a fraction such as "0.007"; nullopt when it is neither.
std::optional<double> tauFromText(const std::string& text);

/// Makes station heights above mean sea level heights above the ellipsoid,
/// applies `settings` to `event`, solves it and, when it has a solution and
/// draws are asked for, estimates the uncertainties; an orbit gets its shower
/// (app/showers.hpp). An error when a station's height needs the geoid and it
/// cannot be had (its `file` empty), or when the shower table cannot be read.
/// `stop`, when set, is polled during the draws: true ends them early.
std::optional<InputError> solveEvent(Event& event, const SolveSettings& settings, Solution& solution,
                                     const ProgressFunction& progress = {}, const StopFunction& stop = {});

/// True when `solution` found a trajectory or points.
bool isSolved(const Solution& solution);

/// `solution` written in `format`.
std::string renderSolution(OutputFormat format, const Event& event, const Solution& solution,
                           const OutputContext& context);

}  // namespace sightline
