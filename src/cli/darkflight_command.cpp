#include "cli/darkflight_command.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include <CLI/CLI.hpp>

#include "app/darkflight_run.hpp"
#include "common/exit_status.hpp"
#include "common/text.hpp"
#include "darkflight/drag.hpp"
#include "formats/files.hpp"
#include "plot/darkflight_figure.hpp"
#include "plot/figure.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

constexpr double kMetresPerKilometre = 1000.0;

int message(std::FILE* err, int status, const std::string& text) {
  std::fprintf(err, "sightline: %s\n", text.c_str());
  return status;
}

void addStateOptions(CLI::App* c, DarkFlightOptions& o) {
  o.stateOptions = {
      c->add_option("--time", o.time, "UTC time at the end of the luminous flight, ISO 8601")->option_text("TIME"),
      c->add_option("--latitude", o.latitude, "Geodetic WGS84 latitude of the start, degrees")->option_text("DEG"),
      c->add_option("--longitude", o.longitude, "Longitude of the start, degrees east")->option_text("DEG"),
      c->add_option("--height", o.height, "Height of the start, metres above the WGS84 ellipsoid")->option_text("M"),
      c->add_option("--azimuth", o.azimuth, "Azimuth the body came from, degrees from north through east")->option_text("DEG"),
      c->add_option("--elevation", o.elevation, "Elevation the body came from, degrees")->option_text("DEG"),
      c->add_option("--speed", o.speed, "Earth-fixed speed at the start, km/s")->option_text("KM/S")};
  c->add_option("--solution", o.solution, "Start from the end of a solution (sightline solve --format json)")
      ->option_text("FILE");
}

void addBodyOptions(CLI::App* c, DarkFlightOptions& o) {
  c->add_option("--wind", o.wind, "Wind and air profile: a Wyoming TEXT:LIST sounding or a profile CSV (default "
                                  "still air and the 1976 standard atmosphere)")->option_text("FILE");
  c->add_option("--mass", o.masses, "Masses, kg, comma-separated (default 26 masses from 1 g to 100 kg)")
      ->option_text("KG[,KG...]");
  c->add_option("--density", o.density, "Bulk density of the stone, kg/m^3 (default 3500)")->option_text("KG/M3");
  o.shapeOption = c->add_option("--shape", o.shape, "Shape of the stone (default sphere)")
                      ->check(CLI::IsMember({"sphere", "cylinder", "brick"}))
                      ->option_text("sphere|cylinder|brick");
  o.shapeFactorOption = c->add_option("--shape-factor", o.shapeFactor, "Shape factor A = S / V^(2/3) (1.21 sphere, "
                                                                       "1.6 cylinder, 2.7 brick; 0: no drag)")
                            ->option_text("A")
                            ->excludes(o.shapeOption);
  c->add_option("--ground-height", o.groundHeight, "Height of the ground, metres above mean sea level (default 0)")
      ->option_text("M");
}

void addMonteCarloOptions(CLI::App* c, DarkFlightOptions& o) {
  c->add_option("--mc", o.draws, "Monte Carlo draws per mass for the strewn field (default 0: none)")->option_text("N");
  c->add_option("--seed", o.seed, "Seed of the draws (default 0)")->option_text("S");
  c->add_option("--threads", o.threads, "Threads for the draws (default all cores)")->option_text("T");
  o.sigmaPositionOption = c->add_option("--sigma-position", o.sigmaPosition,
                                        "1-sigma of the start's east, north and up, metres (default the solution's, else 0)")
                              ->option_text("M");
  o.sigmaSpeedOption = c->add_option("--sigma-speed", o.sigmaSpeed, "1-sigma of the speed, km/s (default the solution's, else 0)")
                           ->option_text("KM/S");
  o.sigmaDirectionOption = c->add_option("--sigma-direction", o.sigmaDirection,
                                         "1-sigma of the elevation, degrees; the azimuth's is it / cos(el) (default the "
                                         "solution's, else 0)")
                               ->option_text("DEG");
  c->add_option("--wind-sigma", o.windSigma, "1-sigma of one constant wind offset per draw, east and north, m/s (default 2)")
      ->option_text("M/S");
  c->add_option("--shape-factor-range", o.shapeFactorRange, "Half-width of the uniform range of A (default 0.15)")
      ->option_text("DA");
  c->add_option("--density-range", o.densityRange, "Half-width of the uniform range of the density, a fraction (default 0.1)")
      ->option_text("F");
}

/// The masses of "KG[,KG...]", or the message naming the bad one.
std::optional<std::string> parseMasses(const std::string& text, std::vector<double>& masses) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = trimmed(std::string_view(text).substr(start, comma - start));
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || ec != std::errc() || ptr != item.data() + item.size())
      return "--mass " + text + ": '" + item + "' is not a number: expected masses in kg, comma-separated";
    masses.push_back(value);
    start = comma + 1;
  }
  return std::nullopt;
}

double shapeFactorOf(const DarkFlightOptions& o) {
  if (o.shapeFactorOption->count() > 0) return o.shapeFactor;
  if (o.shape == "cylinder") return darkflight::kCylinderShapeFactor;
  if (o.shape == "brick") return darkflight::kBrickShapeFactor;
  return darkflight::kSphereShapeFactor;
}

std::optional<std::string> readFile(const std::string& path, std::optional<NamedText>& into) {
  NamedText text;
  if (auto e = readInput(path, text)) return e->text();
  into = std::move(text);
  return std::nullopt;
}

/// The request of the options, or the message and status that say why there is none.
std::optional<InputFailure> requestOf(const DarkFlightOptions& o, DarkFlightRequest& r) {
  int given = 0;
  for (const CLI::Option* option : o.stateOptions) given += option->count() > 0 ? 1 : 0;
  if (!o.solution.empty() && given > 0) return InputFailure{kExitUsage, "--solution excludes --time, --latitude, --longitude, --height, --azimuth, --elevation and --speed"};
  if (o.solution.empty() && given < static_cast<int>(o.stateOptions.size()))
    return InputFailure{kExitUsage, "expected a state: --solution FILE, or all of --time, --latitude, --longitude, --height, "
                                    "--azimuth, --elevation and --speed"};
  if (o.solution.empty()) {
    const std::optional<double> time = parseIsoTime(o.time);
    if (!time) return InputFailure{kExitUsage, "--time " + o.time + ": expected an ISO 8601 UTC time such as 2015-11-27T10:43:51.626Z"};
    r.start = darkflight::StartState{*time, GeodeticPosition{o.latitude, o.longitude, o.height}, o.azimuth, o.elevation,
                                     o.speed * kMetresPerKilometre};
  } else if (auto e = readFile(o.solution, r.solution)) {
    return InputFailure{kExitInput, *e};
  }
  if (!o.wind.empty())
    if (auto e = readFile(o.wind, r.wind)) return InputFailure{kExitInput, *e};
  if (!o.masses.empty())
    if (auto e = parseMasses(o.masses, r.masses)) return InputFailure{kExitUsage, *e};
  r.density = o.density;
  r.shapeFactor = shapeFactorOf(o);
  r.groundHeight = o.groundHeight;
  r.draws = o.draws;
  r.seed = o.seed;
  r.threads = o.threads;
  if (o.sigmaPositionOption->count() > 0) r.sigmaPosition = o.sigmaPosition;
  if (o.sigmaSpeedOption->count() > 0) r.sigmaSpeed = o.sigmaSpeed * kMetresPerKilometre;
  if (o.sigmaDirectionOption->count() > 0) r.sigmaDirection = o.sigmaDirection;
  r.windSigma = o.windSigma;
  r.shapeFactorRange = o.shapeFactorRange;
  r.densityRange = o.densityRange;
  r.keepPaths = !o.plot.empty();
  return std::nullopt;
}

bool writeOut(const std::string& path, const std::string& content, std::FILE* out, std::string& error) {
  if (!path.empty() && path != "-") return writeFileAtomically(path, content, error);
  if (std::fwrite(content.data(), 1, content.size(), out) != content.size() || std::fflush(out) != 0) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

CLI::App* addDarkFlightCommand(CLI::App& app, DarkFlightOptions& o) {
  CLI::App* c = app.add_subcommand(
      "darkflight", "Where the stones of a fireball land: the dark flight from the end of the luminous path to the\n"
                    "ground, through the air and wind of a profile, for each mass (the fall line) and, with --mc,\n"
                    "a Monte Carlo strewn field with a 95% ellipse per mass. Positions geodetic WGS84.\n");
  addStateOptions(c, o);
  addBodyOptions(c, o);
  addMonteCarloOptions(c, o);
  c->add_option("--format", o.format, "Output format (default text)")
      ->check(CLI::IsMember({"text", "json", "geojson", "kml", "csv"}))
      ->option_text("text|json|geojson|kml|csv");
  c->add_option("-o,--output", o.output, "Write the output to FILE (completely or not at all)")->option_text("FILE");
  c->add_option("--plot", o.plot, "Also draw a map of the fall line into FILE (.svg, .png or .pdf)")->option_text("FILE");
  return c;
}

int runDarkFlightCommand(const DarkFlightOptions& o, std::FILE* out, std::FILE* err) {
  if (!o.plot.empty() && !figureFormatOf(o.plot))
    return message(err, kExitUsage, o.plot + ": a figure is drawn as .svg, .png or .pdf: expected one of these extensions");
  DarkFlightRequest request;
  if (auto failure = requestOf(o, request)) return message(err, failure->status, failure->message);
  const DarkFlightOutcome outcome = runDarkFlight(request);
  if (outcome.failure) return message(err, outcome.failure->status, outcome.failure->message);
  const std::string text = renderDarkFlight(o.format, outcome.report);
  for (const Warning& w : outcome.report.warnings) std::fprintf(err, "sightline: warning: %s\n", w.text.c_str());
  std::string error;
  if (!writeOut(o.output, text, out, error)) return message(err, kExitOutput, error);
  if (!o.plot.empty()) {
    std::string figure;
    if (!drawDarkFlightFigure(*figureFormatOf(o.plot), outcome.report, figure, error))
      return message(err, kExitOutput, o.plot + ": " + error);
    if (!writeFileAtomically(o.plot, figure, error)) return message(err, kExitOutput, error);
  }
  if (outcome.status != kExitSolved) return message(err, outcome.status, "no stone reached the ground");
  return kExitSolved;
}

}  // namespace sightline
