#include "earth/horizon.hpp"

#include "geometry/angles.hpp"

namespace sightline {

Vector3 horizonDirection(Vector3 position, double azimuth, double elevation) {
  Vector3 east = cross(Vector3(0, 0, 1), position);
  if (east == Vector3()) east = Vector3(0, 1, 0);  // on the polar axis
  Vector3 d = cross(east, position);                // south
  d.rotate(east, normalizeAngle(degToRad(-elevation)));
  d.rotate(position, normalizeAngle(degToRad(-azimuth)));
  const double len = d.component(1, Spherical);
  return {d.x / len, d.y / len, d.z / len};
}

}  // namespace sightline
