// The speed model and the clock offsets against a forward model: points made
// from known deceleration parameters on known station clocks, fitted back.
#include "trajectory/velocity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace sightline {
namespace {

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

class DeceleratingMeteors : public ::testing::TestWithParam<Meteor> {};

TEST_P(DeceleratingMeteors, ExactPointsGiveTheSpeedsAndTheClockOffsets) {
  const Meteor& m = GetParam();
  const VelocityFit fit = fitVelocity(observe(m), ClockOffsetMode::Fit);
  ASSERT_TRUE(fit.ok);
  ASSERT_EQ(fit.model, VelocityModel::Exponential) << (fit.warnings.empty() ? "" : fit.warnings[0].text);
  EXPECT_TRUE(fit.warnings.empty());
  const double begin = earliest(m);
  EXPECT_NEAR(fit.t0, kEpoch + begin, 1e-6);
  EXPECT_NEAR(fit.initialVelocity, trueSpeed(m, begin), 1e-3);
  EXPECT_NEAR(fit.vInf, m.vInf, 1e-3);
  EXPECT_NEAR(fit.a2, m.a2, 1e-6 * m.a2);
  EXPECT_LT(fit.rms, 1e-4);
  EXPECT_EQ(fit.referenceStation, m.cameras.front().station);
  ASSERT_EQ(fit.offsets.size(), m.cameras.size());
  for (const Camera& camera : m.cameras) {
    const ClockOffset* o = offsetOf(fit, camera.station);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->fitted, camera.station != m.cameras.front().station);
    EXPECT_NEAR(o->offset, camera.offset, 1e-6) << "station " << camera.station;
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
  for (const Camera& camera : m.cameras) EXPECT_NEAR(offsetOf(fit, camera.station)->offset, camera.offset, 1e-3);
  EXPECT_LT(fit.weight[bad], 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Forward, DeceleratingMeteors,
    ::testing::Values(
        Meteor{"Fast60kms_a2_3_ThreeStations25fps",
               60000,
               50,
               3,
               25,
               20,
               {{0, 0.0, 1.5, 0.0}, {1, 0.2, 1.4, 0.12}, {2, 0.5, 1.5, -0.2}}},
        Meteor{
            "Slow15kms_a1_1000_TwoStations50fps", 15000, 1000, 0.8, 50, 20, {{4, 0.0, 3.0, 0.0}, {9, 0.4, 2.6, -0.07}}},
        Meteor{"Medium30kms_a2_6_FourStations",
               30000,
               2,
               6,
               30,
               10,
               {{0, 0.0, 1.0, 0.0}, {1, 0.1, 0.9, 0.05}, {2, 0.3, 1.0, -0.15}, {3, 0.0, 0.6, 0.2}}},
        Meteor{"Fast70kms_a2_20_Short", 70000, 1, 20, 50, 10, {{0, 0.0, 0.36, 0.0}, {1, 0.04, 0.34, 0.03}}},
        Meteor{"SecondStationEarlier_a2_1", 20000, 200, 1, 25, 10, {{5, 0.3, 2.5, 0.0}, {6, 0.0, 2.0, -0.18}}}),
    [](const auto& info) { return info.param.name; });

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

}  // namespace
}  // namespace sightline
