#include "app/darkflight_run.hpp"

#include <cmath>
#include <sstream>

#include "common/exit_status.hpp"
#include "common/text.hpp"
#include "earth/geoid.hpp"
#include "formats/darkflight_state.hpp"
#include "formats/wind_profile.hpp"

namespace sightline {

namespace {

/// The fastest start accepted, m/s: faster than any body bound to the Sun can meet the Earth.
constexpr double kMaxStartSpeed = 80000.0;
/// Half-width (degrees) of the geoid patch around the start: dark flights stay within a few tens of km.
constexpr double kGeoidPatchHalfWidth = 2.0;

InputFailure usage(const std::string& message) { return InputFailure{kExitUsage, message}; }

std::optional<InputFailure> checkBody(const DarkFlightRequest& r) {
  for (std::size_t i = 0; i < r.masses.size(); ++i) {
    if (!(r.masses[i] > 0.0) || !std::isfinite(r.masses[i]))
      return usage(formatted("--mass: mass %zu of the list is %g: expected positive masses in kg", i + 1, r.masses[i]));
  }
  if (!(r.density > 0.0) || !std::isfinite(r.density))
    return usage(formatted("--density %g: expected a positive bulk density in kg/m^3", r.density));
  if (!(r.shapeFactor >= 0.0) || !std::isfinite(r.shapeFactor))
    return usage(formatted("--shape-factor %g: expected 0 (no drag) or more", r.shapeFactor));
  if (!std::isfinite(r.groundHeight)) return usage("--ground-height: expected a finite height in metres");
  if (r.draws < 0) return usage("--mc: expected 0 or more draws");
  for (const auto& [name, value] : {std::pair{"--sigma-position", r.sigmaPosition}, std::pair{"--sigma-speed", r.sigmaSpeed},
                                    std::pair{"--sigma-direction", r.sigmaDirection}}) {
    if (value && (!(*value >= 0.0) || !std::isfinite(*value))) return usage(formatted("%s %g: expected 0 or more", name, *value));
  }
  if (!(r.windSigma >= 0.0) || !(r.shapeFactorRange >= 0.0) || !(r.densityRange >= 0.0) || !(r.densityRange < 1.0))
    return usage("--wind-sigma, --shape-factor-range and --density-range: expected 0 or more (the density range below 1)");
  return std::nullopt;
}

/// The start, from the options or the solution; `where` names its source in messages.
std::optional<InputFailure> startOf(const DarkFlightRequest& r, DarkFlightStart& start, std::string& where) {
  if (r.solution) {
    if (auto e = readDarkFlightStart(r.solution->text, r.solution->name, start)) return InputFailure{kExitInput, e->text()};
    where = r.solution->name + ": the end point";
  } else if (r.start) {
    start.start = *r.start;
    start.timeKnown = r.timeKnown;
    where = "--height";
  } else {
    return usage("expected a state: --solution FILE, or --time, --latitude, --longitude, --height, --azimuth, "
                 "--elevation and --speed");
  }
  const darkflight::StartState& s = start.start;
  if (!(s.speed > 0.0) || s.speed > kMaxStartSpeed)
    return InputFailure{r.solution ? kExitInput : kExitUsage,
                        (r.solution ? r.solution->name + ": speed " : std::string("--speed ")) +
                            formatted("%g km/s: expected a speed above 0 and at most 80 km/s", s.speed / 1000.0)};
  if (!(std::fabs(s.position.latitude) <= 90.0) || !(std::fabs(s.elevation) <= 90.0) || !std::isfinite(s.position.longitude) ||
      !std::isfinite(s.position.height) || !std::isfinite(s.azimuth))
    return usage("expected finite numbers for the state, latitude and elevation within -90 ... 90 degrees");
  return std::nullopt;
}

/// The profile of the request, checked against the ground.
std::optional<InputFailure> profileOf(const DarkFlightRequest& r, std::optional<darkflight::AirProfile>& profile) {
  if (!r.wind) return std::nullopt;
  const WindProfileRead read = readWindProfile(r.wind->text, r.wind->name);
  if (read.error) return InputFailure{kExitInput, read.error->text()};
  profile.emplace(read.levels);
  if (profile->lowest() > r.groundHeight + darkflight::kLowestLevelAboveGround)
    return InputFailure{kExitInput, r.wind->name + formatted(": the lowest level (%.1f m above mean sea level) lies more than "
                                                             "100 m above the ground (--ground-height %g m): expected a "
                                                             "profile down to the ground", profile->lowest(), r.groundHeight)};
  return std::nullopt;
}

darkflight::MonteCarloSettings monteCarloOf(const DarkFlightRequest& r, const DarkFlightStart& s) {
  darkflight::MonteCarloSettings mc;
  mc.draws = r.draws;
  mc.seed = r.seed;
  mc.threads = r.threads;
  darkflight::DrawSpreads& d = mc.spreads;
  d.east = r.sigmaPosition.value_or(s.sigmaEast.value_or(0.0));
  d.north = r.sigmaPosition.value_or(s.sigmaNorth.value_or(0.0));
  d.up = r.sigmaPosition.value_or(s.sigmaUp.value_or(0.0));
  d.speed = r.sigmaSpeed.value_or(s.sigmaSpeed.value_or(0.0));
  d.direction = r.sigmaDirection.value_or(s.sigmaDirection.value_or(0.0));
  d.wind = r.windSigma;
  d.shapeFactor = r.shapeFactorRange;
  d.densityFraction = r.densityRange;
  return mc;
}

}  // namespace

DarkFlightOutcome runDarkFlight(const DarkFlightRequest& r) {
  DarkFlightOutcome out;
  DarkFlightStart start;
  std::string where;
  std::optional<darkflight::AirProfile> profile;
  if ((out.failure = checkBody(r)) || (out.failure = startOf(r, start, where)) || (out.failure = profileOf(r, profile)))
    return out;

  const GeoidAccess& geoid = sharedGeoid();
  darkflight::UndulationFunction undulation;
  if (geoid.geoid != nullptr) undulation = [g = geoid.geoid](double lat, double lon) { return g->undulation(lat, lon); };
  const darkflight::GeoidPatch patch(undulation, start.start.position.latitude, start.start.position.longitude,
                                     kGeoidPatchHalfWidth);
  darkflight::DarkFlightInput input;
  input.start = start.start;
  input.masses = r.masses.empty() ? darkflight::defaultMasses() : r.masses;
  input.density = r.density;
  input.shapeFactor = r.shapeFactor;
  input.air = profile ? &*profile : nullptr;
  input.geoid = &patch;
  input.settings.groundHeight = r.groundHeight;
  input.settings.keepPath = r.keepPaths;
  const double ground = r.groundHeight + patch.at(input.start.position.latitude, input.start.position.longitude);
  if (!(input.start.position.height > ground))
    return DarkFlightOutcome{InputFailure{r.solution ? kExitInput : kExitUsage,
                                          where + formatted(" at %.1f m above the ellipsoid lies below the ground (%.1f m: "
                                                            "--ground-height %g m above mean sea level plus the geoid)",
                                                            input.start.position.height, ground, r.groundHeight)},
                             {}, 0};

  DarkFlightReport& report = out.report;
  report.start = start.start;
  report.timeKnown = start.timeKnown;
  report.stateSource = r.solution ? "solution" : "options";
  if (r.solution) report.solutionFile = r.solution->name;
  report.directionSource = start.directionSource;
  if (r.wind) report.windFile = r.wind->name;
  report.density = r.density;
  report.shapeFactor = r.shapeFactor;
  report.groundHeight = r.groundHeight;
  report.geoidKnown = geoid.geoid != nullptr;
  if (!report.geoidKnown)
    report.warnings.push_back(Warning{"geoid-missing", "the geoid grid is missing (" + geoid.message +
                                                           "): heights above mean sea level are taken as above the ellipsoid"});
  report.fallLine = darkflight::fallLine(input);
  if (r.draws > 0) {
    report.monteCarlo = monteCarloOf(r, start);
    report.strewnField = darkflight::strewnField(input, *report.monteCarlo, report.fallLine);
  }
  int landed = 0;
  for (const darkflight::FallLinePoint& p : report.fallLine) {
    if (p.landing.landed) ++landed;
    else report.warnings.push_back(Warning{"did-not-land", "the " + massLabel(p.mass) + " stone did not reach the ground"});
  }
  out.status = landed > 0 ? kExitSolved : kExitNoSolution;
  return out;
}

std::string renderDarkFlight(const std::string& format, const DarkFlightReport& report) {
  std::ostringstream out;
  if (format == "json") writeDarkFlightJson(out, report);
  else if (format == "geojson") writeDarkFlightGeoJson(out, report);
  else if (format == "kml") writeDarkFlightKml(out, report);
  else if (format == "csv") writeDarkFlightCsv(out, report);
  else writeDarkFlightText(out, report);
  return out.str();
}

}  // namespace sightline
