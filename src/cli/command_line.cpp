#include "cli/command_line.hpp"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "classic/classic_convert.hpp"
#include "cli/batch_command.hpp"
#include "cli/correlate_command.hpp"
#include "cli/darkflight_command.hpp"
#include "cli/orbit_command.hpp"
#include "cli/progress_bar.hpp"
#include "cli/shower_options.hpp"
#include "cli/summary_command.hpp"
#include "common/version.hpp"
#include "classic/run_control.hpp"
#include "app/solve_event.hpp"
#include "formats/ecsv.hpp"
#include "formats/event_json.hpp"
#include "formats/files.hpp"
#include "plot/figure.hpp"

namespace sightline {

namespace {

constexpr const char* kProgram = "sightline";

const char* const kDescription =
    "Sightline: points and trajectories of fireballs (bright meteors) from the azimuths and\n"
    "elevations under which stations saw them, allowing for atmospheric refraction.\n"
    "\n"
    "  sightline FILE                 the classic two-station observation file (fixed line\n"
    "                                 numbers, geocentric latitudes, azimuths from south);\n"
    "                                 report and messages on standard output, as always\n"
    "  sightline solve [OPTIONS] INPUT...\n"
    "                                 any number of stations: one event file (JSON) or two\n"
    "                                 or more ECSV files, geodetic WGS84, azimuths from north\n"
    "  sightline convert [OPTIONS] INPUT...\n"
    "                                 a classic file or ECSV files to an event file (JSON)\n"
    "  sightline batch [OPTIONS] -o RESULTS.jsonl INPUT...\n"
    "                                 many events (JSON Lines, event files, folders), one\n"
    "                                 record each, on all cores or in shards on a cluster\n"
    "  sightline correlate [OPTIONS] -o EVENTS.jsonl INPUT...\n"
    "                                 a network's night: single-station detections (FTPdetectinfo\n"
    "                                 folders, ECSV files) to multi-station events (JSON Lines)\n"
    "\n"
    "  sightline orbit --time T --latitude D --longitude D --height M --azimuth D --elevation D --speed KM/S\n"
    "                                 the geocentric radiant and heliocentric orbit of one state\n"
    "  sightline darkflight (--solution FILE | --time T ... --speed KM/S) [--wind FILE] [--mc N]\n"
    "                                 where the stones land: the fall line and strewn field\n"
    "  sightline summary [OPTIONS] RESULTS.jsonl...\n"
    "                                 the night's table of the records of batch\n"
    "\n"
    "Use solve for new data.\n";

const char* const kExitStatusText =
    "Exit status: 0 solved or converted; 1 the classic run ended with a message;\n"
    "2 wrong command line; 3 an input file cannot be read or is not valid;\n"
    "4 valid input that gives no point; 5 an output file cannot be written.";

struct Context {
  std::FILE* out;
  std::FILE* err;

  int message(int status, const std::string& text) const {
    std::fprintf(err, "%s: %s\n", kProgram, text.c_str());
    return status;
  }
};

// Writes `content` to standard output (path empty or "-") or, completely or
// not at all, to the file `path`.
bool writeOutput(const Context& c, const std::string& path, const std::string& content, std::string& error) {
  if (!path.empty() && path != "-") return writeFileAtomically(path, content, error);
  if (std::fwrite(content.data(), 1, content.size(), c.out) != content.size() || std::fflush(c.out) != 0) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool looksLikeJson(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  return first != std::string::npos && text[first] == '{';
}

struct SolveOptions {
  std::string format = "text";
  std::string output;
  std::string refraction;
  std::string trajectoryModel;
  std::string ecsvHeights = "msl";
  int draws = -1;      // -1: as the event file says
  std::uint64_t seed = 0;
  bool seedGiven = false;
  int threads = 0;
  std::string plot;
  std::string luminousEfficiency = "constant";
  std::string tau;  // empty: the default 0.7%
  std::vector<std::string> inputs;
  ShowerSettings showers;
};

struct ConvertOptions {
  std::string output;
  std::string ecsvHeights = "msl";
  std::vector<std::string> inputs;
};

HeightReference heightsFromName(const std::string& heights) {
  return heights == "ellipsoid" ? HeightReference::Ellipsoid : HeightReference::MeanSeaLevel;
}

// The file names of `paths` without their folders ("-" stays "-").
std::vector<std::string> baseNames(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths) {
    const std::size_t slash = path.find_last_of('/');
    names.push_back(slash == std::string::npos || slash + 1 == path.size() ? path : path.substr(slash + 1));
  }
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

SolveSettings settingsOf(const SolveOptions& o) {
  SolveSettings settings;
  if (!o.refraction.empty()) settings.refraction = refractionFromName(o.refraction);
  if (!o.trajectoryModel.empty()) settings.trajectoryModel = trajectoryModelFromName(o.trajectoryModel);
  if (o.draws >= 0) settings.draws = o.draws;
  if (o.seedGiven) settings.seed = o.seed;
  settings.threads = o.threads;
  settings.showers = o.showers;
  LuminousEfficiency efficiency;
  efficiency.model = luminousEfficiencyFromName(o.luminousEfficiency).value_or(LuminousEfficiencyModel::Constant);
  if (!o.tau.empty()) efficiency.tau = tauFromText(o.tau).value_or(kDefaultLuminousEfficiency);
  settings.luminousEfficiency = efficiency;
  return settings;
}

int runSolve(const Context& c, const SolveOptions& o) {
  if (!o.plot.empty() && !figureFormatOf(o.plot))
    return c.message(kExitUsage, o.plot + ": a figure is drawn as .svg, .png or .pdf: expected one of these extensions");
  if (!o.tau.empty() && o.luminousEfficiency != "constant")
    return c.message(kExitUsage, "--tau: sets the constant luminous efficiency; --luminous-efficiency " +
                                     o.luminousEfficiency + " takes it from the speed");
  std::vector<NamedText> inputs;
  if (auto error = readInputs(o.inputs, inputs)) return c.message(kExitInput, error->text());
  Event event;
  if (auto failure = eventFromInputs(inputs, heightsFromName(o.ecsvHeights), event))
    return c.message(failure->status, failure->message);

  Solution solution;
  if (auto error = solveEvent(event, settingsOf(o), solution, makeProgressBar(c.err))) {
    if (error->file.empty()) error->file = joined(o.inputs);
    return c.message(kExitInput, error->text());
  }

  OutputContext context;
  context.geoid = sharedGeoid().geoid;
  context.source = joined(o.inputs);
  const std::string report = renderSolution(*outputFormatFromName(o.format), event, solution, context);
  for (const Warning& warning : solution.warnings) std::fprintf(c.err, "%s: warning: %s\n", kProgram, warning.text.c_str());

  std::string error;
  if (!writeOutput(c, o.output, report, error)) return c.message(kExitOutput, error);
  if (!o.plot.empty()) {
    // The figure's subtitle names the inputs by their base names: full paths run off the page.
    OutputContext figureContext = context;
    figureContext.source = joined(baseNames(o.inputs));
    std::string figure;
    if (!drawFigure(*figureFormatOf(o.plot), event, solution, figureContext, figure, error))
      return c.message(kExitOutput, o.plot + ": " + error);
    if (!writeFileAtomically(o.plot, figure, error)) return c.message(kExitOutput, error);
  }
  if (!isSolved(solution)) return c.message(kExitNoSolution, context.source + ": no solution: " + statusText(solution.status));
  return kExitSolved;
}

int runConvert(const Context& c, const ConvertOptions& o) {
  std::vector<NamedText> inputs;
  if (auto error = readInputs(o.inputs, inputs)) return c.message(kExitInput, error->text());
  EventReadResult read;
  if (inputs.size() == 1) {
    const std::string& input = o.inputs[0];
    const std::string& text = inputs[0].text;
    if (looksLikeEcsv(input, text))
      return c.message(kExitUsage, input + ": an event from ECSV files needs two or more files, one per station");
    if (looksLikeJson(text)) return c.message(kExitUsage, input + ": already an event file (JSON); solve it with `sightline solve`");
    read = convertClassicText(text, inputs[0].name);
    // A classic file weighs every sighting alike at the default: its event states that sigma, as it always has.
    if (!read.error && !read.event.sigma) read.event.sigma = kDefaultSigmaDegrees;
  } else {
    for (const NamedText& input : inputs) {
      if (!looksLikeEcsv(input.name, input.text))
        return c.message(kExitUsage, input.name + ": not an ECSV file; convert takes one classic observation file or "
                                                  "two or more ECSV files");
    }
    EcsvOptions options;
    options.heights = heightsFromName(o.ecsvHeights);
    read = readEcsvEvent(inputs, options);
  }
  if (read.error) return c.message(kExitInput, read.error->text());
  std::string error;
  if (!writeOutput(c, o.output, writeEventJson(read.event), error)) return c.message(kExitOutput, error);
  return kExitSolved;
}

// A whole number, 0 or more, in decimal digits.
const CLI::Validator kWholeNumber(
    [](std::string& text) {
      return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                 ? std::string()
                 : "expected a whole number, 0 or more, found " + text;
    },
    "NUMBER");

// A luminous efficiency: a per cent ("0.7%") or a fraction ("0.007"), above 0 and at most 1.
const CLI::Validator kTau(
    [](std::string& text) {
      return tauFromText(text) ? std::string()
                               : "expected a luminous efficiency above 0 and at most 100%, as a per cent such as 0.7% "
                                 "or a fraction such as 0.007, found " + text;
    },
    "TAU");

// Writes the text that CLI11 produced to `out` or `err`.
void emit(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

// The solve command and its options, filled into `so`; `seedOption` tells whether --seed was given.
CLI::App* addSolveCommand(CLI::App& app, SolveOptions& so, CLI::Option*& seedOption) {
  CLI::App* solveCommand = app.add_subcommand(
      "solve", "Solve an event: one event file (JSON) or two or more ECSV files (one per station).\n"
               "Positions are geodetic WGS84 (degrees, metres above the ellipsoid), azimuths from north\n"
               "through east, elevations above the station's horizon.\n");
  solveCommand->add_option("--format", so.format, "Output format (default text)")
      ->check(CLI::IsMember({"text", "json", "geojson", "kml", "csv"}))
      ->option_text("text|json|geojson|kml|csv");
  solveCommand->add_option("-o,--output", so.output, "Write the output to FILE (completely or not at all) instead of standard output")
      ->option_text("FILE");
  solveCommand->add_option("--refraction", so.refraction,
                           "Override the event's refraction handling: none (straight lines), corrected (elevations "
                           "corrected as for stars), apparent (elevations as seen)")
      ->check(CLI::IsMember({"none", "corrected", "apparent"}))
      ->option_text("none|corrected|apparent");
  solveCommand->add_option("--trajectory-model", so.trajectoryModel,
                           "Override the event's trajectory model of timed sightings: gravity (gravity and the "
                           "turning Earth, the default) or straight (one straight Earth-fixed line)")
      ->check(CLI::IsMember({"gravity", "straight"}))
      ->option_text("gravity|straight");
  solveCommand->add_option("--ecsv-heights", so.ecsvHeights, "What ECSV station heights are measured from (default msl)")
      ->check(CLI::IsMember({"msl", "ellipsoid"}))
      ->option_text("msl|ellipsoid");
  solveCommand->add_option("--mc", so.draws, "Monte Carlo draws for the uncertainties (0: none; default as in the event file)")
      ->check(kWholeNumber)
      ->option_text("N");
  seedOption = solveCommand->add_option("--seed", so.seed, "Seed of the Monte Carlo draws (default fixed)")
                   ->check(kWholeNumber)
                   ->option_text("S");
  solveCommand->add_option("--threads", so.threads, "Threads for the Monte Carlo draws (default all cores)")
      ->check(kWholeNumber)
      ->option_text("T");
  addShowerOptions(*solveCommand, so.showers);
  solveCommand->add_option("--plot", so.plot, "Also draw a figure into FILE (.svg, .png or .pdf)")->option_text("FILE");
  solveCommand->add_option("--luminous-efficiency", so.luminousEfficiency,
                           "Luminous efficiency of the photometric mass: constant (--tau, default 0.7%) or "
                           "drolshagen2021 (from the initial speed, Drolshagen et al. 2021)")
      ->check(CLI::IsMember({"constant", "drolshagen2021"}))
      ->option_text("constant|drolshagen2021");
  solveCommand->add_option("--tau", so.tau, "The constant luminous efficiency, per cent (0.7%) or fraction (0.007)")
      ->check(kTau)
      ->option_text("TAU");
  solveCommand->add_option("INPUT", so.inputs, "Event file (JSON; - for standard input), or two or more ECSV files")
      ->required()
      ->option_text("FILE...");
  solveCommand->footer(kExitStatusText);
  return solveCommand;
}

// The convert command and its options, filled into `co`.
CLI::App* addConvertCommand(CLI::App& app, ConvertOptions& co) {
  CLI::App* convertCommand = app.add_subcommand(
      "convert", "Write the event file (JSON) equivalent to a classic observation file or to two or more ECSV\n"
                 "files. Classic positions (geocentric latitude, radial height) become geodetic WGS84 and each\n"
                 "line of sight is re-expressed with a north-based azimuth in the geodetic horizon: the same\n"
                 "lines in space.\n");
  convertCommand->add_option("-o,--output", co.output, "Write the event file to FILE instead of standard output")
      ->option_text("FILE");
  convertCommand->add_option("--ecsv-heights", co.ecsvHeights, "What ECSV station heights are measured from (default msl)")
      ->check(CLI::IsMember({"msl", "ellipsoid"}))
      ->option_text("msl|ellipsoid");
  convertCommand->add_option("INPUT", co.inputs, "Classic observation file (- for standard input), or two or more ECSV files")
      ->required()
      ->option_text("FILE...");
  convertCommand->footer(kExitStatusText);
  return convertCommand;
}

int runCommands(const Context& c, int argc, const char* const* argv) {
  CLI::App app(kDescription, kProgram);
  app.footer(kExitStatusText);
  app.set_version_flag("--version", versionText(), "Print the version and exit");
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string(kProgram) + ": " + e.what() + "\nRun with --help for more information.\n";
  });

  SolveOptions so;
  CLI::Option* seedOption = nullptr;
  CLI::App* solveCommand = addSolveCommand(app, so, seedOption);

  ConvertOptions co;
  CLI::App* convertCommand = addConvertCommand(app, co);

  OrbitOptions oo;
  CLI::App* orbitCommand = addOrbitCommand(app, oo);
  orbitCommand->footer(kExitStatusText);

  BatchOptions bo;
  CLI::App* batchCommand = addBatchCommand(app, bo);

  CorrelateCommandOptions ko;
  CLI::App* correlateCommand = addCorrelateCommand(app, ko);
  DarkFlightOptions dfo;
  CLI::App* darkflightCommand = addDarkFlightCommand(app, dfo);
  darkflightCommand->footer(kExitStatusText);
  SummaryCommandOptions summaryOptions;
  CLI::App* summaryCommand = addSummaryCommand(app, summaryOptions);
  summaryCommand->footer(kExitStatusText);

  std::ostringstream helpOut, helpErr;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, helpOut, helpErr);
    emit(c.out, helpOut.str());
    emit(c.err, helpErr.str());
    return code == 0 ? kExitSolved : kExitUsage;
  }
  so.seedGiven = seedOption->count() > 0;
  if (solveCommand->parsed()) return runSolve(c, so);
  if (orbitCommand->parsed()) return runOrbit(oo, c.out, c.err);
  if (convertCommand->parsed()) return runConvert(c, co);
  if (batchCommand->parsed()) return runBatchCommand(bo, c.out, c.err);
  if (correlateCommand->parsed()) return runCorrelateCommand(ko, c.out, c.err);
  if (darkflightCommand->parsed()) return runDarkFlightCommand(dfo, c.out, c.err);
  if (summaryCommand->parsed()) return runSummaryCommand(summaryOptions, c.out, c.err);
  return c.message(kExitUsage, "expected a command: solve or convert (see sightline --help)");
}

}  // namespace

std::string versionText() { return std::string(kProgram) + " " + kVersion; }

int runCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  if (argc >= 2) {
    const std::string first = argv[1];
    const bool command = first == "solve" || first == "convert" || first == "batch" || first == "orbit" ||
                         first == "correlate" || first == "darkflight" || first == "summary";
    const bool option = !first.empty() && first[0] == '-' && first != "-" && first != "--";
    if (command || option) return runCommands(Context{out, err}, argc, argv);
  }
  return runClassicCommandLine(argc, argv, out, err);
}

}  // namespace sightline
