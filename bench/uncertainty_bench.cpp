// Cost of the Monte Carlo uncertainty: 10,000 draws of a three-station,
// twelve-sighting event with traced refraction, against one nominal solve
// without refraction and one draw.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "geometry/angles.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"
#include "uncertainty/monte_carlo.hpp"
#include "uncertainty/draw.hpp"
#include "uncertainty/random.hpp"
#include "uncertainty/table_tracer.hpp"

namespace {

using namespace sightline;

// Three stations, four sightings each, of a fireball from 95 to 40 km, with
// measurement errors of about the default sigma (fixed, so every run solves the same event).
Event benchEvent(Refraction refraction) {
  KnownTrajectory truth;
  truth.begin = {50.10, 15.00, 95000};
  truth.end = {50.45, 15.30, 40000};
  truth.beginTime = 1.8e9;
  truth.speed = 21000;
  Event event = knownEvent(truth, {{"Alder", {49.70, 14.60, 300}, 4, 0.0, 1.0},
                                   {"Birch", {50.20, 15.90, 450}, 4, 0.1, 0.9},
                                   {"Cedar", {50.90, 14.70, 250}, 4, 0.0, 0.95}});
  event.refraction = refraction;
  DrawRandom noise(99, 0);
  for (Station& station : event.stations) {
    for (Sighting& sighting : station.sightings) {
      sighting.elevation += event.sigma.value_or(kDefaultSigmaDegrees) * noise.normal();
      sighting.azimuth += event.sigma.value_or(kDefaultSigmaDegrees) * noise.normal() / std::cos(degToRad(sighting.elevation));
    }
  }
  return event;
}

// The whole solve() of the event without refraction.
void BM_NominalSolveNoRefraction(benchmark::State& state) {
  const Event event = benchEvent(Refraction::None);
  for (auto _ : state) benchmark::DoNotOptimize(solve(event));
}
BENCHMARK(BM_NominalSolveNoRefraction)->Unit(benchmark::kMicrosecond);

// The inner solve alone, cold start, without refraction.
void BM_CoreSolveNoRefraction(benchmark::State& state) {
  const PreparedEvent prepared = prepare(benchEvent(Refraction::None));
  std::vector<double> az, el;
  for (const PreparedSighting& s : prepared.sightings) {
    az.push_back(s.azimuth);
    el.push_back(s.elevation);
  }
  for (auto _ : state) benchmark::DoNotOptimize(solveCore(prepared, az, el, nullptr));
}
BENCHMARK(BM_CoreSolveNoRefraction)->Unit(benchmark::kMicrosecond);

// One Monte Carlo draw with traced refraction, as the estimate runs it.
void BM_OneDrawTraced(benchmark::State& state) {
  const DrawSetup setup(benchEvent(Refraction::Corrected), 1);
  DrawWorker worker(setup);
  std::uint64_t draw = 0;
  double passes = 0;
  for (auto _ : state) {
    const CoreResult r = worker.solve(1, draw++);
    passes += r.passes;
    benchmark::DoNotOptimize(r);
  }
  state.counters["passes"] = benchmark::Counter(passes, benchmark::Counter::kAvgIterations);
  state.counters["nominal_passes"] = setup.nominal().passes;
}
BENCHMARK(BM_OneDrawTraced)->Unit(benchmark::kMicrosecond);

// The refraction tables of the event's twelve sightings, one thread.
void BM_RefractionTables(benchmark::State& state) {
  const PreparedEvent prepared = prepare(benchEvent(Refraction::Corrected));
  for (auto _ : state) benchmark::DoNotOptimize(RefractionTables(prepared, kTableSigmas, 1));
}
BENCHMARK(BM_RefractionTables)->Unit(benchmark::kMillisecond);

// The whole estimate: 10,000 draws on all cores, wall time (target: under 1 s on two cores).
void BM_MonteCarlo10000Traced(benchmark::State& state) {
  const Event event = benchEvent(Refraction::Corrected);
  const Solution nominal = solve(event);
  MonteCarloOptions options;
  options.draws = 10000;
  options.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Solution s = nominal;
    estimateUncertainty(event, s, options);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_MonteCarlo10000Traced)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
