// The command line as users meet it: help, version, usage errors, bad input,
// solve and its outputs, exit statuses, and the classic face left alone.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_helpers.hpp"
#include "cli/command_line.hpp"
#include "classic/run_control.hpp"

namespace sightline {
namespace {

using testing::readText;
using testing::replaced;
using testing::runSightline;
using testing::ToolRun;
using testing::writeTemp;

const std::string kExamples = SIGHTLINE_EXAMPLES_DIR;

// ------------------------------------------------------------ help and usage

struct HelpCase {
  std::string name;
  std::string arguments;
  std::vector<std::string> mentions;  // each must appear on standard output
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class HelpText : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpText, GoesToStandardOutputWithStatusZero) {
  const ToolRun run = runSightline(GetParam().arguments);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  for (const std::string& m : GetParam().mentions) EXPECT_NE(run.out.find(m), std::string::npos) << m << "\n" << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HelpText,
    ::testing::Values(HelpCase{"Top", "--help", {"sightline FILE", "solve", "convert", "Exit status", "3 an input file"}},
                      HelpCase{"TopShort", "-h", {"sightline FILE", "solve", "convert"}},
                      HelpCase{"Solve", "solve --help",
                               {"--format", "--output", "--refraction", "--ecsv-heights", "--mc", "--seed", "--threads",
                                "--plot", "INPUT"}},
                      HelpCase{"Convert", "convert --help", {"--output", "classic", "ECSV"}}),
    [](const auto& info) { return info.param.name; });

TEST(Version, IsTheCMakeProjectsOnOneLine) {
  const ToolRun run = runSightline("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("sightline ") + SIGHTLINE_PROJECT_VERSION + "\n");
  EXPECT_EQ(run.err, "");
}

TEST(Version, ManualPagesCarryTheProjectsVersion) {
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(SIGHTLINE_SOURCE_DIR) + "/doc")) {
    if (entry.path().extension() != ".1") continue;
    ++pages;
    const std::string page = entry.path().filename().string();
    std::ifstream in(entry.path());
    std::string heading;
    std::getline(in, heading);
    EXPECT_NE(heading.find(std::string("\"Sightline ") + SIGHTLINE_PROJECT_VERSION + "\""), std::string::npos)
        << page << ": " << heading;
  }
  EXPECT_GE(pages, 2);
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string expected;  // part of the message
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class UsageError : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageError, IsStatusTwoWithAMessageAndNothingOnStandardOutput) {
  const ToolRun run = runSightline(GetParam().arguments);
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("sightline: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(GetParam().expected), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsageError,
    ::testing::Values(UsageCase{"UnknownOption", "--bogus", "bogus"},
                      UsageCase{"SolveWithoutInput", "solve", "INPUT"},
                      UsageCase{"UnknownCommand", "--help-me", "help-me"},
                      UsageCase{"UnknownFormat", "solve --format pdf examples/three-stations.json", "pdf"},
                      UsageCase{"UnknownRefraction", "solve --refraction bent examples/three-stations.json", "bent"},
                      UsageCase{"NegativeDraws", "solve --mc -3 examples/three-stations.json", "--mc"},
                      UsageCase{"DrawsNotANumber", "solve --mc many examples/three-stations.json", "many"},
                      UsageCase{"NegativeSeed", "solve --seed -4 --mc 3 examples/three-stations.json", "--seed"},
                      UsageCase{"TooManyDraws", "solve --mc 99999999999 examples/three-stations.json", "--mc"},
                      UsageCase{"TwoEventFiles", "solve examples/three-stations.json examples/four-sightings.json",
                                "not an ECSV file"},
                      UsageCase{"ConvertAnEventFile", "convert examples/three-stations.json", "already an event file"},
                      UsageCase{"ConvertWithoutInput", "convert", "INPUT"},
                      UsageCase{"FigureAsBitmap", "solve --plot figure.bmp examples/three-stations.json", ".svg, .png or .pdf"}),
    [](const auto& info) { return info.param.name; });

// ------------------------------------------------------------ bad input

struct BadInputCase {
  std::string name;
  std::string from;  // piece of the three-station example to replace
  std::string to;
  std::string where;  // what follows "sightline: FILE" in the message
  std::string expected;
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class BadEventFile : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadEventFile, IsStatusThreeWithFileWhereAndWhatAndNothingOnStandardOutput) {
  const BadInputCase& c = GetParam();
  const std::string path = writeTemp(c.name + ".json", replaced(readText(kExamples + "/three-stations.json"), c.from, c.to));
  const ToolRun run = runSightline("solve --format json '" + path + "'");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("sightline: " + path + c.where, 0), 0u) << run.err;
  EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
  EXPECT_EQ(run.err.back(), '\n');
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadEventFile,
    ::testing::Values(
        BadInputCase{"SyntaxError", "\"version\": 1,", "\"version\": 1", ":4:3: ", "not valid JSON"},
        BadInputCase{"ElevationOutOfRange", "\"elevation\": 47.007", "\"elevation\": 147.007",
                     ": stations[2].sightings[0].elevation: ", "from -90 to 90"},
        BadInputCase{"MisspelledKey", "\"longitude\": 12.1", "\"longtitude\": 12.1", ": stations[1].longtitude: ",
                     "unknown key"},
        BadInputCase{"LatitudeOutOfRange", "\"latitude\": 47.3", "\"latitude\": 147.3", ": stations[2].latitude: ",
                     "from -90 to 90"},
        BadInputCase{"BadTime", "2026-11-14T21:03:48.292Z", "2026-11-14T25:03:48.292Z",
                     ": stations[0].sightings[1].time: ", "ISO 8601"}),
    [](const auto& info) { return info.param.name; });

TEST(BadInput, MissingFileIsStatusThree) {
  const ToolRun run = runSightline("solve no-such-event.json");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "sightline: no-such-event.json: cannot open: No such file or directory\n");
}

TEST(BadInput, FolderIsStatusThree) {
  const ToolRun run = runSightline("solve examples");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "sightline: examples: cannot read: Is a directory\n");
}

TEST(BadInput, StandardInputIsNamedInTheMessage) {
  const ToolRun run = runSightline("solve -", "{\"format\": 7}");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("sightline: <stdin>: format: expected", 0), 0u) << run.err;
}

// ------------------------------------------------------------ solving

// Numbers of two JSON documents agree to `relative` (residuals, arcseconds
// near zero, to 1e-5 arcseconds: a few micrometres at the ranges of a
// fireball); everything else exactly.
void expectSameJson(const nlohmann::json& a, const nlohmann::json& b, const std::string& path, double relative) {
  if (a.is_number() && b.is_number()) {
    const double x = a.get<double>(), y = b.get<double>();
    const bool arcseconds = path.size() >= 9 && path.compare(path.size() - 9, 9, ".residual") == 0;
    const double floor = arcseconds ? 1e-5 : 1e-12;
    EXPECT_LE(std::fabs(x - y), relative * std::max(std::fabs(x), std::fabs(y)) + floor) << path << ": " << x << " vs " << y;
    return;
  }
  ASSERT_EQ(a.type(), b.type()) << path;
  if (a.is_object()) {
    ASSERT_EQ(a.size(), b.size()) << path;
    for (auto it = a.begin(); it != a.end(); ++it) {
      ASSERT_TRUE(b.contains(it.key())) << path << "." << it.key();
      expectSameJson(it.value(), b.at(it.key()), path + "." + it.key(), relative);
    }
  } else if (a.is_array()) {
    ASSERT_EQ(a.size(), b.size()) << path;
    for (std::size_t i = 0; i < a.size(); ++i) expectSameJson(a[i], b[i], path + "[" + std::to_string(i) + "]", relative);
  } else {
    EXPECT_EQ(a, b) << path;
  }
}

class ExampleSolution : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleSolution, TextIsTheExpectedText) {
  const ToolRun run = runSightline("solve examples/" + GetParam() + ".json");
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_EQ(run.out, readText(kExamples + "/expected/" + GetParam() + ".txt"));
}

TEST_P(ExampleSolution, JsonIsTheExpectedJson) {
  const ToolRun run = runSightline("solve --format json examples/" + GetParam() + ".json");
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  const auto expected = nlohmann::json::parse(readText(kExamples + "/expected/" + GetParam() + ".json"));
  expectSameJson(nlohmann::json::parse(run.out), expected, "", 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleSolution, ::testing::Values("three-stations", "four-sightings"),
                         [](const auto& info) {
                           std::string name;
                           for (char ch : info.param) {
                             if (ch != '-') name += ch;
                           }
                           return name;
                         });

TEST(Solve, JsonNumbersReadBackToTheValuesPrinted) {
  const ToolRun run = runSightline("solve --format json examples/three-stations.json");
  ASSERT_EQ(run.status, kExitSolved);
  const auto j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["format"], "sightline-solution");
  EXPECT_EQ(j["version"], 1);
  EXPECT_EQ(j["status"], "trajectory");
  const double height = j["trajectory"]["begin"]["height"].get<double>();
  EXPECT_EQ(nlohmann::json(height).dump(), j["trajectory"]["begin"]["height"].dump());
  EXPECT_EQ(j["sightings"].size(), 9u);
  EXPECT_EQ(j["sightings"][4]["station"], "Lakeside Station");
  EXPECT_EQ(j["sightings"][4]["label"], "begin");
  EXPECT_EQ(j["stationPairs"].size(), 3u);
  EXPECT_EQ(j["points"][0]["stations"], nlohmann::json({"Hilltop Observatory", "Lakeside Station"}));
}

TEST(Solve, RefractionOptionOverridesTheFile) {
  const ToolRun none = runSightline("solve --format json examples/four-sightings.json --refraction none");
  const ToolRun file = runSightline("solve --format json examples/four-sightings.json");
  ASSERT_EQ(none.status, kExitSolved);
  ASSERT_EQ(file.status, kExitSolved);
  const auto a = nlohmann::json::parse(none.out), b = nlohmann::json::parse(file.out);
  EXPECT_EQ(a["sightings"][0]["refraction"], 0.0);
  EXPECT_GT(b["sightings"][0]["refraction"].get<double>(), 1.0);  // arcseconds at 57 degrees
}

// The timed example is fitted with gravity by default; the option gives the straight line,
// whose begin lies where the straight-line truth the example was made from starts.
TEST(Solve, TrajectoryModelOptionOverridesTheDefault) {
  const ToolRun gravity = runSightline("solve --format json examples/three-stations.json");
  const ToolRun straight = runSightline("solve --format json --trajectory-model straight examples/three-stations.json");
  ASSERT_EQ(gravity.status, kExitSolved) << gravity.err;
  ASSERT_EQ(straight.status, kExitSolved) << straight.err;
  const auto g = nlohmann::json::parse(gravity.out), s = nlohmann::json::parse(straight.out);
  EXPECT_EQ(g["trajectory"]["model"], "gravity");
  EXPECT_EQ(s["trajectory"]["model"], "straight");
  EXPECT_NE(g["trajectory"]["begin"]["height"], s["trajectory"]["begin"]["height"]);
  EXPECT_TRUE(g["trajectory"]["endRadiant"].contains("azimuth"));
  EXPECT_EQ(runSightline("solve --trajectory-model curved examples/three-stations.json").status, kExitUsage);
}

TEST(Solve, MonteCarloAddsSpreadsAndDrawCounts) {
  const ToolRun run = runSightline("solve --format json --mc 40 --seed 3 --threads 2 examples/three-stations.json");
  ASSERT_EQ(run.status, kExitSolved) << run.err;
  const auto j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["monteCarlo"]["draws"], 40);
  EXPECT_EQ(j["monteCarlo"]["seed"], 3);
  EXPECT_GT(j["trajectory"]["begin"]["sigma"]["up"].get<double>(), 0.0);
  EXPECT_EQ(j["trajectory"]["begin"]["covariance"].size(), 3u);
  const auto& interval = j["trajectory"]["end"]["interval95"]["height"];
  EXPECT_LT(interval[0].get<double>(), j["trajectory"]["end"]["height"].get<double>() + 1.0);
  EXPECT_GT(interval[1].get<double>(), j["trajectory"]["end"]["height"].get<double>() - 1.0);
  EXPECT_TRUE(j["trajectory"]["radiant"].contains("sigma"));
  const ToolRun text = runSightline("solve --mc 40 --seed 3 examples/three-stations.json");
  ASSERT_EQ(text.status, kExitSolved);
  EXPECT_NE(text.out.find(" ± "), std::string::npos);
  EXPECT_NE(text.out.find("40 Monte Carlo draws, "), std::string::npos) << text.out;
}

TEST(Solve, WarningsGoToStandardErrorAndStayInTheReport) {
  // One sighting two degrees off on the sky: far beyond three sigma.
  const std::string path = writeTemp("off.json", replaced(readText(kExamples + "/three-stations.json"),
                                                          "\"azimuth\": 98.658", "\"azimuth\": 102.658"));
  const ToolRun json = runSightline("solve --format json '" + path + "'");
  ASSERT_EQ(json.status, kExitSolved) << json.err;
  const auto j = nlohmann::json::parse(json.out);
  ASSERT_FALSE(j["warnings"].empty());
  EXPECT_NE(json.err.find("sightline: warning: " + j["warnings"][0].get<std::string>() + "\n"), std::string::npos)
      << json.err;
  const ToolRun text = runSightline("solve '" + path + "'");
  EXPECT_NE(text.err.find("sightline: warning: "), std::string::npos);
  EXPECT_NE(text.out.find("  - " + j["warnings"][0].get<std::string>()), std::string::npos);
}

TEST(Solve, NoSolutionIsStatusFourWithAMessage) {
  // Both stations at one place, seeing the same: their planes of sight coincide.
  const std::string station = R"("latitude": 47.8, "longitude": 11.2, "height": 620,
      "sightings": [{"azimuth": 10, "elevation": 30}, {"azimuth": 20, "elevation": 30}]})";
  const std::string path = writeTemp("same-place.json", R"({"format": "sightline-event", "version": 1, "stations": [
      {"name": "A", )" + station + R"(, {"name": "B", )" + station + "]}");
  const ToolRun run = runSightline("solve --format json '" + path + "'");
  ASSERT_EQ(run.status, kExitNoSolution) << run.out << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out)["status"], "no-geometry");
  EXPECT_NE(run.err.find("sightline: " + path + ": no solution: "), std::string::npos) << run.err;
}

TEST(Solve, OneEcsvFileIsAUsageError) {
  const std::string path = writeTemp("camera.ecsv", "# %ECSV 1.0\n# ---\n# datatype: []\n");
  const ToolRun run = runSightline("solve '" + path + "'");
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("two or more files"), std::string::npos) << run.err;
}

struct FormatCase {
  std::string name;
  std::string format;
  std::string begins;  // the output starts with this
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class OutputFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(OutputFormat, IsWrittenToStandardOutput) {
  const ToolRun run = runSightline("solve --format " + GetParam().format + " examples/three-stations.json");
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  // Standard error carries warnings only (the example flies at constant speed: the speed model says so).
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("sightline: warning: ", 0), 0u) << line;
  EXPECT_EQ(run.out.rfind(GetParam().begins, 0), 0u) << run.out.substr(0, 200);
}

INSTANTIATE_TEST_SUITE_P(Formats, OutputFormat,
                         ::testing::Values(FormatCase{"Text", "text", "Fireball solution: "},
                                           FormatCase{"Json", "json", "{\n  \"format\": \"sightline-solution\""},
                                           FormatCase{"GeoJson", "geojson", "{"},
                                           FormatCase{"Kml", "kml", "<?xml"},
                                           FormatCase{"Csv", "csv", "station,"}),
                         [](const auto& info) { return info.param.name; });

TEST(Solve, EcsvFilesAndTheirConvertedEventGiveTheSameTrajectory) {
  const std::string cameras = "examples/ecsv/ev_20261114_210307_A.ecsv examples/ecsv/ev_20261114_210307_B.ecsv "
                              "examples/ecsv/ev_20261114_210307_C.ecsv";
  const ToolRun direct = runSightline("solve --format json " + cameras);
  ASSERT_EQ(direct.status, kExitSolved) << direct.err;
  const std::string event = writeTemp("cameras.json", "");
  const ToolRun convert = runSightline("convert -o '" + event + "' " + cameras);
  ASSERT_EQ(convert.status, kExitSolved) << convert.err;
  const ToolRun converted = runSightline("solve --format json '" + event + "'");
  ASSERT_EQ(converted.status, kExitSolved) << converted.err;
  // Each camera's "begin" and "end" are its own: the event file says not to triangulate them.
  EXPECT_NE(readText(event).find("\"triangulateLabels\": false"), std::string::npos);
  const auto a = nlohmann::json::parse(direct.out), b = nlohmann::json::parse(converted.out);
  EXPECT_EQ(a["status"], "trajectory");
  EXPECT_EQ(a["points"], b["points"]);
  for (const char* end : {"begin", "end"}) {
    for (const char* field : {"latitude", "longitude", "height"}) {
      EXPECT_NEAR(a["trajectory"][end][field].get<double>(), b["trajectory"][end][field].get<double>(),
                  1e-9 * std::fabs(a["trajectory"][end][field].get<double>()))
          << end << "." << field;
    }
  }
}

TEST(Solve, PlotIsWrittenBesideTheReport) {
  const std::string figure = writeTemp("figure.svg", "");
  const ToolRun run = runSightline("solve --plot '" + figure + "' examples/three-stations.json");
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_EQ(run.out.rfind("Fireball solution: ", 0), 0u);
  EXPECT_NE(readText(figure).find("<svg"), std::string::npos);
  const ToolRun bad = runSightline("solve --plot /nonexistent-folder/figure.png examples/three-stations.json");
  EXPECT_EQ(bad.status, kExitOutput);
  EXPECT_NE(bad.err.find("\nsightline: /nonexistent-folder/figure.png: "), std::string::npos) << bad.err;
}

// ------------------------------------------------------------ output files

TEST(OutputFile, HoldsWhatStandardOutputWouldAndNothingIsPrinted) {
  const std::string target = writeTemp("report.json", "old content");
  const ToolRun toFile = runSightline("solve --format json --output '" + target + "' examples/three-stations.json");
  const ToolRun toStdout = runSightline("solve --format json examples/three-stations.json");
  EXPECT_EQ(toFile.status, kExitSolved);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(readText(target), toStdout.out);
}

TEST(OutputFile, ThatCannotBeWrittenIsStatusFiveAndLeavesNothing) {
  const ToolRun run = runSightline("solve --output /nonexistent-folder/report.txt examples/three-stations.json");
  EXPECT_EQ(run.status, kExitOutput);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("\nsightline: /nonexistent-folder/report.txt: cannot write"), std::string::npos) << run.err;
}

TEST(OutputFile, BadInputLeavesTheOldFileAlone) {
  const std::string target = writeTemp("kept.txt", "old content");
  const std::string bad = writeTemp("bad.json", "{");
  const ToolRun run = runSightline("solve --output '" + target + "' '" + bad + "'");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_EQ(readText(target), "old content");
}

// ------------------------------------------------------------ the classic face

struct Captured {
  int status = -1;
  std::string out, err;
};

std::string contentOf(std::FILE* f) {
  std::rewind(f);
  std::string s;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) s.append(buffer, n);
  std::fclose(f);
  return s;
}

template <typename Run>
Captured capture(Run run) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Captured c;
  c.status = run(out, err);
  c.out = contentOf(out);
  c.err = contentOf(err);
  return c;
}

struct ClassicCase {
  std::string name;
  std::vector<std::string> arguments;  // after the program name
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const ClassicCase& c, std::ostream* os) { *os << c.name; }

class ClassicDispatch : public ::testing::TestWithParam<ClassicCase> {};

TEST_P(ClassicDispatch, BehavesExactlyAsTheClassicRun) {
  std::vector<std::string> words = {"sightline"};
  for (const std::string& a : GetParam().arguments) words.push_back(a);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  const Captured classic = capture([&](std::FILE* o, std::FILE* e) { return runClassicCommandLine(argc, argv.data(), o, e); });
  const Captured dispatched = capture([&](std::FILE* o, std::FILE* e) { return runCommandLine(argc, argv.data(), o, e); });
  EXPECT_EQ(dispatched.status, classic.status);
  EXPECT_EQ(dispatched.out, classic.out);
  EXPECT_EQ(dispatched.err, classic.err);
  EXPECT_FALSE(classic.out.empty());
}

const std::string kFour = kExamples + "/four-sightings.txt";

INSTANTIATE_TEST_SUITE_P(
    Arguments, ClassicDispatch,
    ::testing::Values(ClassicCase{"NoArguments", {}}, ClassicCase{"File", {kFour}},
                      ClassicCase{"FileAndMore", {kFour, "solve", "--help"}},
                      ClassicCase{"DoubleDashThenFile", {"--", kFour}}, ClassicCase{"Dash", {"-"}},
                      ClassicCase{"EmptyArgument", {""}}, ClassicCase{"MissingFile", {"no-such-file.txt"}},
                      ClassicCase{"ThreeSightings", {kExamples + "/three-sightings.txt"}},
                      ClassicCase{"TwoSightings", {kExamples + "/two-sightings.txt"}},
                      ClassicCase{"SolveLookalike", {"solve.txt"}}),
    [](const auto& info) { return info.param.name; });

TEST(ClassicFace, BuiltToolPrintsTheClassicReport) {
  const ToolRun run = runSightline("examples/four-sightings.txt");
  EXPECT_EQ(run.status, kExitResults);
  EXPECT_EQ(run.out.rfind("Intersection of Viewlines from Hilltop Observatory", 0), 0u) << run.out;
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace sightline
