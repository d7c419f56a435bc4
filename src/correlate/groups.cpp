#include <algorithm>
#include <cmath>

#include "correlate/constants.hpp"
#include "correlate/grouping.hpp"

namespace sightline::correlation {

namespace cc = correlate_constants;

namespace {

enum class State : unsigned char { Free, Member, Split };

double lineDistance(const Vector3& p, const Line& line) {
  return cross(p - line.point, line.direction).length();
}

double medianSpeed(const Group& g) {
  std::vector<double> v;
  for (const Span& s : g.spans) v.push_back(std::fabs(s.speed));
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

// The line refitted to every member's plane, weighted by the inverse square
// of each station's distance from it (so that the fit is one of angles), and the spans on it.
void refit(const Night& night, Group& g) {
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<const Track*> members;
    std::vector<double> weights;
    for (std::size_t p : g.members) {
      members.push_back(&night.tracks[p]);
      const double r = std::max(lineDistance(night.tracks[p].station, g.line), 1000.0);
      weights.push_back(1e10 / (r * r));
    }
    g.line = fitLine(members, weights, g.line);
  }
  g.spans.clear();
  for (std::size_t p : g.members) g.spans.push_back(spanOn(night.tracks[p], g.line));
}

// True when some two members are far enough apart and see the line from different enough planes.
bool geometryDecides(const Night& night, const Group& g) {
  for (std::size_t i = 0; i < g.members.size(); ++i)
    for (std::size_t j = i + 1; j < g.members.size(); ++j) {
      const Track& a = night.tracks[g.members[i]];
      const Track& b = night.tracks[g.members[j]];
      if (distance(a.station, b.station) >= night.limits.minBaseline &&
          cross(a.normal, b.normal).length() >= night.limits.minPlaneSine)
        return true;
    }
  return false;
}

// Group `g` without member k.
Group without(const Group& g, std::size_t k) {
  Group rest = g;
  rest.members.erase(rest.members.begin() + static_cast<long>(k));
  rest.spans.erase(rest.spans.begin() + static_cast<long>(k));
  return rest;
}

// Removes members that do not agree with the others until every one does; false when fewer than two are left.
bool verify(const Night& night, Group& g, std::vector<State>& state) {
  while (g.members.size() >= 2) {
    refit(night, g);
    std::size_t worst = g.members.size();
    double worstResidual = -1.0;
    for (std::size_t k = 0; k < g.members.size(); ++k) {
      Span span;
      const bool ok = g.members.size() == 2 ? g.spans[k].ok && plausible(g.spans[k], night.limits)
                                            : agrees(night, g.members[k], without(g, k), span);
      const double r = residual(night.tracks[g.members[k]], g.line);
      if ((!ok || r > night.limits.maxResidual) && r > worstResidual) worst = k, worstResidual = r;
    }
    if (worst == g.members.size()) return geometryDecides(night, g);
    state[g.members[worst]] = State::Free;
    g.members.erase(g.members.begin() + static_cast<long>(worst));
  }
  return false;
}

// Positions whose tracks may overlap [begin - tolerance, end + tolerance] in time.
std::pair<std::size_t, std::size_t> window(const Night& night, double begin, double end) {
  const double lo = begin - night.limits.maxTimeOffset - night.longest;
  const double hi = end + night.limits.maxTimeOffset;
  auto first = std::lower_bound(night.tracks.begin(), night.tracks.end(), lo,
                                [](const Track& t, double v) { return t.begin < v; });
  auto last = std::upper_bound(first, night.tracks.end(), hi, [](double v, const Track& t) { return v < t.begin; });
  return {static_cast<std::size_t>(first - night.tracks.begin()), static_cast<std::size_t>(last - night.tracks.begin())};
}

// True when detections p and q of one station are parts of one meteor split
// over consecutive FF files: one ends before the other begins, by less than kSplitGap.
bool splitParts(const Night& night, std::size_t p, std::size_t q) {
  const Track& a = night.tracks[p];
  const Track& b = night.tracks[q];
  const double gap = std::max(a.begin, b.begin) - std::min(a.end, b.end);
  return gap > 0.0 && gap < cc::kSplitGap;
}

void insertMember(Group& g, std::size_t x, std::vector<State>& state) {
  g.members.insert(std::upper_bound(g.members.begin(), g.members.end(), x), x);
  state[x] = State::Member;
}

// One detection x offered to the group: joins it; or, where its station is in
// the group already, replaces that station's member when it is the larger part
// of a split meteor (the smaller one is kept aside) or, seen at the same time,
// when it lies closer to the line. True when the group changed.
bool offer(const Night& night, Group& g, std::size_t x, std::vector<State>& state, std::vector<std::size_t>& split) {
  Span span;
  if (!agrees(night, x, g, span)) return false;
  auto same = std::find_if(g.members.begin(), g.members.end(),
                           [&](std::size_t m) { return night.station[m] == night.station[x]; });
  if (same != g.members.end()) {
    const std::size_t y = *same;
    bool better = false;
    if (splitParts(night, x, y)) {
      better = night.tracks[x].rays.size() > night.tracks[y].rays.size();
      const std::size_t smaller = better ? y : x;
      state[smaller] = State::Split, split.push_back(smaller);
    } else {
      better = residual(night.tracks[x], g.line) < residual(night.tracks[y], g.line);
      if (better) state[y] = State::Free;
    }
    if (!better) return false;
    g.members.erase(same);
  }
  insertMember(g, x, state);
  refit(night, g);
  return true;
}

// The group grown from edge e; false (and every state as it was) when it does not hold.
bool grow(const Night& night, const Edge& e, std::vector<State>& state, Group& g, std::vector<std::size_t>& split) {
  g = Group{{e.a, e.b}, e.line, {}};
  state[e.a] = state[e.b] = State::Member;
  refit(night, g);
  for (int pass = 0; pass < cc::kMaxGrowPasses; ++pass) {
    bool changed = false;
    double begin = night.tracks[g.members.front()].begin, end = begin;
    for (std::size_t m : g.members) begin = std::min(begin, night.tracks[m].begin), end = std::max(end, night.tracks[m].end);
    const auto [from, to] = window(night, begin, end);
    for (std::size_t x = from; x < to; ++x)
      if (state[x] == State::Free && night.tracks[x].usable && boxesMeet(night.tracks[x], night.tracks[e.a]) &&
          night.nearby(x, e.a))
        changed = offer(night, g, x, state, split) || changed;
    if (!changed) break;
  }
  if (verify(night, g, state)) return true;
  for (std::size_t m : g.members) state[m] = State::Free;
  for (std::size_t s : split) state[s] = State::Free;
  split.clear();
  return false;
}

}  // namespace

bool plausible(const Span& s, const Limits& l) {
  const double v = std::fabs(s.speed);
  return s.hBegin >= l.minBegin && s.hBegin <= l.maxBegin && s.hEnd >= l.minEnd && s.hEnd <= l.maxEnd &&
         s.hBegin > s.hEnd && v >= l.minSpeed && v <= l.maxSpeed;
}

bool agrees(const Night& night, std::size_t x, const Group& g, Span& span) {
  const Limits& l = night.limits;
  const Track& t = night.tracks[x];
  if (lineDistance(t.station, g.line) > cc::kMaxRange) return false;
  const double r = residual(t, g.line);
  if (r > l.maxResidual || r > cc::kScatterFactor * t.scatter + cc::kLineAllowance) return false;
  span = spanOn(t, g.line);
  if (!span.ok || !plausible(span, l) || (span.speed > 0.0) != (g.spans.front().speed > 0.0)) return false;
  const double v = std::fabs(span.speed), median = medianSpeed(g);
  if (std::fabs(v - median) > l.speedTolerance * std::max(v, median)) return false;
  const double middle = 0.5 * (span.sBegin + span.sEnd);
  for (std::size_t k = 0; k < g.members.size(); ++k)
    if (!timesAgree(night, night.station[x], timeAt(span, middle), night.station[g.members[k]], timeAt(g.spans[k], middle)))
      return false;
  return true;
}

bool timesAgree(const Night& night, int a, double ta, int b, double tb) {
  if (!(std::fabs(ta - tb) <= night.limits.maxTimeOffset)) return false;
  const bool swap = b < a;
  const auto it = night.clockDifference.find(swap ? std::pair{b, a} : std::pair{a, b});
  if (it == night.clockDifference.end()) return true;
  const double dt = swap ? tb - ta : ta - tb;
  return std::fabs(dt - it->second) <= night.limits.clockTolerance;
}

void estimateClocks(Night& night, const CorrelateResult& result) {
  std::vector<std::size_t> positionOf(night.order.size());
  for (std::size_t p = 0; p < night.order.size(); ++p) positionOf[night.order[p]] = p;
  std::map<std::pair<int, int>, std::vector<double>> samples;
  for (const CorrelatedEvent& e : result.events) {
    Group g;
    for (std::size_t d : e.detections) g.members.push_back(positionOf[d]);
    std::sort(g.members.begin(), g.members.end());
    double sine = 0.0;
    g.line = planesMeet(night.tracks[g.members[0]], night.tracks[g.members[1]], sine);
    refit(night, g);
    for (std::size_t i = 0; i < g.members.size(); ++i)
      for (std::size_t j = 0; j < g.members.size(); ++j) {
        const int a = night.station[g.members[i]], b = night.station[g.members[j]];
        if (a >= b || !g.spans[i].ok || !g.spans[j].ok) continue;
        const double middle = 0.25 * (g.spans[i].sBegin + g.spans[i].sEnd + g.spans[j].sBegin + g.spans[j].sEnd);
        samples[{a, b}].push_back(timeAt(g.spans[i], middle) - timeAt(g.spans[j], middle));
      }
  }
  night.clockDifference.clear();
  for (auto& [pair, list] : samples) {
    if (list.size() < cc::kMinClockSamples) continue;
    std::nth_element(list.begin(), list.begin() + static_cast<long>(list.size() / 2), list.end());
    night.clockDifference[pair] = list[list.size() / 2];
  }
}

void growGroups(const Night& night, CorrelateResult& result) {
  std::vector<State> state(night.tracks.size(), State::Free);
  for (const Edge& e : night.edges) {
    if (state[e.a] != State::Free || state[e.b] != State::Free) continue;
    Group g;
    std::vector<std::size_t> split;
    if (!grow(night, e, state, g, split)) continue;
    result.splitParts += split.size();
    CorrelatedEvent event;
    event.beginTime = night.tracks[g.members.front()].begin;
    for (std::size_t m : g.members) {
      event.detections.push_back(night.order[m]);
      event.beginTime = std::min(event.beginTime, night.tracks[m].begin);
    }
    std::sort(event.detections.begin(), event.detections.end(), [&](std::size_t a, std::size_t b) {
      const Detection& x = (*night.detections)[a];
      const Detection& y = (*night.detections)[b];
      if (x.station != y.station) return x.station < y.station;
      return detectionBefore(x, y);
    });
    result.events.push_back(std::move(event));
  }
  std::sort(result.events.begin(), result.events.end(), [&](const CorrelatedEvent& x, const CorrelatedEvent& y) {
    if (x.beginTime != y.beginTime) return x.beginTime < y.beginTime;
    return detectionBefore((*night.detections)[x.detections.front()], (*night.detections)[y.detections.front()]);
  });
}

}  // namespace sightline::correlation
