// The photometry of a solution in every output: the JSON object "photometry",
// the text report's section, the CSV columns and the map properties.
// Units: magnitudes, metres (heights above the WGS84 ellipsoid; *Msl above mean
// sea level, EGM96), seconds from the begin time, kilograms.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "formats/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/photometry.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// The solution JSON's top-level "photometry": null, or {"peakAbsoluteMagnitude",
/// "peakHeight", "peakHeightMsl", "peakTime", "fParameter", "mass", "luminousEfficiency":
/// {"model", "tau"}} (schema/sightline-solution.schema.json).
nlohmann::ordered_json photometryJson(const std::optional<Photometry>& photometry, const OutputContext& context);

/// A sighting's "magnitude" (apparent, as given) and "absoluteMagnitude" (at 100 km), each a number or null.
nlohmann::ordered_json sightingMagnitudesJson(const Sighting* given, const SightingResult& result);
/// The same rounded to 3 decimals, for the map properties of a line of sight.
nlohmann::ordered_json sightingMagnitudeProperties(const Sighting* given, const SightingResult& result);

/// The text report's "Photometry" section (nothing without photometry).
void writePhotometryText(std::ostream& out, const std::optional<Photometry>& photometry, const OutputContext& context);

/// One line for map descriptions: "Photometry: peak absolute magnitude ... at ... km, F ..., mass ... kg".
std::string photometrySummary(const Photometry& photometry);

/// The CSV columns appended to each sighting's row: the header's ",magnitude,absolute_magnitude"
/// and a row's ",m,M" (empty fields when not known).
std::string photometryCsvHeader();
std::string photometryCsvFields(const Sighting& given, const SightingResult* result);

/// Flat properties of the trajectory feature (GeoJSON): peakAbsoluteMagnitude, peakHeight,
/// peakHeightMsl, peakTime, fParameter, photometricMass_kg, luminousEfficiency, tau.
nlohmann::ordered_json photometryProperties(const Photometry& photometry, const Geoid* geoid);

}  // namespace sightline
