// The trajectory line minimises the sum of squared angular residuals in sigmas:
// checked on noisy events by moving the line a little every way, with the
// residuals measured through the geometry library's closest approach.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/angles.hpp"
#include "geometry/closest_approach.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

// Sum over sightings of (angle at the station between the line of sight and the
// nearest point of the line (p, u)) / sigma, squared.
double cost(const PreparedEvent& event, const Vector3& p, const Vector3& u) {
  double sum = 0;
  for (const PreparedSighting& s : event.sightings) {
    const PreparedStation& st = event.stations[s.station];
    const double az = degToRad(s.azimuth), el = degToRad(s.elevation);
    const Vector3 d = (std::cos(el) * std::sin(az)) * st.east + (std::cos(el) * std::cos(az)) * st.north +
                      std::sin(el) * st.up;
    Vector3 onSight, onLine;
    if (!closestApproach(Viewline(st.position, d), Viewline(p, u), onSight, onLine)) return INFINITY;
    const double angle = angleBetween(d, onLine - st.position);
    const double folded = std::min(angle, kPi - angle);
    sum += (folded / s.sigma) * (folded / s.sigma);
  }
  return sum;
}

TEST(LeastSquaresLine, NoSmallMoveOfTheLineLowersTheCost) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> jitter(-0.4, 0.4);
  std::normal_distribution<double> noise(0.0, 0.05);
  const KnownTrajectory path{{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 21000};
  for (int trial = 0; trial < 10; ++trial) {
    std::vector<KnownStation> stations{{"A", {47.80 + jitter(random), 11.20 + jitter(random), 620}, 4},
                                       {"B", {48.40 + jitter(random), 12.10 + jitter(random), 450}, 3},
                                       {"C", {47.20 + jitter(random), 11.70 + jitter(random), 1200}, 5}};
    Event event = knownEvent(path, stations);
    for (Station& s : event.stations)
      for (Sighting& k : s.sightings) {
        k.azimuth += noise(random) / std::cos(degToRad(k.elevation));
        k.elevation += noise(random);
      }
    event.stations[2].sigma = 0.1;  // weights differ between stations
    const Solution solution = solve(event);
    ASSERT_EQ(solution.status, SolveStatus::Trajectory);
    const PreparedEvent prepared = prepare(event);
    const Vector3 p = solution.trajectory->begin.ecef;
    const Vector3 u = solution.trajectory->direction;
    const double best = cost(prepared, p, u);
    ASSERT_GT(best, 0.1) << "the noise should leave residuals";
    const Vector3 e1 = cross(u, Vector3(0, 0, 1)) / cross(u, Vector3(0, 0, 1)).length();
    const Vector3 e2 = cross(u, e1);
    for (const Vector3& axis : {e1, e2, (e1 + e2) / std::sqrt(2.0)}) {
      for (double sign : {-1.0, 1.0}) {
        EXPECT_GE(cost(prepared, p + (sign * 5.0) * axis, u), best * (1 - 1e-9)) << "trial " << trial;
        const Vector3 turned = u + (sign * 2e-5) * axis;
        EXPECT_GE(cost(prepared, p, turned / turned.length()), best * (1 - 1e-9)) << "trial " << trial;
      }
    }
  }
}

}  // namespace
}  // namespace sightline
