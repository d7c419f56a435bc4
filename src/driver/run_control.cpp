#include "driver/run_control.hpp"

#include <climits>

#include "driver/solutions.hpp"
#include "earth/ellipsoid.hpp"
#include "earth/refraction.hpp"
#include "geometry/angles.hpp"

namespace sightline {

namespace {

// Line numbers of the observation file.
constexpr int kPositionLine[kViewPoints] = {2, 10};  // longitude; latitude and height follow
constexpr int kAzimuthLine[kSlots] = {5, 7, 13, 15};  // elevation follows
constexpr int kRefractionModeLine = 17;
constexpr int kUseFlagLine = 18;  // slots 1..4 on lines 18..21

// A use flag: the value truncated toward zero, saturated at the int limits.
int toUseFlag(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);  // NaN cannot come from the file
}

// Counts, plane flags, positions, angles, refraction mode; false after a message.
bool setUp(RunState& s) {
  const auto& line = s.file.lineValue;
  s.sightings = 0;
  for (int slot = 0; slot < kSlots; ++slot) {
    s.useFlag[slot] = toUseFlag(line[kUseFlagLine + slot]);
    s.sightings += s.useFlag[slot];
  }
  if (s.sightings < 2) {
    std::fprintf(s.out, "Too few observations\n");
    return false;
  }
  for (int v = 0; v < kViewPoints; ++v) {
    s.sightingCount[v] = static_cast<std::int64_t>(s.useFlag[2 * v]) + s.useFlag[2 * v + 1];
  }
  if (s.sightingCount[0] == 0 || s.sightingCount[1] == 0) {
    std::fprintf(s.out, "Each ViewPoint must have at least one observation\n");
    return false;
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    s.planeFlag[slot] = s.useFlag[slot] != 0 && s.sightingCount[otherViewPointOf(slot)] == 2 ? 1 : 0;
  }
  for (int v = 0; v < kViewPoints; ++v) {
    const int l = kPositionLine[v];
    s.position[v] = viewPointPosition(line[l], line[l + 1], line[l + 2]);
    const double height = heightAboveEllipsoid(s.position[v]);
    s.shells[v] = ShellProfile(height, ellipsoidRadius(geocentricLatitude(s.position[v])));
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    s.azimuth[slot] = line[kAzimuthLine[slot]];
    s.workingElevation[slot] = line[kAzimuthLine[slot] + 1];
  }
  const double mode = line[kRefractionModeLine];
  s.refractionMode = mode == 1.0 ? kTraced : mode == 2.0 ? kNoRefraction : kStandardThenTraced;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (s.useFlag[slot] == 0) continue;
    const double elevation = s.workingElevation[slot];
    const double correction = s.refractionMode == kStandardThenTraced ? standardRefraction(elevation) : 0.0;
    s.apparentElevation[slot] = elevation + correction;
    s.rays[slot] = TracedRay(degToRad(90 - s.apparentElevation[slot]));
  }
  return true;
}

}  // namespace

int runObservations(std::FILE* in, std::FILE* out, RunState& state) {
  state.out = out;
  loadObservationFile(in, state.file);
  if (!setUp(state)) return kExitMessage;
  if (state.sightings == 2) {
    state.chosenSlot[0] = state.useFlag[0] != 0 ? 0 : 1;
    state.chosenSlot[1] = state.useFlag[2] != 0 ? 2 : 3;
    solveSkewLines(state);
  } else {
    solvePlaneIntersection(state);
  }
  return printReport(state) ? kExitResults : kExitMessage;
}

int runClassicCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* /*err*/) {
  if (argc < 2) {
    std::fprintf(out, "No File specified\n");
    return kExitMessage;
  }
  // Binary mode: the loader itself drops carriage returns and stops at 0x1A.
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::fprintf(out, "Can't open %s\n", argv[1]);
    return kExitMessage;
  }
  RunState state;
  const int status = runObservations(in, out, state);
  std::fclose(in);
  return status;
}

}  // namespace sightline
