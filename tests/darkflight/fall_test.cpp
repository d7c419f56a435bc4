// Falls against an independent integration in the other frame: a fixed-step
// RK4 written here, in an inertial frame whose air turns with the Earth
// (omega x r plus the wind), with the landing found by halving the last step.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "darkflight/constants.hpp"
#include "darkflight/fall.hpp"
#include "darkflight/strewn_field.hpp"
#include "earth/frames.hpp"

namespace sightline::darkflight {
namespace {

/// Turns `v` by `angle` radians about the z axis.
Vector3 turned(const Vector3& v, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return Vector3(c * v.x - s * v.y, s * v.x + c * v.y, v.z);
}

/// The inertial frame coincides with the Earth-fixed one at t = 0.
struct InertialFall {
  Body body;
  Surroundings surroundings;
  double ground = 0.0;

  /// d(r, v)/dt in the inertial frame at time t.
  void rate(double t, const Vector3& r, const Vector3& v, Vector3& dr, Vector3& dv) const {
    const Vector3 fixed = turned(r, -kOmega * t);
    const GeodeticPosition p = toGeodetic(fixed);
    const AirSample air = (surroundings.air != nullptr ? *surroundings.air : AirProfile()).at(p.height);
    const Vector3 airVelocity = cross(Vector3(0.0, 0.0, kOmega), r) + turned(windAt(surroundings, fixed), kOmega * t);
    dr = v;
    dv = gravitation(r) + dragAcceleration(body, air, v - airVelocity);
  }

  void step(double t, double h, Vector3& r, Vector3& v) const {
    Vector3 k1r, k1v, k2r, k2v, k3r, k3v, k4r, k4v;
    rate(t, r, v, k1r, k1v);
    rate(t + h / 2, r + (h / 2) * k1r, v + (h / 2) * k1v, k2r, k2v);
    rate(t + h / 2, r + (h / 2) * k2r, v + (h / 2) * k2v, k3r, k3v);
    rate(t + h, r + h * k3r, v + h * k3v, k4r, k4v);
    r = r + (h / 6) * (k1r + 2.0 * k2r + 2.0 * k3r + k4r);
    v = v + (h / 6) * (k1v + 2.0 * k2v + 2.0 * k3v + k4v);
  }

  double above(double t, const Vector3& r) const { return toGeodetic(turned(r, -kOmega * t)).height - ground; }

  /// The Earth-fixed landing point (ECEF) and time.
  Vector3 land(const State& start, double dt, double& time) const {
    Vector3 r(start[0], start[1], start[2]);
    Vector3 v = Vector3(start[3], start[4], start[5]) + cross(Vector3(0.0, 0.0, kOmega), r);
    double t = 0.0;
    for (;;) {
      Vector3 r1 = r, v1 = v;
      step(t, dt, r1, v1);
      if (above(t + dt, r1) > 0.0) {
        r = r1, v = v1, t += dt;
        continue;
      }
      double lo = 0.0, hi = dt;
      for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        Vector3 rm = r, vm = v;
        step(t, mid, rm, vm);
        (above(t + mid, rm) > 0.0 ? lo : hi) = mid;
      }
      step(t, lo, r, v);
      time = t + lo;
      return turned(r, -kOmega * time);
    }
  }
};

struct FrameCase {
  const char* name;
  double mass;         ///< kg
  double shapeFactor;  ///< 0: a vacuum
  double windSpeed;    ///< m/s from 300 degrees, at every height
  double elevation;    ///< degrees
};
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class FramesAgree : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FramesAgree, EarthFixedOdeintAgainstInertialRk4ToACentimetre) {
  const FrameCase& c = GetParam();
  const AirProfile profile({AirLevel{-100.0, 290.0, 101000.0, c.windSpeed, 300.0},
                            AirLevel{40000.0, 250.0, 300.0, c.windSpeed, 300.0}});
  const Surroundings surroundings{&profile, nullptr, 0.0, 0.0};
  const Body body{c.mass, 3500.0, c.shapeFactor};
  const StartState startState{0.0, GeodeticPosition{-29.3, 137.5, 25000.0}, 262.0, c.elevation, 3000.0};
  const State start = startVector(startState);
  FallSettings settings;
  const Landing landing = fall(start, body, surroundings, settings);
  ASSERT_TRUE(landing.landed);
  double time = 0.0;
  const Vector3 truth = InertialFall{body, surroundings, 0.0}.land(start, 0.01, time);
  EXPECT_LT(distance(toEcef(landing.position), truth), 0.01) << "time of flight " << landing.timeOfFlight;
  EXPECT_NEAR(landing.timeOfFlight, time, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Falls, FramesAgree,
                         ::testing::Values(FrameCase{"HeavyBodyInAVacuum", 1e6, 0.0, 0.0, 45.0},
                                           FrameCase{"VeryHeavyBodyThroughStillAir", 1e5, 1.21, 0.0, 68.0},
                                           FrameCase{"OneKilogramInAWind", 1.0, 1.21, 20.0, 68.0},
                                           FrameCase{"TenGramBrickInAWind", 0.01, 2.7, 20.0, 30.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fall, AVacuumFallKeepsItsEnergyInTheTurningFrame) {
  // In the Earth-fixed frame, v^2/2 - GM/r (with J2) - (w x r)^2/2 is the Jacobi constant: the Coriolis force does no work.
  const Body body{1.0, 3500.0, 0.0};
  const StartState s{0.0, GeodeticPosition{45.0, 10.0, 30000.0}, 90.0, 30.0, 2000.0};
  const State start = startVector(s);
  const Landing landing = fall(start, body, Surroundings{}, FallSettings{});
  ASSERT_TRUE(landing.landed);
  auto jacobi = [](const Vector3& r, double speed) {
    const double r2 = dot(r, r), rr = std::sqrt(r2);
    const double potential = -kGM / rr * (1.0 - kJ2 * kEquatorialRadius * kEquatorialRadius / r2 * (1.5 * r.z * r.z / r2 - 0.5));
    const double spin = kOmega * kOmega * (r.x * r.x + r.y * r.y) / 2.0;
    return speed * speed / 2.0 + potential - spin;
  };
  EXPECT_NEAR(jacobi(toEcef(landing.position), landing.impactSpeed), jacobi(Vector3(start[0], start[1], start[2]), 2000.0), 1e-2);  // J/kg: a millimetre of height
}

/// East and north (metres) of `b` from `a` in a's horizon.
std::pair<double, double> offset(const GeodeticPosition& a, const GeodeticPosition& b) {
  const LocalFrame f = localFrame(a);
  const Vector3 d = toEcef(b) - toEcef(a);
  return {dot(d, f.east), dot(d, f.north)};
}

struct WindCase {
  const char* name;
  double from;                 ///< degrees
  double eastSign, northSign;  ///< where the drift must go
};
void PrintTo(const WindCase& c, std::ostream* os) { *os << c.name; }

class ConstantWind : public ::testing::TestWithParam<WindCase> {};

TEST_P(ConstantWind, CarriesTheStoneDownwind) {
  const WindCase& c = GetParam();
  const AirProfile windy({AirLevel{0.0, 288.0, 101325.0, 15.0, c.from}, AirLevel{30000.0, 226.0, 1197.0, 15.0, c.from}});
  const AirProfile still({AirLevel{0.0, 288.0, 101325.0, 0.0, 0.0}, AirLevel{30000.0, 226.0, 1197.0, 0.0, 0.0}});
  const State start = startVector(StartState{0.0, GeodeticPosition{10.0, 20.0, 20000.0}, 0.0, 90.0, 1000.0});
  const Body body{0.1, 3500.0, 1.21};
  const Landing a = fall(start, body, Surroundings{&still}, FallSettings{});
  const Landing b = fall(start, body, Surroundings{&windy}, FallSettings{});
  ASSERT_TRUE(a.landed && b.landed);
  const auto [east, north] = offset(a.position, b.position);
  const double drift = std::hypot(east, north);
  // Drifting with the air for most of a flight of a few minutes: roughly the wind times the time of flight.
  EXPECT_GT(drift, 0.5 * 15.0 * b.timeOfFlight);
  EXPECT_LT(drift, 1.1 * 15.0 * b.timeOfFlight);
  if (c.eastSign != 0.0) {
    EXPECT_GT(c.eastSign * east, 0.9 * drift);
  }
  if (c.northSign != 0.0) {
    EXPECT_GT(c.northSign * north, 0.9 * drift);
  }
}

INSTANTIATE_TEST_SUITE_P(Directions, ConstantWind,
                         ::testing::Values(WindCase{"WesterlyBlowsEast", 270.0, 1.0, 0.0},
                                           WindCase{"NortherlyBlowsSouth", 0.0, 0.0, -1.0},
                                           WindCase{"EasterlyBlowsWest", 90.0, -1.0, 0.0},
                                           WindCase{"SoutherlyBlowsNorth", 180.0, 0.0, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Ellipse95, AxesAndAzimuthOfKnownCovariances) {
  const Ellipse95 northSouth = ellipse95(1.0, 0.0, 4.0);
  EXPECT_NEAR(northSouth.semiMajor, std::sqrt(5.991 * 4.0), 1e-12);
  EXPECT_NEAR(northSouth.semiMinor, std::sqrt(5.991), 1e-12);
  EXPECT_NEAR(northSouth.azimuth, 0.0, 1e-9);
  EXPECT_NEAR(ellipse95(4.0, 0.0, 1.0).azimuth, 90.0, 1e-9);
  // Equal variances and a positive covariance: the major axis runs north-east.
  const Ellipse95 diagonal = ellipse95(2.0, 1.0, 2.0);
  EXPECT_NEAR(diagonal.azimuth, 45.0, 1e-9);
  EXPECT_NEAR(diagonal.semiMajor, std::sqrt(5.991 * 3.0), 1e-12);
  EXPECT_NEAR(ellipse95(2.0, -1.0, 2.0).azimuth, 135.0, 1e-9);
}

TEST(StrewnField, SameSeedSameFieldWhateverTheThreads) {
  DarkFlightInput input;
  input.start = StartState{0.0, GeodeticPosition{-29.27, 137.48, 18000.0}, 262.6, 68.2, 3100.0};
  input.masses = {0.01, 1.0};
  MonteCarloSettings mc;
  mc.draws = 24;
  mc.seed = 7;
  mc.spreads.east = mc.spreads.north = mc.spreads.up = 100.0;
  mc.spreads.speed = 300.0;
  mc.spreads.direction = 0.02;
  const auto line = fallLine(input);
  mc.threads = 1;
  const auto one = strewnField(input, mc, line);
  mc.threads = 2;
  const auto two = strewnField(input, mc, line);
  ASSERT_EQ(one.size(), 2u);
  for (std::size_t m = 0; m < one.size(); ++m) {
    EXPECT_EQ(one[m].draws, 24);
    EXPECT_EQ(one[m].centre.latitude, two[m].centre.latitude);
    EXPECT_EQ(one[m].centre.longitude, two[m].centre.longitude);
    EXPECT_EQ(one[m].ellipse.semiMajor, two[m].ellipse.semiMajor);
    EXPECT_GT(one[m].ellipse.semiMajor, 0.0);
  }
  mc.seed = 8;
  EXPECT_NE(strewnField(input, mc, line)[0].centre.latitude, one[0].centre.latitude);
}

TEST(StrewnField, DefaultMassesRunFromAGramToAHundredKilograms) {
  const auto masses = defaultMasses();
  ASSERT_EQ(masses.size(), 26u);
  EXPECT_NEAR(masses.front(), 1e-3, 1e-18);
  EXPECT_NEAR(masses[5], 1e-2, 1e-15);
  EXPECT_NEAR(masses.back(), 100.0, 1e-12);
}

}  // namespace
}  // namespace sightline::darkflight
