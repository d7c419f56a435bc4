// The two solution procedures and the report, working on the run state.
#pragma once

#include <cstdio>

#include "driver/run_state.hpp"

namespace sightline {

/// Three or more sightings: each sighting with a plane of sight opposite it is
/// intersected with that plane, in up to 10 passes until no point moves 0.01 m.
void solvePlaneIntersection(RunState& state);

/// Two sightings: midpoint of the closest approach of the two lines of sight, 5 passes.
void solveSkewLines(RunState& state);

/// Replaces the working elevation of `slot` by the one the ray trace gives for
/// the point `point` found for it (refraction modes 0 and 1).
void updateRefraction(RunState& state, int slot, const Vector3& point);

/// "h=... km  lon=...  lat=..." for one point (metres, Earth-centred).
void printPoint(std::FILE* out, const Vector3& point);
/// Azimuth and inclination of the vector from p1 to p2, seen at p2.
void printFlightVector(std::FILE* out, const Vector3& p1, const Vector3& p2);
/// The report for the number of sightings; true when it printed results.
bool printReport(const RunState& state);

}  // namespace sightline
