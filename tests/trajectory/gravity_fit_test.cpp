// solve() against fireballs that fly under gravity above the turning Earth,
// filmed by two to six video cameras whose clocks are off: from exact
// sightings the gravity model must give back the begin and end points, every
// sighting's point, the direction and speed at the begin, the clock offsets
// and the geocentric radiant. The truth is the independent forward model of
// gravity_forward_model.hpp; the straight line misses the same cases, which
// shows that the checks can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/angles.hpp"
#include "support/readable_name.hpp"
#include "trajectory/gravity_forward_model.hpp"
#include "trajectory/solve.hpp"

namespace sightline {
namespace {

// What exact data must give back.
constexpr double kBeginTolerance = 1.0;         ///< m
constexpr double kEndTolerance = 1.2;           ///< m
constexpr double kPointTolerance = 1.4;         ///< m, every sighting's point
constexpr double kDirectionTolerance = 0.0016;  ///< degrees
constexpr double kSpeedTolerance = 0.25;        ///< m/s
constexpr double kOffsetTolerance = 20e-6;      ///< s
constexpr double kRadiantTolerance = 0.003;     ///< degrees, geocentric radiant

struct GravityCase {
  std::string name;
  forward::Flight flight;
  int cameras = 2;
  double radius = 80e3;             ///< m: the cameras stand on a circle this wide around the path's middle
  std::vector<double> offsets;      ///< s, per camera (camera 0, the reference, at 0)
  bool straightMisses = true;       ///< the gravity drop is large enough for the straight line to miss
  /// Network cameras instead: all at 25 frames per second, camera k from coverage[2k] to coverage[2k+1].
  std::vector<double> coverage;
};

std::ostream& operator<<(std::ostream& os, const GravityCase& c) { return os << c.name; }

forward::Flight flight(double lat, double lon, double height, double azimuth, double elevation, double speed,
                       double a1, double a2, double duration) {
  forward::Flight f;
  f.begin = {lat, lon, height};
  f.radiantAzimuth = azimuth;
  f.radiantElevation = elevation;
  f.speed = speed;
  f.a1 = a1;
  f.a2 = a2;
  f.duration = duration;
  return f;
}

const std::vector<GravityCase> kCases = {
    {"slow_long_decelerating_arctic", flight(68.5, 20.0, 105e3, 40, 22, 13000, 5, 0.45, 11.0), 3, 90e3,
     {0, 0.35, -1.2}},
    {"fast_short_two_cameras", flight(12.0, -70.0, 115e3, 200, 50, 35000, 0, 0, 0.6), 2, 60e3, {0, 0.12}, false},
    {"medium_four_cameras", flight(45.0, 7.0, 110e3, 300, 30, 20000, 20, 0.8, 4.5), 4, 80e3,
     {0, -0.8, 2.0, 0.3}},
    {"six_cameras_high_arctic", flight(78.0, 15.0, 100e3, 120, 14, 11500, 2, 0.3, 14.5), 6, 110e3,
     {0, 4.5, -3.0, 1.5, -0.4, 0.9}},
    {"three_cameras_southern", flight(-33.0, 150.0, 112e3, 80, 35, 27000, 60, 1.6, 2.5), 3, 70e3,
     {0, -4.8, 0.02}},
    {"five_cameras_equator", flight(0.5, 30.0, 108e3, 10, 25, 16000, 8, 0.6, 7.0), 5, 90e3,
     {0, 0.5, 1.0, -2.2, 3.3}},
};

/// The cameras of a case: on a circle around the ground below the path's middle, camera 0
/// filming the whole flight at 50 frames per second, the others parts of it at 25 or 30.
std::vector<forward::Camera> camerasOf(const GravityCase& c) {
  const Vector3 middle = forward::earthFixedPlaces(c.flight, {0.0, 0.5 * c.flight.duration}).back();
  const GeodeticPosition below = toGeodetic(middle);
  std::vector<forward::Camera> cameras;
  for (int k = 0; k < c.cameras; ++k) {
    const double angle = degToRad(25.0 + 360.0 * k / c.cameras);
    const double north = c.radius * std::cos(angle), east = c.radius * std::sin(angle);
    forward::Camera camera;
    camera.name = "Camera " + std::to_string(k + 1);
    camera.position = {below.latitude + radToDeg(north / 6.371e6),
                       below.longitude + radToDeg(east / (6.371e6 * std::cos(degToRad(below.latitude)))),
                       300.0 + 150.0 * k};
    camera.frameRate = k == 0 ? 50.0 : (k % 2 ? 25.0 : 30.0);
    camera.from = k == 0 ? 0.0 : 0.04 * k;
    camera.to = k == 0 ? 1.0 : 1.0 - 0.05 * k;
    camera.clockOffset = c.offsets[static_cast<std::size_t>(k)];
    if (!c.coverage.empty()) {
      camera.frameRate = 25.0;
      camera.from = c.coverage[2 * static_cast<std::size_t>(k)];
      camera.to = c.coverage[2 * static_cast<std::size_t>(k) + 1];
    }
    cameras.push_back(camera);
  }
  return cameras;
}

/// How far a solution is from the truth, in the units of the tolerances.
struct Misses {
  double begin = 0, end = 0, point = 0, direction = 0, speed = 0, offset = 0, radiant = 0;
};

// atan2 of sine and cosine: exact for the tiniest angles, where acos rounds to 0.
double angleDegrees(const Vector3& a, const Vector3& b) { return radToDeg(std::atan2(cross(a, b).length(), dot(a, b))); }

Misses missesOf(const GravityCase& c, const Solution& s) {
  const std::vector<forward::Camera> cameras = camerasOf(c);
  const forward::Start start = forward::startOf(c.flight);
  Misses m;
  const Trajectory& t = *s.trajectory;
  m.begin = distance(t.begin.ecef, start.position);
  m.direction = angleDegrees(t.direction, start.earthVelocity);
  m.speed = std::fabs(t.velocity->initial - c.flight.speed);
  double last = 0.0;
  std::size_t k = 0;
  for (std::size_t station = 0; station < cameras.size(); ++station) {
    const std::vector<double> times = forward::frameTimes(c.flight, cameras[station]);
    const std::vector<Vector3> places = forward::earthFixedPlaces(c.flight, times);
    for (std::size_t j = 0; j < times.size(); ++j, ++k) m.point = std::max(m.point, distance(s.sightings[k].point.ecef, places[j]));
    last = std::max(last, times.back());
    for (const StationClock& clock : t.clockOffsets)
      if (clock.station == station) m.offset = std::max(m.offset, std::fabs(clock.offset - cameras[station].clockOffset));
  }
  m.end = distance(t.end.ecef, forward::earthFixedPlaces(c.flight, {last}).back());
  const OrbitResult truth = computeOrbit(OrbitState{c.flight.beginTime, start.position, start.earthVelocity});
  if (truth.ok && s.orbit) {
    const Vector3 a(1.0, degToRad(truth.orbit->radiantGeocentric.ra), degToRad(90.0 - truth.orbit->radiantGeocentric.dec), Spherical);
    const Vector3 b(1.0, degToRad(s.orbit->orbit.radiantGeocentric.ra), degToRad(90.0 - s.orbit->orbit.radiantGeocentric.dec), Spherical);
    m.radiant = angleDegrees(a, b);
  } else {
    m.radiant = 180.0;
  }
  return m;
}

Solution solved(const GravityCase& c, TrajectoryModel model) {
  Event event = forward::eventOf(c.flight, camerasOf(c));
  event.trajectoryModel = model;
  return solve(event);
}

class GravityFitTest : public ::testing::TestWithParam<GravityCase> {};

TEST_P(GravityFitTest, ExactSightingsGiveBackTheFlight) {
  const GravityCase& c = GetParam();
  const Solution s = solved(c, TrajectoryModel::Gravity);
  ASSERT_TRUE(s.trajectory && s.trajectory->velocity && s.orbit);
  EXPECT_EQ(s.trajectory->model, TrajectoryModel::Gravity);
  const Misses m = missesOf(c, s);
  std::printf("%s: begin %.2e m, end %.2e m, points %.2e m, direction %.2e deg, speed %.2e m/s, offsets %.2e s, "
              "radiant %.2e deg\n",
              c.name.c_str(), m.begin, m.end, m.point, m.direction, m.speed, m.offset, m.radiant);
  EXPECT_LT(m.begin, kBeginTolerance);
  EXPECT_LT(m.end, kEndTolerance);
  EXPECT_LT(m.point, kPointTolerance);
  EXPECT_LT(m.direction, kDirectionTolerance);
  EXPECT_LT(m.speed, kSpeedTolerance);
  EXPECT_LT(m.offset, kOffsetTolerance);
  EXPECT_LT(m.radiant, kRadiantTolerance);
}

TEST_P(GravityFitTest, TheStraightLineMissesThem) {
  const GravityCase& c = GetParam();
  if (!c.straightMisses) GTEST_SKIP() << "too short for gravity to show";
  const Solution s = solved(c, TrajectoryModel::Straight);
  ASSERT_TRUE(s.trajectory && s.trajectory->velocity);
  EXPECT_EQ(s.trajectory->model, TrajectoryModel::Straight);
  const Misses m = missesOf(c, s);
  std::printf("%s, straight: begin %.2f m, points %.2f m, direction %.4f deg, speed %.2f m/s\n", c.name.c_str(),
              m.begin, m.point, m.direction, m.speed);
  EXPECT_TRUE(m.begin > kBeginTolerance || m.point > kPointTolerance || m.direction > kDirectionTolerance ||
              m.speed > kSpeedTolerance);
}

INSTANTIATE_TEST_SUITE_P(Flights, GravityFitTest, ::testing::ValuesIn(kCases), testing::ReadableName());

/// A network of fireballs (deterministic pseudo-random geometry) in which one camera's clock
/// is 1 to 5 s off: the flight must never come out backwards, with either model, and the
/// gravity model must still give the begin point back.
struct NetworkCase {
  int index = 0;
  TrajectoryModel model = TrajectoryModel::Gravity;
};

std::ostream& operator<<(std::ostream& os, const NetworkCase& c) {
  return os << "event_" << c.index << "_" << trajectoryModelName(c.model);
}

/// Uniform in [0, 1) from a small linear congruential generator (Knuth's MMIX constants).
double uniform(std::uint64_t& state) {
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<double>(state >> 11) / 9007199254740992.0;
}

GravityCase networkEvent(int index) {
  std::uint64_t state = 0x5eed0000ULL + static_cast<std::uint64_t>(index);
  GravityCase c;
  c.name = "network";
  const double speed = 11000 + 24000 * uniform(state);
  const double duration = std::min(0.5 + 3.0 * uniform(state), 90e3 / speed / 0.5);
  c.flight = flight(-60 + 130 * uniform(state), -180 + 360 * uniform(state), 100e3 + 15e3 * uniform(state),
                    360 * uniform(state), 20 + 50 * uniform(state), speed, 0, 0, duration);
  c.cameras = 2 + static_cast<int>(3 * uniform(state));
  c.radius = 50e3 + 50e3 * uniform(state);
  c.offsets.assign(static_cast<std::size_t>(c.cameras), 0.0);
  const double off = (1.0 + 4.0 * uniform(state)) * (uniform(state) < 0.5 ? -1.0 : 1.0);
  c.offsets[1 + static_cast<std::size_t>(uniform(state) * (c.cameras - 1))] = off;
  for (int k = 0; k < c.cameras; ++k) {
    const double from = 0.5 * uniform(state);
    c.coverage.push_back(from);
    c.coverage.push_back(std::min(1.0, from + 0.3 + 0.7 * uniform(state)));
  }
  return c;
}

class ClockOffNetworkTest : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(ClockOffNetworkTest, FlightKeepsItsDirection) {
  const GravityCase c = networkEvent(GetParam().index);
  const Solution s = solved(c, GetParam().model);
  ASSERT_TRUE(s.trajectory);
  const forward::Start start = forward::startOf(c.flight);
  EXPECT_GT(dot(s.trajectory->direction, start.earthVelocity), 0.0) << "the flight came out backwards";
  double first = c.flight.duration;  // the first frame any camera took
  for (const forward::Camera& camera : camerasOf(c)) first = std::min(first, forward::frameTimes(c.flight, camera).front());
  const double toBegin = distance(s.trajectory->begin.ecef, forward::earthFixedPlaces(c.flight, {first}).back());
  const Vector3 last = forward::earthFixedPlaces(c.flight, {c.flight.duration}).back();
  EXPECT_LT(toBegin, distance(s.trajectory->begin.ecef, last)) << "begin and end swapped";
  if (GetParam().model == TrajectoryModel::Gravity) {
    EXPECT_LT(toBegin, kBeginTolerance);
  }
}

std::vector<NetworkCase> networkCases() {
  std::vector<NetworkCase> cases;
  for (int k = 0; k < 40; ++k) {
    cases.push_back({k, TrajectoryModel::Gravity});
    cases.push_back({k, TrajectoryModel::Straight});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(ClockOff, ClockOffNetworkTest, ::testing::ValuesIn(networkCases()), testing::ReadableName());

}  // namespace
}  // namespace sightline
