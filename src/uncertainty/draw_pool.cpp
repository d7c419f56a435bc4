#include "uncertainty/draw_pool.hpp"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace sightline {

namespace {
// Jobs handed out at once: few enough to balance the threads, enough to keep the counter cold.
constexpr int kBatch = 8;
}  // namespace

int threadsFor(int requested, int jobs) {
  int threads = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::min(threads, jobs);
  return std::max(threads, 1);
}

bool runJobs(int count, int threads, const std::function<void(int index, int worker)>& job,
             const ProgressFunction& progress, const StopFunction& stop) {
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::atomic<bool> stopped{false};
  auto work = [&](int worker, bool report) {
    while (!stopped.load(std::memory_order_relaxed)) {
      // Only the calling thread asks: the stop function may belong to an interpreter.
      if (report && stop && stop()) {
        stopped.store(true, std::memory_order_relaxed);
        break;
      }
      const int first = next.fetch_add(kBatch, std::memory_order_relaxed);
      if (first >= count) break;
      const int last = std::min(first + kBatch, count);
      for (int i = first; i < last; ++i) job(i, worker);
      const int finished = done.fetch_add(last - first, std::memory_order_relaxed) + (last - first);
      if (report && progress) progress(finished, count);
    }
  };

  std::vector<std::thread> helpers;
  for (int worker = 1; worker < threads; ++worker) {
    try {
      helpers.emplace_back(work, worker, false);
    } catch (const std::system_error&) {
      break;  // the threads started so far and the calling thread share the jobs
    }
  }
  work(0, static_cast<bool>(progress) || static_cast<bool>(stop));
  for (std::thread& t : helpers) t.join();
  if (stopped) return false;
  if (progress) progress(count, count);
  return true;
}

}  // namespace sightline
