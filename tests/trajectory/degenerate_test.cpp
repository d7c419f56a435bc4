// What solve() does when the geometry gives less than a trajectory: statuses,
// points it can still find, and the warnings that say what is doubtful.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

const KnownTrajectory kPath{{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 21000};
const GeodeticPosition kHilltop{47.80, 11.20, 620};
const GeodeticPosition kLakeside{48.40, 12.10, 450};

bool hasWarning(const Solution& s, const std::string& part) {
  return std::any_of(s.warnings.begin(), s.warnings.end(),
                     [&](const Warning& w) { return w.text.find(part) != std::string::npos; });
}

bool hasCode(const Solution& s, const std::string& code) {
  return std::any_of(s.warnings.begin(), s.warnings.end(), [&](const Warning& w) { return w.code == code; });
}

TEST(Degenerate, OneStationIsTooFew) {
  const Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 3}});
  EXPECT_EQ(solve(event).status, SolveStatus::TooFewStations);
  Event second = knownEvent(kPath, {{"Hilltop", kHilltop, 3}, {"Lakeside", kLakeside, 2}});
  second.stations[1].sightings.clear();
  EXPECT_EQ(solve(second).status, SolveStatus::TooFewStations);
}

TEST(Degenerate, SingleSightingsMeetAtTheirClosestApproach) {
  // One sighting per station: the generalised two-line midpoint.
  const Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 1}, {"Lakeside", kLakeside, 1}});
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::PointsOnly);
  EXPECT_FALSE(solution.trajectory);
  for (const SightingResult& r : solution.sightings) {
    ASSERT_TRUE(r.hasPoint);
    EXPECT_LT(distance(r.point.ecef, pointAlong(kPath, 0.5)), 0.01);
  }
}

TEST(Degenerate, ParallelSingleSightingsGiveNoPoint) {
  // Two stations looking along the same direction: the lines never meet.
  Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 1}, {"Lakeside", kLakeside, 1}});
  event.stations[1].position = event.stations[0].position;
  event.stations[1].position.height += 1000;
  event.stations[1].sightings[0] = event.stations[0].sightings[0];
  const Solution solution = solve(event);
  EXPECT_EQ(solution.status, SolveStatus::NoGeometry);
  for (const SightingResult& r : solution.sightings) EXPECT_FALSE(r.hasPoint);
}

TEST(Degenerate, OnePlaneOnlyIntersectsTheSingleSightingsWithIt) {
  const Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 3}, {"Lakeside", kLakeside, 1},
                                         {"Ridge", {47.2, 11.7, 1200}, 1, 0.2, 0.2}});
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::PointsOnly);
  EXPECT_TRUE(hasWarning(solution, "no trajectory"));
  EXPECT_TRUE(hasCode(solution, "points-only"));
  EXPECT_FALSE(solution.sightings[0].hasPoint);  // the plane's own sightings have no point
  ASSERT_TRUE(solution.sightings[3].hasPoint);
  EXPECT_LT(distance(solution.sightings[3].point.ecef, pointAlong(kPath, 0.5)), 0.01);
  ASSERT_TRUE(solution.sightings[4].hasPoint);
  EXPECT_LT(distance(solution.sightings[4].point.ecef, pointAlong(kPath, 0.2)), 0.01);
}

TEST(Degenerate, ParallelPlanesGiveNoTrajectory) {
  // Two stations on the trajectory's own plane... both see it edge-on in the same plane:
  // stations placed on the line's ground track see planes that contain the vertical through it.
  Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 2}, {"Lakeside", kLakeside, 2}});
  event.stations[1] = event.stations[0];
  event.stations[1].name = "Twin";
  const Solution solution = solve(event);
  EXPECT_EQ(solution.status, SolveStatus::NoGeometry);
  EXPECT_FALSE(solution.trajectory);
  EXPECT_TRUE(hasWarning(solution, "parallel"));
}

TEST(Degenerate, SmallConvergenceIsWarnedAboutAndStillSolved) {
  // Two stations 2 km apart, 100 km from the fireball: the planes meet at a small angle.
  const Event event = knownEvent(kPath, {{"West", {46.9, 10.0, 500}, 3}, {"East", {46.905, 10.02, 500}, 3}});
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::Trajectory);
  ASSERT_EQ(solution.stationPairs.size(), 1u);
  EXPECT_LT(solution.stationPairs[0].convergenceAngle, 3.0);
  EXPECT_TRUE(hasWarning(solution, "networks reject"));
  EXPECT_TRUE(hasCode(solution, "convergence-under-3-degrees"));
}

TEST(Degenerate, LargeResidualsAreReported) {
  Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 3}, {"Lakeside", kLakeside, 3},
                                   {"Ridge", {47.2, 11.7, 1200}, 3}});
  event.stations[2].sightings[1].elevation += 0.5;  // ten sigma off
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::Trajectory);
  EXPECT_TRUE(hasWarning(solution, "station Ridge, sighting 2: residual"));
  EXPECT_TRUE(hasCode(solution, "residual-over-3-sigma"));
  EXPECT_FALSE(hasWarning(solution, "station Hilltop, sighting 1: residual"));
}

TEST(Degenerate, PointsBehindTheStationAreReported) {
  Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 2}, {"Lakeside", kLakeside, 2}});
  // Looking the opposite way: the line of sight's nearest point on the trajectory is behind the station.
  Sighting& s = event.stations[0].sightings[0];
  s.azimuth = std::fmod(s.azimuth + 180.0, 360.0);
  s.elevation = -s.elevation;
  const Solution solution = solve(event);
  EXPECT_TRUE(hasWarning(solution, "behind the station"));
  EXPECT_TRUE(hasCode(solution, "behind-station"));
}

TEST(Degenerate, LabelledSightingsAreTriangulatedAsOnePoint) {
  Event event = knownEvent(kPath, {{"Hilltop", kHilltop, 3}, {"Lakeside", kLakeside, 3},
                                   {"Ridge", {47.2, 11.7, 1200}, 1, 0.5, 0.5}});
  event.stations[0].sightings[1].label = "flare";
  event.stations[1].sightings[1].label = "flare";
  event.stations[2].sightings[0].label = "flare";
  event.stations[0].sightings[0].label = "lonely";  // one station only: not triangulated
  const Solution solution = solve(event);
  ASSERT_EQ(solution.points.size(), 1u);
  const LabelledPoint& flare = solution.points[0];
  EXPECT_EQ(flare.label, "flare");
  EXPECT_EQ(flare.stations, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_LT(distance(flare.point.ecef, pointAlong(kPath, 0.5)), 0.01);
  for (double miss : flare.missDistances) EXPECT_LT(miss, 0.01);

  event.triangulateLabels = false;
  EXPECT_TRUE(solve(event).points.empty());
}

}  // namespace
}  // namespace sightline
