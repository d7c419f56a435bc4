#include "cli/orbit_command.hpp"

#include <cmath>
#include <sstream>

#include <CLI/CLI.hpp>

#include "cli/shower_options.hpp"
#include "common/exit_status.hpp"
#include "formats/orbit_writers.hpp"
#include "orbit/orbit.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

constexpr double kMetresPerKilometre = 1000.0;

int message(std::FILE* err, int status, const std::string& text) {
  std::fprintf(err, "sightline: %s\n", text.c_str());
  return status;
}

}  // namespace

CLI::App* addOrbitCommand(CLI::App& app, OrbitOptions& o) {
  CLI::App* command = app.add_subcommand(
      "orbit", "The geocentric radiant and heliocentric orbit of a meteor from its state at one point:\n"
               "where and when it was, where it came from and how fast (Earth-fixed). Frames: GCRS (J2000\n"
               "equator and equinox) for right ascension and declination, the J2000 ecliptic for the orbit.\n");
  command->add_option("--time", o.time, "UTC time at the point, ISO 8601 (e.g. 2019-10-23T09:12:25.56Z)")
      ->required()
      ->option_text("TIME");
  command->add_option("--latitude", o.latitude, "Geodetic WGS84 latitude of the point, degrees")
      ->required()
      ->check(CLI::Range(-90.0, 90.0))
      ->option_text("DEG");
  command->add_option("--longitude", o.longitude, "Longitude of the point, degrees east")->required()->option_text("DEG");
  command->add_option("--height", o.height, "Height of the point, metres above the WGS84 ellipsoid")
      ->required()
      ->option_text("M");
  command->add_option("--azimuth", o.azimuth, "Azimuth of the radiant at the point, degrees from north through east")
      ->required()
      ->option_text("DEG");
  command->add_option("--elevation", o.elevation, "Elevation of the radiant at the point, degrees")
      ->required()
      ->check(CLI::Range(-90.0, 90.0))
      ->option_text("DEG");
  command->add_option("--speed", o.speed, "Earth-fixed speed at the point, km/s")
      ->required()
      ->check(CLI::PositiveNumber)
      ->option_text("KM/S");
  command->add_option("--format", o.format, "Output format (default text)")
      ->check(CLI::IsMember({"text", "json"}))
      ->option_text("text|json");
  addShowerOptions(*command, o.showers);
  return command;
}

int runOrbit(const OrbitOptions& o, std::FILE* out, std::FILE* err) {
  const std::optional<double> time = parseIsoTime(o.time);
  if (!time) return message(err, kExitUsage, "--time " + o.time + ": expected an ISO 8601 UTC time such as 2019-10-23T09:12:25.56Z");
  for (const double value : {o.longitude, o.height, o.azimuth})
    if (!std::isfinite(value)) return message(err, kExitUsage, "expected finite numbers for the state");
  OrbitCommand input;
  input.time = *time;
  input.point = GeodeticPosition{o.latitude, o.longitude, o.height};
  input.azimuth = o.azimuth;
  input.elevation = o.elevation;
  input.speed = o.speed * kMetresPerKilometre;
  const OrbitResult result =
      computeOrbit(stateFromRadiant(input.time, input.point, input.azimuth, input.elevation, input.speed));
  ShowerAssociation shower;
  if (auto error = associateOrbit(o.showers, result, shower)) return message(err, kExitInput, error->text());
  std::ostringstream report;
  if (o.format == "json") {
    writeOrbitJson(report, input, result, shower);
  } else {
    writeOrbitText(report, input, result, shower);
  }
  for (const Warning& w : result.warnings) std::fprintf(err, "sightline: warning: %s\n", w.text.c_str());
  const std::string text = report.str();
  if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0)
    return message(err, kExitOutput, "cannot write to standard output");
  return result.ok ? kExitSolved : kExitNoSolution;
}

}  // namespace sightline
