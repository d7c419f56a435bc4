// Text and JSON ("format": "sightline-solution", "version": 1) reports of a solution.
#pragma once

#include <ostream>

#include "formats/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

void writeSolutionText(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);
void writeSolutionJson(std::ostream& out, const Event& event, const Solution& solution, const OutputContext& context);

}  // namespace sightline
