// Physical constants of the dark flight, each once with its unit and source.
#pragma once

namespace sightline::darkflight {

/// Geocentric gravitational constant GM, m^3/s^2 (WGS84 / IERS Conventions 2010, table 1.1).
constexpr double kGM = 3.986004418e14;
/// Dynamical form factor J2 of the Earth, dimensionless (WGS84 value of C20 = -J2/sqrt(5)).
constexpr double kJ2 = 1.08262982e-3;
/// Equatorial radius of the WGS84 ellipsoid, metres.
constexpr double kEquatorialRadius = 6378137.0;
/// The Earth's rotation rate, rad/s (WGS84).
constexpr double kOmega = 7.292115e-5;

/// Specific gas constant of dry air used with the profiles, J/(kg K).
constexpr double kDryAirGasConstant = 287.05;
/// Ratio of specific heats of dry air, for the speed of sound.
constexpr double kHeatCapacityRatio = 1.4;

/// Effective Earth radius r0 of the geopotential height, metres (U.S. Standard
/// Atmosphere 1976, NOAA-S/T 76-1562, eq. 18).
constexpr double kGeopotentialRadius = 6356766.0;

/// Sea-level standard gravity g0, m/s^2 (U.S. Standard Atmosphere 1976).
constexpr double kStandardGravity = 9.80665;
/// Universal gas constant R*, J/(K kmol) divided by 1000 as in the 1976 standard: J/(K mol).
constexpr double kUniversalGasConstant = 8.31432;
/// Sea-level mean molar mass of air M0, kg/mol (U.S. Standard Atmosphere 1976).
constexpr double kMolarMassAir = 0.0289644;
/// Sea-level temperature T0, K, and pressure P0, Pa (U.S. Standard Atmosphere 1976).
constexpr double kSeaLevelTemperature = 288.15;
constexpr double kSeaLevelPressure = 101325.0;

/// Degrees to radians.
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;

/// One international knot in m/s (1852 m per hour).
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;

}  // namespace sightline::darkflight
