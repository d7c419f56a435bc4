// The geocentric radiant and the heliocentric orbit of a meteoroid, from one
// point of its flight, its time and its Earth-fixed velocity there.
//
// Frames: ECEF is WGS84 Earth-fixed (earth/frames.hpp), metres and m/s. GCRS
// is the geocentric celestial frame (J2000 mean equator and equinox, IAU 2006/
// 2000A); right ascension and declination are in it. The ecliptic is the mean
// ecliptic and equinox of J2000 (obliquity 84381.406 arcsec). Heliocentric
// vectors share the GCRS axes (BCRS orientation). Angles in degrees unless a
// name says radians; times in seconds since 1970-01-01T00:00:00Z (UTC, no leap
// seconds, as in trajectory/time.hpp).
//
// All astronomy (time scales, Earth orientation, the Earth's ephemeris, the
// ecliptic) is ERFA's; the two-body mechanics (zenith attraction, orbital
// elements) are the textbook formulas cited at each routine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "earth/frames.hpp"
#include "geometry/vector3.hpp"

namespace sightline {

/// One point of a meteor's flight: where, when, and how fast in which direction.
struct OrbitState {
  double time = 0.0;  ///< seconds since 1970-01-01T00:00:00Z, UTC without leap seconds
  Vector3 position;   ///< ECEF, metres
  Vector3 velocity;   ///< ECEF, m/s, Earth-fixed, in the direction of flight
};

/// A direction on the sky in the GCRS (J2000 equator and equinox).
struct EquatorialDirection {
  double ra = 0.0;   ///< right ascension, degrees in [0, 360)
  double dec = 0.0;  ///< declination, degrees in [-90, 90]
};

/// A direction in the mean ecliptic and equinox of J2000.
struct EclipticDirection {
  double longitude = 0.0;  ///< degrees in [0, 360)
  double latitude = 0.0;   ///< degrees in [-90, 90]
};

/// The radiant, speeds and heliocentric orbit of a meteoroid.
struct Orbit {
  double vInit = 0.0;          ///< m/s: the Earth-fixed speed given
  double vInf = 0.0;           ///< m/s: speed in the GCRS (Earth's rotation added)
  double vGeocentric = 0.0;    ///< m/s: speed before the Earth's attraction, sqrt(vInf^2 - 2 GM/r)
  double vHeliocentric = 0.0;  ///< m/s: speed about the Sun
  EquatorialDirection radiantApparent;    ///< where the GCRS velocity came from (degrees)
  EquatorialDirection radiantGeocentric;  ///< the same, corrected for zenith attraction (degrees)
  EclipticDirection radiantEcliptic;      ///< the geocentric radiant in J2000 ecliptic coordinates (degrees)
  double solarLongitude = 0.0;    ///< degrees in [0, 360): the Sun's geometric J2000 ecliptic longitude
  double zenithAttraction = 0.0;  ///< degrees: how far the Earth's gravity moved the radiant toward the zenith
  double a = 0.0;                 ///< semi-major axis, AU (negative for a hyperbola, infinite for a parabola)
  double e = 0.0;                 ///< eccentricity
  double i = 0.0;                 ///< inclination to the J2000 ecliptic, degrees in [0, 180]
  double omega = 0.0;             ///< argument of perihelion, degrees in [0, 360)
  double node = 0.0;              ///< longitude of the ascending node (J2000), degrees in [0, 360)
  double q = 0.0;                 ///< perihelion distance, AU
  std::optional<double> Q;        ///< aphelion distance, AU; only for e < 1
  std::optional<double> period;   ///< orbital period, Julian years; only for e < 1
  double trueAnomaly = 0.0;       ///< degrees in [0, 360) at the given time
  double tisserand = 0.0;         ///< Tisserand parameter with respect to Jupiter (a_J = 5.2026 AU)
  /// The Earth-fixed radiant (where -velocity points, no Earth rotation added, no zenith
  /// attraction removed) in the true equator and equinox of date, degrees (the "apparent" RA/Dec
  /// of the field's summaries): the ECEF direction turned by the Greenwich apparent sidereal time.
  EquatorialDirection radiantOfDate;
  double radiantAzimuth = 0.0;    ///< the same radiant at the point: degrees from north through east (ellipsoid normal horizon)
  double radiantElevation = 0.0;  ///< degrees above that horizon
  double siderealTime = 0.0;      ///< apparent local sidereal time at the point's longitude, degrees in [0, 360)
  EclipticDirection radiantHeliocentric;  ///< where the heliocentric velocity came from, J2000 ecliptic, degrees
  double perihelionLongitude = 0.0;       ///< Pi = node + omega, degrees in [0, 360)
  double perihelionLatitude = 0.0;        ///< b = asin(sin omega sin i), degrees in [-90, 90]
  std::optional<double> meanAnomaly;      ///< M, degrees in [0, 360); only for e < 1
  std::optional<double> meanMotion;       ///< n, degrees per day; only for e < 1
};

/// A physical caveat: a stable machine-readable code (e.g. "below-escape-speed",
/// "hyperbolic-orbit", "faster-than-73-km-s") and its English text.
using OrbitWarning = Warning;

/// What computeOrbit found: ok with an orbit, or not ok with warnings that say why.
struct OrbitResult {
  bool ok = false;
  std::optional<Orbit> orbit;
  std::vector<OrbitWarning> warnings;
};

/// The state of a meteor given as the command line gives it.
/// Given: time (s since 1970 UTC), point (geodetic WGS84: degrees, degrees, metres),
///        azimuth (degrees from north through east) and elevation (degrees) of the
///        radiant at that point, i.e. the direction the meteor came FROM, in the
///        horizon of the ellipsoid normal; speed (m/s, Earth-fixed).
/// Returned: the state, ECEF metres and m/s, velocity toward the direction of flight.
OrbitState stateFromRadiant(double time, const GeodeticPosition& point, double azimuth, double elevation,
                            double speed);

/// The geocentric radiant and heliocentric orbit of `state` (the whole chain below).
/// Returned: ok and the orbit, with warnings "hyperbolic-orbit" (e >= 1: no Q, no
/// period) and "faster-than-73-km-s"; or not ok, no orbit, and the reason:
/// "below-escape-speed" (no real geocentric speed), "time-out-of-range" (ERFA
/// cannot date it), "invalid-state" (numbers that are not finite, or the Earth's centre).
/// A date ERFA calls dubious for leap seconds (before 1960, or five years past the
/// library's release) gives no warning: a leap second or two turns the Earth by
/// 0.004 deg each and moves it 30 km along its orbit, far below a meteor's errors.
OrbitResult computeOrbit(const OrbitState& state);

// ------------------------------------------------------------------ building blocks

/// Two-part Julian dates (days) of one instant in the scales the chain uses.
struct JulianDates {
  double utc1 = 0.0, utc2 = 0.0;  ///< UTC, ERFA's quasi-JD convention (also used as UT1)
  double tt1 = 0.0, tt2 = 0.0;    ///< TT = TAI + 32.184 s (also used as TDB)
  bool dubious = false;           ///< ERFA flagged the leap seconds as uncertain (far past or future)
};

/// The Julian dates of `time` (s since 1970 UTC, no leap seconds).
/// Returned: nothing when ERFA rejects the date (eraDtf2d, eraUtctai).
/// Notes: the calendar day from eraJd2cal, then eraDtf2d("UTC"), eraUtctai, eraTaitt;
/// leap seconds come from ERFA's table (eraDat).
std::optional<JulianDates> julianDatesOf(double time);

/// A position and velocity in an inertial frame with GCRS axes.
struct InertialState {
  Vector3 position;  ///< metres
  Vector3 velocity;  ///< m/s
};

/// ECEF position and Earth-fixed velocity to the GCRS.
/// Given: position (ECEF m), velocity (ECEF m/s, Earth-fixed), dates.
/// Returned: GCRS position (m) and velocity (m/s) including the Earth's rotation.
/// Notes: r_GCRS = C^T r_ECEF and v_GCRS = C^T (v_ECEF + w x r_ECEF), C = eraC2t06a
/// (IAU 2006/2000A, CIO based) with UT1 = UTC (|UT1 - UTC| < 0.9 s, i.e. < 0.004 deg
/// of rotation) and zero polar motion (< 0.5 arcsec); w = (0, 0, kEarthRotationRate).
/// The slow turning of C by precession-nutation (~1e-12 rad/s) is neglected.
InertialState celestialStateOf(const Vector3& position, const Vector3& velocity, const JulianDates& dates);

/// The celestial-to-terrestrial matrix of eraC2t06a at `dates` (UT1 = UTC, no polar motion).
struct TerrestrialMatrix {
  double c2t[3][3] = {};
};
TerrestrialMatrix terrestrialMatrixOf(const JulianDates& dates);
/// celestialStateOf() with the matrix of the date computed once (see above).
InertialState celestialStateOf(const Vector3& position, const Vector3& velocity, const TerrestrialMatrix& matrix);

/// What an orbit computation needs of its epoch alone: the dates, the Earth's
/// orientation and the Earth's heliocentric state. Computing it costs about
/// 50 microseconds; many states at (nearly) one time share one epoch.
struct OrbitEpoch {
  double time = 0.0;        ///< s since 1970 UTC
  JulianDates dates;
  TerrestrialMatrix matrix;
  InertialState earth;      ///< heliocentric, GCRS axes (m, m/s)
  double siderealTime = 0.0;  ///< Greenwich apparent sidereal time, radians (eraGst06a, UT1 = UTC)
};

/// The epoch of `time` (s since 1970 UTC); nothing when ERFA cannot date it.
std::optional<OrbitEpoch> orbitEpochOf(double time);

/// computeOrbit() at a prepared epoch: `state.time` is not used, the epoch's time is.
/// For the Monte Carlo draws of one event, whose times differ by milliseconds:
/// 1 ms turns the Earth by 4e-6 degrees.
OrbitResult computeOrbit(const OrbitState& state, const OrbitEpoch& epoch);

/// The geocentric velocity of a meteoroid before the Earth's attraction bent it.
struct GeocentricVelocity {
  double speed = 0.0;          ///< vG, m/s
  Vector3 radiant;             ///< unit vector (GCRS) toward the geocentric radiant
  double zenithAttraction = 0.0;  ///< radians: the radiant's shift toward the zenith
};

/// Removes the Earth's attraction (a point mass, GM = kEarthGM) from an inertial velocity.
/// Given: position (GCRS m) and velocity (GCRS m/s, direction of flight).
/// Returned: nothing when the speed is below the escape speed at that distance.
/// Notes: vG = sqrt(vInf^2 - 2 GM/r); the radiant moves away from the geocentric
/// zenith (r/|r|) by dz = 2 atan[(vInf - vG)/(vInf + vG) tan(zc/2)], zc the zenith
/// distance of the apparent radiant -v/|v| (Schiaparelli; Ceplecha 1987, Bull. Astron.
/// Inst. Czechosl. 38, eq. 22; Andreev 1991).
std::optional<GeocentricVelocity> removeEarthAttraction(const Vector3& position, const Vector3& velocity);

/// The Earth's heliocentric state at `dates` from eraEpv00 (TDB taken as TT: < 2 ms).
/// Returned: position (m) and velocity (m/s), GCRS (BCRS) axes.
/// Notes: eraEpv00 is a fit to DE405 for 1900-2100 (position to ~5 km, velocity to
/// ~0.5 mm/s, Earth centre, not the Earth-Moon barycentre); outside those years it
/// degrades gracefully, unflagged.
InertialState earthHeliocentric(const JulianDates& dates);

/// A GCRS vector in the mean ecliptic and equinox of J2000 (eraEcm06 at J2000.0:
/// frame bias, then the obliquity kObliquityJ2000Arcsec).
Vector3 toEclipticJ2000(const Vector3& gcrs);

/// Right ascension and declination (degrees) of a GCRS direction (any length).
EquatorialDirection equatorialOf(const Vector3& direction);
/// Ecliptic longitude and latitude (degrees) of a J2000 ecliptic direction (any length).
EclipticDirection eclipticOf(const Vector3& direction);

/// Osculating two-body elements. Distances in metres, angles in radians.
struct KeplerElements {
  double a = 0.0;            ///< semi-major axis, m (negative: hyperbola; infinite: parabola)
  double e = 0.0;            ///< eccentricity
  double i = 0.0;            ///< inclination, radians in [0, pi]
  double omega = 0.0;        ///< argument of pericentre, radians in [0, 2 pi)
  double node = 0.0;         ///< longitude of the ascending node, radians in [0, 2 pi)
  double q = 0.0;            ///< pericentre distance, m
  double trueAnomaly = 0.0;  ///< radians in [0, 2 pi)
};

/// The elements of the orbit through position r (m) with velocity v (m/s) about a
/// body of gravitational constant gm (m^3/s^2), in the frame of r and v.
/// Notes: vis-viva a = 1/(2/r - v^2/gm); eccentricity vector ((v^2 - gm/r) r - (r.v) v)/gm;
/// q = h^2/(gm (1 + e)) (Vallado 2013, Fundamentals of Astrodynamics, algorithm 9).
/// In a plane orbit (i = 0 or 180 deg) the node is taken at longitude 0; in a circular
/// one the pericentre at the node.
KeplerElements elementsOf(const Vector3& r, const Vector3& v, double gm);

/// The mean anomaly (radians in [0, 2 pi)) of an ellipse (0 <= e < 1) at true anomaly
/// `trueAnomaly` (radians): E = 2 atan(sqrt((1 - e)/(1 + e)) tan(f/2)), M = E - e sin E
/// (Kepler's equation; Vallado 2013, algorithm 5).
double meanAnomalyOf(double trueAnomaly, double e);

/// Tisserand parameter with respect to Jupiter of an orbit: a (AU), e, i (degrees).
/// T_J = a_J/a + 2 cos i sqrt((a/a_J)(1 - e^2)) (Murray & Dermott 1999, eq. 6.179).
double tisserandJupiter(double a, double e, double i);

/// Circular standard deviation (degrees) of angles in degrees: sqrt(-2 ln R) with R
/// the mean resultant length (Mardia & Jupp 2000, eq. 2.3.11), so 359 and 1 spread by
/// about 1 degree, not 180. For small spreads it equals the standard deviation about
/// the circular mean with divisor n. 0 for fewer than two angles; beyond 360 degrees
/// when the angles all but cancel (two opposite angles: R ~ 1e-16 after rounding,
/// about 500 degrees); infinite when R is exactly 0.
double circularSigmaDegrees(const std::vector<double>& angles);

}  // namespace sightline
