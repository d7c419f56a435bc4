// The built tool on observation files: standard output byte for byte, and the exit status.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "run_helpers.hpp"

namespace sightline {
namespace {

using testing::runTool;
using testing::writeTempFile;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string casePath(const std::string& name) { return std::string(SIGHTLINE_CASES_DIR) + "/" + name; }

struct ToolCase {
  const char* name;
  int status;
};
void PrintTo(const ToolCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class ObservationFiles : public ::testing::TestWithParam<ToolCase> {};

// The sign of a not-a-number depends on how the compiler orders the operands
// of operations that meet two of them; it is not part of the result.
std::string withoutNaNSign(std::string text) {
  for (std::size_t at = text.find("-nan"); at != std::string::npos; at = text.find("-nan", at)) text.erase(at, 1);
  return text;
}

// Warnings are on in the tool: standard output stays byte for byte as stored,
// and every line of standard error is a warning naming the file.
TEST_P(ObservationFiles, PrintExactlyTheExpectedReport) {
  const std::string name = GetParam().name;
  const std::string path = casePath(name + ".txt");
  const auto result = runTool(path);
  EXPECT_EQ(withoutNaNSign(result.output), withoutNaNSign(readFile(casePath(name + ".out"))));
  EXPECT_EQ(result.status, GetParam().status);
  for (std::size_t at = 0; at < result.warnings.size(); at = result.warnings.find('\n', at) + 1) {
    EXPECT_EQ(result.warnings.compare(at, path.size() + 11, "sightline: " + path), 0) << result.warnings;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ObservationFiles,
    ::testing::Values(ToolCase{"four-mode0", 0}, ToolCase{"four-mode1", 0}, ToolCase{"four-mode2", 0},
                      ToolCase{"three-mode0", 0}, ToolCase{"three-mode1", 0}, ToolCase{"three-mode2", 0},
                      ToolCase{"three-viewpoint1-single", 0}, ToolCase{"two-mode0", 0}, ToolCase{"two-mode1", 0},
                      ToolCase{"two-mode2", 0}, ToolCase{"two-slots-2-and-3", 0}, ToolCase{"flags-rounded", 0},
                      ToolCase{"negative-longitude", 0}, ToolCase{"empty-names", 0}, ToolCase{"number-forms", 0},
                      ToolCase{"letters-as-values", 0}, ToolCase{"below-horizon", 0}, ToolCase{"huge-values", 0},
                      ToolCase{"pole-station", 0}, ToolCase{"notes-after-line-21", 0},
                      ToolCase{"unused-slot-plane", 0}, ToolCase{"too-few", 1}, ToolCase{"each-viewpoint", 1},
                      ToolCase{"internal-error", 1}, ToolCase{"cant-solve", 1}, ToolCase{"empty", 1},
                      ToolCase{"short", 1}, ToolCase{"slowest", 0}),
    [](const ::testing::TestParamInfo<ToolCase>& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (c == '-') c = '_';
      return name;
    });

TEST(ToolMessages, ArgumentsAndUnreadableFiles) {
  auto none = runTool("");
  EXPECT_EQ(none.output, "No File specified\n");
  EXPECT_EQ(none.status, 1);
  auto missing = runTool("'/no/such/file 1.txt' extra arguments");
  EXPECT_EQ(missing.output, "Can't open /no/such/file 1.txt\n");
  EXPECT_EQ(missing.status, 1);
  auto directory = runTool("/");
  EXPECT_EQ(directory.output, "Too few observations\n");
  EXPECT_EQ(directory.status, 1);
  auto extra = runTool(casePath("two-mode2.txt") + " " + casePath("four-mode0.txt"));
  EXPECT_EQ(extra.output, readFile(casePath("two-mode2.out")));
}

TEST(ToolMessages, DashDashBeforeAFileNameStartingWithADash) {
  // A file in the working folder whose name starts with a dash.
  const std::string name = "-sightline-dashed-" + std::to_string(::getpid()) + ".txt";
  {
    std::ofstream file(name, std::ios::binary);
    file << readFile(casePath("two-mode2.txt"));
  }
  const auto result = runTool("-- " + name);
  EXPECT_EQ(result.output, readFile(casePath("two-mode2.out")));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.warnings, "");
  std::remove(name.c_str());
}

// Variants of one file that must read the same as the original.
struct Variant {
  const char* name;
  std::string (*make)(const std::string&);
};
void PrintTo(const Variant& c, std::ostream* os) { *os << '"' << c.name << '"'; }

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

class SameReading : public ::testing::TestWithParam<Variant> {};

TEST_P(SameReading, AsTheOriginal) {
  const std::string original = readFile(casePath("four-mode0.txt"));
  const auto path = writeTempFile(std::string(GetParam().name) + ".txt", GetParam().make(original));
  const auto result = runTool(path);
  EXPECT_EQ(result.output, readFile(casePath("four-mode0.out")));
  EXPECT_EQ(result.status, 0);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Variants, SameReading,
    ::testing::Values(
        Variant{"crlf", [](const std::string& s) { return replaceAll(s, "\n", "\r\n"); }},
        Variant{"cr-inside", [](const std::string& s) { return replaceAll(s, "11.20", "11.\r20"); }},
        Variant{"no-final-line-feed", [](const std::string& s) { return s.substr(0, s.size() - 1); }},
        Variant{"ctrl-z-after-flags", [](const std::string& s) { return s + "\x1a" + "garbage\n2\n2\n"; }},
        Variant{"nul-after-value", [](const std::string& s) { return replaceAll(s, "620\n", std::string("620\0 99\n", 8)); }},
        Variant{"long-note", [](const std::string& s) { return s + std::string(5000, '#') + "\n1\n"; }},
        Variant{"notes", [](const std::string& s) { return s + "note 22\n" + std::string(9, '\n') + "32\n33\n"; }}),
    [](const ::testing::TestParamInfo<Variant>& info) { return replaceAll(info.param.name, "-", "_"); });

TEST(HostileFiles, CtrlZBeforeTheFlagsEndsTheData) {
  const std::string original = readFile(casePath("four-mode0.txt"));
  const auto path = writeTempFile("ctrl-z-early.txt", replaceAll(original, "38.78\n", "38.78\n\x1a"));
  const auto result = runTool(path);
  EXPECT_EQ(result.output, "Too few observations\n");
  EXPECT_EQ(result.status, 1);
  std::remove(path.c_str());
}

TEST(HostileFiles, OverLongLinesDoNotShiftLaterLines) {
  // A 127-character name and a 400-character name keep every later value in place.
  const std::string original = readFile(casePath("four-mode0.txt"));
  for (const std::size_t length : {127u, 128u, 400u}) {
    const std::string name(length, 'N');
    const auto path = writeTempFile("long-name.txt", replaceAll(original, "Hilltop Observatory", name));
    const auto result = runTool(path);
    const std::string kept(std::min<std::size_t>(length, 127), 'N');
    EXPECT_EQ(result.output, replaceAll(readFile(casePath("four-mode0.out")), "Hilltop Observatory", kept));
    std::remove(path.c_str());
  }
}

}  // namespace
}  // namespace sightline
