#include "geometry/least_squares.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace sightline {
namespace {

void add(LeastSquaresSystem& s, double a0, double a1, double b) {
  const double a[2] = {a0, a1};
  s.addEquation(a, b);
}

TEST(LeastSquaresSystem, ConsistentEquationsAndTheirFactor) {
  LeastSquaresSystem s(2);
  add(s, 1, 1, 3);
  add(s, 1, -1, 1);
  add(s, 1, 0, 2);
  double x[2] = {0, 0};
  ASSERT_EQ(s.solve(x), 1);
  EXPECT_NEAR(x[0], 2.0, 1e-15);
  EXPECT_NEAR(x[1], 1.0, 1e-15);
  EXPECT_NEAR(s.rows[0][0], std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(s.rows[0][1], 0.0, 1e-15);
  EXPECT_NEAR(s.rows[0][2], 2 * std::sqrt(3.0), 1e-15);
  EXPECT_EQ(s.rows[1][0], 0.0);
  EXPECT_NEAR(s.rows[1][1], std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(s.rows[1][2], std::sqrt(2.0), 1e-15);
  EXPECT_EQ(s.equationCount, 3);
}

TEST(LeastSquaresSystem, NegativeLeadingCoefficientEntersNegated) {
  LeastSquaresSystem s(2);
  add(s, -2, 1, 4);
  EXPECT_EQ(s.rows[0][0], 2.0);
  EXPECT_EQ(s.rows[0][1], -1.0);
  EXPECT_EQ(s.rows[0][2], -4.0);
}

TEST(LeastSquaresSystem, FailuresLeaveTheSolutionUntouched) {
  double x[2] = {9, 9};
  LeastSquaresSystem tooFew(2);
  add(tooFew, 1, 2, 3);
  EXPECT_EQ(tooFew.solve(x), 0);

  LeastSquaresSystem dependent(2);
  add(dependent, 1, 2, 3);
  add(dependent, 1, 2, 5);
  add(dependent, 1, 2, -1);
  EXPECT_EQ(dependent.solve(x), 0);

  LeastSquaresSystem unusedUnknown(2);
  add(unusedUnknown, 1, 0, 3);
  add(unusedUnknown, 2, 0, 5);
  EXPECT_EQ(unusedUnknown.solve(x), 0);
  EXPECT_EQ(x[0], 9.0);
  EXPECT_EQ(x[1], 9.0);
}

TEST(LeastSquaresSystem, ZeroEquationCountsButChangesNothing) {
  LeastSquaresSystem s(2);
  add(s, 1, 1, 3);
  add(s, 0, 0, 0);
  EXPECT_EQ(s.equationCount, 2);
  EXPECT_EQ(s.rows[0][0], 1.0);
  EXPECT_EQ(s.rows[1][1], 0.0);
}

TEST(LeastSquaresSystem, ResizeAndClear) {
  LeastSquaresSystem s(2);
  add(s, 1, 1, 3);
  s.resize(2);  // same size: cleared
  EXPECT_EQ(s.equationCount, 0);
  EXPECT_EQ(s.rows[0][0], 0.0);
  add(s, 1, 1, 3);
  s.resize(0);  // ignored
  EXPECT_EQ(s.unknowns, 2);
  EXPECT_EQ(s.equationCount, 1);
  s.resize(3);
  EXPECT_EQ(s.unknowns, 3);
  EXPECT_EQ(s.rows.size(), 4u);
  EXPECT_EQ(s.rows[3].size(), 4u);
  EXPECT_EQ(s.equationCount, 0);
  LeastSquaresSystem none(0);
  EXPECT_EQ(none.unknowns, 0);
  add(none, 1, 1, 1);  // without storage an equation is ignored
  EXPECT_EQ(none.equationCount, 0);
}

TEST(LeastSquaresSystem, OverdeterminedGivesLeastSquares) {
  // y = a + b t through (0, 1), (1, 2), (2, 2): a = 7/6, b = 1/2.
  LeastSquaresSystem s(2);
  add(s, 1, 0, 1);
  add(s, 1, 1, 2);
  add(s, 1, 2, 2);
  double x[2];
  ASSERT_EQ(s.solve(x), 1);
  EXPECT_NEAR(x[0], 7.0 / 6, 1e-15);
  EXPECT_NEAR(x[1], 0.5, 1e-15);
}

}  // namespace
}  // namespace sightline
