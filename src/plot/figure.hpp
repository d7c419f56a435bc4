// A figure of a solution: ground track, height profile, residuals (Cairo).
#pragma once

#include <optional>
#include <string>

#include "formats/output.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// The formats a figure is drawn in.
enum class FigureFormat { Png, Svg, Pdf };

/// The format that a file name's extension (.png, .svg, .pdf, in any case) asks for, if any.
std::optional<FigureFormat> figureFormatOf(const std::string& path);

/// Draws the figure of `solution` in `format` into `bytes` (the whole file).
/// False with `error` set when it cannot be drawn.
bool drawFigure(FigureFormat format, const Event& event, const Solution& solution, const OutputContext& context,
                std::string& bytes, std::string& error);

}  // namespace sightline
