#include "uncertainty/draw_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace sightline {
namespace {

class RunJobs : public ::testing::TestWithParam<int> {};

// Every index runs exactly once, on a worker within range, whatever the thread count.
TEST_P(RunJobs, RunsEveryIndexOnce) {
  const int threads = GetParam();
  const int count = 1003;
  std::vector<std::atomic<int>> runs(count);
  std::vector<std::atomic<int>> workers(threads);
  runJobs(count, threads, [&](int index, int worker) {
    runs[static_cast<std::size_t>(index)].fetch_add(1);
    workers[static_cast<std::size_t>(worker)].fetch_add(1);
  });
  for (int i = 0; i < count; ++i) ASSERT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << "index " << i;
  int total = 0;
  for (auto& w : workers) total += w.load();
  EXPECT_EQ(total, count);
}

INSTANTIATE_TEST_SUITE_P(Threads, RunJobs, ::testing::Values(1, 2, 3, 8),
                         [](const auto& info) { return std::to_string(info.param) + "Threads"; });

TEST(RunJobs, ReportsProgressFromTheCallingThreadUpToTheEnd) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int> reported;
  bool sameThread = true;
  runJobs(
      500, 3, [](int, int) {},
      [&](int done, int total) {
        sameThread = sameThread && std::this_thread::get_id() == caller;
        EXPECT_EQ(total, 500);
        reported.push_back(done);
      });
  EXPECT_TRUE(sameThread);
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(reported.back(), 500);
  for (std::size_t k = 1; k < reported.size(); ++k) EXPECT_LE(reported[k - 1], reported[k]);
}

TEST(RunJobs, NoJobsStillEndsTheProgress) {
  int calls = 0, lastDone = -1;
  runJobs(0, 2, [](int, int) { FAIL() << "no job expected"; }, [&](int done, int) {
    ++calls;
    lastDone = done;
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lastDone, 0);
}

TEST(ThreadsFor, ZeroMeansAllCoresAndNeverMoreThanJobs) {
  EXPECT_GE(threadsFor(0, 1000), 1);
  EXPECT_EQ(threadsFor(4, 1000), 4);
  EXPECT_EQ(threadsFor(8, 3), 3);
  EXPECT_EQ(threadsFor(-2, 0), 1);
}

}  // namespace
}  // namespace sightline
