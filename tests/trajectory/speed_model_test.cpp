// The speed model and the clock offsets against a forward model, at two levels:
// fitVelocity() on exact lengths and times from known deceleration parameters on
// known station clocks, and solve() on exact sightings of known decelerating
// trajectories filmed by video cameras whose clocks are off (the speed model, the
// clock offsets, every sighting's length and the orbit's starting state). One table
// of decelerating fireballs (decelerating()) is fitted at both levels, beside the
// fit's own cases. The truth is L(t) = vInf*t - a1*(exp(a2*t) - 1) from the true
// begin (trajectory/synthetic.hpp for sightings), never the fit's own numbers.
#include "trajectory/velocity.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "geometry/angles.hpp"
#include "support/readable_name.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

// ---- the forward model of lengths and times -------------------------------------

/// A large epoch the caller has not subtracted entirely: times are seconds after it.
constexpr double kEpoch = 1000.0;

/// One station's video: frames at `fps` from `begin` to `end` (s, true time), clock `offset` s ahead.
struct Camera {
  std::size_t station;
  double begin, end, offset;
};

/// A meteor: length(t) = vInf*t - a1*(exp(a2*t) - 1) from the true begin (t = 0), sigma m per point.
struct Meteor {
  std::string name;
  double vInf, a1, a2, fps, sigma;
  std::vector<Camera> cameras;
};

[[maybe_unused]] void PrintTo(const Meteor& m, std::ostream* os) { *os << m.name; }

double trueLength(const Meteor& m, double t) { return m.vInf * t - m.a1 * std::expm1(m.a2 * t); }
double trueSpeed(const Meteor& m, double t) { return m.vInf - m.a1 * m.a2 * std::exp(m.a2 * t); }

/// Exact points of every camera, cameras one after another.
std::vector<TimedPoint> observe(const Meteor& m) {
  std::vector<TimedPoint> points;
  for (const Camera& camera : m.cameras) {
    const double step = 1.0 / m.fps;
    for (int j = 0; camera.begin + j * step <= camera.end + 1e-9; ++j) {
      const double t = camera.begin + j * step;
      points.push_back({camera.station, kEpoch + t + camera.offset, trueLength(m, t), m.sigma});
    }
  }
  return points;
}

double earliest(const Meteor& m) {
  double first = m.cameras.front().begin;
  for (const Camera& c : m.cameras) first = std::min(first, c.begin);
  return first;
}

const ClockOffset* offsetOf(const VelocityFit& fit, std::size_t station) {
  for (const ClockOffset& o : fit.offsets)
    if (o.station == station) return &o;
  return nullptr;
}

/// The camera whose clock the fit keeps: the most points, the first on a tie.
const Camera& referenceOf(const Meteor& m) {
  const std::vector<TimedPoint> points = observe(m);
  const Camera* best = &m.cameras.front();
  std::size_t most = 0;
  for (const Camera& c : m.cameras) {
    const std::size_t n = static_cast<std::size_t>(
        std::count_if(points.begin(), points.end(), [&](const TimedPoint& p) { return p.station == c.station; }));
    if (n > most) most = n, best = &c;
  }
  return *best;
}

class DeceleratingMeteors : public ::testing::TestWithParam<Meteor> {};

TEST_P(DeceleratingMeteors, ExactPointsGiveTheSpeedsAndTheClockOffsets) {
  const Meteor& m = GetParam();
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::Fit);
  ASSERT_TRUE(fit.ok);
  ASSERT_EQ(fit.model, VelocityModel::Exponential) << (fit.warnings.empty() ? "" : fit.warnings[0].text);
  EXPECT_TRUE(fit.warnings.empty());
  const Camera& reference = referenceOf(m);
  const double begin = earliest(m);
  // Times are on the reference camera's clock.
  EXPECT_NEAR(fit.t0, kEpoch + begin + reference.offset, 1e-6);
  EXPECT_NEAR(fit.initialVelocity, trueSpeed(m, begin), 1e-3);
  EXPECT_NEAR(fit.vInf, m.vInf, 1e-3);
  EXPECT_NEAR(fit.a2, m.a2, 1e-6 * m.a2);
  EXPECT_LT(fit.rms, 1e-4);
  EXPECT_EQ(fit.referenceStation, reference.station);
  ASSERT_EQ(fit.offsets.size(), m.cameras.size());
  for (const Camera& camera : m.cameras) {
    const ClockOffset* o = offsetOf(fit, camera.station);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->fitted, camera.station != reference.station);
    EXPECT_NEAR(o->offset, camera.offset - reference.offset, 1e-6) << "station " << camera.station;
  }
  double last = 0.0;
  for (const Camera& c : m.cameras) last = std::max(last, c.end);
  EXPECT_NEAR(fit.finalVelocity, trueSpeed(m, last), 1e-2);
  for (std::size_t i = 0; i < fit.t.size(); ++i)
    EXPECT_NEAR(modelLength(fit, fit.t[i]), trueLength(m, fit.t[i] + begin), 1e-4) << "point " << i;
}

TEST_P(DeceleratingMeteors, WarmStartFromTheAnswerAgrees) {
  const std::vector<TimedPoint> points = observe(GetParam());
  const VelocityFit cold = fitVelocity(points, ClockOffsetMode::Fit);
  VelocityFit nearby = cold;
  nearby.vInf *= 1.001;
  nearby.a2 *= 0.99;
  for (ClockOffset& o : nearby.offsets) o.offset += 0.002;
  const VelocityFit warm = fitVelocity(points, ClockOffsetMode::Fit, &nearby);
  ASSERT_EQ(warm.model, VelocityModel::Exponential);
  EXPECT_NEAR(warm.initialVelocity, cold.initialVelocity, 1e-3);
  for (std::size_t s = 0; s < cold.offsets.size(); ++s)
    EXPECT_NEAR(warm.offsets[s].offset, cold.offsets[s].offset, 1e-6);
}

TEST_P(DeceleratingMeteors, OneBadFrameBarelyMovesTheInitialSpeed) {
  const Meteor& m = GetParam();
  std::vector<TimedPoint> points = observe(m);
  const std::size_t bad = points.size() / 3;
  points[bad].length += 2000.0;
  const VelocityFit fit = fitVelocity(points, ClockOffsetMode::Fit);
  ASSERT_EQ(fit.model, VelocityModel::Exponential);
  EXPECT_NEAR(fit.initialVelocity, trueSpeed(m, earliest(m)), 20.0);
  for (const Camera& camera : m.cameras)
    EXPECT_NEAR(offsetOf(fit, camera.station)->offset, camera.offset - referenceOf(m).offset, 1e-3);
  EXPECT_LT(fit.weight[bad], 0.1);
}

/// The fit's own cases: station numbers with gaps, a later first station, a short steep
/// deceleration.
std::vector<Meteor> fitCases() {
  return {
      {"Fast60kms_a2_3_ThreeStations25fps", 60000, 50, 3, 25, 20, {{0, 0.0, 1.5, 0.0}, {1, 0.2, 1.4, 0.12}, {2, 0.5, 1.5, -0.2}}},
      {"Slow15kms_a1_1000_TwoStations50fps", 15000, 1000, 0.8, 50, 20, {{4, 0.0, 3.0, 0.0}, {9, 0.4, 2.6, -0.07}}},
      {"Medium30kms_a2_6_FourStations", 30000, 2, 6, 30, 10,
       {{0, 0.0, 1.0, 0.0}, {1, 0.1, 0.9, 0.05}, {2, 0.3, 1.0, -0.15}, {3, 0.0, 0.6, 0.2}}},
      {"Fast70kms_a2_20_Short", 70000, 1, 20, 50, 10, {{0, 0.0, 0.36, 0.0}, {1, 0.04, 0.34, 0.03}}},
      {"SecondStationEarlier_a2_1", 20000, 200, 1, 25, 10, {{5, 0.3, 2.5, 0.0}, {6, 0.0, 2.0, -0.18}}},
  };
}

// ---- known decelerating trajectories, sighted ----------------------------------

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

/// The case as the fit sees it: each camera's exact lengths at its frame rate over the
/// true times of its stretch of the path (ending on its last frame), on its clock.
Meteor meteorOf(const SpeedCase& c) {
  const KnownTrajectory truth = trajectoryOf(c);
  Meteor m{c.name, c.vInf, c.a1, c.a2, c.frameRate, 10.0, {}};
  const std::vector<KnownStation> cameras = camerasOf(c);
  for (std::size_t s = 0; s < cameras.size(); ++s) {
    const double begin = knownTime(truth, cameras[s].from * c.pathLength);
    const double frames = std::floor((knownTime(truth, cameras[s].to * c.pathLength) - begin) * c.frameRate);
    m.cameras.push_back({s, begin, begin + frames / c.frameRate, c.offsets[s]});
  }
  return m;
}

// Every decelerating fireball of the table below too, fitted from its exact lengths and times.
std::vector<Meteor> allDecelerating() {
  std::vector<Meteor> cases = fitCases();
  for (const SpeedCase& c : decelerating()) cases.push_back(meteorOf(c));
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Forward, DeceleratingMeteors, ::testing::ValuesIn(allDecelerating()),
                         [](const auto& info) { return info.param.name; });

// ---- the fit: no deceleration, noise, clocks -----------------------------------

/// Lengths that never decelerate (speed-up or constant): the straight line, with a coded warning.
struct LineCase {
  std::string name;
  double speed, acceleration;  // m/s, m/s^2 (positive: speeding up)
  std::size_t frames;          // per station, two stations
  double offset;               // s, the second station's clock ahead
};

[[maybe_unused]] void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class NoDeceleration : public ::testing::TestWithParam<LineCase> {};

TEST_P(NoDeceleration, FallsBackToConstantSpeed) {
  const LineCase& c = GetParam();
  std::vector<TimedPoint> points;
  for (std::size_t j = 0; j < c.frames; ++j) {
    const double t = 0.04 * static_cast<double>(j);
    for (std::size_t s = 0; s < 2; ++s) {
      const double offset = s == 0 ? 0.0 : c.offset;
      points.push_back({s, kEpoch + t + offset, c.speed * t + 0.5 * c.acceleration * t * t, 10.0});
    }
  }
  const VelocityFit fit = fitVelocity(points, ClockOffsetMode::Fit);
  ASSERT_TRUE(fit.ok);
  EXPECT_EQ(fit.model, VelocityModel::Constant);
  ASSERT_EQ(fit.warnings.size(), 1u);
  EXPECT_EQ(fit.warnings[0].code, "constant-speed-fallback");
  EXPECT_FALSE(fit.warnings[0].text.empty());
  EXPECT_EQ(fit.a1, 0.0);
  EXPECT_EQ(fit.a2, 0.0);
  // The straight line's speed: the mean speed of the data.
  const double duration = 0.04 * static_cast<double>(c.frames - 1);
  EXPECT_NEAR(fit.initialVelocity, c.speed + 0.5 * c.acceleration * duration, 1e-3 + 0.1 * c.acceleration * duration);
  EXPECT_EQ(fit.initialVelocity, fit.finalVelocity);
  if (c.acceleration == 0.0) {
    EXPECT_NEAR(fit.offsets[1].offset, c.offset, 1e-6);
  }
  EXPECT_EQ(fit.offsets[1].fitted, c.frames >= 4);
}

INSTANTIATE_TEST_SUITE_P(Forward, NoDeceleration,
                         ::testing::Values(LineCase{"Constant40kms", 40000, 0, 30, 0.1},
                                           LineCase{"SpeedingUp", 30000, 20000, 30, 0.1},
                                           LineCase{"TooFewPoints", 25000, 0, 3, 0.0}),
                         [](const auto& info) { return info.param.name; });

// Noise of the along-track sigma: a repeatable stand-in (a fixed sequence of unit size).
double unitNoise(std::size_t i) {
  const double x = std::sin(12.9898 * static_cast<double>(i + 1)) * 43758.5453;
  return 3.4 * (x - std::floor(x) - 0.5);
}

TEST(NoisyMeteor, SpeedsAndOffsetsWithinTheirUncertainty) {
  // 20 m noise: over 400 Gaussian draws of this event the fits scatter by 27 m/s (initial speed),
  // 164 m/s (final speed) and 0.15 ms (offsets); the bounds are some 3.5 to 6 of those.
  const Meteor m{"", 40000, 30, 4, 25, 20, {{0, 0.0, 1.2, 0.0}, {1, 0.1, 1.0, 0.12}, {2, 0.3, 1.2, -0.08}}};
  std::vector<TimedPoint> points = observe(m);
  for (std::size_t i = 0; i < points.size(); ++i) points[i].length += m.sigma * unitNoise(i);
  const VelocityFit fit = fitVelocity(points, ClockOffsetMode::Fit);
  ASSERT_EQ(fit.model, VelocityModel::Exponential);
  EXPECT_NEAR(fit.initialVelocity, trueSpeed(m, 0.0), 100.0);
  EXPECT_NEAR(fit.finalVelocity, trueSpeed(m, 1.2), 600.0);
  for (const Camera& camera : m.cameras) EXPECT_NEAR(offsetOf(fit, camera.station)->offset, camera.offset, 1e-3);
  EXPECT_NEAR(fit.rms, m.sigma, 0.3 * m.sigma);
  // A warm start from the noiseless fit lands on the same answer within a small part of its uncertainty.
  const VelocityFit exact = fitVelocity(observe(m), ClockOffsetMode::Fit);
  const VelocityFit warm = fitVelocity(points, ClockOffsetMode::Fit, &exact);
  ASSERT_EQ(warm.model, VelocityModel::Exponential);
  EXPECT_NEAR(warm.initialVelocity, fit.initialVelocity, 15.0);
}

TEST(NoisyMeteor, ConstantWarmStartKeepsConstantSpeed) {
  const Meteor m{"", 40000, 30, 4, 25, 20, {{0, 0.0, 1.2, 0.0}, {1, 0.1, 1.0, 0.12}}};
  VelocityFit start;
  start.ok = true;
  start.model = VelocityModel::Constant;
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::Fit, &start);
  EXPECT_EQ(fit.model, VelocityModel::Constant);
  ASSERT_EQ(fit.warnings.size(), 1u);
  EXPECT_EQ(fit.warnings[0].code, "constant-speed-fallback");
}

TEST(ClockOffsets, ModeNoneGivesZeroUnfittedOffsetsPerStation) {
  const Meteor m{"", 30000, 20, 4, 25, 10, {{3, 0.0, 1.0, 0.0}, {8, 0.2, 1.0, 0.0}, {1, 0.0, 0.8, 0.0}}};
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::None);
  ASSERT_EQ(fit.offsets.size(), 3u);
  for (std::size_t s = 0; s < 3; ++s) {
    EXPECT_EQ(fit.offsets[s].station, m.cameras[s].station);
    EXPECT_EQ(fit.offsets[s].offset, 0.0);
    EXPECT_FALSE(fit.offsets[s].fitted);
  }
  EXPECT_EQ(fit.model, VelocityModel::Exponential);
  EXPECT_NEAR(fit.initialVelocity, trueSpeed(m, 0.0), 1e-3);
}

/// Which station is the reference: the most points, the first on a tie.
struct ReferenceCase {
  std::string name;
  std::vector<Camera> cameras;
  std::size_t reference;
};

[[maybe_unused]] void PrintTo(const ReferenceCase& c, std::ostream* os) { *os << c.name; }

class ReferenceStation : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceStation, IsChosenByCountThenOrder) {
  const Meteor m{"", 25000, 10, 5, 25, 10, GetParam().cameras};
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::Fit);
  ASSERT_TRUE(fit.ok);
  EXPECT_EQ(fit.referenceStation, GetParam().reference);
  for (const ClockOffset& o : fit.offsets) {
    if (o.station == GetParam().reference) {
      EXPECT_FALSE(o.fitted);
      EXPECT_EQ(o.offset, 0.0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ReferenceStation,
    ::testing::Values(ReferenceCase{"TieGoesToFirst", {{7, 0.0, 0.8, 0.0}, {3, 0.2, 1.0, 0.0}}, 7},
                      ReferenceCase{"MostPointsWins", {{7, 0.0, 0.8, 0.0}, {3, 0.0, 1.0, 0.0}}, 3},
                      ReferenceCase{"ThreeWayTie", {{2, 0.0, 0.4, 0.0}, {1, 0.3, 0.7, 0.0}, {0, 0.6, 1.0, 0.0}}, 2}),
    [](const auto& info) { return info.param.name; });

TEST(ClockOffsets, StationWithFewerThanFourPointsKeepsItsClock) {
  // Station 1 has three points on a clock 0.1 s ahead: not fitted, so its points stay where its clock puts them.
  const Meteor m{"", 30000, 20, 4, 25, 10, {{0, 0.0, 1.0, 0.0}, {1, 0.4, 0.48, 0.1}}};
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::Fit);
  ASSERT_EQ(fit.offsets.size(), 2u);
  EXPECT_FALSE(fit.offsets[1].fitted);
  EXPECT_EQ(fit.offsets[1].offset, 0.0);
  EXPECT_NEAR(fit.t.back() - fit.t.front(), 0.48 + 0.1, 1e-9);
}

TEST(VelocityFit, NothingToFitWithOneTime) {
  EXPECT_FALSE(fitVelocity({}, ClockOffsetMode::Fit).ok);
  EXPECT_FALSE(fitVelocity({{0, 5.0, 100.0, 10.0}, {1, 5.0, 200.0, 10.0}}, ClockOffsetMode::Fit).ok);
  EXPECT_TRUE(fitVelocity({{0, 5.0, 100.0, 10.0}, {0, 5.1, 200.0, 10.0}}, ClockOffsetMode::Fit).ok);
}

TEST(VelocityFit, SpeedIsTheDerivativeOfLength) {
  VelocityFit fit;
  fit.c = 120.0;
  fit.vInf = 42000.0;
  fit.a1 = -35.0;  // the model uses |a1| and |a2|
  fit.a2 = -4.5;
  for (double t : {0.0, 0.3, 1.1}) {
    const double h = 1e-5;
    const double numeric = (modelLength(fit, t + h) - modelLength(fit, t - h)) / (2 * h);
    EXPECT_NEAR(modelSpeed(fit, t), numeric, 1e-3) << t;
  }
  EXPECT_NEAR(modelLength(fit, 0.0), 120.0 - 35.0, 1e-12);
}


// ---- solve() on the sightings -------------------------------------------------

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
