// The classic report and messages: what a run prints on its output.
#pragma once

#include <cstdio>

#include "classic/observation_file.hpp"
#include "classic/run_state.hpp"

namespace sightline {

/// "h=... km  lon=...  lat=..." for one point (Earth-centred, metres): height above
/// the ellipsoid in km, longitude in degrees east 0..360, geocentric latitude in degrees.
void printPoint(std::FILE* out, const Vector3& point);
/// Azimuth (degrees from south through west) and inclination (degrees, positive
/// downward) of the vector from p1 to p2 (Earth-centred, metres), seen at p2.
void printFlightVector(std::FILE* out, const Vector3& p1, const Vector3& p2);

/// The report of a solved run with 2, 3 or 4 sightings; names from `file`.
void writeReport(std::FILE* out, const ObservationFile& file, const RunState& state);

/// The message a run prints for `status`, exactly (some without a line end); "" for kSolved.
const char* classicMessage(ClassicStatus status);

/// Writes the report for kSolved, the message otherwise; returns the exit status.
int writeOutcome(std::FILE* out, const ObservationFile& file, const RunState& state, ClassicStatus status);

}  // namespace sightline
