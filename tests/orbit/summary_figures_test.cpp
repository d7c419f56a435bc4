// The orbit figures added for network summaries, against truths that do not
// come from the code: the sidereal time of J2000.0 from the IAU 1982 GMST
// formula's published value, the zenith's RA/Dec of date (the local sidereal
// time and the geodetic latitude), the horizon round trip, and the mean
// anomaly solved back to the true anomaly by Kepler's equation (Newton steps).
#include <gtest/gtest.h>

#include <cmath>

#include "orbit/orbit.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

constexpr double kPi = 3.14159265358979323846;

Orbit orbitOf(const char* time, GeodeticPosition point, double azimuth, double elevation, double speedKm) {
  const OrbitResult r = computeOrbit(stateFromRadiant(*parseIsoTime(time), point, azimuth, elevation, speedKm * 1000.0));
  EXPECT_TRUE(r.ok);
  return *r.orbit;
}

double circularGap(double a, double b) { return std::abs(std::remainder(a - b, 360.0)); }

TEST(SummaryFigures, SiderealTimeAtJ2000IsThePublishedOne) {
  // GMST at 2000-01-01 12:00 UT1 is 18h 41m 50.54841s = 280.46061837 deg (Astronomical
  // Almanac; Aoki et al. 1982); the equation of the equinoxes then is -0.0039 deg,
  // UT1 - UTC = +0.355 s adds 0.0015 deg.
  const Orbit o = orbitOf("2000-01-01T12:00:00Z", {0.0, 0.0, 90000.0}, 0.0, 45.0, 40.0);
  EXPECT_LT(circularGap(o.siderealTime, 280.46061837), 0.01);
  const Orbit east = orbitOf("2000-01-01T12:00:00Z", {0.0, 90.0, 90000.0}, 0.0, 45.0, 40.0);
  EXPECT_NEAR(circularGap(east.siderealTime, o.siderealTime), 90.0, 1e-9);
}

TEST(SummaryFigures, AZenithRadiantOfDateIsAtTheSiderealTimeAndTheLatitude) {
  // The ellipsoid normal's direction has a declination equal to the geodetic latitude.
  const Orbit o = orbitOf("2020-12-14T01:00:00Z", {45.0, 10.0, 100000.0}, 0.0, 90.0, 36.0);
  EXPECT_LT(circularGap(o.radiantOfDate.ra, o.siderealTime), 1e-6);
  EXPECT_NEAR(o.radiantOfDate.dec, 45.0, 1e-6);
  EXPECT_NEAR(o.radiantElevation, 90.0, 1e-6);
}

TEST(SummaryFigures, TheHorizonRadiantIsTheOneGiven) {
  const Orbit o = orbitOf("2019-10-23T09:12:25.56Z", {44.1307, -81.3206, 116070.0}, 162.21, 61.0, 67.405);
  EXPECT_NEAR(o.radiantAzimuth, 162.21, 1e-9);
  EXPECT_NEAR(o.radiantElevation, 61.0, 1e-9);
  // Of date (2019) against J2000 for the same Earth-fixed radiant: precession over 19.8
  // years is about 0.28 deg, far more than the rotation's aberration-like shift.
  EXPECT_GT(circularGap(o.radiantOfDate.ra, o.radiantApparent.ra), 0.05);
}

TEST(SummaryFigures, MeanAnomalySolvesKeplersEquationBackToTheTrueAnomaly) {
  const Orbit o = orbitOf("2020-12-14T01:00:00Z", {45.0, 10.0, 100000.0}, 90.0, 40.0, 36.0);
  ASSERT_TRUE(o.meanAnomaly && o.meanMotion && o.period);
  const double M = *o.meanAnomaly * kPi / 180.0;
  double E = M;
  for (int step = 0; step < 50; ++step) E -= (E - o.e * std::sin(E) - M) / (1.0 - o.e * std::cos(E));
  const double f = 2.0 * std::atan2(std::sqrt(1.0 + o.e) * std::sin(E / 2.0), std::sqrt(1.0 - o.e) * std::cos(E / 2.0));
  EXPECT_LT(circularGap(f * 180.0 / kPi, o.trueAnomaly), 1e-7);
  // n is one turn per period.
  EXPECT_NEAR(*o.meanMotion * *o.period * 365.25, 360.0, 1e-9);
  EXPECT_LT(circularGap(o.perihelionLongitude, o.node + o.omega), 1e-9);
  EXPECT_LE(std::abs(o.perihelionLatitude), o.i <= 90.0 ? o.i : 180.0 - o.i);
}

TEST(SummaryFigures, AHyperbolaHasNoMeanAnomalyOrMotion) {
  const Orbit o = orbitOf("2019-10-23T09:12:25.56Z", {44.1307, -81.3206, 116070.0}, 162.21, 61.0, 72.0);
  ASSERT_GE(o.e, 1.0);
  EXPECT_FALSE(o.meanAnomaly);
  EXPECT_FALSE(o.meanMotion);
}

}  // namespace
}  // namespace sightline
