#include "classic/solutions.hpp"
#include "geometry/angles.hpp"

namespace sightline {

void updateRefraction(RunState& state, int slot, const Vector3& point) {
  const int v = viewPointOf(slot);
  // Angle at the Earth's centre between the ViewPoint and the point: how far the ray must sweep.
  const double target = angleBetween(state.position[v], point);
  const double zenith = state.rays[slot].trueZenith(state.shells[v], target);
  state.workingElevation[slot] = 90 - radToDeg(zenith);
}

}  // namespace sightline
