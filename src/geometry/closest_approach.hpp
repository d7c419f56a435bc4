// Closest approach of two lines of sight.
#pragma once

#include "geometry/viewline.hpp"

namespace sightline {

/// Finds where lines a and b pass closest to each other, as the least-squares
/// solution (t, u) of a.origin + t*a.direction = b.origin + u*b.direction.
/// Returns 1 and writes pointA (on a) and pointB (on b); returns 0 and leaves
/// both untouched when the system cannot be solved (e.g. a zero direction).
int closestApproach(Viewline a, Viewline b, Vector3& pointA, Vector3& pointB);

}  // namespace sightline
