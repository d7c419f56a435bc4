#include "geometry/closest_approach.hpp"

#include "geometry/least_squares.hpp"

namespace sightline {

int closestApproach(Viewline a, Viewline b, Vector3& pointA, Vector3& pointB) {
  LeastSquaresSystem system(2);
  const Vector3 gap = b.origin - a.origin;
  for (int k = 1; k <= 3; ++k) {
    const double coefficients[2] = {a.direction.component(k, Cartesian),
                                    -b.direction.component(k, Cartesian)};
    system.addEquation(coefficients, gap.component(k, Cartesian));
  }
  double tu[2] = {0.0, 0.0};
  if (!system.solve(tu)) return 0;
  pointA = a.pointAt(tu[0]);
  pointB = b.pointAt(tu[1]);
  return 1;
}

}  // namespace sightline
