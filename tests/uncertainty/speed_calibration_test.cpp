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
using testing_events::randomCase;

constexpr int kEvents = 100;
constexpr int kDraws = 150;
/// Longest flight kept (s of true time at vInf): longer paths are cut, to keep the test short.
constexpr double kLongestFlight = 1.2;

double between(DrawRandom& random, double low, double high) { return low + (high - low) * random.uniform(); }

/// A random scene of events.hpp made into a decelerating fireball filmed at 25 or 50 fps by
/// cameras whose clocks are up to 0.2 s off, with sightings `sigma` degrees off (1 sigma per axis).
KnownCase deceleratingCase(DrawRandom& random, double& sigma) {
  KnownCase c = randomCase(random);
  KnownTrajectory& truth = c.truth;
  truth.speed = between(random, 15000, 70000);
  const Vector3 a = toEcef(truth.begin), b = toEcef(truth.end);
  const double fullLength = distance(a, b);
  const double length = std::min(fullLength, kLongestFlight * truth.speed);
  truth.end = toGeodetic(a + (length / fullLength) * (b - a));
  // Deceleration: a2 of 1-6 per second, a1 such that the speed has dropped by at most
  // 10-40% (drop) at the end: the flight lasts at most length / ((1 - drop) * speed).
  truth.a2 = between(random, 1.0, 6.0);
  const double drop = between(random, 0.1, 0.4);
  const double longest = length / ((1 - drop) * truth.speed);
  truth.a1 = drop * truth.speed / (truth.a2 * std::exp(truth.a2 * longest));
  const double frameRate = random.uniform() < 0.5 ? 25.0 : 50.0;
  for (KnownStation& station : c.stations) {
    station.frameRate = frameRate;
    station.clockOffset = between(random, -0.2, 0.2);
  }
  c.event = knownEvent(truth, c.stations);
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
