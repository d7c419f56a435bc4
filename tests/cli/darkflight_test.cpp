// `sightline darkflight` as users run it: the Murrili fall and its meteorite,
// the map files as GDAL reads them, and every bad input refused with a
// message on standard error, a non-zero exit and nothing on standard output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>

#include "cli/cli_helpers.hpp"
#include "common/exit_status.hpp"
#include "earth/frames.hpp"

namespace sightline {
namespace {

using testing::runSightline;
using testing::writeTemp;

const std::string kProfile = "tests/data/darkflight/example_murrili_wind_profile.csv";

/// DFN's end state of Murrili (tests/data/darkflight/example_murrili.cfg) in Sightline's convention.
const std::string kMurrili =
    "darkflight --time 2015-11-27T10:43:51.626Z --latitude -29.26536580869662 --longitude 137.47792883987492 "
    "--height 18017.406995819358 --azimuth 262.5883511072914 --elevation 68.19939930781753 "
    "--speed 3.1027991615107253 --ground-height -15 --wind " + kProfile;

/// The meteorite (Meteoritical Bulletin): 29.26089 S, 137.53765 E, 1.68 kg.
const GeodeticPosition kFound{-29.26089, 137.53765, 0.0};
constexpr double kFoundMass = 1.68;

struct Closest {
  double distance = 1e99;  ///< metres from the fall line
  double mass = 0.0;       ///< kg at the closest point (log-linear along the segment)
};

/// East and north (metres) of a landing from the meteorite.
std::pair<double, double> fromFind(const nlohmann::json& p) {
  const LocalFrame f = localFrame(kFound);
  const Vector3 d = toEcef(GeodeticPosition{p["latitude"].get<double>(), p["longitude"].get<double>(), 0.0}) - toEcef(kFound);
  return {dot(d, f.east), dot(d, f.north)};
}

Closest closestApproach(const nlohmann::json& line) {
  Closest best;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    const auto [e0, n0] = fromFind(line[i]);
    const auto [e1, n1] = fromFind(line[i + 1]);
    const double de = e1 - e0, dn = n1 - n0;
    const double t = std::clamp(-(e0 * de + n0 * dn) / (de * de + dn * dn), 0.0, 1.0);
    const double d = std::hypot(e0 + t * de, n0 + t * dn);
    if (d < best.distance) {
      best.distance = d;
      const double m0 = std::log(line[i]["mass"].get<double>()), m1 = std::log(line[i + 1]["mass"].get<double>());
      best.mass = std::exp(m0 + t * (m1 - m0));
    }
  }
  return best;
}

TEST(DarkFlightMurrili, TheMeteoriteLiesNearTheFallLineAtAboutItsMass) {
  const auto run = runSightline(kMurrili + " --format json");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const nlohmann::json out = nlohmann::json::parse(run.out);
  ASSERT_EQ(out["fallLine"].size(), 26u);
  const Closest c = closestApproach(out["fallLine"]);
  std::printf("Murrili: the meteorite lies %.0f m from the fall line, at %.2f kg there\n", c.distance, c.mass);
  EXPECT_LT(c.distance, 300.0);
  EXPECT_GT(c.mass, kFoundMass / 5.0);
  EXPECT_LT(c.mass, kFoundMass * 5.0);
}

TEST(DarkFlightMurrili, TheMeteoriteLiesInsideTheEllipseOfItsMass) {
  // DFN's spreads of the end state: about 100 m in position, 300 m/s in speed, 0.02 degrees in direction.
  const auto run = runSightline(kMurrili + " --format json --mass 1.68 --mc 300 --seed 1 --sigma-position 100 "
                                           "--sigma-speed 0.3 --sigma-direction 0.02");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const nlohmann::json out = nlohmann::json::parse(run.out);
  const nlohmann::json& field = out["strewnField"][0];
  EXPECT_EQ(field["draws"], 300);
  const auto [e0, n0] = fromFind(out["fallLine"][0]);
  std::printf("Murrili: the 1.68 kg stone of the fall line lands %.0f m from the meteorite\n", std::hypot(e0, n0));
  EXPECT_LT(std::hypot(e0, n0), 400.0);
  const auto [e, n] = fromFind(field["centre"]);
  const double az = field["ellipse95"]["azimuth"].get<double>() * 3.14159265358979323846 / 180.0;
  const double a = field["ellipse95"]["semiMajor"], b = field["ellipse95"]["semiMinor"];
  // The meteorite from the centre, along the major and the minor axis.
  const double u = -(e * std::sin(az) + n * std::cos(az)), v = -(e * std::cos(az) - n * std::sin(az));
  const double inside = (u / a) * (u / a) + (v / b) * (v / b);
  std::printf("Murrili: the meteorite at %.2f of the 95%% ellipse of 1.68 kg (%.0f x %.0f m)\n", std::sqrt(inside), a, b);
  EXPECT_LT(inside, 1.0);
}

TEST(DarkFlightCommand, SameSeedSameOutputWhateverTheThreads) {
  const std::string args = kMurrili + " --format json --mass 0.1,1 --mc 20 --seed 3 --sigma-position 100";
  const auto one = runSightline(args + " --threads 1");
  const auto two = runSightline(args + " --threads 2");
  ASSERT_EQ(one.status, kExitSolved) << one.err;
  EXPECT_EQ(one.out, two.out);
}

/// Runs ogrinfo on `path`; its output, or nothing when it fails.
std::optional<std::string> ogrinfo(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("ogrinfo -ro -al '" + path + "' 2>&1").c_str(), "r"), pclose);
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  if (pclose(pipe.release()) != 0) return std::nullopt;
  return out;
}

int count(const std::string& text, const std::string& word) {
  int n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

struct MapCase {
  const char* name;
  const char* format;
};
void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }

class DarkFlightMaps : public ::testing::TestWithParam<MapCase> {};

TEST_P(DarkFlightMaps, GdalReadsTheLineThePointsAndTheEllipses) {
  if (!ogrinfo("/dev/null") && std::system("ogrinfo --version > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ogrinfo (Debian gdal-bin) is not installed";
  const auto run = runSightline(kMurrili + " --mass 0.01,0.1,1,10 --mc 20 --format " + GetParam().format);
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const std::string path = writeTemp(std::string("darkflight.") + GetParam().format, run.out);
  const auto info = ogrinfo(path);
  ASSERT_TRUE(info) << "ogrinfo could not open " << path;
  EXPECT_EQ(count(*info, "LINESTRING"), 1) << *info;
  EXPECT_EQ(count(*info, "POINT"), 4) << *info;
  EXPECT_EQ(count(*info, "POLYGON"), 4) << *info;
  EXPECT_NE(info->find("137.5"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Formats, DarkFlightMaps,
                         ::testing::Values(MapCase{"GeoJson", "geojson"}, MapCase{"Kml", "kml"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DarkFlightCommand, DrawsTheFigureInEachFormat) {
  for (const auto& [extension, magic] : {std::pair{".svg", "<?xml"}, std::pair{".png", "\x89PNG"}, std::pair{".pdf", "%PDF"}}) {
    const std::string path = writeTemp(std::string("darkflight_figure") + extension, "");
    const auto run = runSightline(kMurrili + " --mass 0.01,1,100 --mc 5 --format csv --plot " + path);
    ASSERT_EQ(run.status, kExitSolved) << run.err;
    const std::string figure = testing::readText(path);
    EXPECT_EQ(figure.rfind(magic, 0), 0u) << extension;
    EXPECT_GT(figure.size(), 2000u) << extension;
  }
  const auto bad = runSightline(kMurrili + " --mass 1 --plot figure.gif");
  EXPECT_EQ(bad.status, kExitUsage);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("figure.gif: a figure is drawn as .svg, .png or .pdf"), std::string::npos) << bad.err;
}

TEST(DarkFlightCommand, AWindInKnotsFromASoundingDriftsAsTheSameWindInMetresPerSecond) {
  // 20 knots from the west at every level of a sounding (geopotential heights, hPa, degrees C), and the
  // same air as a profile CSV (geometric heights, Pa, K, m/s).
  const double r0 = 6356766.0;
  const std::vector<std::array<double, 3>> levels{{1013.0, 0.0, 15.0}, {500.0, 5500.0, -21.0}, {100.0, 16000.0, -56.0},
                                                  {20.0, 26500.0, -50.0}};
  std::string sounding = "   PRES   HGHT   TEMP   DWPT   RELH   MIXR   DRCT   SKNT\n";
  std::string csv = "Height,TempK,Press,Wind,WDir\n";
  for (const auto& [p, h, t] : levels) {
    char line[160];
    std::snprintf(line, sizeof line, "%7.1f%7.0f%7.1f%7s%7s%7s%7d%7d\n", p, h, t, "", "", "", 270, 20);
    sounding += line;
    std::snprintf(line, sizeof line, "%.6f,%.2f,%.1f,%.9f,270\n", r0 * h / (r0 - h), t + 273.15, p * 100.0, 20.0 * 1852.0 / 3600.0);
    csv += line;
  }
  const std::string state = "darkflight --time 2020-01-01T00:00:00Z --latitude 10 --longitude 20 --height 20000 --azimuth 0 "
                            "--elevation 90 --speed 1 --mass 0.1 --format json --wind ";
  const auto knots = runSightline(state + writeTemp("df_knots.txt", sounding));
  const auto metres = runSightline(state + writeTemp("df_metres.csv", csv));
  const auto still = runSightline("darkflight --time 2020-01-01T00:00:00Z --latitude 10 --longitude 20 --height 20000 "
                                  "--azimuth 0 --elevation 90 --speed 1 --mass 0.1 --format json");
  ASSERT_EQ(knots.status, kExitSolved) << knots.err;
  ASSERT_EQ(metres.status, kExitSolved) << metres.err;
  const auto a = nlohmann::json::parse(knots.out)["fallLine"][0], b = nlohmann::json::parse(metres.out)["fallLine"][0];
  const auto c = nlohmann::json::parse(still.out)["fallLine"][0];
  const LocalFrame f = localFrame(GeodeticPosition{10.0, 20.0, 0.0});
  auto east = [&](const nlohmann::json& p) {
    return dot(toEcef(GeodeticPosition{p["latitude"], p["longitude"], 0.0}) - toEcef(GeodeticPosition{10.0, 20.0, 0.0}), f.east);
  };
  EXPECT_NEAR(east(a), east(b), 0.5);
  // Blowing from the west, the wind carries the stone east, by about its speed times the time of flight.
  EXPECT_GT(east(a) - east(c), 0.6 * 10.29 * a["timeOfFlight"].get<double>());
}

TEST(DarkFlightCommand, DustHeldAloftEndsWithoutALandingAndWithoutAHang) {
  const auto run = runSightline(kMurrili + " --mass 1e-13 --format json");
  EXPECT_EQ(run.status, kExitNoSolution) << run.err;
  EXPECT_NE(run.err.find("did not reach the ground"), std::string::npos) << run.err;
  EXPECT_FALSE(nlohmann::json::parse(run.out)["fallLine"][0]["landed"].get<bool>());
}

TEST(DarkFlightCommand, StartsFromASolution) {
  const auto run = runSightline("darkflight --solution tests/data/darkflight/three-stations-straight.json --mass 1 --format json");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["state"]["source"], "solution");
  EXPECT_EQ(j["state"]["direction"], "line");
  EXPECT_EQ(j["state"]["time"], "2026-11-14T21:03:50.477Z");  // beginTime 21:03:47.2 + duration 3.277 s
  EXPECT_TRUE(j["fallLine"][0]["landed"].get<bool>());
}

TEST(DarkFlightCommand, GeoJsonMassesAreNumbers) {
  const auto run = runSightline(kMurrili + " --mass 0.5,2 --format geojson");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  int lines = 0, points = 0;
  for (const auto& feature : j["features"]) {
    const std::string type = feature["geometry"]["type"];
    lines += type == "LineString";
    if (type == "Point") {
      ++points;
      EXPECT_TRUE(feature["properties"]["mass"].is_number());
    }
  }
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(points, 2);
}

TEST(DarkFlightCommand, CsvHasAHeaderAndOneRowPerMass) {
  const auto run = runSightline(kMurrili + " --mass 0.01,1 --format csv");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_EQ(count(run.out, "\n"), 3);
  EXPECT_EQ(run.out.rfind("mass_kg,latitude,longitude,height_m,time_of_flight_s,impact_speed_m_s\n", 0), 0u);
}

TEST(DarkFlightCommand, StillAirWithoutAProfile) {
  const auto run = runSightline("darkflight --time 2020-01-01T00:00:00Z --latitude 45 --longitude 7 --height 20000 "
                                "--azimuth 0 --elevation 45 --speed 3 --mass 1 --format json");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const nlohmann::json out = nlohmann::json::parse(run.out);
  EXPECT_TRUE(out["air"]["profile"].is_null());
  // Coming from the north, the stone lands south of the start.
  EXPECT_LT(out["fallLine"][0]["latitude"].get<double>(), 45.0);
}

struct BadRun {
  const char* name;
  std::string arguments;
  int status;
  const char* message;  ///< part of the message on standard error
};
void PrintTo(const BadRun& b, std::ostream* os) { *os << b.name; }

class DarkFlightBadInput : public ::testing::TestWithParam<BadRun> {};

TEST_P(DarkFlightBadInput, StopsWithAMessageAndNothingOnStandardOutput) {
  const BadRun& b = GetParam();
  const auto run = runSightline(b.arguments);
  EXPECT_EQ(run.status, b.status) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
}

std::string withProfile(const std::string& name, const std::string& text) {
  return kMurrili.substr(0, kMurrili.find("--wind")) + "--wind " + writeTemp(name, text);
}

const std::string kGood = "Height,TempK,Press,Wind,WDir\n0,288,101325,3,270\n30000,226,1197,3,270\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, DarkFlightBadInput,
    ::testing::Values(
        BadRun{"MissingColumn", withProfile("df_missing.csv", "Height,TempK,Press,Wind\n0,288,101325,3\n"), kExitInput,
               "df_missing.csv:1: wind_direction: no column WDir"},
        BadRun{"NonNumeric", withProfile("df_text.csv", "Height,TempK,Press,Wind,WDir\n0,288,x,3,270\n"), kExitInput,
               "df_text.csv:2:3: pressure: 'x': expected a number"},
        BadRun{"HeightsNotIncreasing", withProfile("df_order.csv", "Height,TempK,Press,Wind,WDir\n0,288,101325,3,270\n0,287,100000,3,270\n"),
               kExitInput, "df_order.csv:3: height"},
        BadRun{"NegativePressure", withProfile("df_press.csv", "Height,TempK,Press,Wind,WDir\n0,288,101325,3,270\n10,287,-1,3,270\n"),
               kExitInput, "df_press.csv:3: pressure"},
        BadRun{"EmptyProfile", withProfile("df_empty.csv", ""), kExitInput, "df_empty.csv: empty file"},
        BadRun{"BinaryProfile", withProfile("df_binary.csv", std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10)), kExitInput,
               "df_binary.csv: binary data"},
        BadRun{"MissingProfile", kMurrili.substr(0, kMurrili.find("--wind")) + "--wind /nonexistent/wind.csv", kExitInput,
               "/nonexistent/wind.csv"},
        BadRun{"SoundingWithoutALevel", withProfile("df_sounding.txt", "   PRES   HGHT   TEMP   DWPT   DRCT   SKNT\n 1000.0    107\n"),
               kExitInput, "df_sounding.txt: no complete level"},
        BadRun{"ProfileHighAboveTheGround", withProfile("df_high.csv", "Height,TempK,Press,Wind,WDir\n500,288,95000,3,270\n30000,226,1197,3,270\n"),
               kExitInput, "df_high.csv: the lowest level (500.0 m above mean sea level) lies more than 100 m above the ground"},
        BadRun{"StartBelowTheGround",
               "darkflight --time 2020-01-01T00:00:00Z --latitude -29.27 --longitude 137.48 --height 18017.4 --azimuth 0 "
               "--elevation 45 --speed 3 --mass 1 --ground-height 20000 --wind " + writeTemp("df_ground.csv", kGood), kExitUsage,
               "--height at 18017.4 m above the ellipsoid lies below the ground"},
        BadRun{"ZeroSpeed", "darkflight --time 2020-01-01T00:00:00Z --latitude 45 --longitude 7 --height 20000 --azimuth 0 --elevation 45 --speed 0",
               kExitUsage, "--speed 0 km/s: expected a speed above 0 and at most 80 km/s"},
        BadRun{"NegativeSpeed", "darkflight --time 2020-01-01T00:00:00Z --latitude 45 --longitude 7 --height 20000 --azimuth 0 --elevation 45 --speed=-3",
               kExitUsage, "--speed -3 km/s"},
        BadRun{"TooFast", "darkflight --time 2020-01-01T00:00:00Z --latitude 45 --longitude 7 --height 20000 --azimuth 0 --elevation 45 --speed 81",
               kExitUsage, "--speed 81 km/s"},
        BadRun{"NegativeMassInAList", kMurrili + " --mass 1,-2,3", kExitUsage, "--mass: mass 2 of the list is -2"},
        BadRun{"ZeroMass", kMurrili + " --mass 0", kExitUsage, "--mass: mass 1 of the list is 0"},
        BadRun{"MassNotANumber", kMurrili + " --mass 1,heavy", kExitUsage, "--mass 1,heavy: 'heavy' is not a number"},
        BadRun{"ZeroDensity", kMurrili + " --density 0", kExitUsage, "--density 0: expected a positive bulk density"},
        BadRun{"NegativeDensity", kMurrili + " --density=-3500", kExitUsage, "--density -3500"},
        BadRun{"NoState", "darkflight --mass 1", kExitUsage, "expected a state"},
        BadRun{"MissingSolution", "darkflight --solution /nonexistent/solution.json", kExitInput, "/nonexistent/solution.json"},
        BadRun{"SolutionNotASolution", "darkflight --solution examples/three-stations.json", kExitInput,
               "examples/three-stations.json: format: expected \"sightline-solution\""},
        BadRun{"SolutionAndState", "darkflight --solution x.json --speed 3", kExitUsage, "--solution excludes"},
        BadRun{"BadTime", "darkflight --time yesterday --latitude 45 --longitude 7 --height 20000 --azimuth 0 --elevation 45 --speed 3",
               kExitUsage, "--time yesterday"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
