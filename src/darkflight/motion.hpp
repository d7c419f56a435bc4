// The equations of motion of a stone in dark flight, in the Earth-fixed
// (ECEF, WGS84) frame: gravitation with J2, the Coriolis and centrifugal
// accelerations of the turning frame, and the drag of the air, which moves
// with the Earth plus the wind.
#pragma once

#include <array>

#include "darkflight/air_profile.hpp"
#include "darkflight/geoid_patch.hpp"
#include "geometry/vector3.hpp"

namespace sightline::darkflight {

/// Position (m) and velocity (m/s) in one Cartesian frame: x, y, z, vx, vy, vz.
using State = std::array<double, 6>;

/// The body: its mass, bulk density and shape.
struct Body {
  double mass = 1.0;          ///< kg
  double density = 3500.0;    ///< kg/m^3
  double shapeFactor = 1.21;  ///< A = S / V^(2/3); 0: no drag
};

/// Cross-section S = A (m / rho)^(2/3) of `body`, m^2.
double crossSection(const Body& body);

/// The Earth's gravitation (no centrifugal term) with J2, m/s^2, at `r`
/// (metres from the centre, z along the spin axis, any frame turning about it).
///
/// Notes: the point mass GM plus the J2 zonal term of a body symmetric about
/// z, so it is the same function of position in the Earth-fixed frame and in
/// an inertial frame sharing the z axis. GM = 3.986004418e14 m^3/s^2,
/// J2 = 1.08262982e-3, a = 6378137 m (WGS84). Reference: Vallado,
/// Fundamentals of Astrodynamics and Applications (4th ed., 2013), eq. 8-25.
Vector3 gravitation(const Vector3& r);

/// The drag acceleration -1/2 rho Cd S |v_rel| v_rel / m (m/s^2) of `body`
/// moving at `relative` (m/s, any frame) through `air`; Cd from the Mach
/// number |v_rel| / c (dragCoefficient()).
Vector3 dragAcceleration(const Body& body, const AirSample& air, const Vector3& relative);

/// Everything the fall depends on besides its start.
struct Surroundings {
  const AirProfile* air = nullptr;     ///< nullptr: the 1976 standard, still air
  const GeoidPatch* geoid = nullptr;   ///< nullptr: the geoid at 0 (heights above the ellipsoid = above sea level)
  double windOffsetEast = 0.0;         ///< m/s added to the wind's east component at every height
  double windOffsetNorth = 0.0;        ///< m/s added to its north component
};

/// Height of the geoid (metres above the ellipsoid) at a place, 0 without a patch.
double geoidAt(const Surroundings& s, double latitude, double longitude);

/// The right-hand side of the equations of motion in the Earth-fixed frame.
///
/// Notes: dv/dt = g(r) - 2 w x v - w x (w x r) + drag(v - wind), with
/// w = (0, 0, 7.292115e-5 rad/s). The wind at the body's height above mean
/// sea level (the geoid at the body's position) is (east, north) in the body's
/// local horizon; the air has no vertical motion.
class EarthFixedMotion {
 public:
  EarthFixedMotion(const Body& body, const Surroundings& surroundings) : body_(body), surroundings_(surroundings) {}
  /// d(state)/dt at time `t` (s; the motion does not depend on it).
  void operator()(const State& x, State& dxdt, double t) const;

 private:
  Body body_;
  Surroundings surroundings_;
};

/// The wind (m/s, ECEF, air relative to the ground) at the ECEF point `r`
/// (metres), with the offsets of `s`.
Vector3 windAt(const Surroundings& s, const Vector3& r);

}  // namespace sightline::darkflight
