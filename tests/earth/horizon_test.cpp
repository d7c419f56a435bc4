#include "earth/horizon.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include <cmath>

#include "earth/ellipsoid.hpp"

namespace sightline {
namespace {

struct DirectionCase {
  double azimuth, elevation;
  Vector3 expected;
};

[[maybe_unused]] void PrintTo(const DirectionCase& c, std::ostream* os) { *os << "az " << c.azimuth << " el " << c.elevation; }

class HorizonDirection : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(HorizonDirection, AtLongitude0Latitude0) {
  const auto& c = GetParam();
  const Vector3 d = horizonDirection(viewPointPosition(0, 0, 0), c.azimuth, c.elevation);
  EXPECT_NEAR(d.x, c.expected.x, 5e-7);
  EXPECT_NEAR(d.y, c.expected.y, 5e-7);
  EXPECT_NEAR(d.z, c.expected.z, 5e-7);
  EXPECT_NEAR(d.length(), 1.0, 1e-15);
}

// Up (1, 0, 0), east (0, 1, 0), north (0, 0, 1); azimuth from south through west.
INSTANTIATE_TEST_SUITE_P(Table, HorizonDirection,
                         ::testing::Values(DirectionCase{0, 0, {0, 0, -1}}, DirectionCase{90, 0, {0, -1, 0}},
                                           DirectionCase{180, 0, {0, 0, 1}}, DirectionCase{270, 0, {0, 1, 0}},
                                           DirectionCase{123, 90, {1, 0, 0}},
                                           DirectionCase{180, 45, {0.707107, 0, 0.707107}},
                                           DirectionCase{45, 30, {0.5, -0.612372, -0.612372}},
                                           DirectionCase{0, -10, {-0.173648, 0, -0.984808}},
                                           DirectionCase{360, 0, {0, 0, -1}}, DirectionCase{-90, 0, {0, 1, 0}},
                                           DirectionCase{0, 100, {0.984808, 0, 0.173648}}),
                         sightline::testing::ReadableName());

TEST(HorizonDirection, MidLatitudeAndIndependentOfHeight) {
  const Vector3 d = horizonDirection(viewPointPosition(13.5, 52.25, 100), 37, 21);
  EXPECT_NEAR(d.x, 0.917738, 5e-7);
  EXPECT_NEAR(d.y, -0.357478, 5e-7);
  EXPECT_NEAR(d.z, -0.173106, 5e-7);
  const Vector3 high = horizonDirection(viewPointPosition(13.5, 52.25, 90000), 37, 21);
  EXPECT_NEAR(high.x, d.x, 1e-15);
  EXPECT_NEAR(high.y, d.y, 1e-15);
}

TEST(HorizonDirection, PolarViewPointGetsAFiniteUnitDirection) {
  for (const double lat : {90.0, -90.0}) {
    const Vector3 pole(0, 0, lat > 0 ? 6356752.0 : -6356752.0);
    const Vector3 d = horizonDirection(pole, 30, 20);
    ASSERT_TRUE(std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z));
    EXPECT_NEAR(d.length(), 1.0, 1e-15);
    // Elevation is still measured from the horizontal plane, here z = const.
    EXPECT_NEAR(std::fabs(d.z), std::sin(20 * 3.141592653589793 / 180), 1e-15);
  }
  // East at the pole is the east of longitude 0, so azimuth 0 (south) points along +x at the north pole.
  const Vector3 south = horizonDirection(Vector3(0, 0, 6356752.0), 0, 0);
  EXPECT_NEAR(south.x, 1.0, 1e-15);
}

}  // namespace
}  // namespace sightline
