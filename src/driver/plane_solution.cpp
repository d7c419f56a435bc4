#include <array>

#include "driver/solutions.hpp"
#include "earth/horizon.hpp"
#include "geometry/intersection.hpp"

namespace sightline {

namespace {
constexpr int kMaxPasses = 10;
constexpr double kSettled = 0.01;  // metres: smaller movements end the passes
}  // namespace

void solvePlaneIntersection(RunState& s) {
  std::array<Viewline, kSlots> lines;
  std::array<Viewplane, kViewPoints> planes;
  for (s.passes = 1; s.passes <= kMaxPasses; ++s.passes) {
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.useFlag[slot] == 0) continue;
      s.direction[slot] = horizonDirection(s.position[viewPointOf(slot)], s.azimuth[slot],
                                           s.workingElevation[slot]);
    }
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.useFlag[slot] != 0) lines[slot] = Viewline(s.position[viewPointOf(slot)], s.direction[slot]);
    }
    for (int v = 0; v < kViewPoints; ++v) {
      if (s.sightingCount[v] == 2) {
        planes[v] = Viewplane(s.position[v], s.direction[2 * v], s.direction[2 * v + 1]);
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
        const double moved = distance(s.currentPoint[slot], s.previousPoint[slot]);
        if (moved > movement) movement = moved;
      }
      if (movement < kSettled) return;
    }
    s.previousPoint = s.currentPoint;
    for (int slot = 0; slot < kSlots; ++slot) {
      if (s.planeFlag[slot]) updateRefraction(s, slot, s.currentPoint[slot]);
    }
  }
  s.passes = kMaxPasses;
}

}  // namespace sightline
