// EGM96 geoid heights through PROJ against the values NGA publishes.
#include "earth/geoid.hpp"
#include "support/geoid_fixture.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>

namespace sightline {
namespace {

using test::GeoidTest;

struct GeoidCase {
  const char* name;
  double latitude;   // degrees
  double longitude;  // degrees east, as published (0..360)
  double height;     // metres, N above the WGS84 ellipsoid
  double tolerance;  // metres
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const GeoidCase& c, std::ostream* os) { *os << c.name; }

class GeoidPublished : public GeoidTest, public ::testing::WithParamInterface<GeoidCase> {};

TEST_P(GeoidPublished, MatchesWithinTheGridInterpolation) {
  const GeoidCase& c = GetParam();
  EXPECT_NEAR(geoid_->undulation(c.latitude, c.longitude), c.height, c.tolerance);
  // The same place written with a western longitude.
  EXPECT_NEAR(geoid_->undulation(c.latitude, c.longitude - 360.0), c.height, c.tolerance);
}

// NGA's test points for its 15' grid interpolation (spline, to the centimetre);
// PROJ interpolates the same grid bilinearly, which differs by up to about 6 cm
// between nodes. At the grid's own nodes the values agree to the centimetre.
INSTANTIATE_TEST_SUITE_P(
    Nga, GeoidPublished,
    ::testing::Values(GeoidCase{"missouri", 38.6281550, 269.7791550, -31.628, 0.06},
                      GeoidCase{"brazil", -14.6212170, 305.0211140, -2.969, 0.06},
                      GeoidCase{"mongolia", 46.8743190, 102.4487290, -43.575, 0.06},
                      GeoidCase{"australia", -23.6174460, 133.8747120, 15.871, 0.06},
                      GeoidCase{"spain_across_greenwich", 38.6254730, 359.9995000, 50.066, 0.06},
                      GeoidCase{"gulf_of_guinea", -0.4667440, 0.0023000, 17.329, 0.06},
                      GeoidCase{"north_pole_node", 90.0, 0.0, 13.606, 0.01},
                      GeoidCase{"south_pole_node", -90.0, 0.0, -29.534, 0.01},
                      GeoidCase{"origin_node", 0.0, 0.0, 17.162, 0.01}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GeoidTest, NoValueForImpossiblePlaces) {
  EXPECT_TRUE(std::isnan(geoid_->undulation(91.0, 0.0)));
  EXPECT_TRUE(std::isnan(geoid_->undulation(NAN, 0.0)));
  EXPECT_TRUE(std::isnan(geoid_->undulation(0.0, INFINITY)));
}

TEST_F(GeoidTest, HeightAboveSeaLevelSubtractsTheGeoid) {
  const GeodeticPosition p{38.6281550, -90.2208450, 100.0};
  EXPECT_NEAR(geoid_->heightAboveSeaLevel(p), 100.0 + 31.628, 0.06);
}

TEST(GeoidMissing, MessageNamesTheGridAndThePackage) {
  std::string message;
  const auto geoid = Geoid::openGrid("no_such_geoid_grid.gtx", message);
  EXPECT_EQ(geoid, nullptr);
  EXPECT_NE(message.find("no_such_geoid_grid.gtx"), std::string::npos) << message;
  EXPECT_NE(message.find("proj-data"), std::string::npos) << message;
}

}  // namespace
}  // namespace sightline
