// The profile readers: a Wyoming sounding's columns, units and skipped
// levels, the profile CSV's two sets of names, and every bad profile.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "darkflight/standard_atmosphere.hpp"
#include "formats/wind_profile.hpp"

namespace sightline {
namespace {

// A TEXT:LIST sounding as the University of Wyoming's page gives it: right-aligned
// columns, blanks where a value is missing.
const char* const kSounding =
    "<HTML><TITLE>University of Wyoming - Radiosonde Data</TITLE>\n"
    "<H2>94510 ABOM Charleville Observations at 12Z 27 Nov 2015</H2>\n"
    "<PRE>\n"
    "-----------------------------------------------------------------------------\n"
    "   PRES   HGHT   TEMP   DWPT   RELH   MIXR   DRCT   SKNT   THTA   THTE   THTV\n"
    "    hPa     m      C      C      %    g/kg    deg   knot     K      K      K \n"
    "-----------------------------------------------------------------------------\n"
    " 1000.0    107                                                               \n"
    "  977.0    306   28.6    2.6     18   4.65    160     10  303.7  318.2  304.6\n"
    "  925.0    792   24.0    1.0     21   4.37    200     20  303.9  317.6  304.7\n"
    "  850.0   1522   17.8   -0.2     29   4.46    270     40  304.9  318.9  305.7\n"
    "</PRE><H3>Station information and sounding indices</H3><PRE>\n"
    "                         Station number: 94510\n";

TEST(WyomingSounding, ColumnsUnitsAndSkippedLevels) {
  const WindProfileRead read = readWindProfile(kSounding, "sounding.txt");
  ASSERT_FALSE(read.error) << read.error->text();
  EXPECT_EQ(read.kind, WindProfileKind::WyomingSounding);
  ASSERT_EQ(read.levels.size(), 3u);  // the 1000 hPa level has no temperature or wind
  const darkflight::AirLevel& first = read.levels[0];
  EXPECT_NEAR(first.height, 6356766.0 * 306.0 / (6356766.0 - 306.0), 1e-9);
  EXPECT_NEAR(first.pressure, 97700.0, 1e-9);
  EXPECT_NEAR(first.temperature, 301.75, 1e-9);
  EXPECT_NEAR(first.windSpeed, 10.0 * 1852.0 / 3600.0, 1e-12);  // knots
  EXPECT_EQ(first.windFrom, 160.0);
  EXPECT_NEAR(read.levels[2].windSpeed, 40.0 * 0.514444, 1e-4);
}

TEST(WyomingSounding, SpedIsMetresPerSecond) {
  std::string text = kSounding;
  text.replace(text.find("SKNT"), 4, "SPED");
  const WindProfileRead read = readWindProfile(text, "sounding.txt");
  ASSERT_FALSE(read.error) << read.error->text();
  EXPECT_EQ(read.levels[0].windSpeed, 10.0);
}

TEST(ProfileCsv, BothSetsOfNamesAndExtraColumns) {
  const WindProfileRead dfn = readWindProfile("# Height,   TempK,   Press,    RHum,    Wind,   WDir\n"
                                              "   17.71,  301.25,101446.1, 13.9973,  2.6153, 197.64\n"
                                              "   92.72,  300.91,100588.3, 14.1694,  2.6257, 200.82\n",
                                              "dfn.csv");
  ASSERT_FALSE(dfn.error) << dfn.error->text();
  EXPECT_EQ(dfn.kind, WindProfileKind::ProfileCsv);
  ASSERT_EQ(dfn.levels.size(), 2u);
  EXPECT_EQ(dfn.levels[1].height, 92.72);
  EXPECT_EQ(dfn.levels[1].windSpeed, 2.6257);
  EXPECT_EQ(dfn.levels[1].windFrom, 200.82);
  const WindProfileRead named = readWindProfile(
      "\n\nwind_direction,height,pressure,temperature,wind_horizontal,density\n10,0,101325,288,3,1.2\n20,500,95000,285,4,1.1\n",
      "extract.csv");
  ASSERT_FALSE(named.error) << named.error->text();
  EXPECT_EQ(named.levels[1].windFrom, 20.0);
  EXPECT_EQ(named.levels[1].pressure, 95000.0);
}

struct BadProfile {
  const char* name;
  std::string text;
  int line;             ///< expected line in the message (0: none)
  const char* message;  ///< part of the message
};
void PrintTo(const BadProfile& b, std::ostream* os) { *os << b.name; }

class BadProfiles : public ::testing::TestWithParam<BadProfile> {};

TEST_P(BadProfiles, AreRefusedWithFileAndLine) {
  const BadProfile& b = GetParam();
  const WindProfileRead read = readWindProfile(b.text, "wind.csv");
  ASSERT_TRUE(read.error);
  EXPECT_TRUE(read.levels.empty()) << "a refused profile must give no levels to use";
  EXPECT_EQ(read.error->line, b.line) << read.error->text();
  EXPECT_NE(read.error->text().find("wind.csv"), std::string::npos);
  EXPECT_NE(read.error->text().find(b.message), std::string::npos) << read.error->text();
}

const std::string kHeader = "Height,TempK,Press,Wind,WDir\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadProfiles,
    ::testing::Values(
        BadProfile{"MissingColumn", "Height,TempK,Press,Wind\n0,288,101325,3\n", 1, "no column WDir"},
        BadProfile{"NonNumericValue", kHeader + "0,288,101325,3,270\n500,warm,95000,3,270\n", 3, "'warm': expected a number"},
        BadProfile{"MissingValue", kHeader + "0,288,101325,3,270\n500,285,95000,3\n", 3, "missing value for WDir"},
        BadProfile{"HeightsNotIncreasing", kHeader + "0,288,101325,3,270\n500,285,95000,3,270\n500,284,94000,3,270\n", 4,
                   "strictly increasing"},
        BadProfile{"NegativePressure", kHeader + "0,288,101325,3,270\n500,285,-95000,3,270\n", 3, "positive pressure"},
        BadProfile{"ZeroTemperature", kHeader + "0,288,101325,3,270\n500,0,95000,3,270\n", 3, "positive absolute temperature"},
        BadProfile{"NegativeWind", kHeader + "0,288,101325,-3,270\n500,285,95000,3,270\n", 2, "wind speed -3"},
        BadProfile{"OneLevel", kHeader + "0,288,101325,3,270\n", 0, "only one complete level"},
        BadProfile{"Empty", "", 0, "empty file"},
        BadProfile{"OnlyBlanks", "\n  \n\t\n", 0, "empty file"},
        BadProfile{"Binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 0, "binary data"},
        BadProfile{"SoundingWithoutACompleteLevel",
                   "   PRES   HGHT   TEMP   DWPT   RELH   MIXR   DRCT   SKNT\n"
                   " 1000.0    107                                          \n"
                   "  977.0    306   28.6    2.6     18   4.65              \n",
                   0, "no complete level"},
        BadProfile{"SoundingWithoutWind", "   PRES   HGHT   TEMP   DWPT\n  977.0    306   28.6    2.6\n", 1,
                   "no wind column"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
