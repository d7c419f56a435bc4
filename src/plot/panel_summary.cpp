// The title and subtitle above the panels, and the caption below the legend: the key figures of the solution.
#include "plot/panels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "plot/figure_axes.hpp"
#include "plot/figure_marks.hpp"
#include "plot/figure_style.hpp"
#include "plot/figure_text.hpp"

namespace sightline::figure {

// The title and subtitle above the panels on a white page.
void drawTitle(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene) {
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  setFont(cr, kTitleSize, true);
  setGrey(cr, 0.0);
  drawText(cr, fitText(cr, scene.title, layout.width - 2.0 * kMargin), kMargin, 34.0, 0.0, 1.0);
  setFont(cr, kSubtitleSize);
  setGrey(cr, 0.3);
  drawText(cr, fitText(cr, scene.subtitle, layout.width - 2.0 * kMargin), kMargin, 56.0, 0.0, 1.0);
}

void drawCaption(cairo_t* cr, const FigureLayout& layout) {
  const FigureRect& r = layout.caption;
  setFont(cr, kCaptionSize);
  setGrey(cr, 0.05);
  for (std::size_t i = 0; i < layout.captionLines.size(); ++i)
    drawText(cr, layout.captionLines[i], r.x, r.y + i * kCaptionLine + kCaptionLine / 2.0, 0.0, 0.5);
}

}  // namespace sightline::figure
