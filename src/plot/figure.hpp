// A figure of a solution: ground track, height profile, residuals (Cairo).
#pragma once

#include <string>

#include "io/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// Draws the figure into `path`; the format follows the extension (.svg, .png,
/// .pdf). False with `error` set when it cannot be written.
bool writeFigure(const std::string& path, const Event& event, const Solution& solution, const OutputContext& context,
                 std::string& error);

}  // namespace sightline
