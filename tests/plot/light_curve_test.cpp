// The light-curve panel: drawn, in every station's colour, below the other panels
// when sightings carry magnitudes; absent (the layout as before) when none do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "png_probe.hpp"
#include "formats/files.hpp"
#include "plot/figure.hpp"
#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

namespace fs = std::filesystem;

// Three stations at 25 frames per second; with `magnitudes`, each sighting's magnitude
// rises to -5 a third of the way along and fades.
Event event(bool magnitudes) {
  const KnownTrajectory truth{{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 20000.0};
  Event e = knownEvent(truth, {{"Hilltop", {47.80, 11.20, 620}, 0, 0.0, 0.8, 0.0, 25.0},
                               {"Lakeside", {48.40, 12.10, 450}, 0, 0.2, 1.0, 0.0, 25.0},
                               {"Ridge", {47.20, 11.70, 1200}, 0, 0.1, 0.9, 0.0, 25.0}});
  if (!magnitudes) return e;
  for (Station& s : e.stations)
    for (std::size_t k = 0; k < s.sightings.size(); ++k) {
      const double f = (*s.sightings[k].time - truth.beginTime) / 3.4;
      s.sightings[k].magnitude = -5.0 + 12.0 * (f - 0.33) * (f - 0.33);
    }
  return e;
}

// Draws the PNG of `e` into the test's temporary folder (and, with SIGHTLINE_LIGHT_CURVE_PNG, there).
test::Png drawn(const Event& e, const Solution& solution, const std::string& name) {
  std::string bytes, error;
  EXPECT_TRUE(drawFigure(FigureFormat::Png, e, solution, {}, bytes, error)) << error;
  const char* keep = std::getenv("SIGHTLINE_LIGHT_CURVE_PNG");
  const fs::path path = keep != nullptr ? fs::path(keep)
                                        : fs::path(::testing::TempDir()) / (name + std::to_string(getpid()) + ".png");
  EXPECT_TRUE(writeFileAtomically(path, bytes, error)) << error;
  test::Png png = test::readPng(path);
  if (keep == nullptr) fs::remove(path);
  return png;
}

TEST(LightCurvePanel, IsDrawnBelowThePanelsInEveryStationsColour) {
  const Event e = event(true);
  const Solution solution = solve(e);
  ASSERT_TRUE(solution.photometry);
  const FigureScene scene = buildFigureScene(e, solution, "");
  ASSERT_FALSE(scene.lightCurve.empty());
  EXPECT_EQ(scene.combinedCurve.size(), solution.photometry->curve.size());
  const FigureLayout layout = figureLayout(scene);
  EXPECT_GT(layout.lightCurve.y, layout.lag.y + layout.lag.height);
  EXPECT_GT(layout.legend.y, layout.lightCurve.y + layout.lightCurve.height);
  const test::Png png = drawn(e, solution, "light-curve");
  ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_height(png.get()), static_cast<int>(std::ceil(layout.height)));
  EXPECT_GT(test::inkInside(png.get(), layout.lightCurve), 500);
  for (std::size_t s = 0; s < e.stations.size(); ++s)
    EXPECT_GT(test::stationPixels(png.get(), layout.lightCurve, s), 20) << e.stations[s].name;
  // The caption names the peak.
  bool peakLine = false;
  for (const std::string& line : scene.caption) peakLine = peakLine || line.rfind("Peak absolute magnitude -5.0", 0) == 0;
  EXPECT_TRUE(peakLine);
}

TEST(LightCurvePanel, IsLeftOutWithoutMagnitudes) {
  const Event with = event(true), without = event(false);
  const FigureLayout a = figureLayout(buildFigureScene(with, solve(with), ""));
  const FigureLayout b = figureLayout(buildFigureScene(without, solve(without), ""));
  EXPECT_EQ(b.lightCurve.width, 0.0);
  EXPECT_EQ(a.legend.y - b.legend.y, 340.0);  // the light curve's row, and nothing else moves
  EXPECT_EQ(a.height - b.height, 340.0 + 19.0);  // and one caption line on the photometry
  EXPECT_EQ(a.lag.y, b.lag.y);
}

}  // namespace
}  // namespace sightline
