// Runs many independent jobs (the Monte Carlo draws) on a few threads.
#pragma once

#include <functional>

#include "uncertainty/monte_carlo.hpp"

namespace sightline {

/// Number of threads that `requested` means (0: all cores), at most `jobs` and at least 1.
int threadsFor(int requested, int jobs);

/// Calls job(index, worker) once for every index 0..count-1 on `threads`
/// threads (worker 0..threads-1; worker 0 is the calling thread), handing
/// out indices in small batches. `progress`, when set, is called from the
/// calling thread with the jobs done so far, and with (count, count) at the end.
/// `stop`, when set, is polled from the calling thread between its batches:
/// true hands out no more jobs, and runJobs returns false once the jobs under
/// way have ended. Jobs must not throw. Falls back to fewer threads when a
/// thread cannot be started. True when every job ran.
bool runJobs(int count, int threads, const std::function<void(int index, int worker)>& job,
             const ProgressFunction& progress = {}, const StopFunction& stop = {});

}  // namespace sightline
