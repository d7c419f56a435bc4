#include "uncertainty/statistics.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <string>
#include <vector>

namespace sightline {
namespace {

struct WrapCase {
  std::string name;
  double angle, wrapped;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class WrapDegrees : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapDegrees, ReducesToOneTurnAroundZero) {
  EXPECT_NEAR(wrapDegrees(GetParam().angle), GetParam().wrapped, 1e-12);
  EXPECT_GE(wrapDegrees(GetParam().angle), -180.0);
  EXPECT_LT(wrapDegrees(GetParam().angle), 180.0);
}

INSTANTIATE_TEST_SUITE_P(Angles, WrapDegrees,
                         ::testing::Values(WrapCase{"Zero", 0, 0}, WrapCase{"SmallPositive", 0.25, 0.25},
                                           WrapCase{"SmallNegative", -0.25, -0.25},
                                           WrapCase{"AcrossNorthUp", 359.9 - 0.1, -0.2},
                                           WrapCase{"AcrossNorthDown", 0.1 - 359.9, 0.2},
                                           WrapCase{"AntimeridianEast", 179.95 - (-179.95), -0.1},
                                           WrapCase{"AntimeridianWest", -179.95 - 179.95, 0.1},
                                           WrapCase{"HalfTurnIsNegative", 180, -180},
                                           WrapCase{"ManyTurns", 3 * 360 + 10, 10},
                                           WrapCase{"ManyTurnsBack", -3 * 360 - 10, -10}),
                         [](const auto& info) { return info.param.name; });

TEST(Quantile, InterpolatesBetweenOrderStatistics) {
  const std::vector<double> values{5, 1, 4, 2, 3};  // unsorted on purpose
  EXPECT_DOUBLE_EQ(quantile(values, 0.0), 1);
  EXPECT_DOUBLE_EQ(quantile(values, 1.0), 5);
  EXPECT_DOUBLE_EQ(quantile(values, 0.5), 3);
  EXPECT_DOUBLE_EQ(quantile(values, 0.125), 1.5);
  EXPECT_DOUBLE_EQ(quantile(values, 0.975), 4.9);
  EXPECT_DOUBLE_EQ(quantile({7}, 0.025), 7);
  EXPECT_TRUE(std::isnan(quantile({}, 0.5)));
}

// On many evenly spread values the 2.5% and 97.5% quantiles sit where they should.
TEST(Quantile, BoundsTheMiddleNinetyFivePercent) {
  std::vector<double> values;
  for (int k = 0; k <= 1000; ++k) values.push_back(1000 - k);
  EXPECT_DOUBLE_EQ(quantile(values, 0.025), 25);
  EXPECT_DOUBLE_EQ(quantile(values, 0.975), 975);
}

TEST(StandardDeviation, UsesTheSampleDivisor) {
  EXPECT_DOUBLE_EQ(standardDeviation({2, 4, 4, 4, 5, 5, 7, 9}), std::sqrt(32.0 / 7));
  EXPECT_EQ(standardDeviation({3}), 0.0);
  EXPECT_EQ(standardDeviation({}), 0.0);
}

TEST(SpreadOf, MeanAndCovarianceOfCorrelatedPoints) {
  // x and y move together, z against x; (n - 1) divisor.
  const std::vector<Vector3> values{{1, 2, 0}, {3, 6, -2}, {5, 10, -4}};
  const Spread3 s = spreadOf(values);
  EXPECT_DOUBLE_EQ(s.mean.x, 3);
  EXPECT_DOUBLE_EQ(s.mean.y, 6);
  EXPECT_DOUBLE_EQ(s.mean.z, -2);
  const double expected[9] = {4, 8, -4, 8, 16, -8, -4, -8, 4};
  for (int k = 0; k < 9; ++k) EXPECT_DOUBLE_EQ(s.covariance[k], expected[k]) << "element " << k;
}

TEST(SpreadOf, OnePointHasNoSpread) {
  const Spread3 s = spreadOf({{1, 2, 3}});
  EXPECT_DOUBLE_EQ(s.mean.y, 2);
  for (double c : s.covariance) EXPECT_EQ(c, 0.0);
}

}  // namespace
}  // namespace sightline
