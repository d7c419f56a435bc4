// Stub: to be written.
#include "io/solution_writers.hpp"

namespace sightline {

void writeSolutionText(std::ostream& out, const Event&, const Solution&, const OutputContext&) { out << "(text report not written yet)\n"; }
void writeSolutionJson(std::ostream& out, const Event&, const Solution&, const OutputContext&) { out << "{}\n"; }

}  // namespace sightline
