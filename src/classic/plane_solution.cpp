#include <array>

#include "classic/solutions.hpp"
#include "earth/horizon.hpp"
#include "geometry/intersection.hpp"

namespace sightline {


void solvePlaneIntersection(RunState& s) {
  std::array<Vector3, kSlots> direction;
  std::array<Vector3, kSlots> previousPoint;
  std::array<Viewline, kSlots> lines;
  std::array<Viewplane, kViewPoints> planes;
  s.movement = {};
  for (s.passes = 1; s.passes <= kMaxPlanePasses; ++s.passes) {
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.useFlag[slot] == 0) continue;
      direction[slot] = horizonDirection(s.position[viewPointOf(slot)], s.azimuth[slot],
                                           s.workingElevation[slot]);
    }
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.useFlag[slot] != 0) lines[slot] = Viewline(s.position[viewPointOf(slot)], direction[slot]);
    }
    for (int v = 0; v < kViewPoints; ++v) {
      if (s.sightingCount[v] == 2) {
        planes[v] = Viewplane(s.position[v], direction[2 * v], direction[2 * v + 1]);
      }
    }
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.planeFlag[slot]) s.currentPoint[slot] = intersect(planes[otherViewPointOf(slot)], lines[slot]);
    }
    if (s.refractionMode == kNoRefraction) return;
    if (s.passes > 1) {
      double movement = 0.0;
      for (int slot = 0; slot < kSlots; ++slot) {
        if (!s.planeFlag[slot]) continue;
        const double moved = distance(s.currentPoint[slot], previousPoint[slot]);
        if (moved > movement) movement = moved;
      }
      s.movement[s.passes] = movement;
      if (movement < kSettledMovement) return;
    }
    previousPoint = s.currentPoint;
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.planeFlag[slot]) updateRefraction(s, slot, s.currentPoint[slot]);
    }
  }
  s.passes = kMaxPlanePasses;
}

}  // namespace sightline
