#include "geometry/intersection.hpp"

#include "geometry/matrix3.hpp"

namespace sightline {

Vector3 intersect(const Viewplane& plane, Viewline line) {
  // Solve t*d - u*direction1 - w*direction2 = plane.origin - line.origin for t.
  const Vector3 d = line.pointAt(1) - line.pointAt(0);
  Matrix3 system(d, -plane.direction1, -plane.direction2);
  const Vector3 rhs = plane.origin - line.pointAt(0);
  if (system.determinant() == 0) return Vector3();
  system.invert();
  const Vector3 solution = system * rhs;
  return line.pointAt(solution.component(1, Cartesian));
}

}  // namespace sightline
