// The correlator against synthetic nights with known truth.
#include <gtest/gtest.h>

#include <cstdio>

#include "correlate/correlate.hpp"
#include "correlate/synthetic_night.hpp"

namespace sightline {
namespace {

using synthetic::makeNight;
using synthetic::NightPlan;

void report(const char* name, const synthetic::Score& s) {
  std::printf("%s: %d events, pure %.4f, eligible %d, found %.4f, complete %.4f, split %.4f, false %.4f\n", name, s.events,
              s.purity(), s.eligible, s.foundFraction(), s.completeFraction(), s.splitFraction(), s.falseFraction());
}

TEST(Night, DefaultNightMeetsTheTargets) {
  NightPlan plan;
  const synthetic::Night night = makeNight(plan);
  const CorrelateResult r = correlate(night.detections, CorrelateOptions{});
  const synthetic::Score s = synthetic::score(night, r.events);
  report("default", s);
  EXPECT_GE(s.purity(), 0.995);
  EXPECT_GE(s.foundFraction(), 0.99);
  EXPECT_GE(s.completeFraction(), 0.97);
  EXPECT_LE(s.splitFraction(), 0.005);
  EXPECT_LE(s.falseFraction(), 0.005);
}

}  // namespace
}  // namespace sightline
