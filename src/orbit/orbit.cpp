// The chain from an Earth-fixed state to the geocentric radiant and the
// heliocentric orbit: GCRS state, zenith attraction, the Sun's frame, elements.
#include "orbit/orbit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <erfa.h>
#include <erfam.h>

#include "orbit/constants.hpp"

namespace sightline {

namespace {


std::string kilometresPerSecond(double speed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f km/s", speed / 1000.0);
  return text;
}

// Not-ok result with one warning.
OrbitResult refused(const char* code, std::string text) {
  OrbitResult result;
  result.warnings.push_back({code, std::move(text)});
  return result;
}

// The geocentric figures (speeds in m/s, radiants in degrees) of a GCRS state.
void fillGeocentric(Orbit& orbit, const InertialState& geocentric, const GeocentricVelocity& g) {
  orbit.vInf = geocentric.velocity.length();
  orbit.vGeocentric = g.speed;
  orbit.radiantApparent = equatorialOf(-geocentric.velocity);
  orbit.radiantGeocentric = equatorialOf(g.radiant);
  orbit.radiantEcliptic = eclipticOf(toEclipticJ2000(g.radiant));
  orbit.zenithAttraction = g.zenithAttraction * ERFA_DR2D;
}

// The heliocentric figures (AU, degrees, years) of a heliocentric ecliptic state (m, m/s).
void fillHeliocentric(Orbit& orbit, const Vector3& r, const Vector3& v) {
  const KeplerElements k = elementsOf(r, v, kSunGM);
  orbit.vHeliocentric = v.length();
  orbit.a = k.a / kAstronomicalUnit;
  orbit.e = k.e;
  orbit.i = k.i * ERFA_DR2D;
  orbit.omega = k.omega * ERFA_DR2D;
  orbit.node = k.node * ERFA_DR2D;
  orbit.q = k.q / kAstronomicalUnit;
  orbit.trueAnomaly = k.trueAnomaly * ERFA_DR2D;
  orbit.tisserand = tisserandJupiter(orbit.a, orbit.e, orbit.i);
  orbit.radiantHeliocentric = eclipticOf(-v);
  orbit.perihelionLongitude = eraAnp(k.node + k.omega) * ERFA_DR2D;
  // The perihelion's ecliptic latitude: sin b = sin omega sin i (spherical triangle node-perihelion).
  orbit.perihelionLatitude = std::asin(std::clamp(std::sin(k.omega) * std::sin(k.i), -1.0, 1.0)) * ERFA_DR2D;
  if (k.e < 1.0) {
    orbit.Q = orbit.a * (1.0 + orbit.e);
    // Kepler's third law: P = 2 pi sqrt(a^3 / GM), seconds, in Julian years; n = sqrt(GM / a^3) rad/s.
    orbit.period = ERFA_D2PI * std::sqrt(k.a * k.a * k.a / kSunGM) / (kDaysPerJulianYear * kSecondsPerDay);
    orbit.meanMotion = std::sqrt(kSunGM / (k.a * k.a * k.a)) * kSecondsPerDay * ERFA_DR2D;
    orbit.meanAnomaly = meanAnomalyOf(k.trueAnomaly, k.e) * ERFA_DR2D;
  }
}

// The Earth-fixed radiant of date, in the horizon of the point, and the local sidereal time.
void fillEarthFixed(Orbit& orbit, const OrbitState& state, const OrbitEpoch& epoch) {
  LocalFrame frame;
  const GeodeticPosition point = toGeodetic(state.position, frame);
  const Horizontal horizon = horizontalOf(frame, -(1.0 / state.velocity.length()) * state.velocity);
  orbit.radiantAzimuth = horizon.azimuth;
  orbit.radiantElevation = horizon.elevation;
  // Without polar motion, the true equator and equinox of date is the ECEF frame turned back
  // about its z axis by the Greenwich apparent sidereal time.
  const EquatorialDirection earthFixed = equatorialOf(-state.velocity);
  orbit.radiantOfDate = {eraAnp((earthFixed.ra * ERFA_DD2R) + epoch.siderealTime) * ERFA_DR2D, earthFixed.dec};
  orbit.siderealTime = eraAnp(epoch.siderealTime + point.longitude * ERFA_DD2R) * ERFA_DR2D;
}

// Coded caveats of a computed orbit.
void addCaveats(OrbitResult& result, const Orbit& orbit) {
  if (orbit.e >= 1.0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "hyperbolic orbit (e = %.4f): not bound to the Sun; no aphelion distance or period", orbit.e);
    result.warnings.push_back({"hyperbolic-orbit", text});
  }
  if (orbit.vGeocentric > kFastestBoundGeocentricSpeed) {
    result.warnings.push_back({"faster-than-73-km-s", "geocentric speed " + kilometresPerSecond(orbit.vGeocentric) +
                                                          " exceeds the 73 km/s of any meteoroid bound to the Sun"});
  }
}

}  // namespace

OrbitState stateFromRadiant(double time, const GeodeticPosition& point, double azimuth, double elevation,
                            double speed) {
  const Vector3 cameFrom = directionFromHorizontal(localFrame(point), azimuth, elevation);
  return {time, toEcef(point), -speed * cameFrom};
}

std::optional<OrbitEpoch> orbitEpochOf(double time) {
  if (!std::isfinite(time)) return std::nullopt;
  const std::optional<JulianDates> dates = julianDatesOf(time);
  if (!dates) return std::nullopt;
  OrbitEpoch epoch;
  epoch.time = time;
  epoch.dates = *dates;
  epoch.matrix = terrestrialMatrixOf(*dates);
  epoch.earth = earthHeliocentric(*dates);
  epoch.siderealTime = eraGst06a(dates->utc1, dates->utc2, dates->tt1, dates->tt2);
  return epoch;
}

OrbitResult computeOrbit(const OrbitState& state) {
  if (!std::isfinite(state.time)) return computeOrbit(state, OrbitEpoch{});
  const std::optional<OrbitEpoch> epoch = orbitEpochOf(state.time);
  if (!epoch) return refused("time-out-of-range", "the time is outside the calendar ERFA can date");
  return computeOrbit(state, *epoch);
}

OrbitResult computeOrbit(const OrbitState& state, const OrbitEpoch& epoch) {
  if (!std::isfinite(state.time) || !isFinite(state.position) || !isFinite(state.velocity) ||
      !(state.position.length() > 0.0)) {
    return refused("invalid-state", "expected a finite time, an ECEF position away from the Earth's centre "
                                    "and a finite velocity");
  }
  const InertialState geocentric = celestialStateOf(state.position, state.velocity, epoch.matrix);
  const std::optional<GeocentricVelocity> g = removeEarthAttraction(geocentric.position, geocentric.velocity);
  if (!g) {
    const double escape = std::sqrt(2.0 * kEarthGM / geocentric.position.length());
    return refused("below-escape-speed", "inertial speed " + kilometresPerSecond(geocentric.velocity.length()) +
                                             " is below the escape speed " + kilometresPerSecond(escape) +
                                             " at this point: no geocentric speed, no orbit");
  }

  Orbit orbit;
  orbit.vInit = state.velocity.length();
  fillGeocentric(orbit, geocentric, *g);
  fillEarthFixed(orbit, state, epoch);

  // Around the Sun: the Earth's state plus the meteoroid's own geocentric one.
  const InertialState& earth = epoch.earth;
  const Vector3 r = toEclipticJ2000(earth.position + geocentric.position);
  const Vector3 v = toEclipticJ2000(earth.velocity - g->speed * g->radiant);
  fillHeliocentric(orbit, r, v);
  orbit.solarLongitude = eclipticOf(toEclipticJ2000(-earth.position)).longitude;

  OrbitResult result;
  result.ok = true;
  addCaveats(result, orbit);
  result.orbit = orbit;
  return result;
}

}  // namespace sightline
