#include "plot/figure_scene.hpp"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/LocalCartesian.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "earth/geoid.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

constexpr double kMetresPerKm = 1000.0;
constexpr double kArcsecPerDegree = 3600.0;
constexpr int kTrackSamples = 32;              // samples of the trajectory line, begin to end
constexpr double kDefaultRayKm = 100.0;        // km, azimuth rays when no point gives a range
constexpr double kJacobianStepMetres = 100.0;  // m, step for the map's local axes at a point
constexpr int kSpeedSamples = 64;              // samples of the speed model's curve, begin to the last timed sighting
constexpr const char* kNoSpeedModel = "no times: no speed model";

bool finite(const GeodeticPosition& p) {
  return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.height);
}

bool finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string format(const char* pattern, double a) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, pattern, a);
  return buffer;
}

// "49.1234° N, 8.1234° E"
std::string latLonText(const GeodeticPosition& p) {
  return format("%.4f\u00b0 ", std::fabs(p.latitude)) + (p.latitude < 0 ? "S, " : "N, ") +
         format("%.4f\u00b0 ", std::fabs(p.longitude)) + (p.longitude < 0 ? "W" : "E");
}

// "92.41 km" or "92.41 ± 0.12 km"; more decimals when the sigma would round to zero.
std::string withSigma(double value, std::optional<double> sigma, int decimals, const char* unit) {
  char buffer[128];
  if (sigma && std::isfinite(*sigma) && *sigma > 0.0)
    while (decimals < 6 && *sigma < 0.95 * std::pow(10.0, -decimals)) ++decimals;
  if (sigma && std::isfinite(*sigma))
    std::snprintf(buffer, sizeof buffer, "%.*f \u00b1 %.*f%s", decimals, value, decimals, *sigma, unit);
  else
    std::snprintf(buffer, sizeof buffer, "%.*f%s", decimals, value, unit);
  return buffer;
}

// The horizontal 1-sigma ellipse (km, map axes) of a point with an east-north-up covariance (m^2).
std::optional<MapEllipse> ellipseOf(const GeodeticPosition& origin, const std::string& label,
                                    const SolvedPoint& point) {
  if (!point.uncertainty || !finite(point.position)) return std::nullopt;
  const auto& c = point.uncertainty->covariance;
  const double cee = c[0], cen = c[1], cnn = c[4];
  if (!std::isfinite(cee) || !std::isfinite(cen) || !std::isfinite(cnn)) return std::nullopt;
  // The map's axes turn slightly away from the point's east and north: carry the
  // covariance over with the map's local derivatives (km per m).
  const GeographicLib::Geodesic& geodesic = GeographicLib::Geodesic::WGS84();
  const MapPoint at = toMap(origin, point.position.latitude, point.position.longitude);
  double lat = 0.0, lon = 0.0;
  geodesic.Direct(point.position.latitude, point.position.longitude, 90.0, kJacobianStepMetres, lat, lon);
  const MapPoint east = toMap(origin, lat, lon);
  geodesic.Direct(point.position.latitude, point.position.longitude, 0.0, kJacobianStepMetres, lat, lon);
  const MapPoint north = toMap(origin, lat, lon);
  const double j00 = (east.east - at.east) / kJacobianStepMetres, j01 = (north.east - at.east) / kJacobianStepMetres;
  const double j10 = (east.north - at.north) / kJacobianStepMetres, j11 = (north.north - at.north) / kJacobianStepMetres;
  // M = J C J^T, km^2.
  const double a0 = j00 * cee + j01 * cen, a1 = j00 * cen + j01 * cnn;
  const double b0 = j10 * cee + j11 * cen, b1 = j10 * cen + j11 * cnn;
  const double mxx = a0 * j00 + a1 * j01;
  const double mxy = a0 * j10 + a1 * j11;
  const double myy = b0 * j10 + b1 * j11;
  const double mean = 0.5 * (mxx + myy);
  const double r = std::hypot(0.5 * (mxx - myy), mxy);
  MapEllipse ellipse;
  ellipse.label = label;
  ellipse.centre = at;
  ellipse.major = std::sqrt(std::max(mean + r, 0.0));
  ellipse.minor = std::sqrt(std::max(mean - r, 0.0));
  ellipse.angle = 0.5 * std::atan2(2.0 * mxy, mxx - myy);
  return ellipse;
}

// Time (UTC epoch seconds) of a sighting, if it has one.
std::optional<double> sightingTime(const Event& event, std::size_t s, std::size_t k) {
  if (s >= event.stations.size() || k >= event.stations[s].sightings.size()) return std::nullopt;
  return event.stations[s].sightings[k].time;
}

// ---------------------------------------------------------------- parts of the scene

// Whether the solution has a trajectory whose begin and end (ECEF and geodetic) are numbers.
bool drawableLine(const Solution& solution) {
  const std::optional<Trajectory>& trajectory = solution.trajectory;
  return trajectory && finite(trajectory->begin.ecef) && finite(trajectory->end.ecef) &&
         finite(trajectory->begin.position) && finite(trajectory->end.position);
}

// Title: name and time (the event's, else the first sighting's); subtitle: source, status and counts.
void addTitles(const Event& event, const Solution& solution, const std::string& source, FigureScene& scene) {
  std::optional<double> firstTime;
  for (const Station& station : event.stations)
    for (const Sighting& sighting : station.sightings)
      if (sighting.time && std::isfinite(*sighting.time) && (!firstTime || *sighting.time < *firstTime))
        firstTime = sighting.time;
  const std::optional<double> eventTime = event.time ? event.time : firstTime;
  scene.title = event.name.empty() ? "Unnamed event" : event.name;
  if (eventTime && std::isfinite(*eventTime)) scene.title += "  \u2014  " + formatIsoTime(*eventTime);
  std::size_t sightingCount = 0;
  for (const Station& station : event.stations) sightingCount += station.sightings.size();
  scene.subtitle = (source.empty() ? std::string() : source + "  \u00b7  ") + statusText(solution.status) + "  \u00b7  " +
                   std::to_string(event.stations.size()) + (event.stations.size() == 1 ? " station, " : " stations, ") +
                   std::to_string(sightingCount) + (sightingCount == 1 ? " sighting" : " sightings");
}

// ECEF (metres) of the sightings' points, then of the labelled points, where they are numbers.
std::vector<Vector3> solvedPointsEcef(const Solution& solution) {
  std::vector<Vector3> pointEcef;
  for (const SightingResult& r : solution.sightings)
    if (r.hasPoint && finite(r.point.ecef) && finite(r.point.position)) pointEcef.push_back(r.point.ecef);
  for (const LabelledPoint& p : solution.points)
    if (finite(p.point.ecef) && finite(p.point.position)) pointEcef.push_back(p.point.ecef);
  return pointEcef;
}

// Mean of ECEF points (metres).
Vector3 meanOf(const std::vector<Vector3>& points) {
  Vector3 sum;
  for (const Vector3& p : points) sum = sum + p;
  return sum / static_cast<double>(points.size());
}

// The map's origin (degrees, on the ellipsoid) and its description: the ground below the middle
// of the trajectory, else of the points, else of the stations.
void placeOrigin(const Event& event, const Solution& solution, bool hasLine, const std::vector<Vector3>& pointEcef,
                 FigureScene& scene) {
  std::vector<Vector3> stationEcef;
  for (const Station& station : event.stations)
    if (finite(station.position)) stationEcef.push_back(toEcef(station.position));
  Vector3 centre;
  if (hasLine) {
    centre = 0.5 * (solution.trajectory->begin.ecef + solution.trajectory->end.ecef);
    scene.mapOrigin = "the track's middle";
  } else if (!pointEcef.empty()) {
    centre = meanOf(pointEcef);
    scene.mapOrigin = pointEcef.size() == 1 ? "the point" : "the points' middle";
  } else if (!stationEcef.empty()) {
    centre = meanOf(stationEcef);
    scene.mapOrigin = stationEcef.size() == 1 ? "the station" : "the stations' middle";
  } else {
    centre = toEcef(GeodeticPosition{});
    scene.mapOrigin = "0\u00b0 N, 0\u00b0 E";
  }
  const GeodeticPosition middle = toGeodetic(centre);
  scene.origin = {middle.latitude, middle.longitude, 0.0};
}

// Map point (km) of the ground below a geodetic position, seen from the scene's origin.
MapPoint mapOf(const FigureScene& scene, const GeodeticPosition& p) { return toMap(scene.origin, p.latitude, p.longitude); }

// Stations on the map, and lines of sight to the ground below each point; returns the
// typical ground range (km) of those lines, kDefaultRayKm without any.
double addStationsAndSightLines(const Event& event, const Solution& solution, FigureScene& scene) {
  for (std::size_t s = 0; s < event.stations.size(); ++s)
    if (finite(event.stations[s].position))
      scene.stations.push_back({s, event.stations[s].name, mapOf(scene, event.stations[s].position)});
  std::vector<double> groundRanges;
  for (const SightingResult& r : solution.sightings) {
    if (!r.hasPoint || !finite(r.point.position) || r.station >= event.stations.size()) continue;
    const GeodeticPosition& from = event.stations[r.station].position;
    if (!finite(from)) continue;
    scene.sightLines.push_back({r.station, mapOf(scene, from), mapOf(scene, r.point.position), true});
    const MapPoint a = mapOf(scene, from), b = mapOf(scene, r.point.position);
    groundRanges.push_back(std::hypot(b.east - a.east, b.north - a.north));
  }
  double rayKm = kDefaultRayKm;
  if (!groundRanges.empty()) {
    std::nth_element(groundRanges.begin(), groundRanges.begin() + groundRanges.size() / 2, groundRanges.end());
    rayKm = std::max(groundRanges[groundRanges.size() / 2], 1.0);
  }
  return rayKm;
}

// Sightings without a point: a ray along the azimuth, `rayKm` long (km).
void addAzimuthRays(const Event& event, const Solution& solution, double rayKm, FigureScene& scene) {
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const Station& station = event.stations[s];
    if (!finite(station.position)) continue;
    for (std::size_t k = 0; k < station.sightings.size(); ++k) {
      const bool hasPoint = std::any_of(solution.sightings.begin(), solution.sightings.end(), [&](const SightingResult& r) {
        return r.station == s && r.sighting == k && r.hasPoint && finite(r.point.position);
      });
      const double azimuth = station.sightings[k].azimuth;
      if (hasPoint || !std::isfinite(azimuth)) continue;
      double lat = 0.0, lon = 0.0;
      GeographicLib::Geodesic::WGS84().Direct(station.position.latitude, station.position.longitude, azimuth,
                                               rayKm * kMetresPerKm, lat, lon);
      scene.sightLines.push_back({s, mapOf(scene, station.position), toMap(scene.origin, lat, lon), false});
    }
  }
}

// The trajectory line: ground track and heights (km), sampled from begin to end; begin and end marks and ellipses.
void addTrack(const Trajectory& trajectory, FigureScene& scene) {
  const Vector3 b = trajectory.begin.ecef, e = trajectory.end.ecef;
  const double lengthKm = distance(b, e) / kMetresPerKm;
  for (int i = 0; i <= kTrackSamples; ++i) {
    const double f = static_cast<double>(i) / kTrackSamples;
    const GeodeticPosition p = toGeodetic(b + f * (e - b));
    scene.track.push_back(mapOf(scene, p));
    scene.fittedLine.push_back({0, f * lengthKm, p.height / kMetresPerKm});
  }
  scene.marks.push_back({"begin", mapOf(scene, trajectory.begin.position), 0.0,
                         trajectory.begin.position.height / kMetresPerKm, false});
  scene.marks.push_back({"end", mapOf(scene, trajectory.end.position), lengthKm,
                         trajectory.end.position.height / kMetresPerKm, false});
  if (auto ellipse = ellipseOf(scene.origin, "begin", trajectory.begin)) scene.ellipses.push_back(*ellipse);
  if (auto ellipse = ellipseOf(scene.origin, "end", trajectory.end)) scene.ellipses.push_back(*ellipse);
}

// What the profile's distances (km) are measured along: the trajectory from its begin point
// (ECEF metres, unit direction), or a horizontal direction of the map (km) from an origin.
struct ProfileAxis {
  bool horizontal = false;
  Vector3 origin, direction;        // along the trajectory
  MapPoint mapAxis{1.0, 0.0}, mapAxisOrigin;  // along the map
};

// The points' main horizontal direction on the map (unit), pointed the way their heights
// fall, from the lowest projection; one point is its own origin.
void mainHorizontalAxis(const FigureScene& scene, const std::vector<Vector3>& pointEcef, ProfileAxis& axis) {
  std::vector<MapPoint> ground;
  std::vector<double> heights;
  for (const Vector3& p : pointEcef) {
    const GeodeticPosition g = toGeodetic(p);
    ground.push_back(mapOf(scene, g));
    heights.push_back(g.height);
  }
  if (ground.size() == 1) axis.mapAxisOrigin = ground[0];
  if (ground.size() < 2) return;
  MapPoint& mapAxis = axis.mapAxis;
  double me = 0.0, mn = 0.0;
  for (const MapPoint& g : ground) me += g.east, mn += g.north;
  me /= ground.size(), mn /= ground.size();
  double see = 0.0, sen = 0.0, snn = 0.0;
  for (const MapPoint& g : ground) {
    see += (g.east - me) * (g.east - me);
    sen += (g.east - me) * (g.north - mn);
    snn += (g.north - mn) * (g.north - mn);
  }
  const double angle = 0.5 * std::atan2(2.0 * sen, see - snn);
  mapAxis = {std::cos(angle), std::sin(angle)};
  // Fireballs descend: point the axis the way the heights fall.
  double slope = 0.0, hm = 0.0;
  for (double h : heights) hm += h;
  hm /= heights.size();
  for (std::size_t i = 0; i < ground.size(); ++i)
    slope += ((ground[i].east - me) * mapAxis.east + (ground[i].north - mn) * mapAxis.north) * (heights[i] - hm);
  if (slope > 0.0) mapAxis = {-mapAxis.east, -mapAxis.north};
  double lowest = std::numeric_limits<double>::infinity();
  for (const MapPoint& g : ground) lowest = std::min(lowest, g.east * mapAxis.east + g.north * mapAxis.north);
  axis.mapAxisOrigin = {lowest * mapAxis.east, lowest * mapAxis.north};
}

// Distance along the track: along the trajectory from its begin point; without one,
// along the main horizontal direction of the points, from the highest end.
ProfileAxis profileAxisOf(const std::optional<Trajectory>& trajectory, bool hasLine,
                          const std::vector<Vector3>& pointEcef, FigureScene& scene) {
  ProfileAxis axis;
  if (hasLine) {
    axis.origin = trajectory->begin.ecef;
    axis.direction = (trajectory->end.ecef - trajectory->begin.ecef);
    const double len = axis.direction.length();
    axis.direction = len > 0.0 ? axis.direction / len : trajectory->direction;
    scene.profileAxis = "distance along the trajectory from its begin point (km)";
  } else {
    axis.horizontal = true;
    scene.profileAxis = "distance along the points' main horizontal direction (km)";
    mainHorizontalAxis(scene, pointEcef, axis);
  }
  return axis;
}

// Distance (km) of a point along the profile's axis.
double distanceAlong(const FigureScene& scene, const ProfileAxis& axis, const SolvedPoint& p) {
  if (!axis.horizontal) return dot(p.ecef - axis.origin, axis.direction) / kMetresPerKm;
  const MapPoint g = mapOf(scene, p.position);
  return (g.east - axis.mapAxisOrigin.east) * axis.mapAxis.east + (g.north - axis.mapAxisOrigin.north) * axis.mapAxis.north;
}

// Profile points of the sightings and marks of the labelled points (distance and height in km).
void addProfilePoints(const Solution& solution, const ProfileAxis& axis, FigureScene& scene) {
  for (const SightingResult& r : solution.sightings) {
    if (!r.hasPoint || !finite(r.point.ecef) || !finite(r.point.position)) continue;
    scene.profile.push_back({r.station, distanceAlong(scene, axis, r.point), r.point.position.height / kMetresPerKm});
  }
  for (const LabelledPoint& p : solution.points) {
    if (!finite(p.point.ecef) || !finite(p.point.position)) continue;
    scene.marks.push_back({p.label, mapOf(scene, p.point.position), distanceAlong(scene, axis, p.point),
                           p.point.position.height / kMetresPerKm, true});
  }
}

// Residuals (as given) and sigmas (arcsec): against time (s) when every sighting shown has one,
// else against the sighting number.
void addResiduals(const Event& event, const Solution& solution, FigureScene& scene) {
  std::optional<double> firstShown;
  bool allTimed = true;
  for (std::size_t i = 0; i < solution.sightings.size(); ++i) {
    const SightingResult& r = solution.sightings[i];
    if (!r.hasPoint || !std::isfinite(r.residual)) continue;
    const std::optional<double> t = sightingTime(event, r.station, r.sighting);
    if (!t || !std::isfinite(*t)) {
      allTimed = false;
      continue;
    }
    if (!firstShown || *t < *firstShown) firstShown = t;
  }
  for (std::size_t i = 0; i < solution.sightings.size(); ++i) {
    const SightingResult& r = solution.sightings[i];
    if (!r.hasPoint || !std::isfinite(r.residual)) continue;
    ResidualPoint point;
    point.station = r.station;
    point.x = allTimed ? *sightingTime(event, r.station, r.sighting) - *firstShown : static_cast<double>(i + 1);
    point.residual = r.residual;
    point.sigma = std::isfinite(r.sigma) ? r.sigma * kArcsecPerDegree : 0.0;
    point.excluded = r.excluded;
    scene.residuals.push_back(point);
  }
  scene.residualsAgainstTime = allTimed && !scene.residuals.empty();
}

// Notes on what cannot be shown in each panel.
void addNotes(bool hasTrajectory, bool hasLine, FigureScene& scene) {
  if (scene.stations.empty())
    scene.mapNote = "no stations";
  else if (!hasLine)
    scene.mapNote = hasTrajectory ? "trajectory not a number" : "no trajectory line";
  if (scene.profile.empty() && scene.marks.empty())
    scene.profileNote = "no sightings with points";
  else if (!hasLine)
    scene.profileNote = "no trajectory line";
  if (scene.residuals.empty())
    scene.residualNote = "no sightings with points";
  else if (!hasLine)
    scene.residualNote = "no trajectory line: from the points found";
}

// Each timed sighting's lag (m) against its time from the begin (s), in the solution's order.
void addLags(const Solution& solution, FigureScene& scene) {
  for (const SightingResult& r : solution.sightings)
    if (r.timeFromBegin && r.lag && std::isfinite(*r.timeFromBegin) && std::isfinite(*r.lag))
      scene.lags.push_back({r.station, *r.timeFromBegin, *r.lag});
}

// The speed model (km/s) sampled from the begin time to the last timed sighting (s), and
// its 1-sigma band at the Monte Carlo band's times.
void addSpeedModel(const Velocity& v, double lastTime, FigureScene& scene) {
  const double end = std::max({v.duration, lastTime, 0.0});
  for (int i = 0; i <= kSpeedSamples; ++i) {
    const double t = end * i / kSpeedSamples;
    scene.speedModel.push_back({t, modelSpeed(v, t) / kMetresPerKm, 0.0});
  }
  if (!v.uncertainty) return;
  for (const std::array<double, 2>& b : v.uncertainty->speedBand)
    if (std::isfinite(b[0]) && std::isfinite(b[1]))
      scene.speedBand.push_back({b[0], modelSpeed(v, b[0]) / kMetresPerKm, b[1] / kMetresPerKm});
}

// Point-to-point speeds (km/s): for each station, the length gained (m) over the time (s)
// between consecutive timed sightings, at the pair's midpoint time.
void addPointSpeeds(const Solution& solution, FigureScene& scene) {
  std::vector<TimePoint> timed;  // value: length in m
  for (const SightingResult& r : solution.sightings)
    if (r.timeFromBegin && r.length && std::isfinite(*r.timeFromBegin) && std::isfinite(*r.length))
      timed.push_back({r.station, *r.timeFromBegin, *r.length});
  std::stable_sort(timed.begin(), timed.end(), [](const TimePoint& a, const TimePoint& b) {
    return a.station != b.station ? a.station < b.station : a.time < b.time;
  });
  for (std::size_t k = 1; k < timed.size(); ++k) {
    const TimePoint &a = timed[k - 1], &b = timed[k];
    const double dt = b.time - a.time;
    if (a.station != b.station || !(dt > 0.0)) continue;
    scene.pointSpeeds.push_back({a.station, 0.5 * (a.time + b.time), (b.value - a.value) / dt / kMetresPerKm});
  }
}

// Lag and speed against time; without a speed model, notes say why the panels are empty.
void addTimeSeries(const Solution& solution, FigureScene& scene) {
  const std::optional<Trajectory>& trajectory = solution.trajectory;
  if (!drawableLine(solution) || !trajectory->velocity) {
    scene.lagNote = scene.speedNote = drawableLine(solution) ? kNoSpeedModel : "no trajectory line";
    return;
  }
  addLags(solution, scene);
  double lastTime = 0.0;
  for (const TimePoint& p : scene.lags) lastTime = std::max(lastTime, p.time);
  addSpeedModel(*trajectory->velocity, lastTime, scene);
  addPointSpeeds(solution, scene);
  if (scene.lags.empty()) scene.lagNote = "no timed sightings with points";
}

// Upward 1-sigma (km) of a point, when known.
std::optional<double> upSigmaKm(const SolvedPoint& p) {
  if (!p.uncertainty) return std::nullopt;
  return p.uncertainty->up / kMetresPerKm;
}

// A caption line for a point: height (km) above the ellipsoid, and above sea level when the geoid is at hand.
std::string pointCaption(const char* name, const SolvedPoint& p, const Geoid* geoid) {
  std::string line = std::string(name) + withSigma(p.position.height / kMetresPerKm, upSigmaKm(p), 2, " km") +
                     " above the WGS84 ellipsoid";
  const double undulation = geoid ? geoid->undulation(p.position.latitude, p.position.longitude) : NAN;
  if (std::isfinite(undulation))
    line += format(" (%.2f km above sea level)", (p.position.height - undulation) / kMetresPerKm);
  return line + "  at " + latLonText(p.position);
}

// Caption line of the radiant (degrees), length (km) and speed (km/s), with sigmas when known.
std::string radiantCaption(const Trajectory& t) {
  const std::optional<TrajectoryUncertainty>& u = t.uncertainty;
  std::string line = "Radiant  azimuth " +
                     withSigma(t.radiantAzimuth, u ? std::optional<double>(u->radiantAzimuth) : std::nullopt, 2, "\u00b0") +
                     ",  elevation " +
                     withSigma(t.radiantElevation, u ? std::optional<double>(u->radiantElevation) : std::nullopt, 2, "\u00b0") +
                     "      Length " +
                     withSigma(t.length / kMetresPerKm, u ? std::optional<double>(u->length / kMetresPerKm) : std::nullopt,
                               2, " km") +
                     "      Speed ";
  if (t.speed && std::isfinite(*t.speed)) {
    std::optional<double> speedSigma;
    if (u && u->speed) speedSigma = *u->speed / kMetresPerKm;
    line += withSigma(*t.speed / kMetresPerKm, speedSigma, 2, " km/s");
  } else {
    line += "not known (no times)";
  }
  return line;
}

// Caption of a trajectory: begin, end, radiant, and the geometry (convergence angle in degrees).
void addLineCaption(const Event& event, const Solution& solution, const Geoid* geoid, FigureScene& scene) {
  const Trajectory& t = *solution.trajectory;
  scene.caption.push_back(pointCaption("Begin  ", t.begin, geoid));
  scene.caption.push_back(pointCaption("End      ", t.end, geoid));
  scene.caption.push_back(radiantCaption(t));
  scene.caption.push_back(format("Convergence angle %.1f\u00b0", t.convergenceAngle) + " (largest of " +
                          std::to_string(solution.stationPairs.size()) +
                          (solution.stationPairs.size() == 1 ? " station pair)" : " station pairs)") +
                          "      Refraction: " + refractionName(event.refraction) +
                          "      Passes: " + std::to_string(solution.passes));
}

// Caption without a trajectory line: why, and the labelled points found (heights in km).
void addPointsCaption(const Solution& solution, FigureScene& scene) {
  scene.caption.push_back(solution.trajectory ? std::string("Trajectory not drawn: its begin or end is not a number")
                                              : std::string("No trajectory: ") + statusText(solution.status));
  for (const LabelledPoint& p : solution.points)
    if (finite(p.point.position))
      scene.caption.push_back("Point \u201c" + p.label + "\u201d  " + format("%.2f km", p.point.position.height / kMetresPerKm) +
                              "  at " + latLonText(p.point.position));
}

// Caption lines after the key figures: the Monte Carlo draws, then the warnings.
void addCaptionTail(const Solution& solution, FigureScene& scene) {
  if (solution.monteCarlo) {
    const MonteCarloSummary& mc = *solution.monteCarlo;
    scene.caption.push_back("\u00b1 values: 1\u03c3 over " + std::to_string(mc.draws) + " Monte Carlo draws (" +
                            std::to_string(mc.failed) + " failed, seed " + std::to_string(mc.seed) + ")");
  }
  for (const Warning& warning : solution.warnings) scene.caption.push_back("Warning: " + warning.text);
}

}  // namespace

double modelSpeed(const Velocity& v, double t) {
  return v.vInf - std::fabs(v.a1) * std::fabs(v.a2) * std::exp(std::fabs(v.a2) * t);
}

MapPoint toMap(const GeodeticPosition& origin, double latitude, double longitude) {
  const GeographicLib::LocalCartesian frame(origin.latitude, origin.longitude, 0.0);
  double x = 0.0, y = 0.0, z = 0.0;
  frame.Forward(latitude, longitude, 0.0, x, y, z);
  return {x / kMetresPerKm, y / kMetresPerKm};
}

void fromMap(const GeodeticPosition& origin, const MapPoint& point, double& latitude, double& longitude) {
  // The plane's point lies above the ground; the ground below it maps a little nearer the
  // origin. The map is nearly the identity there, so a few corrections close the gap.
  const GeographicLib::LocalCartesian frame(origin.latitude, origin.longitude, 0.0);
  MapPoint aim = point;
  for (int i = 0; i < 4; ++i) {
    double h = 0.0;
    frame.Reverse(aim.east * kMetresPerKm, aim.north * kMetresPerKm, 0.0, latitude, longitude, h);
    const MapPoint reached = toMap(origin, latitude, longitude);
    aim.east += point.east - reached.east;
    aim.north += point.north - reached.north;
  }
}

FigureScene buildFigureScene(const Event& event, const Solution& solution, const std::string& source,
                             const Geoid* geoid) {
  FigureScene scene;
  const bool hasLine = drawableLine(solution);
  addTitles(event, solution, source, scene);
  const std::vector<Vector3> pointEcef = solvedPointsEcef(solution);
  placeOrigin(event, solution, hasLine, pointEcef, scene);
  const double rayKm = addStationsAndSightLines(event, solution, scene);
  addAzimuthRays(event, solution, rayKm, scene);
  if (hasLine) addTrack(*solution.trajectory, scene);
  const ProfileAxis axis = profileAxisOf(solution.trajectory, hasLine, pointEcef, scene);
  addProfilePoints(solution, axis, scene);
  addResiduals(event, solution, scene);
  addTimeSeries(solution, scene);
  addNotes(solution.trajectory.has_value(), hasLine, scene);
  if (hasLine)
    addLineCaption(event, solution, geoid, scene);
  else
    addPointsCaption(solution, scene);
  addLightCurve(solution, scene);
  addCaptionTail(solution, scene);
  return scene;
}

}  // namespace sightline
