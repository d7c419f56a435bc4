#include "uncertainty/draw.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "events.hpp"
#include "geometry/angles.hpp"

namespace sightline {
namespace {

Event refracted() {
  Event event = testing_events::referenceCase().event;
  event.refraction = Refraction::Corrected;
  return event;
}

// A change of one sigma in one angle moves the points as the full solve does,
// to first order: the prediction is metres closer than the change itself.
TEST(DrawSetup, PredictsHowPointsMove) {
  const DrawSetup setup(refracted(), 1);
  const PreparedEvent& prepared = setup.prepared();
  const std::size_t n = prepared.sightings.size();
  std::vector<double> az(n), el(n), dAz(n, 0.0), dEl(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    az[i] = prepared.sightings[i].azimuth;
    el[i] = prepared.sightings[i].elevation;
  }
  for (const std::size_t j : {std::size_t{0}, std::size_t{5}, n - 1}) {
    std::vector<double> a = az, e = el;
    std::fill(dAz.begin(), dAz.end(), 0.0);
    std::fill(dEl.begin(), dEl.end(), 0.0);
    dAz[j] = 0.04;
    dEl[j] = -0.03;
    a[j] += dAz[j];
    e[j] += dEl[j];
    DirectTracer direct(prepared);
    const CoreResult moved = solveCore(prepared, a, e, &direct);
    for (std::size_t i = 0; i < n; ++i) {
      const double shift = distance(moved.points[i], setup.nominal().points[i]);
      const double miss = distance(moved.points[i], setup.predictedPoint(i, dAz, dEl));
      EXPECT_LT(miss, 0.02 * shift + 0.05) << "angle " << j << ", point " << i << " moved " << shift << " m";
    }
  }
}

// Started from lines of sight refracted toward the predicted points, a draw's
// refraction passes settle in the fewest passes the solver allows with a tracer (two).
TEST(DrawWorker, DrawsSettleInTwoPasses) {
  const DrawSetup setup(refracted(), 1);
  DrawWorker worker(setup);
  int passes = 0;
  const int draws = 200;
  for (int d = 0; d < draws; ++d) {
    const CoreResult r = worker.solve(5, static_cast<std::uint64_t>(d));
    ASSERT_TRUE(r.hasLine);
    passes += r.passes;
  }
  EXPECT_LE(static_cast<double>(passes) / draws, 2.1);
  EXPECT_EQ(worker.fallbacks(), 0u);
}

// A draw is a function of (seed, draw) alone: not of the worker or of what it solved before.
TEST(DrawWorker, SameDrawSameBitsOnAnyWorker) {
  const DrawSetup setup(refracted(), 2);
  DrawWorker first(setup), second(setup);
  for (int d = 0; d < 5; ++d) first.solve(9, static_cast<std::uint64_t>(d));
  const CoreResult a = first.solve(9, 42);
  const CoreResult b = second.solve(9, 42);
  ASSERT_EQ(a.points.size(), b.points.size());
  for (std::size_t i = 0; i < a.points.size(); ++i) EXPECT_TRUE(a.points[i] == b.points[i]) << "point " << i;
  EXPECT_TRUE(a.direction == b.direction);
  const CoreResult other = second.solve(9, 43);
  EXPECT_FALSE(other.points[0] == a.points[0]);
}

}  // namespace
}  // namespace sightline
