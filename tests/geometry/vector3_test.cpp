#include "geometry/vector3.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include <cmath>
#include <limits>

#include "geometry/angles.hpp"

namespace sightline {
namespace {

constexpr double kEps = 1e-15;

TEST(Vector3, DefaultIsZeroAndLengthsOfThreeFourTwelve) {
  const Vector3 zero;
  EXPECT_EQ(zero, Vector3(0, 0, 0));
  const Vector3 v(3, 4, 12);
  EXPECT_EQ(v.component(1, Spherical), 13.0);
  EXPECT_EQ(v.component(1, Cylindrical), 5.0);
  EXPECT_EQ(v.length(), 13.0);
}

TEST(Vector3, ConstructorsTakeTheirComponentsInOrder) {
  const Vector3 cyl(2, kPi / 2, 7, Cylindrical);
  EXPECT_NEAR(cyl.x, 0.0, kEps);
  EXPECT_EQ(cyl.y, 2.0);
  EXPECT_EQ(cyl.z, 7.0);
  // Spherical takes (r, phi, theta): phi about z second, theta from +z third.
  const Vector3 equator(1, 0, kPi / 2, Spherical);
  EXPECT_EQ(equator.x, 1.0);
  EXPECT_EQ(equator.y, 0.0);
  EXPECT_NEAR(equator.z, 0.0, kEps);
  const Vector3 east(2, kPi / 2, kPi / 2, Spherical);
  EXPECT_NEAR(east.x, 0.0, kEps);
  EXPECT_EQ(east.y, 2.0);
  EXPECT_EQ(Vector3(1, 2, 3, 7), Vector3());  // unknown system
}

struct AngleCase {
  Vector3 v;
  int index;
  double expected;
};

[[maybe_unused]] void PrintTo(const AngleCase& c, std::ostream* os) { *os << sightline::testing::vectorText(c.v) << " component " << c.index; }

class ComponentAngles : public ::testing::TestWithParam<AngleCase> {};

TEST_P(ComponentAngles, MatchOnAxesAndZeroGuards) {
  const AngleCase& c = GetParam();
  EXPECT_EQ(c.v.component(c.index, Spherical), c.expected);
  if (c.index == 2) {
    EXPECT_EQ(c.v.component(2, Cylindrical), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Axes, ComponentAngles,
    ::testing::Values(AngleCase{{1, 0, 0}, 2, 1e-100},            // phi: zero ordinate becomes 1e-100
                      AngleCase{{-1, 0, 0}, 2, kPi},              //
                      AngleCase{{0, -1, 0}, 2, 3 * kPi / 2},      // negative atan2 gains a turn
                      AngleCase{{0, 0, 5}, 2, kPi / 2},           //
                      AngleCase{{0, 0, 0}, 2, kPi / 2},           //
                      AngleCase{{1, -1e-300, 0}, 2, kTwoPi},      // rounds up to a whole turn
                      AngleCase{{0, 0, 5}, 3, 2e-101},            // theta: zero rho becomes 1e-100
                      AngleCase{{0, 0, -5}, 3, kPi},              //
                      AngleCase{{1, 0, 0}, 3, kPi / 2},           //
                      AngleCase{{0, 0, 0}, 3, kPi / 2}),
                         sightline::testing::ReadableName());         //

TEST(Vector3, ComponentOutOfRangeIsZero) {
  const Vector3 v(1, 2, 3);
  EXPECT_EQ(v.component(0, Cartesian), 0.0);
  EXPECT_EQ(v.component(4, Spherical), 0.0);
  EXPECT_EQ(v.component(1, 3), 0.0);
  EXPECT_EQ(v.component(3, Cartesian), 3.0);
  EXPECT_EQ(v.component(3, Cylindrical), 3.0);
}

struct NormalizeCase {
  double in;
  double out;
};

[[maybe_unused]] void PrintTo(const NormalizeCase& c, std::ostream* os) { *os << "angle " << c.in; }

class NormalizeAngle : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeAngle, ReducesByWholeTurns) {
  EXPECT_NEAR(normalizeAngle(GetParam().in), GetParam().out, 1e-14);
}

INSTANTIATE_TEST_SUITE_P(Table, NormalizeAngle,
                         ::testing::Values(NormalizeCase{-kPi / 2, 3 * kPi / 2}, NormalizeCase{3 * kPi, kPi},
                                           NormalizeCase{-3 * kPi, kPi}, NormalizeCase{0, 0},
                                           NormalizeCase{kTwoPi, 0}, NormalizeCase{-1e-20, kTwoPi}),
                         sightline::testing::ReadableName());

TEST(Vector3, NormalizeAngleStaysDefinedBeyondIntRange) {
  const double huge = 1e12;
  const double reduced = normalizeAngle(huge);
  EXPECT_GE(reduced, 0.0);
  EXPECT_LT(reduced, 7.0);
  EXPECT_EQ(reduced, huge - std::trunc(huge * (1.0 / kTwoPi)) * kTwoPi);
  EXPECT_TRUE(std::isnan(normalizeAngle(std::numeric_limits<double>::quiet_NaN())));
}

struct RotateCase {
  Vector3 v, axis;
  double angle;
  Vector3 expected;
};

[[maybe_unused]] void PrintTo(const RotateCase& c, std::ostream* os) { *os << sightline::testing::vectorText(c.v) << " about " << sightline::testing::vectorText(c.axis) << " by " << c.angle; }

class Rotate : public ::testing::TestWithParam<RotateCase> {};

TEST_P(Rotate, IsRightHanded) {
  const RotateCase& c = GetParam();
  Vector3 v = c.v;
  const Vector3 copy = v.rotate(c.axis, c.angle);
  EXPECT_EQ(copy, v);
  EXPECT_NEAR(v.x, c.expected.x, kEps);
  EXPECT_NEAR(v.y, c.expected.y, kEps);
  EXPECT_NEAR(v.z, c.expected.z, kEps);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rotate,
    ::testing::Values(RotateCase{{1, 0, 0}, {0, 0, 1}, kPi / 2, {0, 1, 0}},
                      RotateCase{{0, 1, 0}, {1, 0, 0}, kPi / 2, {0, 0, 1}},
                      RotateCase{{0, 0, 1}, {0, 1, 0}, kPi / 2, {1, 0, 0}},
                      RotateCase{{1, 0, 0}, {0, 0, 2}, kPi / 2, {0, 1, 0}},  // axis length does not matter
                      RotateCase{{1, 2, 3}, {0, 0, 0}, 1.0, {1, 2, 3}},      // too short: unchanged
                      RotateCase{{1, 2, 3}, {0, 0, 1e-101}, 1.0, {1, 2, 3}},
                      RotateCase{{1, 2, 3}, {1, 1, 1}, 0.0, {1, 2, 3}}),
                         sightline::testing::ReadableName());

TEST(Vector3, RotateAboutNaNAxisLeavesVector) {
  Vector3 v(1, 2, 3);
  v.rotate(Vector3(std::nan(""), 0, 0), 1.0);
  EXPECT_EQ(v, Vector3(1, 2, 3));
}

TEST(Vector3, ProductsAndDistance) {
  EXPECT_EQ(dot(Vector3(1, 2, 3), Vector3(4, -5, 6)), 12.0);
  EXPECT_EQ(cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(0, 0, 1));
  EXPECT_EQ(cross(Vector3(0, 1, 0), Vector3(1, 0, 0)), Vector3(0, 0, -1));
  EXPECT_EQ(distance(Vector3(1, 2, 3), Vector3(4, 6, 15)), 13.0);
  EXPECT_EQ(distance(Vector3(1, 2, 3), Vector3(1, 2, 3)), 0.0);
  EXPECT_EQ(2.0 * Vector3(1, 2, 3), Vector3(2, 4, 6));
  EXPECT_EQ(Vector3(2, 4, 6) / 2.0, Vector3(1, 2, 3));
  EXPECT_EQ(-Vector3(1, -2, 3), Vector3(-1, 2, -3));
}

TEST(Vector3, AngleBetween) {
  EXPECT_EQ(angleBetween(Vector3(), Vector3(1, 2, 3)), 0.0);
  EXPECT_EQ(angleBetween(Vector3(1, 2, 3), Vector3()), 0.0);
  EXPECT_EQ(angleBetween(Vector3(1, 0, 0), Vector3(0, 2, 0)), kPi / 2);
  EXPECT_EQ(angleBetween(Vector3(1, 0, 0), Vector3(-3, 0, 0)), kPi);
}

TEST(Vector3, AngleBetweenParallelVectorsIsClampedNotNaN) {
  // The quotient of these parallel vectors rounds above 1.
  bool sawOverOne = false;
  for (int k = 1; k < 2000 && !sawOverOne; ++k) {
    const Vector3 a(0.1 * k, 0.3, 0.7);
    const Vector3 b = 3.0 * a;
    const double la = std::sqrt(dot(a, a)), lb = std::sqrt(dot(b, b));
    if (dot(a, b) / la / lb > 1) {
      sawOverOne = true;
      EXPECT_EQ(angleBetween(a, b), 0.0);
      EXPECT_EQ(angleBetween(a, -1.0 * b), kPi);
    }
  }
  EXPECT_TRUE(sawOverOne);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isnan(angleBetween(Vector3(inf, 0, 0), Vector3(1, 0, 0))));
}

}  // namespace
}  // namespace sightline
