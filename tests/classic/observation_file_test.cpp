#include "classic/observation_file.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <string>

namespace sightline {
namespace {

struct NumberCase {
  const char* text;
  double value;
};
void PrintTo(const NumberCase& c, std::ostream* os) {
  *os << '"';
  for (const char ch : std::string(c.text)) {
    if (ch == '\t') {
      *os << "\\t";
    } else if (ch == '\v') {
      *os << "\\v";
    } else if (ch == '\f') {
      *os << "\\f";
    } else {
      *os << ch;
    }
  }
  *os << '"';
}

// A test name spelling out the text: "-0.5" becomes "minus0point5".
std::string testName(const std::string& text) {
  if (text.empty()) return "empty";
  std::string name;
  for (const char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      name += c;
    } else {
      name += c == '.' ? "point" : c == '-' ? "minus" : c == '+' ? "plus" : c == ',' ? "comma" : "_";
    }
  }
  return name;
}

class LeadingNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumber, TakesTheLongestDecimalPrefix) {
  const double got = leadingNumber(GetParam().text);
  EXPECT_EQ(got, GetParam().value) << '"' << GetParam().text << '"';
  EXPECT_EQ(std::signbit(got), std::signbit(GetParam().value)) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeadingNumber,
    ::testing::Values(NumberCase{"  12.5", 12.5}, NumberCase{"12,5", 12.0}, NumberCase{"1e3", 1000.0},
                      NumberCase{"-0.5", -0.5}, NumberCase{"+.25", 0.25}, NumberCase{"7.", 7.0},
                      NumberCase{"\t\v\f 3x", 3.0}, NumberCase{"letters", 0.0}, NumberCase{"", 0.0},
                      NumberCase{".", 0.0}, NumberCase{"-", 0.0}, NumberCase{"+-1", 0.0},
                      NumberCase{"1e", 1.0}, NumberCase{"1e+", 1.0}, NumberCase{"2E-2", 0.02},
                      NumberCase{"1.5e3.7", 1500.0}, NumberCase{"-0", -0.0}, NumberCase{"inf", 0.0},
                      NumberCase{"-infinity", 0.0}, NumberCase{"nan", 0.0}, NumberCase{"0x1A", 0.0},
                      NumberCase{"1e999", INFINITY}, NumberCase{"-1e999", -INFINITY}, NumberCase{"1e-999", 0.0},
                      NumberCase{"0.1", 0.1}, NumberCase{"13.500000000000000000001", 13.5},
                      NumberCase{"2.00", 2.0}, NumberCase{" 47.80 deg N", 47.8}),
    [](const auto& info) { return testName(info.param.text); });

ObservationFile load(const std::string& bytes) {
  ObservationFile file;
  std::FILE* stream = bytes.empty() ? std::fopen("/dev/null", "rb")
                                    : fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (stream == nullptr) {
    ADD_FAILURE() << "cannot open the test stream";
    return file;
  }
  loadObservationFile(stream, file);
  std::fclose(stream);
  return file;
}

TEST(Loader, EmptyFileNamesTheFirstViewPoint) {
  const ObservationFile file = load("");
  EXPECT_EQ(file.viewPointName[0], "[POS1]");
  EXPECT_EQ(file.viewPointName[1], "");
  for (double v : file.lineValue) EXPECT_EQ(v, 0.0);
}

TEST(Loader, TrailingLineFeedReadsOneMoreEmptyLine) {
  // Eight lines and a line feed: the extra empty read is line 9, the second name.
  const ObservationFile file = load("A\n1\n2\n3\n4\n5\n6\n7\n");
  EXPECT_EQ(file.viewPointName[0], "A");
  EXPECT_EQ(file.viewPointName[1], "[POS2]");
  EXPECT_EQ(file.lineValue[8], 7.0);
  const ObservationFile noFeed = load("A\n1\n2\n3\n4\n5\n6\n7");
  EXPECT_EQ(noFeed.viewPointName[1], "");
  EXPECT_EQ(noFeed.lineValue[8], 7.0);
}

TEST(Loader, NamesAreWholeLinesAndDropCarriageReturns) {
  const ObservationFile file = load("  Hill top \r\n1\n2\n3\n4\n5\n6\n7\n \r\n");
  EXPECT_EQ(file.viewPointName[0], "  Hill top ");
  EXPECT_EQ(file.viewPointName[1], " ");
  const ObservationFile crlf = load("X\r\n1.5\r\n-2\r\n");
  EXPECT_EQ(crlf.lineValue[2], 1.5);
  EXPECT_EQ(crlf.lineValue[3], -2.0);
  // Carriage returns are dropped anywhere, not only before a line feed.
  EXPECT_EQ(load("X\n1\r2\n").lineValue[2], 12.0);
}

TEST(Loader, CtrlZEndsTheData) {
  const ObservationFile file = load("X\n1\n2\x1a\n3\n4\n");
  EXPECT_EQ(file.lineValue[2], 1.0);
  EXPECT_EQ(file.lineValue[3], 2.0);
  EXPECT_EQ(file.lineValue[4], 0.0);
}

TEST(Loader, NulEndsTheTextButNotTheLine) {
  const std::string bytes("AB\0CD\n1\0 9\n2\n", 14);
  const ObservationFile file = load(bytes);
  EXPECT_EQ(file.viewPointName[0], "AB");
  EXPECT_EQ(file.lineValue[2], 1.0);
  EXPECT_EQ(file.lineValue[3], 2.0);
}

TEST(Loader, OverLongLinesStayOneLine) {
  const std::string longName(300, 'N');
  const std::string exact(127, '7');
  const ObservationFile file = load(longName + "\n" + std::string(200, ' ') + "5\n" + exact + "\n3\n");
  EXPECT_EQ(file.viewPointName[0], std::string(127, 'N'));
  EXPECT_EQ(file.lineValue[2], 0.0);  // the 5 lies beyond the kept 127 characters
  EXPECT_EQ(file.lineValue[3], std::stod(exact));
  EXPECT_EQ(file.lineValue[4], 3.0);
}

TEST(Loader, StopsAtLine32) {
  std::string bytes = "A\n";
  for (int line = 2; line <= 40; ++line) bytes += (line == 9 ? std::string("B") : std::to_string(line)) + "\n";
  const ObservationFile file = load(bytes);
  EXPECT_EQ(file.viewPointName[1], "B");
  EXPECT_EQ(file.lineValue[21], 21.0);
  EXPECT_EQ(file.lineValue[31], 31.0);
  EXPECT_EQ(file.lineValue[9], 0.0);
  EXPECT_EQ(file.lineValue[1], 0.0);
}

}  // namespace
}  // namespace sightline
