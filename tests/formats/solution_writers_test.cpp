// The text and JSON reports of a hand-made solution: every figure where it
// belongs, in its unit, uncertainties only when there are any.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "formats/solution_writers.hpp"
#include "earth/geoid.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

using Json = nlohmann::json;

Event twoStations() {
  Event e;
  e.name = "Test fireball";
  e.refraction = Refraction::Corrected;
  Station a;
  a.name = "Alpha & \"Co\"";
  a.position = {47.8, 11.2, 620};
  a.sightings = {Sighting{100, 50, "begin", std::nullopt, std::nullopt}, Sighting{60, 40, "", std::nullopt, std::nullopt}};
  Station b;
  b.name = "Beta";
  b.position = {48.4, 12.1, 450};
  b.sightings = {Sighting{200, 45, "begin", std::nullopt, std::nullopt}, Sighting{230, 35, "", std::nullopt, std::nullopt}};
  e.stations = {a, b};
  return e;
}

SolvedPoint point(double lat, double lon, double h) {
  SolvedPoint p;
  p.position = {lat, lon, h};
  return p;
}

Solution trajectorySolution() {
  Solution s;
  s.status = SolveStatus::Trajectory;
  Trajectory t;
  t.begin = point(47.6, 11.9, 0.1 + 88000.2);
  t.end = point(48.02, 11.52, 47000.0);
  t.length = 68815.25;
  t.radiantAzimuth = 148.78;
  t.radiantElevation = 36.815;
  t.speed = 20999.5;
  t.convergenceAngle = 78.64;
  s.trajectory = t;
  LabelledPoint lp;
  lp.label = "begin";
  lp.point = point(47.6, 11.9, 88000);
  lp.stations = {0, 1};
  lp.missDistances = {0.25, 0.75};
  s.points = {lp};
  for (std::size_t st = 0; st < 2; ++st) {
    for (std::size_t k = 0; k < 2; ++k) {
      SightingResult r;
      r.station = st;
      r.sighting = k;
      r.hasPoint = !(st == 1 && k == 1);
      r.point = point(47.7 + 0.1 * k, 11.8 - 0.1 * k, 80000.0 - 10000.0 * k);
      r.range = 100000.0 + 1000.0 * k;
      r.residual = st == 0 ? -1.25 : 2.5;
      r.refraction = 12.5;
      s.sightings.push_back(r);
    }
  }
  s.stationPairs = {StationPair{0, 1, 78.64}};
  s.passes = 3;
  s.warnings = {{"residual-over-3-sigma", "residual over three sigma"}};
  return s;
}

PointUncertainty spread() {
  PointUncertainty u;
  u.east = 11;
  u.north = 22;
  u.up = 33;
  u.covariance = {121, 1, 2, 1, 484, 3, 2, 3, 1089};
  u.height = {87900, 88100};
  u.latitude = {47.5999, 47.6001};
  u.longitude = {11.8999, 11.9001};
  return u;
}

Solution withUncertainties(Solution s) {
  s.trajectory->begin.uncertainty = spread();
  s.trajectory->end.uncertainty = spread();
  s.points[0].point.uncertainty = spread();
  for (SightingResult& r : s.sightings) r.point.uncertainty = spread();
  s.trajectory->uncertainty = TrajectoryUncertainty{0.125, 0.25, 150.0, 375.0};
  s.monteCarlo = MonteCarloSummary{1000, 7, 42};
  return s;
}

// The speed model, clock offsets, along-track figures of the first station's
// (timed) sightings and an orbit, as the solver would give them.
Solution withSpeedModel(Solution s) {
  Velocity v;
  v.model = VelocityModel::Exponential;
  v.initial = 21500.0;
  v.final = 17250.0;
  v.average = 20999.5;
  v.c = 12.5;
  v.vInf = 21600.0;
  v.a1 = 25.0;
  v.a2 = 4.0;
  v.rms = 37.5;
  v.beginTime = *parseIsoTime("2026-11-14T21:03:47.25Z");
  v.duration = 3.5;
  v.referenceStation = 1;
  s.trajectory->velocity = v;
  s.trajectory->clockOffsets = {StationClock{0, -0.125, true, std::nullopt, std::nullopt},
                                StationClock{1, 0.0, false, std::nullopt, std::nullopt}};
  for (SightingResult& r : s.sightings) {
    if (r.station != 0) continue;
    r.length = 1000.0 + 20000.0 * static_cast<double>(r.sighting);
    r.timeFromBegin = 0.25 + static_cast<double>(r.sighting);
    r.velocity = 21000.0 - 500.0 * static_cast<double>(r.sighting);
    r.lag = -2.5 * static_cast<double>(r.sighting);
  }
  SolvedOrbit o;
  o.orbit.vInit = 21500.0;
  o.orbit.vInf = 21750.0;
  o.orbit.vGeocentric = 18500.0;
  o.orbit.vHeliocentric = 38250.0;
  o.orbit.radiantApparent = {120.5, 20.25};
  o.orbit.radiantGeocentric = {121.5, 19.75};
  o.orbit.radiantEcliptic = {118.25, -1.5};
  o.orbit.solarLongitude = 232.125;
  o.orbit.zenithAttraction = 0.75;
  o.orbit.a = 2.5;
  o.orbit.e = 0.625;
  o.orbit.i = 4.5;
  o.orbit.omega = 200.25;
  o.orbit.node = 52.125;
  o.orbit.q = 0.9375;
  o.orbit.Q = 4.0625;
  o.orbit.period = 3.953;
  o.orbit.trueAnomaly = 340.5;
  o.orbit.tisserand = 3.125;
  o.time = v.beginTime;
  o.point = {47.6, 11.9, 88000.3};
  s.orbit = o;
  return s;
}

// The spreads a Monte Carlo run adds to withSpeedModel().
Solution withSpeedModelSpreads(Solution s) {
  VelocityUncertainty u;
  u.initial = 125.0;
  u.final = 250.0;
  u.a1 = 5.0;
  u.a2 = 0.5;
  u.initialInterval = {21250.0, 21750.0};
  u.finalInterval = {16750.0, 17750.0};
  u.a1Interval = {15.0, 35.0};
  u.a2Interval = {3.0, 5.0};
  u.draws = 100;
  s.trajectory->velocity->uncertainty = u;
  s.trajectory->clockOffsets[0].sigma = 0.03125;
  s.trajectory->clockOffsets[0].interval = Interval{-0.25, 0.0};
  Orbit sigma;
  sigma.vGeocentric = 150.0;
  sigma.radiantGeocentric = {0.5, 0.25};
  sigma.a = 0.125;
  sigma.e = 0.0078125;
  sigma.q = 0.0078125;
  s.orbit->sigma = sigma;  // no Q and period: some draws were hyperbolic
  s.orbit->draws = 98;
  return s;
}

// Every report test starts from the two-station event and its hand-made trajectory
// solution, changes what it is about, and reads the report back.
class SolutionWriters : public ::testing::Test {
 protected:
  Json json(const OutputContext& context = {}) const {
    std::ostringstream out;
    writeSolutionJson(out, event, solution, context);
    return Json::parse(out.str());
  }
  std::string text(const OutputContext& context = {}) const {
    std::ostringstream out;
    writeSolutionText(out, event, solution, context);
    return out.str();
  }

  Event event = twoStations();
  Solution solution = trajectorySolution();
};

class SolutionJson : public SolutionWriters {};
class SolutionText : public SolutionWriters {};

TEST_F(SolutionJson, CarriesEveryFigureInItsPlace) {
  const Json j = json();
  EXPECT_EQ(j["format"], "sightline-solution");
  EXPECT_EQ(j["version"], 1);
  EXPECT_EQ(j["status"], "trajectory");
  const Json& t = j["trajectory"];
  EXPECT_EQ(t["begin"]["height"].get<double>(), 0.1 + 88000.2);  // exactly: numbers round-trip
  EXPECT_EQ(t["end"]["latitude"], 48.02);
  EXPECT_EQ(t["length"], 68815.25);
  EXPECT_EQ(t["radiant"]["azimuth"], 148.78);
  EXPECT_EQ(t["radiant"]["elevation"], 36.815);
  EXPECT_EQ(t["speed"], 20999.5);
  EXPECT_EQ(t["convergenceAngle"], 78.64);
  EXPECT_FALSE(t["begin"].contains("heightMsl"));
  EXPECT_FALSE(t["begin"].contains("sigma"));
  EXPECT_FALSE(t.contains("lengthSigma"));
  EXPECT_FALSE(j.contains("monteCarlo"));
  ASSERT_EQ(j["points"].size(), 1u);
  EXPECT_EQ(j["points"][0]["label"], "begin");
  EXPECT_EQ(j["points"][0]["stations"], Json({"Alpha & \"Co\"", "Beta"}));
  EXPECT_EQ(j["points"][0]["missDistances"], Json({0.25, 0.75}));
  ASSERT_EQ(j["sightings"].size(), 4u);
  EXPECT_EQ(j["sightings"][0]["station"], "Alpha & \"Co\"");
  EXPECT_EQ(j["sightings"][0]["label"], "begin");
  EXPECT_EQ(j["sightings"][1]["label"], "");
  EXPECT_EQ(j["sightings"][1]["range"], 101000.0);
  EXPECT_EQ(j["sightings"][2]["residual"], 2.5);
  EXPECT_EQ(j["sightings"][2]["refraction"], 12.5);
  EXPECT_EQ(j["stationPairs"][0]["stations"], Json({"Alpha & \"Co\"", "Beta"}));
  EXPECT_EQ(j["stationPairs"][0]["convergenceAngle"], 78.64);
  EXPECT_EQ(j["passes"], 3);
  EXPECT_EQ(j["warnings"], Json({"residual over three sigma"}));
  EXPECT_EQ(j["warningCodes"], Json({"residual-over-3-sigma"}));
}

TEST_F(SolutionJson, SightingWithoutAPointHasNullsNotNumbers) {
  const Json s = json()["sightings"][3];
  EXPECT_TRUE(s["latitude"].is_null());
  EXPECT_TRUE(s["height"].is_null());
  EXPECT_TRUE(s["range"].is_null());
  EXPECT_TRUE(s["residual"].is_null());
  EXPECT_EQ(s["refraction"], 12.5);
}

TEST_F(SolutionJson, NoTrajectoryIsNullAndNoSpeedIsNull) {
  solution.trajectory->speed.reset();
  EXPECT_TRUE(json()["trajectory"]["speed"].is_null());
  solution.trajectory.reset();
  solution.status = SolveStatus::PointsOnly;
  const Json j = json();
  EXPECT_TRUE(j["trajectory"].is_null());
  EXPECT_EQ(j["status"], "points-only");
}

TEST_F(SolutionJson, StatusNames) {
  solution = Solution{};
  solution.status = SolveStatus::TooFewStations;
  EXPECT_EQ(json()["status"], "too-few-stations");
  solution.status = SolveStatus::NoGeometry;
  EXPECT_EQ(json()["status"], "no-geometry");
}

TEST_F(SolutionJson, UncertaintiesAppearBesideTheirFigures) {
  solution = withUncertainties(solution);
  const Json j = json();
  const Json& begin = j["trajectory"]["begin"];
  EXPECT_EQ(begin["sigma"], Json({{"east", 11.0}, {"north", 22.0}, {"up", 33.0}}));
  EXPECT_EQ(begin["covariance"], Json({{121.0, 1.0, 2.0}, {1.0, 484.0, 3.0}, {2.0, 3.0, 1089.0}}));
  EXPECT_EQ(begin["interval95"]["height"], Json({87900.0, 88100.0}));
  EXPECT_EQ(begin["interval95"]["latitude"], Json({47.5999, 47.6001}));
  EXPECT_EQ(begin["interval95"]["longitude"], Json({11.8999, 11.9001}));
  EXPECT_TRUE(j["points"][0].contains("covariance"));
  EXPECT_TRUE(j["sightings"][0].contains("sigma"));
  EXPECT_EQ(j["trajectory"]["radiant"]["sigma"], Json({{"azimuth", 0.125}, {"elevation", 0.25}}));
  EXPECT_EQ(j["trajectory"]["lengthSigma"], 150.0);
  EXPECT_EQ(j["trajectory"]["speedSigma"], 375.0);
  EXPECT_EQ(j["monteCarlo"], Json({{"draws", 1000}, {"failed", 7}, {"seed", 42}}));
}

TEST_F(SolutionJson, HeightAboveSeaLevelComesFromTheGeoid) {
  std::string message;
  const std::unique_ptr<Geoid> geoid = Geoid::open(message);
  if (!geoid) GTEST_SKIP() << "no geoid grid: " << message;
  OutputContext context;
  context.geoid = geoid.get();
  const Json j = json(context);
  const double n = geoid->undulation(47.6, 11.9);
  ASSERT_TRUE(std::isfinite(n));
  EXPECT_GT(n, 40.0);  // the geoid lies about 47 m above the ellipsoid in southern Germany
  EXPECT_LT(n, 55.0);
  EXPECT_DOUBLE_EQ(j["trajectory"]["begin"]["heightMsl"].get<double>(), 0.1 + 88000.2 - n);
  EXPECT_TRUE(j["points"][0].contains("heightMsl"));
  EXPECT_TRUE(j["sightings"][0].contains("heightMsl"));
}

TEST_F(SolutionJson, SpeedModelInMetresPerSecondWithTimesAndStationNames) {
  solution = withSpeedModel(solution);
  const Json j = json();
  const Json& v = j["trajectory"]["velocity"];
  EXPECT_EQ(v["initial"], 21500.0);  // m/s, not km/s
  EXPECT_EQ(v["final"], 17250.0);
  EXPECT_EQ(v["average"], j["trajectory"]["speed"]);  // the straight-line speed, still in its old place too
  EXPECT_EQ(v["model"], "exponential");
  EXPECT_EQ(v["a1"], 25.0);
  EXPECT_EQ(v["a2"], 4.0);
  EXPECT_EQ(v["c"], 12.5);
  EXPECT_EQ(v["vInf"], 21600.0);
  EXPECT_EQ(v["rms"], 37.5);
  EXPECT_EQ(v["beginTime"], "2026-11-14T21:03:47.25Z");
  EXPECT_EQ(v["duration"], 3.5);
  EXPECT_EQ(v["referenceStation"], "Beta");
  EXPECT_FALSE(v.contains("sigma"));
  EXPECT_FALSE(v.contains("interval95"));
  const Json& clocks = j["trajectory"]["clockOffsets"];
  ASSERT_EQ(clocks.size(), 2u);
  EXPECT_EQ(clocks[0], Json({{"station", "Alpha & \"Co\""}, {"offset", -0.125}, {"fitted", true}, {"sigma", nullptr},
                             {"interval95", nullptr}}));
  EXPECT_EQ(clocks[1]["fitted"], false);
}

TEST_F(SolutionJson, AlongTrackFiguresPerSightingAreNullWithoutATime) {
  solution = withSpeedModel(solution);
  const Json j = json();
  const Json& timed = j["sightings"][1];
  EXPECT_EQ(timed["length"], 21000.0);
  EXPECT_EQ(timed["timeFromBegin"], 1.25);
  EXPECT_EQ(timed["velocity"], 20500.0);
  EXPECT_EQ(timed["lag"], -2.5);
  for (const char* key : {"length", "timeFromBegin", "velocity", "lag"}) {
    ASSERT_TRUE(j["sightings"][2].contains(key)) << key;
    EXPECT_TRUE(j["sightings"][2][key].is_null()) << key;
  }
}

TEST_F(SolutionJson, WithoutSpeedModelOrOrbitTheKeysAreNull) {
  const Json j = json();
  EXPECT_TRUE(j["trajectory"]["velocity"].is_null());
  EXPECT_EQ(j["trajectory"]["clockOffsets"], Json::array());
  ASSERT_TRUE(j.contains("orbit"));
  EXPECT_TRUE(j["orbit"].is_null());
  EXPECT_TRUE(j["sightings"][0]["lag"].is_null());
}

TEST_F(SolutionJson, OrbitHasItsReferencePointTimeAndFigures) {
  solution = withSpeedModel(solution);
  const Json o = json()["orbit"];
  EXPECT_EQ(o["time"], "2026-11-14T21:03:47.25Z");
  EXPECT_EQ(o["point"], Json({{"latitude", 47.6}, {"longitude", 11.9}, {"height", 88000.3}}));
  EXPECT_EQ(o["vGeocentric"], 18500.0);
  EXPECT_EQ(o["radiantGeocentric"], Json({{"ra", 121.5}, {"dec", 19.75}}));
  EXPECT_EQ(o["radiantEcliptic"], Json({{"longitude", 118.25}, {"latitude", -1.5}}));
  EXPECT_EQ(o["a"], 2.5);
  EXPECT_EQ(o["Q"], 4.0625);
  EXPECT_EQ(o["tisserand"], 3.125);
  EXPECT_FALSE(o.contains("sigma"));
}

TEST_F(SolutionJson, MonteCarloSpreadsOfSpeedModelClocksAndOrbit) {
  solution = withSpeedModelSpreads(withSpeedModel(solution));
  const Json j = json();
  const Json& v = j["trajectory"]["velocity"];
  EXPECT_EQ(v["sigma"], Json({{"initial", 125.0}, {"final", 250.0}, {"a1", 5.0}, {"a2", 0.5}}));
  EXPECT_EQ(v["interval95"]["initial"], Json({21250.0, 21750.0}));
  EXPECT_EQ(v["interval95"]["a2"], Json({3.0, 5.0}));
  EXPECT_EQ(j["trajectory"]["clockOffsets"][0]["sigma"], 0.03125);
  EXPECT_EQ(j["trajectory"]["clockOffsets"][0]["interval95"], Json({-0.25, 0.0}));
  EXPECT_TRUE(j["trajectory"]["clockOffsets"][1]["sigma"].is_null());
  const Json& sigma = j["orbit"]["sigma"];
  EXPECT_FALSE(sigma.contains("time"));
  EXPECT_FALSE(sigma.contains("point"));
  EXPECT_EQ(sigma["vGeocentric"], 150.0);
  EXPECT_EQ(sigma["radiantGeocentric"]["dec"], 0.25);
  EXPECT_EQ(sigma["e"], 0.0078125);
  EXPECT_TRUE(sigma["Q"].is_null());
  EXPECT_TRUE(sigma["period"].is_null());
}

TEST_F(SolutionText, ShowsTheSpeedModelClocksAndOrbitAfterTheTrajectory) {
  solution = withSpeedModel(solution);
  const std::string t = text();
  const std::vector<std::string> inOrder{
      "speed    21.000 km/s",
      "Velocity (Earth-fixed, along the trajectory)",
      "initial  21.500 km/s at the begin point, 2026-11-14T21:03:47.25Z",
      "final    17.250 km/s at the last timed sighting, 3.500 s later",
      "average  21.000 km/s",
      "exponential deceleration",
      "a1 25 m, a2 4 1/s, c 12.5 m, vInf 21.600 km/s",
      "RMS of the lengths 37.5 m; times on the clock of Beta",
      "Clock offsets (station clock minus reference clock, s; positive: its times are later)",
      "-0.125 s  fitted",
      "+0.000 s  reference",
      "Orbit (from the begin point at 2026-11-14T21:03:47.25Z",
      "geocentric (vG) 18.500 km/s",
      "Geocentric radiant (J2000): RA 121.500°  Dec +19.750°",
      "a 2.5000 AU  e 0.62500  i 4.500°",
      "Convergence angles of the station pairs"};
  std::size_t at = 0;
  for (const std::string& part : inOrder) {
    const std::size_t found = t.find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part << "\n" << t;
    at = found + part.size();
  }
  EXPECT_EQ(t.find("±"), std::string::npos);
}

TEST_F(SolutionText, SpreadsOfTheSpeedModelClocksAndOrbit) {
  solution = withSpeedModelSpreads(withSpeedModel(solution));
  solution.trajectory->uncertainty = TrajectoryUncertainty{0.125, 0.25, 150.0, 375.0};
  const std::string t = text();
  for (const char* part : {"initial  21.500 ± 0.125 km/s", "final    17.250 ± 0.250 km/s", "average  21.000 ± 0.375 km/s",
                           "a1 25 ± 5 m, a2 4 ± 0.5 1/s", "-0.125 ± 0.031 s  fitted", "geocentric (vG) 18.500 km/s ± 0.150 km/s",
                           "Dec +19.750° ± 0.250°", "e 0.62500 ± 0.00781", "Q 4.0625 AU  period"}) {
    EXPECT_NE(t.find(part), std::string::npos) << part << "\n" << t;
  }
}

TEST_F(SolutionText, ConstantSpeedModelSaysSo) {
  solution = withSpeedModel(solution);
  solution.trajectory->velocity->model = VelocityModel::Constant;
  const std::string t = text();
  EXPECT_NE(t.find("model    constant speed"), std::string::npos) << t;
  EXPECT_EQ(t.find("exponential"), std::string::npos) << t;
  EXPECT_EQ(json()["trajectory"]["velocity"]["model"], "constant");
}

TEST_F(SolutionText, ShowsTheFiguresInKilometresAndDegrees) {
  const std::string t = text();
  EXPECT_NE(t.find("Test fireball"), std::string::npos);
  EXPECT_NE(t.find("Status: trajectory found"), std::string::npos);
  EXPECT_NE(t.find("begin    height 88.000 km  latitude 47.60000  longitude 11.90000"), std::string::npos) << t;
  EXPECT_NE(t.find("azimuth 148.780 deg, elevation 36.815 deg"), std::string::npos) << t;
  EXPECT_NE(t.find("length   68.815 km"), std::string::npos) << t;
  EXPECT_NE(t.find("speed    21.000 km/s"), std::string::npos) << t;
  EXPECT_NE(t.find("78.64 deg  Alpha & \"Co\" / Beta"), std::string::npos) << t;
  EXPECT_NE(t.find("Alpha & \"Co\" 0.2 m, Beta 0.8 m"), std::string::npos) << t;
  EXPECT_NE(t.find("101.000       -1.2       12.5"), std::string::npos) << t;
  EXPECT_NE(t.find("no point"), std::string::npos) << t;
  EXPECT_NE(t.find("  - residual over three sigma"), std::string::npos) << t;
  EXPECT_EQ(t.find("±"), std::string::npos);
  EXPECT_EQ(t.find("Monte Carlo"), std::string::npos);
}

TEST_F(SolutionText, ShowsSpreadsAndDrawCountsWhenThereAreAny) {
  solution = withUncertainties(solution);
  const std::string t = text();
  EXPECT_NE(t.find("height 88.000 ± 0.033 km  latitude 47.60000 ± 22 m  longitude 11.90000 ± 11 m"), std::string::npos) << t;
  EXPECT_NE(t.find("azimuth 148.780 ± 0.125 deg, elevation 36.815 ± 0.250 deg"), std::string::npos) << t;
  EXPECT_NE(t.find("length   68.815 ± 0.150 km"), std::string::npos) << t;
  EXPECT_NE(t.find("speed    21.000 ± 0.375 km/s"), std::string::npos) << t;
  EXPECT_NE(t.find("1000 Monte Carlo draws, 7 failed, seed 42"), std::string::npos) << t;
}

TEST_F(SolutionText, WithoutTrajectoryOrTimesSaysSo) {
  solution.trajectory->speed.reset();
  EXPECT_NE(text().find("speed    not known"), std::string::npos);
  solution.trajectory.reset();
  solution.status = SolveStatus::PointsOnly;
  const std::string t = text();
  EXPECT_EQ(t.find("Trajectory\n"), std::string::npos);
  EXPECT_NE(t.find("Status: points found, but no trajectory"), std::string::npos) << t;
}

}  // namespace
}  // namespace sightline

namespace sightline {
namespace {

// The stations' sigmas and the sightings left out of the fit: JSON keys, the text's line and table.
Solution withNoise(Solution s) {
  s.stationSigmas = {StationSigma{0, 0.0025, SigmaSource::Estimated, 0.00245},
                     StationSigma{1, 0.05, SigmaSource::Stated, std::nullopt}};
  s.sightings[2].excluded = true;
  s.sightings[1].alongTrackResidual = -7.5;
  return s;
}

TEST_F(SolutionJson, StationSigmasAndExcludedSightings) {
  solution = withNoise(solution);
  const Json j = json();
  ASSERT_EQ(j["stationSigmas"].size(), 2u);
  EXPECT_EQ(j["stationSigmas"][0], Json({{"station", "Alpha & \"Co\""}, {"sigma", 0.0025}, {"source", "estimated"},
                                         {"residualRms", 0.00245}}));
  EXPECT_EQ(j["stationSigmas"][1]["source"], "stated");
  EXPECT_TRUE(j["stationSigmas"][1]["residualRms"].is_null());
  EXPECT_EQ(j["sightings"][2]["excluded"], true);
  EXPECT_EQ(j["sightings"][0]["excluded"], false);
  EXPECT_EQ(j["sightings"][1]["alongTrackResidual"], -7.5);
  EXPECT_TRUE(j["sightings"][0]["alongTrackResidual"].is_null());
}

TEST_F(SolutionText, SaysWhichSigmasAndMarksExcludedSightings) {
  solution = withNoise(solution);
  const std::string t = text();
  EXPECT_NE(t.find("Sigmas: stated (1 station); estimated from the residuals (1 station)\n"), std::string::npos) << t;
  EXPECT_NE(t.find("      9.0  estimated  residual RMS 8.8\n"), std::string::npos) << t;  // arcseconds
  EXPECT_NE(t.find("    180.0  stated     residual RMS -\n"), std::string::npos) << t;
  EXPECT_NE(t.find("(left out of the fit)"), std::string::npos) << t;
}

}  // namespace
}  // namespace sightline
