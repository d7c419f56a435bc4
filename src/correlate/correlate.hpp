// Which single-station detections are one meteor: the night's events.
//
//   tracks (planes of sight, timed rays) -> pairs in a time window between
//   stations that can see a common point -> groups grown from the best-supported
//   pairs, every member checked against the group's trajectory -> events
//
// No I/O: detections in, groups of detection indices out. The result depends
// only on the detections' content, never on their order or the thread count.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "correlate/detection.hpp"

namespace sightline {

/// Thresholds of the decision (the documented options of `sightline correlate`).
struct CorrelateOptions {
  double maxTimeOffset = 10.0;     ///< s: largest difference of two stations' clocks
  double minBeginHeight = 50.0;    ///< km above the ellipsoid, lowest begin
  double maxBeginHeight = 150.0;   ///< km, highest begin
  double minEndHeight = 20.0;      ///< km, lowest end
  double maxEndHeight = 130.0;     ///< km, highest end
  double speedTolerance = 0.25;    ///< largest relative difference of two stations' speeds
  double minSpeed = 3.0;           ///< km/s
  double maxSpeed = 73.0;          ///< km/s
  double minBaseline = 5.0;        ///< km between the stations of a pair
  double minPlaneAngle = 3.0;      ///< degrees between the planes of sight of a pair
  double maxResidual = 0.5;        ///< degrees: rms of a member's rays about the group's trajectory
  /// s: once two stations' clock difference is known from three or more of the night's events,
  /// their times must agree within this of it (0: one pass, maxTimeOffset only)
  double clockTolerance = 0.5;
  int threads = 0;                 ///< 0: all cores
};

/// One multi-station event: indices into the detections given, ordered by station name.
struct CorrelatedEvent {
  std::vector<std::size_t> detections;
  double beginTime = 0.0;  ///< s since 1970-01-01T00:00:00Z, earliest sighting of the event
};

/// What the correlator found and how much work it did.
struct CorrelateResult {
  std::vector<CorrelatedEvent> events;  ///< in time order (ties by content)
  std::size_t usable = 0;               ///< detections with a plane of sight (two or more distinct rays)
  std::size_t pairs = 0;                ///< pairs that passed the pair test
  std::size_t splitParts = 0;           ///< smaller parts of split detections left out of events
};

/// The multi-station events among `detections`.
///
/// Given:
///   detections  single-station detections, heights as Detection says
///   options     thresholds
/// Returned:
///   the events; each station appears at most once per event (of a meteor
///   split over two FF files, the part with more frames); detections in no
///   event are left out
/// Notes:
///   Two detections pair when the planes of sight of their stations (at least
///   minBaseline apart, meeting at minPlaneAngle or more) meet in a line on
///   which both stations' rays fall in front of them, with begin and end
///   heights in range (begin above end), speeds along the line agreeing, and
///   the times at which both place the meteor at one point of the line within
///   maxTimeOffset. A group grows from its best-supported pair; a detection
///   joins when its rays lie within maxResidual of the group's line (fitted to
///   all members' planes, weighted by the inverse square of their range) and
///   its speed and time agree with every member's. A second pass repeats
///   this with each pair of stations' clock difference, the median of the
///   first pass's events, known: their times must then agree within
///   clockTolerance of it (pairs of stations with fewer than three common
///   events keep maxTimeOffset).
CorrelateResult correlate(const std::vector<Detection>& detections, const CorrelateOptions& options);

}  // namespace sightline
