// The two-body mechanics against independent methods: the zenith attraction
// against a numerically integrated fall through the Earth's field, the orbital
// elements against states built from known elements, the Tisserand parameter
// against a published value, and circular spreads.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orbit/constants.hpp"
#include "orbit/orbit.hpp"

namespace sightline {
namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;  // radians per degree

// ------------------------------------------------------------ zenith attraction

struct FallCase {
  const char* name;
  double vInf;         // m/s at the reference point
  double zenithAngle;  // degrees, apparent radiant from the zenith
};

[[maybe_unused]] void PrintTo(const FallCase& c, std::ostream* os) { *os << c.name; }

class ZenithAttraction : public testing::TestWithParam<FallCase> {};

// Runs the meteoroid backward in time through a point-mass Earth (RK4, steps of
// 1/1000 of the time to cross the current distance) until it is 1e11 m away:
// its velocity there is the geocentric one, to 0.4 m/s (2 GM/r left in v^2)
// and 1e-8 rad of remaining bending.
InertialState fallOutward(InertialState s) {
  const auto acceleration = [](const Vector3& r) { return (-kEarthGM / std::pow(r.length(), 3)) * r; };
  while (s.position.length() < 1e11) {
    const double h = -1e-3 * s.position.length() / s.velocity.length();
    const Vector3 k1v = acceleration(s.position), k1r = s.velocity;
    const Vector3 k2v = acceleration(s.position + (0.5 * h) * k1r), k2r = s.velocity + (0.5 * h) * k1v;
    const Vector3 k3v = acceleration(s.position + (0.5 * h) * k2r), k3r = s.velocity + (0.5 * h) * k2v;
    const Vector3 k4v = acceleration(s.position + h * k3r), k4r = s.velocity + h * k3v;
    s.position = s.position + (h / 6.0) * (k1r + 2.0 * k2r + 2.0 * k3r + k4r);
    s.velocity = s.velocity + (h / 6.0) * (k1v + 2.0 * k2v + 2.0 * k3v + k4v);
  }
  return s;
}

TEST_P(ZenithAttraction, MatchesTheIntegratedFall) {
  const FallCase& c = GetParam();
  const Vector3 position{1000.0, -2000.0, 6456752.0};
  const Vector3 zenith = (1.0 / position.length()) * position;
  Vector3 apparent = zenith;
  apparent.rotate(cross(zenith, Vector3{1.0, 0.0, 0.0}), c.zenithAngle * kDegree);
  const Vector3 velocity = -c.vInf * apparent;

  const std::optional<GeocentricVelocity> g = removeEarthAttraction(position, velocity);
  ASSERT_TRUE(g);
  const InertialState far = fallOutward({position, velocity});
  EXPECT_NEAR(g->speed, far.velocity.length(), 1.0);
  EXPECT_NEAR(angleBetween(g->radiant, -far.velocity), 0.0, 2e-7);
  // The radiant moved away from the zenith by the angle reported.
  EXPECT_NEAR(angleBetween(g->radiant, zenith) - angleBetween(apparent, zenith), g->zenithAttraction, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Orbit, ZenithAttraction,
                         testing::Values(FallCase{"Slow80", 12000.0, 80.0}, FallCase{"Slow45", 12500.0, 45.0},
                                         FallCase{"Medium60", 15000.0, 60.0}, FallCase{"Medium30", 20000.0, 30.0},
                                         FallCase{"Fast85", 40000.0, 85.0}, FallCase{"Fastest45", 71000.0, 45.0},
                                         FallCase{"Grazing120", 25000.0, 120.0}),
                         [](const testing::TestParamInfo<FallCase>& info) { return std::string(info.param.name); });

TEST(ZenithAttraction, BelowEscapeHasNoGeocentricVelocity) {
  const Vector3 position{0.0, 0.0, 6456752.0};
  EXPECT_FALSE(removeEarthAttraction(position, {0.0, 0.0, -11000.0}));  // escape speed there: 11.11 km/s
  EXPECT_FALSE(removeEarthAttraction(position, {}));
}

TEST(ZenithAttraction, ZenithRadiantStaysPut) {
  const Vector3 position{3000000.0, 4000000.0, 3000000.0};
  const std::optional<GeocentricVelocity> g = removeEarthAttraction(position, (-15000.0 / position.length()) * position);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->zenithAttraction, 0.0);
  EXPECT_NEAR(angleBetween(g->radiant, position), 0.0, 1e-12);
}

// ------------------------------------------------------------ orbital elements

struct ElementsCase {
  const char* name;
  double a;  // AU
  double e;
  double i, omega, node, trueAnomaly;  // degrees
};

// Heliocentric state (m, m/s) of an orbit with the given elements, by the
// perifocal frame turned by R3(-node) R1(-i) R3(-omega) (Vallado 2013, algorithm 10).
InertialState stateOf(const ElementsCase& c) {
  const double p = c.a * kAstronomicalUnit * (1.0 - c.e * c.e);
  const double nu = c.trueAnomaly * kDegree;
  const double r = p / (1.0 + c.e * std::cos(nu));
  const double speedScale = std::sqrt(kSunGM / p);
  Vector3 position{r * std::cos(nu), r * std::sin(nu), 0.0};
  Vector3 velocity{-speedScale * std::sin(nu), speedScale * (c.e + std::cos(nu)), 0.0};
  for (Vector3* v : {&position, &velocity}) {
    v->rotate({0.0, 0.0, 1.0}, c.omega * kDegree);
    v->rotate({1.0, 0.0, 0.0}, c.i * kDegree);
    v->rotate({0.0, 0.0, 1.0}, c.node * kDegree);
  }
  return {position, velocity};
}

[[maybe_unused]] void PrintTo(const ElementsCase& c, std::ostream* os) { *os << c.name; }

class Elements : public testing::TestWithParam<ElementsCase> {};

TEST_P(Elements, RecoveredFromTheState) {
  const ElementsCase& c = GetParam();
  const InertialState s = stateOf(c);
  const KeplerElements k = elementsOf(s.position, s.velocity, kSunGM);
  EXPECT_NEAR(k.a / kAstronomicalUnit, c.a, 1e-9 * std::fabs(c.a));
  EXPECT_NEAR(k.e, c.e, 1e-11);
  EXPECT_NEAR(k.q / kAstronomicalUnit, c.a * (1.0 - c.e), 1e-9);
  EXPECT_NEAR(k.i / kDegree, c.i, 1e-8);
  EXPECT_NEAR(std::remainder(k.omega / kDegree - c.omega, 360.0), 0.0, 1e-7);
  EXPECT_NEAR(std::remainder(k.node / kDegree - c.node, 360.0), 0.0, 1e-7);
  EXPECT_NEAR(std::remainder(k.trueAnomaly / kDegree - c.trueAnomaly, 360.0), 0.0, 1e-7);
  for (double angle : {k.omega, k.node, k.trueAnomaly}) {
    EXPECT_GE(angle, 0.0);
    EXPECT_LT(angle, 2.0 * 3.14159265358979323846);
  }
}

INSTANTIATE_TEST_SUITE_P(Orbit, Elements,
                         testing::Values(ElementsCase{"Halley", 17.92863504856923, 0.9679359956953211, 162.19053,
                                                      112.24143, 59.09895, 30.0},
                                         ElementsCase{"Encke", 2.215, 0.8483, 11.78, 186.54, 334.57, 200.0},
                                         ElementsCase{"Hyperbola", -1.5, 1.3, 40.0, 250.0, 100.0, 300.0},
                                         ElementsCase{"EarthLike", 1.0, 0.0167, 5.0, 100.0, 200.0, 150.0},
                                         ElementsCase{"Polar", 3.0, 0.5, 90.0, 10.0, 350.0, 5.0}),
                         [](const testing::TestParamInfo<ElementsCase>& info) { return std::string(info.param.name); });

// 1P/Halley: T_J = -0.598 (JPL Small-Body Database, from the elements above).
TEST(Tisserand, HalleysPublishedValue) {
  EXPECT_NEAR(tisserandJupiter(17.92863504856923, 0.9679359956953211, 162.1905300439129), -0.598, 0.001);
}

// Jupiter itself: 3 (Murray & Dermott 1999, section 6.8).
TEST(Tisserand, JupiterIsThree) { EXPECT_NEAR(tisserandJupiter(kJupiterSemiMajorAxis, 0.0, 0.0), 3.0, 1e-12); }

// ------------------------------------------------------------ circular spread

struct SpreadCase {
  const char* name;
  std::vector<double> angles;  // degrees
  double sigma;                // degrees
  double tolerance;            // degrees
};

[[maybe_unused]] void PrintTo(const SpreadCase& c, std::ostream* os) { *os << c.name; }

class CircularSigma : public testing::TestWithParam<SpreadCase> {};

TEST_P(CircularSigma, OfAngles) {
  const SpreadCase& c = GetParam();
  EXPECT_NEAR(circularSigmaDegrees(c.angles), c.sigma, c.tolerance);
}

// Small spreads: the population standard deviation of the offsets from the
// mean (sqrt(2.5) for offsets -2, -1, 1, 2), wherever they sit on the circle.
INSTANTIATE_TEST_SUITE_P(
    Orbit, CircularSigma,
    testing::Values(SpreadCase{"AcrossZero", {358.0, 359.0, 1.0, 2.0}, std::sqrt(2.5), 1e-3},
                    SpreadCase{"AcrossOneEighty", {178.0, 179.0, 181.0, 182.0}, std::sqrt(2.5), 1e-3},
                    SpreadCase{"AllEqual", {42.0, 42.0, 42.0}, 0.0, 1e-6},
                    SpreadCase{"OneAngle", {10.0}, 0.0, 0.0},
                    SpreadCase{"None", {}, 0.0, 0.0},
                    // Two angles 90 degrees apart: R = cos 45 deg, sigma = sqrt(ln 2) rad.
                    SpreadCase{"QuarterTurn", {0.0, 90.0}, std::sqrt(std::log(2.0)) / kDegree, 1e-9}),
    [](const testing::TestParamInfo<SpreadCase>& info) { return std::string(info.param.name); });

// Angles that cancel have no mean direction: a spread beyond the whole circle.
TEST(CircularSigma, OppositeAnglesSpreadBeyondTheCircle) {
  EXPECT_GT(circularSigmaDegrees({0.0, 180.0}), 360.0);
  EXPECT_GT(circularSigmaDegrees({0.0, 120.0, 240.0}), 360.0);
}

}  // namespace
}  // namespace sightline
