// Draws a figure scene with Cairo: one drawing code for PNG, SVG and PDF. The panels are
// drawn in files of their own (plot/panels.hpp); this file lays them out and renders.
#include "plot/figure.hpp"

#include <cairo.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <array>
#include <cctype>
#include <cmath>
#include <memory>
#include <optional>

#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"
#include "plot/figure_style.hpp"
#include "plot/figure_text.hpp"
#include "plot/panels.hpp"

namespace sightline {

namespace {

using namespace figure;

// Okabe and Ito's qualitative palette (without black, used for the trajectory),
// yellow last as it is the faintest on white.
constexpr std::array<std::array<double, 3>, 7> kPalette{{
    {0.0 / 255, 114.0 / 255, 178.0 / 255},    // blue
    {213.0 / 255, 94.0 / 255, 0.0 / 255},     // vermillion
    {0.0 / 255, 158.0 / 255, 115.0 / 255},    // bluish green
    {204.0 / 255, 121.0 / 255, 167.0 / 255},  // reddish purple
    {230.0 / 255, 159.0 / 255, 0.0 / 255},    // orange
    {86.0 / 255, 180.0 / 255, 233.0 / 255},   // sky blue
    {240.0 / 255, 228.0 / 255, 66.0 / 255},   // yellow
}};
constexpr int kMarkerShapes = 5;

void drawFigure(cairo_t* cr, const FigureLayout& layout, const FigureScene& scene, const Event& event) {
  drawTitle(cr, layout, scene);
  const std::vector<EllipseScale> scales = drawGround(cr, layout, scene);
  drawProfile(cr, layout, scene);
  drawResiduals(cr, layout, scene);
  drawLag(cr, layout, scene);
  drawSpeed(cr, layout, scene);
  if (!scene.lightCurve.empty()) drawLightCurve(cr, layout, scene);
  drawLegend(cr, layout, legendEntries(scene, scales, &event));
  drawCaption(cr, layout);
}

// ---------------------------------------------------------------- output

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// Draws into `bytes`; empty on success, else what failed.
std::string render(FigureFormat format, std::string& bytes, const FigureLayout& layout, const FigureScene& scene,
                   const Event& event) {
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
  const int w = static_cast<int>(std::ceil(layout.width)), h = static_cast<int>(std::ceil(layout.height));
  switch (format) {
    case FigureFormat::Png:
      surface.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
      break;
    case FigureFormat::Svg:
      surface.reset(cairo_svg_surface_create_for_stream(appendTo, &bytes, layout.width, layout.height));
      break;
    case FigureFormat::Pdf:
      surface.reset(cairo_pdf_surface_create_for_stream(appendTo, &bytes, layout.width, layout.height));
      cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, scene.title.c_str());
      cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Sightline");
      break;
  }
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    return cairo_status_to_string(cairo_surface_status(surface.get()));
  {
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    drawFigure(cr.get(), layout, scene, event);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return cairo_status_to_string(cairo_status(cr.get()));
  }
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (format == FigureFormat::Png) {
    cairo_surface_flush(surface.get());
    status = cairo_surface_write_to_png_stream(surface.get(), appendTo, &bytes);
  } else {
    cairo_surface_finish(surface.get());
    status = cairo_surface_status(surface.get());
  }
  return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

}  // namespace

void stationColour(std::size_t index, double& red, double& green, double& blue) {
  const auto& c = kPalette[index % kPalette.size()];
  red = c[0], green = c[1], blue = c[2];
}

int stationMarker(std::size_t index) { return static_cast<int>(index % kMarkerShapes); }

FigureLayout figureLayout(const FigureScene& scene) {
  FigureLayout layout;
  layout.width = kWidth;
  layout.ground = {100.0, 100.0, 560.0, 560.0};
  layout.profile = {810.0, 100.0, 430.0, 235.0};
  layout.residuals = {810.0, 425.0, 430.0, 235.0};
  layout.lag = {100.0, 765.0, 560.0, 235.0};
  layout.speed = {810.0, 765.0, 430.0, 235.0};
  // The ellipse entry's text does not change the count; scales are not needed here.
  layout.legendColumns = static_cast<int>((kWidth - 2.0 * kMargin) / kLegendColumnWidth);
  const std::vector<LegendEntry> entries = legendEntries(scene, std::vector<EllipseScale>(scene.ellipses.size()), nullptr);
  layout.legendEntries = entries.size();
  std::vector<std::size_t> slots;
  const std::size_t rows = legendSlots(entries, layout.legendColumns, slots);
  double panelsBottom = kPanelsBottom;
  if (!scene.lightCurve.empty()) {
    layout.lightCurve = {100.0, 1105.0, 1140.0, 235.0};
    panelsBottom += kLightCurveRow;
  }
  layout.legend = {kMargin, panelsBottom, kWidth - 2.0 * kMargin, rows * kLegendRow};
  // Wrap the caption with the font it is drawn in.
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
  std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
  setFont(cr.get(), kCaptionSize);
  for (const std::string& line : scene.caption)
    for (std::string& part : wrap(cr.get(), line, kWidth - 2.0 * kMargin)) layout.captionLines.push_back(std::move(part));
  layout.caption = {kMargin, layout.legend.y + layout.legend.height + 14.0, kWidth - 2.0 * kMargin,
                    layout.captionLines.size() * kCaptionLine};
  layout.height = std::ceil(layout.caption.y + layout.caption.height + 18.0);
  return layout;
}

std::optional<FigureFormat> figureFormatOf(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return FigureFormat::Png;
  if (ext == "svg") return FigureFormat::Svg;
  if (ext == "pdf") return FigureFormat::Pdf;
  return std::nullopt;
}

bool drawFigure(FigureFormat format, const Event& event, const Solution& solution, const OutputContext& context,
                std::string& bytes, std::string& error) {
  const FigureScene scene = buildFigureScene(event, solution, context.source, context.geoid);
  const FigureLayout layout = figureLayout(scene);
  bytes.clear();
  const std::string failure = render(format, bytes, layout, scene, event);
  if (!failure.empty()) {
    error = "cannot draw the figure: " + failure;
    return false;
  }
  return true;
}

}  // namespace sightline

