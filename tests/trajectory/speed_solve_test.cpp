// solve() against known decelerating trajectories seen by video cameras whose
// clocks are off: the speed model, the clock offsets, every sighting's length
// and the orbit's starting state must come back from exact sightings. The
// truth is the forward model of trajectory/synthetic.hpp (lengths and times
// from L(tau) = vInf*tau - a1*(exp(a2*tau) - 1)), never solve()'s own numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/angles.hpp"
#include "support/readable_name.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

/// What the initial speed must come back to from exact sightings (m/s): ten times
/// tighter than the 10 m/s promised; the cases come within 0.1 m/s (printed).
constexpr double kInitialSpeedTolerance = 1.0;
/// How far one bad frame may move the initial speed (m/s).
constexpr double kBadFrameTolerance = 10.0;
/// What each fitted clock offset must come back to (s).
constexpr double kOffsetTolerance = 1e-3;
/// What each sighting's length along the trajectory must come back to (m).
constexpr double kLengthTolerance = 1.0;
/// A second (s) a sighting's time may differ from the truth's, for the begin time.
constexpr double kBeginTimeTolerance = 1e-3;
/// Degrees on the sky: the sigma of a good video camera, which tells the fit that
/// the cases' decelerations (tens to thousands of metres) are significant.
constexpr double kVideoSigma = 0.01;

const GeodeticPosition kBegin{47.9, 11.5, 95000};
const GeodeticPosition kToward{47.6, 11.9, 42000};  ///< the path heads here; each case ends it earlier

const std::vector<KnownStation> kCameras = {{"Hilltop", {47.80, 11.20, 620}, 0, 0.0, 0.9},
                                            {"Lakeside", {48.40, 12.10, 450}, 0, 0.1, 1.0},
                                            {"Valley", {47.20, 11.70, 1200}, 0, 0.05, 0.95},
                                            {"Ridge", {47.50, 12.40, 900}, 0, 0.2, 0.8}};

/// A known decelerating fireball (pathLength metres from kBegin toward kToward)
/// filmed by the first `offsets.size()` cameras at `frameRate`, with those clock offsets (s).
struct SpeedCase {
  std::string name;
  double vInf = 0.0;        ///< m/s
  double a1 = 0.0;          ///< m
  double a2 = 0.0;          ///< 1/s
  double pathLength = 0.0;  ///< m
  double frameRate = 25.0;  ///< frames per second
  std::vector<double> offsets;
};

std::ostream& operator<<(std::ostream& os, const SpeedCase& c) { return os << c.name; }

KnownTrajectory trajectoryOf(const SpeedCase& c) {
  const Vector3 a = toEcef(kBegin), b = toEcef(kToward);
  const Vector3 end = a + (c.pathLength / distance(a, b)) * (b - a);
  return {kBegin, toGeodetic(end), 1.79e9, c.vInf, c.a1, c.a2};
}

std::vector<KnownStation> camerasOf(const SpeedCase& c) {
  std::vector<KnownStation> stations;
  for (std::size_t s = 0; s < c.offsets.size(); ++s) {
    KnownStation station = kCameras[s];
    station.clockOffset = c.offsets[s];
    station.frameRate = c.frameRate;
    stations.push_back(station);
  }
  return stations;
}

/// The case's exact sightings, with the sigma of a video camera.
Event videoEvent(const SpeedCase& c) {
  Event event = knownEvent(trajectoryOf(c), camerasOf(c));
  event.sigma = kVideoSigma;
  return event;
}

bool hasWarning(const Solution& s, const std::string& code) {
  return std::any_of(s.warnings.begin(), s.warnings.end(), [&](const Warning& w) { return w.code == code; });
}

std::vector<SpeedCase> decelerating() {
  return {
      {"Fast70kms_a1_1000m_a2_0p5_TwoCameras_25fps", 70000, 1000, 0.5, 100000, 25, {0.0, 0.2}},
      {"Slow15kms_a1_10m_a2_2_ThreeCameras_50fps", 15000, 10, 2.0, 25000, 50, {0.05, -0.2, 0.13}},
      {"Mid40kms_a1_10m_a2_10_FourCameras_50fps", 40000, 10, 10.0, 15000, 50, {-0.1, 0.2, 0.0, -0.15}},
      {"Mid25kms_a1_100m_a2_3_ThreeCameras_25fps", 25000, 100, 3.0, 25000, 25, {0.2, -0.2, 0.1}},
      {"Fast55kms_a1_300m_a2_1p5_FourCameras_25fps", 55000, 300, 1.5, 50000, 25, {0.0, -0.05, 0.17, -0.19}},
  };
}

class DeceleratingSightings : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(DeceleratingSightings, GiveBackInitialSpeedOffsetsAndLengths) {
  const SpeedCase& c = GetParam();
  const KnownTrajectory truth = trajectoryOf(c);
  const std::vector<KnownStation> cameras = camerasOf(c);
  const Solution solution = solve(videoEvent(c));
  ASSERT_TRUE(solution.trajectory && solution.trajectory->velocity);
  const Velocity& v = *solution.trajectory->velocity;
  EXPECT_EQ(v.model, VelocityModel::Exponential);
  const double trueInitial = knownSpeed(truth, 0.0);
  EXPECT_NEAR(v.initial, trueInitial, kInitialSpeedTolerance);
  std::printf("  %s: vInit %.4f m/s (error %.2e), a1 %.3f m, a2 %.5f 1/s\n", c.name.c_str(), v.initial,
              v.initial - trueInitial, v.a1, v.a2);

  const std::size_t reference = v.referenceStation;
  ASSERT_LT(reference, c.offsets.size());
  ASSERT_EQ(solution.trajectory->clockOffsets.size(), c.offsets.size());
  for (const StationClock& clock : solution.trajectory->clockOffsets) {
    EXPECT_EQ(clock.fitted, clock.station != reference) << cameras[clock.station].name;
    EXPECT_NEAR(clock.offset, c.offsets[clock.station] - c.offsets[reference], kOffsetTolerance)
        << cameras[clock.station].name;
  }
  EXPECT_NEAR(v.beginTime, truth.beginTime + c.offsets[reference], kBeginTimeTolerance);

  std::size_t checked = 0;
  for (const SightingResult& r : solution.sightings) {
    ASSERT_TRUE(r.length && r.timeFromBegin) << cameras[r.station].name << " sighting " << r.sighting;
    const double tau = knownTimes(truth, cameras[r.station])[r.sighting];
    EXPECT_NEAR(*r.length, knownLength(truth, tau), kLengthTolerance) << cameras[r.station].name << " " << r.sighting;
    EXPECT_NEAR(*r.timeFromBegin, tau, kBeginTimeTolerance) << cameras[r.station].name << " " << r.sighting;
    ++checked;
  }
  EXPECT_GE(checked, 20u * c.offsets.size() / 2);

  ASSERT_TRUE(solution.orbit);
  EXPECT_NEAR(solution.orbit->orbit.vInit, v.initial, 1e-9 * v.initial);
  EXPECT_EQ(solution.orbit->time, v.beginTime);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeceleratingSightings, ::testing::ValuesIn(decelerating()),
                         testing::ReadableName());

SpeedCase steady() { return {"Steady30kms", 30000, 0, 0, 40000, 25, {0.0, 0.1, -0.12}}; }

TEST(SpeedSolve, ConstantSpeedDataFallsBackToConstantSpeed) {
  const SpeedCase c = steady();
  const Solution solution = solve(videoEvent(c));
  ASSERT_TRUE(solution.trajectory && solution.trajectory->velocity);
  const Velocity& v = *solution.trajectory->velocity;
  EXPECT_EQ(v.model, VelocityModel::Constant);
  EXPECT_TRUE(hasWarning(solution, "constant-speed-fallback"));
  EXPECT_NEAR(v.initial, c.vInf, kInitialSpeedTolerance);
  EXPECT_NEAR(v.final, c.vInf, kInitialSpeedTolerance);
  for (const StationClock& clock : solution.trajectory->clockOffsets) {
    EXPECT_NEAR(clock.offset, c.offsets[clock.station] - c.offsets[v.referenceStation], kOffsetTolerance);
  }
}

TEST(SpeedSolve, ClocksTakenAsSynchronisedFitNoOffset) {
  SpeedCase c = decelerating()[3];
  c.offsets = {0.0, 0.0, 0.0};
  Event event = videoEvent(c);
  event.clockOffsets = ClockOffsetMode::None;
  const Solution solution = solve(event);
  ASSERT_TRUE(solution.trajectory && solution.trajectory->velocity);
  ASSERT_EQ(solution.trajectory->clockOffsets.size(), 3u);
  for (const StationClock& clock : solution.trajectory->clockOffsets) {
    EXPECT_EQ(clock.offset, 0.0);
    EXPECT_FALSE(clock.fitted);
  }
  EXPECT_NEAR(solution.trajectory->velocity->initial, knownSpeed(trajectoryOf(c), 0.0), kInitialSpeedTolerance);
}

TEST(SpeedSolve, ClocksTakenAsSynchronisedLeaveTheirErrorsInTheSpeed) {
  // The same cameras with clocks 0.2 s apart: without offsets the speed must go wrong,
  // which shows that the offsets fitted above carry real weight.
  SpeedCase c = decelerating()[3];
  Event event = videoEvent(c);
  event.clockOffsets = ClockOffsetMode::None;
  const Solution solution = solve(event);
  ASSERT_TRUE(solution.trajectory && solution.trajectory->velocity);
  EXPECT_GT(std::fabs(solution.trajectory->velocity->initial - knownSpeed(trajectoryOf(c), 0.0)),
            100 * kInitialSpeedTolerance);
}

TEST(SpeedSolve, OneBadFrameBarelyMovesTheInitialSpeed) {
  const SpeedCase c = decelerating()[3];
  const KnownTrajectory truth = trajectoryOf(c);
  Event event = videoEvent(c);
  const double clean = solve(event).trajectory->velocity->initial;
  Sighting& bad = event.stations[1].sightings[event.stations[1].sightings.size() / 2];
  constexpr double kBadFrameShift = 4.0 / 60.0;  // degrees: 4 arcminutes, 24 sigma
  bad.elevation += kBadFrameShift;
  const Solution solution = solve(event);
  ASSERT_TRUE(solution.trajectory && solution.trajectory->velocity);
  const double moved = solution.trajectory->velocity->initial;
  std::printf("  bad frame: vInit %.3f -> %.3f m/s (truth %.3f)\n", clean, moved, knownSpeed(truth, 0.0));
  EXPECT_NEAR(moved, clean, kBadFrameTolerance);
}

TEST(SpeedSolve, UntimedSightingsGiveNoSpeedAndNoOrbit) {
  const SpeedCase c = decelerating()[0];
  Event event = videoEvent(c);
  for (Station& station : event.stations)
    for (Sighting& sighting : station.sightings) sighting.time.reset();
  const Solution solution = solve(event);
  ASSERT_TRUE(solution.trajectory);
  EXPECT_FALSE(solution.trajectory->velocity);
  EXPECT_TRUE(solution.trajectory->clockOffsets.empty());
  EXPECT_FALSE(solution.orbit);
  EXPECT_TRUE(hasWarning(solution, "no-orbit-without-times"));
  for (const SightingResult& r : solution.sightings) EXPECT_FALSE(r.length || r.velocity || r.lag);
}

TEST(KnownTrajectory, LengthAndTimeAreInverse) {
  const KnownTrajectory truth = trajectoryOf(decelerating()[2]);
  for (double length : {0.0, 1000.0, 7500.0, 14999.0}) {
    EXPECT_NEAR(knownLength(truth, knownTime(truth, length)), length, 1e-6);
  }
  // Speed is the derivative of length (central difference).
  const double h = 1e-6, tau = 0.3;
  EXPECT_NEAR((knownLength(truth, tau + h) - knownLength(truth, tau - h)) / (2 * h), knownSpeed(truth, tau), 1e-3);
}

TEST(KnownTrajectory, FramesComeAtTheFrameRate) {
  const SpeedCase c = decelerating()[1];
  const KnownTrajectory truth = trajectoryOf(c);
  const std::vector<double> taus = knownTimes(truth, camerasOf(c)[1]);
  ASSERT_GT(taus.size(), 10u);
  for (std::size_t k = 1; k < taus.size(); ++k) EXPECT_NEAR(taus[k] - taus[k - 1], 1.0 / c.frameRate, 1e-9);
  EXPECT_NEAR(knownLength(truth, taus.front()), 0.1 * c.pathLength, 1e-3);
  EXPECT_LE(knownLength(truth, taus.back()), c.pathLength + 1e-3);
}

}  // namespace
}  // namespace sightline
