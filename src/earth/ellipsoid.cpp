#include "earth/ellipsoid.hpp"

#include <cmath>

#include "geometry/angles.hpp"

namespace sightline {

double ellipsoidRadius(double latitude) {
  const double as = kEquatorialRadius * std::sin(latitude);
  const double bc = kPolarRadius * std::cos(latitude);
  return kEquatorialRadius * kPolarRadius / std::sqrt(as * as + bc * bc);
}

Vector3 viewPointPosition(double longitude, double latitude, double height) {
  const double lambda = degToRad(longitude);
  const double phi = degToRad(latitude);
  Vector3 up(1, 0, 0);
  Vector3 east(0, 1, 0);
  const Vector3 pole(0, 0, 1);
  up.rotate(pole, normalizeAngle(lambda));
  east.rotate(pole, normalizeAngle(lambda));
  up.rotate(east, normalizeAngle(-phi));
  return (ellipsoidRadius(phi) + height) * up;
}

double geocentricLatitude(const Vector3& point) { return kPi / 2 - point.component(3, Spherical); }

double heightAboveEllipsoid(Vector3 point) {
  return point.component(1, Spherical) - ellipsoidRadius(geocentricLatitude(point));
}

}  // namespace sightline
