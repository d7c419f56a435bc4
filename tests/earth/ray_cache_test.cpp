#include "earth/ray_cache.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include <cmath>
#include <cstring>
#include <random>

#include "earth/refraction.hpp"
#include "geometry/angles.hpp"

namespace sightline {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct RayCase {
  double z0Degrees, height, baseRadius;
};

[[maybe_unused]] void PrintTo(const RayCase& c, std::ostream* os) { *os << "z0 " << c.z0Degrees << " h " << c.height << " base " << c.baseRadius; }

class TracedRayMatchesTrace : public ::testing::TestWithParam<RayCase> {};

// Any sequence of target angles, rising or falling, gives the plain trace's bits.
TEST_P(TracedRayMatchesTrace, ForAnyOrderOfTargets) {
  const auto& c = GetParam();
  const double z0 = degToRad(c.z0Degrees);
  ShellProfile shells(c.height, c.baseRadius);
  TracedRay ray(z0);
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> angle(-0.01, 0.12);
  for (int k = 0; k < 40; ++k) {
    const double target = k == 7 ? std::nan("") : angle(random);
    const double expected = traceRefraction(z0, c.height, c.baseRadius, target);
    const double got = ray.trueZenith(shells, target);
    ASSERT_TRUE(sameBits(got, expected)) << "target " << target << ": " << got << " vs " << expected;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, TracedRayMatchesTrace,
                         ::testing::Values(RayCase{80, 100, 6378137.0}, RayCase{45, 0, 6378137.0},
                                           RayCase{89, 0, 6378137.0}, RayCase{92, 0, 6378137.0},
                                           RayCase{91, 2000, 6364000.0}, RayCase{0, 0, 6378137.0},
                                           RayCase{3, 350, 6371000.0}, RayCase{-10, 0, 6378137.0},
                                           RayCase{60, -500, 6356752.0}, RayCase{170, 0, 6378137.0}),
                         sightline::testing::ReadableName());

TEST(TracedRay, SharesOneProfileBetweenRays) {
  ShellProfile shells(100, 6378137.0);
  TracedRay low(degToRad(85)), high(degToRad(40));
  for (const double target : {0.02, 0.05, 0.01, 0.08}) {
    EXPECT_TRUE(sameBits(low.trueZenith(shells, target), traceRefraction(degToRad(85), 100, 6378137.0, target)));
    EXPECT_TRUE(sameBits(high.trueZenith(shells, target), traceRefraction(degToRad(40), 100, 6378137.0, target)));
  }
}

TEST(TracedRay, StepsOnlyWhereItHasNotBeen) {
  ShellProfile shells(100, 6378137.0);
  TracedRay ray(degToRad(80));
  ray.trueZenith(shells, 0.05);
  EXPECT_EQ(ray.steps(), 6440u);
  ray.trueZenith(shells, 0.03);
  EXPECT_EQ(ray.steps(), 6440u);
}

TEST(TracedRay, UnreachableTargetStopsAtTheStepLimit) {
  ShellProfile shells(0, 6378137.0);
  TracedRay ray(degToRad(30));
  EXPECT_EQ(ray.trueZenith(shells, 1.0), degToRad(30));
  EXPECT_EQ(ray.steps(), static_cast<std::size_t>(kMaxTraceSteps));
  EXPECT_EQ(ray.trueZenith(shells, 2.0), degToRad(30));
  EXPECT_EQ(ray.steps(), static_cast<std::size_t>(kMaxTraceSteps));
}

}  // namespace
}  // namespace sightline
