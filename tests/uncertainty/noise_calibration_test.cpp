// Monte Carlo intervals of noisy events that state no sigma: solve() estimates
// each station's sigma from its residuals and the draws perturb with it, so the
// true initial speed must fall inside the 95% interval about 95% of the time.
// The truth is the forward model of trajectory/synthetic.hpp; each station has
// its own noise (8-40 arcseconds), none of it told to the solver. A second run
// states the default 0.05 degrees for the same sightings: its intervals are
// several times wider than the noise warrants, which shows the first run's
// coverage comes from the estimate and not from generous intervals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "earth/frames.hpp"
#include "events.hpp"
#include "geometry/angles.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"
#include "uncertainty/monte_carlo.hpp"
#include "uncertainty/random.hpp"

namespace sightline {
namespace {

using testing_events::KnownCase;

constexpr int kEvents = 30;
constexpr int kDraws = 100;
/// Longest flight kept (s of true time at vInf).
constexpr double kLongestFlight = 1.2;

double between(DrawRandom& random, double low, double high) { return low + (high - low) * random.uniform(); }

/// Moves every sighting of station `s` by `sigma` degrees on the sky (1 sigma per axis).
void addStationNoise(Event& event, std::size_t s, double sigma, DrawRandom& random) {
  Station& station = event.stations[s];
  const LocalFrame frame = localFrame(station.position);
  for (Sighting& sighting : station.sightings) {
    const Vector3 d = directionFromHorizontal(frame, sighting.azimuth, sighting.elevation);
    const Vector3 across = cross(d, frame.up) / cross(d, frame.up).length();
    const Vector3 along = cross(across, d);
    const Vector3 moved = d + std::tan(degToRad(sigma) * random.normal()) * across +
                          std::tan(degToRad(sigma) * random.normal()) * along;
    const Horizontal h = horizontalOf(frame, moved / moved.length());
    sighting.azimuth = h.azimuth;
    sighting.elevation = h.elevation;
  }
}

/// A decelerating case of events.hpp, each station with its own noise (8-40 arcseconds),
/// none stated. Fitted as it flies: a straight line.
KnownCase noisyCase(DrawRandom& random) {
  KnownCase c = testing_events::deceleratingCase(random, kLongestFlight);
  c.event.trajectoryModel = TrajectoryModel::Straight;
  for (std::size_t s = 0; s < c.event.stations.size(); ++s)
    addStationNoise(c.event, s, between(random, 8.0, 40.0) / 3600.0, random);
  return c;
}

/// Solved with `draws` draws: whether the truth is inside the 95% interval and its width (m/s).
bool covered(const KnownCase& c, const Event& event, int e, double& width, bool& exponential) {
  Solution solution = solve(event);
  if (!solution.trajectory || !solution.trajectory->velocity) return false;
  MonteCarloOptions options;
  options.draws = kDraws;
  options.seed = 500 + static_cast<std::uint64_t>(e);
  options.threads = 2;
  estimateUncertainty(event, solution, options);
  const Velocity& v = *solution.trajectory->velocity;
  if (!v.uncertainty) return false;
  double first = kLongestFlight;
  for (const KnownStation& station : c.stations) first = std::min(first, knownTimes(c.truth, station).front());
  const double truth = knownSpeed(c.truth, first);
  width = v.uncertainty->initialInterval.high - v.uncertainty->initialInterval.low;
  exponential = v.model == VelocityModel::Exponential;
  return truth >= v.uncertainty->initialInterval.low && truth <= v.uncertainty->initialInterval.high;
}

TEST(NoiseCalibration, EstimatedSigmasGiveHonestIntervals) {
  DrawRandom random(777, 0);
  int judged = 0, inside = 0, insideStated = 0;
  double widthRatio = 0.0;
  for (int e = 0; e < kEvents; ++e) {
    const KnownCase c = noisyCase(random);
    double width = 0.0, statedWidth = 0.0;
    bool exponential = false, statedExponential = false;
    const bool in = covered(c, c.event, e, width, exponential);
    if (!exponential || !(width > 0.0)) continue;  // a constant-speed fallback is biased by the deceleration
    Event stated = c.event;
    stated.sigma = kDefaultSigmaDegrees;
    const bool statedIn = covered(c, stated, e, statedWidth, statedExponential);
    ++judged;
    inside += in ? 1 : 0;
    insideStated += statedIn ? 1 : 0;
    widthRatio += statedWidth / width;
  }
  std::printf("  %d events judged: truth in the 95%% interval %d times with estimated sigmas, %d with 0.05 deg stated "
              "(intervals %.1f times wider)\n",
              judged, inside, insideStated, widthRatio / std::max(judged, 1));
  ASSERT_GE(judged, kEvents * 2 / 3);
  // 95% of 20-30 events: 1 binomial sigma is about 1 event; allow 3.
  EXPECT_GE(inside, judged - judged / 20 - 3);
  EXPECT_GT(widthRatio / judged, 2.0);
}

}  // namespace
}  // namespace sightline
