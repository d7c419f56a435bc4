#include "cli/progress_bar.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace sightline {
namespace {

// Everything written to `file` so far.
std::string contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[256];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fseek(file, 0, SEEK_END);
  return text;
}

class ProgressBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = std::tmpfile();
    ASSERT_NE(file_, nullptr);
  }
  void TearDown() override { std::fclose(file_); }
  ProgressFunction bar() {
    return makeProgressBar(file_, true, [this] { return now_; });
  }
  std::FILE* file_ = nullptr;
  double now_ = 100.0;  // seconds
};

TEST_F(ProgressBarTest, NothingWhenNotATerminal) {
  EXPECT_FALSE(static_cast<bool>(makeProgressBar(file_)));  // a plain file is no terminal
  EXPECT_FALSE(static_cast<bool>(makeProgressBar(file_, false, [] { return 0.0; })));
}

TEST_F(ProgressBarTest, NothingForARunUnderASecond) {
  const ProgressFunction progress = bar();
  for (int done = 0; done <= 1000; done += 100) {
    progress(done, 1000);
    now_ += 0.09;
  }
  EXPECT_EQ(contents(file_), "");
}

TEST_F(ProgressBarTest, ShowsDrawsRateAndTimeLeftThenClearsTheLine) {
  const ProgressFunction progress = bar();
  progress(0, 1000);
  now_ += 2.0;
  progress(200, 1000);  // 100 draws per second, 8 seconds to go
  const std::string shown = contents(file_);
  EXPECT_EQ(shown.front(), '\r');
  EXPECT_NE(shown.find("200/1000 draws"), std::string::npos) << shown;
  EXPECT_NE(shown.find("100/s"), std::string::npos) << shown;
  EXPECT_NE(shown.find("8 s left"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\n'), std::string::npos);

  now_ += 1.0;
  progress(1000, 1000);
  const std::string all = contents(file_);
  const std::string cleared = all.substr(shown.size());
  // Blanks over the whole bar, and the cursor back at the start of the line.
  EXPECT_EQ(cleared, "\r" + std::string(shown.size() - 1, ' ') + "\r");
}

TEST_F(ProgressBarTest, RedrawsAtMostTenTimesASecond) {
  const ProgressFunction progress = bar();
  progress(0, 100000);
  now_ += 1.5;
  progress(10, 100000);
  const std::size_t once = contents(file_).size();
  now_ += 0.05;
  progress(20, 100000);
  EXPECT_EQ(contents(file_).size(), once);
  now_ += 0.1;
  progress(30, 100000);
  EXPECT_GT(contents(file_).size(), once);
}

TEST_F(ProgressBarTest, LongRunsShowMinutes) {
  const ProgressFunction progress = bar();
  progress(0, 10000);
  now_ += 10.0;
  progress(100, 10000);  // 10 per second: 990 s = 16:30 left
  EXPECT_NE(contents(file_).find("16:30 left"), std::string::npos) << contents(file_);
}

}  // namespace
}  // namespace sightline
