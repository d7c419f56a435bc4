// Camera positions from RMS .config files and platepars, and which files a folder search reads.
#include <gtest/gtest.h>

#include <ostream>

#include "formats/detection_files.hpp"
#include "formats/rms_config.hpp"
#include "support/readable_name.hpp"

namespace sightline {
namespace {

const char* const kConfig =
    "; RMS configuration\n"
    "[System]\n"
    "; Station ID (the network's code)\n"
    "stationID: XX0042\n"
    "latitude: 50.123456 ; WGS84 +N\n"
    "longitude: -7.654321 ; WGS84 +E\n"
    "elevation: 312.5 ; mean sea level EGM96 geoidal datum, not WGS84 ellipsoid\n"
    "\n"
    "[Capture]\n"
    "latitude: 1.0\n";

TEST(RmsConfig, SystemSectionGivesTheSite) {
  const CameraSiteResult r = readRmsConfig(kConfig, ".config");
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.site.stationId, "XX0042");
  EXPECT_DOUBLE_EQ(r.site.position.latitude, 50.123456);
  EXPECT_DOUBLE_EQ(r.site.position.longitude, -7.654321);
  EXPECT_DOUBLE_EQ(r.site.position.height, 312.5);
}

TEST(RmsConfig, LongitudesPast180AreWrapped) {
  std::string text = kConfig;
  text.replace(text.find("-7.654321"), 9, "352.345679");
  const CameraSiteResult r = readRmsConfig(text, ".config");
  ASSERT_FALSE(r.error);
  EXPECT_NEAR(r.site.position.longitude, -7.654321, 1e-9);
}

struct BadConfig {
  const char* name;
  const char* from;
  const char* to;
  int line;
  const char* says;
};
std::ostream& operator<<(std::ostream& out, const BadConfig& c) { return out << c.name; }

class BadConfigs : public ::testing::TestWithParam<BadConfig> {};

TEST_P(BadConfigs, NameTheFileLineAndKey) {
  std::string text = kConfig;
  text.replace(text.find(GetParam().from), std::string(GetParam().from).size(), GetParam().to);
  const CameraSiteResult r = readRmsConfig(text, "cam/.config");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->file, "cam/.config");
  EXPECT_EQ(r.error->line, GetParam().line) << r.error->text();
  EXPECT_NE(r.error->text().find(GetParam().says), std::string::npos) << r.error->text();
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadConfigs,
    ::testing::Values(BadConfig{"latitude not a number", "50.123456", "fifty", 5, "latitude"},
                      BadConfig{"latitude past the pole", "50.123456", "91.5", 5, "latitude"},
                      BadConfig{"elevation in feet", "312.5", "31250", 7, "elevation"},
                      BadConfig{"no station", "stationID: XX0042", "station: XX0042", 0, "stationID"},
                      BadConfig{"no longitude", "longitude:", "lon:", 0, "longitude"},
                      BadConfig{"binary", "Station ID", "Sta\x01" "ion", 0, "binary"}),
    testing::ReadableName());

TEST(Platepars, TheFirstPlateparGivesTheSite) {
  const CameraSiteResult r = readPlatepars(
      R"({"FF_XX0042_20261208_200000_000_0000000.fits": {"lat": 50.5, "lon": 7.25, "elev": 120.0, "station_code": "XX0042"},
          "FF_XX0042_20261208_210000_000_0000000.fits": {"lat": 50.5, "lon": 7.25, "elev": 120.0}})",
      "platepars_all_recalibrated.json");
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.site.stationId, "XX0042");
  EXPECT_DOUBLE_EQ(r.site.position.latitude, 50.5);
  EXPECT_DOUBLE_EQ(r.site.position.longitude, 7.25);
  EXPECT_DOUBLE_EQ(r.site.position.height, 120.0);
  for (const char* bad : {"", "[]", "{}", R"({"FF": {"lat": 95, "lon": 7, "elev": 1}})", R"({"FF": {"lat": 50}})",
                          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["})
    EXPECT_TRUE(readPlatepars(bad, "p.json").error) << bad;
}

struct SearchName {
  const char* name;
  bool read;
};
std::ostream& operator<<(std::ostream& out, const SearchName& c) { return out << c.name; }

class FolderSearch : public ::testing::TestWithParam<SearchName> {};

TEST_P(FolderSearch, ReadsOnlyTheNightsDetectionFiles) {
  EXPECT_EQ(searchedDetectionFile(GetParam().name), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FolderSearch,
    ::testing::Values(SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000.txt", true},
                      SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000_uncalibrated.txt", false},
                      SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000_backup_1.txt", false},
                      SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000_unfiltered.txt", false},
                      SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000_manual.txt", false},
                      SearchName{"FTPdetectinfo_XX0001_20261208_170000_000000.txt.bz2", false},
                      SearchName{"FR_XX0001_20261208_170000_000000.txt", false},
                      SearchName{"station_a.ecsv", true},
                      SearchName{".config", false}),
    testing::ReadableName());

}  // namespace
}  // namespace sightline
