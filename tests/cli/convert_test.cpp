// Converting a classic observation file: the stations are the same points and
// every line of sight the same line, now in geodetic coordinates with
// north-based azimuths; files the conversion cannot carry over are refused.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <GeographicLib/Geocentric.hpp>

#include "cli/cli_helpers.hpp"
#include "classic/classic_convert.hpp"
#include "cli/command_line.hpp"
#include "earth/ellipsoid.hpp"
#include "earth/horizon.hpp"
#include "geometry/angles.hpp"

namespace sightline {
namespace {

using testing::readText;
using testing::runSightline;
using testing::ToolRun;
using testing::writeTemp;

// A classic file: two stations (longitude, geocentric latitude, radial height),
// four slots of azimuth (from south through west) and elevation, mode, flags.
struct ClassicFile {
  std::string name;
  double station[2][3];
  double slot[4][2];
  std::string mode;
  std::string flags[4];
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const ClassicFile& c, std::ostream* os) { *os << c.name; }

std::string text(const ClassicFile& f) {
  char buffer[64];
  std::string out;
  auto line = [&](double v) {
    std::snprintf(buffer, sizeof buffer, "%.17g\n", v);
    out += buffer;
  };
  for (int v = 0; v < 2; ++v) {
    out += "Station " + std::to_string(v + 1) + "\n";
    for (double x : f.station[v]) line(x);
    for (int k = 0; k < 2; ++k) {
      line(f.slot[2 * v + k][0]);
      line(f.slot[2 * v + k][1]);
    }
  }
  out += f.mode + "\n";
  for (const std::string& flag : f.flags) out += flag + "\n";
  return out;
}

ObservationFile load(const std::string& bytes) {
  ObservationFile file;
  std::FILE* stream = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::rewind(stream);
  loadObservationFile(stream, file);
  std::fclose(stream);
  return file;
}

class SameLinesOfSight : public ::testing::TestWithParam<ClassicFile> {};

TEST_P(SameLinesOfSight, StationsAndDirectionsAgreeInSpace) {
  const ClassicFile& f = GetParam();
  const EventReadResult r = classicEvent(load(text(f)), "classic.txt");
  ASSERT_FALSE(r.error) << r.error->text();
  ASSERT_EQ(r.event.stations.size(), 2u);
  const GeographicLib::Geocentric& wgs84 = GeographicLib::Geocentric::WGS84();
  for (int v = 0; v < 2; ++v) {
    const Station& station = r.event.stations[v];
    const Vector3 classic = viewPointPosition(f.station[v][0], f.station[v][1], f.station[v][2]);
    std::vector<double> m(9);
    double x = 0, y = 0, z = 0;
    wgs84.Forward(station.position.latitude, station.position.longitude, station.position.height, x, y, z, m);
    EXPECT_LT(distance(Vector3(x, y, z), classic), 1e-6) << station.name;
    std::size_t k = 0;
    for (int s = 0; s < 2; ++s) {
      if (f.flags[2 * v + s] == "0") continue;
      ASSERT_LT(k, station.sightings.size());
      const Sighting& sighting = station.sightings[k++];
      EXPECT_GE(sighting.azimuth, 0.0);
      EXPECT_LT(sighting.azimuth, 360.0);
      const double az = degToRad(sighting.azimuth), el = degToRad(sighting.elevation);
      const double e = std::cos(el) * std::sin(az), n = std::cos(el) * std::cos(az), u = std::sin(el);
      const Vector3 direction(m[0] * e + m[1] * n + m[2] * u, m[3] * e + m[4] * n + m[5] * u,
                              m[6] * e + m[7] * n + m[8] * u);
      const Vector3 expected = horizonDirection(classic, f.slot[2 * v + s][0], f.slot[2 * v + s][1]);
      EXPECT_LT((direction - expected).length(), 1e-12) << station.name << " slot " << 2 * v + s + 1;
    }
    EXPECT_EQ(k, station.sightings.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SameLinesOfSight,
    ::testing::Values(
        ClassicFile{"FourSightings", {{11.20, 47.80, 620}, {12.10, 48.40, 450}},
                    {{288.44, 57.41}, {231.87, 54.20}, {16.58, 43.72}, {46.98, 38.78}}, "0", {"1", "1", "1", "1"}},
        ClassicFile{"ThreeSightings", {{11.20, 47.80, 620}, {12.10, 48.40, 450}},
                    {{288.44, 57.41}, {0, 0}, {16.58, 43.72}, {46.98, 38.78}}, "1", {"1", "0", "1", "1"}},
        ClassicFile{"SouthernAndWest", {{-70.4, -30.2, 2400}, {-70.9, -29.6, 1200}},
                    {{170.0, 20.0}, {150.0, 35.0}, {350.0, 10.0}, {5.0, 60.0}}, "2", {"1", "1", "1", "1"}},
        ClassicFile{"NearThePoleAndZenith", {{179.9, 89.9, 10}, {-179.5, 89.5, 3000}},
                    {{0.0, 89.99}, {90.0, -2.0}, {270.0, 0.0}, {359.999, 45.0}}, "0", {"1", "1", "1", "1"}},
        ClassicFile{"EquatorDateLine", {{180.0, 0.0, 0}, {-179.0, 0.5, -50}},
                    {{45.0, 30.0}, {0, 0}, {225.0, 25.0}, {0, 0}}, "2", {"1", "0", "0", "1"}}),
    [](const auto& info) { return info.param.name; });

TEST(Convert, OneSightingPerStationIsLabelledAsOnePoint) {
  const ClassicFile f{"", {{11.20, 47.80, 620}, {12.10, 48.40, 450}},
                      {{261.49, 59.23}, {0, 0}, {25.92, 43.13}, {0, 0}}, "0", {"1", "0", "1", "0"}};
  const EventReadResult r = classicEvent(load(text(f)), "two.txt");
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.event.stations[0].sightings.at(0).label, "point");
  EXPECT_EQ(r.event.stations[1].sightings.at(0).label, "point");
  EXPECT_EQ(r.event.stations[0].name, "Station 1");
}

struct ModeCase {
  std::string name;
  std::string line;
  Refraction refraction;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class RefractionMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(RefractionMode, IsMappedAsTheClassicRunReadsIt) {
  ClassicFile f{"", {{11.20, 47.80, 620}, {12.10, 48.40, 450}},
                {{288.44, 57.41}, {231.87, 54.20}, {16.58, 43.72}, {46.98, 38.78}}, GetParam().line, {"1", "1", "1", "1"}};
  const EventReadResult r = classicEvent(load(text(f)), "mode.txt");
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.event.refraction, GetParam().refraction);
}

INSTANTIATE_TEST_SUITE_P(Lines, RefractionMode,
                         ::testing::Values(ModeCase{"Zero", "0", Refraction::Corrected},
                                           ModeCase{"One", "1", Refraction::Apparent},
                                           ModeCase{"OnePointZero", "1.0", Refraction::Apparent},
                                           ModeCase{"Two", "2", Refraction::None},
                                           ModeCase{"OneAndAHalf", "1.5", Refraction::Corrected},
                                           ModeCase{"Empty", "", Refraction::Corrected}),
                         [](const auto& info) { return info.param.name; });

struct RefusedCase {
  std::string name;
  ClassicFile file;
  int line;
  std::string expected;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedClassicFile : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedClassicFile, NamesTheLineAndWhatWasExpected) {
  const EventReadResult r = classicEvent(load(text(GetParam().file)), "bad.txt");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->line, GetParam().line) << r.error->text();
  EXPECT_NE(r.error->message.find(GetParam().expected), std::string::npos) << r.error->text();
  EXPECT_TRUE(r.event.stations.empty());
}

const ClassicFile kGood{"", {{11.20, 47.80, 620}, {12.10, 48.40, 450}},
                        {{288.44, 57.41}, {231.87, 54.20}, {16.58, 43.72}, {46.98, 38.78}}, "0", {"1", "1", "1", "1"}};

ClassicFile with(ClassicFile f, int flagSlot, const std::string& flag) {
  f.flags[flagSlot] = flag;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedClassicFile,
    ::testing::Values(RefusedCase{"FlagTwo", with(kGood, 0, "2"), 18, "expected 0 (not used) or 1 (used)"},
                      RefusedCase{"FlagMinusOne", with(kGood, 2, "-1"), 20, "expected 0 (not used) or 1 (used)"},
                      RefusedCase{"OneSighting", with(with(with(kGood, 1, "0"), 2, "0"), 3, "0"), 18, "too few sightings"},
                      RefusedCase{"SecondStationUnused", with(with(kGood, 2, "0"), 3, "0"), 20, "ViewPoint 2 has no sighting"},
                      RefusedCase{"LatitudeOver90", [] {
                                    ClassicFile f = kGood;
                                    f.station[1][1] = 95;
                                    return f;
                                  }(), 11, "latitude"},
                      RefusedCase{"ElevationOver90", [] {
                                    ClassicFile f = kGood;
                                    f.slot[1][1] = 91;
                                    return f;
                                  }(), 8, "elevation"}),
    [](const auto& info) { return info.param.name; });

TEST(ConvertCommand, WritesTheShippedEventOfTheFourSightingExample) {
  const ToolRun run = runSightline("convert examples/four-sightings.txt");
  EXPECT_EQ(run.status, kExitSolved);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, readText(std::string(SIGHTLINE_EXAMPLES_DIR) + "/four-sightings.json"));
}

TEST(ConvertCommand, ReadsStandardInput) {
  const ToolRun run = runSightline("convert -", readText(std::string(SIGHTLINE_EXAMPLES_DIR) + "/four-sightings.txt"));
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_EQ(run.out, readText(std::string(SIGHTLINE_EXAMPLES_DIR) + "/four-sightings.json"));
}

TEST(ConvertCommand, RefusedFileIsStatusThreeWithTheLine) {
  const std::string path = writeTemp("flag-two.txt", text(with(kGood, 1, "2")));
  const ToolRun run = runSightline("convert '" + path + "'");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("sightline: " + path + ":19: use flag 2: expected", 0), 0u) << run.err;
}

TEST(ConvertCommand, OutputSolves) {
  // Three sightings: one plane of sight, the other station's line meets it.
  const std::string event = writeTemp("converted.json", "");
  ASSERT_EQ(runSightline("convert --output '" + event + "' examples/three-sightings.txt").status, kExitSolved);
  const ToolRun run = runSightline("solve --format json '" + event + "'");
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_NE(run.out.find("\"status\": \"points-only\""), std::string::npos) << run.out;
}

}  // namespace
}  // namespace sightline
