// solve() against known trajectories: exact sightings must give back the
// trajectory to a centimetre, whatever the number of stations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "geometry/angles.hpp"
#include "geometry/intersection.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

constexpr double kCentimetre = 0.01;

struct Scene {
  std::string name;
  KnownTrajectory trajectory;
  std::vector<KnownStation> stations;
};

std::ostream& operator<<(std::ostream& os, const Scene& s) { return os << s.name; }

KnownTrajectory alpine() {
  return {{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 21000};
}

std::vector<Scene> scenes() {
  std::vector<Scene> out;
  out.push_back({"TwoStationsTwoSightingsEach", alpine(),
                 {{"Hilltop", {47.80, 11.20, 620}, 2}, {"Lakeside", {48.40, 12.10, 450}, 2}}});
  out.push_back({"ThreeStationsUnevenCover", alpine(),
                 {{"A", {47.80, 11.20, 620}, 4, 0.0, 0.8},
                  {"B", {48.40, 12.10, 450}, 3, 0.2, 1.0},
                  {"C", {47.20, 11.70, 1200}, 5, 0.1, 0.9}}});
  out.push_back({"ThreeStationsOneWithSingleSighting", alpine(),
                 {{"A", {47.80, 11.20, 620}, 3}, {"B", {48.40, 12.10, 450}, 2}, {"C", {47.20, 11.70, 1200}, 1}}});
  out.push_back({"SouthernHemisphereSteep",
                 {{-31.2, 136.1, 88000}, {-31.25, 136.12, 30000}, 1.7e9, 14000},
                 {{"Woomera", {-31.0, 136.5, 150}, 3}, {"Coober", {-29.0, 134.7, 200}, 3},
                  {"Port", {-32.5, 137.8, 20}, 3}, {"Ceduna", {-32.1, 133.7, 15}, 3}}});
  out.push_back({"AcrossTheDateLine",
                 {{-16.8, 179.7, 102000}, {-17.2, -179.6, 60000}, 1.7e9, 30000},
                 {{"Suva", {-18.1, 178.4, 10}, 3}, {"Taveuni", {-16.8, -179.97, 50}, 3},
                  {"Lakeba", {-18.2, -178.8, 30}, 2}}});
  std::vector<KnownStation> ring;
  for (int k = 0; k < 8; ++k) {
    const double a = k * 45.0 * kPi / 180;
    ring.push_back({"R" + std::to_string(k), {45.0 + 0.9 * std::cos(a), 7.0 + 1.2 * std::sin(a), 300.0 + 100 * k}, 2 + k % 3});
  }
  out.push_back({"EightStationsRing", {{45.2, 6.7, 110000}, {44.8, 7.4, 55000}, 1.7e9, 35000}, ring});
  out.push_back({"NearPoleGrazing",
                 {{78.5, 15.0, 90000}, {78.1, 17.0, 40000}, 1.7e9, 18000},
                 {{"Longyear", {78.2, 15.6, 20}, 3}, {"Ny", {78.9, 11.9, 10}, 3}, {"Barents", {78.0, 19.0, 10}, 2}}});
  return out;
}

class ExactGeometry : public ::testing::TestWithParam<Scene> {};

TEST_P(ExactGeometry, GivesBackTheKnownTrajectory) {
  const Scene& scene = GetParam();
  const Event event = knownEvent(scene.trajectory, scene.stations);
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::Trajectory) << statusText(solution.status);
  ASSERT_TRUE(solution.trajectory.has_value());
  const Trajectory& t = *solution.trajectory;

  double first = 1.0, last = 0.0;
  std::size_t r = 0;
  for (const KnownStation& ks : scene.stations) {
    for (int k = 0; k < ks.count; ++k, ++r) {
      const double f = ks.count == 1 ? 0.5 * (ks.from + ks.to) : ks.from + (ks.to - ks.from) * k / (ks.count - 1);
      first = std::min(first, f);
      last = std::max(last, f);
      const SightingResult& s = solution.sightings[r];
      ASSERT_TRUE(s.hasPoint);
      EXPECT_LT(distance(s.point.ecef, pointAlong(scene.trajectory, f)), kCentimetre) << ks.name << " " << k;
      EXPECT_LT(std::fabs(s.residual), 1e-3) << "arcseconds";
      EXPECT_NEAR(s.range, distance(toEcef(ks.position), pointAlong(scene.trajectory, f)), kCentimetre);
    }
  }
  EXPECT_LT(distance(t.begin.ecef, pointAlong(scene.trajectory, first)), kCentimetre);
  EXPECT_LT(distance(t.end.ecef, pointAlong(scene.trajectory, last)), kCentimetre);
  EXPECT_GE(t.begin.position.longitude, -180.0);
  EXPECT_LT(t.begin.position.longitude, 180.0);

  // Radiant: the direction from end back to begin, seen at the begin point.
  double az = 0, el = 0;
  const Vector3 a = toEcef(scene.trajectory.begin), b = toEcef(scene.trajectory.end);
  radiantOf((b - a) / distance(a, b), pointAlong(scene.trajectory, first), az, el);
  EXPECT_NEAR(t.radiantElevation, el, 1e-6);
  EXPECT_NEAR(std::remainder(t.radiantAzimuth - az, 360.0), 0.0, 1e-6);
  ASSERT_TRUE(t.speed.has_value());
  EXPECT_NEAR(*t.speed, scene.trajectory.speed, 1e-3);
  EXPECT_NEAR(t.length, distance(pointAlong(scene.trajectory, first), pointAlong(scene.trajectory, last)), 2 * kCentimetre);
  EXPECT_EQ(solution.stationPairs.size(), [&] {
    std::size_t planes = 0;
    for (const KnownStation& ks : scene.stations) planes += ks.count >= 2 ? 1 : 0;
    return planes * (planes - 1) / 2;
  }());
}

INSTANTIATE_TEST_SUITE_P(Scenes, ExactGeometry, ::testing::ValuesIn(scenes()),
                         [](const auto& info) { return info.param.name; });

TEST(ExactGeometry, DirectionFollowsTimesAndOtherwiseGoesDown) {
  // An upward-moving object (e.g. a re-entering fragment seen in reverse): with times, the
  // times decide; without them, the solver assumes the fireball descends.
  KnownTrajectory up{{47.6, 11.9, 42000}, {47.9, 11.5, 95000}, 1.79e9, 21000};
  const std::vector<KnownStation> st{{"Hilltop", {47.80, 11.20, 620}, 3}, {"Lakeside", {48.40, 12.10, 450}, 3}};
  Event timed = knownEvent(up, st);
  const Solution withTimes = solve(timed);
  ASSERT_TRUE(withTimes.trajectory);
  EXPECT_LT(withTimes.trajectory->begin.position.height, withTimes.trajectory->end.position.height);
  for (Station& s : timed.stations)
    for (Sighting& k : s.sightings) k.time.reset();
  const Solution untimed = solve(timed);
  ASSERT_TRUE(untimed.trajectory);
  EXPECT_GT(untimed.trajectory->begin.position.height, untimed.trajectory->end.position.height);
  EXPECT_FALSE(untimed.trajectory->speed.has_value());
  EXPECT_GT(untimed.trajectory->radiantElevation, 0.0);  // assumed to come down from above
}

// With two stations of two sightings each and straight lines of sight, the
// least-squares line is the planes' intersection: each sighting's point is where
// its line of sight meets the other station's plane.
TEST(ClassicAgreement, TwoByTwoMatchesPlaneIntersectionToAMillimetre) {
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0.0, 0.2);
  for (int trial = 0; trial < 20; ++trial) {
    Event event = knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 2, 0.1, 0.9},
                                        {"Lakeside", {48.40, 12.10, 450}, 2, 0.0, 0.7}});
    for (Station& s : event.stations)
      for (Sighting& k : s.sightings) {
        k.azimuth += noise(random);
        k.elevation += noise(random);
      }
    const Solution solution = solve(event);
    ASSERT_EQ(solution.status, SolveStatus::Trajectory);
    const PreparedEvent prepared = prepare(event);
    std::vector<Vector3> d;
    for (const PreparedSighting& s : prepared.sightings) {
      const PreparedStation& st = prepared.stations[s.station];
      const double az = degToRad(s.azimuth), el = degToRad(s.elevation);
      d.push_back((std::cos(el) * std::sin(az)) * st.east + (std::cos(el) * std::cos(az)) * st.north +
                  std::sin(el) * st.up);
    }
    for (std::size_t i = 0; i < 4; ++i) {
      const std::size_t here = i / 2, there = 1 - here;
      const Viewplane plane(prepared.stations[there].position, d[2 * there], d[2 * there + 1]);
      const Vector3 classic = intersect(plane, Viewline(prepared.stations[here].position, d[i]));
      EXPECT_LT(distance(solution.sightings[i].point.ecef, classic), 0.001) << "trial " << trial << " sighting " << i;
    }
  }
}

}  // namespace
}  // namespace sightline
