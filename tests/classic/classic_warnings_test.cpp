// Warnings on standard error for doubtful classic files: one line each, naming
// the file and line; the report and the exit status stay as they were.
#include "classic/classic_warnings.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

#include "run_helpers.hpp"

namespace sightline {
namespace {

using testing::observationText;
using testing::runInProcess;
using testing::withLine;

const std::string kFour = observationText({"1", "1", "1", "1"});

struct WarningCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> expected;  // whole lines of standard error
};
void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.name; }

class Warns : public ::testing::TestWithParam<WarningCase> {};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  EXPECT_EQ(begin, text.size()) << "the last warning has no line feed";
  return lines;
}

TEST_P(Warns, OneLineEachNamingFileAndLine) {
  const auto result = runInProcess(GetParam().bytes);
  const auto lines = linesOf(result.warnings);
  for (const std::string& expected : GetParam().expected) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end())
        << "missing: " << expected << "\nwarnings:\n" << result.warnings;
  }
}

std::string firstLines(const std::string& text, int count) {
  std::size_t at = 0;
  for (int l = 0; l < count; ++l) at = text.find('\n', at) + 1;
  return text.substr(0, at);
}

INSTANTIATE_TEST_SUITE_P(
    Input, Warns,
    ::testing::Values(
        WarningCase{"degrees_minutes_seconds", withLine(kFour, 3, "47 48 00"),
                    {"sightline: obs.txt:3: warning: latitude of station 1: \"47 48 00\" read as 47"}},
        WarningCase{"degree_sign", withLine(kFour, 11, "48\xc2\xb0" "24'"),
                    {"sightline: obs.txt:11: warning: latitude of station 2: \"48\xc2\xb0" "24'\" read as 48"}},
        WarningCase{"decimal_comma", withLine(kFour, 3, "47,80"),
                    {"sightline: obs.txt:3: warning: latitude of station 1: \"47,80\" read as 47"}},
        WarningCase{"west_suffix", withLine(kFour, 2, "11.20 W"),
                    {"sightline: obs.txt:2: warning: longitude of station 1: \"11.20 W\" read as 11.20"}},
        WarningCase{"north_prefix", withLine(kFour, 3, "N47.80"),
                    {"sightline: obs.txt:3: warning: latitude of station 1: \"N47.80\" is not a number, read as 0"}},
        WarningCase{"empty_height", withLine(kFour, 12, "   "),
                    {"sightline: obs.txt:12: warning: height of station 2: empty line, read as 0"}},
        WarningCase{"empty_elevation_in_use", withLine(kFour, 14, ""),
                    {"sightline: obs.txt:14: warning: elevation of sighting 3: empty line, read as 0"}},
        WarningCase{"too_large", withLine(kFour, 4, "1e400"),
                    {"sightline: obs.txt:4: warning: height of station 1: 1e400 is too large a number"}},
        WarningCase{"latitude_beyond_north_pole", withLine(kFour, 3, "147.8"),
                    {"sightline: obs.txt:3: warning: latitude 147.8 is outside -90..90"}},
        WarningCase{"latitude_beyond_south_pole", withLine(kFour, 11, "-90.5"),
                    {"sightline: obs.txt:11: warning: latitude -90.5 is outside -90..90"}},
        WarningCase{"elevation_above_zenith", withLine(kFour, 6, "97"),
                    {"sightline: obs.txt:6: warning: elevation 97 is outside -90..90"}},
        WarningCase{"elevation_below_nadir", withLine(kFour, 16, "-91"),
                    {"sightline: obs.txt:16: warning: elevation -91 is outside -90..90"}},
        WarningCase{"use_flag_two", withLine(kFour, 18, "2"),
                    {"sightline: obs.txt:18: warning: use flag 2 is not 0 or 1; it counts as 2 and the four "
                     "flags add up to 5"}},
        WarningCase{"use_flag_minus_one", withLine(kFour, 19, "-1"),
                    {"sightline: obs.txt:19: warning: use flag -1 is not 0 or 1; it counts as -1 and the four "
                     "flags add up to 2"}},
        WarningCase{"use_flag_fraction", withLine(kFour, 21, "0.9"),
                    {"sightline: obs.txt:21: warning: use flag 0.9 is not 0 or 1; it counts as 0 and the four "
                     "flags add up to 3"}},
        WarningCase{"refraction_mode_three", withLine(kFour, 17, "3"),
                    {"sightline: obs.txt:17: warning: refraction mode 3 is not 0, 1 or 2; mode 0 is used"}},
        WarningCase{"short_file", firstLines(kFour, 17),
                    {"sightline: obs.txt:18: warning: the file has 17 lines, not 21; the missing lines count as 0"}},
        WarningCase{"empty_file", "",
                    {"sightline: obs.txt:1: warning: the file is empty; every value counts as 0"}},
        // A missing first line moves every value up by one line.
        WarningCase{"first_line_missing", kFour.substr(kFour.find('\n') + 1),
                    {"sightline: obs.txt:3: warning: latitude 620 is outside -90..90",
                     "sightline: obs.txt:21: warning: the file has 20 lines, not 21; the missing lines count as 0"}},
        // A plane of sight through an unused slot is singular: points at the Earth's centre.
        WarningCase{"point_at_the_centre", observationText({"1", "1", "2", "0"}, "2"),
                    {"sightline: obs.txt:5: warning: point of sighting 1 is at h=-6378.137 km, below -1 km",
                     "sightline: obs.txt:7: warning: point of sighting 2 is at h=-6378.137 km, below -1 km"}},
        WarningCase{"point_far_out", withLine(withLine(kFour, 6, "5"), 8, "3"),
                    {"sightline: obs.txt:5: warning: point of sighting 1 is at h=3414.470 km, above 1000 km"}},
        WarningCase{"point_underground", withLine(withLine(kFour, 6, "0.5"), 8, "1"),
                    {"sightline: obs.txt:7: warning: point of sighting 2 is at h=-2.706 km, below -1 km"}},
        WarningCase{"point_not_a_number", withLine(observationText({"1", "0", "1", "0"}, "2"), 4, "1e999"),
                    {"sightline: obs.txt:5: warning: point between sightings 1 and 3 is not a number"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct QuietCase {
  const char* name;
  std::string bytes;
};
void PrintTo(const QuietCase& c, std::ostream* os) { *os << c.name; }

class Quiet : public ::testing::TestWithParam<QuietCase> {};

TEST_P(Quiet, NoWarning) {
  const auto result = runInProcess(GetParam().bytes);
  EXPECT_EQ(result.warnings, "");
  EXPECT_EQ(result.status, 0) << result.output;
}

INSTANTIATE_TEST_SUITE_P(
    Input, Quiet,
    ::testing::Values(
        QuietCase{"plain_four", kFour},
        QuietCase{"trailing_blanks_and_crlf", withLine(kFour, 3, "47.80 \t\r")},
        QuietCase{"notes_after_line_21", kFour + "Notes 22, mode 7\n1 2 3\n\nwhatever\n"},
        QuietCase{"numbers_in_names", withLine(withLine(kFour, 1, "47 48 00"), 9, "-95")},
        QuietCase{"letters_in_an_unused_slot",
                  withLine(withLine(observationText({"1", "0", "1", "1"}), 7, "none"), 8, "n/a")},
        QuietCase{"exponent_and_sign", withLine(withLine(kFour, 4, "6.2e2"), 2, "+11.20")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClassicWarnings, NeverChangeTheReport) {
  // The same file with and without a mistake that changes no value.
  const auto plain = runInProcess(kFour);
  const auto noisy = runInProcess(withLine(withLine(kFour, 4, "620 m"), 18, "1 (used)"));
  EXPECT_EQ(noisy.output, plain.output);
  EXPECT_EQ(noisy.status, plain.status);
  EXPECT_EQ(linesOf(noisy.warnings).size(), 2u) << noisy.warnings;
}

ObservationFile loaded(const std::string& bytes) {
  ObservationFile file;
  std::FILE* stream = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (stream == nullptr) {
    ADD_FAILURE() << "cannot open the test stream";
    return file;
  }
  loadObservationFile(stream, file);
  std::fclose(stream);
  return file;
}

TEST(ClassicWarnings, RightAnglesAreInRange) {
  const std::string text = withLine(withLine(withLine(withLine(kFour, 3, "-90"), 11, "90.0"), 6, "90"), 16, "-90");
  EXPECT_TRUE(checkObservationFile(loaded(text)).empty());
}

TEST(ClassicWarnings, UnreadableFileIsNamed) {
  ObservationFile file;
  file.readError = EISDIR;
  const auto warnings = checkObservationFile(file);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0].line, 0);
  EXPECT_NE(warnings[0].message.find("cannot read the file"), std::string::npos);
}

}  // namespace
}  // namespace sightline
