// The geometry of the correlator: a detection as rays in space, a line in
// space (a candidate trajectory) and where a detection's rays fall on it.
//
// ECEF metres throughout (earth/frames.hpp), times in seconds since 1970.
#pragma once

#include <cstddef>
#include <vector>

#include "correlate/detection.hpp"
#include "geometry/vector3.hpp"

namespace sightline::correlation {

/// A detection in space: station, unit rays in time order, plane of sight.
struct Track {
  Vector3 station;            ///< ECEF, metres (height above the ellipsoid)
  std::vector<Vector3> rays;  ///< unit ECEF directions, one per sighting
  std::vector<double> times;  ///< s since 1970, one per ray
  Vector3 normal;             ///< unit normal of the plane through the station and the rays
  double scatter = 0.0;       ///< radians: rms of the rays about the track's own plane (its noise)
  double begin = 0.0;         ///< s, first time
  double end = 0.0;           ///< s, last time
  bool usable = false;        ///< two or more rays at distinct times spanning some angle
  Vector3 low, high;          ///< ECEF box (m) holding the first and last rays between the lowest and highest meteor heights
};

/// True when the boxes of two tracks meet: only then can their rays meet at meteor heights.
bool boxesMeet(const Track& a, const Track& b);

/// The track of `detection`: its sightings sorted by time (stable), rays from
/// azimuth and elevation in the station's geodetic horizon (earth/frames.hpp).
/// `lowest` and `highest` (m above the ellipsoid) bound the heights of its box.
Track makeTrack(const Detection& detection, double lowest, double highest);

/// A straight line in space: a point and a unit direction (ECEF).
struct Line {
  Vector3 point;
  Vector3 direction;
};

/// Where a track's rays fall on a line.
struct Span {
  bool ok = false;        ///< the first and last rays meet the line in front of the station
  double sBegin = 0.0;    ///< m along the line (from line.point) of the first ray
  double sEnd = 0.0;      ///< m along the line of the last ray
  double speed = 0.0;     ///< m/s along the line (signed: the slope of s against time)
  double sMean = 0.0;     ///< m, mean of the rays' positions
  double tMean = 0.0;     ///< s since 1970, mean of the rays' times
  double hBegin = 0.0;    ///< m above the ellipsoid at sBegin
  double hEnd = 0.0;      ///< m above the ellipsoid at sEnd
};

/// The span of `track` on `line`: each ray's closest approach to the line
/// (rays nearly parallel to it are left out), the least-squares slope of
/// position against time for the speed.
Span spanOn(const Track& track, const Line& line);

/// The time (s since 1970, on the track's clock) at which the span places the
/// meteor at `s` metres along its line; the span's mean time for a zero speed.
double timeAt(const Span& span, double s);

/// Root mean square angle (radians) of the track's rays about the plane through
/// its station and `line`: the cross-track residual the solver would see.
double residual(const Track& track, const Line& line);

/// The line where the planes of sight of `a` and `b` meet (through the point
/// nearest a's station); `sine` is the sine of the angle between the planes.
Line planesMeet(const Track& a, const Track& b, double& sine);

/// The line that best lies in all the members' planes: least squares of the
/// distances to the planes, weighted by `weights` (direction: the smallest
/// eigenvector of the weighted sum of n n^T, by inverse iteration from `start`).
Line fitLine(const std::vector<const Track*>& members, const std::vector<double>& weights, const Line& start);

}  // namespace sightline::correlation
