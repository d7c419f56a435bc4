// The solver's inner loop, for callers that solve the same event many times
// with changed angles (the Monte Carlo estimate): per-station quantities are
// prepared once, and one solve works on plain arrays without geodetic
// conversions. solve() is prepare() + solveCore() + the geodetic summary.
//
// Frames: ECEF (metres) as in solution.hpp; each station's east-north-up
// unit vectors in ECEF; angles in radians unless a name says degrees.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "earth/ray_cache.hpp"
#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// What does not change between solves of one station.
struct PreparedStation {
  Vector3 position;             ///< ECEF, metres
  Vector3 east, north, up;      ///< ECEF unit vectors of the local (geodetic) horizon frame
  double height = 0.0;          ///< metres above the ellipsoid
  double traceRadius = 0.0;     ///< metres: radius of the local sphere the ray trace uses (base of its shells)
  Vector3 traceCentre;          ///< ECEF metres: centre of that sphere (below the station along its normal)
};

/// One sighting, flattened, in input order.
struct PreparedSighting {
  std::size_t station = 0;      ///< index into PreparedEvent::stations
  std::size_t index = 0;        ///< index among the station's sightings
  double azimuth = 0.0;         ///< degrees from north through east, as given
  double elevation = 0.0;       ///< degrees, as given
  double sigma = 0.0;           ///< radians on the sky
  std::optional<double> time;   ///< seconds (UTC epoch)
  int label = -1;               ///< index into PreparedEvent::labels, -1 when none
  bool excluded = false;        ///< left out of the fit (a bad frame or a bad station); still gets its point and residual
};

struct PreparedEvent {
  Refraction refraction = Refraction::Corrected;
  std::vector<PreparedStation> stations;
  std::vector<PreparedSighting> sightings;
  std::vector<std::string> labels;                     ///< distinct labels in first-seen order
  std::vector<std::vector<std::size_t>> stationSightings;  ///< per station: indices into sightings
};

/// Converts the stations (GeographicLib) and flattens the sightings.
PreparedEvent prepare(const Event& event);

/// Gives the true zenith angle (radians, from the station's vertical) of the
/// place that a ray leaving station `station` at `apparentZenith` (radians)
/// reaches when it has swept `targetAngle` (radians) at the centre of the
/// station's trace sphere. `sighting` is the index into PreparedEvent::sightings.
class ZenithTracer {
 public:
  virtual ~ZenithTracer() = default;
  virtual double trueZenith(std::size_t sighting, double apparentZenith, double targetAngle) = 0;
};

/// Traces directly through the layered atmosphere (per-station shells, one kept ray per sighting).
class DirectTracer final : public ZenithTracer {
 public:
  explicit DirectTracer(const PreparedEvent& event);
  double trueZenith(std::size_t sighting, double apparentZenith, double targetAngle) override;

 private:
  const PreparedEvent* event_;
  std::vector<ShellProfile> shells_;
  std::vector<TracedRay> rays_;
  std::vector<double> rayZenith_;  // apparent zenith each kept ray was started at
};

/// Apparent zenith angle (radians) of a sighting with elevation `elevation`
/// (degrees, as given) under `refraction`: the standard formula's apparent
/// elevation for Corrected, the elevation itself otherwise.
double apparentZenith(Refraction refraction, double elevation);

/// Angle (radians) at the centre of station's trace sphere between the station and `point` (ECEF).
double traceTargetAngle(const PreparedStation& station, const Vector3& point);

/// Result of one inner solve (ECEF metres, radians).
struct CoreResult {
  SolveStatus status = SolveStatus::NoGeometry;
  bool hasLine = false;
  Vector3 linePoint;            ///< a point of the trajectory line
  Vector3 direction;            ///< unit, direction of flight
  Vector3 begin, end;           ///< extreme sighting points along the direction of flight
  std::optional<double> speed;  ///< m/s
  std::vector<bool> hasPoint;   ///< per sighting
  std::vector<Vector3> points;  ///< per sighting: nearest point of the line (or plane intersection)
  std::vector<double> range;    ///< per sighting, metres
  std::vector<double> residual; ///< per sighting, radians, signed
  std::vector<double> lineElevation;  ///< per sighting: elevation (degrees) of the line of sight used
  std::vector<Vector3> directions;    ///< per sighting: unit ECEF direction of the line of sight used
  std::vector<Vector3> normals;       ///< per station: unit normal of its plane of sight (zero when none)
  std::vector<Vector3> labelPoints;   ///< per label (PreparedEvent::labels); NaN when not triangulated
  std::vector<bool> labelSolved;
  int passes = 0;
};

/// One solve with the given angles (degrees, per sighting, in PreparedEvent
/// order). `tracer` is used unless the refraction is None. `start`, when
/// given, supplies the initial line and the initial line-of-sight
/// elevations (a warm start: a nearby solution of the same event).
CoreResult solveCore(const PreparedEvent& event, const std::vector<double>& azimuths,
                     const std::vector<double>& elevations, ZenithTracer* tracer, const CoreResult* start = nullptr);

/// solveCore() with the angles as given and the direct trace: the nominal solution.
CoreResult solveAsGiven(const PreparedEvent& event);

/// Radiant of a direction of flight at `at` (ECEF): azimuth (degrees from north
/// through east) and elevation (degrees) of the direction the fireball came from.
void radiantOf(const Vector3& direction, const Vector3& at, double& azimuth, double& elevation);

}  // namespace sightline
