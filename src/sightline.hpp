// Sightline's library: geometry of lines and planes of sight, the Earth model,
// horizon directions and refraction, WGS84 frames and orbits. Include this one
// header to use them all (the trajectory library: trajectory/solve.hpp).
#pragma once

#include "common/version.hpp"
#include "earth/ellipsoid.hpp"
#include "earth/frames.hpp"
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
#include "orbit/orbit.hpp"
