#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>

#include "correlate/constants.hpp"
#include "correlate/grouping.hpp"

namespace sightline::correlation {

namespace cc = correlate_constants;

namespace {

constexpr std::size_t kChunk = 512;  // positions per unit of parallel work

// Stations (by number) near enough to see a common point, through a grid of
// cubes as large as that distance: only the 27 cubes around a station are searched.
std::vector<std::vector<int>> stationNeighbours(const std::vector<Vector3>& places, double reach) {
  using Cell = std::array<long, 3>;
  auto cellOf = [&](const Vector3& p) {
    return Cell{static_cast<long>(std::floor(p.x / reach)), static_cast<long>(std::floor(p.y / reach)),
                static_cast<long>(std::floor(p.z / reach))};
  };
  std::map<Cell, std::vector<int>> grid;
  for (std::size_t s = 0; s < places.size(); ++s) grid[cellOf(places[s])].push_back(static_cast<int>(s));
  std::vector<std::vector<int>> near(places.size());
  for (std::size_t s = 0; s < places.size(); ++s) {
    const Cell c = cellOf(places[s]);
    for (long dx = -1; dx <= 1; ++dx)
      for (long dy = -1; dy <= 1; ++dy)
        for (long dz = -1; dz <= 1; ++dz) {
          auto it = grid.find(Cell{c[0] + dx, c[1] + dy, c[2] + dz});
          if (it == grid.end()) continue;
          for (int o : it->second)
            if (distance(places[s], places[static_cast<std::size_t>(o)]) <= reach) near[s].push_back(o);
        }
    std::sort(near[s].begin(), near[s].end());
  }
  return near;
}

// True when detection x sees from far enough and at a different enough plane
// from detection p's to confirm a line through p's plane, not merely repeat it.
bool independent(const Night& night, std::size_t x, std::size_t p) {
  const Track& a = night.tracks[x];
  const Track& b = night.tracks[p];
  return distance(a.station, b.station) >= night.limits.minBaseline &&
         cross(a.normal, b.normal).length() >= night.limits.minPlaneSine;
}

// Lowest and highest position along the line of a span.
double low(const Span& s) { return std::min(s.sBegin, s.sEnd); }
double high(const Span& s) { return std::max(s.sBegin, s.sEnd); }

// The pair test of two detections of different stations (see correlate.hpp).
bool testPair(const Night& night, std::size_t p, std::size_t q, Edge& edge) {
  const Limits& l = night.limits;
  const Track& a = night.tracks[p];
  const Track& b = night.tracks[q];
  if (distance(a.station, b.station) < l.minBaseline) return false;
  double sine = 0.0;
  const Line line = planesMeet(a, b, sine);
  if (sine < l.minPlaneSine) return false;
  const Span sa = spanOn(a, line), sb = spanOn(b, line);
  if (!sa.ok || !sb.ok || !plausible(sa, l) || !plausible(sb, l)) return false;
  if ((sa.speed > 0.0) != (sb.speed > 0.0)) return false;
  const double va = std::fabs(sa.speed), vb = std::fabs(sb.speed), vmax = std::max(va, vb);
  if (std::fabs(va - vb) > l.speedTolerance * vmax) return false;
  const double longer = std::max(high(sa) - low(sa), high(sb) - low(sb));
  const double gap = std::max(0.0, std::max(low(sa), low(sb)) - std::min(high(sa), high(sb)));
  if (gap > cc::kSpanGapFraction * longer + cc::kSpanGapMetres) return false;
  const double middle = 0.5 * (std::max(low(sa), low(sb)) + std::min(high(sa), high(sb)));
  const double dt = timeAt(sa, middle) - timeAt(sb, middle);
  if (!timesAgree(night, night.station[p], timeAt(sa, middle), night.station[q], timeAt(sb, middle))) return false;
  edge.a = p;
  edge.b = q;
  edge.line = line;
  edge.quality = std::fabs(va - vb) / vmax + gap / std::max(longer, 1.0) + 0.1 * std::fabs(dt) / l.maxTimeOffset;
  return true;
}

}  // namespace

void buildTracks(Night& night) {
  const std::vector<Detection>& d = *night.detections;
  std::vector<Track> byIndex(d.size());
  const double lowest = std::min(night.limits.minEnd, night.limits.minBegin);
  const double highest = std::max(night.limits.maxBegin, night.limits.maxEnd);
  parallelFor(d.size(), night.threads, [&](std::size_t i) { byIndex[i] = makeTrack(d[i], lowest, highest); });
  std::sort(night.order.begin(), night.order.end(), [&](std::size_t a, std::size_t b) {
    if (byIndex[a].begin != byIndex[b].begin) return byIndex[a].begin < byIndex[b].begin;
    return detectionBefore(d[a], d[b]);
  });
  std::map<std::string, int> numbers;
  for (const Detection& x : d) numbers.emplace(x.station, 0);
  std::vector<Vector3> places(numbers.size());
  int next = 0;
  for (auto& [name, number] : numbers) number = next++;
  night.tracks.resize(d.size());
  night.station.resize(d.size());
  for (std::size_t p = 0; p < d.size(); ++p) {
    night.tracks[p] = std::move(byIndex[night.order[p]]);
    night.station[p] = numbers[night.detection(p).station];
    places[static_cast<std::size_t>(night.station[p])] = night.tracks[p].station;
    if (night.tracks[p].usable) night.longest = std::max(night.longest, night.tracks[p].end - night.tracks[p].begin);
  }
  night.neighbours = stationNeighbours(places, night.limits.maxStationDistance);
}

void findPairs(Night& night) {
  const std::size_t n = night.tracks.size();
  std::vector<std::vector<Edge>> found((n + kChunk - 1) / kChunk);
  parallelFor(found.size(), night.threads, [&](std::size_t chunk) {
    for (std::size_t p = chunk * kChunk; p < std::min(n, (chunk + 1) * kChunk); ++p) {
      const Track& a = night.tracks[p];
      if (!a.usable) continue;
      for (std::size_t q = p + 1; q < n && night.tracks[q].begin <= a.end + night.limits.maxTimeOffset; ++q) {
        if (!night.tracks[q].usable || night.station[q] == night.station[p] || !boxesMeet(a, night.tracks[q]) ||
            !night.nearby(p, q))
          continue;
        Edge edge;
        if (testPair(night, p, q, edge)) found[chunk].push_back(edge);
      }
    }
  });
  night.edges.clear();
  for (auto& list : found) night.edges.insert(night.edges.end(), list.begin(), list.end());
  night.adjacencyStart.assign(n + 1, 0);
  for (const Edge& e : night.edges) ++night.adjacencyStart[e.a + 1], ++night.adjacencyStart[e.b + 1];
  std::partial_sum(night.adjacencyStart.begin(), night.adjacencyStart.end(), night.adjacencyStart.begin());
  night.adjacency.assign(night.adjacencyStart.back(), 0);
  std::vector<std::size_t> fill(night.adjacencyStart.begin(), night.adjacencyStart.end() - 1);
  for (const Edge& e : night.edges) night.adjacency[fill[e.a]++] = e.b, night.adjacency[fill[e.b]++] = e.a;
}

void supportPairs(Night& night) {
  parallelFor(night.edges.size(), night.threads, [&](std::size_t k) {
    Edge& e = night.edges[k];
    Group pair{{e.a, e.b}, e.line, {spanOn(night.tracks[e.a], e.line), spanOn(night.tracks[e.b], e.line)}};
    std::vector<int> stations;
    for (std::size_t end : {e.a, e.b})
      for (std::size_t i = night.adjacencyStart[end]; i < night.adjacencyStart[end + 1]; ++i) {
        const std::size_t x = night.adjacency[i];
        const int s = night.station[x];
        if (s == night.station[e.a] || s == night.station[e.b]) continue;
        if (std::find(stations.begin(), stations.end(), s) != stations.end()) continue;
        Span span;
        if (independent(night, x, e.a) && independent(night, x, e.b) && agrees(night, x, pair, span)) stations.push_back(s);
      }
    e.support = static_cast<int>(stations.size());
  });
  std::sort(night.edges.begin(), night.edges.end(), [](const Edge& x, const Edge& y) {
    if (x.support != y.support) return x.support > y.support;
    if (x.quality != y.quality) return x.quality < y.quality;
    return x.a != y.a ? x.a < y.a : x.b < y.b;
  });
}

}  // namespace sightline::correlation
