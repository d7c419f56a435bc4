// The U.S. Standard Atmosphere 1976 below 86 km: temperature, pressure and
// density of dry air at a geometric height above mean sea level.
#pragma once

namespace sightline::darkflight {

/// Air at one height: K, Pa, kg/m^3.
struct StandardAir {
  double temperature = 0.0;  ///< K (the molecular-scale temperature of the standard)
  double pressure = 0.0;     ///< Pa
  double density = 0.0;      ///< kg/m^3
};

/// Geopotential height H = r0 z / (r0 + z) (metres) of the geometric height
/// `z` (metres above mean sea level), r0 = 6356766 m.
double geopotentialHeight(double z);
/// Geometric height z = r0 H / (r0 - H) (metres) of the geopotential height `h` (metres).
double geometricHeight(double h);

/// The U.S. Standard Atmosphere 1976 at geometric height `z` (metres above
/// mean sea level).
///
/// Given:   z  metres above mean sea level (below 0: the lowest layer continued)
/// Returned: temperature (K), pressure (Pa) and density (kg/m^3)
/// Notes:   the seven layers with base geopotential heights 0, 11, 20, 32,
///          47, 51, 71 km and lapse rates -6.5, 0, +1, +2.8, 0, -2.8, -2.0 K/km;
///          T0 288.15 K, P0 101325 Pa, g0 9.80665 m/s^2, R* 8.31432 J/(mol K),
///          M0 0.0289644 kg/mol. Above 84.852 km geopotential (86 km geometric)
///          the air is held isothermal at the last base temperature, so that
///          the temperature stays positive; the pressure decays hydrostatically.
///          Reference: U.S. Standard Atmosphere, 1976 (NOAA-S/T 76-1562), eqs. 23, 33a, 33b, 42.
StandardAir standardAtmosphere(double z);

}  // namespace sightline::darkflight
