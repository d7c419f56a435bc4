#include "driver/command_line.hpp"

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

#include "driver/classic_convert.hpp"
#include "driver/progress_bar.hpp"
#include "driver/run_control.hpp"
#include "io/event_json.hpp"
#include "io/solution_writers.hpp"
#include "network/ecsv.hpp"
#include "network/geoid.hpp"
#include "network/map_writers.hpp"
#include "plot/figure.hpp"
#include "trajectory/solve.hpp"
#include "uncertainty/monte_carlo.hpp"

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

// The whole content of `path` ("-": standard input); false with `error` set when it cannot be read.
bool readFile(const std::string& path, std::string& text, std::string& error) {
  std::FILE* stream = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  text.clear();
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(stream) != 0;
  const int readErrno = errno;
  if (stream != stdin) std::fclose(stream);
  if (failed) {
    error = path + ": cannot read: " + std::strerror(readErrno);
    return false;
  }
  return true;
}

// Writes `content` to standard output (path empty or "-") or, completely or
// not at all, to `path`: through a temporary file in the same folder that is
// renamed over it.
bool writeOutput(const Context& c, const std::string& path, const std::string& content, std::string& error) {
  if (path.empty() || path == "-") {
    if (std::fwrite(content.data(), 1, content.size(), c.out) != content.size() || std::fflush(c.out) != 0) {
      error = std::string("cannot write to standard output: ") + std::strerror(errno);
      return false;
    }
    return true;
  }
  std::string temporary = path + ".XXXXXX";
  std::vector<char> name(temporary.begin(), temporary.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  temporary = name.data();
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  const int writeErrno = errno;
  // mkstemp makes the file readable by its owner only; give it the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const bool closed = ::close(fd) == 0;
  if (done != content.size() || !closed) {
    error = path + ": cannot write: " + std::strerror(done != content.size() ? writeErrno : errno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": cannot write: " + std::strerror(errno);
    std::remove(temporary.c_str());
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
  std::string ecsvHeights = "msl";
  int draws = -1;      // -1: as the event file says
  std::uint64_t seed = 0;
  bool seedGiven = false;
  int threads = 0;
  std::string plot;
  std::vector<std::string> inputs;
};

struct ConvertOptions {
  std::string output;
  std::string ecsvHeights = "msl";
  std::vector<std::string> inputs;
};

EcsvOptions ecsvOptions(const std::string& heights) {
  EcsvOptions options;
  options.heights = heights == "ellipsoid" ? HeightReference::Ellipsoid : HeightReference::MeanSeaLevel;
  return options;
}

// Reads the event of `inputs`: one event file, or two or more ECSV files.
// Returns 0, or the exit status after a message.
int readInputs(const Context& c, const std::vector<std::string>& inputs, const std::string& ecsvHeights,
               Event& event) {
  std::vector<std::string> texts(inputs.size());
  bool allEcsv = true;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::string error;
    if (!readFile(inputs[i], texts[i], error)) return c.message(kExitInput, error);
    allEcsv = allEcsv && inputs[i] != "-" && looksLikeEcsv(inputs[i], texts[i]);
  }
  if (inputs.size() == 1 && !allEcsv) {
    EventReadResult read = readEventJson(texts[0], inputs[0] == "-" ? "<stdin>" : inputs[0]);
    if (read.error) return c.message(kExitInput, read.error->text());
    event = std::move(read.event);
    return 0;
  }
  if (inputs.size() == 1)
    return c.message(kExitUsage, inputs[0] + ": an event from ECSV files needs two or more files, one per station");
  if (!allEcsv) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (inputs[i] == "-" || !looksLikeEcsv(inputs[i], texts[i]))
        return c.message(kExitUsage, inputs[i] + ": not an ECSV file; several inputs are read as ECSV files, one per "
                                                 "station (an event file is given alone)");
    }
  }
  EventReadResult read = readEcsvEvent(inputs, ecsvOptions(ecsvHeights));
  if (read.error) return c.message(kExitInput, read.error->text());
  event = std::move(read.event);
  return 0;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// True when `path` ends in .svg, .png or .pdf (any case): the formats a figure is drawn in.
bool figureExtension(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot);
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext == ".svg" || ext == ".png" || ext == ".pdf";
}

int runSolve(const Context& c, const SolveOptions& o) {
  if (!o.plot.empty() && !figureExtension(o.plot))
    return c.message(kExitUsage, o.plot + ": a figure is drawn as .svg, .png or .pdf: expected one of these extensions");
  Event event;
  if (const int status = readInputs(c, o.inputs, o.ecsvHeights, event); status != 0) return status;

  std::string geoidMessage;
  const std::unique_ptr<Geoid> geoid = Geoid::open(geoidMessage);
  if (auto error = toEllipsoidHeights(event, geoid.get(), geoidMessage)) {
    if (error->file.empty()) error->file = joined(o.inputs);
    return c.message(kExitInput, error->text());
  }

  if (!o.refraction.empty()) event.refraction = *refractionFromName(o.refraction);
  MonteCarloOptions mc = event.monteCarlo;
  if (o.draws >= 0) mc.draws = o.draws;
  if (o.seedGiven) mc.seed = o.seed;
  mc.threads = o.threads;
  event.monteCarlo = mc;

  Solution solution = solve(event);
  const bool solved = solution.status == SolveStatus::Trajectory || solution.status == SolveStatus::PointsOnly;
  if (solved && mc.draws > 0) estimateUncertainty(event, solution, mc, makeProgressBar(c.err));

  OutputContext context;
  context.geoid = geoid.get();
  context.source = joined(o.inputs);
  std::ostringstream report;
  if (o.format == "json") {
    writeSolutionJson(report, event, solution, context);
  } else if (o.format == "geojson") {
    writeGeoJson(report, event, solution, context);
  } else if (o.format == "kml") {
    writeKml(report, event, solution, context);
  } else if (o.format == "csv") {
    writeCsv(report, event, solution, context);
  } else {
    writeSolutionText(report, event, solution, context);
  }
  for (const std::string& warning : solution.warnings) std::fprintf(c.err, "%s: warning: %s\n", kProgram, warning.c_str());

  std::string error;
  if (!writeOutput(c, o.output, report.str(), error)) return c.message(kExitOutput, error);
  if (!o.plot.empty() && !writeFigure(o.plot, event, solution, context, error))
    return c.message(kExitOutput, o.plot + ": " + error);
  if (!solved) return c.message(kExitNoSolution, context.source + ": no solution: " + statusText(solution.status));
  return kExitSolved;
}

int runConvert(const Context& c, const ConvertOptions& o) {
  Event event;
  if (o.inputs.size() == 1) {
    const std::string& input = o.inputs[0];
    std::string text, error;
    if (!readFile(input, text, error)) return c.message(kExitInput, error);
    if (looksLikeEcsv(input, text))
      return c.message(kExitUsage, input + ": an event from ECSV files needs two or more files, one per station");
    if (looksLikeJson(text)) return c.message(kExitUsage, input + ": already an event file (JSON); solve it with `sightline solve`");
    EventReadResult read = convertClassicText(text, input == "-" ? "<stdin>" : input);
    if (read.error) return c.message(kExitInput, read.error->text());
    event = std::move(read.event);
  } else {
    for (const std::string& input : o.inputs) {
      std::string text, error;
      if (!readFile(input, text, error)) return c.message(kExitInput, error);
      if (!looksLikeEcsv(input, text))
        return c.message(kExitUsage, input + ": not an ECSV file; convert takes one classic observation file or "
                                             "two or more ECSV files");
    }
    EventReadResult read = readEcsvEvent(o.inputs, ecsvOptions(o.ecsvHeights));
    if (read.error) return c.message(kExitInput, read.error->text());
    event = std::move(read.event);
  }
  std::string error;
  if (!writeOutput(c, o.output, writeEventJson(event), error)) return c.message(kExitOutput, error);
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

// Writes the text that CLI11 produced to `out` or `err`.
void emit(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

int runCommands(const Context& c, int argc, const char* const* argv) {
  CLI::App app(kDescription, kProgram);
  app.footer(kExitStatusText);
  app.set_version_flag("--version", kVersionText, "Print the version and exit");
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string(kProgram) + ": " + e.what() + "\nRun with --help for more information.\n";
  });

  SolveOptions so;
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
  solveCommand->add_option("--ecsv-heights", so.ecsvHeights, "What ECSV station heights are measured from (default msl)")
      ->check(CLI::IsMember({"msl", "ellipsoid"}))
      ->option_text("msl|ellipsoid");
  solveCommand->add_option("--mc", so.draws, "Monte Carlo draws for the uncertainties (0: none; default as in the event file)")
      ->check(kWholeNumber)
      ->option_text("N");
  CLI::Option* seedOption = solveCommand->add_option("--seed", so.seed, "Seed of the Monte Carlo draws (default fixed)")
                                   ->check(kWholeNumber)
                                   ->option_text("S");
  solveCommand->add_option("--threads", so.threads, "Threads for the Monte Carlo draws (default all cores)")
      ->check(kWholeNumber)
      ->option_text("T");
  solveCommand->add_option("--plot", so.plot, "Also draw a figure into FILE (.svg, .png or .pdf)")->option_text("FILE");
  solveCommand->add_option("INPUT", so.inputs, "Event file (JSON; - for standard input), or two or more ECSV files")
      ->required()
      ->option_text("FILE...");
  solveCommand->footer(kExitStatusText);

  ConvertOptions co;
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
  if (convertCommand->parsed()) return runConvert(c, co);
  return c.message(kExitUsage, "expected a command: solve or convert (see sightline --help)");
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  if (argc >= 2) {
    const std::string first = argv[1];
    const bool command = first == "solve" || first == "convert";
    const bool option = !first.empty() && first[0] == '-' && first != "-" && first != "--";
    if (command || option) return runCommands(Context{out, err}, argc, argv);
  }
  return runClassicCommandLine(argc, argv, out, err);
}

}  // namespace sightline
