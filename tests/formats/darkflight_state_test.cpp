// The start of a dark flight read from a solution: the end point, the end
// time, the final speed, the direction from the line or from endRadiant,
// the sigmas, and solutions that cannot give a start.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "formats/darkflight_state.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

std::string solutionText() {
  // solve --trajectory-model straight --format json examples/three-stations.json
  std::ifstream in(SIGHTLINE_SOURCE_DIR "/tests/data/darkflight/three-stations-straight.json");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DarkFlightStart, AStraightSolutionGivesItsEndAndTheLinesDirectionThere) {
  const nlohmann::json j = nlohmann::json::parse(solutionText());
  DarkFlightStart start;
  ASSERT_FALSE(readDarkFlightStart(solutionText(), "solution.json", start));
  const auto& t = j["trajectory"];
  EXPECT_EQ(start.start.position.latitude, t["end"]["latitude"].get<double>());
  EXPECT_EQ(start.start.position.height, t["end"]["height"].get<double>());
  EXPECT_EQ(start.start.speed, t["velocity"]["final"].get<double>());
  EXPECT_NEAR(start.start.time, *parseIsoTime("2026-11-14T21:03:47.2Z") + t["velocity"]["duration"].get<double>(), 1e-6);
  EXPECT_EQ(start.directionSource, "line");
  // The end point seen from the begin point, turned around: where the body came from, in the end's horizon.
  const GeodeticPosition begin{t["begin"]["latitude"], t["begin"]["longitude"], t["begin"]["height"]};
  const Vector3 back = toEcef(begin) - toEcef(start.start.position);
  const Vector3 again = directionFromHorizontal(localFrame(start.start.position), start.start.azimuth, start.start.elevation);
  EXPECT_LT(angleBetween(back, again), 1e-9);
  // Seen from the end point, the radiant stands lower than from the begin point by the angle between their
  // verticals (the ground distance over the Earth's radius, 55 km / 6371 km = 0.49 degrees).
  const double arc = angleBetween(localFrame(begin).up, localFrame(start.start.position).up) * 180.0 / 3.14159265358979323846;
  EXPECT_NEAR(t["radiant"]["elevation"].get<double>() - start.start.elevation, arc, 0.02);
  EXPECT_NEAR(arc, 0.49, 0.02);
}

TEST(DarkFlightStart, EndRadiantAndSigmasWhenTheSolutionHasThem) {
  nlohmann::json j = nlohmann::json::parse(solutionText());
  j["trajectory"]["model"] = "gravity";  // a curved path: its end radiant, not the line, gives the direction
  j["trajectory"]["endRadiant"] = {{"azimuth", 150.5}, {"elevation", 40.25}};
  j["trajectory"]["end"]["sigma"] = {{"east", 30.0}, {"north", 40.0}, {"up", 50.0}};
  j["trajectory"]["velocity"]["sigma"] = {{"initial", 100.0}, {"final", 120.0}, {"a1", 0.0}, {"a2", 0.0}};
  j["trajectory"]["radiant"]["sigma"] = {{"azimuth", 0.2}, {"elevation", 0.05}};
  DarkFlightStart start;
  ASSERT_FALSE(readDarkFlightStart(j.dump(), "solution.json", start));
  EXPECT_EQ(start.directionSource, "endRadiant");
  EXPECT_EQ(start.start.azimuth, 150.5);
  EXPECT_EQ(start.start.elevation, 40.25);
  EXPECT_EQ(start.sigmaUp, 50.0);
  EXPECT_EQ(start.sigmaSpeed, 120.0);
  EXPECT_NEAR(*start.sigmaDirection, 0.2 * std::cos(40.25 * 3.14159265358979323846 / 180.0), 1e-12);
}

struct BadSolution {
  const char* name;
  std::string text;
  const char* message;
};
void PrintTo(const BadSolution& b, std::ostream* os) { *os << b.name; }

class BadSolutions : public ::testing::TestWithParam<BadSolution> {};

TEST_P(BadSolutions, AreRefusedNamingThePath) {
  DarkFlightStart start;
  const auto error = readDarkFlightStart(GetParam().text, "s.json", start);
  ASSERT_TRUE(error);
  EXPECT_NE(error->text().find(GetParam().message), std::string::npos) << error->text();
}

std::string edited(const char* pointer, const nlohmann::json& value) {
  nlohmann::json j = nlohmann::json::parse(solutionText());
  j[nlohmann::json::json_pointer(pointer)] = value;
  return j.dump();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadSolutions,
    ::testing::Values(BadSolution{"NotJson", "{", "s.json: not a JSON object"},
                      BadSolution{"Nested", std::string(100, '['), "nested too deep"},
                      BadSolution{"AnEvent", "{\"stations\": []}", "s.json: format: expected \"sightline-solution\""},
                      BadSolution{"NoTrajectory", edited("/trajectory", nullptr), "trajectory: the solution has no trajectory"},
                      BadSolution{"EndWithoutHeight", edited("/trajectory/end/height", "high"), "trajectory.end: expected a point"},
                      BadSolution{"ZeroSpeed", edited("/trajectory/velocity/final", 0.0), "trajectory.velocity.final: expected a positive speed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
