// Cost of a batch: 10,000 three-station events of 30 sightings (a JSON Lines
// file traced from known trajectories) through the whole machinery (listing,
// reading, solving, writing records to a file) on 1 and 2 threads; the same
// events' solves alone (read beforehand, nothing written), so that the ratio of
// the two runs is the machinery's overhead; and events with 1000 Monte Carlo
// draws each, as events per hour.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sys/resource.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/batch.hpp"
#include "formats/event_json.hpp"
#include "trajectory/synthetic.hpp"

namespace {

using namespace sightline;

constexpr int kEvents = 10000;         // events of the plain runs
constexpr int kMonteCarloEvents = 4;   // events of the Monte Carlo run
constexpr int kMonteCarloDraws = 1000;
constexpr double kSecondsPerHour = 3600.0;

// Event `i`: a trajectory and three stations of ten sightings each, moved
// around central Europe so that no two events are alike.
Event benchEvent(int i) {
  const double north = 0.01 * (i % 97), east = 0.013 * (i % 89);
  KnownTrajectory truth;
  truth.begin = {50.10 + north, 15.00 + east, 95000};
  truth.end = {50.45 + north, 15.30 + east, 40000};
  truth.beginTime = 1.8e9 + i;
  truth.speed = 18000 + 10 * (i % 500);
  return knownEvent(truth, {{"Alder", {49.70 + north, 14.60 + east, 300}, 10, 0.0, 1.0},
                            {"Birch", {50.20 + north, 15.90 + east, 450}, 10, 0.1, 0.9},
                            {"Cedar", {50.90 + north, 14.70 + east, 250}, 10, 0.0, 0.95}});
}

// A JSON Lines file of `count` events in the temporary folder.
std::string eventsFile(int count) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("sightline-batch-bench-" + std::to_string(count) + ".jsonl")).string();
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < count; ++i) out << nlohmann::ordered_json::parse(writeEventJson(benchEvent(i))).dump() << '\n';
  return path;
}

// The whole batch of `path` on `threads` threads, records appended to a fresh file.
BatchCounts runWholeBatch(const std::string& path, const BatchSettings& settings, int threads) {
  const std::string results = path + ".results";
  std::remove(results.c_str());
  RecordFile file;
  RecordedEvents recorded;
  std::string error;
  file.open(results, recorded, error);
  const std::vector<BatchEvent> events = selectBatchEvents(listBatchEvents({path}), Shard{}, recorded);
  return runBatch(
      events, settings, threads, [&](const BatchRecord& r, std::string& e) { return file.append(recordLine(r), e); },
      {}, error);
}

// Seconds of CPU (user and system) the whole process has used so far, every thread counted.
double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds per 10,000 events, every thread counted: on a shared machine the
// fair measure of the machinery's overhead (BM_BatchWhole over BM_SolvesOnly).
void setCpu(benchmark::State& state, double cpuSeconds, double events) {
  state.counters["cpu_s_per_10k_events"] = cpuSeconds * 10000.0 / events;
}

void setRates(benchmark::State& state, double events, int threads) {
  state.counters["events_per_s"] = benchmark::Counter(events, benchmark::Counter::kIsRate);
  state.counters["events_per_s_per_core"] = benchmark::Counter(events / threads, benchmark::Counter::kIsRate);
}

// Arg: threads. The requirement: under 10 s for 10,000 events on 2 threads.
void BM_BatchWhole(benchmark::State& state) {
  static const std::string path = eventsFile(kEvents);
  const int threads = static_cast<int>(state.range(0));
  const double cpuStart = processCpuSeconds();
  for (auto _ : state) {
    const BatchCounts counts = runWholeBatch(path, BatchSettings{}, threads);
    if (counts.solved != static_cast<std::size_t>(kEvents)) state.SkipWithError("not every event was solved");
  }
  setCpu(state, processCpuSeconds() - cpuStart, static_cast<double>(kEvents) * state.iterations());
  setRates(state, static_cast<double>(kEvents) * state.iterations(), threads);
}
BENCHMARK(BM_BatchWhole)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// What `sightline solve --format json` does for each event, on one thread:
// read the event's JSON, solve, write the solution's JSON (texts made
// beforehand, nothing written out). BM_BatchWhole/1 over this is 1 + the
// batch machinery's overhead (listing, records, writes, threads).
void BM_SolvesOnly(benchmark::State& state) {
  std::vector<std::string> texts;
  for (int i = 0; i < kEvents; ++i) texts.push_back(writeEventJson(benchEvent(i)));
  OutputContext context;
  context.geoid = sharedGeoid().geoid;
  const double cpuStart = processCpuSeconds();
  for (auto _ : state) {
    for (const std::string& text : texts) {
      EventReadResult read = readEventJson(text, "bench.jsonl:1");
      Solution solution;
      solveEvent(read.event, SolveSettings{std::nullopt, 0, std::nullopt, 1, std::nullopt}, solution);
      benchmark::DoNotOptimize(renderSolution(OutputFormat::Json, read.event, solution, context));
    }
  }
  setCpu(state, processCpuSeconds() - cpuStart, static_cast<double>(kEvents) * state.iterations());
  setRates(state, static_cast<double>(kEvents) * state.iterations(), 1);
}
BENCHMARK(BM_SolvesOnly)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// The solver alone (events already read, nothing written), for scale.
void BM_SolverCore(benchmark::State& state) {
  std::vector<Event> events;
  for (int i = 0; i < kEvents; ++i) events.push_back(benchEvent(i));
  for (auto _ : state) {
    for (const Event& nominal : events) {
      Event event = nominal;
      Solution solution;
      solveEvent(event, SolveSettings{std::nullopt, 0, std::nullopt, 1, std::nullopt}, solution);
      benchmark::DoNotOptimize(solution);
    }
  }
  setRates(state, static_cast<double>(kEvents) * state.iterations(), 1);
}
BENCHMARK(BM_SolverCore)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Arg: threads. 1000 draws per event: events per hour.
void BM_BatchMonteCarlo(benchmark::State& state) {
  static const std::string path = eventsFile(kMonteCarloEvents);
  const int threads = static_cast<int>(state.range(0));
  BatchSettings settings;
  settings.draws = kMonteCarloDraws;
  for (auto _ : state) runWholeBatch(path, settings, threads);
  state.counters["events_per_hour"] = benchmark::Counter(
      kSecondsPerHour * kMonteCarloEvents * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BatchMonteCarlo)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
