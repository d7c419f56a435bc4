#include "classic/solutions.hpp"
#include "earth/horizon.hpp"
#include "geometry/closest_approach.hpp"

namespace sightline {

ClassicStatus solveSkewLines(RunState& s) {
  std::array<Vector3, kSlots> direction;
  for (s.passes = 1; s.passes <= kSkewPasses; ++s.passes) {
    for (int v = 0; v < kViewPoints; ++v) {
      const int slot = s.chosenSlot[v];
      direction[slot] = horizonDirection(s.position[v], s.azimuth[slot], s.workingElevation[slot]);
    }
    const Viewline first(s.position[0], direction[s.chosenSlot[0]]);
    const Viewline second(s.position[1], direction[s.chosenSlot[1]]);
    if (!closestApproach(first, second, s.closestPoint[0], s.closestPoint[1])) return ClassicStatus::kParallelLines;
    const Vector3& a = s.closestPoint[0];
    const Vector3& b = s.closestPoint[1];
    s.midpoint = Vector3((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5);
    if (s.refractionMode == kNoRefraction) return ClassicStatus::kSolved;
    for (int v = 0; v < kViewPoints; ++v) updateRefraction(s, s.chosenSlot[v], s.closestPoint[v]);
  }
  s.passes = kSkewPasses;
  return ClassicStatus::kSolved;
}

}  // namespace sightline
