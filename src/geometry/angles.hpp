// Angle constants and conversions shared by the whole tool.
#pragma once

namespace sightline {

/// pi as the double used for every degree/radian conversion.
inline constexpr double kPi = 3.141592653589793;
/// A whole turn, 2*pi, as used by normalizeAngle (radians).
inline constexpr double kTwoPi = 6.283185307179586;
/// Stand-in for an exact zero ordinate in atan2, and the shortest rotation axis.
inline constexpr double kTiny = 1e-100;

/// Degrees to radians, evaluated left to right as x * pi / 180.
inline double degToRad(double degrees) { return degrees * kPi / 180; }
/// Radians to degrees, evaluated left to right as x * 180 / pi.
inline double radToDeg(double radians) { return radians * 180 / kPi; }

/// Reduces an angle (radians) by whole turns toward [0, 2*pi): the quotient by
/// 2*pi is truncated toward zero on the double (defined for any finite angle),
/// and one turn is added when the remainder is negative.
double normalizeAngle(double angle);

}  // namespace sightline
