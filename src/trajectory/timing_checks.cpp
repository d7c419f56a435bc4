#include "trajectory/timing_checks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geometry/angles.hpp"

namespace sightline {

namespace {

std::string where(const TimedSighting& s) {
  if (!s.name.empty()) return s.name;
  return "station " + std::to_string(s.station) + ", sighting " + std::to_string(s.index);
}

std::string seconds(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6g s", value);
  return text;
}

void checkFinite(const std::vector<TimedSighting>& sightings, std::vector<TimingIssue>& issues) {
  for (const TimedSighting& s : sightings)
    if (!std::isfinite(s.time))
      issues.push_back({s.station, s.index, true, "time-not-finite", where(s) + ": expected a finite time"});
}

void checkFarFromEvent(const std::vector<TimedSighting>& sightings, double eventTime,
                       std::vector<TimingIssue>& issues) {
  for (const TimedSighting& s : sightings) {
    const double distance = std::fabs(s.time - eventTime);
    if (std::isfinite(s.time) && distance > timing_limits::kMaxFromEvent)
      issues.push_back({s.station, s.index, true, "time-far-from-event",
                        where(s) + ": its time is " + seconds(s.time - eventTime) +
                            " from the event's time; expected within one day (86400 s)"});
  }
}

/// Sightings in input order grouped by station, stations in order of first appearance.
std::vector<std::vector<const TimedSighting*>> byStation(const std::vector<TimedSighting>& sightings) {
  std::vector<std::size_t> stations;
  std::vector<std::vector<const TimedSighting*>> groups;
  for (const TimedSighting& s : sightings) {
    const auto found = std::find(stations.begin(), stations.end(), s.station);
    if (found == stations.end()) {
      stations.push_back(s.station);
      groups.emplace_back();
      groups.back().push_back(&s);
    } else {
      groups[static_cast<std::size_t>(found - stations.begin())].push_back(&s);
    }
  }
  return groups;
}

void checkBackwards(const std::vector<const TimedSighting*>& group, std::vector<TimingIssue>& issues) {
  for (std::size_t i = 1; i < group.size(); ++i) {
    const TimedSighting& before = *group[i - 1];
    const TimedSighting& s = *group[i];
    if (s.time < before.time)
      issues.push_back({s.station, s.index, false, "time-backwards",
                        where(s) + ": its time is " + seconds(before.time - s.time) +
                            " earlier than that of sighting " + std::to_string(before.index) +
                            " before it; expected times that do not go backwards"});
  }
}

void checkSameTime(std::vector<const TimedSighting*> group, std::vector<TimingIssue>& issues) {
  std::stable_sort(group.begin(), group.end(),
                   [](const TimedSighting* a, const TimedSighting* b) { return a->time < b->time; });
  for (std::size_t i = 0; i < group.size(); ++i) {
    for (std::size_t j = i + 1; j < group.size() && group[j]->time - group[i]->time <= timing_limits::kSameTime; ++j) {
      const double angle = angleBetween(*group[i], *group[j]);
      if (angle > timing_limits::kSameTimeAngle) {
        char text[48];
        std::snprintf(text, sizeof text, "%.3g", angle);
        issues.push_back({group[j]->station, group[j]->index, false, "same-time-different-direction",
                          where(*group[j]) + ": same time as sighting " + std::to_string(group[i]->index) +
                              " but a direction " + text + " degrees away; expected one direction per time"});
      }
    }
  }
}

void checkSpan(const std::vector<TimedSighting>& sightings, std::vector<TimingIssue>& issues) {
  const TimedSighting* first = nullptr;
  const TimedSighting* last = nullptr;
  for (const TimedSighting& s : sightings) {
    if (!std::isfinite(s.time)) continue;
    if (!first || s.time < first->time) first = &s;
    if (!last || s.time > last->time) last = &s;
  }
  if (first && last->time - first->time > timing_limits::kMaxSpan)
    issues.push_back({last->station, last->index, false, "time-span-over-60-s",
                      where(*last) + " is " + seconds(last->time - first->time) + " after " + where(*first) +
                          "; a fireball lasts seconds, expected a span of at most 60 s"});
}

}  // namespace

double angleBetween(const TimedSighting& a, const TimedSighting& b) {
  const double ea = degToRad(a.elevation), eb = degToRad(b.elevation);
  const double za = degToRad(a.azimuth), zb = degToRad(b.azimuth);
  const double ax = std::cos(ea) * std::sin(za), ay = std::cos(ea) * std::cos(za), az = std::sin(ea);
  const double bx = std::cos(eb) * std::sin(zb), by = std::cos(eb) * std::cos(zb), bz = std::sin(eb);
  const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
  // atan2 of |a x b| and a.b keeps small angles accurate.
  return radToDeg(std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), ax * bx + ay * by + az * bz));
}

std::vector<TimingIssue> timingIssues(const std::vector<TimedSighting>& sightings, std::optional<double> eventTime) {
  std::vector<TimingIssue> issues;
  checkFinite(sightings, issues);
  if (eventTime) checkFarFromEvent(sightings, *eventTime, issues);
  const auto groups = byStation(sightings);
  for (const auto& group : groups) checkBackwards(group, issues);
  for (const auto& group : groups) checkSameTime(group, issues);
  checkSpan(sightings, issues);
  return issues;
}

}  // namespace sightline
