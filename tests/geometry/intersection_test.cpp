#include "geometry/intersection.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

#include <ostream>

#include "geometry/closest_approach.hpp"

namespace sightline {
namespace {

TEST(Viewline, PointAt) {
  const Viewline line(Vector3(1, 2, 3), Vector3(0, 0, 2));
  EXPECT_EQ(line.pointAt(0), Vector3(1, 2, 3));
  EXPECT_EQ(line.pointAt(1), Vector3(1, 2, 5));
  EXPECT_EQ(line.pointAt(-2), Vector3(1, 2, -1));
  EXPECT_EQ(Viewline(Vector3(1, 2, 3), Vector3()).pointAt(7), Vector3(1, 2, 3));
  const Viewline empty;
  EXPECT_EQ(empty.origin, Vector3());
  EXPECT_EQ(empty.direction, Vector3());
  const Viewplane plane;
  EXPECT_EQ(plane.direction2, Vector3());
}

struct IntersectCase {
  const char* name;
  Viewplane plane;
  Viewline line;
  Vector3 expected;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const IntersectCase& c, std::ostream* os) { *os << c.name; }

class Intersect : public ::testing::TestWithParam<IntersectCase> {};

TEST_P(Intersect, MeetsOrGivesOrigin) {
  const auto& c = GetParam();
  EXPECT_EQ(intersect(c.plane, c.line), c.expected) << c.name;
}

const Vector3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

INSTANTIATE_TEST_SUITE_P(
    Table, Intersect,
    ::testing::Values(
        IntersectCase{"ahead", {{0, 0, 5}, kX, kY}, {{0, 0, 0}, kZ}, {0, 0, 5}},
        IntersectCase{"downward", {{0, 0, 0}, kX, kY}, {{1, 2, 3}, {0, 0, -1}}, {1, 2, 0}},
        IntersectCase{"behind the origin", {{0, 0, -5}, kX, kY}, {{0, 0, 0}, kZ}, {0, 0, -5}},
        IntersectCase{"scaled directions", {{0, 0, 5}, {3, 0, 0}, {0, -2, 0}}, {{0, 0, 0}, {0, 0, 4}}, {0, 0, 5}},
        IntersectCase{"parallel", {{0, 0, 0}, kX, kY}, {{0, 0, 1}, kX}, {0, 0, 0}},
        IntersectCase{"equal plane directions", {{0, 0, 5}, kX, kX}, {{0, 0, 0}, kZ}, {0, 0, 0}},
        IntersectCase{"zero plane direction", {{0, 0, 5}, kX, {0, 0, 0}}, {{0, 0, 0}, kZ}, {0, 0, 0}},
        IntersectCase{"zero line direction", {{0, 0, 5}, kX, kY}, {{0, 0, 0}, {0, 0, 0}}, {0, 0, 0}}),
    sightline::testing::ReadableName());

TEST(ClosestApproach, SkewLinesGiveTheCommonPerpendicular) {
  Vector3 a, b;
  ASSERT_EQ(closestApproach(Viewline({0, 0, 0}, kX), Viewline({0, 1, 1}, kZ), a, b), 1);
  EXPECT_EQ(a, Vector3(0, 0, 0));
  EXPECT_EQ(b, Vector3(0, 1, 0));
  EXPECT_EQ(distance(a, b), 1.0);
}

TEST(ClosestApproach, MeetingLinesGiveTheMeetingPoint) {
  Vector3 a, b;
  ASSERT_EQ(closestApproach(Viewline({0, 0, 0}, kX), Viewline({5, -3, 0}, kY), a, b), 1);
  EXPECT_EQ(a, Vector3(5, 0, 0));
  EXPECT_EQ(b, Vector3(5, 0, 0));
}

struct FailCase {
  Vector3 dA, dB;
};

[[maybe_unused]] void PrintTo(const FailCase& c, std::ostream* os) { *os << "dA " << sightline::testing::vectorText(c.dA) << " dB " << sightline::testing::vectorText(c.dB); }

class ClosestApproachFails : public ::testing::TestWithParam<FailCase> {};

TEST_P(ClosestApproachFails, LeavesOutputsUntouched) {
  Vector3 a(7, 7, 7), b(8, 8, 8);
  EXPECT_EQ(closestApproach(Viewline({0, 0, 0}, GetParam().dA), Viewline({0, 1, 1}, GetParam().dB), a, b), 0);
  EXPECT_EQ(a, Vector3(7, 7, 7));
  EXPECT_EQ(b, Vector3(8, 8, 8));
}

INSTANTIATE_TEST_SUITE_P(Table, ClosestApproachFails,
                         ::testing::Values(FailCase{kX, kX}, FailCase{kZ, {0, 0, -1}}, FailCase{{0, 0, 0}, kZ},
                                           FailCase{kX, {0, 0, 0}}),
                         sightline::testing::ReadableName());

}  // namespace
}  // namespace sightline
