#include "uncertainty/monte_carlo.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "events.hpp"
#include "geometry/angles.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "uncertainty/table_tracer.hpp"

namespace sightline {
namespace {

using namespace testing_events;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every figure the estimate adds, as one list of numbers.
std::vector<double> figures(const Solution& s) {
  std::vector<double> out;
  auto point = [&](const SolvedPoint& p) {
    if (!p.uncertainty) return;
    const PointUncertainty& u = *p.uncertainty;
    out.insert(out.end(), {u.east, u.north, u.up, u.height.low, u.height.high, u.latitude.low, u.latitude.high,
                           u.longitude.low, u.longitude.high});
    out.insert(out.end(), u.covariance.begin(), u.covariance.end());
  };
  if (s.trajectory) {
    point(s.trajectory->begin);
    point(s.trajectory->end);
    if (s.trajectory->uncertainty) {
      const TrajectoryUncertainty& u = *s.trajectory->uncertainty;
      out.insert(out.end(), {u.radiantAzimuth, u.radiantElevation, u.length, u.speed.value_or(-1)});
    }
  }
  for (const SightingResult& r : s.sightings) point(r.point);
  for (const LabelledPoint& p : s.points) point(p.point);
  return out;
}

// The reference scene with traced refraction and a flare seen from two stations.
Event refractedEvent() {
  Event event = referenceCase().event;
  event.refraction = Refraction::Corrected;
  event.stations[0].sightings[2].label = "flare";
  event.stations[1].sightings[2].label = "flare";
  return event;
}

Solution estimate(const Event& event, int draws, int threads, std::uint64_t seed = 20261208) {
  Solution solution = solve(event);
  MonteCarloOptions options;
  options.draws = draws;
  options.threads = threads;
  options.seed = seed;
  estimateUncertainty(event, solution, options);
  return solution;
}

TEST(MonteCarlo, FillsEveryReportedPoint) {
  const Solution s = estimate(refractedEvent(), 200, 2);
  ASSERT_TRUE(s.trajectory.has_value());
  ASSERT_TRUE(s.monteCarlo.has_value());
  EXPECT_EQ(s.monteCarlo->draws, 200);
  EXPECT_EQ(s.monteCarlo->failed, 0);
  EXPECT_EQ(s.monteCarlo->seed, 20261208u);
  EXPECT_TRUE(s.trajectory->begin.uncertainty.has_value());
  EXPECT_TRUE(s.trajectory->end.uncertainty.has_value());
  ASSERT_TRUE(s.trajectory->uncertainty.has_value());
  EXPECT_TRUE(s.trajectory->uncertainty->speed.has_value());
  for (const SightingResult& r : s.sightings) EXPECT_TRUE(r.point.uncertainty.has_value());
  ASSERT_EQ(s.points.size(), 1u);
  EXPECT_TRUE(s.points[0].point.uncertainty.has_value());

  // Sigmas are the square roots of the covariance's diagonal, which is symmetric
  // and positive; the 95% intervals hold the nominal point.
  const PointUncertainty& u = *s.trajectory->begin.uncertainty;
  EXPECT_DOUBLE_EQ(u.east * u.east, u.covariance[0]);
  EXPECT_DOUBLE_EQ(u.north * u.north, u.covariance[4]);
  EXPECT_DOUBLE_EQ(u.up * u.up, u.covariance[8]);
  EXPECT_EQ(u.covariance[1], u.covariance[3]);
  EXPECT_EQ(u.covariance[2], u.covariance[6]);
  EXPECT_EQ(u.covariance[5], u.covariance[7]);
  EXPECT_GT(u.up, 1.0);
  EXPECT_LT(u.up, 2000.0);
  const GeodeticPosition& p = s.trajectory->begin.position;
  EXPECT_LT(u.height.low, p.height);
  EXPECT_GT(u.height.high, p.height);
  EXPECT_LT(u.latitude.low, p.latitude);
  EXPECT_GT(u.latitude.high, p.latitude);
  EXPECT_LT(u.longitude.low, p.longitude);
  EXPECT_GT(u.longitude.high, p.longitude);
  // A 95% interval of a near-normal spread is about 2 x 1.96 sigma wide.
  EXPECT_NEAR((u.height.high - u.height.low) / (2 * 1.96 * u.up), 1.0, 0.25);
}

class SameFiguresWhateverTheThreads : public ::testing::TestWithParam<int> {};

// The same seed gives the same bits on any number of threads.
TEST_P(SameFiguresWhateverTheThreads, BitForBit) {
  const Event event = refractedEvent();
  const std::vector<double> one = figures(estimate(event, 150, 1));
  const std::vector<double> many = figures(estimate(event, 150, GetParam()));
  ASSERT_EQ(one.size(), many.size());
  ASSERT_GT(one.size(), 100u);
  for (std::size_t k = 0; k < one.size(); ++k) ASSERT_TRUE(sameBits(one[k], many[k])) << "figure " << k;
}

INSTANTIATE_TEST_SUITE_P(Threads, SameFiguresWhateverTheThreads, ::testing::Values(2, 3, 7),
                         [](const auto& info) { return std::to_string(info.param) + "Threads"; });

TEST(MonteCarlo, OtherSeedsGiveOtherDrawsOfTheSameSpread) {
  const Event event = referenceCase().event;
  const Solution a = estimate(event, 400, 2, 1);
  const Solution b = estimate(event, 400, 2, 2);
  const double upA = a.trajectory->end.uncertainty->up, upB = b.trajectory->end.uncertainty->up;
  EXPECT_NE(upA, upB);
  EXPECT_NEAR(upA / upB, 1.0, 0.2);
}

// The spread follows the sightings' sigma: twice the sigma, twice the spread
// (the same seed gives the same normal deviates; the problem is near linear).
TEST(MonteCarlo, SpreadScalesWithTheSightingsSigma) {
  Event event = referenceCase().event;
  event.sigma = 0.02;
  const Solution narrow = estimate(event, 300, 2);
  event.sigma = 0.04;
  const Solution wide = estimate(event, 300, 2);
  const auto& n = *narrow.trajectory;
  const auto& w = *wide.trajectory;
  EXPECT_NEAR(w.begin.uncertainty->up / n.begin.uncertainty->up, 2.0, 0.1);
  EXPECT_NEAR(w.end.uncertainty->east / n.end.uncertainty->east, 2.0, 0.1);
  EXPECT_NEAR(w.uncertainty->radiantElevation / n.uncertainty->radiantElevation, 2.0, 0.1);
  EXPECT_NEAR(*w.uncertainty->speed / *n.uncertainty->speed, 2.0, 0.1);
}

// Across the antimeridian the longitude interval stays narrow around the nominal.
TEST(MonteCarlo, LongitudeIntervalAcrossTheAntimeridian) {
  const KnownCase c = referenceCase(164.85);  // the begin point at 179.85 E, the end past 180
  const Solution s = estimate(c.event, 300, 2);
  ASSERT_TRUE(s.trajectory.has_value());
  for (const SolvedPoint* p : {&s.trajectory->begin, &s.trajectory->end}) {
    const Interval& lon = p->uncertainty->longitude;
    EXPECT_LT(lon.low, p->position.longitude);
    EXPECT_GT(lon.high, p->position.longitude);
    EXPECT_LT(lon.high - lon.low, 0.1) << "nominal " << p->position.longitude;
  }
  EXPECT_LT(s.trajectory->end.position.longitude, 0.0);  // really across
}

// A fireball from due north: radiant azimuths of the draws fall either side of
// 0/360, and the sigma must not see a jump of a whole turn.
TEST(MonteCarlo, RadiantAzimuthAcrossNorth) {
  KnownCase c = referenceCase();
  c.truth.begin = {50.50, 15.10, 95000};
  c.truth.end = {50.10, 15.10, 40000};
  const Event event = knownEvent(c.truth, c.stations);
  const Solution s = estimate(event, 300, 2);
  ASSERT_TRUE(s.trajectory.has_value());
  const double az = s.trajectory->radiantAzimuth;
  EXPECT_TRUE(az < 1.0 || az > 359.0) << az;
  EXPECT_GT(s.trajectory->uncertainty->radiantAzimuth, 0.0);
  EXPECT_LT(s.trajectory->uncertainty->radiantAzimuth, 2.0);
}

TEST(MonteCarlo, NoDrawsLeaveTheSolutionAlone) {
  const Solution s = estimate(referenceCase().event, 0, 2);
  EXPECT_FALSE(s.monteCarlo.has_value());
  EXPECT_FALSE(s.trajectory->begin.uncertainty.has_value());
  EXPECT_FALSE(s.trajectory->uncertainty.has_value());
}

TEST(MonteCarlo, NothingToPerturbCountsEveryDrawAsFailed) {
  Event event = referenceCase().event;
  event.stations.resize(1);
  const Solution s = estimate(event, 50, 2);
  ASSERT_EQ(s.status, SolveStatus::TooFewStations);
  ASSERT_TRUE(s.monteCarlo.has_value());
  EXPECT_EQ(s.monteCarlo->draws, 50);
  EXPECT_EQ(s.monteCarlo->failed, 50);
}

// A sighting without a usable sigma (infinite: it does not weigh in the nominal
// fit) ruins every draw; the draws are counted as failed and said so, and no
// figures are made up from nothing.
TEST(MonteCarlo, DrawsThatFailAreCountedNotDropped) {
  Event event = referenceCase().event;
  event.stations[1].sightings[0].sigma = std::numeric_limits<double>::infinity();
  const Solution s = estimate(event, 40, 2);
  ASSERT_TRUE(s.trajectory.has_value());
  ASSERT_TRUE(s.monteCarlo.has_value());
  EXPECT_EQ(s.monteCarlo->draws, 40);
  EXPECT_EQ(s.monteCarlo->failed, 40);
  EXPECT_FALSE(s.trajectory->begin.uncertainty.has_value());
  EXPECT_FALSE(s.trajectory->uncertainty.has_value());
  ASSERT_FALSE(s.warnings.empty());
  EXPECT_EQ(s.warnings.back().code, "failed-draws");
  EXPECT_NE(s.warnings.back().text.find("40 of 40 Monte Carlo draws"), std::string::npos) << s.warnings.back().text;
}

// Calibration: on random scenes with noise of known sigma, the true point lies
// within the reported 1-sigma height interval in about 68% of the events and
// within the 95% interval in about 95%. With 300 events the shares are known
// to about 3% and 1.3%; a sigma off by a factor of two gives about 38% or 95%
// for the first, 68% or 100% for the second.
TEST(MonteCarloCalibration, TruePointsFallInTheReportedIntervals) {
  const int events = 300;
  const double sigma = 0.03;  // degrees
  DrawRandom scenes(777, 0), noise(778, 0);
  int inside1 = 0, inside95 = 0, used = 0;
  for (int e = 0; e < events; ++e) {
    KnownCase c = randomCase(scenes);
    addNoise(c.event, sigma, noise);
    Solution s = solve(c.event);
    if (!s.trajectory) continue;
    MonteCarloOptions options;
    options.draws = 200;
    options.seed = 1000 + static_cast<std::uint64_t>(e);
    estimateUncertainty(c.event, s, options);
    // One sighting's point per event (they are correlated within an event), in turn.
    const std::size_t station = static_cast<std::size_t>(e) % 3, k = static_cast<std::size_t>(e / 3) % 4;
    std::size_t index = 0;
    for (const SightingResult& r : s.sightings) {
      if (r.station == station && r.sighting == k) break;
      ++index;
    }
    const SolvedPoint& p = s.sightings[index].point;
    if (!s.sightings[index].hasPoint || !p.uncertainty) continue;
    const double truth = toGeodetic(truePoint(c, station, k)).height;
    ++used;
    if (std::fabs(truth - p.position.height) <= p.uncertainty->up) ++inside1;
    if (truth >= p.uncertainty->height.low && truth <= p.uncertainty->height.high) ++inside95;
  }
  ASSERT_GE(used, events - 5);
  const double share1 = static_cast<double>(inside1) / used, share95 = static_cast<double>(inside95) / used;
  RecordProperty("within_1_sigma", std::to_string(share1));
  RecordProperty("within_95", std::to_string(share95));
  EXPECT_GT(share1, 0.58);
  EXPECT_LT(share1, 0.78);
  EXPECT_GT(share95, 0.90);
  EXPECT_LT(share95, 0.99);
}

// In a draw, the tables give the same trajectory as the direct trace (to a
// millimetre at the points: the solver's own stopping tolerances), and angles beyond the tables fall back to the trace.
TEST(TableTracer, DrawsAgreeWithTheDirectTrace) {
  const Event event = refractedEvent();
  const PreparedEvent prepared = prepare(event);
  const std::size_t n = prepared.sightings.size();
  std::vector<double> az(n), el(n);
  for (std::size_t i = 0; i < n; ++i) {
    az[i] = prepared.sightings[i].azimuth + 0.03 * std::sin(static_cast<double>(i));
    el[i] = prepared.sightings[i].elevation + 0.04 * std::cos(3.0 * static_cast<double>(i));
  }
  el[5] += 1.0;  // 20 sigma out: beyond its table
  const RefractionTables tables(prepared, kTableSigmas, 1);
  TableTracer table(prepared, tables);
  DirectTracer direct(prepared);
  const CoreResult a = solveCore(prepared, az, el, &table);
  const CoreResult b = solveCore(prepared, az, el, &direct);
  ASSERT_TRUE(a.hasLine && b.hasLine);
  EXPECT_EQ(a.passes, b.passes);
  for (std::size_t i = 0; i < n; ++i) EXPECT_LT(distance(a.points[i], b.points[i]), 1e-3) << "sighting " << i;
  EXPECT_GT(table.fallbacks(), 0u);
  EXPECT_LE(table.fallbacks(), static_cast<std::size_t>(a.passes));  // only sighting 5's lookups
}

TEST(RefractionTables, NoneForStraightLinesOfSight) {
  const Event event = referenceCase().event;  // refraction None
  const PreparedEvent prepared = prepare(event);
  const RefractionTables tables(prepared, kTableSigmas, 1);
  ASSERT_EQ(tables.size(), prepared.sightings.size());
  for (std::size_t i = 0; i < tables.size(); ++i) EXPECT_TRUE(tables.forSighting(i).empty());
}

}  // namespace
}  // namespace sightline

namespace sightline {
namespace {

// Very uncertain sightings and sightings near the horizon get tables clipped to
// what a table can hold, not none at all.
TEST(RefractionTables, ClipWideAndLowRanges) {
  Event event = testing_events::referenceCase().event;
  event.refraction = Refraction::Apparent;
  event.stations[0].sightings[0].elevation = 2.0;
  event.stations[0].sightings[0].sigma = 1.0;   // 2 +- 3 degrees: partly below what a table holds
  event.stations[1].sightings[0].sigma = 2.0;   // +-12 degrees asked, 3 kept
  const PreparedEvent prepared = prepare(event);
  const RefractionTables tables(prepared, kTableSigmas, 2);
  const RefractionTable& low = tables.forSighting(0);
  ASSERT_FALSE(low.empty());
  EXPECT_DOUBLE_EQ(low.zenithHigh(), kTableMaxZenith);
  EXPECT_NEAR(radToDeg(low.zenithLow()), 85.0, 1e-9);
  const std::size_t wide = prepared.stationSightings[1][0];
  const RefractionTable& clipped = tables.forSighting(wide);
  ASSERT_FALSE(clipped.empty());
  EXPECT_NEAR(radToDeg(clipped.zenithHigh() - clipped.zenithLow()), 2 * kTableMaxSpread, 1e-9);
}

}  // namespace
}  // namespace sightline
