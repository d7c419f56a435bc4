// The reference ellipsoid and positions in the Earth-centred frame.
//
// Frame: origin at the ellipsoid's centre, +x toward longitude 0 on the
// equator, +y toward longitude 90 E, +z toward the north pole; metres.
// Latitudes are geocentric and heights are measured along the radius.
#pragma once

#include "geometry/vector3.hpp"

namespace sightline {

/// Equatorial semi-axis a, metres.
inline constexpr double kEquatorialRadius = 6378137.0;
/// Polar semi-axis b, metres (a whole number of metres).
inline constexpr double kPolarRadius = 6356752.0;

/// Distance (metres) from the centre to the ellipsoid along geocentric latitude `latitude` (radians).
double ellipsoidRadius(double latitude);

/// Earth-centred position (metres) of longitude and geocentric latitude (degrees)
/// at `height` metres above the ellipsoid along the radius.
Vector3 viewPointPosition(double longitude, double latitude, double height);

/// Height (metres) of `point` above the ellipsoid, along the radius.
double heightAboveEllipsoid(Vector3 point);

/// Geocentric latitude (radians) of a point: pi/2 minus its polar angle.
double geocentricLatitude(const Vector3& point);

}  // namespace sightline
