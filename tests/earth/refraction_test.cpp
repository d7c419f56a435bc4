#include "earth/refraction.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include <cmath>

#include "geometry/angles.hpp"

namespace sightline {
namespace {

struct StandardCase {
  double elevation;
  double refraction;
};

[[maybe_unused]] void PrintTo(const StandardCase& c, std::ostream* os) { *os << "elevation " << c.elevation; }

class StandardRefraction : public ::testing::TestWithParam<StandardCase> {};

TEST_P(StandardRefraction, PublishedValues) {
  EXPECT_NEAR(standardRefraction(GetParam().elevation), GetParam().refraction, 5e-8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StandardRefraction,
    ::testing::Values(StandardCase{90, 0}, StandardCase{60, 0.0093416}, StandardCase{45, 0.0161649},
                      StandardCase{30, 0.0279191}, StandardCase{10, 0.0876303}, StandardCase{5, 0.1508474},
                      StandardCase{3.7264, 0.1656977}, StandardCase{2, -0.0739363},
                      StandardCase{1, -3.3764843}, StandardCase{0.5, -32.5839842}, StandardCase{-1, 3.3764843}),
                         sightline::testing::ReadableName());

TEST(StandardRefraction, ChangesSignNearTwoDegrees) {
  EXPECT_GT(standardRefraction(2.16), 0.0);
  EXPECT_LT(standardRefraction(2.15), 0.0);
}

TEST(Refractivity, DispersionAndBaseValue) {
  EXPECT_NEAR(airRefractivity(5.8e-7), 2.91886681e-4, 1e-12);
  EXPECT_NEAR(airRefractivity(6.33e-7), 2.91148486e-4, 1e-12);
  EXPECT_NEAR(refractivityAtBase(), 2.81078156e-4, 1e-12);
}

struct IndexCase {
  double height;
  double index;
};

[[maybe_unused]] void PrintTo(const IndexCase& c, std::ostream* os) { *os << "height " << c.height; }

class RefractiveIndex : public ::testing::TestWithParam<IndexCase> {};

TEST_P(RefractiveIndex, PublishedValues) {
  EXPECT_NEAR(refractiveIndexAt(GetParam().height), GetParam().index, 5e-10);
}

INSTANTIATE_TEST_SUITE_P(Table, RefractiveIndex,
                         ::testing::Values(IndexCase{0, 1.000281078}, IndexCase{1000, 1.000254631},
                                           IndexCase{10000, 1.000092662}),
                         sightline::testing::ReadableName());

TEST(RefractiveIndex, ExactlyOneAtAndAboveTheTopOfTheModel) {
  EXPECT_EQ(refractiveIndexAt(283.15 / 0.0065), 1.0);
  EXPECT_EQ(refractiveIndexAt(43561.54), 1.0);
  EXPECT_EQ(refractiveIndexAt(1e7), 1.0);
  EXPECT_GT(refractiveIndexAt(43000), 1.0);
  EXPECT_GT(refractiveIndexAt(-100), refractiveIndexAt(0));
}

struct TraceCase {
  double z0, height, targetAngle;
  double zenith;
  std::int64_t steps;
};

[[maybe_unused]] void PrintTo(const TraceCase& c, std::ostream* os) { *os << "z0 " << c.z0 << " h " << c.height << " target " << c.targetAngle; }

class Trace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(Trace, PublishedResultsAndStepCounts) {
  const auto& c = GetParam();
  const TraceOutcome out = traceRefractionOutcome(c.z0, c.height, 6378137.0, c.targetAngle);
  EXPECT_NEAR(out.zenith, c.zenith, 5e-8);
  EXPECT_EQ(out.steps, c.steps);
  EXPECT_EQ(traceRefraction(c.z0, c.height, 6378137.0, c.targetAngle), out.zenith);
}

INSTANTIATE_TEST_SUITE_P(Table, Trace,
                         ::testing::Values(TraceCase{degToRad(80), 100, 0.05, 1.3975758, 6440},
                                           TraceCase{degToRad(45), 0, 0.01, 0.78564254, 6472},
                                           TraceCase{degToRad(89), 0, 0.03, 1.5556861, 577}),
                         sightline::testing::ReadableName());

TEST(Trace, FirstExampleEndsAt64500Metres) {
  // 6440 steps of 10 m from 100 m above the base radius.
  EXPECT_EQ(100 + 10 * traceRefractionOutcome(degToRad(80), 100, 6378137.0, 0.05).steps, 64500);
  EXPECT_NEAR(radToDeg(traceRefraction(degToRad(80), 100, 6378137.0, 0.05)), 80.075196, 5e-7);
}

TEST(Trace, NoTargetAngleGivesTheHorizon) {
  for (const double target : {0.0, -0.1, std::nan("")}) {
    const TraceOutcome out = traceRefractionOutcome(degToRad(60), 0, 6378137.0, target);
    EXPECT_EQ(out.zenith, kPi / 2);
    EXPECT_EQ(out.steps, 0);
  }
}

TEST(Trace, BelowTheHorizonTheFirstStepSweepsTwiceTheDepression) {
  // Apparent zenith 92 deg: the first step alone sweeps a little over 4 deg.
  const double z0 = degToRad(92);
  EXPECT_EQ(traceRefractionOutcome(z0, 0, 6378137.0, degToRad(4.00255)).steps, 1);
  EXPECT_EQ(traceRefractionOutcome(z0, 0, 6378137.0, degToRad(4.0026)).steps, 2);
}

TEST(Trace, UnreachableTargetEndsAndLeavesTheSightingUncorrected) {
  // Straight up the ray sweeps nothing; at 30 deg it can never sweep 1 rad.
  const TraceOutcome up = traceRefractionOutcome(0.0, 0, 6378137.0, 0.1);
  EXPECT_EQ(up.zenith, 0.0);
  EXPECT_EQ(up.steps, 1);
  const TraceOutcome far = traceRefractionOutcome(degToRad(30), 0, 6378137.0, 1.0);
  EXPECT_EQ(far.zenith, degToRad(30));
  EXPECT_EQ(far.steps, kMaxTraceSteps);
  // A radius so large that r + 10 rounds to r stops at once.
  EXPECT_EQ(traceRefraction(1.0, 0, 1e300, 0.1), 1.0);
}

TEST(Trace, EndBelowTheHorizontalPlaneIsTheStraightLinesZenith) {
  // Negative apparent elevation: the ray dips, so its end can lie below the
  // ViewPoint's horizontal plane; the zenith angle is then above pi/2.
  const double z0 = degToRad(91);
  const double result = traceRefraction(z0, 2000, 6378137.0, degToRad(0.5));
  EXPECT_GT(result, kPi / 2);
  EXPECT_LT(result, kPi);
  // Cross-check with the straight line to the ray's end from the outcome's geometry.
  const TraceOutcome out = traceRefractionOutcome(z0, 2000, 6378137.0, degToRad(0.5));
  EXPECT_EQ(out.zenith, result);
}

}  // namespace
}  // namespace sightline
