// Everything one run knows, from the loaded file to the points found.
//
// Slots 0..3 (slots 1..4 in the file's terms): slots 0 and 1 belong to
// ViewPoint 0, slots 2 and 3 to ViewPoint 1; the ViewPoint of slot s is s / 2
// and its other ViewPoint 1 - s / 2.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "driver/observation_file.hpp"
#include "earth/ray_cache.hpp"
#include "geometry/vector3.hpp"

namespace sightline {

inline constexpr int kSlots = 4;
inline constexpr int kViewPoints = 2;

/// 0: elevation + standard refraction, traced; 1: elevation as read, traced; 2: one pass, no trace.
enum RefractionMode : int { kStandardThenTraced = 0, kTraced = 1, kNoRefraction = 2 };

inline int viewPointOf(int slot) { return slot / 2; }
inline int otherViewPointOf(int slot) { return 1 - slot / 2; }

struct RunState {
  std::FILE* out = nullptr;  ///< where the report and messages go
  ObservationFile file;

  std::array<int, kSlots> useFlag{};
  std::int64_t sightings = 0;                         ///< sum of the use flags
  std::array<std::int64_t, kViewPoints> sightingCount{};  ///< per ViewPoint
  std::array<int, kSlots> planeFlag{};
  int refractionMode = kStandardThenTraced;
  std::array<int, kViewPoints> chosenSlot{};  ///< two-sighting runs only
  int success = 0;                            ///< two-sighting solution solved every pass

  std::array<double, kSlots> azimuth{};           ///< degrees, from south through west
  std::array<double, kSlots> workingElevation{};  ///< degrees
  std::array<double, kSlots> apparentElevation{};  ///< degrees

  std::array<Vector3, kViewPoints> position;  ///< Earth-centred, metres
  std::array<Vector3, kSlots> direction;
  std::array<Vector3, kSlots> currentPoint;
  std::array<Vector3, kSlots> previousPoint;
  std::array<Vector3, 2> closestPoint;
  Vector3 midpoint;

  /// Shells above each ViewPoint and the ray of each sighting, shared by all passes.
  std::array<ShellProfile, kViewPoints> shells;
  std::array<TracedRay, kSlots> rays;

  int passes = 0;  ///< passes the solution ran
};

}  // namespace sightline
