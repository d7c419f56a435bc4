// The correlator's stages over one night (internal to src/correlate).
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "correlate/correlate.hpp"
#include "correlate/parallel.hpp"
#include "correlate/track.hpp"

namespace sightline::correlation {

/// CorrelateOptions in SI units: metres, m/s, seconds, radians (or their sines).
struct Limits {
  double maxTimeOffset = 0.0, minBegin = 0.0, maxBegin = 0.0, minEnd = 0.0, maxEnd = 0.0;
  double speedTolerance = 0.0, minSpeed = 0.0, maxSpeed = 0.0, minBaseline = 0.0;
  double minPlaneSine = 0.0, maxResidual = 0.0, clockTolerance = 0.0;
  double maxStationDistance = 0.0;  ///< m: farther stations cannot see a common point at meteor heights
};
Limits limitsOf(const CorrelateOptions& options);

/// A pair of detections that passed the pair test.
struct Edge {
  std::size_t a = 0, b = 0;  ///< positions in the night's time order, a < b
  Line line;                 ///< where their planes meet
  double quality = 0.0;      ///< smaller is better: speed difference, gap, time difference
  int support = 0;           ///< other stations whose detections agree with the pair's line
};

/// The night as the stages see it; "positions" index the time-ordered detections.
struct Night {
  Limits limits;
  int threads = 0;
  const std::vector<Detection>* detections = nullptr;
  std::vector<std::size_t> order;              ///< position -> index into *detections
  std::vector<Track> tracks;                   ///< by position
  std::vector<int> station;                    ///< by position: station number (names in sorted order)
  std::vector<std::vector<int>> neighbours;    ///< by station: stations near enough, sorted
  double longest = 0.0;                        ///< s, longest track
  std::vector<Edge> edges;                     ///< sorted by (a, b) after findPairs
  std::vector<std::size_t> adjacencyStart;     ///< by position, into adjacency (CSR), size positions + 1
  std::vector<std::size_t> adjacency;          ///< positions paired with each position
  /// Clock differences of station pairs (first number < second): median of t_first - t_second, s.
  std::map<std::pair<int, int>, double> clockDifference;

  const Detection& detection(std::size_t position) const { return (*detections)[order[position]]; }
  /// True when the stations of positions p and q are near enough to see a common point.
  bool nearby(std::size_t p, std::size_t q) const {
    const std::vector<int>& list = neighbours[static_cast<std::size_t>(station[p])];
    return std::binary_search(list.begin(), list.end(), station[q]);
  }
};

/// A group of detections (positions) with the line fitted to them and their spans on it.
struct Group {
  std::vector<std::size_t> members;  ///< positions, ascending
  Line line;
  std::vector<Span> spans;           ///< by member
};

/// Heights (begin in its range, end in its range, begin above end) and speed in range.
bool plausible(const Span& span, const Limits& limits);
/// True when detection `x` (a position) agrees with every member of `group`:
/// rays within maxResidual of the line, plausible span moving the same way,
/// speed within the tolerance of the members' median, and the time at which it
/// places the meteor at its mid-span within maxTimeOffset of every member's.
/// `span` is x's span on the group's line.
bool agrees(const Night& night, std::size_t x, const Group& group, Span& span);

/// True when times ta (of station a) and tb (of station b), s, may be of one
/// moment: within clockTolerance of the pair's known clock difference, else within maxTimeOffset.
bool timesAgree(const Night& night, int a, double ta, int b, double tb);
/// The clock difference of every pair of stations with three or more common events in `result`.
void estimateClocks(Night& night, const CorrelateResult& result);

/// Tracks of every detection, the time order (first time, then content) and the station index.
void buildTracks(Night& night);
/// Every pair that passes the pair test, found through the time order and the station index.
void findPairs(Night& night);
/// How many other stations agree with each pair's line; the pairs then in the order groups grow from.
void supportPairs(Night& night);
/// Groups grown from the pairs, checked as a whole, written to `result`.
void growGroups(const Night& night, CorrelateResult& result);

}  // namespace sightline::correlation
