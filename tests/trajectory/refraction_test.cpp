// solve() with traced refraction, against sightings made by tracing forward
// through the same layered atmosphere: the apparent elevation whose ray reaches
// the known point.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>

#include "earth/refraction.hpp"
#include "geometry/angles.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

// Apparent zenith angle (radians) of the ray from `station` that reaches `point` (ECEF).
double apparentZenithReaching(const PreparedStation& station, const Vector3& point) {
  const double target = traceTargetAngle(station, point);
  const Vector3 v = point - station.position;
  const double geometric = std::acos(dot(v, station.up) / v.length());
  double lo = geometric - degToRad(1.0), hi = geometric;  // refraction lifts: apparent zenith is smaller
  for (int k = 0; k < 64; ++k) {
    const double mid = 0.5 * (lo + hi);
    if (traceRefraction(mid, station.height, station.traceRadius, target) < geometric) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

// The elevation (degrees) that, with the standard formula added, gives `apparent` (degrees).
double correctedFor(double apparent) {
  double e = apparent;
  for (int k = 0; k < 100; ++k) e = apparent - standardRefraction(e);
  return e;
}

struct Case {
  std::string name;
  Refraction refraction;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class TracedRefraction : public ::testing::TestWithParam<Case> {};

TEST_P(TracedRefraction, RecoversTheKnownPoints) {
  const KnownTrajectory known{{47.9, 11.5, 95000}, {47.6, 11.9, 25000}, 1.79e9, 21000};
  // Low stations far away see the path at low elevations, where refraction is large.
  Event event = knownEvent(known, {{"Far", {46.2, 9.0, 400}, 3}, {"Near", {48.40, 12.10, 450}, 3},
                                   {"Low", {49.3, 13.9, 300}, 2}});
  const PreparedEvent prepared = prepare(event);
  std::size_t i = 0;
  double largest = 0;
  for (Station& station : event.stations) {
    for (Sighting& s : station.sightings) {
      const Vector3 truth = pointAlong(known, [&] {
        const int count = static_cast<int>(station.sightings.size());
        const int k = static_cast<int>(&s - station.sightings.data());
        return count == 1 ? 0.5 : static_cast<double>(k) / (count - 1);
      }());
      const double apparent = 90 - radToDeg(apparentZenithReaching(prepared.stations[prepared.sightings[i].station], truth));
      largest = std::max(largest, apparent - s.elevation);
      s.elevation = GetParam().refraction == Refraction::Apparent ? apparent : correctedFor(apparent);
      ++i;
    }
  }
  ASSERT_GT(largest * 3600, 60.0) << "the scene should bend the rays by more than an arcminute";
  event.refraction = GetParam().refraction;
  const Solution solution = solve(event);
  ASSERT_EQ(solution.status, SolveStatus::Trajectory);
  EXPECT_GT(solution.passes, 1);
  EXPECT_LT(solution.passes, 10);
  i = 0;
  for (const Station& station : event.stations) {
    const int count = static_cast<int>(station.sightings.size());
    for (int k = 0; k < count; ++k, ++i) {
      const Vector3 truth = pointAlong(known, count == 1 ? 0.5 : static_cast<double>(k) / (count - 1));
      EXPECT_LT(distance(solution.sightings[i].point.ecef, truth), 0.01) << station.name << " " << k;
    }
  }
  // Without allowing for refraction, the same sightings miss by far more.
  event.refraction = Refraction::None;
  const Solution straight = solve(event);
  ASSERT_TRUE(straight.trajectory);
  EXPECT_GT(distance(straight.trajectory->end.ecef, solution.trajectory->end.ecef), 10.0);
}

INSTANTIATE_TEST_SUITE_P(Modes, TracedRefraction,
                         ::testing::Values(Case{"Apparent", Refraction::Apparent}, Case{"Corrected", Refraction::Corrected}),
                         [](const auto& info) { return info.param.name; });

TEST(TracedRefraction, ReportsTheChangeMadeToEachElevation) {
  const KnownTrajectory known{{47.9, 11.5, 95000}, {47.6, 11.9, 25000}, 1.79e9, 21000};
  Event event = knownEvent(known, {{"Far", {46.2, 9.0, 400}, 2}, {"Near", {48.40, 12.10, 450}, 2}});
  event.refraction = Refraction::Apparent;
  const Solution solution = solve(event);
  for (const SightingResult& r : solution.sightings) {
    // Apparent elevations are lowered to the true direction: by arcseconds to arcminutes.
    EXPECT_LT(r.refraction, -1.0);
    EXPECT_GT(r.refraction, -600.0);
  }
}

}  // namespace
}  // namespace sightline
