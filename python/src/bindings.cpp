// The C++ half of the Python module (sightline._sightline): conversions
// between Python values and the event pipeline that the command line uses
// (src/app/solve_event.hpp), and nothing else. Events and solutions cross as
// the JSON texts of the event and solution formats, so that Python sees exactly
// what `sightline solve --format json` writes, and batch records as the lines
// that `sightline batch` writes (src/app/batch.hpp). The package sightline/
// (python/sightline/__init__.py) turns the texts into dicts.
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "app/batch.hpp"
#include "app/correlate_night.hpp"
#include "app/darkflight_run.hpp"
#include "app/solve_event.hpp"
#include "app/summary.hpp"
#include "common/version.hpp"
#include "formats/event_json.hpp"
#include "formats/files.hpp"
#include "formats/orbit_writers.hpp"
#include "orbit/orbit.hpp"
#include "trajectory/time.hpp"

namespace py = pybind11;

namespace sightline {

namespace {

constexpr double kMetresPerKilometre = 1000.0;  // speed is given in km/s, as on the command line

/// Bad input (a file, a JSON path, what was expected): raised in Python as
/// sightline.InputError, a ValueError, with what() as its message: the text
/// that the command line prints after "sightline: ".
struct BadInput : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The height reference named `name` ("msl" or "ellipsoid"), as --ecsv-heights takes it.
HeightReference heightReferenceOf(const std::string& name) {
  if (name == "msl") return HeightReference::MeanSeaLevel;
  if (name == "ellipsoid") return HeightReference::Ellipsoid;
  throw py::value_error("heights: expected \"msl\" or \"ellipsoid\", found \"" + name + "\"");
}

/// The settings of the keyword arguments of solve(), checked as the command line checks its options.
SolveSettings settingsOf(const std::optional<std::string>& refraction, std::optional<int> draws,
                         std::optional<std::uint64_t> seed, std::optional<int> threads) {
  SolveSettings settings;
  if (refraction) {
    settings.refraction = refractionFromName(*refraction);
    if (!settings.refraction)
      throw py::value_error("refraction: expected \"none\", \"corrected\" or \"apparent\", found \"" + *refraction + "\"");
  }
  if (draws && *draws < 0) throw py::value_error("mc: expected a whole number, 0 or more, found " + std::to_string(*draws));
  if (threads && *threads < 0)
    throw py::value_error("threads: expected a whole number, 0 or more, found " + std::to_string(*threads));
  settings.draws = draws;
  settings.seed = seed;
  settings.threads = threads.value_or(0);
  return settings;
}

/// The inputs named by `paths`, read whole.
std::vector<NamedText> readPaths(const std::vector<std::string>& paths) {
  std::vector<NamedText> inputs;
  if (auto error = readInputs(paths, inputs)) throw BadInput(error->text());
  return inputs;
}

/// The event of `inputs` (one event file, or two or more ECSV files).
Event eventOf(const std::vector<NamedText>& inputs, HeightReference ecsvHeights) {
  Event event;
  if (auto failure = eventFromInputs(inputs, ecsvHeights, event)) throw BadInput(failure->message);
  return event;
}

/// Polled by the Monte Carlo from the thread that called solve() (which has
/// released the GIL): takes the GIL and runs Python's signal handlers; true,
/// with `interrupted` set, when one raised (KeyboardInterrupt on Ctrl-C).
StopFunction pythonSignalCheck(bool& interrupted) {
  return [&interrupted] {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return false;
    interrupted = true;
    return true;
  };
}

/// The solution JSON of `inputs`, exactly as `sightline solve --format json`
/// writes it for the same inputs; `source` names them (the paths joined by spaces).
/// Runs without the GIL; a Python exception raised by a signal during the draws is re-raised.
std::string solveInputs(const std::vector<NamedText>& inputs, const std::string& source, HeightReference ecsvHeights,
                        const SolveSettings& settings) {
  Event event = eventOf(inputs, ecsvHeights);
  Solution solution;
  bool interrupted = false;
  std::optional<InputError> error;
  std::string json;
  {
    py::gil_scoped_release released;
    error = solveEvent(event, settings, solution, {}, pythonSignalCheck(interrupted));
    if (!error && !interrupted) {
      OutputContext context;
      context.geoid = sharedGeoid().geoid;
      context.source = source;
      json = renderSolution(OutputFormat::Json, event, solution, context);
    }
  }
  if (interrupted) throw py::error_already_set();
  if (error) {
    if (error->file.empty()) error->file = source;
    throw BadInput(error->text());
  }
  return json;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

std::string solveFiles(const std::vector<std::string>& paths, const std::string& heights,
                       const std::optional<std::string>& refraction, std::optional<int> draws,
                       std::optional<std::uint64_t> seed, std::optional<int> threads) {
  const SolveSettings settings = settingsOf(refraction, draws, seed, threads);
  return solveInputs(readPaths(paths), joined(paths), heightReferenceOf(heights), settings);
}

std::string solveText(const std::string& text, const std::string& name, const std::optional<std::string>& refraction,
                      std::optional<int> draws, std::optional<std::uint64_t> seed, std::optional<int> threads) {
  const SolveSettings settings = settingsOf(refraction, draws, seed, threads);
  return solveInputs({NamedText{name, text}}, name, HeightReference::MeanSeaLevel, settings);
}

/// The event file (JSON text) of one event file or of two or more ECSV files.
std::string readEventFiles(const std::vector<std::string>& paths, const std::string& heights) {
  return writeEventJson(eventOf(readPaths(paths), heightReferenceOf(heights)));
}

/// Seconds since 1970 UTC of `time`: a number of such seconds, or an ISO 8601 text.
double secondsOf(const std::variant<double, std::string>& time) {
  if (const double* seconds = std::get_if<double>(&time)) return *seconds;
  const std::string& text = std::get<std::string>(time);
  if (auto seconds = parseIsoTime(text)) return *seconds;
  throw py::value_error("time: expected an ISO 8601 UTC time such as \"2019-10-23T09:12:25.56Z\" or seconds since "
                        "1970, found \"" + text + "\"");
}

/// The `sightline orbit --format json` document of a radiant and speed.
/// Given: time (s since 1970 UTC or ISO text), latitude, longitude (degrees,
/// WGS84), height (m above the ellipsoid), azimuth (degrees from north through
/// east), elevation (degrees), speed (km/s, Earth-fixed).
std::string orbitDocument(const std::variant<double, std::string>& time, double latitude, double longitude,
                          double height, double azimuth, double elevation, double speedKmPerS) {
  OrbitCommand command;
  command.time = secondsOf(time);
  command.point = GeodeticPosition{latitude, longitude, height};
  command.azimuth = azimuth;
  command.elevation = elevation;
  command.speed = speedKmPerS * kMetresPerKilometre;
  const OrbitState state = stateFromRadiant(command.time, command.point, command.azimuth, command.elevation, command.speed);
  const OrbitResult result = computeOrbit(state);
  ShowerAssociation shower;
  if (auto error = associateOrbit(ShowerSettings{}, result, shower)) throw BadInput(error->text());
  std::ostringstream out;
  writeOrbitJson(out, command, result, shower);
  return out.str();
}

/// The dark-flight JSON (sightline-darkflight) of the options of `sightline
/// darkflight`, by their Python names: degrees, metres, speed km/s, masses kg.
/// Bad input raises BadInput with the command line's message.
std::string darkflightDocument(const std::optional<std::string>& solution, const std::optional<std::variant<double, std::string>>& time,
                               std::optional<double> latitude, std::optional<double> longitude, std::optional<double> height,
                               std::optional<double> azimuth, std::optional<double> elevation, std::optional<double> speed,
                               const std::optional<std::string>& wind, const std::vector<double>& masses, double density,
                               double shapeFactor, double groundHeight, int mc, std::uint64_t seed, int threads,
                               std::optional<double> sigmaPosition, std::optional<double> sigmaSpeed,
                               std::optional<double> sigmaDirection, double windSigma, double shapeFactorRange,
                               double densityRange) {
  DarkFlightRequest r;
  auto read = [](const std::string& path) {
    NamedText text;
    if (auto error = readInput(path, text)) throw BadInput(error->text());
    return text;
  };
  const bool state = time || latitude || longitude || height || azimuth || elevation || speed;
  if (solution && state) throw BadInput("solution excludes time, latitude, longitude, height, azimuth, elevation and speed");
  if (solution) {
    r.solution = read(*solution);
  } else if (time && latitude && longitude && height && azimuth && elevation && speed) {
    r.start = darkflight::StartState{secondsOf(*time), GeodeticPosition{*latitude, *longitude, *height}, *azimuth, *elevation,
                                     *speed * kMetresPerKilometre};
  } else {
    throw BadInput("expected a state: solution, or all of time, latitude, longitude, height, azimuth, elevation and speed");
  }
  if (wind) r.wind = read(*wind);
  r.masses = masses;
  r.density = density;
  r.shapeFactor = shapeFactor;
  r.groundHeight = groundHeight;
  r.draws = mc;
  r.seed = seed;
  r.threads = threads;
  r.sigmaPosition = sigmaPosition;
  if (sigmaSpeed) r.sigmaSpeed = *sigmaSpeed * kMetresPerKilometre;
  r.sigmaDirection = sigmaDirection;
  r.windSigma = windSigma;
  r.shapeFactorRange = shapeFactorRange;
  r.densityRange = densityRange;
  DarkFlightOutcome outcome;
  {
    py::gil_scoped_release release;
    outcome = runDarkFlight(r);
  }
  if (outcome.failure) throw BadInput(outcome.failure->message);
  return renderDarkFlight("json", outcome.report);
}

/// A cell of the summary as Python has it: None, float (nan: undefined), int, str or bool.
py::object summaryCellObject(const SummaryCell& cell) {
  switch (cell.kind) {
    case SummaryCell::Kind::Number: return py::float_(cell.number);
    case SummaryCell::Kind::Integer: return py::int_(cell.integer);
    case SummaryCell::Kind::Text: return py::str(cell.text);
    case SummaryCell::Kind::Flag: return py::bool_(cell.flag);
    case SummaryCell::Kind::None: break;
  }
  return py::none();
}

/// The summary rows (dicts by plain column name) of record lines (JSON Lines text).
py::list summaryRows(const std::string& text, bool standardFilter) {
  SummaryOptions options;
  options.standardFilter = standardFilter;
  const SummaryResult result = summariseRecords({NamedText{"records", text}}, options);
  if (!result.problems.empty()) {
    const std::size_t more = result.problems.size() - 1;
    throw BadInput(result.problems.front() + (more ? " (and " + std::to_string(more) + " more)" : ""));
  }
  const std::vector<SummaryColumn>& columns = summaryColumns();
  py::list rows;
  for (const SummaryRow& row : result.rows) {
    py::dict d;
    for (std::size_t i = 0; i < columns.size(); ++i) d[py::str(columns[i].plain)] = summaryCellObject(row.cells[i]);
    rows.append(d);
  }
  return rows;
}

/// How a batch event is read, by the name that sightline.batch_events() gives it.
BatchSource batchSourceOf(const std::string& name) {
  if (name == "line") return BatchSource::EventLine;
  if (name == "file") return BatchSource::EventFile;
  if (name == "folder") return BatchSource::EcsvFolder;
  if (name == "unreadable") return BatchSource::Unreadable;
  throw py::value_error("source: expected \"line\", \"file\", \"folder\" or \"unreadable\", found \"" + name + "\"");
}

/// The record line of one batch event, exactly as `sightline batch` writes it
/// (JSON Lines, "elapsed" last, ending in "\n"), by the same code
/// (solveBatchEvent, recordLine).
/// Given:
///   source   "line" (`text` is the event's JSON), "file" (`paths[0]` is an
///            event file), "folder" (`paths` are the ECSV files of one event)
///            or "unreadable" (`text` says why the input cannot be listed)
///   id       the event's id (FILE:LINE, the file or the folder path): it names
///            the event in messages and seeds its draws (batchEventSeed)
///   index    its position in the whole input list, from 0
///   heights  "msl" or "ellipsoid": what ECSV station heights are measured from
///   refraction, draws, seed  as `sightline batch --refraction --mc --seed`
/// Returned:
///   the record line; the draws run on the calling thread without the GIL.
std::string batchRecordLine(const std::string& source, const std::string& id, std::size_t index,
                            const std::string& text, const std::vector<std::string>& paths, const std::string& heights,
                            const std::optional<std::string>& refraction, std::optional<int> draws,
                            std::optional<std::uint64_t> seed) {
  const SolveSettings checked = settingsOf(refraction, draws, seed, std::nullopt);
  BatchSettings settings;
  settings.refraction = checked.refraction;
  settings.draws = checked.draws;
  settings.seed = checked.seed;
  settings.ecsvHeights = heightReferenceOf(heights);
  BatchEvent event;
  event.id = id;
  event.index = index;
  event.source = batchSourceOf(source);
  event.paths = paths;
  (event.source == BatchSource::Unreadable ? event.error : event.text) = text;
  if (event.source == BatchSource::EventFile && paths.size() != 1)
    throw py::value_error("paths: expected one event file for source \"file\", found " + std::to_string(paths.size()));
  py::gil_scoped_release released;
  return recordLine(solveBatchEvent(event, settings));
}

using Json = nlohmann::json;

/// The number at `key` of `object`; NaN when it is absent, null or not a number.
double numberOrNaN(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_number() ? it->get<double>() : std::numeric_limits<double>::quiet_NaN();
}

/// Seconds since 1970 UTC of the number or ISO 8601 text at `key` of `object`; NaN when it has none.
double timeOrNaN(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it != object.end() && it->is_string())
    return parseIsoTime(it->get<std::string>()).value_or(std::numeric_limits<double>::quiet_NaN());
  return numberOrNaN(object, key);
}

/// The text at `key` of `object`; empty when it is absent or not a text.
std::string textOrEmpty(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

/// The begin time of the speed model (trajectory.velocity.beginTime), s since 1970 UTC; NaN without one.
double beginTimeOf(const Json& solution) {
  const auto trajectory = solution.find("trajectory");
  if (trajectory == solution.end() || !trajectory->is_object()) return std::numeric_limits<double>::quiet_NaN();
  const auto velocity = trajectory->find("velocity");
  if (velocity == trajectory->end() || !velocity->is_object()) return std::numeric_limits<double>::quiet_NaN();
  return timeOrNaN(*velocity, "beginTime");
}

/// Per-sighting columns of a solution (JSON text), one entry per sighting in
/// order: "station" (index, in order of first appearance), "stationName",
/// "label", "time" (s since 1970 UTC on the reference station's clock:
/// trajectory.velocity.beginTime + timeFromBegin) and the numbers of kNumbers
/// (NaN where null or absent).
py::dict sightingColumns(const std::string& solutionJson) {
  static const char* const kNumbers[] = {"latitude", "longitude",     "height",   "heightMsl", "range", "residual",
                                         "refraction", "timeFromBegin", "length", "velocity",  "lag"};
  const Json solution = Json::parse(solutionJson, nullptr, false);
  if (solution.is_discarded() || !solution.is_object() || !solution.contains("sightings") ||
      !solution["sightings"].is_array())
    throw py::value_error("solution: expected a sightline-solution dict with a \"sightings\" list");
  const double beginTime = beginTimeOf(solution);
  const Json noSighting = Json::object();
  std::vector<long long> station;
  std::vector<std::string> stationName, label;
  std::vector<double> time;
  std::map<std::string, std::vector<double>> numbers;
  std::map<std::string, long long> stationIndex;
  for (const Json& entry : solution["sightings"]) {
    const Json& sighting = entry.is_object() ? entry : noSighting;
    const std::string name = textOrEmpty(sighting, "station");
    const auto known = stationIndex.emplace(name, static_cast<long long>(stationIndex.size())).first;
    station.push_back(known->second);
    stationName.push_back(name);
    label.push_back(textOrEmpty(sighting, "label"));
    time.push_back(beginTime + numberOrNaN(sighting, "timeFromBegin"));
    for (const char* key : kNumbers) numbers[key].push_back(numberOrNaN(sighting, key));
  }
  py::dict columns;
  columns["station"] = station;
  columns["stationName"] = stationName;
  columns["label"] = label;
  columns["time"] = time;
  for (const char* key : kNumbers) columns[key] = numbers[key];
  return columns;
}

/// The thresholds of `sightline correlate` from keyword arguments (units of CorrelateOptions).
CorrelateOptions correlateOptions(const std::map<std::string, double>& given) {
  CorrelateOptions o;
  const std::map<std::string, double*> fields{
      {"max_time_offset", &o.maxTimeOffset}, {"min_begin_height", &o.minBeginHeight},
      {"max_begin_height", &o.maxBeginHeight}, {"min_end_height", &o.minEndHeight},
      {"max_end_height", &o.maxEndHeight}, {"speed_tolerance", &o.speedTolerance},
      {"min_speed", &o.minSpeed}, {"max_speed", &o.maxSpeed}, {"min_baseline", &o.minBaseline},
      {"min_plane_angle", &o.minPlaneAngle}, {"max_residual", &o.maxResidual},
      {"clock_tolerance", &o.clockTolerance}};
  for (const auto& [name, value] : given) {
    if (name == "threads") {
      if (value < 0 || value != std::floor(value)) throw py::value_error("threads: expected a whole number, 0 or more");
      o.threads = static_cast<int>(value);
      continue;
    }
    const auto it = fields.find(name);
    if (it == fields.end()) throw py::value_error("unknown option \"" + name + "\" of correlate()");
    if (!std::isfinite(value) || value < 0) throw py::value_error(name + ": expected a number, 0 or more");
    *it->second = value;
  }
  return o;
}

/// The night of `paths`: (event lines, detection lines, messages, malformed); missing paths raise.
py::tuple correlateNightLines(const std::vector<std::string>& paths, const std::map<std::string, double>& options,
                              bool detections) {
  const CorrelateOptions o = correlateOptions(options);
  const NightFiles files = listNightFiles(paths);
  if (!files.missing.empty()) throw BadInput(files.missing.front() + ": no such file or folder");
  std::string events, lines;
  NightResult night;
  {
    py::gil_scoped_release released;
    night = correlateNight(paths, o);
    if (detections) lines = nightDetectionLines(night);
    else events = nightEventLines(night);
  }
  std::vector<std::string> messages;
  for (const std::string& folder : night.files.emptyFolders) messages.push_back(folder + ": no detection files in this folder");
  messages.insert(messages.end(), night.read.messages.begin(), night.read.messages.end());
  return py::make_tuple(detections ? lines : events, messages, night.read.malformed);
}

}  // namespace

}  // namespace sightline

PYBIND11_MODULE(_sightline, m) {
  using namespace sightline;
  m.doc() = "Sightline's C++ core (use the package sightline, not this module)";
  m.attr("__version__") = kVersion;
  py::register_exception<BadInput>(m, "InputError", PyExc_ValueError);
  m.def("solve_files", &solveFiles, py::arg("paths"), py::arg("heights"), py::arg("refraction"), py::arg("mc"),
        py::arg("seed"), py::arg("threads"),
        "Solution JSON of one event file or two or more ECSV files, as `sightline solve --format json` writes it.");
  m.def("solve_text", &solveText, py::arg("text"), py::arg("name"), py::arg("refraction"), py::arg("mc"),
        py::arg("seed"), py::arg("threads"), "Solution JSON of an event file's text, named `name` in messages.");
  m.def("read_files", &readEventFiles, py::arg("paths"), py::arg("heights"),
        "Event file (JSON text) of one event file or two or more ECSV files.");
  m.def("orbit", &orbitDocument, py::arg("time"), py::arg("latitude"), py::arg("longitude"), py::arg("height"),
        py::arg("azimuth"), py::arg("elevation"), py::arg("speed"),
        "Orbit JSON (sightline-orbit) of a radiant: degrees, metres, speed in km/s.");
  m.def("darkflight", &darkflightDocument, py::arg("solution"), py::arg("time"), py::arg("latitude"), py::arg("longitude"),
        py::arg("height"), py::arg("azimuth"), py::arg("elevation"), py::arg("speed"), py::arg("wind"), py::arg("masses"),
        py::arg("density"), py::arg("shape_factor"), py::arg("ground_height"), py::arg("mc"), py::arg("seed"),
        py::arg("threads"), py::arg("sigma_position"), py::arg("sigma_speed"), py::arg("sigma_direction"),
        py::arg("wind_sigma"), py::arg("shape_factor_range"), py::arg("density_range"),
        "Dark-flight JSON (sightline-darkflight) of the options of `sightline darkflight`.");
  m.def("batch_record", &batchRecordLine, py::arg("source"), py::arg("id"), py::arg("index"), py::arg("text"),
        py::arg("paths"), py::arg("heights"), py::arg("refraction"), py::arg("mc"), py::arg("seed"),
        "The JSON Lines record of one batch event, as `sightline batch` writes it.");
  m.def("summary_rows", &summaryRows, py::arg("text"), py::arg("standard_filter"),
        "The rows of sightline summary (dicts by plain column name) of record lines.");
  m.def("correlate_lines", &correlateNightLines, py::arg("paths"), py::arg("options"), py::arg("detections"),
        "(JSON Lines, messages, malformed) of `sightline correlate` over `paths`: events, or every detection.");
  m.def("sighting_columns", &sightingColumns, py::arg("solution_json"),
        "Per-sighting columns (lists) of a solution's JSON text.");
}
