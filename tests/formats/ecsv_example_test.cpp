// The three-camera ECSV example: its files are what three cameras with
// astrometric (star-corrected) calibration would report of a known straight
// trajectory, and `sightline solve` on them gives that trajectory back.
//
// SIGHTLINE_WRITE_EXAMPLES=1 makes the first test rewrite the ECSV files
// instead of comparing them; regenerate expected.geojson afterwards with
//   sightline solve --format geojson --trajectory-model straight examples/ecsv/*.ecsv > examples/ecsv/expected.geojson
// (the straight-line model: the truth is a straight Earth-fixed line)
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "earth/refraction.hpp"
#include "geometry/angles.hpp"
#include "formats/ecsv.hpp"
#include "earth/geoid.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

// The ECSV files at `paths`, read and parsed as one event.
EventReadResult readEcsvPaths(const std::vector<std::string>& paths) {
  std::vector<NamedText> texts;
  if (auto error = readInputs(paths, texts)) return EventReadResult{Event{}, error};
  return readEcsvEvent(texts, EcsvOptions{});
}


using nlohmann::json;

const std::string kFolder = std::string(SIGHTLINE_EXAMPLES_DIR) + "/ecsv/";
const char* const kEventName = "ev_20261114_210307";

const KnownTrajectory& truth() {
  static const KnownTrajectory t{{45.10, 11.40, 88000.0}, {45.32, 11.02, 36000.0}, *parseIsoTime("2026-11-14T21:03:07Z"),
                                 22000.0};
  return t;
}

struct Camera {
  const char* file;
  const char* cameraId;
  const char* location;
  GeodeticPosition site;  ///< height above mean sea level, metres
  int count;
  double from;
  double to;
};

const std::array<Camera, 3> kCameras = {{
    {"ev_20261114_210307_A.ecsv", "A01", "Colle Alto", {44.55, 10.95, 640.0}, 22, 0.00, 0.85},
    {"ev_20261114_210307_B.ecsv", "B07", "Pianura Est", {45.40, 12.05, 12.0}, 24, 0.10, 1.00},
    {"ev_20261114_210307_C.ecsv", "C03", "Lago Nord", {45.85, 11.10, 215.0}, 18, 0.05, 0.95},
}};

const Geoid& geoid() {
  static const std::unique_ptr<Geoid> g = [] {
    std::string message;
    auto opened = Geoid::open(message);
    if (!opened) ADD_FAILURE() << message;
    return opened;
  }();
  return *g;
}

// Apparent zenith angle (radians) of the ray from `station` that reaches `point` (ECEF).
double apparentZenithReaching(const PreparedStation& station, const Vector3& point) {
  const double target = traceTargetAngle(station, point);
  const Vector3 v = point - station.position;
  const double geometric = std::acos(dot(v, station.up) / v.length());
  double lo = geometric - degToRad(1.0), hi = geometric;  // the air lifts: the apparent zenith is smaller
  for (int k = 0; k < 64; ++k) {
    const double mid = 0.5 * (lo + hi);
    (traceRefraction(mid, station.height, station.traceRadius, target) < geometric ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// The star-corrected elevation (degrees) a camera calibrated on stars reports for `apparent` (degrees).
double starCorrected(double apparent) {
  double e = apparent;
  for (int k = 0; k < 100; ++k) e = apparent - standardRefraction(e);
  return e;
}

// "2026-11-14T21:03:07.123456", microseconds always, no zone (UTC), as the networks write.
std::string networkTime(double seconds) {
  double whole = std::floor(seconds);
  long micro = std::lround((seconds - whole) * 1e6);
  if (micro >= 1000000) {
    whole += 1.0;
    micro -= 1000000;
  }
  char fraction[32];
  std::snprintf(fraction, sizeof fraction, ".%06ld", micro);
  return formatIsoTime(whole).substr(0, 19) + fraction;
}

/// The ECSV text of each camera, keyed by file name.
std::map<std::string, std::string> exampleFiles() {
  std::vector<KnownStation> stations;
  for (const Camera& c : kCameras) {
    GeodeticPosition onEllipsoid = c.site;
    onEllipsoid.height += geoid().undulation(c.site.latitude, c.site.longitude);
    stations.push_back({c.location, onEllipsoid, c.count, c.from, c.to});
  }
  const Event event = knownEvent(truth(), stations);
  const PreparedEvent prepared = prepare(event);

  std::map<std::string, std::string> files;
  std::size_t i = 0;
  for (std::size_t s = 0; s < kCameras.size(); ++s) {
    const Camera& c = kCameras[s];
    std::ostringstream out;
    out << "# %ECSV 0.9\n# ---\n# datatype:\n"
           "# - {name: datetime, datatype: string}\n"
           "# - {name: azimuth, unit: deg, datatype: float64}\n"
           "# - {name: altitude, unit: deg, datatype: float64}\n"
           "# - {name: err_minus_azimuth, unit: deg, datatype: float64}\n"
           "# - {name: err_plus_azimuth, unit: deg, datatype: float64}\n"
           "# - {name: err_minus_altitude, unit: deg, datatype: float64}\n"
           "# - {name: err_plus_altitude, unit: deg, datatype: float64}\n"
           "# - {name: mag_data, datatype: float64}\n"
           "# delimiter: ','\n# meta: !!omap\n";
    char line[512];
    std::snprintf(line, sizeof line,
                  "# - {obs_latitude: %.6f}\n# - {obs_longitude: %.6f}\n# - {obs_elevation: %.1f}\n"
                  "# - {origin: 'Sightline example'}\n# - {camera_id: '%s'}\n# - {location: '%s'}\n"
                  "# - {event: '%s'}\n",
                  c.site.latitude, c.site.longitude, c.site.height, c.cameraId, c.location, kEventName);
    out << line
        << "datetime,azimuth,altitude,err_minus_azimuth,err_plus_azimuth,err_minus_altitude,err_plus_altitude,"
           "mag_data\n";
    const std::vector<Sighting>& sightings = event.stations[s].sightings;
    for (std::size_t k = 0; k < sightings.size(); ++k, ++i) {
      const double f = c.from + (c.to - c.from) * static_cast<double>(k) / (c.count - 1);
      const double apparent =
          90.0 - radToDeg(apparentZenithReaching(prepared.stations[prepared.sightings[i].station], pointAlong(truth(), f)));
      // Brightest in the middle of the path.
      const double magnitude = -6.0 + 8.0 * (f - 0.5) * (f - 0.5);
      std::snprintf(line, sizeof line, "%s,%.6f,%.6f,0.010000,0.010000,0.010000,0.010000,%.2f\n",
                    networkTime(*sightings[k].time).c_str(), sightings[k].azimuth, starCorrected(apparent), magnitude);
      out << line;
    }
    files[c.file] = out.str();
  }
  return files;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(EcsvExample, FilesAreTheKnownTrajectorySeenThroughTheAir) {
  const std::map<std::string, std::string> files = exampleFiles();
  const bool rewrite = std::getenv("SIGHTLINE_WRITE_EXAMPLES") != nullptr;
  for (const auto& [name, text] : files) {
    if (rewrite) {
      std::ofstream(kFolder + name, std::ios::binary) << text;
      continue;
    }
    EXPECT_EQ(readText(kFolder + name), text) << name << " differs from what the known trajectory gives";
  }
}

TEST(EcsvExample, FilesReadAsThreeStationsAboveSeaLevel) {
  std::vector<std::string> paths;
  for (const Camera& c : kCameras) paths.push_back(kFolder + c.file);
  const EventReadResult r = readEcsvPaths(paths);
  ASSERT_FALSE(r.error) << r.error->text();
  ASSERT_EQ(r.event.stations.size(), 3u);
  EXPECT_EQ(r.event.name, kEventName);
  EXPECT_EQ(r.event.stations[1].name, "Pianura Est");
  EXPECT_EQ(r.event.stations[1].heightReference, HeightReference::MeanSeaLevel);
  EXPECT_EQ(r.event.stations[1].sightings.size(), 24u);
  EXPECT_EQ(*r.event.time, truth().beginTime);
}

/// Runs the built tool; its standard output and exit status.
std::pair<int, std::string> runTool(const std::string& arguments) {
  const std::string command = std::string(SIGHTLINE_BINARY) + " " + arguments + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {-1, ""};
  std::string out;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;) out.append(buffer.data(), n);
  const int status = pclose(pipe.release());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string exampleArguments() {
  std::string arguments;
  for (const Camera& c : kCameras) arguments += " '" + kFolder + c.file + "'";
  return arguments;
}

json solvedExample() {
  const auto [status, out] = runTool("solve --format geojson --trajectory-model straight" + exampleArguments());
  EXPECT_EQ(status, 0);
  return json::parse(out, nullptr, false);
}

double metresBetween(const json& coordinates, const GeodeticPosition& p) {
  constexpr double kMetresPerDegree = 111195.0;  // on a sphere of the Earth's mean radius
  const double north = (coordinates.at(1).get<double>() - p.latitude) * kMetresPerDegree;
  const double east = (coordinates.at(0).get<double>() - p.longitude) * kMetresPerDegree * std::cos(degToRad(p.latitude));
  const double up = coordinates.at(2).get<double>() - p.height;
  return std::sqrt(north * north + east * east + up * up);
}

TEST(EcsvExample, SolveGivesTheKnownTrajectoryBack) {
  const json doc = solvedExample();
  ASSERT_FALSE(doc.is_discarded());
  const json* trajectory = nullptr;
  for (const json& f : doc.at("features")) {
    if (f.at("properties").at("kind") == "trajectory") trajectory = &f;
  }
  ASSERT_NE(trajectory, nullptr) << doc.dump(1);
  const json& line = trajectory->at("geometry").at("coordinates");
  // Angles rounded to 1e-6 degree are a few millimetres at these ranges.
  EXPECT_LT(metresBetween(line.at(0), truth().begin), 0.05) << line.dump();
  EXPECT_LT(metresBetween(line.at(1), truth().end), 0.05) << line.dump();
  const json& p = trajectory->at("properties");
  EXPECT_NEAR(p.at("speed").get<double>(), truth().speed, 0.1);
  EXPECT_NEAR(p.at("beginHeightMsl").get<double>(),
              truth().begin.height - geoid().undulation(truth().begin.latitude, truth().begin.longitude), 0.05);
  // Each camera's "begin" and "end" are its own first and last rows, not one point seen by all.
  for (const json& f : doc.at("features")) EXPECT_NE(f.at("properties").at("kind"), "labelled point") << f.dump();
}

// Same structure, same text, numbers equal to a millimetre or 1e-8 of their size.
void expectSameDocument(const json& expected, const json& actual, const std::string& where) {
  ASSERT_EQ(expected.type(), actual.type()) << where;
  if (expected.is_number()) {
    const double a = expected.get<double>(), b = actual.get<double>();
    EXPECT_NEAR(a, b, std::max(1e-3, 1e-8 * std::fabs(a))) << where;
  } else if (expected.is_object()) {
    ASSERT_EQ(expected.size(), actual.size()) << where << ": " << actual.dump();
    for (const auto& [key, value] : expected.items()) {
      ASSERT_TRUE(actual.contains(key)) << where << "." << key;
      expectSameDocument(value, actual.at(key), where + "." + key);
    }
  } else if (expected.is_array()) {
    ASSERT_EQ(expected.size(), actual.size()) << where;
    for (std::size_t i = 0; i < expected.size(); ++i) expectSameDocument(expected[i], actual[i], where + "[" + std::to_string(i) + "]");
  } else {
    EXPECT_EQ(expected, actual) << where;
  }
}

TEST(EcsvExample, SolveMatchesTheExpectedGeoJson) {
  const json expected = json::parse(readText(kFolder + "expected.geojson"), nullptr, false);
  ASSERT_FALSE(expected.is_discarded()) << "examples/ecsv/expected.geojson is not JSON";
  const json actual = solvedExample();
  ASSERT_FALSE(actual.is_discarded());
  expectSameDocument(expected, actual, "$");
}

}  // namespace
}  // namespace sightline
