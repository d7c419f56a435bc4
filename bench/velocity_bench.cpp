// Cost of the speed-model fit: one cold fit (grid over |a2| and refinement)
// against one warm-started fit, as each Monte Carlo draw makes it, on 30
// points of three stations with clock offsets and noisy lengths.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "trajectory/velocity.hpp"

namespace {

using namespace sightline;

/// Along-track noise, metres (1 sigma).
constexpr double kLengthSigma = 20.0;
/// Perturbed copies the warm-start benchmark cycles through.
constexpr std::size_t kDraws = 64;

/// A repeatable stand-in for Gaussian noise of unit size (a fixed sequence; no library distribution).
double pseudoNoise(std::size_t i, std::size_t draw) {
  const double x = std::sin(12.9898 * static_cast<double>(i + 1) + 78.233 * static_cast<double>(draw + 1)) * 43758.5453;
  return 3.4 * (x - std::floor(x) - 0.5);
}

/// Ten frames at 25 fps from each of three stations, the second and third (with `clockErrors`)
/// on clocks 0.12 s ahead and 0.08 s behind, of a 40 km/s meteor with a1 = 30 m, a2 = 4 1/s.
std::vector<TimedPoint> benchPoints(std::size_t draw, bool clockErrors = true) {
  const double begins[3] = {0.0, 0.16, 0.32};
  const double offsets[3] = {0.0, clockErrors ? 0.12 : 0.0, clockErrors ? -0.08 : 0.0};
  std::vector<TimedPoint> points;
  for (std::size_t s = 0; s < 3; ++s) {
    for (int j = 0; j < 10; ++j) {
      const double t = begins[s] + j / 25.0;
      const double length = 40000.0 * t - 30.0 * std::expm1(4.0 * t);
      points.push_back(
          {s, 500.0 + t + offsets[s], length + kLengthSigma * pseudoNoise(points.size(), draw), kLengthSigma});
    }
  }
  return points;
}

void BM_VelocityFitCold(benchmark::State& state) {
  const std::vector<TimedPoint> points = benchPoints(0);
  for (auto _ : state) benchmark::DoNotOptimize(fitVelocity(points, ClockOffsetMode::Fit));
}
BENCHMARK(BM_VelocityFitCold)->Unit(benchmark::kMicrosecond);

// Each iteration fits another perturbed copy from the nominal fit, as a Monte Carlo draw does.
void BM_VelocityFitWarm(benchmark::State& state) {
  const VelocityFit nominal = fitVelocity(benchPoints(0), ClockOffsetMode::Fit);
  std::vector<std::vector<TimedPoint>> draws;
  for (std::size_t d = 1; d <= kDraws; ++d) draws.push_back(benchPoints(d));
  std::size_t d = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitVelocity(draws[d], ClockOffsetMode::Fit, &nominal));
    d = (d + 1) % kDraws;
  }
}
BENCHMARK(BM_VelocityFitWarm)->Unit(benchmark::kMicrosecond);

// The same draws cold, for the ratio.
void BM_VelocityFitColdDraws(benchmark::State& state) {
  std::vector<std::vector<TimedPoint>> draws;
  for (std::size_t d = 1; d <= kDraws; ++d) draws.push_back(benchPoints(d));
  std::size_t d = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitVelocity(draws[d], ClockOffsetMode::Fit));
    d = (d + 1) % kDraws;
  }
}
BENCHMARK(BM_VelocityFitColdDraws)->Unit(benchmark::kMicrosecond);

// A fit without clock offsets (mode None, clocks that agree), cold.
void BM_VelocityFitColdNoOffsets(benchmark::State& state) {
  const std::vector<TimedPoint> points = benchPoints(0, false);
  for (auto _ : state) benchmark::DoNotOptimize(fitVelocity(points, ClockOffsetMode::None));
}
BENCHMARK(BM_VelocityFitColdNoOffsets)->Unit(benchmark::kMicrosecond);

}  // namespace
