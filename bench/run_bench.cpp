// Whole runs, in-process, on observation files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "classic/run_control.hpp"

namespace sightline {
namespace {

void runFile(benchmark::State& state, const std::string& path) {
  std::FILE* out = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr || out == nullptr) {
      state.SkipWithError("cannot open the observation file");
      break;
    }
    auto run = std::make_unique<RunState>();
    benchmark::DoNotOptimize(runObservations(in, out, *run));
    std::fclose(in);
  }
  if (out != nullptr) std::fclose(out);
}

// A typical four-sighting file in refraction mode 0.
void BM_RunTypicalFourSightings(benchmark::State& state) {
  runFile(state, std::string(SIGHTLINE_EXAMPLES_DIR) + "/four-sightings.txt");
}
BENCHMARK(BM_RunTypicalFourSightings)->Unit(benchmark::kMillisecond);

// The slowest file known: four sightings, mode 0, ten passes, rays at the step limit.
void BM_RunWorstCase(benchmark::State& state) {
  runFile(state, std::string(SIGHTLINE_CASES_DIR) + "/slowest.txt");
}
BENCHMARK(BM_RunWorstCase)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sightline
