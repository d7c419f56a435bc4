// Sightline's library: geometry of lines and planes of sight, the Earth model,
// horizon directions and refraction. Include this one header to use it all.
#pragma once

#include "earth/ellipsoid.hpp"
#include "earth/horizon.hpp"
#include "earth/ray_cache.hpp"
#include "earth/refraction.hpp"
#include "geometry/angles.hpp"
#include "geometry/closest_approach.hpp"
#include "geometry/intersection.hpp"
#include "geometry/least_squares.hpp"
#include "geometry/matrix3.hpp"
#include "geometry/vector3.hpp"
#include "geometry/viewline.hpp"
