// Where a line of sight pierces a plane of sight.
#pragma once

#include "geometry/viewline.hpp"

namespace sightline {

/// The point where `line` meets `plane`, in the inputs' frame and unit; (0, 0, 0)
/// when the 3x3 system for (t, u, w) is exactly singular. The point may lie
/// behind the line's origin.
Vector3 intersect(const Viewplane& plane, Viewline line);

}  // namespace sightline
