// The figures of the examples, as the README shows them. Every run draws them
// into a scratch folder and checks them; with SIGHTLINE_DOC_IMAGES=1 in the
// environment they are written to doc/images instead:
//   SIGHTLINE_DOC_IMAGES=1 build/tests/sightline_plot_tests --gtest_filter='*DocImages*'
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "figure_cases.hpp"
#include "formats/event_json.hpp"
#include "formats/ecsv.hpp"
#include "earth/geoid.hpp"
#include "formats/heights.hpp"
#include "formats/files.hpp"
#include "plot/figure.hpp"
#include "png_probe.hpp"
#include "trajectory/solve.hpp"
#include "uncertainty/monte_carlo.hpp"

namespace sightline {
namespace {

// The ECSV files at `paths`, read and parsed as one event.
EventReadResult readEcsvPaths(const std::vector<std::string>& paths) {
  std::vector<NamedText> texts;
  if (auto error = readInputs(paths, texts)) return EventReadResult{Event{}, error};
  return readEcsvEvent(texts, EcsvOptions{});
}


namespace fs = std::filesystem;

constexpr int kDraws = 1000;  // Monte Carlo draws of the examples' uncertainties

struct DocImage {
  std::string name;                 // test name
  std::string image;                // file name in doc/images
  std::vector<std::string> inputs;  // relative to the examples folder; empty: a synthetic case
  std::string synthetic;            // name of a figure case
};

std::ostream& operator<<(std::ostream& os, const DocImage& c) { return os << c.name; }

fs::path outputFolder() {
  const char* flag = std::getenv("SIGHTLINE_DOC_IMAGES");
  if (flag && std::string(flag) == "1") return fs::path(SIGHTLINE_SOURCE_DIR) / "doc" / "images";
  return fs::path(::testing::TempDir()) / ("sightline-doc-images-" + std::to_string(getpid()));
}

class DocImages : public ::testing::TestWithParam<DocImage> {
 protected:
  static void TearDownTestSuite() {
    const fs::path folder = outputFolder();
    if (folder.filename() != "images") fs::remove_all(folder);
  }
};

TEST_P(DocImages, DrawsTheExample) {
  const DocImage& d = GetParam();
  Event event;
  Solution solution;
  std::string source;
  std::string geoidMessage;
  const std::unique_ptr<Geoid> geoid = Geoid::open(geoidMessage);
  if (d.inputs.empty()) {
    const test::FigureCase c = test::figureCase(d.synthetic);
    ASSERT_EQ(c.name, d.synthetic);
    event = c.event;
    solution = c.solution;
    source = "synthetic event";
  } else {
    std::vector<std::string> paths;
    for (const std::string& input : d.inputs) paths.push_back(std::string(SIGHTLINE_EXAMPLES_DIR) + "/" + input);
    if (!std::all_of(paths.begin(), paths.end(), [](const std::string& p) { return fs::exists(p); }))
      GTEST_SKIP() << "example not present";
    EventReadResult read;
    if (paths.size() == 1) {
      std::ifstream in(paths[0]);
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      read = readEventJson(text, d.inputs[0]);
    } else {
      read = readEcsvPaths(paths);
    }
    ASSERT_FALSE(read.error) << read.error->text();
    event = read.event;
    const std::optional<InputError> heights = toEllipsoidHeights(event, geoid.get(), geoidMessage);
    if (heights) GTEST_SKIP() << heights->text();
    solution = solve(event);
    ASSERT_EQ(solution.status, SolveStatus::Trajectory);
    MonteCarloOptions options = event.monteCarlo;
    options.draws = kDraws;
    estimateUncertainty(event, solution, options);
    for (std::size_t i = 0; i < d.inputs.size(); ++i) source += (i ? " " : "") + d.inputs[i];
  }
  const fs::path folder = outputFolder();
  fs::create_directories(folder);
  const fs::path path = folder / d.image;
  std::string error;
  std::string bytes;
  ASSERT_TRUE(drawFigure(*figureFormatOf(path), event, solution, OutputContext{geoid.get(), source}, bytes, error)) << error;
  ASSERT_TRUE(writeFileAtomically(path, bytes, error)) << error;
  const test::Png png = test::readPng(path);
  ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  const FigureLayout layout = figureLayout(buildFigureScene(event, solution, source, geoid.get()));
  EXPECT_EQ(cairo_image_surface_get_height(png.get()), static_cast<int>(std::ceil(layout.height)));
  EXPECT_GT(test::inkInside(png.get(), layout.ground), 500);
  EXPECT_GT(test::inkInside(png.get(), layout.profile), 200);
  EXPECT_GT(test::inkInside(png.get(), layout.residuals), 200);
  EXPECT_GT(test::inkInside(png.get(), layout.lag), 200);
  EXPECT_GT(test::inkInside(png.get(), layout.speed), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DocImages,
    ::testing::Values(DocImage{"ThreeStations", "three-stations.png", {"three-stations.json"}, ""},
                      DocImage{"FourSightings", "four-sightings.png", {"four-sightings.json"}, ""},
                      DocImage{"EcsvNetwork", "ecsv-network.png",
                               {"ecsv/ev_20261114_210307_A.ecsv", "ecsv/ev_20261114_210307_B.ecsv",
                                "ecsv/ev_20261114_210307_C.ecsv"},
                               ""},
                      DocImage{"EightStations", "eight-stations.png", {}, "EightStations"},
                      DocImage{"OnePlaneOnly", "one-plane-only.png", {}, "OnePlaneOnly"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sightline
