// Stub: to be written.
#include "network/map_writers.hpp"

namespace sightline {

void writeGeoJson(std::ostream& out, const Event&, const Solution&, const OutputContext&) { out << "{}\n"; }
void writeKml(std::ostream& out, const Event&, const Solution&, const OutputContext&) { out << "\n"; }
void writeCsv(std::ostream& out, const Event&, const Solution&, const OutputContext&) { out << "\n"; }

}  // namespace sightline
