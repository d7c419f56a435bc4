// The orbit writers: JSON keys as documented, numbers that read back to the
// same bits, null for absent figures, the text report's figures and warnings.
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "formats/orbit_writers.hpp"
#include "orbit/orbit.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

OrbitCommand orionidCommand(double speed = 67405.0) {
  return {parseIsoTime("2019-10-23T09:12:25.56Z").value(), {44.1307, -81.3206, 116070.0}, 162.21, 61.00, speed};
}

OrbitResult resultOf(const OrbitCommand& c) {
  return computeOrbit(stateFromRadiant(c.time, c.point, c.azimuth, c.elevation, c.speed));
}

std::vector<std::string> keysOf(const nlohmann::ordered_json& j) {
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  return keys;
}

TEST(OrbitWriters, OrbitObjectHasTheDocumentedKeysAndRoundTrips) {
  const OrbitCommand c = orionidCommand();
  const Orbit o = *resultOf(c).orbit;
  const nlohmann::json j = nlohmann::json::parse(orbitJson(o, c.point, c.time).dump());
  const std::vector<std::string> expected{"time", "point", "vInit", "vInf", "vGeocentric", "vHeliocentric",
      "radiantApparent", "radiantGeocentric", "radiantEcliptic", "solarLongitude", "zenithAttraction", "a", "e",
      "i", "omega", "node", "q", "Q", "period", "trueAnomaly", "tisserand", "radiantOfDate", "radiantHorizontal",
      "siderealTime", "radiantHeliocentric", "perihelionLongitude", "perihelionLatitude", "meanAnomaly",
      "meanMotion"};
  EXPECT_EQ(keysOf(orbitJson(o, c.point, c.time)), expected);
  EXPECT_EQ(j["time"], "2019-10-23T09:12:25.56Z");
  EXPECT_EQ(j["point"]["height"].get<double>(), 116070.0);
  EXPECT_EQ(j["vGeocentric"].get<double>(), o.vGeocentric);  // shortest round-trip: same bits
  EXPECT_EQ(j["radiantGeocentric"]["ra"].get<double>(), o.radiantGeocentric.ra);
  EXPECT_EQ(j["radiantEcliptic"]["latitude"].get<double>(), o.radiantEcliptic.latitude);
  EXPECT_EQ(j["Q"].get<double>(), *o.Q);
  EXPECT_EQ(j["tisserand"].get<double>(), o.tisserand);
}

TEST(OrbitWriters, HyperbolaHasNullAphelionAndPeriod) {
  const OrbitCommand c = orionidCommand(72000.0);
  const OrbitResult r = resultOf(c);
  std::ostringstream out;
  writeOrbitJson(out, c, r);
  const nlohmann::json j = nlohmann::json::parse(out.str());
  EXPECT_TRUE(j["orbit"]["Q"].is_null());
  EXPECT_TRUE(j["orbit"]["period"].is_null());
  EXPECT_LT(j["orbit"]["a"].get<double>(), 0.0);
  EXPECT_EQ(j["warningCodes"], nlohmann::json::array({"hyperbolic-orbit"}));
  EXPECT_EQ(j["warnings"].size(), 1u);
}

TEST(OrbitWriters, DocumentEchoesTheInputAndSaysWhyThereIsNoOrbit) {
  const OrbitCommand c = orionidCommand(5000.0);
  std::ostringstream out;
  writeOrbitJson(out, c, resultOf(c));
  const nlohmann::json j = nlohmann::json::parse(out.str());
  EXPECT_EQ(j["format"], "sightline-orbit");
  EXPECT_EQ(j["version"], 1);
  EXPECT_EQ(j["state"]["time"], "2019-10-23T09:12:25.56Z");
  EXPECT_EQ(j["state"]["latitude"].get<double>(), 44.1307);
  EXPECT_EQ(j["state"]["longitude"].get<double>(), -81.3206);
  EXPECT_EQ(j["state"]["azimuth"].get<double>(), 162.21);
  EXPECT_EQ(j["state"]["elevation"].get<double>(), 61.0);
  EXPECT_EQ(j["state"]["speed"].get<double>(), 5000.0);
  EXPECT_TRUE(j["orbit"].is_null());
  EXPECT_EQ(j["warningCodes"], nlohmann::json::array({"below-escape-speed"}));
}

TEST(OrbitWriters, NotANumberIsNull) {
  const OrbitCommand c = orionidCommand();
  Orbit o = *resultOf(c).orbit;
  o.a = std::numeric_limits<double>::infinity();
  const nlohmann::json j = nlohmann::json::parse(orbitJson(o, c.point, c.time).dump());
  EXPECT_TRUE(j["a"].is_null());
}

TEST(OrbitWriters, TextNamesFiguresWithUnitsAndFrames) {
  const OrbitCommand c = orionidCommand(72000.0);
  std::ostringstream out;
  writeOrbitText(out, c, resultOf(c));
  const std::string text = out.str();
  for (const char* part : {"Geocentric radiant (J2000): RA 9", "Dec +1", "km/s", "Solar longitude (J2000): 209.",
                           "Q n/a", "period n/a", "hyperbolic-orbit: ", "AU", "ecliptic and equinox J2000"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

TEST(OrbitWriters, FiguresWithSigmasShowThemInTheSameUnits) {
  const OrbitCommand c = orionidCommand();
  const Orbit o = *resultOf(c).orbit;
  Orbit sigma;
  sigma.vGeocentric = 250.0;
  sigma.radiantGeocentric = {0.125, 0.25};
  sigma.e = 0.03125;
  sigma.a = 0.5;
  std::ostringstream with, without;
  writeOrbitFigures(with, o, "    ", &sigma);
  writeOrbitFigures(without, o, "    ");
  const std::string text = with.str();
  for (const char* part : {"km/s ± 0.250 km/s", "± 0.125°  Dec +", "° ± 0.250°", "± 0.03125", " AU ± 0.5000 AU",
                           "Q ", "    Speeds: "}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("Q n/a"), std::string::npos);  // the orbit has Q; its sigma does not, so no ± there
  EXPECT_EQ(without.str().find("±"), std::string::npos);
}

}  // namespace
}  // namespace sightline

namespace sightline {
namespace {

TEST(OrbitWriters, ShowerIsWrittenOnlyWhenTheRuleWasApplied) {
  const OrbitCommand c = orionidCommand();
  const OrbitResult r = resultOf(c);
  EXPECT_FALSE(orbitJson(*r.orbit, c.point, c.time).contains("shower"));
  ShowerAssociation sporadic;
  sporadic.checked = true;
  EXPECT_TRUE(orbitJson(*r.orbit, c.point, c.time, sporadic)["shower"].is_null());
  ShowerAssociation orionid = sporadic;
  orionid.match = ShowerMatch{0, 8, "ORI", "Orionids", 1.25, -0.02, 0.5, 0.6, 0.8};
  std::ostringstream out;
  writeOrbitJson(out, c, r, orionid);
  const nlohmann::json shower = nlohmann::json::parse(out.str())["orbit"]["shower"];
  EXPECT_EQ(shower, nlohmann::json::parse(R"({"code": "ORI", "number": 8, "name": "Orionids",
      "radiantDistance": 1.25, "vgDifference": -0.02, "solarLongitudeDifference": 0.5, "membership": 0.8})"));
  std::ostringstream text;
  writeOrbitText(text, c, r, orionid);
  EXPECT_NE(text.str().find("Shower: ORI Orionids (IAU 8): radiant 1.25° away, vG -2.0%, solar longitude +0.50°; "
                            "80% of the draws"),
            std::string::npos)
      << text.str();
  std::ostringstream none;
  writeOrbitText(none, c, r, sporadic);
  EXPECT_NE(none.str().find("Shower: sporadic"), std::string::npos);
}

}  // namespace
}  // namespace sightline
