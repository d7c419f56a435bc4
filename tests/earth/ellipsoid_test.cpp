#include "earth/ellipsoid.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include "geometry/angles.hpp"

namespace sightline {
namespace {

struct RadiusCase {
  double latitudeDegrees;
  double radius;
};

[[maybe_unused]] void PrintTo(const RadiusCase& c, std::ostream* os) { *os << "lat " << c.latitudeDegrees; }

class EllipsoidRadius : public ::testing::TestWithParam<RadiusCase> {};

TEST_P(EllipsoidRadius, PublishedValues) {
  const double phi = degToRad(GetParam().latitudeDegrees);
  EXPECT_NEAR(ellipsoidRadius(phi), GetParam().radius, 1e-3);
  EXPECT_EQ(ellipsoidRadius(-phi), ellipsoidRadius(phi));
}

INSTANTIATE_TEST_SUITE_P(Table, EllipsoidRadius,
                         ::testing::Values(RadiusCase{0, 6378137.0}, RadiusCase{30, 6372770.522},
                                           RadiusCase{45, 6367417.567}, RadiusCase{60, 6362078.079},
                                           RadiusCase{90, 6356752.0}),
                         sightline::testing::ReadableName());

TEST(EllipsoidRadius, ExactAtTheEquator) { EXPECT_EQ(ellipsoidRadius(0), 6378137.0); }

struct PositionCase {
  double lon, lat, height;
  Vector3 expected;
  double tolerance;
};

[[maybe_unused]] void PrintTo(const PositionCase& c, std::ostream* os) { *os << "lon " << c.lon << " lat " << c.lat << " h " << c.height; }

class ViewPointPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(ViewPointPosition, PublishedValues) {
  const auto& c = GetParam();
  const Vector3 p = viewPointPosition(c.lon, c.lat, c.height);
  EXPECT_NEAR(p.x, c.expected.x, c.tolerance);
  EXPECT_NEAR(p.y, c.expected.y, c.tolerance);
  EXPECT_NEAR(p.z, c.expected.z, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewPointPosition,
    ::testing::Values(PositionCase{0, 0, 0, {6378137, 0, 0}, 0},
                      PositionCase{90, 0, 0, {0, 6378137, 0}, 1e-8},
                      PositionCase{0, 90, 0, {0, 0, 6356752}, 1e-8},
                      PositionCase{13.5, 52.25, 100, {3789001.109, 909658.684, 5032614.275}, 1e-3}),
                         sightline::testing::ReadableName());

TEST(ViewPointPosition, LongitudeActsModulo360AndLatitudeContinuesOverThePole) {
  const auto near = [](const Vector3& a, const Vector3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_NEAR(a.y, b.y, 1e-6);
    EXPECT_NEAR(a.z, b.z, 1e-6);
  };
  near(viewPointPosition(-90, 20, 5), viewPointPosition(270, 20, 5));
  near(viewPointPosition(360, 20, 5), viewPointPosition(0, 20, 5));
  near(viewPointPosition(190, 100, 0), viewPointPosition(10, 80, 0));
}

struct RoundTripCase {
  double lon, lat, height;
};

[[maybe_unused]] void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << "lon " << c.lon << " lat " << c.lat << " h " << c.height; }

class HeightRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(HeightRoundTrip, HeightComesBack) {
  const auto& c = GetParam();
  EXPECT_NEAR(heightAboveEllipsoid(viewPointPosition(c.lon, c.lat, c.height)), c.height, 1e-7);
}

INSTANTIATE_TEST_SUITE_P(Table, HeightRoundTrip,
                         ::testing::Values(RoundTripCase{0, 0, 0}, RoundTripCase{10, 50, 100000},
                                           RoundTripCase{13.5, 52.25, 100}, RoundTripCase{-120, -33, -400},
                                           RoundTripCase{200, 89.9, 2500}, RoundTripCase{45, -90, 10}),
                         sightline::testing::ReadableName());

TEST(HeightAboveEllipsoid, OfTheCentreIsMinusTheEquatorialRadius) {
  EXPECT_EQ(heightAboveEllipsoid(Vector3()), -6378137.0);
}

}  // namespace
}  // namespace sightline
