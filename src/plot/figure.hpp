// A figure of a solution: ground track, height profile, residuals (Cairo).
#pragma once

#include <string>

#include "io/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// Draws the figure into `path`; the format follows the extension (.svg, .png,
/// .pdf, in any case). False with `error` set when it cannot be written (the
/// message does not repeat the path); the file is written whole or not at all.
bool writeFigure(const std::string& path, const Event& event, const Solution& solution, const OutputContext& context,
                 std::string& error);

}  // namespace sightline
