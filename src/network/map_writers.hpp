// Map and table outputs of a solution: GeoJSON (RFC 7946), KML, CSV.
#pragma once

#include <ostream>

#include "io/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

void writeGeoJson(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);
void writeKml(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);
void writeCsv(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);

}  // namespace sightline
