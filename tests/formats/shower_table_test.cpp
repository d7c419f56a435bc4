// The shipped shower table read back, the rule on meteors built from its own
// solutions, known Geminid and Perseid states through the whole orbit chain,
// and the reader's errors.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <ostream>
#include <sstream>
#include <string>

#include <erfa.h>
#include <erfam.h>

#include "formats/shower_table.hpp"
#include "orbit/orbit.hpp"
#include "support/readable_name.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

constexpr double kKm = 1000.0;

std::string shippedText() {
  std::ifstream in(std::string(SIGHTLINE_SOURCE_DIR) + "/data/showers.csv", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const ShowerTable& shipped() {
  static const ShowerTable table = [] {
    ShowerTableReadResult read = readShowerTable(shippedText(), "data/showers.csv");
    EXPECT_FALSE(read.error) << read.error->text();
    return read.table;
  }();
  return table;
}

// The key of a meteor at a row's own solar longitude, radiant and speed, moved
// by dSun (the radiant moving with the Sun), dBeta (deg) and a speed factor.
ShowerKey keyOf(const ShowerSolution& row, double dSun, double dBeta, double speedFactor) {
  double lambda = 0.0, beta = 0.0;
  eraEqec06(ERFA_DJ00, 0.0, row.ra * ERFA_DD2R, row.dec * ERFA_DD2R, &lambda, &beta);
  return {row.solarLongitude + dSun, lambda * ERFA_DR2D + dSun, beta * ERFA_DR2D + dBeta,
          row.vGeocentric * speedFactor};
}

TEST(ShippedShowerTable, HoldsTheEstablishedSolutionsWithASpeed) {
  const ShowerTable& table = shipped();
  // 395 status-1 solutions of 112 showers, three without a Vg (the MDC README).
  EXPECT_EQ(table.rows().size(), 392u);
  std::set<int> showers;
  for (const ShowerSolution& row : table.rows()) {
    EXPECT_EQ(row.status, 1) << row.code;
    showers.insert(row.number);
  }
  EXPECT_EQ(showers.size(), 112u);
  // MDC line 22: 22|4|0|GEM|Geminids|...|262.1|113.2|32.5|...|34.58
  const auto it = std::find_if(table.rows().begin(), table.rows().end(), [](const ShowerSolution& r) { return r.lp == 22; });
  ASSERT_NE(it, table.rows().end());
  const ShowerSolution& gem = *it;
  EXPECT_EQ(gem.code, "GEM");
  EXPECT_EQ(gem.name, "Geminids");
  EXPECT_EQ(gem.number, 4);
  EXPECT_DOUBLE_EQ(gem.solarLongitude, 262.1);
  EXPECT_DOUBLE_EQ(gem.ra, 113.2);
  EXPECT_DOUBLE_EQ(gem.vGeocentric, 34580.0);
}

TEST(ShippedShowerTable, EverySolutionIsAMemberOfItsOwnShower) {
  for (const ShowerSolution& row : shipped().rows()) {
    const auto match = shipped().associate(keyOf(row, 0.0, 0.0, 1.0));
    ASSERT_TRUE(match) << row.code << " " << row.solution;
    EXPECT_EQ(match->number, row.number) << row.code << " " << row.solution << " went to " << match->code;
  }
}

TEST(ShippedShowerTable, EachSolutionAloneHoldsItsLimits) {
  for (const ShowerSolution& row : shipped().rows()) {
    const ShowerTable alone({row});
    const std::string name = row.code + " " + std::to_string(row.solution);
    EXPECT_TRUE(alone.associate(keyOf(row, 4.99, 0.0, 1.0))) << name;
    EXPECT_TRUE(alone.associate(keyOf(row, -4.99, 0.0, 1.0))) << name;
    EXPECT_FALSE(alone.associate(keyOf(row, 5.01, 0.0, 1.0))) << name;
    EXPECT_TRUE(alone.associate(keyOf(row, 0.0, row.dec > 0 ? -4.99 : 4.99, 1.0))) << name;
    EXPECT_FALSE(alone.associate(keyOf(row, 0.0, row.dec > 0 ? -5.01 : 5.01, 1.0))) << name;
    EXPECT_TRUE(alone.associate(keyOf(row, 0.0, 0.0, 1.0999))) << name;
    EXPECT_TRUE(alone.associate(keyOf(row, 0.0, 0.0, 0.9001))) << name;
    EXPECT_FALSE(alone.associate(keyOf(row, 0.0, 0.0, 1.1001))) << name;
    EXPECT_FALSE(alone.associate(keyOf(row, 0.0, 0.0, 0.8999))) << name;
  }
}

// A state at `time` whose orbit has the geocentric radiant (J2000 RA, Dec) and vG
// asked for: the chain inverted by fixed-point steps, at a place with the radiant high.
OrbitState stateWithGeocentricRadiant(double time, double ra, double dec, double vG) {
  const OrbitEpoch epoch = *orbitEpochOf(time);
  const GeodeticPosition place{dec, eraAnpm(ra * ERFA_DD2R - epoch.siderealTime) * ERFA_DR2D, 100000.0};
  double target[3], aim[3];
  eraS2c(ra * ERFA_DD2R, dec * ERFA_DD2R, target);
  eraCp(target, aim);
  double speed = vG;
  OrbitState state;
  for (int step = 0; step < 30; ++step) {
    double c2t[3][3], ecef[3];
    std::copy(&epoch.matrix.c2t[0][0], &epoch.matrix.c2t[0][0] + 9, &c2t[0][0]);
    eraRxp(c2t, aim, ecef);
    state = {time, toEcef(place), -speed * Vector3{ecef[0], ecef[1], ecef[2]}};
    const Orbit orbit = *computeOrbit(state, epoch).orbit;
    double got[3], miss[3];
    eraS2c(orbit.radiantGeocentric.ra * ERFA_DD2R, orbit.radiantGeocentric.dec * ERFA_DD2R, got);
    eraPmp(target, got, miss);
    eraPpp(aim, miss, aim);
    double length = 0.0;
    eraPn(aim, &length, aim);
    speed += vG - orbit.vGeocentric;
  }
  return state;
}

// IMO Meteor Shower Calendar 2020 (J. Rendtel, International Meteor Organization),
// working list of visual showers: Geminids maximum 2020 December 14, 01h UT,
// lambda_sun 262.2 deg, radiant alpha 112 deg, delta +33 deg, V_inf 35 km/s;
// Perseids maximum 2020 August 12, 13h-16h UT, lambda_sun 140.0-140.1 deg,
// radiant alpha 48 deg, delta +58 deg, V_inf 59 km/s. The geocentric speed is
// vG = sqrt(V_inf^2 - v_esc^2) with v_esc = 11.2 km/s.
struct KnownMeteor {
  std::string name;
  std::string time;
  double ra, dec, vInfKm;
  std::string code;  // "" for a sporadic
};
void PrintTo(const KnownMeteor& m, std::ostream* os) { *os << m.name; }

class KnownMeteors : public ::testing::TestWithParam<KnownMeteor> {};

TEST_P(KnownMeteors, ComeBackAsTheirShower) {
  const KnownMeteor& m = GetParam();
  const double vG = std::sqrt(m.vInfKm * m.vInfKm - 11.2 * 11.2) * kKm;
  const OrbitState state = stateWithGeocentricRadiant(*parseIsoTime(m.time), m.ra, m.dec, vG);
  const OrbitResult result = computeOrbit(state);
  ASSERT_TRUE(result.ok);
  EXPECT_NEAR(result.orbit->radiantGeocentric.dec, m.dec, 1e-6);  // the inversion converged
  EXPECT_NEAR(result.orbit->vGeocentric, vG, 1e-3);
  const auto match = shipped().associate(showerKeyOf(*result.orbit));
  if (m.code.empty()) {
    EXPECT_FALSE(match) << "went to " << match->code;
  } else {
    ASSERT_TRUE(match);
    EXPECT_EQ(match->code, m.code);
    EXPECT_LT(match->radiantDistance, 2.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Imo2020, KnownMeteors,
    ::testing::Values(KnownMeteor{"Geminid at maximum", "2020-12-14T01:00:00Z", 112.0, 33.0, 35.0, "GEM"},
                      KnownMeteor{"Perseid at maximum", "2020-08-12T14:30:00Z", 48.0, 58.0, 59.0, "PER"},
                      KnownMeteor{"sporadic from the south at the Geminid maximum", "2020-12-14T01:00:00Z", 250.0,
                                  -60.0, 30.0, ""}),
    testing::ReadableName());

// A bad table and where its error must point.
struct BadTable {
  std::string name;
  std::string text;
  int line;
  std::string says;
};
void PrintTo(const BadTable& b, std::ostream* os) { *os << b.name; }

class BadShowerTables : public ::testing::TestWithParam<BadTable> {};

const std::string kHeader = "lp,iau,ad,code,name,status,solar_longitude,ra,dec,vg\n";

TEST_P(BadShowerTables, AreErrorsNamingFileAndLine) {
  const ShowerTableReadResult read = readShowerTable(GetParam().text, "showers.csv");
  ASSERT_TRUE(read.error);
  EXPECT_EQ(read.error->file, "showers.csv");
  EXPECT_EQ(read.error->line, GetParam().line);
  EXPECT_NE(read.error->text().find(GetParam().says), std::string::npos) << read.error->text();
}

INSTANTIATE_TEST_SUITE_P(
    Reader, BadShowerTables,
    ::testing::Values(BadTable{"empty file", "", 0, "no showers"},
                      BadTable{"only comments and a header", "# c\n" + kHeader, 0, "no showers"},
                      BadTable{"a missing column", "lp,iau,ad,code,name,status,ra,dec,vg\n", 1, "solar_longitude"},
                      BadTable{"a short row", kHeader + "1,4,0,GEM,Geminids,1,262.1,113.2\n", 2, "8 fields"},
                      BadTable{"a speed that is text", kHeader + "1,4,0,GEM,Geminids,1,262.1,113.2,32.5,fast\n", 2,
                               "vg: 'fast': expected a number"},
                      BadTable{"a declination past the pole", kHeader + "1,4,0,GEM,Geminids,1,262.1,113.2,95,34\n",
                               2, "dec"},
                      BadTable{"a zero speed", kHeader + "1,4,0,GEM,Geminids,1,262.1,113.2,32.5,0\n", 2,
                               "above 0"},
                      BadTable{"an empty code", kHeader + "# x\n1,4,0,,Geminids,1,262.1,113.2,32.5,34\n", 3,
                               "code"},
                      BadTable{"a number that is nan", kHeader + "1,4,0,GEM,Geminids,1,nan,113.2,32.5,34\n", 2,
                               "solar_longitude"},
                      BadTable{"binary bytes", std::string("lp\0,", 4), 0, "binary"}),
    testing::ReadableName());

TEST(ShowerTableReader, ReadsColumnsInAnyOrderWithCarriageReturns) {
  const ShowerTableReadResult read =
      readShowerTable("# made by hand\r\nvg,code,name,iau,ad,lp,status,ra,dec,solar_longitude\r\n"
                      "34.58,GEM,Geminids,4,0,22,1,113.2,32.5,262.1\r\n",
                      "mine.csv");
  ASSERT_FALSE(read.error) << read.error->text();
  ASSERT_EQ(read.table.rows().size(), 1u);
  EXPECT_EQ(read.table.rows()[0].code, "GEM");
  EXPECT_DOUBLE_EQ(read.table.rows()[0].vGeocentric, 34580.0);
  EXPECT_EQ(read.table.rows()[0].lp, 22);
}

TEST(ShowerTablePlaces, AnOptionComesFirstThenTheVariable) {
  EXPECT_EQ(showerTablePath("given.csv"), "given.csv");
  ::setenv(kShowerTableVariable, "from-variable.csv", 1);
  EXPECT_EQ(showerTablePath(""), "from-variable.csv");
  ::unsetenv(kShowerTableVariable);
  const std::string found = showerTablePath("");
  EXPECT_NE(found.find("showers.csv"), std::string::npos);  // beside the build or in the source tree
}

TEST(ShowerTablePlaces, AMissingTableIsAnErrorNamingIt) {
  InputError error;
  EXPECT_EQ(sharedShowerTable("/nonexistent/showers.csv", error), nullptr);
  EXPECT_EQ(error.file, "/nonexistent/showers.csv");
  EXPECT_NE(error.message.find("cannot open"), std::string::npos);
  EXPECT_EQ(sharedShowerTable("", error), nullptr);
  EXPECT_NE(error.text().find("SIGHTLINE_SHOWERS"), std::string::npos);
}

}  // namespace
}  // namespace sightline
