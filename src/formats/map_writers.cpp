#include "formats/map_writers.hpp"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

#include "earth/geoid.hpp"
#include "formats/photometry_writers.hpp"
#include "formats/kml.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using json = nlohmann::ordered_json;

/// Map coordinates are written to 1e-8 degree (about a millimetre) and heights
/// and distances to the millimetre: enough for any fireball, and the same text
/// on every machine.
constexpr int kDegreeDecimals = 8;
constexpr int kMetreDecimals = 3;
/// Angles on the sky (azimuths, elevations, residuals in arcseconds) to 1e-6 of their unit.
constexpr int kAngleDecimals = 6;
/// Sigmas and residual RMS in degrees on the sky, to 1e-9 degree (4 microarcseconds).
constexpr int kSigmaDecimals = 9;

/// `value` rounded to `decimals` decimal places: the double nearest that
/// decimal, so that it prints short (10.95, not 10.950000000000001).
double roundTo(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);  // exact for these powers
  const double scaled = std::round(value * scale);
  return std::fabs(scaled) < 9007199254740992.0 ? scaled / scale : value;  // beyond 2^53 there is nothing to round
}

/// Longitude in [-180, 180) degrees.
double wrapLongitude(double longitude) {
  double l = std::fmod(longitude + 180.0, 360.0);
  if (l < 0.0) l += 360.0;
  l -= 180.0;
  return l >= 180.0 ? l - 360.0 : l;
}

/// Height above the ellipsoid (metres) of a station, whatever its height was given from.
double stationEllipsoidHeight(const Station& station, const Geoid* geoid) {
  if (station.heightReference == HeightReference::MeanSeaLevel && geoid != nullptr) {
    const double n = geoid->undulation(station.position.latitude, station.position.longitude);
    if (std::isfinite(n)) return station.position.height + n;
  }
  return station.position.height;
}

/// Height above mean sea level (metres) of a station, when it is known.
std::optional<double> stationSeaLevelHeight(const Station& station, const Geoid* geoid) {
  if (station.heightReference == HeightReference::MeanSeaLevel) return station.position.height;
  if (geoid == nullptr) return std::nullopt;
  const double h = geoid->heightAboveSeaLevel(station.position);
  if (!std::isfinite(h)) return std::nullopt;
  return h;
}

/// Height above mean sea level (metres) of a solved point, when the geoid is there.
std::optional<double> seaLevelHeight(const GeodeticPosition& position, const Geoid* geoid) {
  if (geoid == nullptr) return std::nullopt;
  const double h = geoid->heightAboveSeaLevel(position);
  if (!std::isfinite(h)) return std::nullopt;
  return h;
}

/// A position with its height above the ellipsoid: station or solved point.
GeodeticPosition stationPosition(const Station& station, const Geoid* geoid) {
  GeodeticPosition p = station.position;
  p.height = stationEllipsoidHeight(station, geoid);
  return p;
}

/// The result of sighting `k` of station `s`, if the solution has one.
class SightingIndex {
 public:
  explicit SightingIndex(const Solution& solution) {
    for (const SightingResult& r : solution.sightings) index_[{r.station, r.sighting}] = &r;
  }
  const SightingResult* find(std::size_t s, std::size_t k) const {
    const auto it = index_.find({s, k});
    return it == index_.end() ? nullptr : it->second;
  }

 private:
  std::map<std::pair<std::size_t, std::size_t>, const SightingResult*> index_;
};

const std::string& stationName(const Event& event, std::size_t s) {
  static const std::string kNone;
  return s < event.stations.size() ? event.stations[s].name : kNone;
}

// ---------------------------------------------------------------- GeoJSON

json optionalNumber(const std::optional<double>& value, int decimals) {
  if (!value || !std::isfinite(*value)) return nullptr;
  return roundTo(*value, decimals);
}

json number(double value, int decimals) {
  if (!std::isfinite(value)) return nullptr;
  return roundTo(value, decimals);
}

json coordinates(const GeodeticPosition& p) {
  return json::array({number(wrapLongitude(p.longitude), kDegreeDecimals), number(p.latitude, kDegreeDecimals),
                      number(p.height, kMetreDecimals)});
}

json feature(json geometry, json properties) {
  return json{{"type", "Feature"}, {"geometry", std::move(geometry)}, {"properties", std::move(properties)}};
}

json pointGeometry(const GeodeticPosition& p) { return json{{"type", "Point"}, {"coordinates", coordinates(p)}}; }

json lineGeometry(const GeodeticPosition& a, const GeodeticPosition& b) {
  return json{{"type", "LineString"}, {"coordinates", json::array({coordinates(a), coordinates(b)})}};
}

void addPointUncertainty(json& properties, const std::optional<PointUncertainty>& u) {
  if (!u) return;
  properties["sigmaEast"] = number(u->east, kMetreDecimals);
  properties["sigmaNorth"] = number(u->north, kMetreDecimals);
  properties["sigmaUp"] = number(u->up, kMetreDecimals);
  properties["height95Low"] = number(u->height.low, kMetreDecimals);
  properties["height95High"] = number(u->height.high, kMetreDecimals);
}

json solvedPointProperties(const std::string& kind, const std::string& label, const SolvedPoint& point,
                           const Geoid* geoid) {
  json p{{"kind", kind},
         {"label", label},
         {"height", number(point.position.height, kMetreDecimals)},
         {"heightMsl", optionalNumber(seaLevelHeight(point.position, geoid), kMetreDecimals)}};
  addPointUncertainty(p, point.uncertainty);
  return p;
}

/// The speed model's figures (m/s, m, 1/s, s) and the clock offsets (s) as flat properties.
void addVelocityProperties(json& properties, const Trajectory& t, const Event& event) {
  if (!t.velocity) return;
  const Velocity& v = *t.velocity;
  properties["velocityModel"] = v.model == VelocityModel::Exponential ? "exponential" : "constant";
  properties["initialVelocity_m_s"] = number(v.initial, kMetreDecimals);
  properties["finalVelocity_m_s"] = number(v.final, kMetreDecimals);
  properties["averageVelocity_m_s"] = optionalNumber(v.average, kMetreDecimals);
  properties["a1_m"] = number(v.a1, kMetreDecimals);
  properties["a2_per_s"] = number(v.a2, kAngleDecimals);
  properties["velocityRms_m"] = number(v.rms, kMetreDecimals);
  properties["beginTime"] = formatIsoTime(v.beginTime);
  properties["duration_s"] = number(v.duration, kAngleDecimals);
  properties["referenceStation"] = stationName(event, v.referenceStation);
  if (v.uncertainty) {
    properties["initialVelocitySigma_m_s"] = number(v.uncertainty->initial, kMetreDecimals);
    properties["finalVelocitySigma_m_s"] = number(v.uncertainty->final, kMetreDecimals);
  }
  json clocks = json::object();
  for (const StationClock& c : t.clockOffsets) {
    // + 0.0: an offset held at -0 (or rounded to it) prints as 0
    clocks[stationName(event, c.station)] = std::isfinite(c.offset) ? json(roundTo(c.offset, kAngleDecimals) + 0.0) : json(nullptr);
  }
  properties["clockOffsets_s"] = std::move(clocks);
}

/// The orbit's main figures: geocentric radiant (J2000, degrees), speeds (m/s), elements (AU, degrees).
void addOrbitProperties(json& properties, const Orbit& o) {
  properties["radiantGeocentricRa"] = number(o.radiantGeocentric.ra, kAngleDecimals);
  properties["radiantGeocentricDec"] = number(o.radiantGeocentric.dec, kAngleDecimals);
  properties["vGeocentric_m_s"] = number(o.vGeocentric, kMetreDecimals);
  properties["vHeliocentric_m_s"] = number(o.vHeliocentric, kMetreDecimals);
  properties["a_AU"] = number(o.a, kAngleDecimals);
  properties["e"] = number(o.e, kAngleDecimals);
  properties["i"] = number(o.i, kAngleDecimals);
  properties["omega"] = number(o.omega, kAngleDecimals);
  properties["node"] = number(o.node, kAngleDecimals);
  properties["q_AU"] = number(o.q, kAngleDecimals);
}

}  // namespace

namespace {

/// The stations as point features: heights in metres above the ellipsoid and mean sea level;
/// the sigma (degrees, per axis), its source and the residual RMS (degrees) of solve().
void addStationFeatures(json& features, const Event& event, const Solution& solution, const Geoid* geoid) {
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const Station& station = event.stations[s];
    const GeodeticPosition p = stationPosition(station, geoid);
    json properties{{"kind", "station"},
                    {"name", station.name},
                    {"height", number(p.height, kMetreDecimals)},
                    {"heightMsl", optionalNumber(stationSeaLevelHeight(station, geoid), kMetreDecimals)}};
    if (s < solution.stationSigmas.size()) {
      const StationSigma& sigma = solution.stationSigmas[s];
      properties["sigma"] = number(sigma.sigma, kSigmaDecimals);
      properties["sigmaSource"] = sigmaSourceName(sigma.source);
      properties["residualRms"] = optionalNumber(sigma.residualRms, kSigmaDecimals);
    }
    features.push_back(feature(pointGeometry(p), std::move(properties)));
  }
}

/// Each solved sighting's line of sight from its station to its point: range (m), residual and refraction (arcsec).
void addSightLineFeatures(json& features, const Event& event, const Solution& solution, const Geoid* geoid) {
  for (const SightingResult& r : solution.sightings) {
    if (!r.hasPoint || r.station >= event.stations.size()) continue;
    const Station& station = event.stations[r.station];
    const Sighting* sighting = r.sighting < station.sightings.size() ? &station.sightings[r.sighting] : nullptr;
    json properties{{"kind", "line of sight"},
                    {"station", station.name},
                    {"label", sighting != nullptr ? sighting->label : std::string()},
                    {"time", sighting != nullptr && sighting->time ? json(formatIsoTime(*sighting->time)) : json(nullptr)},
                    {"range", number(r.range, kMetreDecimals)},
                    {"residual", number(r.residual, kAngleDecimals)},
                    {"refraction", number(r.refraction, kAngleDecimals)},
                    {"excluded", r.excluded},
                    {"alongTrackResidual", optionalNumber(r.alongTrackResidual, kAngleDecimals)}};
    if (solution.photometry) properties.update(sightingMagnitudeProperties(sighting, r));
    features.push_back(feature(lineGeometry(stationPosition(station, geoid), r.point.position), std::move(properties)));
  }
}

/// The trajectory line's properties: lengths and heights in metres, angles in degrees, speeds in m/s.
json trajectoryProperties(const Event& event, const Solution& solution, const Geoid* geoid) {
  const Trajectory& t = *solution.trajectory;
  json properties{{"kind", "trajectory"},
                  {"name", event.name},
                  {"status", statusText(solution.status)},
                  {"length", number(t.length, kMetreDecimals)},
                  {"radiantAzimuth", number(t.radiantAzimuth, kAngleDecimals)},
                  {"radiantElevation", number(t.radiantElevation, kAngleDecimals)},
                  {"endRadiantAzimuth", number(t.endRadiantAzimuth, kAngleDecimals)},
                  {"endRadiantElevation", number(t.endRadiantElevation, kAngleDecimals)},
                  {"model", trajectoryModelName(t.model)},
                  {"speed", optionalNumber(t.speed, kMetreDecimals)},
                  {"convergenceAngle", number(t.convergenceAngle, kAngleDecimals)},
                  {"passes", solution.passes},
                  {"warnings", warningTexts(solution.warnings)},
                  {"beginHeight", number(t.begin.position.height, kMetreDecimals)},
                  {"endHeight", number(t.end.position.height, kMetreDecimals)},
                  {"beginHeightMsl", optionalNumber(seaLevelHeight(t.begin.position, geoid), kMetreDecimals)},
                  {"endHeightMsl", optionalNumber(seaLevelHeight(t.end.position, geoid), kMetreDecimals)}};
  if (t.uncertainty) {
    properties["radiantAzimuthSigma"] = number(t.uncertainty->radiantAzimuth, kAngleDecimals);
    properties["radiantElevationSigma"] = number(t.uncertainty->radiantElevation, kAngleDecimals);
    properties["lengthSigma"] = number(t.uncertainty->length, kMetreDecimals);
    properties["speedSigma"] = optionalNumber(t.uncertainty->speed, kMetreDecimals);
  }
  addVelocityProperties(properties, t, event);
  if (solution.orbit) addOrbitProperties(properties, solution.orbit->orbit);
  if (solution.photometry) properties.update(photometryProperties(*solution.photometry, geoid));
  if (solution.monteCarlo) {
    properties["monteCarloDraws"] = solution.monteCarlo->draws;
    properties["monteCarloFailed"] = solution.monteCarlo->failed;
  }
  return properties;
}

/// The trajectory line and its begin and end points.
void addTrajectoryFeatures(json& features, const Event& event, const Solution& solution, const Geoid* geoid) {
  const Trajectory& t = *solution.trajectory;
  features.push_back(feature(lineGeometry(t.begin.position, t.end.position), trajectoryProperties(event, solution, geoid)));
  features.push_back(feature(pointGeometry(t.begin.position), solvedPointProperties("begin", "begin", t.begin, geoid)));
  features.push_back(feature(pointGeometry(t.end.position), solvedPointProperties("end", "end", t.end, geoid)));
}

/// The labelled points with the stations that saw them and their miss distances (m).
void addLabelledPointFeatures(json& features, const Event& event, const Solution& solution, const Geoid* geoid) {
  for (const LabelledPoint& point : solution.points) {
    json properties = solvedPointProperties("labelled point", point.label, point.point, geoid);
    json stations = json::array();
    for (std::size_t s : point.stations) stations.push_back(stationName(event, s));
    json misses = json::array();
    for (double m : point.missDistances) misses.push_back(number(m, kMetreDecimals));
    properties["stations"] = std::move(stations);
    properties["missDistances"] = std::move(misses);
    features.push_back(feature(pointGeometry(point.point.position), std::move(properties)));
  }
}

}  // namespace

void writeGeoJson(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  const Geoid* geoid = context.geoid;
  json features = json::array();
  addStationFeatures(features, event, solution, geoid);
  addSightLineFeatures(features, event, solution, geoid);
  if (solution.trajectory) addTrajectoryFeatures(features, event, solution, geoid);
  addLabelledPointFeatures(features, event, solution, geoid);

  json document{{"type", "FeatureCollection"},
                {"name", event.name.empty() ? context.source : event.name},
                {"status", statusText(solution.status)},
                {"heights", geoid != nullptr ? "metres above the WGS84 ellipsoid; heightMsl above mean sea level (EGM96)"
                                             : "metres above the WGS84 ellipsoid (no geoid grid: no heightMsl)"},
                {"warnings", warningTexts(solution.warnings)},
                {"features", std::move(features)}};
  // Invalid UTF-8 in names is replaced rather than thrown about.
  out << document.dump(1, ' ', false, json::error_handler_t::replace) << '\n';
}

// ---------------------------------------------------------------- KML

namespace {

/// "lon,lat,alt" with the altitude the caller chose.
std::string kmlCoordinate(const GeodeticPosition& p, double altitude) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%.8f,%.8f,%.3f", wrapLongitude(p.longitude), p.latitude, altitude);
  return buffer;
}

std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return "unknown";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

/// KML altitudes are above mean sea level: the geoid's when it is there,
/// else the height above the ellipsoid (and the document says so).
double kmlAltitude(const GeodeticPosition& p, const Geoid* geoid) {
  const std::optional<double> msl = seaLevelHeight(p, geoid);
  return msl ? *msl : p.height;
}

/// `text` as XML 1.0 may carry it: bytes that are not UTF-8 become U+FFFD,
/// control characters other than tab and line breaks are dropped.
std::string xmlSafe(const std::string& text) {
  static const std::string kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += static_cast<char>(c);
      ++i;
      continue;
    }
    // Length and smallest code point of the sequence a lead byte starts.
    const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? (c <= 0xEF ? 3 : 0) : c >= 0xC2 ? 2 : 0;
    std::uint32_t code = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (b & 0xC0u) == 0x80u;
      code = (code << 6) | (b & 0x3Fu);
    }
    valid = valid && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF) || code >= 0xFFFE)) &&
            !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (valid) {
      out.append(text, i, static_cast<std::size_t>(length));
      i += static_cast<std::size_t>(length);
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

pugi::xml_node addText(pugi::xml_node parent, const char* name, const std::string& text) {
  pugi::xml_node node = parent.append_child(name);
  node.text().set(xmlSafe(text).c_str());
  return node;
}

void addStyle(pugi::xml_node document, const char* id, const char* colour, const char* width) {
  pugi::xml_node style = document.append_child("Style");
  style.append_attribute("id") = id;
  pugi::xml_node line = style.append_child("LineStyle");
  addText(line, "color", colour);
  addText(line, "width", width);
}

pugi::xml_node addPlacemark(pugi::xml_node parent, const std::string& name, const std::string& description) {
  pugi::xml_node placemark = parent.append_child("Placemark");
  addText(placemark, "name", name);
  if (!description.empty()) addText(placemark, "description", description);
  return placemark;
}

void addPoint(pugi::xml_node placemark, const std::string& coordinate) {
  pugi::xml_node point = placemark.append_child("Point");
  addText(point, "altitudeMode", "absolute");
  addText(point, "coordinates", coordinate);
}

void addLine(pugi::xml_node placemark, const std::string& style, const std::string& from, const std::string& to) {
  addText(placemark, "styleUrl", "#" + style);
  pugi::xml_node line = placemark.append_child("LineString");
  addText(line, "altitudeMode", "absolute");
  addText(line, "coordinates", from + " " + to);
}

std::string heightsText(const GeodeticPosition& p, const Geoid* geoid) {
  std::string text = "height " + fixed(p.height, 1) + " m above the WGS84 ellipsoid";
  if (const std::optional<double> msl = seaLevelHeight(p, geoid)) text += ", " + fixed(*msl, 1) + " m above mean sea level";
  return text;
}

}  // namespace

namespace {

/// The document's name and description (what its altitudes mean, the warnings) and its line styles.
void addKmlHeader(pugi::xml_node document, const Solution& solution, const OutputContext& context, const std::string& name) {
  const Geoid* geoid = context.geoid;
  addText(document, "name", name);
  std::string description = std::string("Solution: ") + statusText(solution.status) + ". Altitudes are ";
  description += geoid != nullptr
                     ? "above mean sea level (EGM96 geoid), as KML defines them."
                     : "heights above the WGS84 ellipsoid: the geoid grid was not available, so they stand higher "
                       "than KML's mean sea level by the geoid height at each place.";
  for (const Warning& warning : solution.warnings) description += "\nWarning: " + warning.text;
  addText(document, "description", description);
  addStyle(document, "trajectory", "ff0000ff", "4");
  addStyle(document, "lineOfSight", "ff00ffff", "1");
}

/// The stations' folder: a point each at its mean sea level altitude (ellipsoid height without the geoid).
void addKmlStations(pugi::xml_node document, const Event& event, const Geoid* geoid) {
  pugi::xml_node stations = document.append_child("Folder");
  addText(stations, "name", "Stations");
  for (const Station& station : event.stations) {
    const GeodeticPosition p = stationPosition(station, geoid);
    std::optional<double> msl = stationSeaLevelHeight(station, geoid);
    const double altitude = msl ? *msl : p.height;
    std::string text = "height " + fixed(p.height, 1) + " m above the WGS84 ellipsoid";
    if (msl) text += ", " + fixed(*msl, 1) + " m above mean sea level";
    addPoint(addPlacemark(stations, station.name, text), kmlCoordinate(p, altitude));
  }
}

/// The trajectory's description: length (km), radiant (degrees), speeds (km/s) and the orbit's main figures.
std::string kmlTrajectoryText(const Solution& solution) {
  const Trajectory& t = *solution.trajectory;
  std::string text = "length " + fixed(t.length / 1000.0, 3) + " km, radiant azimuth " + fixed(t.radiantAzimuth, 3) +
                     " deg, elevation " + fixed(t.radiantElevation, 3) + " deg";
  if (t.speed) text += ", speed " + fixed(*t.speed / 1000.0, 3) + " km/s";
  text += ", convergence angle " + fixed(t.convergenceAngle, 2) + " deg";
  if (t.model == TrajectoryModel::Gravity) text += ", model with gravity and the turning Earth";
  if (t.velocity) {
    text += "\nVelocity (Earth-fixed): initial " + fixed(t.velocity->initial / 1000.0, 3) + " km/s, final " +
            fixed(t.velocity->final / 1000.0, 3) + " km/s, " +
            (t.velocity->model == VelocityModel::Exponential ? "exponential deceleration" : "constant speed");
  }
  if (solution.orbit) {
    const Orbit& o = solution.orbit->orbit;
    text += "\nOrbit (J2000): geocentric radiant RA " + fixed(o.radiantGeocentric.ra, 3) + " deg, Dec " +
            fixed(o.radiantGeocentric.dec, 3) + " deg, vG " + fixed(o.vGeocentric / 1000.0, 3) + " km/s, a " +
            fixed(o.a, 4) + " AU, e " + fixed(o.e, 5) + ", i " + fixed(o.i, 3) + " deg";
  }
  if (solution.photometry) text += "\n" + photometrySummary(*solution.photometry);
  return text;
}

/// The trajectory line and its begin and end points.
void addKmlTrajectory(pugi::xml_node document, const Solution& solution, const Geoid* geoid) {
  const Trajectory& t = *solution.trajectory;
  const std::string text = kmlTrajectoryText(solution);
  pugi::xml_node trajectory = addPlacemark(document, "Trajectory", text);
  addLine(trajectory, "trajectory", kmlCoordinate(t.begin.position, kmlAltitude(t.begin.position, geoid)),
          kmlCoordinate(t.end.position, kmlAltitude(t.end.position, geoid)));
  addPoint(addPlacemark(document, "Begin", heightsText(t.begin.position, geoid)),
           kmlCoordinate(t.begin.position, kmlAltitude(t.begin.position, geoid)));
  addPoint(addPlacemark(document, "End", heightsText(t.end.position, geoid)),
           kmlCoordinate(t.end.position, kmlAltitude(t.end.position, geoid)));
}

/// The labelled points' folder, when there are any.
void addKmlLabelledPoints(pugi::xml_node document, const Solution& solution, const Geoid* geoid) {
  if (!solution.points.empty()) {
    pugi::xml_node points = document.append_child("Folder");
    addText(points, "name", "Labelled points");
    for (const LabelledPoint& point : solution.points) {
      const GeodeticPosition& p = point.point.position;
      addPoint(addPlacemark(points, point.label, heightsText(p, geoid)), kmlCoordinate(p, kmlAltitude(p, geoid)));
    }
  }
}

/// The lines of sight's folder, when a sighting has a point: from the station to the point.
void addKmlLinesOfSight(pugi::xml_node document, const Event& event, const Solution& solution, const Geoid* geoid) {
  bool anyLine = false;
  pugi::xml_node lines;
  for (const SightingResult& r : solution.sightings) {
    if (!r.hasPoint || r.station >= event.stations.size()) continue;
    if (!anyLine) {
      lines = document.append_child("Folder");
      addText(lines, "name", "Lines of sight");
      anyLine = true;
    }
    const Station& station = event.stations[r.station];
    const Sighting* sighting = r.sighting < station.sightings.size() ? &station.sightings[r.sighting] : nullptr;
    std::string name = station.name;
    if (sighting != nullptr && !sighting->label.empty()) name += " " + sighting->label;
    const std::string text = "range " + fixed(r.range / 1000.0, 3) + " km, residual " + fixed(r.residual, 1) + " arcsec" +
                             (r.excluded ? ", left out of the fit" : "");
    const GeodeticPosition from = stationPosition(station, geoid);
    const std::optional<double> fromMsl = stationSeaLevelHeight(station, geoid);
    addLine(addPlacemark(lines, name, text), "lineOfSight", kmlCoordinate(from, fromMsl ? *fromMsl : from.height),
            kmlCoordinate(r.point.position, kmlAltitude(r.point.position, geoid)));
  }
}

}  // namespace

void writeKml(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  const Geoid* geoid = context.geoid;
  pugi::xml_document xml;
  pugi::xml_node document = beginKmlDocument(xml);
  const std::string title = event.name.empty() ? context.source : event.name;
  addKmlHeader(document, solution, context, title.empty() ? std::string("Fireball") : title);
  addKmlStations(document, event, geoid);
  if (solution.trajectory) addKmlTrajectory(document, solution, geoid);
  addKmlLabelledPoints(document, solution, geoid);
  addKmlLinesOfSight(document, event, solution, geoid);

  xml.save(out, " ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
}

// ---------------------------------------------------------------- CSV

namespace {

/// One field as RFC 4180 has it: quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos && (text.empty() || (text.front() != ' ' && text.back() != ' '))) {
    return text;
  }
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string csvNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "";
  return fixed(value, decimals);
}

/// An optional figure of a sighting's result, or an empty field.
std::string csvOptional(const SightingResult* r, std::optional<double> SightingResult::*field, int decimals) {
  if (r == nullptr || !(r->*field)) return "";
  return csvNumber(*(r->*field), decimals);
}

}  // namespace

void writeCsv(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context) {
  const SightingIndex index(solution);
  out << "station,label,time,azimuth_deg,elevation_deg,latitude_deg,longitude_deg,height_m,height_msl_m,range_m,"
         "residual_arcsec,refraction_arcsec,length_m,time_from_begin_s,velocity_m_s,lag_m,excluded,"
         "along_track_residual_arcsec"
      << photometryCsvHeader() << '\n';
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const Station& station = event.stations[s];
    for (std::size_t k = 0; k < station.sightings.size(); ++k) {
      const Sighting& sighting = station.sightings[k];
      const SightingResult* r = index.find(s, k);
      out << csvField(station.name) << ',' << csvField(sighting.label) << ','
          << (sighting.time ? formatIsoTime(*sighting.time) : std::string()) << ',' << csvNumber(sighting.azimuth, 6)
          << ',' << csvNumber(sighting.elevation, 6) << ',';
      if (r != nullptr && r->hasPoint) {
        const GeodeticPosition& p = r->point.position;
        const std::optional<double> msl = seaLevelHeight(p, context.geoid);
        out << csvNumber(p.latitude, 8) << ',' << csvNumber(wrapLongitude(p.longitude), 8) << ','
            << csvNumber(p.height, 3) << ',' << (msl ? csvNumber(*msl, 3) : std::string()) << ','
            << csvNumber(r->range, 3) << ',' << csvNumber(r->residual, 3) << ',';
      } else {
        out << ",,,,,,";
      }
      out << (r != nullptr ? csvNumber(r->refraction, 3) : std::string());
      out << ',' << csvOptional(r, &SightingResult::length, 3) << ',' << csvOptional(r, &SightingResult::timeFromBegin, 6)
          << ',' << csvOptional(r, &SightingResult::velocity, 3) << ',' << csvOptional(r, &SightingResult::lag, 3)
          << ',' << (r != nullptr ? (r->excluded ? "true" : "false") : "") << ','
          << csvOptional(r, &SightingResult::alongTrackResidual, 3)
          << photometryCsvFields(sighting, r) << '\n';
    }
  }
}

}  // namespace sightline
