#include "app/solve_event.hpp"

#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>

#include "common/exit_status.hpp"
#include "formats/ecsv.hpp"
#include "formats/event_json.hpp"
#include "formats/heights.hpp"
#include "formats/map_writers.hpp"
#include "formats/solution_writers.hpp"
#include "trajectory/solve.hpp"

namespace sightline {

namespace {

EcsvOptions ecsvOptions(HeightReference heights) {
  EcsvOptions options;
  options.heights = heights;
  return options;
}

std::optional<InputFailure> failure(int status, const std::string& message) { return InputFailure{status, message}; }

}  // namespace

std::optional<OutputFormat> outputFormatFromName(const std::string& name) {
  if (name == "text") return OutputFormat::Text;
  if (name == "json") return OutputFormat::Json;
  if (name == "geojson") return OutputFormat::GeoJson;
  if (name == "kml") return OutputFormat::Kml;
  if (name == "csv") return OutputFormat::Csv;
  return std::nullopt;
}

std::optional<InputFailure> eventFromInputs(const std::vector<NamedText>& inputs, HeightReference ecsvHeights,
                                            Event& event) {
  bool allEcsv = !inputs.empty();
  for (const NamedText& input : inputs) allEcsv = allEcsv && input.name != "<stdin>" && looksLikeEcsv(input.name, input.text);
  if (inputs.size() == 1 && !allEcsv) {
    EventReadResult read = readEventJson(inputs[0].text, inputs[0].name);
    if (read.error) return failure(kExitInput, read.error->text());
    event = std::move(read.event);
    return std::nullopt;
  }
  if (inputs.size() == 1)
    return failure(kExitUsage, inputs[0].name + ": an event from ECSV files needs two or more files, one per station");
  for (const NamedText& input : inputs) {
    if (input.name == "<stdin>" || !looksLikeEcsv(input.name, input.text))
      return failure(kExitUsage, (input.name == "<stdin>" ? std::string("-") : input.name) +
                                     ": not an ECSV file; several inputs are read as ECSV files, one per "
                                     "station (an event file is given alone)");
  }
  EventReadResult read = readEcsvEvent(inputs, ecsvOptions(ecsvHeights));
  if (read.error) return failure(kExitInput, read.error->text());
  event = std::move(read.event);
  return std::nullopt;
}

const GeoidAccess& sharedGeoid() {
  struct Holder {
    std::unique_ptr<Geoid> geoid;
    GeoidAccess access;
  };
  // Opened on first use; a function-local static is initialised once, thread-safely.
  static const Holder holder = [] {
    Holder h;
    h.geoid = Geoid::open(h.access.message);
    h.access.geoid = h.geoid.get();
    return h;
  }();
  return holder.access;
}

std::optional<InputError> solveEvent(Event& event, const SolveSettings& settings, Solution& solution,
                                     const ProgressFunction& progress, const StopFunction& stop) {
  const GeoidAccess& geoid = sharedGeoid();
  if (auto error = toEllipsoidHeights(event, geoid.geoid, geoid.message)) return error;
  if (settings.refraction) event.refraction = *settings.refraction;
  if (settings.trajectoryModel) event.trajectoryModel = *settings.trajectoryModel;
  if (settings.draws) event.monteCarlo.draws = *settings.draws;
  if (settings.seed) event.monteCarlo.seed = *settings.seed;
  if (settings.luminousEfficiency) event.luminousEfficiency = *settings.luminousEfficiency;
  event.monteCarlo.threads = settings.threads;
  solution = solve(event);
  if (isSolved(solution) && event.monteCarlo.draws > 0)
    estimateUncertainty(event, solution, event.monteCarlo, progress, stop);
  if (solution.orbit) return associateShower(settings.showers, *solution.orbit);
  return std::nullopt;
}

std::optional<double> tauFromText(const std::string& text) {
  constexpr double kPerCent = 100.0;
  const bool percent = !text.empty() && text.back() == '%';
  std::string number = percent ? text.substr(0, text.size() - 1) : text;
  if (number.empty() || number.find_first_not_of("0123456789.eE+-") != std::string::npos) return std::nullopt;
  // "1.4%" is read as 1.4e-2, the double nearest 0.014 (1.4 / 100 is not).
  const bool exponent = number.find_first_of("eE") != std::string::npos;
  if (percent && !exponent) number += "e-2";
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  if (percent && exponent) value /= kPerCent;
  if (!std::isfinite(value) || !(value > 0.0) || value > 1.0) return std::nullopt;
  return value;
}

bool isSolved(const Solution& solution) {
  return solution.status == SolveStatus::Trajectory || solution.status == SolveStatus::PointsOnly;
}

std::string renderSolution(OutputFormat format, const Event& event, const Solution& solution,
                           const OutputContext& context) {
  std::ostringstream out;
  switch (format) {
    case OutputFormat::Json: writeSolutionJson(out, event, solution, context); break;
    case OutputFormat::GeoJson: writeGeoJson(out, event, solution, context); break;
    case OutputFormat::Kml: writeKml(out, event, solution, context); break;
    case OutputFormat::Csv: writeCsv(out, event, solution, context); break;
    case OutputFormat::Text: writeSolutionText(out, event, solution, context); break;
  }
  return out.str();
}

}  // namespace sightline
