// The ray trace per step, beside the floor of the library calls one step cannot avoid.
#include <benchmark/benchmark.h>

#include <cmath>

#include "earth/ray_cache.hpp"
#include "earth/refraction.hpp"
#include "geometry/angles.hpp"

namespace sightline {
namespace {

// First published example: z0 = 80 deg, 100 m above R = 6378137 m, target 0.05 rad (6440 steps).
const double kZ0 = degToRad(80);
constexpr double kHeight = 100;
constexpr double kBase = 6378137.0;
constexpr double kTarget = 0.05;
constexpr double kSteps = 6440;

void perStep(benchmark::State& state) {
  state.counters["per_step"] =
      benchmark::Counter(kSteps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The plain trace: every shell's index computed as the ray reaches it.
void BM_TracePlain(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(traceRefraction(kZ0, kHeight, kBase, kTarget));
  perStep(state);
}
BENCHMARK(BM_TracePlain);

// A new ray over the ViewPoint's shared shell profile: what a run pays per step.
void BM_TraceSharedShells(benchmark::State& state) {
  ShellProfile shells(kHeight, kBase);
  shells.extendTo(static_cast<std::size_t>(kSteps) + 4096);
  for (auto _ : state) {
    TracedRay ray(kZ0);
    benchmark::DoNotOptimize(ray.trueZenith(shells, kTarget));
  }
  perStep(state);
}
BENCHMARK(BM_TraceSharedShells);

// The four library calls of a step, chained as in a step (each takes the previous result).
void BM_LibraryFloor(benchmark::State& state) {
  for (auto _ : state) {
    double i = kZ0;
    for (int k = 0; k < static_cast<int>(kSteps); ++k) {
      const double outer = std::asin(std::sin(i));
      i = std::asin(std::sin(outer));
    }
    benchmark::DoNotOptimize(i);
  }
  perStep(state);
}
BENCHMARK(BM_LibraryFloor);

}  // namespace
}  // namespace sightline
