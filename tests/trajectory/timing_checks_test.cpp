// Timing checks: which sightings are flagged, with which code, for hand-made
// sets of times and directions.
#include "trajectory/timing_checks.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace sightline {
namespace {

/// An epoch near 2027 (s UTC) so the times look like the readers' times.
constexpr double kEventTime = 1.8e9;

struct Expected {
  std::string code;
  std::size_t station, index;
  bool error;
};

struct TimingCase {
  std::string name;
  std::vector<TimedSighting> sightings;
  std::optional<double> eventTime;
  std::vector<Expected> issues;
};

[[maybe_unused]] void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

class TimingChecks : public ::testing::TestWithParam<TimingCase> {};

TEST_P(TimingChecks, FlagTheRightSightings) {
  const TimingCase& c = GetParam();
  const std::vector<TimingIssue> issues = timingIssues(c.sightings, c.eventTime);
  ASSERT_EQ(issues.size(), c.issues.size());
  for (std::size_t i = 0; i < issues.size(); ++i) {
    EXPECT_EQ(issues[i].code, c.issues[i].code);
    EXPECT_EQ(issues[i].station, c.issues[i].station);
    EXPECT_EQ(issues[i].index, c.issues[i].index);
    EXPECT_EQ(issues[i].error, c.issues[i].error);
    // The text names the station and the sighting.
    EXPECT_NE(issues[i].text.find("station " + std::to_string(c.issues[i].station)), std::string::npos)
        << issues[i].text;
    EXPECT_NE(issues[i].text.find("sighting " + std::to_string(c.issues[i].index)), std::string::npos)
        << issues[i].text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimingChecks,
    ::testing::Values(
        TimingCase{
            "InOrder",
            {{0, 0, kEventTime, 100, 40}, {0, 1, kEventTime + 0.04, 101, 39}, {3, 0, kEventTime + 0.02, 200, 30}},
            kEventTime,
            {}},
        TimingCase{"BackwardsInOneStation",
                   {{0, 0, kEventTime, 100, 40},
                    {1, 0, kEventTime + 0.1, 10, 20},
                    {1, 1, kEventTime + 0.2, 11, 20},
                    {1, 2, kEventTime + 0.15, 12, 20}},
                   kEventTime,
                   {{"time-backwards", 1, 2, false}}},
        TimingCase{
            "SameTimeSameDirection", {{0, 0, kEventTime, 100, 40}, {0, 1, kEventTime, 100.1, 40}}, kEventTime, {}},
        TimingCase{"SameTimeTwoDirections",
                   {{0, 0, kEventTime, 100, 40}, {0, 1, kEventTime, 102, 40}},
                   kEventTime,
                   {{"same-time-different-direction", 0, 1, false}}},
        TimingCase{"SameTimeOtherStationsAreNotCompared",
                   {{0, 0, kEventTime, 100, 40}, {1, 0, kEventTime, 250, 10}},
                   kEventTime,
                   {}},
        TimingCase{"SameTimeAcrossNorth", {{2, 0, kEventTime, 359.9, 0}, {2, 1, kEventTime, 0.1, 0}}, kEventTime, {}},
        TimingCase{"SameTimeNearZenith", {{2, 0, kEventTime, 0, 89.9}, {2, 1, kEventTime, 180, 89.9}}, kEventTime, {}},
        TimingCase{"SpanOver60s",
                   {{0, 0, kEventTime, 100, 40}, {1, 0, kEventTime + 61, 10, 20}, {1, 1, kEventTime + 30, 11, 20}},
                   kEventTime,
                   {{"time-backwards", 1, 1, false}, {"time-span-over-60-s", 1, 0, false}}},
        TimingCase{"SpanOf60sExactly", {{0, 0, kEventTime, 100, 40}, {0, 1, kEventTime + 60, 10, 20}}, kEventTime, {}},
        TimingCase{"OneDayAndMoreFromTheEvent",
                   {{0, 0, kEventTime, 100, 40}, {0, 1, kEventTime + 0.1, 100, 40}, {4, 0, kEventTime - 90000, 5, 5}},
                   kEventTime,
                   {{"time-far-from-event", 4, 0, true}, {"time-span-over-60-s", 0, 1, false}}},
        TimingCase{"NoEventTimeNoDistanceCheck",
                   {{0, 0, kEventTime - 90000, 100, 40}, {0, 1, kEventTime - 90000 + 0.1, 100, 40}},
                   std::nullopt,
                   {}},
        TimingCase{"NotFinite",
                   {{0, 0, kEventTime, 100, 40}, {0, 1, std::numeric_limits<double>::quiet_NaN(), 100, 40}},
                   kEventTime,
                   {{"time-not-finite", 0, 1, true}}}),
    [](const auto& info) { return info.param.name; });

/// Angles between directions, against spherical trigonometry done by hand.
struct AngleCase {
  std::string name;
  double az1, el1, az2, el2, degrees;
};

[[maybe_unused]] void PrintTo(const AngleCase& c, std::ostream* os) { *os << c.name; }

class AngleBetween : public ::testing::TestWithParam<AngleCase> {};

TEST_P(AngleBetween, MatchesSphericalTrigonometry) {
  const AngleCase& c = GetParam();
  EXPECT_NEAR(angleBetween({0, 0, 0, c.az1, c.el1}, {0, 1, 0, c.az2, c.el2}), c.degrees, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, AngleBetween,
                         ::testing::Values(AngleCase{"NorthToEastOnHorizon", 0, 0, 90, 0, 90},
                                           AngleCase{"HorizonToZenith", 123, 0, 0, 90, 90},
                                           AngleCase{"OppositeAt45", 10, 45, 190, 45, 90},
                                           AngleCase{"AcrossNorth", 359.5, 0, 0.5, 0, 1},
                                           AngleCase{"SameAzimuth", 77, 10, 77, 30.25, 20.25},
                                           AngleCase{"Tiny", 200, 0, 200, 1e-6, 1e-6}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sightline
