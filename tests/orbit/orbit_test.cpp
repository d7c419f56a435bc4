// The orbit chain against published values: an Orionid meteor, the Earth's own
// orbit, the dates of equinoxes and leap seconds, the precession of the pole.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orbit/constants.hpp"
#include "orbit/orbit.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;  // radians per degree

double timeOf(const char* iso) { return parseIsoTime(iso).value(); }

// Difference of two angles (degrees) across the 0/360 seam, in [-180, 180).
double angleDifference(double a, double b) { return std::remainder(a - b, 360.0); }

bool hasWarning(const OrbitResult& result, const std::string& code) {
  for (const OrbitWarning& w : result.warnings) {
    if (w.code == code) return true;
  }
  return false;
}

// The example of the issue: 2019-10-23T09:12:25.56Z over Ontario, a fast meteor
// from the east-south-east, 61 degrees up.
OrbitState orionidState(double speed = 67405.0) {
  return stateFromRadiant(timeOf("2019-10-23T09:12:25.56Z"), {44.1307, -81.3206, 116070.0}, 162.21, 61.00, speed);
}

// The Sun's ecliptic longitude (degrees, J2000 equinox) by the Astronomical
// Almanac's low-precision formula (section C, "Sun", accurate to 0.01 deg in
// 1950-2050, equinox of date), carried to the J2000 equinox by the general
// precession in longitude (5028.796195"/century, Capitaine et al. 2003).
double almanacSolarLongitudeJ2000(double time) {
  const double daysFromJ2000 = (time - 946728000.0) / 86400.0 + 69.0 / 86400.0;  // TT - UTC ~ 64-69 s
  const double meanLongitude = 280.460 + 0.9856474 * daysFromJ2000;
  const double meanAnomaly = (357.528 + 0.9856003 * daysFromJ2000) * kDegree;
  const double ofDate = meanLongitude + 1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2.0 * meanAnomaly);
  const double precession = 5028.796195 / 3600.0 * daysFromJ2000 / 36525.0;
  return std::fmod(std::fmod(ofDate - precession, 360.0) + 360.0, 360.0);
}

// ------------------------------------------------------------ a published shower

// The Orionids (IMO shower calendar: radiant RA 95 deg, Dec +16 deg at the
// maximum, lambda_sun 208 deg, vG 66 km/s, RA drifting +0.7 deg/day) are debris
// of 1P/Halley (JPL Small-Body Database: q 0.575 AU, e 0.968, i 162.19 deg,
// T_J -0.60). One meteor is not the mean: the tolerances are the shower's
// spread (radiant ~1-2 deg, i 162-166 deg, q 0.55-0.62 AU).
TEST(PublishedOrbit, OrionidFromTheIssueExample) {
  const OrbitResult result = computeOrbit(orionidState());
  ASSERT_TRUE(result.ok);
  ASSERT_TRUE(result.orbit);
  EXPECT_TRUE(result.warnings.empty());
  const Orbit& o = *result.orbit;
  EXPECT_NEAR(o.radiantGeocentric.ra, 95.0 + 0.7 * 1.5, 1.5);  // 1.5 days after the mean maximum
  EXPECT_NEAR(o.radiantGeocentric.dec, 16.0, 1.0);
  EXPECT_NEAR(o.vGeocentric, 66000.0, 1000.0);
  EXPECT_NEAR(o.solarLongitude, 209.4, 0.1);  // 2019 Oct 23: 1.4 days past 208
  EXPECT_NEAR(o.q, 0.58, 0.04);
  EXPECT_NEAR(o.i, 164.0, 2.0);
  EXPECT_GT(o.e, 0.90);
  EXPECT_LT(o.e, 1.0);
  // The Orionids meet the Earth at the node of their retrograde orbit opposite the Sun.
  EXPECT_NEAR(angleDifference(o.node, o.solarLongitude - 180.0), 0.0, 1.0);
  EXPECT_NEAR(o.tisserand, -0.6, 0.3);
  // The apparent radiant lies between the zenith and the geocentric one.
  EXPECT_GT(o.zenithAttraction, 0.0);
  EXPECT_LT(o.zenithAttraction, 0.5);  // dz < 2 atan(0.0069 tan(14.5 deg)) ~ 0.2 deg for vInf 67 km/s, zc 29 deg
}

// The same figures hold together as Kepler says: a from vis-viva at the
// Earth's distance (ERFA's ephemeris, independent of the meteoroid), q and Q
// from a and e, the conic through r at the true anomaly, Kepler's third law.
TEST(PublishedOrbit, OrionidFiguresAgreeWithKepler) {
  const OrbitState state = orionidState();
  const Orbit o = *computeOrbit(state).orbit;
  const double r = earthHeliocentric(*julianDatesOf(state.time)).position.length() / kAstronomicalUnit;
  const double mu = kSunGM / (kAstronomicalUnit * kAstronomicalUnit * kAstronomicalUnit);  // AU^3/s^2
  const double v = o.vHeliocentric / kAstronomicalUnit;                                   // AU/s
  EXPECT_NEAR(o.a, 1.0 / (2.0 / r - v * v / mu), 2e-3 * o.a);  // r of the Earth, not the meteoroid: 4e-5 AU
  EXPECT_NEAR(o.q, o.a * (1.0 - o.e), 1e-9);
  EXPECT_NEAR(*o.Q, o.a * (1.0 + o.e), 1e-9);
  EXPECT_NEAR(o.a * (1.0 - o.e * o.e) / (1.0 + o.e * std::cos(o.trueAnomaly * kDegree)), r, 1e-4);
  EXPECT_NEAR(*o.period, std::pow(o.a, 1.5), 1e-3 * *o.period);
}

// ------------------------------------------------------------ the Earth's own orbit

// A meteoroid that just escapes the Earth (vG = 10 m/s, straight up at the
// north pole, where the ground does not move) goes round the Sun as the Earth
// does: a 1.000 AU, e 0.0167, i 0, one year (Explanatory Supplement, J2000 mean
// elements of the Earth-Moon barycentre). The Earth itself swings 4700 km and
// 12.6 m/s about that barycentre: a and e to ~1e-3, i to 0.05 deg.
TEST(EarthOrbit, ComovingMeteoroidGetsTheEarthsOrbit) {
  const double r = 6356752.0 + 100000.0;
  const double speed = std::sqrt(2.0 * kEarthGM / r + 10.0 * 10.0);
  for (const char* when : {"2019-01-03T05:20:00Z", "2021-06-21T00:00:00Z", "2026-11-14T21:03:07Z"}) {
    SCOPED_TRACE(when);
    const OrbitResult result = computeOrbit({timeOf(when), {0.0, 0.0, r}, {0.0, 0.0, -speed}});
    ASSERT_TRUE(result.ok);
    const Orbit& o = *result.orbit;
    EXPECT_NEAR(o.vGeocentric, 10.0, 0.01);
    EXPECT_NEAR(o.a, 1.0, 3e-3);
    EXPECT_NEAR(o.e, 0.0167, 1.5e-3);
    EXPECT_LT(o.i, 0.05);
    EXPECT_NEAR(*o.period, 1.0, 5e-3);
    EXPECT_NEAR(o.tisserand, 5.2026 + 2.0 * std::sqrt((1.0 - 0.0167 * 0.0167) / 5.2026), 0.01);
  }
}

// The Earth's heliocentric speed is 30.29 km/s at perihelion (2019 Jan 3) and
// 29.29 km/s at aphelion (2019 Jul 4) (Astronomical Almanac 2019), and obeys
// vis-viva with a = 1 AU at any date.
TEST(EarthOrbit, HeliocentricSpeedOfTheEarth) {
  struct Case { const char* time; double speed; };
  for (const Case& c : {Case{"2019-01-03T05:20:00Z", 30290.0}, Case{"2019-07-04T22:11:00Z", 29290.0}}) {
    SCOPED_TRACE(c.time);
    const InertialState earth = earthHeliocentric(*julianDatesOf(timeOf(c.time)));
    EXPECT_NEAR(earth.velocity.length(), c.speed, 30.0);
    const double visViva = std::sqrt(kSunGM * (2.0 / earth.position.length() - 1.0 / kAstronomicalUnit));
    EXPECT_NEAR(earth.velocity.length(), visViva, 0.003 * visViva);
  }
}

// ------------------------------------------------------------ dates and the Sun

// The Sun's longitude by the chain against the Almanac's low-precision formula
// (0.01 deg; the chain's is geometric, the formula's apparent: 0.006 deg of
// aberration; nutation up to 0.005 deg).
TEST(SolarLongitude, AgreesWithTheAlmanacFormula) {
  for (const char* when : {"2000-03-20T07:35:00Z", "2019-10-23T09:12:25.56Z", "2024-06-20T20:51:00Z",
                           "2037-12-31T23:59:59Z", "1985-08-12T03:00:00Z"}) {
    SCOPED_TRACE(when);
    const double time = timeOf(when);
    const OrbitResult result = computeOrbit(stateFromRadiant(time, {45.0, 10.0, 100000.0}, 90.0, 45.0, 30000.0));
    ASSERT_TRUE(result.ok);
    EXPECT_NEAR(angleDifference(result.orbit->solarLongitude, almanacSolarLongitudeJ2000(time)), 0.0, 0.02);
  }
}

// At the March equinox the Sun's longitude of date is 0: in the J2000 equinox
// 0 less the precession since 2000 (0.27 deg by 2019) (equinox times: USNO).
TEST(SolarLongitude, MarchEquinoxes) {
  struct Case { const char* time; double longitude; };
  for (const Case& c : {Case{"2000-03-20T07:35:00Z", 0.0}, Case{"2019-03-20T21:58:00Z", -0.2684}}) {
    SCOPED_TRACE(c.time);
    const OrbitResult result = computeOrbit(stateFromRadiant(timeOf(c.time), {0.0, 0.0, 90000.0}, 0.0, 30.0, 40000.0));
    ASSERT_TRUE(result.ok);
    EXPECT_NEAR(angleDifference(result.orbit->solarLongitude, c.longitude), 0.0, 0.015);
  }
}

// TT - UTC = 32.184 s + TAI - UTC (USNO tai-utc.dat, IERS Bulletin C): 32 s from
// 1999, 37 s from 2017; on 1970 Jan 1 the rubber second's
// 4.2131700 s + (MJD - 39126) x 0.002592 s = 8.000082 s.
TEST(JulianDates, LeapSecondsFromErfasTable) {
  struct Case { const char* time; double ttMinusUtc; double utc; };
  for (const Case& c : {Case{"1970-01-01T00:00:00Z", 40.184082, 2440587.5}, Case{"2000-01-01T12:00:00Z", 64.184, 2451545.0},
                        Case{"2019-10-23T09:12:25.56Z", 69.184, 2458779.88362917}}) {
    SCOPED_TRACE(c.time);
    const std::optional<JulianDates> d = julianDatesOf(timeOf(c.time));
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->utc1 + d->utc2, c.utc, 1e-8);
    EXPECT_NEAR(((d->tt1 - d->utc1) + (d->tt2 - d->utc2)) * 86400.0, c.ttMinusUtc, 1e-4);
    EXPECT_FALSE(d->dubious);
  }
}

TEST(JulianDates, NotANumberHasNoDate) { EXPECT_FALSE(julianDatesOf(std::nan(""))); }

// ------------------------------------------------------------ frames

// The Earth's axis (ECEF z) in the GCRS is the celestial intermediate pole: 90
// deg less the precession angle theta_A since J2000 (Capitaine et al. 2003,
// theta_A = 2004.191903" T - 0.4294934" T^2, T in Julian centuries), within the
// nutation (< 12") and the frame bias.
TEST(Frames, EarthsAxisIsThePrecessedPole) {
  for (const char* when : {"2000-01-01T12:00:00Z", "2019-10-23T09:12:25Z", "2050-06-01T00:00:00Z"}) {
    SCOPED_TRACE(when);
    const JulianDates d = *julianDatesOf(timeOf(when));
    const double t = ((d.tt1 - 2451545.0) + d.tt2) / 36525.0;
    const double thetaA = (2004.191903 * t - 0.4294934 * t * t) / 3600.0;
    const InertialState pole = celestialStateOf({0.0, 0.0, 6356752.0}, {}, d);
    EXPECT_NEAR(equatorialOf(pole.position).dec, 90.0 - thetaA, 15.0 / 3600.0);
    EXPECT_NEAR(pole.velocity.length(), 0.0, 1e-9);  // the pole does not move with the ground
  }
}

// A point on the equator at rest on the ground moves at w R = 465.1 m/s eastward.
TEST(Frames, GroundAtTheEquatorMovesEast) {
  const JulianDates d = *julianDatesOf(timeOf("2019-10-23T09:12:25Z"));
  const InertialState ground = celestialStateOf({6378137.0, 0.0, 0.0}, {}, d);
  EXPECT_NEAR(ground.velocity.length(), 465.10, 0.01);
  // East is 90 deg of right ascension ahead of the point, on the equator.
  EXPECT_NEAR(angleDifference(equatorialOf(ground.velocity).ra, equatorialOf(ground.position).ra), 90.0, 0.5);
}

// A radiant straight overhead at the pole: no zenith attraction, the geocentric
// radiant is the apparent one, at the celestial pole.
TEST(Frames, RadiantAtTheZenithIsNotAttracted) {
  const OrbitResult result = computeOrbit({timeOf("2000-01-01T12:00:00Z"), {0.0, 0.0, 6456752.0}, {0.0, 0.0, -30000.0}});
  ASSERT_TRUE(result.ok);
  const Orbit& o = *result.orbit;
  EXPECT_NEAR(o.zenithAttraction, 0.0, 1e-9);
  EXPECT_NEAR(o.radiantGeocentric.dec, o.radiantApparent.dec, 1e-9);
  EXPECT_NEAR(o.radiantApparent.dec, 90.0, 0.005);
  EXPECT_NEAR(o.vInf, o.vInit, 1e-9);  // no ground motion at the pole
}

// The command line's radiant: the velocity points away from (azimuth, elevation).
TEST(Frames, StateFromRadiantFliesAwayFromIt) {
  const GeodeticPosition point{44.1307, -81.3206, 116070.0};
  const OrbitState s = stateFromRadiant(12.5, point, 162.21, 61.0, 67405.0);
  const Horizontal from = horizontalOf(localFrame(point), -(1.0 / s.velocity.length()) * s.velocity);
  EXPECT_NEAR(from.azimuth, 162.21, 1e-9);
  EXPECT_NEAR(from.elevation, 61.0, 1e-9);
  EXPECT_NEAR(s.velocity.length(), 67405.0, 1e-6);
  EXPECT_EQ(s.time, 12.5);
}

// ------------------------------------------------------------ where physics says no

struct LimitCase {
  const char* name;
  OrbitState state;
  bool ok;
  std::vector<std::string> codes;
};

std::vector<LimitCase> limitCases() {
  const double nan = std::nan("");
  return {
      {"Orionid", orionidState(), true, {}},
      {"Hyperbolic", orionidState(72000.0), true, {"hyperbolic-orbit"}},
      {"FasterThan73", orionidState(80000.0), true, {"hyperbolic-orbit", "faster-than-73-km-s"}},
      // Past ERFA's leap-second table: still an orbit, and no warning (a leap second is 0.004 deg of rotation).
      {"PastTheLeapSecondTable",
       stateFromRadiant(timeOf("2040-10-22T09:12:25Z"), {44.1307, -81.3206, 116070.0}, 162.21, 61.00, 67405.0),
       true,
       {}},
      {"BelowEscape", orionidState(5000.0), false, {"below-escape-speed"}},
      {"NotANumber", orionidState(nan), false, {"invalid-state"}},
      {"EarthsCentre", {0.0, {}, {0.0, 0.0, 30000.0}}, false, {"invalid-state"}},
  };
}

[[maybe_unused]] void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class Limits : public testing::TestWithParam<LimitCase> {};

TEST_P(Limits, StatusAndWarningCodes) {
  const LimitCase& c = GetParam();
  const OrbitResult result = computeOrbit(c.state);
  EXPECT_EQ(result.ok, c.ok);
  EXPECT_EQ(result.orbit.has_value(), c.ok);
  ASSERT_EQ(result.warnings.size(), c.codes.size());
  for (const std::string& code : c.codes) EXPECT_TRUE(hasWarning(result, code)) << code;
  for (const OrbitWarning& w : result.warnings) EXPECT_FALSE(w.text.empty());
}

INSTANTIATE_TEST_SUITE_P(Orbit, Limits, testing::ValuesIn(limitCases()),
                         [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

// A hyperbola: faster than the Sun's escape speed at that distance; negative a,
// no aphelion, no period, a finite perihelion.
TEST(Limits, HyperbolicOrbitHasNoAphelion) {
  const OrbitState state = orionidState(72000.0);
  const Orbit o = *computeOrbit(state).orbit;
  const double r = earthHeliocentric(*julianDatesOf(state.time)).position.length();
  EXPECT_GT(o.vHeliocentric, std::sqrt(2.0 * kSunGM / r));
  EXPECT_GT(o.e, 1.0);
  EXPECT_LT(o.a, 0.0);
  EXPECT_FALSE(o.Q);
  EXPECT_FALSE(o.period);
  EXPECT_NEAR(o.q, o.a * (1.0 - o.e), 1e-9);
}

// Just above and just below the escape speed at the reference point.
TEST(Limits, EscapeSpeedIsTheBoundary) {
  const double r = 6356752.0 + 100000.0;
  const double escape = std::sqrt(2.0 * kEarthGM / r);
  EXPECT_TRUE(computeOrbit({0.0, {0.0, 0.0, r}, {0.0, 0.0, -(escape + 0.01)}}).ok);
  EXPECT_FALSE(computeOrbit({0.0, {0.0, 0.0, r}, {0.0, 0.0, -(escape - 0.01)}}).ok);
}

}  // namespace
}  // namespace sightline
