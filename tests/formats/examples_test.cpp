// The shipped event examples: the three-station one is made from a known
// trajectory (its generator is here) and solves back to it; every example and
// every expected solution follows its JSON Schema.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/event_json.hpp"
#include "formats/orbit_writers.hpp"
#include "formats/solution_writers.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = SIGHTLINE_EXAMPLES_DIR;
const std::string kSchemas = std::string(SIGHTLINE_SOURCE_DIR) + "/schema";
const std::string kThreeStations = kExamples + "/three-stations.json";

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

KnownTrajectory threeStationTrajectory() {
  KnownTrajectory t;
  t.begin = {47.60, 11.90, 88000.0};
  t.end = {48.02, 11.52, 47000.0};
  t.beginTime = *parseIsoTime("2026-11-14T21:03:47.2Z");
  t.speed = 21000.0;
  return t;
}

// The example as a network would report it: angles to 0.001 degree, times to
// the millisecond, the first and last sightings of the two full views labelled.
Event threeStationEvent() {
  Event e = knownEvent(threeStationTrajectory(), {{"Hilltop Observatory", {47.80, 11.20, 620.0}, 4, 0.0, 1.0},
                                                  {"Lakeside Station", {48.40, 12.10, 450.0}, 3, 0.0, 1.0},
                                                  {"Valley Camera", {47.30, 12.60, 800.0}, 2, 0.2, 0.9}});
  e.name = "Three-station fireball of 2026-11-14";
  e.sigma = kDefaultSigmaDegrees;  // stated, as the example has always been
  e.trajectoryModel = TrajectoryModel::Gravity;  // the example shows the default model (the file does not name it)
  for (Station& station : e.stations) {
    for (Sighting& s : station.sightings) {
      s.azimuth = std::round(s.azimuth * 1000.0) / 1000.0;
      s.elevation = std::round(s.elevation * 1000.0) / 1000.0;
      if (s.time) s.time = std::round(*s.time * 1000.0) / 1000.0;
    }
  }
  for (std::size_t s = 0; s < 2; ++s) {
    e.stations[s].sightings.front().label = "begin";
    e.stations[s].sightings.back().label = "end";
  }
  return e;
}

// Run once with --gtest_also_run_disabled_tests to (re)write the example.
TEST(ExampleGenerator, DISABLED_WriteThreeStationExample) {
  std::ofstream(kThreeStations, std::ios::binary) << writeEventJson(threeStationEvent());
}

TEST(ThreeStationExample, IsWhatItsGeneratorWrites) {
  EXPECT_EQ(readText(kThreeStations), writeEventJson(threeStationEvent()));
}

TEST(ThreeStationExample, SolvesBackToTheKnownTrajectory) {
  const EventReadResult read = readEventJson(readText(kThreeStations), kThreeStations);
  ASSERT_FALSE(read.error) << read.error->text();
  const Solution solution = solve(read.event);
  ASSERT_EQ(solution.status, SolveStatus::Trajectory);
  const KnownTrajectory known = threeStationTrajectory();
  // Angles rounded to 0.001 degree move a line of sight by about 2 m at 120 km.
  EXPECT_LT(distance(solution.trajectory->begin.ecef, toEcef(known.begin)), 40.0);
  EXPECT_LT(distance(solution.trajectory->end.ecef, toEcef(known.end)), 40.0);
  ASSERT_TRUE(solution.trajectory->speed);
  EXPECT_NEAR(*solution.trajectory->speed, known.speed, 0.005 * known.speed);
  EXPECT_EQ(solution.points.size(), 2u);  // begin and end, seen from two stations
}

// Runs python3's jsonschema on instances; empty when valid, else its complaint.
// Skips the calling test when python3 or the module is missing.
bool havePythonJsonschema() {
  return std::system("python3 -c 'import jsonschema' >/dev/null 2>&1") == 0;
}

std::string schemaComplaints(const std::string& schema, const std::vector<std::string>& instances) {
  const fs::path script = fs::temp_directory_path() / ("sightline-schema-" + std::to_string(::getpid()) + ".py");
  const fs::path report = fs::temp_directory_path() / ("sightline-schema-" + std::to_string(::getpid()) + ".txt");
  std::ofstream(script) << "import json, sys, jsonschema\n"
                           "schema = json.load(open(sys.argv[1]))\n"
                           "jsonschema.Draft202012Validator.check_schema(schema)\n"
                           "v = jsonschema.Draft202012Validator(schema)\n"
                           "bad = 0\n"
                           "for path in sys.argv[2:]:\n"
                           "    for e in v.iter_errors(json.load(open(path))):\n"
                           "        print(path, list(e.absolute_path), e.message)\n"
                           "        bad += 1\n"
                           "sys.exit(1 if bad else 0)\n";
  std::string command = "python3 '" + script.string() + "' '" + schema + "'";
  for (const std::string& i : instances) command += " '" + i + "'";
  command += " > '" + report.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::string out = readText(report.string());
  fs::remove(script);
  fs::remove(report);
  if (status != 0 && out.empty()) out = "python3 failed";
  return out;
}

std::vector<std::string> filesIn(const std::string& dir, const std::string& extension) {
  std::vector<std::string> out;
  if (!fs::exists(dir)) return out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == extension) out.push_back(entry.path().string());
  }
  return out;
}

TEST(Schemas, EveryEventExampleIsValid) {
  if (!havePythonJsonschema()) GTEST_SKIP() << "python3 with the jsonschema module is not installed";
  const std::vector<std::string> events = filesIn(kExamples, ".json");
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(schemaComplaints(kSchemas + "/sightline-event.schema.json", events), "");
}

// Gives `solution` every figure of the speed model and the orbit, with spreads.
void addSpeedModelAndOrbit(Solution& solution) {
  Trajectory& t = *solution.trajectory;
  Velocity v;
  v.model = VelocityModel::Exponential;
  v.initial = 21100.0;
  v.final = 20500.0;
  v.average = t.speed;
  v.a1 = 20.0;
  v.a2 = 3.0;
  v.beginTime = *parseIsoTime("2026-11-14T21:03:47.2Z");
  v.duration = 2.0;
  VelocityUncertainty vu;
  vu.initialInterval = {21000.0, 21200.0};
  vu.finalInterval = {20000.0, 21000.0};
  vu.a1Interval = {10.0, 30.0};
  vu.a2Interval = {2.0, 4.0};
  v.uncertainty = vu;
  t.velocity = v;
  t.clockOffsets = {StationClock{0, 0.0, false, std::nullopt, std::nullopt},
                    StationClock{1, 0.05, true, 0.01, Interval{0.03, 0.07}}};
  for (SightingResult& r : solution.sightings) {
    r.length = 1000.0;
    r.timeFromBegin = 0.05;
    r.velocity = 21000.0;
    r.lag = -0.5;
  }
  const OrbitCommand c{v.beginTime, t.begin.position, t.radiantAzimuth, t.radiantElevation, v.initial};
  const OrbitResult orbit = computeOrbit(stateFromRadiant(c.time, c.point, c.azimuth, c.elevation, c.speed));
  ASSERT_TRUE(orbit.orbit);
  Orbit sigma = *orbit.orbit;
  sigma.Q.reset();
  solution.orbit = SolvedOrbit{*orbit.orbit, c.time, c.point, sigma, 97};
}

TEST(Schemas, EveryExpectedSolutionAndAReportWithUncertaintiesAreValid) {
  if (!havePythonJsonschema()) GTEST_SKIP() << "python3 with the jsonschema module is not installed";
  std::vector<std::string> solutions = filesIn(kExamples + "/expected", ".json");
  // A solution with every optional figure.
  const EventReadResult read = readEventJson(readText(kThreeStations), kThreeStations);
  ASSERT_FALSE(read.error);
  Solution solution = solve(read.event);
  ASSERT_TRUE(solution.trajectory);
  PointUncertainty u;
  u.east = 10;
  u.north = 20;
  u.up = 30;
  u.covariance = {100, 1, 2, 1, 400, 3, 2, 3, 900};
  u.height = {1000, 2000};
  u.latitude = {47.5, 47.6};
  u.longitude = {11.5, 11.6};
  solution.trajectory->begin.uncertainty = u;
  solution.trajectory->end.uncertainty = u;
  for (LabelledPoint& p : solution.points) p.point.uncertainty = u;
  for (SightingResult& r : solution.sightings) r.point.uncertainty = u;
  solution.trajectory->uncertainty = TrajectoryUncertainty{0.1, 0.2, 30.0, 40.0};
  solution.monteCarlo = MonteCarloSummary{100, 3, 7};
  addSpeedModelAndOrbit(solution);
  const fs::path written = fs::temp_directory_path() / ("sightline-solution-" + std::to_string(::getpid()) + ".json");
  {
    std::ofstream out(written);
    writeSolutionJson(out, read.event, solution, OutputContext{});
  }
  solutions.push_back(written.string());
  EXPECT_EQ(schemaComplaints(kSchemas + "/sightline-solution.schema.json", solutions), "");
  fs::remove(written);
}

TEST(Schemas, OrbitDocumentsWithAndWithoutAnOrbitAreValid) {
  if (!havePythonJsonschema()) GTEST_SKIP() << "python3 with the jsonschema module is not installed";
  std::vector<std::string> documents;
  // An Orionid (elliptic), the same too fast (hyperbolic: no Q, no period), too slow (no orbit).
  for (const double speed : {67405.0, 72000.0, 5000.0}) {
    const OrbitCommand c{*parseIsoTime("2019-10-23T09:12:25.56Z"), {44.1307, -81.3206, 116070.0}, 162.21, 61.0, speed};
    const OrbitResult result = computeOrbit(stateFromRadiant(c.time, c.point, c.azimuth, c.elevation, c.speed));
    const fs::path written = fs::temp_directory_path() /
                             ("sightline-orbit-" + std::to_string(::getpid()) + "-" + std::to_string(documents.size()) + ".json");
    std::ofstream out(written);
    writeOrbitJson(out, c, result);
    documents.push_back(written.string());
  }
  EXPECT_EQ(schemaComplaints(kSchemas + "/sightline-orbit.schema.json", documents), "");
  for (const std::string& d : documents) fs::remove(d);
}

TEST(Schemas, EventSchemaAcceptsClockOffsetsAndRefusesOtherValues) {
  if (!havePythonJsonschema()) GTEST_SKIP() << "python3 with the jsonschema module is not installed";
  std::vector<std::string> written;
  for (const char* mode : {"\"none\"", "\"fit\"", "\"fixed\""}) {
    std::string text = readText(kThreeStations);
    const std::string from = "\"version\": 1,";
    text.replace(text.find(from), from.size(), from + " \"clockOffsets\": " + mode + ",");
    written.push_back((fs::temp_directory_path() / ("sightline-clocks-" + std::to_string(::getpid()) + "-" +
                                                   std::to_string(written.size()) + ".json")).string());
    std::ofstream(written.back()) << text;
  }
  EXPECT_EQ(schemaComplaints(kSchemas + "/sightline-event.schema.json", {written[0], written[1]}), "");
  EXPECT_NE(schemaComplaints(kSchemas + "/sightline-event.schema.json", {written[2]}), "");
  for (const std::string& w : written) fs::remove(w);
}

TEST(Schemas, EventSchemaRefusesWhatTheReaderRefuses) {
  if (!havePythonJsonschema()) GTEST_SKIP() << "python3 with the jsonschema module is not installed";
  std::string text = readText(kThreeStations);
  const std::string from = "\"sightings\"";
  text.replace(text.find(from), from.size(), "\"sightngs\"");
  ASSERT_TRUE(readEventJson(text, "typo.json").error);
  const fs::path typo = fs::temp_directory_path() / ("sightline-typo-" + std::to_string(::getpid()) + ".json");
  std::ofstream(typo) << text;
  EXPECT_NE(schemaComplaints(kSchemas + "/sightline-event.schema.json", {typo.string()}), "");
  fs::remove(typo);
}

}  // namespace
}  // namespace sightline
