// Writers of a dark flight: JSON (sightline-darkflight version 1), GeoJSON,
// KML, CSV and text. Positions are geodetic WGS84 (degrees); heights metres
// above the ellipsoid (the ground plus the geoid); times of flight seconds;
// speeds m/s, Earth-fixed.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "darkflight/strewn_field.hpp"

namespace sightline {

/// Everything a dark-flight output says.
struct DarkFlightReport {
  darkflight::StartState start;        ///< the end of the luminous flight
  bool timeKnown = true;               ///< false: no time in the output (a solution without a speed model)
  std::string stateSource = "options"; ///< "options" or "solution"
  std::string solutionFile;            ///< the solution's file name, when the state came from one
  std::string directionSource;         ///< with a solution: "endRadiant" or "line"
  std::string windFile;                ///< the profile's file name; empty: still air and the 1976 standard
  double density = 3500.0;             ///< kg/m^3
  double shapeFactor = 1.21;           ///< A
  double groundHeight = 0.0;           ///< metres above mean sea level
  bool geoidKnown = true;              ///< false: the geoid grid was missing and taken as 0
  std::vector<darkflight::FallLinePoint> fallLine;
  std::optional<darkflight::MonteCarloSettings> monteCarlo;
  std::vector<darkflight::StrewnMass> strewnField;  ///< with monteCarlo
  std::vector<Warning> warnings;
};

/// A mass as people say it: "1.58 g", "25.1 kg" (three significant figures).
std::string massLabel(double kilograms);

void writeDarkFlightJson(std::ostream& out, const DarkFlightReport& report);
/// One LineString (the fall line), one Point per landed mass (numeric
/// property `mass`, kg) and, with a Monte Carlo run, one Polygon per mass (its 95% ellipse).
void writeDarkFlightGeoJson(std::ostream& out, const DarkFlightReport& report);
/// The same geometries as Placemarks, clamped to the ground.
void writeDarkFlightKml(std::ostream& out, const DarkFlightReport& report);
/// A header and one row per mass.
void writeDarkFlightCsv(std::ostream& out, const DarkFlightReport& report);
void writeDarkFlightText(std::ostream& out, const DarkFlightReport& report);

/// The 95% ellipse of `mass` as a closed ring of `points` + 1 geodetic positions, counterclockwise.
std::vector<GeodeticPosition> ellipseRing(const darkflight::StrewnMass& mass, int points = 72);

}  // namespace sightline
