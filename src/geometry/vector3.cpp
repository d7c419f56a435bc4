#include "geometry/vector3.hpp"

#include <cmath>

#include "geometry/angles.hpp"

namespace sightline {

double normalizeAngle(double angle) {
  const double turns = std::trunc(angle * (1.0 / kTwoPi));
  double reduced = angle - turns * kTwoPi;
  if (reduced < 0) reduced += kTwoPi;
  return reduced;
}

Vector3::Vector3(double a, double b, double c, int system) {
  switch (system) {
    case Cartesian:
      x = a;
      y = b;
      z = c;
      break;
    case Cylindrical:
      x = a * std::cos(b);
      y = a * std::sin(b);
      z = c;
      break;
    case Spherical:
      x = std::cos(b) * (a * std::sin(c));
      y = std::sin(b) * (a * std::sin(c));
      z = a * std::cos(c);
      break;
    default:
      break;  // unknown system: stays the zero vector
  }
}

double Vector3::component(int index, int system) const {
  if (index < 1 || index > 3) return 0.0;
  if (system == Cartesian) return index == 1 ? x : index == 2 ? y : z;
  if (system != Cylindrical && system != Spherical) return 0.0;

  const double rho = std::sqrt(x * x + y * y);
  if (index == 2) {
    const double ordinate = y == 0 ? kTiny : y;
    return normalizeAngle(std::atan2(ordinate, x));
  }
  if (system == Cylindrical) return index == 1 ? rho : z;
  if (index == 1) return std::sqrt(rho * rho + z * z);
  const double ordinate = rho == 0 ? kTiny : rho;
  return normalizeAngle(std::atan2(ordinate, z));
}

double Vector3::length() const { return std::sqrt(dot(*this, *this)); }

Vector3 Vector3::rotate(Vector3 axis, double angle) {
  const double len = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  if (!(len >= kTiny)) return *this;
  const double nx = axis.x / len;
  const double ny = axis.y / len;
  const double nz = axis.z / len;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1 - c;
  const double r11 = c + nx * nx * t, r12 = nx * ny * t - nz * s, r13 = nx * nz * t + ny * s;
  const double r21 = ny * nx * t + nz * s, r22 = c + ny * ny * t, r23 = ny * nz * t - nx * s;
  const double r31 = nz * nx * t - ny * s, r32 = nz * ny * t + nx * s, r33 = c + nz * nz * t;
  const Vector3 old = *this;
  x = r11 * old.x + r12 * old.y + r13 * old.z;
  y = r21 * old.x + r22 * old.y + r23 * old.z;
  z = r31 * old.x + r32 * old.y + r33 * old.z;
  return *this;
}

Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 operator-(const Vector3& v) { return {-v.x, -v.y, -v.z}; }
Vector3 operator*(double s, const Vector3& v) { return {s * v.x, s * v.y, s * v.z}; }
Vector3 operator/(const Vector3& v, double s) { return {v.x / s, v.y / s, v.z / s}; }
bool operator==(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double angleBetween(const Vector3& a, const Vector3& b) {
  const double la = std::sqrt(dot(a, a));
  const double lb = std::sqrt(dot(b, b));
  if (la == 0 || lb == 0) return 0.0;
  double q = dot(a, b) / la / lb;
  // Rounding can carry the quotient of parallel vectors just past +-1.
  if (q > 1) {
    q = 1;
  } else if (q < -1) {
    q = -1;
  }
  return std::acos(q);
}

double distance(const Vector3& a, const Vector3& b) { return (b - a).component(1, Spherical); }

bool isFinite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace sightline
