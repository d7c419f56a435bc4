// The WGS84 frames of the solver: geodetic positions, Earth-centred
// Earth-fixed (ECEF) vectors and each place's east-north-up horizon.
//
// ECEF: metres, x toward latitude 0 longitude 0, z toward the north pole.
// Geodetic: latitude and longitude in degrees (north and east positive),
// height in metres above the WGS84 ellipsoid. The horizon is the plane
// perpendicular to the ellipsoid normal; azimuths run from north through
// east. (The classic engine's geocentric horizon is in earth/horizon.hpp.)
#pragma once

#include "geometry/vector3.hpp"

namespace sightline {

/// A geodetic WGS84 position: degrees, degrees, metres above the ellipsoid.
struct GeodeticPosition {
  double latitude = 0.0;   ///< degrees, north positive, [-90, 90]
  double longitude = 0.0;  ///< degrees, east positive
  double height = 0.0;     ///< metres above the WGS84 ellipsoid
};

/// East, north and up unit vectors (ECEF) of a place's horizon.
struct LocalFrame {
  Vector3 east;
  Vector3 north;
  Vector3 up;
};

/// Azimuth and elevation of a direction in a place's horizon.
struct Horizontal {
  double azimuth = 0.0;    ///< degrees from north through east, [0, 360)
  double elevation = 0.0;  ///< degrees above the horizon, [-90, 90]
};

/// Geodetic WGS84 position (degrees, metres; longitude in [-180, 180)) of an ECEF point (metres).
GeodeticPosition toGeodetic(const Vector3& ecef);
/// The same, with the horizon frame at that position in `frame`.
GeodeticPosition toGeodetic(const Vector3& ecef, LocalFrame& frame);
/// ECEF (metres) of a geodetic WGS84 position.
Vector3 toEcef(const GeodeticPosition& position);
/// The horizon frame (ECEF unit vectors) at a geodetic position.
LocalFrame localFrame(const GeodeticPosition& position);

/// Unit ECEF direction of `azimuth` (degrees from north through east) and
/// `elevation` (degrees) in `frame`.
Vector3 directionFromHorizontal(const LocalFrame& frame, double azimuth, double elevation);
/// Azimuth and elevation (degrees) in `frame` of a unit ECEF direction.
Horizontal horizontalOf(const LocalFrame& frame, const Vector3& direction);

}  // namespace sightline
