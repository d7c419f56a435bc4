// The text summary and the JSON report of a solution.
#include "formats/solution_writers.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "common/text.hpp"
#include "earth/geoid.hpp"
#include "formats/orbit_writers.hpp"
#include "formats/photometry_writers.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMetresPerKilometre = 1000.0;

// Name of a status in the JSON report.
const char* statusKey(SolveStatus status) {
  switch (status) {
    case SolveStatus::Trajectory: return "trajectory";
    case SolveStatus::PointsOnly: return "points-only";
    case SolveStatus::TooFewStations: return "too-few-stations";
    case SolveStatus::NoGeometry: return "no-geometry";
  }
  return "no-geometry";
}


// Height above mean sea level (metres) of a position, when the geoid is at hand.
std::optional<double> heightMsl(const GeodeticPosition& p, const OutputContext& context) {
  if (context.geoid == nullptr) return std::nullopt;
  const double n = context.geoid->undulation(p.latitude, p.longitude);
  if (!std::isfinite(n)) return std::nullopt;
  return p.height - n;
}

const std::string& stationName(const Event& event, std::size_t s) {
  static const std::string unknown = "?";
  return s < event.stations.size() ? event.stations[s].name : unknown;
}

const Sighting* sightingOf(const Event& event, const SightingResult& r) {
  if (r.station >= event.stations.size()) return nullptr;
  const Station& station = event.stations[r.station];
  return r.sighting < station.sightings.size() ? &station.sightings[r.sighting] : nullptr;
}

// ---------------------------------------------------------------- JSON

Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json interval(const Interval& i) { return Json::array({number(i.low), number(i.high)}); }

// latitude, longitude, height (+ heightMsl) and, when known, the spread of a point.
Json pointJson(const SolvedPoint& point, const OutputContext& context) {
  Json j;
  j["latitude"] = number(point.position.latitude);
  j["longitude"] = number(point.position.longitude);
  j["height"] = number(point.position.height);
  if (context.geoid != nullptr) {
    const auto msl = heightMsl(point.position, context);
    j["heightMsl"] = msl ? number(*msl) : Json(nullptr);
  }
  if (point.uncertainty) {
    const PointUncertainty& u = *point.uncertainty;
    j["sigma"] = Json{{"east", number(u.east)}, {"north", number(u.north)}, {"up", number(u.up)}};
    Json covariance = Json::array();
    for (int row = 0; row < 3; ++row) {
      covariance.push_back(Json::array({number(u.covariance[3 * row]), number(u.covariance[3 * row + 1]),
                                        number(u.covariance[3 * row + 2])}));
    }
    j["covariance"] = covariance;
    j["interval95"] = Json{{"height", interval(u.height)}, {"latitude", interval(u.latitude)}, {"longitude", interval(u.longitude)}};
  }
  return j;
}

Json optionalNumber(const std::optional<double>& x) { return x ? number(*x) : Json(nullptr); }

const char* modelKey(VelocityModel model) {
  return model == VelocityModel::Exponential ? "exponential" : "constant";
}

// trajectory.velocity: the speed model (m/s, m, 1/s; times ISO UTC and s), its spread after a Monte Carlo run.
Json velocityJson(const Velocity& v, const Event& event) {
  Json j;
  j["initial"] = number(v.initial);
  j["final"] = number(v.final);
  j["average"] = optionalNumber(v.average);
  j["model"] = modelKey(v.model);
  j["a1"] = number(v.a1);
  j["a2"] = number(v.a2);
  j["c"] = number(v.c);
  j["vInf"] = number(v.vInf);
  j["rms"] = number(v.rms);
  j["beginTime"] = formatIsoTime(v.beginTime);
  j["duration"] = number(v.duration);
  j["referenceStation"] = stationName(event, v.referenceStation);
  if (v.uncertainty) {
    const VelocityUncertainty& u = *v.uncertainty;
    j["sigma"] = Json{{"initial", number(u.initial)}, {"final", number(u.final)}, {"a1", number(u.a1)}, {"a2", number(u.a2)}};
    j["interval95"] = Json{{"initial", interval(u.initialInterval)}, {"final", interval(u.finalInterval)},
                           {"a1", interval(u.a1Interval)}, {"a2", interval(u.a2Interval)}};
  }
  return j;
}

// trajectory.clockOffsets: each station's clock minus the reference clock, seconds.
Json clockOffsetsJson(const std::vector<StationClock>& clocks, const Event& event) {
  Json list = Json::array();
  for (const StationClock& c : clocks) {
    list.push_back(Json{{"station", stationName(event, c.station)},
                        {"offset", number(c.offset)},
                        {"fitted", c.fitted},
                        {"sigma", optionalNumber(c.sigma)},
                        {"interval95", c.interval ? interval(*c.interval) : Json(nullptr)}});
  }
  return list;
}

// The top-level "orbit": orbitJson() and, after a Monte Carlo run, the 1-sigma of each figure.
Json solvedOrbitJson(const SolvedOrbit& o) {
  Json j = orbitJson(o.orbit, o.point, o.time, o.shower);
  if (o.sigma) {
    Json sigma = orbitJson(*o.sigma, o.point, o.time);
    sigma.erase("time");
    sigma.erase("point");
    j["sigma"] = sigma;
  }
  return j;
}

Json trajectoryJson(const Trajectory& t, const Event& event, const OutputContext& context) {
  Json j;
  j["begin"] = pointJson(t.begin, context);
  j["end"] = pointJson(t.end, context);
  j["length"] = number(t.length);
  j["radiant"] = Json{{"azimuth", number(t.radiantAzimuth)}, {"elevation", number(t.radiantElevation)}};
  j["endRadiant"] = Json{{"azimuth", number(t.endRadiantAzimuth)}, {"elevation", number(t.endRadiantElevation)}};
  j["model"] = trajectoryModelName(t.model);
  j["speed"] = t.speed ? number(*t.speed) : Json(nullptr);
  j["convergenceAngle"] = number(t.convergenceAngle);
  if (t.uncertainty) {
    const TrajectoryUncertainty& u = *t.uncertainty;
    j["radiant"]["sigma"] = Json{{"azimuth", number(u.radiantAzimuth)}, {"elevation", number(u.radiantElevation)}};
    j["lengthSigma"] = number(u.length);
    j["speedSigma"] = u.speed ? number(*u.speed) : Json(nullptr);
  }
  j["velocity"] = t.velocity ? velocityJson(*t.velocity, event) : Json(nullptr);
  j["clockOffsets"] = clockOffsetsJson(t.clockOffsets, event);
  return j;
}

// ---------------------------------------------------------------- text

// `x`, or 0 when it would print as "-0" with `decimals` decimals.
double unsignedZero(double x, int decimals) { return std::fabs(x) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : x; }

// " ± x" with the same format as the value, or nothing.
std::string plusMinus(const char* pattern, std::optional<double> sigma) {
  if (!sigma) return "";
  return " ± " + formatted(pattern, *sigma);
}

// "height 85.123 km  latitude 47.12345  longitude 11.54321", with 1-sigma spreads when known.
std::string pointText(const SolvedPoint& point, const OutputContext& context) {
  const GeodeticPosition& p = point.position;
  std::optional<double> up, north, east;
  if (point.uncertainty) {
    up = point.uncertainty->up / kMetresPerKilometre;
    north = point.uncertainty->north;
    east = point.uncertainty->east;
  }
  std::string out = formatted("height %.3f", p.height / kMetresPerKilometre) + plusMinus("%.3f", up) + " km";
  if (const auto msl = heightMsl(p, context)) out += formatted(" (%.3f km above sea level)", *msl / kMetresPerKilometre);
  out += formatted("  latitude %.5f", unsignedZero(p.latitude, 5)) + (north ? formatted(" ± %.0f m", *north) : "");
  out += formatted("  longitude %.5f", unsignedZero(p.longitude, 5)) + (east ? formatted(" ± %.0f m", *east) : "");
  return out;
}

std::optional<double> kmPerS(std::optional<double> metresPerSecond) {
  if (!metresPerSecond) return std::nullopt;
  return *metresPerSecond / kMetresPerKilometre;
}

// The speed model: initial, final and average speeds with their spreads, the model's parameters, its RMS.
void writeVelocityText(std::ostream& out, const Event& event, const Velocity& v, const std::optional<double>& averageSigma) {
  const VelocityUncertainty* u = v.uncertainty ? &*v.uncertainty : nullptr;
  auto sigmaOf = [&](double VelocityUncertainty::*field) { return u ? std::optional(u->*field) : std::nullopt; };
  out << "\nVelocity (Earth-fixed, along the trajectory)\n";
  out << formatted("  initial  %.3f", v.initial / kMetresPerKilometre) +
             plusMinus("%.3f", kmPerS(sigmaOf(&VelocityUncertainty::initial))) + " km/s at the begin point, " +
             formatIsoTime(v.beginTime) + '\n';
  out << formatted("  final    %.3f", v.final / kMetresPerKilometre) +
             plusMinus("%.3f", kmPerS(sigmaOf(&VelocityUncertainty::final))) +
             formatted(" km/s at the last timed sighting, %.3f s later\n", v.duration);
  if (v.average) {
    out << formatted("  average  %.3f", *v.average / kMetresPerKilometre) + plusMinus("%.3f", kmPerS(averageSigma)) +
               " km/s (straight line through the lengths and times)\n";
  }
  if (v.model == VelocityModel::Exponential) {
    out << "  model    exponential deceleration, length(t) = c + vInf t - |a1| exp(|a2| t)\n";
    out << formatted("           a1 %.4g", v.a1) + plusMinus("%.2g", sigmaOf(&VelocityUncertainty::a1)) +
               formatted(" m, a2 %.4g", v.a2) + plusMinus("%.2g", sigmaOf(&VelocityUncertainty::a2)) +
               formatted(" 1/s, c %.1f m, vInf %.3f km/s\n", v.c, v.vInf / kMetresPerKilometre);
  } else {
    out << formatted("  model    constant speed, length(t) = c + v t, c %.1f m\n", v.c);
  }
  out << formatted("  RMS of the lengths %.1f m; times on the clock of ", v.rms) << stationName(event, v.referenceStation)
      << '\n';
}

// Each station's clock minus the reference clock, with its spread and whether it was fitted.
void writeClockOffsetsText(std::ostream& out, const Event& event, const Trajectory& t) {
  if (t.clockOffsets.empty()) return;
  out << "\nClock offsets (station clock minus reference clock, s; positive: its times are later)\n";
  for (const StationClock& c : t.clockOffsets) {
    const bool reference = t.velocity && c.station == t.velocity->referenceStation;
    out << formatted("  %-24s %+.3f", stationName(event, c.station).c_str(), unsignedZero(c.offset, 3)) +
               plusMinus("%.3f", c.sigma) + " s  " + (reference ? "reference" : c.fitted ? "fitted" : "not fitted")
        << '\n';
  }
}

// The orbit with its spreads: see writeOrbitFigures.
void writeSolvedOrbitText(std::ostream& out, const SolvedOrbit& o) {
  out << "\nOrbit (from the begin point at " << formatIsoTime(o.time)
      << " with the initial velocity; UT1 taken as UTC, no polar motion, TDB as TT)\n";
  writeOrbitFigures(out, o.orbit, "  ", o.sigma ? &*o.sigma : nullptr, &o.shower);
}

// The labelled points: label, position (see pointJson), the stations that saw them, miss distances (m).
Json labelledPointsJson(const Event& event, const Solution& solution, const OutputContext& context) {
  Json points = Json::array();
  for (const LabelledPoint& lp : solution.points) {
    Json p;
    p["label"] = lp.label;
    p.update(pointJson(lp.point, context));
    Json names = Json::array();
    for (std::size_t s : lp.stations) names.push_back(stationName(event, s));
    p["stations"] = names;
    Json misses = Json::array();
    for (double d : lp.missDistances) misses.push_back(number(d));
    p["missDistances"] = misses;
    points.push_back(p);
  }
  return points;
}

// Each sighting's result: station, label, point, range (m), residual and refraction (arcsec), and the
// along-track figures of timed sightings (length m, time from begin s, velocity m/s, lag m) or null.
Json sightingsJson(const Event& event, const Solution& solution, const OutputContext& context) {
  Json sightings = Json::array();
  for (const SightingResult& r : solution.sightings) {
    Json s;
    const Sighting* given = sightingOf(event, r);
    s["station"] = stationName(event, r.station);
    s["label"] = given != nullptr ? given->label : std::string();
    if (r.hasPoint) {
      s.update(pointJson(r.point, context));
      s["range"] = number(r.range);
      s["residual"] = number(r.residual);
    } else {
      s["latitude"] = nullptr;
      s["longitude"] = nullptr;
      s["height"] = nullptr;
      s["range"] = nullptr;
      s["residual"] = nullptr;
    }
    s["refraction"] = number(r.refraction);
    s["length"] = optionalNumber(r.length);
    s["timeFromBegin"] = optionalNumber(r.timeFromBegin);
    s["velocity"] = optionalNumber(r.velocity);
    s["lag"] = optionalNumber(r.lag);
    s["excluded"] = r.excluded;
    s["alongTrackResidual"] = optionalNumber(r.alongTrackResidual);
    s.update(sightingMagnitudesJson(given, r));
    sightings.push_back(s);
  }
  return sightings;
}

// Per station: its sigma (degrees, per axis), where it comes from and its residual RMS (degrees, per axis, or null).
Json stationSigmasJson(const Event& event, const Solution& solution) {
  Json list = Json::array();
  for (const StationSigma& s : solution.stationSigmas) {
    list.push_back(Json{{"station", stationName(event, s.station)},
                        {"sigma", number(s.sigma)},
                        {"source", sigmaSourceName(s.source)},
                        {"residualRms", optionalNumber(s.residualRms)}});
  }
  return list;
}

// "Sigmas: estimated from the residuals (3 stations)", the sources in a fixed order with their counts.
void writeSigmaLine(std::ostream& out, const Solution& solution) {
  if (solution.stationSigmas.empty()) return;
  const std::pair<SigmaSource, const char*> sources[] = {{SigmaSource::Stated, "stated"},
                                                         {SigmaSource::Estimated, "estimated from the residuals"},
                                                         {SigmaSource::Pooled, "pooled from the stations with 6 or more sightings"},
                                                         {SigmaSource::Default, "the default 0.05 deg"}};
  std::string line;
  for (const auto& [source, text] : sources) {
    std::size_t count = 0;
    for (const StationSigma& s : solution.stationSigmas) count += s.source == source ? 1 : 0;
    if (count == 0) continue;
    line += (line.empty() ? "" : "; ") + std::string(text) + formatted(" (%zu station%s)", count, count == 1 ? "" : "s");
  }
  out << "Sigmas: " << line << '\n';
}

// Each station's sigma and residual RMS (arcseconds on the sky, per axis).
void writeStationSigmasText(std::ostream& out, const Event& event, const Solution& solution) {
  if (solution.stationSigmas.empty()) return;
  out << "\nStation sigmas (arcseconds on the sky, per axis; residual RMS over the sightings in the fit)\n";
  for (const StationSigma& s : solution.stationSigmas) {
    out << formatted("  %-24s %8.1f  %-9s", stationName(event, s.station).c_str(), s.sigma * 3600.0, sigmaSourceName(s.source));
    out << (s.residualRms ? formatted("  residual RMS %.1f", *s.residualRms * 3600.0) : std::string("  residual RMS -")) << '\n';
  }
}

// The title, status and counts above the figures.
void writeSolutionHeader(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  std::string title = event.name.empty() ? context.source : event.name;
  if (event.time) title += (title.empty() ? "" : ", ") + formatIsoTime(*event.time);
  out << "Fireball solution" << (title.empty() ? "" : ": " + title) << '\n';
  out << "Status: " << statusText(solution.status) << '\n';
  std::size_t sightingCount = 0;
  for (const Station& s : event.stations) sightingCount += s.sightings.size();
  out << formatted("Stations: %zu, sightings: %zu, refraction: %s, passes: %d\n", event.stations.size(), sightingCount,
                refractionName(event.refraction), solution.passes);
  out << "Positions: geodetic WGS84 latitude and longitude in degrees, heights above the ellipsoid.\n";
  writeSigmaLine(out, solution);
}

// The trajectory: begin and end points, radiant (degrees), length (km), speed (km/s), convergence
// angle (degrees), then the velocity and the clock offsets.
void writeTrajectoryText(std::ostream& out, const Event& event, const Trajectory& t, const OutputContext& context) {
  const TrajectoryUncertainty* u = t.uncertainty ? &*t.uncertainty : nullptr;
  out << "\nTrajectory\n";
  out << "  begin    " << pointText(t.begin, context) << '\n';
  out << "  end      " << pointText(t.end, context) << '\n';
  out << formatted("  radiant  azimuth %.3f", t.radiantAzimuth) + plusMinus("%.3f", u ? std::optional(u->radiantAzimuth) : std::nullopt) +
             formatted(" deg, elevation %.3f", t.radiantElevation) +
             plusMinus("%.3f", u ? std::optional(u->radiantElevation) : std::nullopt) + " deg (where it came from)\n";
  out << formatted("  length   %.3f", t.length / kMetresPerKilometre) +
             plusMinus("%.3f", u ? std::optional(u->length / kMetresPerKilometre) : std::nullopt) + " km\n";
  if (t.speed) {
    std::optional<double> speedSigma;
    if (u && u->speed) speedSigma = *u->speed / kMetresPerKilometre;
    out << formatted("  speed    %.3f", *t.speed / kMetresPerKilometre) + plusMinus("%.3f", speedSigma) + " km/s\n";
  } else {
    out << "  speed    not known (the sightings carry no times)\n";
  }
  out << formatted("  convergence angle %.2f deg (largest of the station pairs)\n", t.convergenceAngle);
  if (t.model == TrajectoryModel::Gravity) {
    out << "  model    gravity and the turning Earth (begin, end and points where the fireball was at their corrected times)\n";
    out << formatted("  end radiant azimuth %.3f deg, elevation %.3f deg (where it came from, seen at the end point)\n",
                     t.endRadiantAzimuth, t.endRadiantElevation);
  }
  if (t.velocity) writeVelocityText(out, event, *t.velocity, u ? u->speed : std::nullopt);
  writeClockOffsetsText(out, event, t);
}

// The convergence angles of the station pairs (degrees).
void writeStationPairsText(std::ostream& out, const Event& event, const Solution& solution) {
  if (solution.stationPairs.empty()) return;
  out << "\nConvergence angles of the station pairs (planes of sight)\n";
  for (const StationPair& pair : solution.stationPairs) {
    out << formatted("  %6.2f deg  ", pair.convergenceAngle) << stationName(event, pair.first) << " / "
        << stationName(event, pair.second) << '\n';
  }
}

// The labelled points with their miss distances (m).
void writeLabelledPointsText(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  if (solution.points.empty()) return;
  out << "\nLabelled points\n";
  for (const LabelledPoint& lp : solution.points) {
    out << "  " << lp.label << ": " << pointText(lp.point, context) << '\n';
    out << "    miss distances:";
    for (std::size_t i = 0; i < lp.stations.size(); ++i) {
      out << (i == 0 ? " " : ", ") << stationName(event, lp.stations[i])
          << formatted(" %.1f m", i < lp.missDistances.size() ? lp.missDistances[i] : NAN);
    }
    out << '\n';
  }
}

// Each sighting's range (km), residual and refraction (arcsec) and point.
void writeSightingsText(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  if (solution.sightings.empty()) return;
  out << "\nSightings (range km, residual and refraction arcseconds)\n";
  out << formatted("  %-24s %-10s %10s %10s %10s  %s\n", "station", "label", "range", "residual", "refraction", "point");
  for (const SightingResult& r : solution.sightings) {
    const Sighting* given = sightingOf(event, r);
    const std::string label = given != nullptr && !given->label.empty() ? given->label : "-";
    if (r.hasPoint) {
      out << formatted("  %-24s %-10s %10.3f %10.1f %10.1f  ", stationName(event, r.station).c_str(), label.c_str(),
                    r.range / kMetresPerKilometre, unsignedZero(r.residual, 1), unsignedZero(r.refraction, 1))
          << pointText(r.point, context) << (r.excluded ? "  (left out of the fit)" : "") << '\n';
    } else {
      out << formatted("  %-24s %-10s %10s %10s %10.1f  no point\n", stationName(event, r.station).c_str(),
                    label.c_str(), "-", "-", unsignedZero(r.refraction, 1));
    }
  }
}

}  // namespace

void writeSolutionJson(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  Json j;
  j["format"] = "sightline-solution";
  j["version"] = 1;
  j["status"] = statusKey(solution.status);
  j["trajectory"] = solution.trajectory ? trajectoryJson(*solution.trajectory, event, context) : Json(nullptr);
  j["orbit"] = solution.orbit ? solvedOrbitJson(*solution.orbit) : Json(nullptr);
  j["photometry"] = photometryJson(solution.photometry, context);

  j["points"] = labelledPointsJson(event, solution, context);
  j["sightings"] = sightingsJson(event, solution, context);

  Json pairs = Json::array();
  for (const StationPair& pair : solution.stationPairs) {
    pairs.push_back(Json{{"stations", Json::array({stationName(event, pair.first), stationName(event, pair.second)})},
                         {"convergenceAngle", number(pair.convergenceAngle)}});
  }
  j["stationPairs"] = pairs;
  j["stationSigmas"] = stationSigmasJson(event, solution);
  j["passes"] = solution.passes;
  j["warnings"] = warningTexts(solution.warnings);
  j["warningCodes"] = warningCodes(solution.warnings);
  if (solution.monteCarlo) {
    j["monteCarlo"] = Json{{"draws", solution.monteCarlo->draws},
                           {"failed", solution.monteCarlo->failed},
                           {"seed", solution.monteCarlo->seed}};
  }
  out << j.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

void writeSolutionText(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  writeSolutionHeader(out, event, solution, context);
  if (solution.trajectory) writeTrajectoryText(out, event, *solution.trajectory, context);
  if (solution.orbit) writeSolvedOrbitText(out, *solution.orbit);
  writePhotometryText(out, solution.photometry, context);
  writeStationPairsText(out, event, solution);
  writeStationSigmasText(out, event, solution);
  writeLabelledPointsText(out, event, solution, context);
  writeSightingsText(out, event, solution, context);

  if (solution.monteCarlo) {
    const MonteCarloSummary& mc = *solution.monteCarlo;
    out << formatted("\nUncertainties (1 sigma) from %d Monte Carlo draws, %d failed, seed %llu\n", mc.draws, mc.failed,
                  static_cast<unsigned long long>(mc.seed));
  }

  out << "\nWarnings\n";
  if (solution.warnings.empty()) out << "  none\n";
  for (const Warning& w : solution.warnings) out << "  - " << w.text << '\n';
}

}  // namespace sightline
