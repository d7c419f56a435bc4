// Are the initial speed's Monte Carlo sigma and 95% interval honest? Many
// noisy decelerating events with known truth (trajectory/synthetic.hpp), each
// solved and given its uncertainty: the true initial speed must fall inside
// the 95% interval about 95% of the time and within 1 sigma about 68% of the
// time. The counts are printed; the bands below allow for the sample size
// (100 events: 1 binomial sigma is 2.2 points at 95%, 4.7 points at 68%).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "events.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"
#include "uncertainty/monte_carlo.hpp"
#include "uncertainty/random.hpp"

namespace sightline {
namespace {

using testing_events::addNoise;
using testing_events::KnownCase;

constexpr int kEvents = 100;
constexpr int kDraws = 150;
/// Longest flight kept (s of true time at vInf): longer paths are cut, to keep the test short.
constexpr double kLongestFlight = 1.2;

double between(DrawRandom& random, double low, double high) { return low + (high - low) * random.uniform(); }

/// A decelerating case of events.hpp with sightings `sigma` degrees off (1 sigma per axis), stated.
KnownCase deceleratingCase(DrawRandom& random, double& sigma) {
  KnownCase c = testing_events::deceleratingCase(random, kLongestFlight);
  sigma = between(random, 0.01, 0.02);
  addNoise(c.event, sigma, random);
  return c;
}

TEST(SpeedCalibration, TrueInitialSpeedFallsInItsIntervalsAsOftenAsPromised) {
  DrawRandom random(4242, 0);
  int solved = 0, exponential = 0, inInterval = 0, inSigma = 0;
  int exponentialInInterval = 0, exponentialInSigma = 0;  // the events the deceleration model was kept for
  double sumSquares = 0.0;  // of (nominal - truth) / sigma
  for (int e = 0; e < kEvents; ++e) {
    double sigma = 0.0;
    const KnownCase c = deceleratingCase(random, sigma);
    Solution solution = solve(c.event);
    if (!solution.trajectory || !solution.trajectory->velocity) continue;
    MonteCarloOptions options;
    options.draws = kDraws;
    options.seed = 1000 + static_cast<std::uint64_t>(e);
    options.threads = 2;
    estimateUncertainty(c.event, solution, options);
    const Velocity& v = *solution.trajectory->velocity;
    if (!v.uncertainty) continue;
    ++solved;
    exponential += v.model == VelocityModel::Exponential ? 1 : 0;
    // The begin point is the earliest sighting's: the truth is the speed at its true time.
    double first = kLongestFlight;
    for (const KnownStation& station : c.stations) first = std::min(first, knownTimes(c.truth, station).front());
    const double truth = knownSpeed(c.truth, first);
    const VelocityUncertainty& u = *v.uncertainty;
    inInterval += truth >= u.initialInterval.low && truth <= u.initialInterval.high ? 1 : 0;
    inSigma += std::fabs(v.initial - truth) <= u.initial ? 1 : 0;
    if (v.model == VelocityModel::Exponential) {
      exponentialInInterval += truth >= u.initialInterval.low && truth <= u.initialInterval.high ? 1 : 0;
      exponentialInSigma += std::fabs(v.initial - truth) <= u.initial ? 1 : 0;
      sumSquares += std::pow((v.initial - truth) / u.initial, 2);
    }
  }
  std::printf("  %d of %d events solved (%d with the deceleration model); true vInit in the 95%% interval: %d, "
              "within 1 sigma: %d; with the deceleration model: %d and %d, RMS of error/sigma %.2f\n",
              solved, kEvents, exponential, inInterval, inSigma, exponentialInInterval, exponentialInSigma,
              std::sqrt(sumSquares / std::max(exponential, 1)));
  ASSERT_GE(solved, kEvents * 9 / 10);
  // Judged on the events that kept the deceleration model: where the fit falls back
  // to constant speed, the initial speed is the path's average, biased by the
  // deceleration that the interval (from the noise alone) does not include.
  ASSERT_GE(exponential, kEvents / 2);
  const double interval = 100.0 * exponentialInInterval / exponential;
  const double oneSigma = 100.0 * exponentialInSigma / exponential;
  EXPECT_GE(interval, 85.0);
  EXPECT_GE(oneSigma, 55.0);
  EXPECT_LE(oneSigma, 80.0);
}

// The events that fall back to constant speed (about a tenth) still start near the truth:
// the straight line's slope lies between the final and the initial speed.
TEST(SpeedCalibration, EveryInitialSpeedIsNearTheTruth) {
  DrawRandom random(4242, 0);
  for (int e = 0; e < kEvents; ++e) {
    double sigma = 0.0;
    const KnownCase c = deceleratingCase(random, sigma);
    const Solution solution = solve(c.event);
    if (!solution.trajectory || !solution.trajectory->velocity) continue;
    const Velocity& v = *solution.trajectory->velocity;
    // A straight line through a speed that falls by at most 40% starts within 40% of the truth.
    EXPECT_NEAR(v.initial, knownSpeed(c.truth, 0.0), 0.4 * knownSpeed(c.truth, 0.0)) << "event " << e;
  }
}

}  // namespace
}  // namespace sightline
