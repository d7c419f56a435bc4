// A forward model of a fireball that flies under gravity above the turning
// Earth, seen by video cameras fixed to the Earth: exact sightings to test
// solve() against. Written apart from the solver: its own constants, its own
// Runge-Kutta integration of the whole displacement, its own rotation.
//
// In the frame of ECEF at the begin time held fixed in space (metres, s):
//   r(tau) = r_b + u*(s(tau) - s(0)) + d(tau), d'' = -GM r/|r|^3, d(0) = d'(0) = 0,
//   s(tau) - s(0) = vInf*tau - a1*(exp(a2*tau) - 1),
// tau seconds after the begin; the Earth-fixed place is Rz(-omega*tau) r(tau).
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "earth/frames.hpp"
#include "geometry/vector3.hpp"
#include "trajectory/event.hpp"

namespace sightline::forward {

/// Geocentric gravitational constant (m^3/s^2) and the Earth's rotation (rad/s).
inline constexpr double kGm = 3.986004418e14;
inline constexpr double kOmega = 7.292115e-5;

/// A camera: where it stands, its frame rate, the part of the flight it sees (s after the
/// begin) and its clock's offset (its times minus the true ones, s).
struct Camera {
  std::string name;
  GeodeticPosition position;
  double frameRate = 25.0;
  double from = 0.0, to = 1.0;  ///< fractions of the duration
  double clockOffset = 0.0;
};

/// The fireball: its begin point and time, the Earth-fixed speed and radiant there, its
/// deceleration and how long it flies.
struct Flight {
  GeodeticPosition begin;
  double beginTime = 1.7e9;        ///< s since 1970 UTC
  double speed = 20000.0;          ///< m/s, Earth-fixed, at the begin
  double radiantAzimuth = 0.0;     ///< degrees, where it comes from, in the begin point's horizon
  double radiantElevation = 45.0;  ///< degrees
  double a1 = 0.0, a2 = 0.0;       ///< m, 1/s
  double duration = 1.0;           ///< s
};

/// The state the flight's parameters give at the begin.
struct Start {
  Vector3 position;       ///< ECEF m
  Vector3 earthVelocity;  ///< m/s, Earth-fixed
  Vector3 u;              ///< unit, inertial direction of the straight part
  double vInf = 0.0;      ///< m/s, of the along-track model
};

inline Vector3 rotateZ(double angle, const Vector3& v) {
  return {std::cos(angle) * v.x - std::sin(angle) * v.y, std::sin(angle) * v.x + std::cos(angle) * v.y, v.z};
}

inline Start startOf(const Flight& f) {
  Start s;
  s.position = toEcef(f.begin);
  const LocalFrame frame = localFrame(f.begin);
  const Vector3 from = directionFromHorizontal(frame, f.radiantAzimuth, f.radiantElevation);
  s.earthVelocity = -f.speed * from;
  const Vector3 inertial = s.earthVelocity + Vector3(-kOmega * s.position.y, kOmega * s.position.x, 0.0);
  s.u = inertial / inertial.length();
  s.vInf = inertial.length() + f.a1 * f.a2;  // so that s'(0) is the inertial speed
  return s;
}

/// The Earth-fixed places (ECEF m) at the given times (s after the begin, ascending from 0).
inline std::vector<Vector3> earthFixedPlaces(const Flight& f, const std::vector<double>& times) {
  const Start s = startOf(f);
  auto along = [&](double tau) { return s.vInf * tau - f.a1 * std::expm1(f.a2 * tau); };
  auto accel = [&](double tau, const Vector3& d) {
    const Vector3 r = s.position + along(tau) * s.u + d;
    const double n = r.length();
    return (-kGm / (n * n * n)) * r;
  };
  std::vector<Vector3> places;
  Vector3 d, v;
  double now = 0.0;
  const double largest = 1e-3;
  for (const double target : times) {
    while (now < target) {
      const double h = std::min(largest, target - now);
      const Vector3 a1 = accel(now, d);
      // The Runge-Kutta-Nystrom form of the classical fourth-order method for d'' = a(t, d).
      const Vector3 a2 = accel(now + h / 2, d + (h / 2) * v + (h * h / 8) * a1);
      const Vector3 a3 = accel(now + h / 2, d + (h / 2) * v + (h * h / 8) * a2);
      const Vector3 a4 = accel(now + h, d + h * v + (h * h / 2) * a3);
      d = d + h * v + (h * h / 6) * (a1 + a2 + a3);
      v = v + (h / 6) * (a1 + 2.0 * a2 + 2.0 * a3 + a4);
      now += h;
    }
    places.push_back(rotateZ(-kOmega * target, s.position + along(target) * s.u + d));
  }
  return places;
}

/// True times (s after the begin) of a camera's frames.
inline std::vector<double> frameTimes(const Flight& f, const Camera& c) {
  std::vector<double> times;
  for (int k = 0;; ++k) {
    const double tau = c.from * f.duration + k / c.frameRate;
    if (tau > c.to * f.duration + 1e-9) break;
    times.push_back(tau);
  }
  return times;
}

/// Azimuth and elevation (degrees) of `point` from `station`.
inline void look(const GeodeticPosition& station, const Vector3& point, double& azimuth, double& elevation) {
  const Vector3 toward = point - toEcef(station);
  const Horizontal h = horizontalOf(localFrame(station), toward / toward.length());
  azimuth = h.azimuth;
  elevation = h.elevation;
}

/// The event the cameras record: exact angles, times on their own clocks, no refraction.
inline Event eventOf(const Flight& f, const std::vector<Camera>& cameras) {
  Event event;
  event.name = "forward-modelled fireball";
  event.refraction = Refraction::None;
  event.time = f.beginTime;
  for (const Camera& c : cameras) {
    Station station;
    station.name = c.name;
    station.position = c.position;
    const std::vector<double> times = frameTimes(f, c);
    const std::vector<Vector3> places = earthFixedPlaces(f, times);
    for (std::size_t k = 0; k < times.size(); ++k) {
      Sighting s;
      look(c.position, places[k], s.azimuth, s.elevation);
      s.time = f.beginTime + times[k] + c.clockOffset;
      station.sightings.push_back(s);
    }
    event.stations.push_back(station);
  }
  return event;
}

}  // namespace sightline::forward
