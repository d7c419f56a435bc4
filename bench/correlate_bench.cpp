// sightline correlate at scale: synthetic nights of a camera network at a
// fixed density of cameras and meteors, over regions of growing area, so that
// the number of detections grows with the area (ratios of one run show how
// the time grows); and the reading speed of FTPdetectinfo files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "correlate/correlate.hpp"
#include "correlate/synthetic_night.hpp"
#include "formats/ftpdetectinfo.hpp"

namespace {

using sightline::synthetic::NightPlan;

// A continent: 1,000 cameras over a disc of 1,800 km radius; a night of 10 h.
// `area` scales the disc's area, its cameras and its meteors alike.
NightPlan continent(double area) {
  NightPlan plan;
  plan.seed = 7;
  plan.latitude = 45.0;
  plan.longitude = 0.0;
  plan.radius = 1.8e6 * std::sqrt(area);
  plan.sites = static_cast<int>(740 * area);
  plan.meteors = static_cast<int>(21000 * area);
  plan.satellites = static_cast<int>(400 * area);
  plan.aircraft = static_cast<int>(400 * area);
  plan.noiseTracks = static_cast<int>(5000 * area);
  plan.duration = 10 * 3600.0;
  return plan;
}

const sightline::synthetic::Night& nightOf(int eighths) {
  static std::map<int, sightline::synthetic::Night> nights;
  auto it = nights.find(eighths);
  if (it == nights.end()) it = nights.emplace(eighths, sightline::synthetic::makeNight(continent(eighths / 8.0))).first;
  return it->second;
}

// Correlates a night of area range(0)/8 of the continent on range(1) threads.
void BM_CorrelateNight(benchmark::State& state) {
  const auto& night = nightOf(static_cast<int>(state.range(0)));
  sightline::CorrelateOptions options;
  options.threads = static_cast<int>(state.range(1));
  std::size_t events = 0;
  for (auto _ : state) {
    const auto result = sightline::correlate(night.detections, options);
    events = result.events.size();
    benchmark::DoNotOptimize(events);
  }
  state.counters["detections"] = static_cast<double>(night.detections.size());
  state.counters["cameras"] = static_cast<double>(night.cameras.size());
  state.counters["events"] = static_cast<double>(events);
  state.counters["detections_per_s"] =
      benchmark::Counter(static_cast<double>(night.detections.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CorrelateNight)->Args({1, 2})->Args({2, 2})->Args({4, 2})->Args({8, 2})->Args({8, 1})
    ->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Reads the FTPdetectinfo texts of the full continent's cameras: bytes per second.
void BM_ReadFtpDetectInfo(benchmark::State& state) {
  const auto& night = nightOf(8);
  std::vector<std::string> texts;
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < night.cameras.size(); ++c) {
    texts.push_back(sightline::synthetic::ftpDetectInfoText(night, static_cast<int>(c)));
    bytes += texts.back().size();
  }
  for (auto _ : state) {
    std::size_t read = 0;
    for (const std::string& t : texts) read += sightline::readFtpDetectInfo(t, "bench").detections.size();
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_ReadFtpDetectInfo)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
