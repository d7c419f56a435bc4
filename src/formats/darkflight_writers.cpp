#include "formats/darkflight_writers.hpp"

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <cmath>

#include "common/text.hpp"
#include "darkflight/constants.hpp"
#include "formats/kml.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;
using darkflight::FallLinePoint;
using darkflight::StrewnMass;

/// Degrees to 1e-8 (a millimetre), metres and m/s to 1e-3, seconds to 1e-3: the same text on every machine.
constexpr int kDegreeDecimals = 8;
constexpr int kMetreDecimals = 3;

double roundTo(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = std::round(value * scale);
  return std::fabs(scaled) < 9007199254740992.0 ? scaled / scale + 0.0 : value;
}

Json number(double value, int decimals) { return std::isfinite(value) ? Json(roundTo(value, decimals)) : Json(nullptr); }
Json degrees(double value) { return number(value, kDegreeDecimals); }
Json metres(double value) { return number(value, kMetreDecimals); }

Json stateJson(const DarkFlightReport& r) {
  const darkflight::StartState& s = r.start;
  return Json{{"time", r.timeKnown ? Json(formatIsoTime(s.time)) : Json(nullptr)},
              {"latitude", degrees(s.position.latitude)},
              {"longitude", degrees(s.position.longitude)},
              {"height", metres(s.position.height)},
              {"azimuth", degrees(s.azimuth)},
              {"elevation", degrees(s.elevation)},
              {"speed", metres(s.speed)},
              {"source", r.stateSource},
              {"solution", r.solutionFile.empty() ? Json(nullptr) : Json(r.solutionFile)},
              {"direction", r.directionSource.empty() ? Json(nullptr) : Json(r.directionSource)}};
}

Json fallLineEntry(const FallLinePoint& p) {
  const darkflight::Landing& l = p.landing;
  if (!l.landed)
    return Json{{"mass", p.mass}, {"landed", false}, {"latitude", nullptr}, {"longitude", nullptr},
                {"height", nullptr}, {"timeOfFlight", nullptr}, {"impactSpeed", nullptr}};
  return Json{{"mass", p.mass},
              {"landed", true},
              {"latitude", degrees(l.position.latitude)},
              {"longitude", degrees(l.position.longitude)},
              {"height", metres(l.position.height)},
              {"timeOfFlight", metres(l.timeOfFlight)},
              {"impactSpeed", metres(l.impactSpeed)}};
}

Json strewnEntry(const StrewnMass& s) {
  return Json{{"mass", s.mass},
              {"draws", s.draws},
              {"lost", s.lost},
              {"centre", s.draws > 0 ? Json{{"latitude", degrees(s.centre.latitude)}, {"longitude", degrees(s.centre.longitude)}}
                                     : Json(nullptr)},
              {"ellipse95", Json{{"semiMajor", metres(s.ellipse.semiMajor)},
                                 {"semiMinor", metres(s.ellipse.semiMinor)},
                                 {"azimuth", number(s.ellipse.azimuth, 6)}}}};
}

Json monteCarloJson(const darkflight::MonteCarloSettings& mc) {
  const darkflight::DrawSpreads& s = mc.spreads;
  return Json{{"draws", mc.draws},
              {"seed", mc.seed},
              {"sigmaPosition", Json{{"east", s.east}, {"north", s.north}, {"up", s.up}}},
              {"sigmaSpeed", s.speed},
              {"sigmaDirection", s.direction},
              {"windSigma", s.wind},
              {"shapeFactorRange", s.shapeFactor},
              {"densityRange", s.densityFraction}};
}

/// The landed masses of the fall line.
std::vector<const FallLinePoint*> landed(const DarkFlightReport& r) {
  std::vector<const FallLinePoint*> out;
  for (const FallLinePoint& p : r.fallLine)
    if (p.landing.landed) out.push_back(&p);
  return out;
}

}  // namespace

std::string massLabel(double kilograms) {
  if (kilograms < 1.0) return formatted("%.3g g", kilograms * 1000.0);
  return formatted("%.3g kg", kilograms);
}

std::vector<GeodeticPosition> ellipseRing(const StrewnMass& mass, int points) {
  const LocalFrame frame = localFrame(mass.centre);
  const Vector3 centre = toEcef(mass.centre);
  const double az = mass.ellipse.azimuth * darkflight::kRadiansPerDegree;
  // Major axis toward the azimuth; the minor axis a quarter turn counterclockwise of it, so the ring runs counterclockwise.
  const Vector3 major = std::sin(az) * frame.east + std::cos(az) * frame.north;
  const Vector3 minor = -std::cos(az) * frame.east + std::sin(az) * frame.north;
  std::vector<GeodeticPosition> ring;
  for (int k = 0; k <= points; ++k) {
    const double t = 2.0 * darkflight::kPi * (k % points) / points;
    GeodeticPosition p = toGeodetic(centre + (mass.ellipse.semiMajor * std::cos(t)) * major +
                                    (mass.ellipse.semiMinor * std::sin(t)) * minor);
    p.height = mass.centre.height;
    ring.push_back(p);
  }
  return ring;
}

void writeDarkFlightJson(std::ostream& out, const DarkFlightReport& r) {
  Json j;
  j["format"] = "sightline-darkflight";
  j["version"] = 1;
  j["state"] = stateJson(r);
  j["body"] = Json{{"density", r.density}, {"shapeFactor", r.shapeFactor}};
  j["air"] = Json{{"profile", r.windFile.empty() ? Json(nullptr) : Json(r.windFile)},
                  {"groundHeight", r.groundHeight},
                  {"geoid", r.geoidKnown ? "EGM96" : "none"}};
  Json line = Json::array();
  for (const FallLinePoint& p : r.fallLine) line.push_back(fallLineEntry(p));
  j["fallLine"] = line;
  j["monteCarlo"] = r.monteCarlo ? monteCarloJson(*r.monteCarlo) : Json(nullptr);
  Json field = Json::array();
  for (const StrewnMass& s : r.strewnField) field.push_back(strewnEntry(s));
  j["strewnField"] = r.monteCarlo ? field : Json(nullptr);
  j["warnings"] = warningTexts(r.warnings);
  j["warningCodes"] = warningCodes(r.warnings);
  out << j.dump(2) << '\n';
}

// ---------------------------------------------------------------- GeoJSON

namespace {

Json lonLat(const GeodeticPosition& p) { return Json::array({degrees(std::remainder(p.longitude, 360.0)), degrees(p.latitude)}); }

Json feature(Json geometry, Json properties) {
  return Json{{"type", "Feature"}, {"geometry", std::move(geometry)}, {"properties", std::move(properties)}};
}

}  // namespace

void writeDarkFlightGeoJson(std::ostream& out, const DarkFlightReport& r) {
  Json features = Json::array();
  const auto points = landed(r);
  Json line = Json::array();
  for (const FallLinePoint* p : points) line.push_back(lonLat(p->landing.position));
  if (line.size() == 1) line.push_back(line.front());  // a LineString needs two positions
  features.push_back(feature(Json{{"type", "LineString"}, {"coordinates", line}},
                             Json{{"kind", "fallLine"}, {"masses", points.size()}}));
  for (const FallLinePoint* p : points) {
    features.push_back(feature(Json{{"type", "Point"}, {"coordinates", lonLat(p->landing.position)}},
                               Json{{"kind", "landing"}, {"mass", p->mass}, {"label", massLabel(p->mass)},
                                    {"timeOfFlight", metres(p->landing.timeOfFlight)},
                                    {"impactSpeed", metres(p->landing.impactSpeed)}}));
  }
  for (const StrewnMass& s : r.strewnField) {
    if (s.draws < 2) continue;
    Json ring = Json::array();
    for (const GeodeticPosition& p : ellipseRing(s)) ring.push_back(lonLat(p));
    features.push_back(feature(Json{{"type", "Polygon"}, {"coordinates", Json::array({ring})}},
                               Json{{"kind", "ellipse95"}, {"mass", s.mass}, {"label", massLabel(s.mass)}, {"draws", s.draws},
                                    {"semiMajor", metres(s.ellipse.semiMajor)}, {"semiMinor", metres(s.ellipse.semiMinor)},
                                    {"azimuth", number(s.ellipse.azimuth, 6)}}));
  }
  out << Json{{"type", "FeatureCollection"}, {"features", features}}.dump(2) << '\n';
}

// ---------------------------------------------------------------- KML

namespace {

std::string kmlCoordinates(const std::vector<GeodeticPosition>& points) {
  std::string text;
  for (const GeodeticPosition& p : points)
    text += (text.empty() ? "" : " ") + formatted("%.8f,%.8f,0", std::remainder(p.longitude, 360.0), p.latitude);
  return text;
}

pugi::xml_node addText(pugi::xml_node parent, const char* name, const std::string& text) {
  pugi::xml_node node = parent.append_child(name);
  node.text().set(text.c_str());
  return node;
}

pugi::xml_node addPlacemark(pugi::xml_node parent, const std::string& name, const std::string& description) {
  pugi::xml_node placemark = parent.append_child("Placemark");
  addText(placemark, "name", name);
  addText(placemark, "description", description);
  return placemark;
}

void addGeometry(pugi::xml_node placemark, const char* kind, const std::vector<GeodeticPosition>& points) {
  pugi::xml_node geometry = placemark.append_child(kind);
  pugi::xml_node target = geometry;
  if (std::string(kind) == "Polygon") target = geometry.append_child("outerBoundaryIs").append_child("LinearRing");
  addText(target, "altitudeMode", "clampToGround");
  addText(target, "coordinates", kmlCoordinates(points));
}

}  // namespace

void writeDarkFlightKml(std::ostream& out, const DarkFlightReport& r) {
  pugi::xml_document xml;
  pugi::xml_node document = beginKmlDocument(xml);
  addText(document, "name", "Dark flight");
  addText(document, "description", "Fall line: where stones of each mass land (WGS84). Ellipses hold 95% of the "
                                   "Monte Carlo landings of their mass.");
  const auto points = landed(r);
  std::vector<GeodeticPosition> line;
  for (const FallLinePoint* p : points) line.push_back(p->landing.position);
  if (line.size() == 1) line.push_back(line.front());
  const std::string description = formatted("landings of %zu mass%s", points.size(), points.size() == 1 ? "" : "es");
  addGeometry(addPlacemark(document, "Fall line", description), "LineString", line);
  for (const FallLinePoint* p : points) {
    addGeometry(addPlacemark(document, massLabel(p->mass),
                             formatted("mass %g kg, time of flight %.1f s, impact speed %.1f m/s", p->mass,
                                       p->landing.timeOfFlight, p->landing.impactSpeed)),
                "Point", {p->landing.position});
  }
  for (const StrewnMass& s : r.strewnField) {
    if (s.draws < 2) continue;
    addGeometry(addPlacemark(document, "95% " + massLabel(s.mass),
                             formatted("mass %g kg, %d draws, semi-axes %.0f m and %.0f m, major axis azimuth %.1f deg",
                                       s.mass, s.draws, s.ellipse.semiMajor, s.ellipse.semiMinor, s.ellipse.azimuth)),
                "Polygon", ellipseRing(s));
  }
  xml.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
}

// ---------------------------------------------------------------- CSV and text

void writeDarkFlightCsv(std::ostream& out, const DarkFlightReport& r) {
  out << "mass_kg,latitude,longitude,height_m,time_of_flight_s,impact_speed_m_s";
  if (r.monteCarlo) out << ",draws,centre_latitude,centre_longitude,semi_major_m,semi_minor_m,ellipse_azimuth_deg";
  out << '\n';
  for (std::size_t i = 0; i < r.fallLine.size(); ++i) {
    const FallLinePoint& p = r.fallLine[i];
    const darkflight::Landing& l = p.landing;
    out << formatted("%.6g", p.mass);
    if (l.landed) {
      out << formatted(",%.8f,%.8f,%.3f,%.3f,%.3f", l.position.latitude, l.position.longitude, l.position.height,
                       l.timeOfFlight, l.impactSpeed);
    } else {
      out << ",,,,,";
    }
    if (r.monteCarlo && i < r.strewnField.size()) {
      const StrewnMass& s = r.strewnField[i];
      out << formatted(",%d,%.8f,%.8f,%.3f,%.3f,%.3f", s.draws, s.centre.latitude, s.centre.longitude, s.ellipse.semiMajor,
                       s.ellipse.semiMinor, s.ellipse.azimuth);
    }
    out << '\n';
  }
}

void writeDarkFlightText(std::ostream& out, const DarkFlightReport& r) {
  const darkflight::StartState& s = r.start;
  out << "Dark flight\n";
  out << formatted("  start     latitude %.5f  longitude %.5f  height %.3f km (above the ellipsoid)\n",
                   s.position.latitude, s.position.longitude, s.position.height / 1000.0);
  out << formatted("            from azimuth %.3f deg, elevation %.3f deg, speed %.3f km/s", s.azimuth, s.elevation,
                   s.speed / 1000.0)
      << (r.timeKnown ? ", " + formatIsoTime(s.time) : std::string()) << '\n';
  out << formatted("  body      density %g kg/m^3, shape factor %g\n", r.density, r.shapeFactor);
  out << "  air       " << (r.windFile.empty() ? std::string("still air, U.S. Standard Atmosphere 1976") : r.windFile)
      << formatted(", ground %g m above mean sea level\n", r.groundHeight);
  out << "\nFall line\n       mass    latitude   longitude   flight s  impact m/s";
  if (r.monteCarlo) out << "   95% ellipse (semi-axes m, azimuth)";
  out << '\n';
  for (std::size_t i = 0; i < r.fallLine.size(); ++i) {
    const FallLinePoint& p = r.fallLine[i];
    out << formatted("  %9s", massLabel(p.mass).c_str());
    if (!p.landing.landed) {
      out << "  did not land\n";
      continue;
    }
    out << formatted("  %10.5f  %10.5f  %9.1f  %10.1f", p.landing.position.latitude, p.landing.position.longitude,
                     p.landing.timeOfFlight, p.landing.impactSpeed);
    if (r.monteCarlo && i < r.strewnField.size()) {
      const StrewnMass& m = r.strewnField[i];
      out << formatted("   %.0f x %.0f at %.1f deg (%d draws)", m.ellipse.semiMajor, m.ellipse.semiMinor, m.ellipse.azimuth, m.draws);
    }
    out << '\n';
  }
  for (const Warning& w : r.warnings) out << "\nWarning: " << w.text << '\n';
}

}  // namespace sightline
