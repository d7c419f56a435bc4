#include "correlate/correlate.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <thread>

#include "correlate/constants.hpp"
#include "correlate/grouping.hpp"
#include "correlate/track.hpp"

namespace sightline {

namespace cc = correlate_constants;
using namespace correlation;

bool detectionBefore(const Detection& a, const Detection& b) {
  const double ta = a.sightings.empty() ? 0.0 : a.sightings.front().time.value_or(0.0);
  const double tb = b.sightings.empty() ? 0.0 : b.sightings.front().time.value_or(0.0);
  if (ta != tb) return ta < tb;
  if (a.station != b.station) return a.station < b.station;
  if (a.ff != b.ff) return a.ff < b.ff;
  if (a.meteor != b.meteor) return a.meteor < b.meteor;
  if (a.file != b.file) return a.file < b.file;
  return a.sightings.size() < b.sightings.size();
}

namespace correlation {

Limits limitsOf(const CorrelateOptions& o) {
  constexpr double kDegree = 3.14159265358979323846 / 180.0;
  Limits l;
  l.maxTimeOffset = o.maxTimeOffset;
  l.minBegin = o.minBeginHeight * cc::kMetresPerKm;
  l.maxBegin = o.maxBeginHeight * cc::kMetresPerKm;
  l.minEnd = o.minEndHeight * cc::kMetresPerKm;
  l.maxEnd = o.maxEndHeight * cc::kMetresPerKm;
  l.speedTolerance = o.speedTolerance;
  l.minSpeed = o.minSpeed * cc::kMetresPerKm;
  l.maxSpeed = o.maxSpeed * cc::kMetresPerKm;
  l.minBaseline = o.minBaseline * cc::kMetresPerKm;
  l.minPlaneSine = std::sin(o.minPlaneAngle * kDegree);
  l.maxResidual = o.maxResidual * kDegree;
  l.clockTolerance = o.clockTolerance;
  // Two stations see a common point at the highest begin height only when
  // each is within its horizon distance of it.
  const double h = l.maxBegin, r = cc::kMeanEarthRadius;
  l.maxStationDistance = 2.0 * std::sqrt(2.0 * r * h + h * h);
  return l;
}

}  // namespace correlation

void parallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& work) {
  const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t n = std::min<std::size_t>(count, threads > 0 ? static_cast<unsigned>(threads) : hardware);
  std::atomic<std::size_t> next{0};
  auto run = [&] {
    for (std::size_t i = next++; i < count; i = next++) work(i);
  };
  if (n <= 1) return run();
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < n; ++t) pool.emplace_back(run);
  for (std::thread& t : pool) t.join();
}

CorrelateResult correlate(const std::vector<Detection>& detections, const CorrelateOptions& options) {
  Night night;
  night.limits = limitsOf(options);
  night.threads = options.threads;
  night.detections = &detections;
  night.order.resize(detections.size());
  std::iota(night.order.begin(), night.order.end(), std::size_t{0});
  std::sort(night.order.begin(), night.order.end(),
            [&](std::size_t a, std::size_t b) { return detectionBefore(detections[a], detections[b]); });
  buildTracks(night);
  CorrelateResult result;
  for (int pass = 0; pass < (options.clockTolerance > 0.0 ? 2 : 1); ++pass) {
    if (pass == 1) estimateClocks(night, result);
    result = CorrelateResult{};
    findPairs(night);
    supportPairs(night);
    result.pairs = night.edges.size();
    growGroups(night, result);
  }
  result.usable = static_cast<std::size_t>(std::count_if(night.tracks.begin(), night.tracks.end(),
                                                         [](const Track& t) { return t.usable; }));
  return result;
}

}  // namespace sightline
