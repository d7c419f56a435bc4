// ISO 8601 times: what parses, to which second, and what is refused.
#include <gtest/gtest.h>

#include <ostream>

#include "trajectory/time.hpp"

namespace sightline {
namespace {

struct TimeCase {
  std::string name;
  std::string text;
  double seconds;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.name; }

class IsoTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(IsoTimes, Parse) {
  const auto t = parseIsoTime(GetParam().text);
  ASSERT_TRUE(t.has_value()) << GetParam().text;
  EXPECT_NEAR(*t, GetParam().seconds, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IsoTimes,
    ::testing::Values(TimeCase{"Epoch", "1970-01-01T00:00:00Z", 0.0},
                      TimeCase{"Fraction", "2026-11-14T21:03:07.25Z", 1794690187.25},
                      TimeCase{"SpaceAndNoZone", "2026-11-14 21:03:07.250000", 1794690187.25},
                      TimeCase{"Offset", "2026-11-14T22:03:07.25+01:00", 1794690187.25},
                      TimeCase{"NegativeOffset", "2026-11-14T16:03:07.25-0500", 1794690187.25},
                      TimeCase{"LeapDay", "2024-02-29T12:00:00Z", 1709208000.0},
                      TimeCase{"Before1970", "1969-12-31T23:59:59Z", -1.0}),
    [](const auto& info) { return info.param.name; });

class BadTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(BadTimes, AreRefused) { EXPECT_FALSE(parseIsoTime(GetParam().text).has_value()) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(Forms, BadTimes,
                         ::testing::Values(TimeCase{"Empty", "", 0}, TimeCase{"DateOnly", "2026-11-14", 0},
                                           TimeCase{"NoLeapDay", "2025-02-29T00:00:00Z", 0},
                                           TimeCase{"Hour24", "2026-11-14T24:00:00Z", 0},
                                           TimeCase{"Trailing", "2026-11-14T21:03:07Zx", 0},
                                           TimeCase{"BareDot", "2026-11-14T21:03:07.Z", 0},
                                           TimeCase{"Month13", "2026-13-01T00:00:00Z", 0}),
                         [](const auto& info) { return info.param.name; });

TEST(IsoTimes, FormatRoundTripsToTheMicrosecond) {
  for (double t : {0.0, 1794690187.25, 1794690187.000001, -1.5, 1709208000.0}) {
    const std::string text = formatIsoTime(t);
    const auto back = parseIsoTime(text);
    ASSERT_TRUE(back) << text;
    EXPECT_NEAR(*back, t, 1e-6) << text;
  }
  EXPECT_EQ(formatIsoTime(1794690187.25), "2026-11-14T21:03:07.25Z");
  EXPECT_EQ(formatIsoTime(0.0), "1970-01-01T00:00:00Z");
}

}  // namespace
}  // namespace sightline
