// Directions given against a ViewPoint's local horizon.
//
// Horizon frame: up along the position vector (geocentric vertical); azimuth
// from south through west (0 south, 90 west, 180 north, 270 east); elevation
// positive upward.
#pragma once

#include "geometry/vector3.hpp"

namespace sightline {

/// Unit direction in the Earth-centred frame of the sighting at `azimuth` and
/// `elevation` (degrees) from a ViewPoint at `position` (metres). On the polar
/// axis east is taken as (0, 1, 0), the east of longitude 0.
Vector3 horizonDirection(Vector3 position, double azimuth, double elevation);

}  // namespace sightline
