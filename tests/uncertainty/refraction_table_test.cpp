#include "uncertainty/refraction_table.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <string>
#include <vector>

#include "earth/ray_cache.hpp"
#include "earth/refraction.hpp"
#include "geometry/angles.hpp"

namespace sightline {
namespace {

constexpr double kRadiansPerArcsecond = kPi / (180 * 3600);
constexpr double kEarthRadius = 6371000.0;  // metres

// Target angle at the sphere's centre of the point `height` metres up a straight line at zenith z0.
double targetAt(double z0, double stationHeight, double baseRadius, double height) {
  return z0 - std::asin((baseRadius + stationHeight) * std::sin(z0) / (baseRadius + height));
}

struct TableCase {
  std::string name;
  double stationHeight;  // metres
  double baseRadius;     // metres
  double elevation;      // degrees, centre of the table
  double sigma;          // degrees, the table spans +-6 sigma
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class RefractionTableAccuracy : public ::testing::TestWithParam<TableCase> {};

// Everywhere in the table, between the nodes as on them, and for targets from
// the low atmosphere to far above its top, the table gives the trace's true
// zenith angle to within 0.001 arcseconds.
TEST_P(RefractionTableAccuracy, AgreesWithTheTraceEverywhere) {
  const TableCase& c = GetParam();
  const double centre = degToRad(90 - c.elevation);
  const double half = degToRad(6 * c.sigma);
  const RefractionTable table(c.stationHeight, c.baseRadius, centre - half, centre + half);
  ASSERT_FALSE(table.empty());
  ShellProfile shells(c.stationHeight, c.baseRadius);

  // The nodes and three points between each two of them.
  const int samples = 4 * static_cast<int>(table.nodes() - 1);
  double worst = 0;
  for (int a = 0; a <= samples; ++a) {
    const double z0 = table.zenithLow() + (table.zenithHigh() - table.zenithLow()) * a / samples;
    TracedRay ray(z0);
    for (double height = c.stationHeight + 1500; height < 160000; height += 2317.0) {
      const double target = targetAt(z0, c.stationHeight, c.baseRadius, height);
      const auto got = table.trueZenith(z0, target);
      ASSERT_TRUE(got.has_value());
      const double expected = ray.trueZenith(shells, target);
      worst = std::max(worst, std::fabs(*got - expected));
      ASSERT_LT(std::fabs(*got - expected), 0.001 * kRadiansPerArcsecond)
          << "z0 " << radToDeg(z0) << " deg, height " << height << " m";
    }
  }
  RecordProperty("worst_arcseconds", std::to_string(worst / kRadiansPerArcsecond));
}

INSTANTIATE_TEST_SUITE_P(
    Stations, RefractionTableAccuracy,
    ::testing::Values(TableCase{"SeaLevelLow", 0, 6378137.0, 3, 0.05},
                      TableCase{"SeaLevelHorizonWide", 0, 6378137.0, 9, 0.25},
                      TableCase{"HillMiddle", 350, 6371000.0, 30, 0.05},
                      TableCase{"HillWide", 350, 6371000.0, 30, 0.5},
                      TableCase{"MountainHigh", 2500, 6364000.0, 70, 0.1},
                      TableCase{"MountainLow", 2500, 6364000.0, 5, 0.2},
                      TableCase{"NearZenith", 100, 6385000.0, 87, 0.05},
                      TableCase{"BelowSeaLevel", -300, 6378137.0, 15, 0.02},
                      TableCase{"NoSpread", 100, 6378137.0, 40, 0.0}),
    [](const auto& info) { return info.param.name; });

// The result is a staircase in the target angle: the table reproduces the
// trace's stairs rather than smoothing them (a smooth fit would be off by
// hundredths of an arcsecond at low elevations).
TEST(RefractionTable, KeepsTheTracesShellSteps) {
  const double z0 = degToRad(85.0);
  const RefractionTable table(0, kEarthRadius, z0 - 0.001, z0 + 0.001);
  ShellProfile shells(0, kEarthRadius);
  TracedRay ray(z0);
  const double target = targetAt(z0, 0, kEarthRadius, 30000);
  int stairs = 0;
  double previous = ray.trueZenith(shells, target);
  for (int k = 1; k < 3000; ++k) {
    const double t = target * (1 + k * 1e-7);
    const double expected = ray.trueZenith(shells, t);
    if (expected != previous) ++stairs;
    previous = expected;
    EXPECT_NEAR(*table.trueZenith(z0, t), expected, 0.001 * kRadiansPerArcsecond);
  }
  EXPECT_GT(stairs, 0);
}

// Targets the trace treats specially come back the same way.
TEST(RefractionTable, EdgeTargetsAsTheTrace) {
  const double z0 = degToRad(60.0);
  const RefractionTable table(200, kEarthRadius, z0 - 0.01, z0 + 0.01);
  for (const double target : {0.0, -0.01, std::nan(""), 0.5, 1.0}) {
    const double expected = traceRefraction(z0, 200, kEarthRadius, target);
    const auto got = table.trueZenith(z0, target);
    ASSERT_TRUE(got.has_value());
    EXPECT_NEAR(*got, expected, 0.001 * kRadiansPerArcsecond) << "target " << target;
  }
}

TEST(RefractionTable, AnswersNothingOutsideItsRange) {
  const double z0 = degToRad(50.0);
  const RefractionTable table(0, kEarthRadius, z0 - 0.01, z0 + 0.01);
  EXPECT_TRUE(table.trueZenith(z0, 0.01).has_value());
  EXPECT_FALSE(table.trueZenith(z0 - 0.0101, 0.01).has_value());
  EXPECT_FALSE(table.trueZenith(z0 + 0.0101, 0.01).has_value());
  EXPECT_FALSE(table.trueZenith(std::nan(""), 0.01).has_value());
  EXPECT_FALSE(RefractionTable().trueZenith(z0, 0.01).has_value());
}

TEST(RefractionTable, RefusesRangesItCannotTabulate) {
  EXPECT_TRUE(RefractionTable(0, kEarthRadius, degToRad(88.5), degToRad(89.5)).empty());  // too near the horizon
  EXPECT_TRUE(RefractionTable(0, kEarthRadius, degToRad(-0.5), degToRad(0.5)).empty());   // across the zenith
  EXPECT_TRUE(RefractionTable(0, kEarthRadius, degToRad(50), degToRad(40)).empty());      // reversed
  EXPECT_TRUE(RefractionTable(0, kEarthRadius, std::nan(""), degToRad(40)).empty());
}

TEST(RefractionTable, SpacesNodesCloserNearTheHorizon) {
  const RefractionTable high(0, kEarthRadius, degToRad(40), degToRad(42));
  const RefractionTable low(0, kEarthRadius, degToRad(84), degToRad(86));
  EXPECT_LE(high.spacing(), kTableNodeSpacing);
  EXPECT_LE(low.spacing(), kTableLowNodeSpacing);
  EXPECT_GT(low.nodes(), high.nodes());
}

}  // namespace
}  // namespace sightline
