// The FTPdetectinfo reader: the layouts of the files cameras write, odd lines,
// and files that must be refused with the line named.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "formats/ftpdetectinfo.hpp"
#include "support/readable_name.hpp"

namespace sightline {
namespace {

// 2026-12-08T01:23:45Z, seconds since 1970 (calendar.timegm).
constexpr double kFfSecond = 1796693025.0;

const char* const kHeader =
    "Meteor Count = 000001\n"
    "-----------------------------------------------------\n"
    "Processed with RMS 1.0 2026-12-08 08:00:00.000000 UTC\n"
    "-----------------------------------------------------\n"
    "FF  folder = /home/pi/RMS_data/CapturedFiles/XX0001_20261208_170000_000000\n"
    "CAL folder = /home/pi/RMS_data/ArchivedFiles/XX0001_20261208_170000_000000\n"
    "-----------------------------------------------------\n"
    "FF  file processed\n"
    "CAL file processed\n"
    "Cam# Meteor# #Segments fps hnr mle bin Pix/fm Rho Phi\n"
    "Per segment:  Frame# Col Row RA Dec Azim Elev Inten Mag\n";

std::string file(const std::string& calibration, const std::string& frames, int count,
                 const std::string& ff = "FF_XX0001_20261208_012345_678_0123456.fits") {
  return std::string(kHeader) + "-------------------------------------------------------\n" + ff + "\n" + calibration +
         "\nXX0001 0001 " + std::to_string(count) + " 0025.00 000.0 000.0  00.0 002.4 0089.4 0301.2\n" + frames;
}

struct OddCase {
  const char* name;
  std::string text;
  std::size_t sightings;          // read
  double firstTime;               // s after kFfSecond
  double azimuth, elevation;      // of the first sighting
  std::optional<double> magnitude;
  const char* warning;            // code, or ""
};
std::ostream& operator<<(std::ostream& out, const OddCase& c) { return out << c.name; }

const std::string kCal = "Recalibrated with RMS on: 2026-12-08 08:00:00.000000 UTC";
const std::string kTwelve =
    "064.1000 0528.98 0191.98 345.4412 +35.1247 064.7117 +015.6322 000500 +2.76 000090 005.00 000000\n"
    "065.1000 0530.98 0193.98 345.5412 +35.2247 064.8117 +015.7322 000510 +2.66 000090 005.00 000000\n";

class OddLines : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddLines, ReadAsTheCameraMeantThem) {
  const OddCase& c = GetParam();
  const FtpDetectInfoResult r = readFtpDetectInfo(c.text, "night.txt");
  ASSERT_FALSE(r.error) << r.error->text();
  if (c.sightings == 0) {
    EXPECT_TRUE(r.detections.empty());
  } else {
    ASSERT_EQ(r.detections.size(), 1u);
    const Detection& d = r.detections[0];
    ASSERT_EQ(d.sightings.size(), c.sightings);
    EXPECT_NEAR(*d.sightings[0].time - kFfSecond, c.firstTime, 1e-6);
    EXPECT_DOUBLE_EQ(d.sightings[0].azimuth, c.azimuth);
    EXPECT_DOUBLE_EQ(d.sightings[0].elevation, c.elevation);
    EXPECT_EQ(d.sightings[0].magnitude, c.magnitude);
    EXPECT_EQ(d.meteor, 1);
    EXPECT_DOUBLE_EQ(d.fps, 25.0);
  }
  const bool warned = std::any_of(r.warnings.begin(), r.warnings.end(), [&](const Warning& w) { return w.code == c.warning; });
  EXPECT_EQ(warned, std::string(c.warning) != "");
}

// Times: 0.678 s into the FF second, plus Frame#/fps (64.1/25 = 2.564 s).
INSTANTIATE_TEST_SUITE_P(
    Layouts, OddLines,
    ::testing::Values(
        OddCase{"twelve columns", file(kCal, kTwelve, 2), 2, 0.678 + 2.564, 64.7117, 15.6322, 2.76, ""},
        OddCase{"nine columns", file(kCal, "064.1000 0528.98 0191.98 345.4412 +35.1247 064.7117 +015.6322 000500 +2.76\n"
                                           "065.1 0530 0193 345.5 +35.2 064.8 +015.7 000510 +2.66\n", 2),
                2, 0.678 + 2.564, 64.7117, 15.6322, 2.76, ""},
        OddCase{"eight columns", file(kCal, "64 528 191 345.4412 +35.1247 064.7117 +015.6322 500\n65 530 193 345.5 35.2 64.8 15.7 510\n", 2),
                2, 0.678 + 64.0 / 25, 64.7117, 15.6322, std::nullopt, ""},
        OddCase{"six decimal RA and Dec", file(kCal, "064.1000 0528.98 0191.98 345.441234 +35.124700 064.711700 +015.632200 000500 +2.76\n"
                                                     "065.1000 0530.98 0193.98 345.541234 +35.224700 064.811700 +015.732200 000510 +2.66\n", 2),
                2, 0.678 + 2.564, 64.7117, 15.6322, 2.76, ""},
        OddCase{"fractional frame", file(kCal, "012.5000 0528.98 0191.98 345.4412 +35.1247 064.7117 +015.6322 000500 +2.76\n"
                                               "013.2500 0530.98 0193.98 345.5412 +35.2247 064.8117 +015.7322 000510 +2.66\n", 2),
                2, 0.678 + 0.5, 64.7117, 15.6322, 2.76, ""},
        OddCase{"nan line skipped", file(kCal, "063.1000 nan nan nan nan nan nan 000000 nan\n" + kTwelve, 3), 2, 0.678 + 2.564,
                64.7117, 15.6322, 2.76, ""},
        OddCase{"six digit second fraction", file(kCal, kTwelve, 2, "FF_XX0001_20261208_012345_678000_0123456.fits"), 2,
                0.678 + 2.564, 64.7117, 15.6322, 2.76, ""},
        OddCase{"older FF name", file(kCal, kTwelve, 2, "FF499_20261208_012345_678_0123456.fits"), 2, 0.678 + 2.564,
                64.7117, 15.6322, 2.76, ""},
        OddCase{"CRLF line endings", [] {
                  std::string t = file(kCal, kTwelve, 2), out;
                  for (char ch : t) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
                  return out;
                }(), 2, 0.678 + 2.564, 64.7117, 15.6322, 2.76, ""},
        OddCase{"uncalibrated block", file("Uncalibrated", kTwelve, 2), 0, 0, 0, 0, std::nullopt, "uncalibrated-block"},
        OddCase{"all-zero directions", file(kCal, "064.1 528 191 0 0 0.0 0.0 500 2.7\n065.1 530 193 0 0 0.0 0.0 510 2.6\n", 2), 0,
                0, 0, 0, std::nullopt, "zero-directions"},
        OddCase{"header only", [] {
                  std::string h = kHeader;
                  return h.replace(h.find("000001"), 6, "000000");
                }(), 0, 0, 0, 0, std::nullopt, ""}),
    testing::ReadableName());

TEST(FtpDetectInfo, StationAndFramesOfAnFfNameAreRead) {
  const auto ff = parseFfName("FF_XX0001_20261208_012345_678_0123456.fits");
  ASSERT_TRUE(ff);
  EXPECT_EQ(ff->station, "XX0001");
  EXPECT_NEAR(ff->start, kFfSecond + 0.678, 1e-6);
  const auto old = parseFfName("FF499_20180101_010203_004_0000512.fits");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->station, "499");
  EXPECT_NEAR(old->start, 1514768523.004, 1e-6);  // 2018-01-01T01:02:03.004Z
  for (const char* bad : {"FF_XX0001_20261308_012345_678_0123456.fits", "FF_XX0001_2026120_012345_678_0123456.fits",
                          "FF_XX0001_20261208_012345_67_0123456.fits", "XX_20261208_012345_678_0123456.fits", "FF_"})
    EXPECT_FALSE(parseFfName(bad)) << bad;
}

struct BadCase {
  const char* name;
  std::string text;
  int line;          // named in the message
  const char* says;  // part of the message
};
std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.name; }

class Malformed : public ::testing::TestWithParam<BadCase> {};

TEST_P(Malformed, RefusedWithTheLineNamed) {
  const BadCase& c = GetParam();
  const FtpDetectInfoResult r = readFtpDetectInfo(c.text, "bad.txt");
  ASSERT_TRUE(r.error) << c.name;
  EXPECT_EQ(r.error->file, "bad.txt");
  EXPECT_EQ(r.error->line, c.line) << r.error->text();
  EXPECT_NE(r.error->text().find(c.says), std::string::npos) << r.error->text();
  EXPECT_TRUE(r.detections.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, Malformed,
    ::testing::Values(
        BadCase{"empty file", "", 0, "empty file"},
        BadCase{"not an FTPdetectinfo file", "hello\n", 1, "Meteor Count"},
        BadCase{"truncated header", "Meteor Count = 000001\n-----\nProcessed with RMS\n", 3, "11 lines of the header"},
        BadCase{"binary bytes", [] {
                  std::string frame = "064.1 528 191 345.4 35.1 064.7 15.6 500 2.7\n";
                  frame[5] = '\0';
                  return file(kCal, frame, 1);
                }(), 16, "binary"},
        BadCase{"non-numeric field", file(kCal, "064.1000 0528.98 0191.98 345.4412 +35.1247 064.7x17 +015.6322 000500 +2.76\n", 1), 16, "Azim"},
        BadCase{"truncated line", file(kCal, "064.1000 0528.98 0191.98 345.4412 +35.1247\n", 1), 16, "8 to 12 fields"},
        BadCase{"truncated block", file(kCal, kTwelve, 5), 17, "ends early"},
        BadCase{"elevation out of range", file(kCal, "064.1 528 191 345.4 35.1 064.7 +95.6 500 2.7\n", 1), 16, "Elev"},
        BadCase{"bad FF name", file(kCal, kTwelve, 2, "FF_XX0001_2026-12-08.fits"), 13, "FF file name"},
        BadCase{"bad fps", [] {
                  std::string t = file(kCal, kTwelve, 2);
                  return t.replace(t.find("0025.00"), 7, "0000.00");
                }(), 15, "fps"},
        BadCase{"huge line", file(kCal, std::string(2000000, '7') + "\n", 1), 16, "8 to 12 fields"}),
    testing::ReadableName());

TEST(FtpDetectInfo, MeteorCountDifferentFromTheBlocksIsAWarning) {
  std::string text = file(kCal, kTwelve, 2);
  text.replace(text.find("000001"), 6, "000003");
  const FtpDetectInfoResult r = readFtpDetectInfo(text, "night.txt");
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.detections.size(), 1u);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].code, "meteor-count");
}

}  // namespace
}  // namespace sightline
