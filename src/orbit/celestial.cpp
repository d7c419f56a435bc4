// Time scales, Earth orientation, the Earth's ephemeris and the J2000 ecliptic,
// all through ERFA; and the removal of the Earth's attraction.
#include <algorithm>
#include <cmath>

#include <erfa.h>
#include <erfam.h>

#include "orbit/constants.hpp"
#include "orbit/orbit.hpp"

namespace sightline {

namespace {

constexpr double kUnixEpochJd = 2440587.5;  // Julian date of 1970-01-01T00:00:00Z, days

Vector3 fromArray(const double p[3]) { return {p[0], p[1], p[2]}; }

void toArray(const Vector3& v, double p[3]) {
  p[0] = v.x;
  p[1] = v.y;
  p[2] = v.z;
}

// Unit vector of `v` (unchanged when it has length 0).
Vector3 unit(const Vector3& v) {
  const double length = v.length();
  return length > 0.0 ? v / length : v;
}

}  // namespace

std::optional<JulianDates> julianDatesOf(double time) {
  if (!std::isfinite(time)) return std::nullopt;
  // Seconds since 1970 without leap seconds: every day has 86400 of them.
  const double day = std::floor(time / kSecondsPerDay);
  const double secondOfDay = time - day * kSecondsPerDay;
  int year = 0, month = 0, dayOfMonth = 0;
  double fraction = 0.0;
  if (eraJd2cal(kUnixEpochJd, day, &year, &month, &dayOfMonth, &fraction) != 0) return std::nullopt;
  const int hour = static_cast<int>(secondOfDay / 3600.0);
  const int minute = static_cast<int>((secondOfDay - 3600.0 * hour) / 60.0);
  const double second = secondOfDay - 3600.0 * hour - 60.0 * minute;

  JulianDates dates;
  const int dated = eraDtf2d("UTC", year, month, dayOfMonth, hour, minute, second, &dates.utc1, &dates.utc2);
  if (dated < 0) return std::nullopt;
  double tai1 = 0.0, tai2 = 0.0;
  const int converted = eraUtctai(dates.utc1, dates.utc2, &tai1, &tai2);
  if (converted < 0) return std::nullopt;
  eraTaitt(tai1, tai2, &dates.tt1, &dates.tt2);
  dates.dubious = dated == 1 || dated == 3 || converted == 1;
  return dates;
}

TerrestrialMatrix terrestrialMatrixOf(const JulianDates& dates) {
  TerrestrialMatrix m;
  eraC2t06a(dates.tt1, dates.tt2, dates.utc1, dates.utc2, 0.0, 0.0, m.c2t);
  return m;
}

InertialState celestialStateOf(const Vector3& position, const Vector3& velocity, const JulianDates& dates) {
  return celestialStateOf(position, velocity, terrestrialMatrixOf(dates));
}

InertialState celestialStateOf(const Vector3& position, const Vector3& velocity, const TerrestrialMatrix& matrix) {
  double c2t[3][3];
  std::copy(&matrix.c2t[0][0], &matrix.c2t[0][0] + 9, &c2t[0][0]);  // ERFA takes non-const arrays
  // The ground under the meteor moves with w x r in the inertial frame.
  const Vector3 rotation{0.0, 0.0, kEarthRotationRate};
  const Vector3 inertialVelocity = velocity + cross(rotation, position);
  double p[3], v[3], pOut[3], vOut[3];
  toArray(position, p);
  toArray(inertialVelocity, v);
  eraTrxp(c2t, p, pOut);  // transpose: terrestrial to celestial
  eraTrxp(c2t, v, vOut);
  return {fromArray(pOut), fromArray(vOut)};
}

std::optional<GeocentricVelocity> removeEarthAttraction(const Vector3& position, const Vector3& velocity) {
  const double r = position.length();
  const double vInf = velocity.length();
  const double vG2 = vInf * vInf - 2.0 * kEarthGM / r;
  if (!(vG2 >= 0.0) || !(vInf > 0.0)) return std::nullopt;
  GeocentricVelocity g;
  g.speed = std::sqrt(vG2);
  const Vector3 apparent = -(1.0 / vInf) * velocity;
  const Vector3 zenith = unit(position);
  const double zc = angleBetween(apparent, zenith);
  g.zenithAttraction = 2.0 * std::atan((vInf - g.speed) / (vInf + g.speed) * std::tan(0.5 * zc));
  // Turning about zenith x radiant by a positive angle moves the radiant away
  // from the zenith; a radiant at the zenith (no axis) does not move.
  Vector3 radiant = apparent;
  radiant.rotate(cross(zenith, apparent), g.zenithAttraction);
  g.radiant = radiant;
  return g;
}

InertialState earthHeliocentric(const JulianDates& dates) {
  double heliocentric[2][3], barycentric[2][3];
  eraEpv00(dates.tt1, dates.tt2, heliocentric, barycentric);  // AU and AU/day; status 1 only past 1900-2100
  const double metresPerSecond = kAstronomicalUnit / kSecondsPerDay;
  return {kAstronomicalUnit * fromArray(heliocentric[0]), metresPerSecond * fromArray(heliocentric[1])};
}

Vector3 toEclipticJ2000(const Vector3& gcrs) {
  double rm[3][3], p[3], out[3];
  eraEcm06(ERFA_DJ00, 0.0, rm);
  toArray(gcrs, p);
  eraRxp(rm, p, out);
  return fromArray(out);
}

EquatorialDirection equatorialOf(const Vector3& direction) {
  double p[3], theta = 0.0, phi = 0.0;
  toArray(direction, p);
  eraC2s(p, &theta, &phi);
  return {eraAnp(theta) * ERFA_DR2D, phi * ERFA_DR2D};
}

EclipticDirection eclipticOf(const Vector3& direction) {
  const EquatorialDirection spherical = equatorialOf(direction);
  return {spherical.ra, spherical.dec};
}

}  // namespace sightline
