// The drag coefficient of a stone: a table in Mach number and shape factor.
#pragma once

namespace sightline::darkflight {

/// Shape factors A = S / V^(2/3) (dimensionless) of the three tabulated shapes.
constexpr double kSphereShapeFactor = 1.21;
constexpr double kCylinderShapeFactor = 1.6;
constexpr double kBrickShapeFactor = 2.7;

/// Drag coefficient Cd (dimensionless) of a body of shape factor `shapeFactor`
/// at Mach number `mach`.
///
/// Given:   mach         speed relative to the air over the speed of sound (>= 0)
///          shapeFactor  A = S / V^(2/3), 1.21 sphere, 1.6 cylinder, 2.7 brick
/// Returned: Cd, from continuum values at a Reynolds number of about 1e6 (the
///          sphere after Miller & Bailey 1979, J. Fluid Mech. / ballistics data)
/// Notes:   linear in Mach between the tabulated Mach numbers 0.3 ... 5 and
///          constant beyond them; linear in A between the three rows and
///          constant outside 1.21 ... 2.7.
double dragCoefficient(double mach, double shapeFactor);

}  // namespace sightline::darkflight
