// Map and table outputs of a solution: GeoJSON (RFC 7946), KML, CSV.
//
// Positions are written as geodetic WGS84 longitude in [-180, 180) and latitude
// (degrees, 1e-8) with heights in metres (1e-3) above the ellipsoid, plus
// heights above mean sea level (EGM96) where `context.geoid` is set. A solution
// without a trajectory still gives a complete document of what there is.
#pragma once

#include <ostream>

#include "formats/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// GeoJSON FeatureCollection: stations, lines of sight, trajectory (figures as properties), begin, end, labelled points.
void writeGeoJson(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);
/// KML document: placemarks and lines at absolute altitudes above mean sea level (ellipsoid heights without the geoid, said so).
void writeKml(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);
/// CSV (RFC 4180 quoting, LF line ends): header row, then one row per sighting in input order; units in the column names.
void writeCsv(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);

}  // namespace sightline
