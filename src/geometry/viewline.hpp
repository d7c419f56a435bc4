// Lines and planes of sight.
#pragma once

#include "geometry/vector3.hpp"

namespace sightline {

/// A line of sight: a ViewPoint's position (metres) and the direction it looks along.
struct Viewline {
  Vector3 origin;
  Vector3 direction;

  Viewline() = default;
  Viewline(Vector3 origin_, Vector3 direction_) : origin(origin_), direction(direction_) {}

  /// origin + t*direction (t may be negative: behind the origin).
  Vector3 pointAt(double t) const { return origin + t * direction; }
};

/// A plane of sight: a ViewPoint's position and the directions of its two sightings.
struct Viewplane {
  Vector3 origin;
  Vector3 direction1;
  Vector3 direction2;

  Viewplane() = default;
  Viewplane(Vector3 origin_, Vector3 direction1_, Vector3 direction2_)
      : origin(origin_), direction1(direction1_), direction2(direction2_) {}
};

}  // namespace sightline
