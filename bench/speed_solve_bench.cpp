// Cost of the speed model, the clock offsets and the gravity model in solve(): one solve of
// examples/three-stations.json as given (timed: the deceleration fit, the
// clock offsets and the orbit) against the same event with its sightings'
// times removed (no speed model, no orbit); target: the timed solve within
// 2x of the untimed one, with the speed fit and the orbit timed alone to
// show where the difference goes. Then 10,000 Monte Carlo draws of the timed event on
// two threads, wall time (target: under 1 s). Run with
// --benchmark_repetitions=3 --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "formats/event_json.hpp"
#include "trajectory/along_track.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "uncertainty/monte_carlo.hpp"

namespace {

using namespace sightline;

/// examples/three-stations.json, read once (an empty event if it cannot be read: the benchmark then says so).
Event threeStations() {
  const std::string path = std::string(SIGHTLINE_EXAMPLES_DIR) + "/three-stations.json";
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EventReadResult read = readEventJson(text.str(), path);
  return read.error ? Event{} : read.event;
}

Event untimed(Event event) {
  for (Station& station : event.stations)
    for (Sighting& sighting : station.sightings) sighting.time.reset();
  return event;
}

void solveBench(benchmark::State& state, const Event& event) {
  if (event.stations.empty()) {
    state.SkipWithError("examples/three-stations.json could not be read");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(solve(event));
}

Event straight(Event event) {
  event.trajectoryModel = TrajectoryModel::Straight;
  return event;
}

// Timed, the gravity model (the default): straight line, speed model, then the joint fit with
// gravity and the turning Earth, the model choice on its lengths, orbit. Target: within 3x
// of the straight timed solve below.
void BM_SolveThreeStationsTimed(benchmark::State& state) { solveBench(state, threeStations()); }
BENCHMARK(BM_SolveThreeStationsTimed)->Unit(benchmark::kMicrosecond);

// Timed, the straight line (the timed solve as it was before the gravity model).
void BM_SolveThreeStationsTimedStraight(benchmark::State& state) { solveBench(state, straight(threeStations())); }
BENCHMARK(BM_SolveThreeStationsTimedStraight)->Unit(benchmark::kMicrosecond);

// The same sightings without times: the straight line only.
void BM_SolveThreeStationsUntimed(benchmark::State& state) { solveBench(state, untimed(threeStations())); }
BENCHMARK(BM_SolveThreeStationsUntimed)->Unit(benchmark::kMicrosecond);

// The parts the timed solve adds, one at a time: the cold speed-model fit with
// clock offsets on the example's nine timed points ...
void BM_SpeedFitThreeStations(benchmark::State& state) {
  const PreparedEvent prepared = prepare(threeStations());
  if (prepared.sightings.empty()) {
    state.SkipWithError("examples/three-stations.json could not be read");
    return;
  }
  const CoreResult core = solveAsGiven(prepared);
  const AlongTrack track = alongTrack(prepared, core, earliestTime(prepared).value_or(0.0));
  for (auto _ : state) benchmark::DoNotOptimize(fitVelocity(track.points, ClockOffsetMode::Fit));
}
BENCHMARK(BM_SpeedFitThreeStations)->Unit(benchmark::kMicrosecond);

// ... and the orbit from the begin point with the initial velocity.
void BM_OrbitThreeStations(benchmark::State& state) {
  const PreparedEvent prepared = prepare(threeStations());
  if (prepared.sightings.empty()) {
    state.SkipWithError("examples/three-stations.json could not be read");
    return;
  }
  const CoreResult core = solveAsGiven(prepared);
  const std::optional<double> epoch = earliestTime(prepared);
  const VelocityFit fit = fitVelocity(alongTrack(prepared, core, epoch.value_or(0.0)).points, ClockOffsetMode::Fit);
  const OrbitState begin = beginState(core, velocityOf(fit, epoch.value_or(0.0), std::nullopt));
  for (auto _ : state) benchmark::DoNotOptimize(computeOrbit(begin));
}
BENCHMARK(BM_OrbitThreeStations)->Unit(benchmark::kMicrosecond);

// 10,000 draws, each refitting the gravity model (warm start) and the orbit; wall time.
void monteCarloBench(benchmark::State& state, const Event& event) {
  if (event.stations.empty()) {
    state.SkipWithError("examples/three-stations.json could not be read");
    return;
  }
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
void BM_MonteCarlo10000ThreeStations(benchmark::State& state) { monteCarloBench(state, threeStations()); }
BENCHMARK(BM_MonteCarlo10000ThreeStations)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The same with the straight line in every draw, for the ratio.
void BM_MonteCarlo10000ThreeStationsStraight(benchmark::State& state) {
  monteCarloBench(state, straight(threeStations()));
}
BENCHMARK(BM_MonteCarlo10000ThreeStationsStraight)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
