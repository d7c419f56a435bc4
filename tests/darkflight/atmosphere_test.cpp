// The 1976 standard atmosphere against the standard's own table, the drag
// table at its nodes and between them, and the profile's interpolation rules.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "darkflight/air_profile.hpp"
#include "darkflight/drag.hpp"
#include "darkflight/standard_atmosphere.hpp"

namespace sightline::darkflight {
namespace {

/// A row of U.S. Standard Atmosphere 1976 (NOAA-S/T 76-1562), table I: geometric altitude.
struct StandardRow {
  const char* name;
  double z;            ///< m
  double temperature;  ///< K
  double pressure;     ///< Pa
  double density;      ///< kg/m^3
};

void PrintTo(const StandardRow& r, std::ostream* os) { *os << r.name; }

class StandardTable : public ::testing::TestWithParam<StandardRow> {};

TEST_P(StandardTable, MatchesThePublishedValues) {
  const StandardRow& row = GetParam();
  const StandardAir air = standardAtmosphere(row.z);
  EXPECT_NEAR(air.temperature, row.temperature, 0.005);
  EXPECT_NEAR(air.pressure / row.pressure, 1.0, 1e-4);
  EXPECT_NEAR(air.density / row.density, 1.0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Heights, StandardTable,
                         ::testing::Values(StandardRow{"SeaLevel", 0.0, 288.150, 101325.0, 1.2250},
                                           StandardRow{"At1km", 1000.0, 281.651, 89876.0, 1.1117},
                                           StandardRow{"At5km", 5000.0, 255.676, 54048.0, 0.73643},
                                           StandardRow{"At11km", 11000.0, 216.774, 22700.0, 0.36480},
                                           StandardRow{"At20km", 20000.0, 216.650, 5529.3, 0.088910},
                                           StandardRow{"At32km", 32000.0, 228.490, 889.06, 0.013555},
                                           StandardRow{"At50km", 50000.0, 270.650, 79.779, 1.0269e-3},
                                           StandardRow{"At80km", 80000.0, 198.639, 1.0524, 1.8458e-5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StandardAtmosphere, GeopotentialAndGeometricHeightsAreInverse) {
  EXPECT_NEAR(geopotentialHeight(11019.1), 11000.0, 0.1);  // the tropopause: 11 km geopotential
  EXPECT_NEAR(geometricHeight(geopotentialHeight(30000.0)), 30000.0, 1e-6);
}

TEST(StandardAtmosphere, StaysPositiveAboveTheTopLayer) {
  const StandardAir air = standardAtmosphere(120000.0);
  EXPECT_GT(air.temperature, 180.0);
  EXPECT_GT(air.density, 0.0);
  EXPECT_LT(air.density, standardAtmosphere(86000.0).density);
}

struct DragCase {
  const char* name;
  double mach, shapeFactor, cd;
};
void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

class DragTable : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragTable, InterpolatesAndHoldsTheEnds) {
  EXPECT_NEAR(dragCoefficient(GetParam().mach, GetParam().shapeFactor), GetParam().cd, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, DragTable,
    ::testing::Values(DragCase{"SphereSubsonic", 0.3, 1.21, 0.51}, DragCase{"SphereTransonic", 1.1, 1.21, 0.87},
                      DragCase{"SphereBelowTable", 0.01, 1.21, 0.51}, DragCase{"SphereAboveTable", 12.0, 1.21, 0.92},
                      DragCase{"SphereBetweenMach", 1.3, 1.21, 0.935}, DragCase{"CylinderMach2", 2.0, 1.6, 1.27},
                      DragCase{"BrickMach5", 5.0, 2.7, 2.00}, DragCase{"BelowSphereRow", 0.6, 0.5, 0.55},
                      DragCase{"AboveBrickRow", 0.6, 4.0, 1.64},
                      DragCase{"HalfwaySphereCylinder", 0.3, 1.405, 0.565}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<AirLevel> twoLevels() {
  return {AirLevel{100.0, 300.0, 100000.0, 10.0, 270.0}, AirLevel{10100.0, 220.0, 26000.0, 30.0, 180.0}};
}

TEST(AirProfile, InterpolatesTemperatureAndLogDensityLinearly) {
  const AirProfile profile(twoLevels());
  const AirSample mid = profile.at(5100.0);
  EXPECT_NEAR(mid.temperature, 260.0, 1e-9);
  const double rho0 = 100000.0 / (287.05 * 300.0), rho1 = 26000.0 / (287.05 * 220.0);
  EXPECT_NEAR(mid.density, std::sqrt(rho0 * rho1), 1e-12);
  EXPECT_NEAR(mid.soundSpeed, std::sqrt(1.4 * 287.05 * 260.0), 1e-9);
  // A westerly of 10 m/s blows toward the east, a southerly of 30 m/s toward the north: halfway is the mean.
  EXPECT_NEAR(mid.windEast, 5.0, 1e-9);
  EXPECT_NEAR(mid.windNorth, 15.0, 1e-9);
}

TEST(AirProfile, HoldsTheLowestLevelBelowIt) {
  const AirSample low = AirProfile(twoLevels()).at(-50.0);
  EXPECT_DOUBLE_EQ(low.temperature, 300.0);
  EXPECT_NEAR(low.windEast, 10.0, 1e-12);
}

TEST(AirProfile, AboveTheTopUsesTheStandardAndFadesTheWind) {
  const AirProfile profile(twoLevels());
  const AirSample above = profile.at(15100.0);
  EXPECT_DOUBLE_EQ(above.temperature, standardAtmosphere(15100.0).temperature);
  EXPECT_DOUBLE_EQ(above.density, standardAtmosphere(15100.0).density);
  EXPECT_NEAR(above.windNorth, 0.5 * 30.0, 1e-9);
  EXPECT_EQ(profile.at(20100.0).windNorth, 0.0);
  EXPECT_EQ(profile.at(30000.0).windNorth, 0.0);
}

TEST(AirProfile, WithoutLevelsIsStillStandardAir) {
  const AirSample air = AirProfile().at(20000.0);
  EXPECT_DOUBLE_EQ(air.density, standardAtmosphere(20000.0).density);
  EXPECT_EQ(air.windEast, 0.0);
  EXPECT_EQ(air.windNorth, 0.0);
}

}  // namespace
}  // namespace sightline::darkflight
