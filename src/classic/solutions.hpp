// The two classic solution procedures, working on the run state.
#pragma once

#include "classic/run_state.hpp"

namespace sightline {

/// Three or more sightings: each sighting with a plane of sight opposite it is
/// intersected with that plane (currentPoint), in up to 10 passes until no point
/// moves by 0.01 m. A plane that cannot be met leaves the point at (0, 0, 0).
void solvePlaneIntersection(RunState& state);

/// Two sightings (the chosen slots): closest points of the two lines of sight
/// and their midpoint, 5 passes (1 without refraction). kParallelLines when a
/// pass cannot solve, with the points of the pass before; else kSolved.
ClassicStatus solveSkewLines(RunState& state);

/// Replaces the working elevation (degrees) of `slot` by the one the ray trace
/// gives for `point` (Earth-centred, metres), found for it in refraction modes 0 and 1.
void updateRefraction(RunState& state, int slot, const Vector3& point);

}  // namespace sightline
