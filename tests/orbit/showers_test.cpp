// The shower rule on tables made for the purpose: each limit inclusive, just
// outside it refused, the solar longitude wrapped, the best score chosen and a
// tie given to the earlier row. The truth is the rule's own definition
// evaluated by hand (great circles by the haversine formula, not ERFA).
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include <erfa.h>
#include <erfam.h>

#include "orbit/showers.hpp"
#include "support/readable_name.hpp"

namespace sightline {
namespace {

constexpr double kKm = 1000.0;

// A row whose radiant lies on the ecliptic: RA/Dec of ecliptic longitude `lambda`, latitude 0.
ShowerSolution row(int number, const char* code, double solarLongitude, double lambda, double beta, double vgKm) {
  double ra = 0.0, dec = 0.0;
  eraEceq06(ERFA_DJ00, 0.0, lambda * ERFA_DD2R, beta * ERFA_DD2R, &ra, &dec);
  ShowerSolution s;
  s.number = number;
  s.code = code;
  s.name = std::string(code) + " shower";
  s.status = 1;
  s.solarLongitude = solarLongitude;
  s.ra = eraAnp(ra) * ERFA_DR2D;
  s.dec = dec * ERFA_DR2D;
  s.vGeocentric = vgKm * kKm;
  return s;
}

// Haversine great-circle distance, degrees.
double haversine(double lon1, double lat1, double lon2, double lat2) {
  const double d2r = M_PI / 180.0;
  const double a = std::pow(std::sin((lat2 - lat1) * d2r / 2), 2) +
                   std::cos(lat1 * d2r) * std::cos(lat2 * d2r) * std::pow(std::sin((lon2 - lon1) * d2r / 2), 2);
  return 2.0 * std::asin(std::sqrt(a)) / d2r;
}

TEST(ShowerRule, AMeteorOnTheRowIsAMemberAtDistanceZero) {
  const ShowerTable table({row(4, "GEM", 262.0, 100.0, 10.0, 34.0)});
  const auto match = table.associate({262.0, 100.0, 10.0, 34.0 * kKm});
  ASSERT_TRUE(match);
  EXPECT_EQ(match->code, "GEM");
  EXPECT_EQ(match->number, 4);
  EXPECT_NEAR(match->radiantDistance, 0.0, 1e-9);
  EXPECT_NEAR(match->vgDifference, 0.0, 1e-12);
  EXPECT_NEAR(match->solarLongitudeDifference, 0.0, 1e-12);
}

// One meteor against a one-row table (the row at solar longitude 262, ecliptic (100, 10), 34 km/s).
struct LimitCase {
  std::string name;
  ShowerKey key;  // vG in km/s here, scaled when used
  bool member;
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class ShowerLimitsTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ShowerLimitsTest, MembershipFollowsEachLimit) {
  const ShowerTable table({row(4, "GEM", 262.0, 100.0, 10.0, 34.0)});
  ShowerKey key = GetParam().key;
  key.vGeocentric *= kKm;
  EXPECT_EQ(table.associate(key).has_value(), GetParam().member);
}

// The radiant moves with the Sun: a meteor 5 deg later in solar longitude has its
// radiant 5 deg further in ecliptic longitude at the same Sun-centred place.
INSTANTIATE_TEST_SUITE_P(
    Limits, ShowerLimitsTest,
    ::testing::Values(LimitCase{"solar longitude +5 inside", {267.0, 105.0, 10.0, 34.0}, true},
                      LimitCase{"solar longitude -5 at the limit", {257.0, 95.0, 10.0, 34.0}, true},
                      LimitCase{"solar longitude +5.001 outside", {267.001, 105.001, 10.0, 34.0}, false},
                      LimitCase{"radiant 5 deg north at the limit", {262.0, 100.0, 15.0, 34.0}, true},
                      LimitCase{"radiant 5.001 deg north outside", {262.0, 100.0, 15.001, 34.0}, false},
                      LimitCase{"radiant 4.999 deg south inside", {262.0, 100.0, 5.001, 34.0}, true},
                      LimitCase{"vG +10 percent at the limit", {262.0, 100.0, 10.0, 37.4}, true},
                      LimitCase{"vG -10 percent at the limit", {262.0, 100.0, 10.0, 30.6}, true},
                      LimitCase{"vG +10.01 percent outside", {262.0, 100.0, 10.0, 37.4034}, false},
                      LimitCase{"the radiant fixed on the sky as the Sun moves 4 deg", {266.0, 100.0, 10.0, 34.0},
                                true},
                      LimitCase{"the radiant fixed on the sky as the Sun moves 5.1 deg", {267.1, 100.0, 10.0, 34.0},
                                false}),
    testing::ReadableName());

TEST(ShowerRule, SolarLongitudeWrapsAroundZero) {
  const ShowerTable table({row(10, "QUA", 358.0, 20.0, 60.0, 41.0)});
  const auto match = table.associate({2.0, 24.0, 60.0, 41.0 * kKm});
  ASSERT_TRUE(match);
  EXPECT_NEAR(match->solarLongitudeDifference, 4.0, 1e-9);
  EXPECT_NEAR(match->radiantDistance, 0.0, 1e-9);
}

TEST(ShowerRule, RadiantDistanceIsTheSunCentredGreatCircle) {
  const ShowerTable table({row(1, "AAA", 100.0, 50.0, 20.0, 30.0)});
  const ShowerKey key{101.0, 53.0, 22.0, 30.0 * kKm};
  const auto match = table.associate(key);
  ASSERT_TRUE(match);
  // Sun-centred: meteor (53 - 101, 22), row (50 - 100, 20).
  EXPECT_NEAR(match->radiantDistance, haversine(-48.0, 22.0, -50.0, 20.0), 1e-6);
  EXPECT_NEAR(match->score, 1.0 / 5.0 + match->radiantDistance / 5.0, 1e-9);
}

TEST(ShowerRule, TheSmallestScoreWinsAndATieGoesToTheEarlierRow) {
  // Two rows equally far in speed on either side: a tie; a third closer in radiant wins.
  const ShowerTable tie({row(1, "ONE", 100.0, 50.0, 0.0, 30.0), row(2, "TWO", 100.0, 50.0, 0.0, 30.0)});
  ASSERT_TRUE(tie.associate({100.0, 50.0, 0.0, 30.0 * kKm}));
  EXPECT_EQ(tie.associate({100.0, 50.0, 0.0, 30.0 * kKm})->code, "ONE");
  const ShowerTable best({row(1, "FAR", 100.0, 53.0, 0.0, 30.0), row(2, "NEAR", 100.0, 51.0, 0.0, 30.0)});
  const auto match = best.associate({100.0, 50.0, 0.0, 30.0 * kKm});
  ASSERT_TRUE(match);
  EXPECT_EQ(match->code, "NEAR");
  EXPECT_EQ(match->row, 1u);
}

TEST(ShowerRule, LimitsAreOptions) {
  const ShowerTable table({row(4, "GEM", 262.0, 100.0, 10.0, 34.0)});
  const ShowerKey key{262.0, 100.0, 17.0, 34.0 * kKm};  // 7 deg away
  EXPECT_FALSE(table.associate(key));
  ShowerLimits wide;
  wide.radiant = 8.0;
  const auto match = table.associate(key, wide);
  ASSERT_TRUE(match);
  EXPECT_NEAR(match->score, 7.0 / 8.0, 1e-6);
}

TEST(ShowerRule, NumbersThatAreNotFiniteAreSporadic) {
  const ShowerTable table({row(4, "GEM", 262.0, 100.0, 10.0, 34.0)});
  EXPECT_FALSE(table.associate({std::nan(""), 100.0, 10.0, 34.0 * kKm}));
  EXPECT_FALSE(table.associate({262.0, 100.0, 10.0, INFINITY}));
}

TEST(ShowerRule, MembershipIsTheShareOfDrawsInTheShower) {
  const ShowerTable table({row(4, "GEM", 262.0, 100.0, 10.0, 34.0), row(7, "PER", 140.0, 60.0, 38.0, 59.0)});
  const std::vector<ShowerKey> draws = {{262.0, 100.0, 10.0, 34.0 * kKm},
                                        {262.0, 100.0, 14.0, 34.0 * kKm},
                                        {262.0, 100.0, 16.0, 34.0 * kKm},  // outside
                                        {140.0, 60.0, 38.0, 59.0 * kKm}};  // another shower
  EXPECT_DOUBLE_EQ(showerMembership(table, {}, 4, draws), 0.5);
  EXPECT_DOUBLE_EQ(showerMembership(table, {}, 4, {}), 0.0);
}

TEST(WrappedDifference, StaysInTheHalfOpenCircle) {
  EXPECT_DOUBLE_EQ(wrappedDifference(2.0, 358.0), 4.0);
  EXPECT_DOUBLE_EQ(wrappedDifference(358.0, 2.0), -4.0);
  EXPECT_DOUBLE_EQ(wrappedDifference(180.0, 0.0), -180.0);
  EXPECT_DOUBLE_EQ(wrappedDifference(725.0, 0.0), 5.0);
}

}  // namespace
}  // namespace sightline
