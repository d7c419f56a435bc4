#include <cstdio>

#include "driver/solutions.hpp"
#include "earth/horizon.hpp"
#include "geometry/closest_approach.hpp"

namespace sightline {

namespace {
constexpr int kPasses = 5;
}  // namespace

void solveSkewLines(RunState& s) {
  s.success = 1;
  for (s.passes = 1; s.passes <= kPasses; ++s.passes) {
    for (int v = 0; v < kViewPoints; ++v) {
      const int slot = s.chosenSlot[v];
      s.direction[slot] = horizonDirection(s.position[v], s.azimuth[slot], s.workingElevation[slot]);
    }
    const Viewline first(s.position[0], s.direction[s.chosenSlot[0]]);
    const Viewline second(s.position[1], s.direction[s.chosenSlot[1]]);
    if (!closestApproach(first, second, s.closestPoint[0], s.closestPoint[1])) {
      std::fprintf(s.out, "Can't solve equation! Check input");
      s.success = 0;
      return;
    }
    const Vector3& a = s.closestPoint[0];
    const Vector3& b = s.closestPoint[1];
    s.midpoint = Vector3((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5);
    if (s.refractionMode == kNoRefraction) return;
    for (int v = 0; v < kViewPoints; ++v) updateRefraction(s, s.chosenSlot[v], s.closestPoint[v]);
  }
  s.passes = kPasses;
}

}  // namespace sightline
