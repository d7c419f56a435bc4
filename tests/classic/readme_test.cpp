// The README and the manual page show what the tool prints for the shipped
// examples: the built tool must print exactly that, without warnings.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "run_helpers.hpp"

namespace sightline {
namespace {

using testing::readFile;
using testing::runTool;

const std::string kFence = "```";

std::string readme() { return readFile(std::string(SIGHTLINE_SOURCE_DIR) + "/README.md"); }
std::string examplePath(const std::string& name) { return std::string(SIGHTLINE_EXAMPLES_DIR) + "/" + name; }

// The fenced block that follows the README's sentence "...`examples/NAME` ... prints...".
std::string shownOutput(const std::string& text, const std::string& name) {
  for (std::size_t at = text.find("examples/" + name); at != std::string::npos;
       at = text.find("examples/" + name, at + 1)) {
    const std::size_t fence = text.find(kFence + "\n", at);
    if (fence == std::string::npos) break;
    // The mention and "prints" must be in the paragraph just before the block.
    const std::string lead = text.substr(at, fence - at);
    if (lead.find("prints") == std::string::npos || lead.find("\n\n") + 2 != lead.size()) continue;
    const std::size_t begin = fence + kFence.size() + 1;
    const std::size_t end = text.find("\n" + kFence, begin);
    if (end == std::string::npos) break;
    return text.substr(begin, end - begin + 1);
  }
  ADD_FAILURE() << "the README shows no output for " << name;
  return "";
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

struct Example {
  const char* name;
  const char* file;
};
void PrintTo(const Example& e, std::ostream* os) { *os << e.file; }

class ReadmeExample : public ::testing::TestWithParam<Example> {};

TEST_P(ReadmeExample, PrintsWhatTheReadmeShows) {
  const auto result = runTool(examplePath(GetParam().file));
  EXPECT_EQ(result.output, shownOutput(readme(), GetParam().file));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.warnings, "");
}

INSTANTIATE_TEST_SUITE_P(Examples, ReadmeExample,
                         ::testing::Values(Example{"four_sightings", "four-sightings.txt"},
                                           Example{"three_sightings", "three-sightings.txt"},
                                           Example{"two_sightings", "two-sightings.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Readme, WorkedExampleIsTheShippedFile) {
  const std::string text = readme();
  const std::string heading = "`examples/four-sightings.txt`:\n\n" + kFence + "\n";
  const std::size_t begin = text.find(heading);
  ASSERT_NE(begin, std::string::npos);
  const std::size_t end = text.find(kFence, begin + heading.size());
  const auto shown = splitLines(text.substr(begin + heading.size(), end - begin - heading.size()));
  const auto file = splitLines(readFile(examplePath("four-sightings.txt")));
  ASSERT_GE(shown.size(), 22u);
  ASSERT_GE(file.size(), 22u);
  for (std::size_t line = 0; line < 21; ++line) {
    // The README explains lines with "<- ..." after the value.
    std::string value = shown[line].substr(0, shown[line].find("<-"));
    value.erase(value.find_last_not_of(' ') + 1);
    EXPECT_EQ(value, file[line]) << "line " << line + 1;
  }
  const std::string note = shown[21].substr(0, shown[21].find(" ..."));
  EXPECT_EQ(file[21].rfind(note, 0), 0u) << "line 22: " << file[21];
}

TEST(ManualPage, ExampleMatchesTheTool) {
  const std::string page = readFile(std::string(SIGHTLINE_SOURCE_DIR) + "/doc/sightline.1");
  const std::string start = ".SH EXAMPLE\n.nf\n$ sightline examples/two-sightings.txt\n";
  const std::size_t begin = page.find(start);
  ASSERT_NE(begin, std::string::npos);
  const std::size_t end = page.find(".fi\n", begin);
  ASSERT_NE(end, std::string::npos);
  const std::string shown = page.substr(begin + start.size(), end - begin - start.size());
  EXPECT_EQ(runTool(examplePath("two-sightings.txt")).output, shown);
}

}  // namespace
}  // namespace sightline
