// Vector3: a point or direction in three dimensions, with cylindrical and
// spherical views of its components.
#pragma once

namespace sightline {

/// Selects the meaning of the three components (numbered 1 to 3).
enum CoordSystem : int {
  Cartesian = 0,    ///< x, y, z
  Cylindrical = 1,  ///< rho (distance from the z axis), phi (angle about z from +x toward +y), z
  Spherical = 2,    ///< r (distance from the origin), phi, theta (angle from +z)
};

/// Three Cartesian doubles; any unit (metres throughout the tool), angles in radians.
struct Vector3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  /// The zero vector.
  Vector3() = default;
  /// The vector whose components in `system` are a, b, c. Spherical takes
  /// (r, phi, theta): the angle about z second, the angle from +z third.
  /// An unknown system gives the zero vector.
  Vector3(double a, double b, double c, int system = Cartesian);

  /// Component `index` (1..3) in `system`; 0.0 for an index or system out of range.
  /// Angles are in [0, 2*pi]; an exact zero ordinate is replaced by 1e-100.
  double component(int index, int system) const;

  /// sqrt(dot(v, v)).
  double length() const;

  /// Turns this vector in place, right-handed, by `angle` (radians) about `axis`
  /// (any length); an axis shorter than 1e-100 (or not a number) leaves it
  /// unchanged. Returns a copy of the new value.
  Vector3 rotate(Vector3 axis, double angle);
};

Vector3 operator+(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& a, const Vector3& b);
Vector3 operator-(const Vector3& v);
/// (s*x, s*y, s*z).
Vector3 operator*(double s, const Vector3& v);
/// (x/s, y/s, z/s); a zero divisor is not guarded.
Vector3 operator/(const Vector3& v, double s);
/// Exact comparison of all three components.
bool operator==(const Vector3& a, const Vector3& b);

/// a.x*b.x + a.y*b.y + a.z*b.z, summed in this order.
double dot(const Vector3& a, const Vector3& b);
/// Right-handed cross product a x b.
Vector3 cross(const Vector3& a, const Vector3& b);
/// Angle between two vectors, radians in [0, pi]; 0 when either has length 0.
double angleBetween(const Vector3& a, const Vector3& b);
/// Euclidean distance between two points: the spherical radius of b - a.
double distance(const Vector3& a, const Vector3& b);
/// True when all three components are finite numbers.
bool isFinite(const Vector3& v);

}  // namespace sightline
