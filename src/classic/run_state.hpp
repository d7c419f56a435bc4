// What the classic solution works on: the sightings the file selects, the
// ViewPoints, and the points found.
//
// Slots 0..3 (slots 1..4 in the file's terms): slots 0 and 1 belong to
// ViewPoint 0, slots 2 and 3 to ViewPoint 1; the ViewPoint of slot s is s / 2
// and its other ViewPoint 1 - s / 2.
#pragma once

#include <array>
#include <cstdint>

#include "earth/ray_cache.hpp"
#include "geometry/vector3.hpp"

namespace sightline {

inline constexpr int kSlots = 4;
inline constexpr int kViewPoints = 2;
/// Passes of the plane-intersection solution at most.
inline constexpr int kMaxPlanePasses = 10;
/// Metres: when no point moved by this much in a pass, the plane-intersection solution has settled.
inline constexpr double kSettledMovement = 0.01;
/// Passes of the skew-line solution (one without refraction).
inline constexpr int kSkewPasses = 5;

/// 0: elevation + standard refraction, traced; 1: elevation as read, traced; 2: one pass, no trace.
enum RefractionMode : int { kStandardThenTraced = 0, kTraced = 1, kNoRefraction = 2 };

/// How a classic run ended; every status but kSolved has its own message.
enum class ClassicStatus {
  kSolved,                       ///< points found, the report follows
  kTooFewObservations,           ///< the use flags add up to less than 2
  kViewPointWithoutObservation,  ///< a ViewPoint's use flags add up to 0
  kParallelLines,                ///< two sightings whose lines of sight cannot be solved
  kTooManySightings,             ///< the use flags add up to more than 4
};

inline int viewPointOf(int slot) { return slot / 2; }
inline int otherViewPointOf(int slot) { return 1 - slot / 2; }

struct RunState {
  std::array<int, kSlots> useFlag{};
  std::int64_t sightings = 0;                             ///< sum of the use flags
  std::array<std::int64_t, kViewPoints> sightingCount{};  ///< per ViewPoint
  std::array<int, kSlots> planeFlag{};
  int refractionMode = kStandardThenTraced;
  std::array<int, kViewPoints> chosenSlot{};  ///< two-sighting runs only

  std::array<double, kSlots> azimuth{};            ///< degrees, from south through west
  std::array<double, kSlots> workingElevation{};   ///< degrees
  std::array<double, kSlots> apparentElevation{};  ///< degrees

  std::array<Vector3, kViewPoints> position;  ///< Earth-centred, metres

  /// Shells above each ViewPoint and the ray of each sighting, shared by all passes.
  std::array<ShellProfile, kViewPoints> shells;
  std::array<TracedRay, kSlots> rays;

  // Results (Earth-centred, metres).
  std::array<Vector3, kSlots> currentPoint;  ///< three or four sightings: per slot with a plane flag
  std::array<Vector3, 2> closestPoint;       ///< two sightings: on the lines of ViewPoint 0 and 1
  Vector3 midpoint;                          ///< two sightings: halfway between the closest points
  int passes = 0;                            ///< passes the solution ran
  /// Plane-intersection solution: largest movement of a point (metres) in pass 2, 3, ... (index = pass).
  std::array<double, kMaxPlanePasses + 1> movement{};
};

}  // namespace sightline
