// The JSON and text outputs of an orbit.
#include "formats/orbit_writers.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>

#include "common/text.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMetresPerKilometre = 1000.0;

Json number(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json optionalNumber(const std::optional<double>& x) { return x ? number(*x) : Json(nullptr); }


// One figure with `pattern`, or "n/a" when it is absent or not a number.
std::string figure(const char* pattern, std::optional<double> x) {
  if (!x || !std::isfinite(*x)) return "n/a";
  return formatted(pattern, *x);
}

std::string kmPerS(double speed) { return figure("%.3f km/s", speed / kMetresPerKilometre); }

}  // namespace

Json showerJson(const ShowerMatch& m) {
  Json j{{"code", m.code},
         {"number", m.number},
         {"name", m.name},
         {"radiantDistance", number(m.radiantDistance)},
         {"vgDifference", number(m.vgDifference)},
         {"solarLongitudeDifference", number(m.solarLongitudeDifference)}};
  if (m.membership) j["membership"] = number(*m.membership);
  return j;
}

std::string showerLine(const ShowerAssociation& shower) {
  if (!shower.match) return "Shower: sporadic";
  const ShowerMatch& m = *shower.match;
  std::string line = formatted("Shower: %s %s (IAU %d): radiant %.2f° away, vG %+.1f%%, solar longitude %+.2f°",
                               m.code.c_str(), m.name.c_str(), m.number, m.radiantDistance, 100.0 * m.vgDifference,
                               m.solarLongitudeDifference);
  if (m.membership) line += formatted("; %.0f%% of the draws", 100.0 * *m.membership);
  return line;
}

namespace {

// The figures added for the network summaries (see orbitJson).
void addSummaryFigures(Json& j, const Orbit& o) {
  j["radiantOfDate"] = Json{{"ra", number(o.radiantOfDate.ra)}, {"dec", number(o.radiantOfDate.dec)}};
  j["radiantHorizontal"] = Json{{"azimuth", number(o.radiantAzimuth)}, {"elevation", number(o.radiantElevation)}};
  j["siderealTime"] = number(o.siderealTime);
  j["radiantHeliocentric"] = Json{{"longitude", number(o.radiantHeliocentric.longitude)},
                                  {"latitude", number(o.radiantHeliocentric.latitude)}};
  j["perihelionLongitude"] = number(o.perihelionLongitude);
  j["perihelionLatitude"] = number(o.perihelionLatitude);
  j["meanAnomaly"] = optionalNumber(o.meanAnomaly);
  j["meanMotion"] = optionalNumber(o.meanMotion);
}

}  // namespace

Json orbitJson(const Orbit& o, const GeodeticPosition& point, double time, const ShowerAssociation& shower) {
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
  addSummaryFigures(j, o);
  if (shower.checked) j["shower"] = shower.match ? showerJson(*shower.match) : Json(nullptr);
  return j;
}

void writeOrbitJson(std::ostream& out, const OrbitCommand& input, const OrbitResult& result,
                    const ShowerAssociation& shower) {
  Json j;
  j["format"] = "sightline-orbit";
  j["version"] = 1;
  j["state"] = Json{{"time", formatIsoTime(input.time)},     {"latitude", number(input.point.latitude)},
                    {"longitude", number(input.point.longitude)}, {"height", number(input.point.height)},
                    {"azimuth", number(input.azimuth)},       {"elevation", number(input.elevation)},
                    {"speed", number(input.speed)}};
  j["orbit"] = result.orbit ? orbitJson(*result.orbit, input.point, input.time, shower) : Json(nullptr);
  Json texts = Json::array(), codes = Json::array();
  for (const OrbitWarning& w : result.warnings) {
    texts.push_back(w.text);
    codes.push_back(w.code);
  }
  j["warnings"] = texts;
  j["warningCodes"] = codes;
  out << j.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

namespace {

// `pattern` without its sign flag, for a sigma ("%+.3f°" -> "%.3f°").
std::string unsignedPattern(const char* pattern) {
  std::string p = pattern;
  const std::size_t plus = p.find('+');
  if (plus != std::string::npos) p.erase(plus, 1);
  return p;
}

// A figure and, when its sigma is known, " ± sigma" in the same unit.
class Figures {
 public:
  explicit Figures(const Orbit* sigma) : sigma_(sigma) {}

  // `member` picks the same figure out of the orbit and its sigma.
  template <typename Pick>
  std::string operator()(const char* pattern, const Orbit& o, Pick member) const {
    std::string out = figure(pattern, member(o));
    if (sigma_ != nullptr && member(*sigma_)) out += " ± " + figure(unsignedPattern(pattern).c_str(), member(*sigma_));
    return out;
  }

  template <typename Pick>
  std::string speed(const Orbit& o, Pick member) const {
    std::string out = kmPerS(member(o));
    if (sigma_ != nullptr) out += " ± " + kmPerS(member(*sigma_));
    return out;
  }

 private:
  const Orbit* sigma_;
};

}  // namespace

void writeOrbitFigures(std::ostream& out, const Orbit& o, const char* indent, const Orbit* sigma,
                       const ShowerAssociation* shower) {
  using Opt = std::optional<double>;
  const std::string in = indent;
  const Figures f(sigma);
  out << in << "Speeds: Earth-fixed " << f.speed(o, [](const Orbit& x) { return x.vInit; }) << "  inertial (vInf) "
      << f.speed(o, [](const Orbit& x) { return x.vInf; }) << "  geocentric (vG) "
      << f.speed(o, [](const Orbit& x) { return x.vGeocentric; }) << "  heliocentric "
      << f.speed(o, [](const Orbit& x) { return x.vHeliocentric; }) << '\n';
  out << in << "Apparent radiant (J2000): RA " << f("%.3f°", o, [](const Orbit& x) { return Opt(x.radiantApparent.ra); })
      << "  Dec " << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.radiantApparent.dec); }) << '\n';
  out << in << "Geocentric radiant (J2000): RA "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.radiantGeocentric.ra); }) << "  Dec "
      << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.radiantGeocentric.dec); }) << '\n';
  out << in << "Geocentric radiant (ecliptic J2000): longitude "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.radiantEcliptic.longitude); }) << "  latitude "
      << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.radiantEcliptic.latitude); }) << '\n';
  out << in << "Zenith attraction: " << f("%.3f°", o, [](const Orbit& x) { return Opt(x.zenithAttraction); }) << '\n';
  out << in << "Solar longitude (J2000): " << f("%.4f°", o, [](const Orbit& x) { return Opt(x.solarLongitude); })
      << '\n';
  out << in << "Heliocentric orbit (ecliptic and equinox J2000):\n";
  out << in << "  a " << f("%.4f AU", o, [](const Orbit& x) { return Opt(x.a); }) << "  e "
      << f("%.5f", o, [](const Orbit& x) { return Opt(x.e); }) << "  i "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.i); }) << "  ω "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.omega); }) << "  Ω "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.node); }) << '\n';
  out << in << "  q " << f("%.5f AU", o, [](const Orbit& x) { return Opt(x.q); }) << "  Q "
      << f("%.4f AU", o, [](const Orbit& x) { return x.Q; }) << "  period "
      << f("%.3f years", o, [](const Orbit& x) { return x.period; }) << '\n';
  out << in << "  true anomaly " << f("%.3f°", o, [](const Orbit& x) { return Opt(x.trueAnomaly); })
      << "  Tisserand (Jupiter) " << f("%.3f", o, [](const Orbit& x) { return Opt(x.tisserand); }) << '\n';
  out << in << "Earth-fixed radiant of date: RA " << f("%.3f°", o, [](const Orbit& x) { return Opt(x.radiantOfDate.ra); })
      << "  Dec " << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.radiantOfDate.dec); }) << "  apparent LST "
      << f("%.4f°", o, [](const Orbit& x) { return Opt(x.siderealTime); }) << '\n';
  out << in << "Heliocentric radiant (ecliptic J2000): longitude "
      << f("%.3f°", o, [](const Orbit& x) { return Opt(x.radiantHeliocentric.longitude); }) << "  latitude "
      << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.radiantHeliocentric.latitude); }) << '\n';
  out << in << "  Π " << f("%.3f°", o, [](const Orbit& x) { return Opt(x.perihelionLongitude); }) << "  b "
      << f("%+.3f°", o, [](const Orbit& x) { return Opt(x.perihelionLatitude); }) << "  M "
      << f("%.3f°", o, [](const Orbit& x) { return x.meanAnomaly; }) << "  n "
      << f("%.5f°/day", o, [](const Orbit& x) { return x.meanMotion; }) << '\n';
  if (shower != nullptr && shower->checked) out << in << showerLine(*shower) << '\n';
}

void writeOrbitText(std::ostream& out, const OrbitCommand& input, const OrbitResult& result,
                    const ShowerAssociation& shower) {
  out << "Orbit\n";
  out << "  Reference point: " << formatIsoTime(input.time) << "  latitude " << figure("%.5f", input.point.latitude)
      << "  longitude " << figure("%.5f", input.point.longitude) << "  height "
      << figure("%.3f km", input.point.height / kMetresPerKilometre) << '\n';
  out << "  Radiant: azimuth " << figure("%.3f°", input.azimuth) << "  elevation " << figure("%+.3f°", input.elevation)
      << "  Earth-fixed speed " << kmPerS(input.speed) << '\n';
  if (result.orbit) {
    writeOrbitFigures(out, *result.orbit, "  ", nullptr, &shower);
  } else {
    out << "  No orbit.\n";
  }
  if (!result.warnings.empty()) {
    out << "Warnings:\n";
    for (const OrbitWarning& w : result.warnings) out << "  " << w.code << ": " << w.text << '\n';
  }
}

}  // namespace sightline
