// Two-body orbital elements, the Tisserand parameter and circular spreads.
#include <algorithm>
#include <cmath>

#include <erfa.h>
#include <erfam.h>

#include "orbit/constants.hpp"
#include "orbit/orbit.hpp"

namespace sightline {

namespace {

// Signed angle (radians, [0, 2 pi)) from `from` to `to` about the unit normal `axis`.
double angleAbout(const Vector3& from, const Vector3& to, const Vector3& axis) {
  return eraAnp(std::atan2(dot(cross(from, to), axis), dot(from, to)));
}

}  // namespace

KeplerElements elementsOf(const Vector3& r, const Vector3& v, double gm) {
  KeplerElements k;
  const double rLength = r.length();
  const double v2 = dot(v, v);
  const Vector3 h = cross(r, v);  // specific angular momentum, m^2/s
  const double hLength = h.length();
  const Vector3 normal = h / hLength;
  const Vector3 eccentricity = (1.0 / gm) * ((v2 - gm / rLength) * r - dot(r, v) * v);
  k.e = eccentricity.length();
  k.a = 1.0 / (2.0 / rLength - v2 / gm);
  k.q = hLength * hLength / (gm * (1.0 + k.e));
  k.i = std::acos(std::clamp(normal.z, -1.0, 1.0));

  // The ascending node lies along z x h; in a plane orbit take the x axis.
  Vector3 nodeLine{-h.y, h.x, 0.0};
  if (!(nodeLine.length() > 1e-12 * hLength)) nodeLine = Vector3{1.0, 0.0, 0.0};
  k.node = eraAnp(std::atan2(nodeLine.y, nodeLine.x));
  // In a circular orbit the pericentre is taken at the node.
  const Vector3 pericentre = k.e > 1e-12 ? eccentricity : nodeLine;
  k.omega = angleAbout(nodeLine, pericentre, normal);
  k.trueAnomaly = angleAbout(pericentre, r, normal);
  return k;
}

double meanAnomalyOf(double trueAnomaly, double e) {
  const double eccentric = 2.0 * std::atan(std::sqrt((1.0 - e) / (1.0 + e)) * std::tan(0.5 * trueAnomaly));
  return eraAnp(eccentric - e * std::sin(eccentric));
}

double tisserandJupiter(double a, double e, double i) {
  return kJupiterSemiMajorAxis / a + 2.0 * std::cos(i / ERFA_DR2D) * std::sqrt(a / kJupiterSemiMajorAxis * (1.0 - e * e));
}

double circularSigmaDegrees(const std::vector<double>& angles) {
  if (angles.size() < 2) return 0.0;
  double sumCos = 0.0, sumSin = 0.0;
  for (double angle : angles) {
    sumCos += std::cos(angle / ERFA_DR2D);
    sumSin += std::sin(angle / ERFA_DR2D);
  }
  const double n = static_cast<double>(angles.size());
  const double resultant = std::min(1.0, std::hypot(sumCos, sumSin) / n);
  return std::sqrt(std::max(0.0, -2.0 * std::log(resultant))) * ERFA_DR2D;
}

}  // namespace sightline
