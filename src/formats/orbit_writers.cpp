// The JSON and text outputs of an orbit.
#include "formats/orbit_writers.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMetresPerKilometre = 1000.0;

Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json optionalNumber(const std::optional<double>& x) { return x ? number(*x) : Json(nullptr); }

// printf into a std::string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char buffer[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

// One figure with `pattern`, or "n/a" when it is absent or not a number.
std::string figure(const char* pattern, std::optional<double> x) {
  if (!x || !std::isfinite(*x)) return "n/a";
  return format(pattern, *x);
}

std::string kmPerS(double speed) { return figure("%.3f km/s", speed / kMetresPerKilometre); }

}  // namespace

Json orbitJson(const Orbit& o, const GeodeticPosition& point, double time) {
  Json j;
  j["time"] = formatIsoTime(time);
  j["point"] = Json{{"latitude", number(point.latitude)}, {"longitude", number(point.longitude)},
                    {"height", number(point.height)}};
  j["vInit"] = number(o.vInit);
  j["vInf"] = number(o.vInf);
  j["vGeocentric"] = number(o.vGeocentric);
  j["vHeliocentric"] = number(o.vHeliocentric);
  j["radiantApparent"] = Json{{"ra", number(o.radiantApparent.ra)}, {"dec", number(o.radiantApparent.dec)}};
  j["radiantGeocentric"] = Json{{"ra", number(o.radiantGeocentric.ra)}, {"dec", number(o.radiantGeocentric.dec)}};
  j["radiantEcliptic"] = Json{{"longitude", number(o.radiantEcliptic.longitude)},
                              {"latitude", number(o.radiantEcliptic.latitude)}};
  j["solarLongitude"] = number(o.solarLongitude);
  j["zenithAttraction"] = number(o.zenithAttraction);
  j["a"] = number(o.a);
  j["e"] = number(o.e);
  j["i"] = number(o.i);
  j["omega"] = number(o.omega);
  j["node"] = number(o.node);
  j["q"] = number(o.q);
  j["Q"] = optionalNumber(o.Q);
  j["period"] = optionalNumber(o.period);
  j["trueAnomaly"] = number(o.trueAnomaly);
  j["tisserand"] = number(o.tisserand);
  return j;
}

void writeOrbitJson(std::ostream& out, const OrbitCommand& input, const OrbitResult& result) {
  Json j;
  j["format"] = "sightline-orbit";
  j["version"] = 1;
  j["state"] = Json{{"time", formatIsoTime(input.time)},     {"latitude", number(input.point.latitude)},
                    {"longitude", number(input.point.longitude)}, {"height", number(input.point.height)},
                    {"azimuth", number(input.azimuth)},       {"elevation", number(input.elevation)},
                    {"speed", number(input.speed)}};
  j["orbit"] = result.orbit ? orbitJson(*result.orbit, input.point, input.time) : Json(nullptr);
  Json texts = Json::array(), codes = Json::array();
  for (const OrbitWarning& w : result.warnings) {
    texts.push_back(w.text);
    codes.push_back(w.code);
  }
  j["warnings"] = texts;
  j["warningCodes"] = codes;
  out << j.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

void writeOrbitFigures(std::ostream& out, const Orbit& o, const char* indent) {
  const std::string in = indent;
  out << in << "Speeds: Earth-fixed " << kmPerS(o.vInit) << "  inertial (vInf) " << kmPerS(o.vInf)
      << "  geocentric (vG) " << kmPerS(o.vGeocentric) << "  heliocentric " << kmPerS(o.vHeliocentric) << '\n';
  out << in << "Apparent radiant (J2000): RA " << figure("%.3f°", o.radiantApparent.ra) << "  Dec "
      << figure("%+.3f°", o.radiantApparent.dec) << '\n';
  out << in << "Geocentric radiant (J2000): RA " << figure("%.3f°", o.radiantGeocentric.ra) << "  Dec "
      << figure("%+.3f°", o.radiantGeocentric.dec) << '\n';
  out << in << "Geocentric radiant (ecliptic J2000): longitude " << figure("%.3f°", o.radiantEcliptic.longitude)
      << "  latitude " << figure("%+.3f°", o.radiantEcliptic.latitude) << '\n';
  out << in << "Zenith attraction: " << figure("%.3f°", o.zenithAttraction) << '\n';
  out << in << "Solar longitude (J2000): " << figure("%.4f°", o.solarLongitude) << '\n';
  out << in << "Heliocentric orbit (ecliptic and equinox J2000):\n";
  out << in << "  a " << figure("%.4f AU", o.a) << "  e " << figure("%.5f", o.e) << "  i " << figure("%.3f°", o.i)
      << "  ω " << figure("%.3f°", o.omega) << "  Ω " << figure("%.3f°", o.node) << '\n';
  out << in << "  q " << figure("%.5f AU", o.q) << "  Q " << figure("%.4f AU", o.Q) << "  period "
      << figure("%.3f years", o.period) << '\n';
  out << in << "  true anomaly " << figure("%.3f°", o.trueAnomaly) << "  Tisserand (Jupiter) "
      << figure("%.3f", o.tisserand) << '\n';
}

void writeOrbitText(std::ostream& out, const OrbitCommand& input, const OrbitResult& result) {
  out << "Orbit\n";
  out << "  Reference point: " << formatIsoTime(input.time) << "  latitude " << figure("%.5f", input.point.latitude)
      << "  longitude " << figure("%.5f", input.point.longitude) << "  height "
      << figure("%.3f km", input.point.height / kMetresPerKilometre) << '\n';
  out << "  Radiant: azimuth " << figure("%.3f°", input.azimuth) << "  elevation " << figure("%+.3f°", input.elevation)
      << "  Earth-fixed speed " << kmPerS(input.speed) << '\n';
  if (result.orbit) {
    writeOrbitFigures(out, *result.orbit, "  ");
  } else {
    out << "  No orbit.\n";
  }
  if (!result.warnings.empty()) {
    out << "Warnings:\n";
    for (const OrbitWarning& w : result.warnings) out << "  " << w.code << ": " << w.text << '\n';
  }
}

}  // namespace sightline
