// Physical constants of the orbit computation, each once with its unit and source.
#pragma once

namespace sightline {

/// Geocentric gravitational constant GM of the Earth, m^3/s^2 (IERS Conventions 2010, table 1.1).
constexpr double kEarthGM = 3.986004418e14;

/// Heliocentric gravitational constant GM of the Sun, m^3/s^2 (IAU 2009 system of
/// astronomical constants, TDB-compatible value).
constexpr double kSunGM = 1.32712440018e20;

/// The astronomical unit, metres (IAU 2012 resolution B2; ERFA_DAU).
constexpr double kAstronomicalUnit = 149597870700.0;

/// The Earth's rotation rate, rad/s: the rate of ERFA's Earth rotation angle
/// (eraEra00, IAU 2000: 1.00273781191135448 turns per UT1 day of 86400 s),
/// 2 pi * 1.00273781191135448 / 86400 = 7.292115855e-5 rad/s.
constexpr double kEarthRotationRate = 2.0 * 3.14159265358979323846 * 1.00273781191135448 / 86400.0;

/// Mean obliquity of the ecliptic at J2000.0, arcseconds (IAU 2006, Hilton et al. 2006;
/// the epsilon_0 of ERFA's eraObl06 and eraEcm06).
constexpr double kObliquityJ2000Arcsec = 84381.406;

/// Semi-major axis of Jupiter's orbit, AU, for the Tisserand parameter (mean J2000
/// elements, Standish & Williams, Explanatory Supplement 3rd ed. 2013, table 8.2: 5.2026 AU).
constexpr double kJupiterSemiMajorAxis = 5.2026;

/// Length of the Julian year, days (ERFA_DJY); orbital periods are given in Julian years.
constexpr double kDaysPerJulianYear = 365.25;

/// Seconds per day (ERFA_DAYSEC).
constexpr double kSecondsPerDay = 86400.0;

/// Geocentric speed above which no bound solar-system meteoroid can arrive, m/s:
/// the Earth's orbital speed (29.8 km/s) plus the solar escape speed at 1 AU (42.1 km/s),
/// about 72 km/s, rounded up to the customary 73 km/s (Ceplecha et al. 1998, Space Sci. Rev. 84).
constexpr double kFastestBoundGeocentricSpeed = 73000.0;

}  // namespace sightline
