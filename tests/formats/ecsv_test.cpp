// Reading the networks' ECSV files: what a station becomes, and where bad input is reported.
#include "formats/ecsv.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "trajectory/time.hpp"

namespace sightline {
namespace {

// The ECSV files at `paths`, read and parsed as one event.
EventReadResult readEcsvPaths(const std::vector<std::string>& paths) {
  std::vector<NamedText> texts;
  if (auto error = readInputs(paths, texts)) return EventReadResult{Event{}, error};
  return readEcsvEvent(texts, EcsvOptions{});
}


// A file as the networks write it: ordered meta (!!omap), comma delimiter,
// extra columns and meta keys, error bars.
const char* const kNetworkFile =
    "# %ECSV 0.9\n"
    "# ---\n"
    "# datatype:\n"
    "# - {name: datetime, datatype: string}\n"
    "# - {name: ra, unit: deg, datatype: float64}\n"
    "# - {name: dec, unit: deg, datatype: float64}\n"
    "# - {name: azimuth, datatype: float64}\n"
    "# - {name: altitude, datatype: float64}\n"
    "# - {name: err_minus_azimuth, datatype: float64}\n"
    "# - {name: err_plus_azimuth, datatype: float64}\n"
    "# - {name: err_minus_altitude, datatype: float64}\n"
    "# - {name: err_plus_altitude, datatype: float64}\n"
    "# - {name: mag_data, datatype: float64}\n"
    "# delimiter: ','\n"
    "# meta: !!omap\n"
    "# - {obs_latitude: 43.264017}\n"
    "# - {obs_longitude: -80.772172}\n"
    "# - {obs_elevation: 329.0}\n"
    "# - {origin: 'SomeSoftware'}\n"
    "# - {camera_id: '02T'}\n"
    "# - {event: 'ev_20261114_210307'}\n"
    "# - {cx: 900}\n"
    "datetime,ra,dec,azimuth,altitude,err_minus_azimuth,err_plus_azimuth,err_minus_altitude,err_plus_altitude,mag_data\n"
    "2026-11-14T21:03:07.250000,10.0,20.0,120.5,60.0,0.02,0.02,0.01,0.01,-2.5\n"
    "2026-11-14T21:03:07.290000,10.1,20.1,121.0,59.0,0.02,0.04,0.01,0.03,-3.0\n"
    "2026-11-14T21:03:07.330000,10.2,20.2,121.5,58.0,,,,,-3.5\n";

TEST(EcsvStation, NetworkFileGivesPositionSightingsTimesAndLabels) {
  const StationReadResult r = readEcsvStation(kNetworkFile, "data/02T.ecsv", EcsvOptions{});
  ASSERT_FALSE(r.error) << r.error->text();
  const Station& s = r.station;
  EXPECT_EQ(s.name, "02T");
  EXPECT_DOUBLE_EQ(s.position.latitude, 43.264017);
  EXPECT_DOUBLE_EQ(s.position.longitude, -80.772172);
  EXPECT_DOUBLE_EQ(s.position.height, 329.0);
  EXPECT_EQ(s.heightReference, HeightReference::MeanSeaLevel);
  ASSERT_EQ(s.sightings.size(), 3u);
  EXPECT_DOUBLE_EQ(s.sightings[1].azimuth, 121.0);
  EXPECT_DOUBLE_EQ(s.sightings[1].elevation, 59.0);
  EXPECT_EQ(s.sightings[0].label, "begin");
  EXPECT_EQ(s.sightings[1].label, "");
  EXPECT_EQ(s.sightings[2].label, "end");
  ASSERT_TRUE(s.sightings[0].time && s.sightings[2].time);
  EXPECT_EQ(*s.sightings[0].time, *parseIsoTime("2026-11-14T21:03:07.25Z"));
  EXPECT_NEAR(*s.sightings[2].time - *s.sightings[0].time, 0.08, 1e-6);
}

TEST(EcsvStation, SigmaIsTheMeanErrorBarWithAzimuthErrorsScaledToTheSky) {
  const StationReadResult r = readEcsvStation(kNetworkFile, "02T.ecsv", EcsvOptions{});
  ASSERT_FALSE(r.error) << r.error->text();
  const auto& k = r.station.sightings;
  // Row 1: azimuth bars 0.02 at altitude 60 are 0.01 on the sky; all four 0.01.
  ASSERT_TRUE(k[0].sigma);
  EXPECT_NEAR(*k[0].sigma, 0.01, 1e-12);
  // Row 2: (0.02 + 0.04) cos 59 deg + 0.01 + 0.03, over four.
  ASSERT_TRUE(k[1].sigma);
  EXPECT_NEAR(*k[1].sigma, ((0.02 + 0.04) * std::cos(59.0 * M_PI / 180.0) + 0.04) / 4.0, 1e-12);
  // Row 3: masked error bars leave the station's or event's sigma to apply.
  EXPECT_FALSE(k[2].sigma);
}

TEST(EcsvStation, EllipsoidHeightsOptionMarksTheStation) {
  EcsvOptions options;
  options.heights = HeightReference::Ellipsoid;
  const StationReadResult r = readEcsvStation(kNetworkFile, "02T.ecsv", options);
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.station.heightReference, HeightReference::Ellipsoid);
  EXPECT_DOUBLE_EQ(r.station.position.height, 329.0);
}

// A minimal file around a meta block and a table; space delimiter unless the header says.
std::string minimalFile(const std::string& meta, const std::string& delimiterLine = "# delimiter: ','\n",
                        const std::string& table = "datetime,azimuth,altitude\n"
                                                   "2026-11-14T21:03:07,100,30\n"
                                                   "2026-11-14T21:03:08,101,31\n") {
  return "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: datetime, datatype: string}\n"
         "# - {name: azimuth, datatype: float64}\n# - {name: altitude, datatype: float64}\n" +
         delimiterLine + "# meta:\n#   obs_latitude: 51.5\n#   obs_longitude: -0.1\n#   obs_elevation: 20\n" + meta + table;
}

struct NameCase {
  const char* name;
  const char* meta;
  const char* expected;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class EcsvStationName : public ::testing::TestWithParam<NameCase> {};

TEST_P(EcsvStationName, FirstOfLocationCameraIdCodenameTelescopeThenFileName) {
  const StationReadResult r = readEcsvStation(minimalFile(GetParam().meta), "/some/folder/cam_07.v2.ecsv", EcsvOptions{});
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.station.name, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fallbacks, EcsvStationName,
    ::testing::Values(
        NameCase{"location_first", "#   telescope: T1\n#   camera_id: C1\n#   location: Hill & \"Dale\"\n", "Hill & \"Dale\""},
        NameCase{"camera_id_before_codename", "#   dfn_camera_codename: DFN_X\n#   camera_id: C1\n", "C1"},
        NameCase{"codename_before_telescope", "#   telescope: T1\n#   dfn_camera_codename: DFN_X\n", "DFN_X"},
        NameCase{"telescope", "#   telescope: T1\n", "T1"},
        NameCase{"empty_location_skipped", "#   location: ''\n#   telescope: T1\n", "T1"},
        NameCase{"file_name_without_folder_and_extension", "", "cam_07.v2"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TableCase {
  const char* name;
  const char* delimiterLine;
  const char* table;
  const char* before = "";  ///< bytes before the header
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class EcsvTableLayout : public ::testing::TestWithParam<TableCase> {};

TEST_P(EcsvTableLayout, ReadsTheSameTwoSightings) {
  const std::string text = GetParam().before + minimalFile("", GetParam().delimiterLine, GetParam().table);
  const StationReadResult r = readEcsvStation(text, "x.ecsv", {});
  ASSERT_FALSE(r.error) << r.error->text();
  ASSERT_EQ(r.station.sightings.size(), 2u);
  EXPECT_DOUBLE_EQ(r.station.sightings[0].azimuth, 100.0);
  EXPECT_DOUBLE_EQ(r.station.sightings[1].elevation, 31.0);
  EXPECT_EQ(*r.station.sightings[1].time - *r.station.sightings[0].time, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Delimiters, EcsvTableLayout,
    ::testing::Values(
        TableCase{"comma", "# delimiter: ','\n",
                  "datetime,azimuth,altitude\n2026-11-14T21:03:07,100,30\n2026-11-14T21:03:08,101,31\n"},
        TableCase{"space_by_default", "",
                  "datetime azimuth altitude\n2026-11-14T21:03:07 100 30\n2026-11-14T21:03:08  101   31  \n"},
        TableCase{"explicit_space", "# delimiter: ' '\n",
                  "datetime azimuth altitude\n2026-11-14T21:03:07 100 30\n2026-11-14T21:03:08 101 31\n"},
        TableCase{"quoted_fields", "",
                  "\"datetime\" azimuth \"altitude\"\n\"2026-11-14 21:03:07\" \"100\" 30\n\"2026-11-14 21:03:08\" 101 31\n"},
        TableCase{"blank_and_comment_lines", "# delimiter: ','\n",
                  "\n  \ndatetime,azimuth,altitude\n\n# a comment\n2026-11-14T21:03:07,100,30\n \t\n"
                  "2026-11-14T21:03:08,101,31"},
        TableCase{"crlf_line_ends", "# delimiter: ','\n",
                  "datetime,azimuth,altitude\r\n2026-11-14T21:03:07,100,30\r\n2026-11-14T21:03:08,101,31\r\n"},
        TableCase{"blanks_around_comma_fields", "# delimiter: ','\n",
                  "datetime, azimuth ,altitude\n2026-11-14T21:03:07 , 100,30\n2026-11-14T21:03:08,101 , +31\n"},
        TableCase{"after_a_byte_order_mark", "# delimiter: ','\n",
                  "datetime,azimuth,altitude\n2026-11-14T21:03:07,100,30\n2026-11-14T21:03:08,101,31\n", "\xEF\xBB\xBF"},
        TableCase{"semicolon_as_the_header_says", "# delimiter: ';'\n",
                  "datetime;azimuth;altitude\n2026-11-14T21:03:07;100;30\n2026-11-14T21:03:08;101;31\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EcsvStation, QuotedFieldMayHoldTheDelimiterQuotesAndALineBreak) {
  const std::string text =
      "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: note, datatype: string}\n# - {name: datetime, datatype: string}\n"
      "# - {name: azimuth, datatype: float64}\n# - {name: altitude, datatype: float64}\n# delimiter: ','\n"
      "# meta: {obs_latitude: 1, obs_longitude: 2, obs_elevation: 3}\n"
      "note,datetime,azimuth,altitude\n"
      "\"a, \"\"b\"\"\nc\",2026-11-14T21:03:07,100,30\n"
      "plain,2026-11-14T21:03:08,101,x\n";
  const StationReadResult r = readEcsvStation(text, "q.ecsv", {});
  // The second row is bad; its line number counts the line break inside the quotes.
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->line, 13);
  EXPECT_EQ(r.error->column, 4);
  EXPECT_EQ(r.error->path, "altitude");
}

struct HostileCase {
  const char* name;
  std::string text;
  int line;
  int column;
  const char* path;
  const char* words;  ///< part of the message
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class EcsvHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(EcsvHostile, NamesFileLineAndColumn) {
  const HostileCase& c = GetParam();
  const StationReadResult r = readEcsvStation(c.text, "cams/bad.ecsv", EcsvOptions{});
  ASSERT_TRUE(r.error) << "accepted: " << c.text;
  EXPECT_EQ(r.error->file, "cams/bad.ecsv");
  EXPECT_EQ(r.error->line, c.line) << r.error->text();
  EXPECT_EQ(r.error->column, c.column) << r.error->text();
  EXPECT_EQ(r.error->path, c.path) << r.error->text();
  EXPECT_NE(r.error->message.find(c.words), std::string::npos) << r.error->text();
}

std::string withMeta(const std::string& metaLines) {
  return "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: datetime, datatype: string}\n"
         "# - {name: azimuth, datatype: float64}\n# - {name: altitude, datatype: float64}\n# delimiter: ','\n"
         "# meta:\n" +
         metaLines + "datetime,azimuth,altitude\n2026-11-14T21:03:07,100,30\n";
}

const std::string kMeta = "#   obs_latitude: 51.5\n#   obs_longitude: -0.1\n#   obs_elevation: 20\n";

std::string withRows(const std::string& rows) { return withMeta(kMeta) + rows; }  // rows start at line 13

INSTANTIATE_TEST_SUITE_P(
    Table, EcsvHostile,
    ::testing::Values(
        HostileCase{"empty_file", "", 1, 1, "", "no ECSV header"},
        HostileCase{"plain_csv", "datetime,azimuth,altitude\n", 1, 1, "", "no ECSV header"},
        HostileCase{"bad_version", "# %ECSV one\n", 1, 9, "", "version"},
        HostileCase{"yaml_syntax", "# %ECSV 1.0\n# ---\n# datatype: [\n# delimiter: ','\n", 4, 0, "", "not valid YAML"},
        HostileCase{"no_datatype", "# %ECSV 1.0\n# ---\n# delimiter: ','\n", 1, 0, "datatype", "missing"},
        HostileCase{"datatype_not_a_list", "# %ECSV 1.0\n# ---\n# datatype: 3\n", 3, 13, "datatype", "list"},
        HostileCase{"column_without_name", "# %ECSV 1.0\n# ---\n# datatype:\n# - {datatype: string}\n", 4, 5,
                    "datatype[0].name", "name"},
        HostileCase{"long_delimiter",
                    "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: a}\n# delimiter: ',,'\n", 5, 14, "delimiter",
                    "one character"},
        HostileCase{"missing_latitude", withMeta("#   obs_longitude: -0.1\n#   obs_elevation: 20\n"), 9, 5,
                    "meta.obs_latitude", "missing"},
        HostileCase{"missing_meta", withMeta("#   {}\n").replace(withMeta("").find("# meta:"), 7, "# other:"), 1, 0,
                    "meta.obs_latitude", "missing"},
        HostileCase{"latitude_text", withMeta("#   obs_latitude: north\n#   obs_longitude: 1\n#   obs_elevation: 2\n"),
                    9, 19, "meta.obs_latitude", "expected a number"},
        HostileCase{"latitude_out_of_range",
                    withMeta("#   obs_latitude: 91\n#   obs_longitude: 1\n#   obs_elevation: 2\n"), 9, 19,
                    "meta.obs_latitude", "-90..90"},
        HostileCase{"longitude_infinite",
                    withMeta("#   obs_latitude: 1\n#   obs_longitude: inf\n#   obs_elevation: 2\n"), 10, 20,
                    "meta.obs_longitude", "finite"},
        HostileCase{"elevation_missing", withMeta("#   obs_latitude: 1\n#   obs_longitude: 2\n"), 9, 5,
                    "meta.obs_elevation", "missing"},
        HostileCase{"column_row_disagrees",
                    withMeta(kMeta).replace(withMeta(kMeta).find("datetime,azimuth"), 16, "datetime,azimuht"), 12, 2,
                    "azimuth", "azimuht"},
        HostileCase{"column_row_short", withMeta(kMeta).replace(withMeta(kMeta).find("datetime,azimuth,altitude"), 25,
                                                                "datetime,azimuth"),
                    12, 3, "altitude", "ends before"},
        HostileCase{"required_column_absent",
                    "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: datetime}\n# - {name: azimuth}\n# delimiter: ','\n"
                    "# meta: {obs_latitude: 1, obs_longitude: 2, obs_elevation: 3}\ndatetime,azimuth\n2026-11-14T21:03:07,1\n",
                    8, 0, "altitude", "missing"},
        HostileCase{"no_table", withMeta(kMeta).substr(0, withMeta(kMeta).find("datetime,azimuth")), 12, 0, "",
                    "no column names"},
        HostileCase{"no_rows", withMeta(kMeta).substr(0, withMeta(kMeta).find("2026-11-14T21:03:07,100")), 12, 0, "",
                    "no rows"},
        HostileCase{"too_few_fields", withRows("2026-11-14T21:03:08,100\n"), 14, 3, "", "expected 3 fields"},
        HostileCase{"too_many_fields", withRows("2026-11-14T21:03:08,100,30,4\n"), 14, 4, "", "found 4"},
        HostileCase{"trailing_delimiter", withRows("2026-11-14T21:03:08,100,30,\n"), 14, 4, "", "found 4"},
        HostileCase{"bad_time", withRows("2026-13-14T21:03:08,100,30\n"), 14, 1, "datetime", "ISO 8601"},
        HostileCase{"empty_time", withRows(",100,30\n"), 14, 1, "datetime", "ISO 8601"},
        HostileCase{"azimuth_text", withRows("2026-11-14T21:03:08,east,30\n"), 14, 2, "azimuth", "expected a number"},
        HostileCase{"azimuth_nan", withRows("2026-11-14T21:03:08,nan,30\n"), 14, 2, "azimuth", "finite"},
        HostileCase{"azimuth_trailing_text", withRows("2026-11-14T21:03:08,100deg,30\n"), 14, 2, "azimuth", "number"},
        HostileCase{"azimuth_huge", withRows("2026-11-14T21:03:08,1e300,30\n"), 14, 2, "azimuth", "-360..360"},
        HostileCase{"altitude_plus_minus", withRows("2026-11-14T21:03:08,100,+-30\n"), 14, 3, "altitude", "number"},
        HostileCase{"altitude_empty", withRows("2026-11-14T21:03:08,100,\n"), 14, 3, "altitude", "number"},
        HostileCase{"altitude_above_zenith", withRows("2026-11-14T21:03:08,100,90.5\n"), 14, 3, "altitude", "-90..90"},
        HostileCase{"unclosed_quote", withRows("\"2026-11-14T21:03:08,100,30\n"), 14, 1, "", "never closed"},
        HostileCase{"text_after_quote", withRows("\"2026-11-14T21:03:08\"x,100,30\n"), 14, 1, "", "closing quote"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EcsvStation, ErrorBarOfMoreThanAHalfTurnIsReported) {
  std::string text = kNetworkFile;
  text.replace(text.find(",0.01,0.03,"), 11, ",0.01,1e308,");
  const StationReadResult r = readEcsvStation(text, "02T.ecsv", {});
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->line, 25);
  EXPECT_EQ(r.error->column, 9);
  EXPECT_EQ(r.error->path, "err_plus_altitude");
}

TEST(EcsvStation, ErrorBarThatIsNotANumberIsReported) {
  std::string text = kNetworkFile;
  text.replace(text.find(",0.02,0.04,"), 11, ",0.02,big,");
  const StationReadResult r = readEcsvStation(text, "02T.ecsv", {});
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->line, 25);
  EXPECT_EQ(r.error->column, 7);
  EXPECT_EQ(r.error->path, "err_plus_azimuth");
}

// ------------------------------------------------------------------ events

class EcsvEvent : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "sightline_ecsv";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
};

TEST_F(EcsvEvent, OneStationPerFileCorrectedRefractionEarliestTime) {
  const std::string a = write("a.ecsv", kNetworkFile);
  std::string later = minimalFile("#   location: Hilltop\n");
  const std::string b = write("b.ecsv", later);
  const EventReadResult r = readEcsvPaths({b, a});
  ASSERT_FALSE(r.error) << r.error->text();
  ASSERT_EQ(r.event.stations.size(), 2u);
  EXPECT_EQ(r.event.stations[0].name, "Hilltop");
  EXPECT_EQ(r.event.stations[1].name, "02T");
  EXPECT_EQ(r.event.refraction, Refraction::Corrected);
  ASSERT_TRUE(r.event.time);
  EXPECT_EQ(*r.event.time, *parseIsoTime("2026-11-14T21:03:07Z"));
  // The first file says no event name, the second does.
  EXPECT_EQ(r.event.name, "ev_20261114_210307");
}

TEST_F(EcsvEvent, TheNetworksEventCodeNamesTheEvent) {
  const std::string a = write("cam_a.ecsv", minimalFile("#   event: ev_old_name\n#   event_codename: 20261114_210307_X\n"));
  const std::string b = write("cam_b.ecsv", minimalFile(""));
  const EventReadResult r = readEcsvPaths({a, b});
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.event.name, "20261114_210307_X");
}

TEST_F(EcsvEvent, NameFallsBackToTheFirstFile) {
  const std::string a = write("first_cam.ecsv", minimalFile(""));
  const std::string b = write("second_cam.ecsv", minimalFile(""));
  const EventReadResult r = readEcsvPaths({a, b});
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.event.name, "first_cam");
}

TEST_F(EcsvEvent, NeedsTwoReadableWellFormedFiles) {
  const std::string good = write("good.ecsv", minimalFile(""));
  const EventReadResult one = readEcsvPaths({good});
  ASSERT_TRUE(one.error);
  EXPECT_NE(one.error->message.find("at least two"), std::string::npos);

  const std::string missing = (std::filesystem::path(::testing::TempDir()) / "no_such_file.ecsv").string();
  const EventReadResult absent = readEcsvPaths({good, missing});
  ASSERT_TRUE(absent.error);
  EXPECT_EQ(absent.error->file, missing);

  const std::string bad = write("bad.ecsv", withRows("2026-11-14T21:03:08,100\n"));
  const EventReadResult broken = readEcsvPaths({good, bad});
  ASSERT_TRUE(broken.error);
  EXPECT_EQ(broken.error->text().rfind(bad + ":14:3: ", 0), 0u) << broken.error->text();
}

TEST(EcsvDetection, ByExtensionOrFirstBytes) {
  EXPECT_TRUE(looksLikeEcsv("cam.ecsv", ""));
  EXPECT_TRUE(looksLikeEcsv("CAM.ECSV", ""));
  EXPECT_TRUE(looksLikeEcsv("cam.txt", "# %ECSV 1.0\n"));
  EXPECT_TRUE(looksLikeEcsv("cam.txt", "\xEF\xBB\xBF# %ECSV 1.0\n"));
  EXPECT_FALSE(looksLikeEcsv("event.json", "{\"stations\": []}"));
  EXPECT_FALSE(looksLikeEcsv("ecsv", "# comment"));
}

}  // namespace
}  // namespace sightline
