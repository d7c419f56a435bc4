// Work spread over threads, results independent of their number.
#pragma once

#include <cstddef>
#include <functional>

namespace sightline {

/// Runs work(i) for every i in [0, count) on `threads` threads (0: all cores;
/// never more threads than items). Each i runs once; work must write only to
/// its own i's results, which makes the outcome independent of the thread count.
void parallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& work);

}  // namespace sightline
