// Checks of the sightings' times that need no trajectory: times that go
// backwards, one time with two directions, a long span, times far from the
// event. Plain data in, coded issues out: the solver reports them as
// warnings, the readers as errors with the JSON path.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sightline {

/// One timed sighting, as the checks see it.
struct TimedSighting {
  std::size_t station = 0;  ///< station index (as the caller numbers them)
  std::size_t index = 0;    ///< sighting index within the station
  double time = 0.0;        ///< s, UTC, seconds since 1970-01-01T00:00:00Z (any common epoch works)
  double azimuth = 0.0;     ///< degrees from north through east
  double elevation = 0.0;   ///< degrees above the horizon
  std::string name;         ///< how messages name it; empty: "station S, sighting K" by the indices
};

/// One finding about one sighting.
struct TimingIssue {
  std::size_t station = 0;  ///< station index of the sighting concerned
  std::size_t index = 0;    ///< its sighting index
  bool error = false;       ///< true: the time cannot be used; false: a warning
  std::string code;         ///< stable: "time-backwards", "same-time-different-direction",
                            ///< "time-span-over-60-s", "time-far-from-event", "time-not-finite"
  std::string text;         ///< English, naming the station and sighting indices
};

/// Limits of the checks.
namespace timing_limits {
/// Longest plausible fireball, s: longer spans are flagged (the brightest last some tens of seconds).
inline constexpr double kMaxSpan = 60.0;
/// A time this far from the event's time (s, one day) is an error: a wrong date or epoch.
inline constexpr double kMaxFromEvent = 86400.0;
/// Two directions of one station at one time may differ by this much, degrees.
inline constexpr double kSameTimeAngle = 0.5;
/// Times closer than this count as the same, s (a microsecond: the precision of the time stamps).
inline constexpr double kSameTime = 1e-6;
}  // namespace timing_limits

/// Finds the timing issues of an event's timed sightings.
///
/// Given:
///   sightings  every timed sighting of the event, in input order (per station in sighting order)
///   eventTime  the event's time (s, same epoch as the sightings), when it has one
///
/// Returned:
///   the issues, in this order: non-finite times (error "time-not-finite"), times more than
///   one day from eventTime (error "time-far-from-event"), per station times earlier than
///   the sighting before (warning "time-backwards"), per station sightings at the same time
///   whose directions differ by more than 0.5 degrees (warning "same-time-different-direction",
///   on the later one of each pair), and a span of all times over 60 s (one warning
///   "time-span-over-60-s", on the latest sighting).
std::vector<TimingIssue> timingIssues(const std::vector<TimedSighting>& sightings, std::optional<double> eventTime);

/// Angle (degrees) between the directions (azimuth, elevation in degrees) of two sightings.
double angleBetween(const TimedSighting& a, const TimedSighting& b);

}  // namespace sightline
