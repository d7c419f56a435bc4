#include "darkflight/motion.hpp"

#include <cmath>

#include "darkflight/constants.hpp"
#include "darkflight/drag.hpp"
#include "earth/frames.hpp"

namespace sightline::darkflight {

double crossSection(const Body& body) { return body.shapeFactor * std::cbrt(std::pow(body.mass / body.density, 2.0)); }

Vector3 gravitation(const Vector3& r) {
  const double r2 = dot(r, r);
  const double rr = std::sqrt(r2);
  const double k = -kGM / (r2 * rr);
  const double j = 1.5 * kJ2 * kEquatorialRadius * kEquatorialRadius / r2;
  const double zz = r.z * r.z / r2;
  return Vector3(k * r.x * (1.0 + j * (1.0 - 5.0 * zz)), k * r.y * (1.0 + j * (1.0 - 5.0 * zz)),
                 k * r.z * (1.0 + j * (3.0 - 5.0 * zz)));
}

Vector3 dragAcceleration(const Body& body, const AirSample& air, const Vector3& relative) {
  if (body.shapeFactor == 0.0) return Vector3();
  const double speed = relative.length();
  const double cd = dragCoefficient(speed / air.soundSpeed, body.shapeFactor);
  return (-0.5 * air.density * cd * crossSection(body) * speed / body.mass) * relative;
}

double geoidAt(const Surroundings& s, double latitude, double longitude) {
  return s.geoid != nullptr ? s.geoid->at(latitude, longitude) : 0.0;
}

namespace {

const AirProfile& stillAir() {
  static const AirProfile kStillAir;
  return kStillAir;
}

/// The air at the ECEF point `r` (into `air`) and the wind there (m/s, ECEF).
Vector3 airAndWind(const Surroundings& s, const Vector3& r, AirSample& air) {
  LocalFrame frame;
  const GeodeticPosition p = toGeodetic(r, frame);
  const double heightMsl = p.height - geoidAt(s, p.latitude, p.longitude);
  air = (s.air != nullptr ? *s.air : stillAir()).at(heightMsl);
  return (air.windEast + s.windOffsetEast) * frame.east + (air.windNorth + s.windOffsetNorth) * frame.north;
}

}  // namespace

Vector3 windAt(const Surroundings& s, const Vector3& r) {
  AirSample air;
  return airAndWind(s, r, air);
}

void EarthFixedMotion::operator()(const State& x, State& dxdt, double) const {
  const Vector3 r(x[0], x[1], x[2]);
  const Vector3 v(x[3], x[4], x[5]);
  AirSample air;
  const Vector3 wind = airAndWind(surroundings_, r, air);
  const Vector3 omega(0.0, 0.0, kOmega);
  const Vector3 a = gravitation(r) - 2.0 * cross(omega, v) - cross(omega, cross(omega, r)) +
                    dragAcceleration(body_, air, v - wind);
  dxdt = {v.x, v.y, v.z, a.x, a.y, a.z};
}

}  // namespace sightline::darkflight
