// Figures written to PNG, SVG and PDF: every case gives a whole file with
// something drawn in each panel, and bad paths give a message and no file.
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sys/stat.h>
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

#include "figure_cases.hpp"
#include "png_probe.hpp"
#include "formats/files.hpp"
#include "plot/figure.hpp"
#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"

namespace sightline {
namespace {

// The figure of a solution drawn into the file `path` as the command line does it:
// the format from the extension, written whole or not at all.
bool writeFigure(const std::string& path, const Event& event, const Solution& solution, const OutputContext& context,
                 std::string& error) {
  const std::optional<FigureFormat> format = figureFormatOf(path);
  if (!format) {
    error = "the figure's format follows the file name's extension: .png, .svg or .pdf";
    return false;
  }
  std::string bytes;
  return drawFigure(*format, event, solution, context, bytes, error) && writeFileAtomically(path, bytes, error);
}


namespace fs = std::filesystem;
using test::FigureCase;

// A fresh folder under the test's temporary directory.
fs::path scratch(const std::string& name) {
  const fs::path dir = fs::path(::testing::TempDir()) / ("sightline-plot-" + std::to_string(getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using test::inkInside;
using test::Png;
using test::readPng;

using test::stationPixels;

FigureLayout layoutOf(const FigureCase& c) { return figureLayout(buildFigureScene(c.event, c.solution, "")); }

class EveryCase : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryCase, PngHasTheLayoutsSizeAndInkInEveryPanel) {
  const FigureCase& c = test::figureCase(GetParam());
  const fs::path path = scratch(c.name + "-png") / "figure.png";
  std::string error;
  ASSERT_TRUE(writeFigure(path, c.event, c.solution, {}, error)) << error;
  const Png png = readPng(path);
  ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  const FigureLayout layout = layoutOf(c);
  EXPECT_EQ(cairo_image_surface_get_width(png.get()), static_cast<int>(std::ceil(layout.width)));
  EXPECT_EQ(cairo_image_surface_get_height(png.get()), static_cast<int>(std::ceil(layout.height)));
  EXPECT_GT(inkInside(png.get(), layout.ground), 200);
  EXPECT_GT(inkInside(png.get(), layout.profile), 100);
  EXPECT_GT(inkInside(png.get(), layout.residuals), 100);
  EXPECT_GT(inkInside(png.get(), layout.lag), 100);
  EXPECT_GT(inkInside(png.get(), layout.speed), 100);
  EXPECT_GT(inkInside(png.get(), layout.caption), 100);
}

TEST_P(EveryCase, EveryStationShowsInItsColourWhereItHasData) {
  const FigureCase& c = test::figureCase(GetParam());
  const fs::path path = scratch(c.name + "-colours") / "colours.png";
  std::string error;
  ASSERT_TRUE(writeFigure(path, c.event, c.solution, {}, error)) << error;
  const Png png = readPng(path);
  const FigureLayout layout = layoutOf(c);
  for (std::size_t s = 0; s < c.event.stations.size() && s < 7; ++s) {
    // A station's marker hides under a later one a few hundred metres away.
    bool hidden = false;
    for (std::size_t t = s + 1; t < c.event.stations.size(); ++t)
      hidden = hidden || (std::fabs(c.event.stations[t].position.latitude - c.event.stations[s].position.latitude) < 0.01 &&
                          std::fabs(c.event.stations[t].position.longitude - c.event.stations[s].position.longitude) < 0.01);
    if (!hidden) {
      EXPECT_GT(stationPixels(png.get(), layout.ground, s), 20) << c.event.stations[s].name << " on the map";
    }
    EXPECT_GT(stationPixels(png.get(), layout.legend, s), 20) << c.event.stations[s].name << " in the legend";
    bool hasPoint = false, hasResidual = false;
    for (const SightingResult& r : c.solution.sightings)
      if (r.station == s && r.hasPoint) hasPoint = hasResidual = true;
    const std::vector<TimePoint> lags = buildFigureScene(c.event, c.solution, "").lags;
    if (std::any_of(lags.begin(), lags.end(), [&](const TimePoint& p) { return p.station == s; })) {
      EXPECT_GT(stationPixels(png.get(), layout.lag, s), 4) << c.event.stations[s].name << " in the lag";
    }
    // Open markers of several stations overlap in crowded panels: a few pixels of each stay.
    if (hasPoint) {
      EXPECT_GT(stationPixels(png.get(), layout.profile, s), 4) << c.event.stations[s].name << " in the profile";
    }
    if (hasResidual) {
      EXPECT_GT(stationPixels(png.get(), layout.residuals, s), 4) << c.event.stations[s].name << " in the residuals";
    }
  }
}

TEST_P(EveryCase, SvgIsXmlOfTheLayoutsSize) {
  const FigureCase& c = test::figureCase(GetParam());
  const fs::path path = scratch(c.name + "-svg") / "figure.svg";
  std::string error;
  ASSERT_TRUE(writeFigure(path, c.event, c.solution, {}, error)) << error;
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
  ASSERT_TRUE(parsed) << parsed.description();
  const pugi::xml_node svg = doc.child("svg");
  ASSERT_TRUE(svg);
  const FigureLayout layout = layoutOf(c);
  EXPECT_DOUBLE_EQ(std::atof(svg.attribute("width").value()), layout.width);
  EXPECT_DOUBLE_EQ(std::atof(svg.attribute("height").value()), layout.height);
  EXPECT_GT(svg.select_nodes("//*").size(), 50u);
}

TEST_P(EveryCase, PdfIsAWholeDocument) {
  const FigureCase& c = test::figureCase(GetParam());
  const fs::path path = scratch(c.name + "-pdf") / "figure.pdf";
  std::string error;
  ASSERT_TRUE(writeFigure(path, c.event, c.solution, {}, error)) << error;
  const std::string pdf = slurp(path);
  ASSERT_GT(pdf.size(), 1000u);
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("%%EOF", pdf.size() - 16), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Figures, EveryCase, ::testing::ValuesIn(test::figureCaseNames()),
                         [](const auto& info) { return info.param; });

TEST(FigureCases, EveryNameIsACase) {
  std::vector<std::string> built;
  for (const FigureCase& c : test::figureCases()) built.push_back(c.name);
  EXPECT_EQ(built, test::figureCaseNames());
}

// ------------------------------------------------------------------ paths

struct BadPath {
  std::string name;
  std::string file;  // relative to a scratch folder
};

std::ostream& operator<<(std::ostream& os, const BadPath& c) { return os << c.name; }

class BadExtension : public ::testing::TestWithParam<BadPath> {};

TEST_P(BadExtension, IsRefusedWithoutWritingAnything) {
  const fs::path dir = scratch("bad-" + GetParam().name);
  const FigureCase c = test::figureCase("ThreeStationsWithUncertainty");
  std::string error;
  EXPECT_FALSE(writeFigure(dir / GetParam().file, c.event, c.solution, {}, error));
  EXPECT_NE(error.find(".png, .svg or .pdf"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(dir));
}

INSTANTIATE_TEST_SUITE_P(Paths, BadExtension,
                         ::testing::Values(BadPath{"Jpeg", "figure.jpg"}, BadPath{"NoExtension", "figure"},
                                           BadPath{"PngThenText", "figure.png.txt"},
                                           BadPath{"DotInFolderOnly", "plots.png/figure"},
                                           BadPath{"JustADot", "figure."}),
                         [](const auto& info) { return info.param.name; });

TEST(FigurePaths, ExtensionIgnoresCase) {
  const fs::path dir = scratch("upper");
  const FigureCase c = test::figureCase("ThreeStationsWithUncertainty");
  std::string error;
  ASSERT_TRUE(writeFigure(dir / "FIGURE.PNG", c.event, c.solution, {}, error)) << error;
  EXPECT_EQ(slurp(dir / "FIGURE.PNG").substr(1, 3), "PNG");
}

struct Unwritable {
  std::string name;
  std::string file;    // relative to a scratch folder that holds a regular file "plain.txt", or absolute
  std::string reason;  // part of the message
};

std::ostream& operator<<(std::ostream& os, const Unwritable& c) { return os << c.name; }

class UnwritablePath : public ::testing::TestWithParam<Unwritable> {};

TEST_P(UnwritablePath, GivesTheFileAndTheReasonAndLeavesNoFile) {
  const fs::path dir = scratch("unwritable-" + GetParam().name);
  { std::ofstream(dir / "plain.txt") << "x"; }
  const fs::path path = GetParam().file[0] == '/' ? fs::path(GetParam().file) : dir / GetParam().file;
  const FigureCase c = test::figureCase("ThreeStationsWithUncertainty");
  std::string error;
  EXPECT_FALSE(writeFigure(path, c.event, c.solution, {}, error));
  EXPECT_NE(error.find(": cannot write: "), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_FALSE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritablePath,
    ::testing::Values(Unwritable{"MissingFolder", "no-such-folder/figure.svg", "No such file"},
                      Unwritable{"FileAsFolder", "plain.txt/figure.png", "Not a directory"},
                      // Not even root may create files here.
                      Unwritable{"KernelFolder", "/proc/sightline-figure.pdf", ""}),
    [](const auto& info) { return info.param.name; });

TEST(FigurePaths, ReplacesAnOldFileAndLeavesNoTemporaryBehind) {
  const fs::path dir = scratch("replace");
  { std::ofstream(dir / "figure.svg") << "old"; }
  const FigureCase c = test::figureCase("EightStations");
  std::string error;
  ASSERT_TRUE(writeFigure(dir / "figure.svg", c.event, c.solution, {}, error)) << error;
  EXPECT_NE(slurp(dir / "figure.svg"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  // Permissions as any other new file gets them, not only its owner's.
  { std::ofstream(dir / "plain.txt") << "x"; }
  EXPECT_EQ(fs::status(dir / "figure.svg").permissions(), fs::status(dir / "plain.txt").permissions());
}

// Removes the scratch folders when the tests are done.
class ScratchCleaner : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(fs::path(::testing::TempDir()) / ("sightline-plot-" + std::to_string(getpid())), ignored);
  }
};

const auto* const kCleaner = ::testing::AddGlobalTestEnvironment(new ScratchCleaner);

}  // namespace
}  // namespace sightline
