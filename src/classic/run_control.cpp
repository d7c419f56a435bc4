#include "classic/run_control.hpp"

#include <climits>
#include <cstring>
#include <memory>

#include "classic/classic_warnings.hpp"
#include "classic/report.hpp"
#include "classic/solutions.hpp"
#include "earth/ellipsoid.hpp"
#include "earth/refraction.hpp"
#include "geometry/angles.hpp"

namespace sightline {

int toUseFlag(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);  // NaN cannot come from the file
}

ClassicStatus setUpRun(const ObservationFile& file, RunState& s) {
  const auto& line = file.lineValue;
  s.sightings = 0;
  for (int slot = 0; slot < kSlots; ++slot) {
    s.useFlag[slot] = toUseFlag(line[kUseFlagLine + slot]);
    s.sightings += s.useFlag[slot];
  }
  if (s.sightings < 2) return ClassicStatus::kTooFewObservations;
  for (int v = 0; v < kViewPoints; ++v) {
    s.sightingCount[v] = static_cast<std::int64_t>(s.useFlag[2 * v]) + s.useFlag[2 * v + 1];
  }
  if (s.sightingCount[0] == 0 || s.sightingCount[1] == 0) return ClassicStatus::kViewPointWithoutObservation;
  for (int slot = 0; slot < kSlots; ++slot) {
    s.planeFlag[slot] = s.useFlag[slot] != 0 && s.sightingCount[otherViewPointOf(slot)] == 2 ? 1 : 0;
  }
  for (int v = 0; v < kViewPoints; ++v) {
    const int l = kLongitudeLine[v];
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
  return ClassicStatus::kSolved;
}

ClassicStatus solveRun(RunState& state) {
  if (state.sightings == 2) {
    state.chosenSlot[0] = state.useFlag[0] != 0 ? 0 : 1;
    state.chosenSlot[1] = state.useFlag[2] != 0 ? 2 : 3;
    return solveSkewLines(state);
  }
  if (state.sightings > 4) return ClassicStatus::kTooManySightings;
  solvePlaneIntersection(state);
  return ClassicStatus::kSolved;
}

int runObservations(std::FILE* in, const char* fileName, std::FILE* out, std::FILE* err, RunState& state) {
  auto file = std::make_unique<ObservationFile>();
  loadObservationFile(in, *file);
  if (err != nullptr) printWarnings(err, fileName, checkObservationFile(*file));
  ClassicStatus status = setUpRun(*file, state);
  if (status == ClassicStatus::kSolved) status = solveRun(state);
  const int exitStatus = writeOutcome(out, *file, state, status);
  if (err != nullptr && status == ClassicStatus::kSolved) printWarnings(err, fileName, checkReportedPoints(state));
  return exitStatus;
}

int runObservations(std::FILE* in, std::FILE* out, RunState& state) {
  return runObservations(in, nullptr, out, nullptr, state);
}

int runClassicCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  // "sightline -- FILE" names a file that may start with '-'.
  const int fileArgument = argc >= 2 && std::strcmp(argv[1], "--") == 0 ? 2 : 1;
  if (argc <= fileArgument) {
    std::fprintf(out, "No File specified\n");
    return kExitMessage;
  }
  const char* path = argv[fileArgument];
  // Binary mode: the loader itself drops carriage returns and stops at 0x1A.
  std::FILE* in = std::fopen(path, "rb");
  if (in == nullptr) {
    std::fprintf(out, "Can't open %s\n", path);
    return kExitMessage;
  }
  auto state = std::make_unique<RunState>();
  const int status = runObservations(in, path, out, err, *state);
  std::fclose(in);
  return status;
}

}  // namespace sightline
