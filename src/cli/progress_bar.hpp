// A progress bar for long runs, on a terminal only.
#pragma once

#include <cstdio>
#include <functional>

#include "uncertainty/monte_carlo.hpp"

namespace sightline {

/// A progress function that draws draws done, rate and time left on `stream`
/// when it is a terminal and the run lasts longer than about a second; an
/// empty function otherwise.
ProgressFunction makeProgressBar(std::FILE* stream);

/// Seconds on a monotonic clock (any origin).
using SecondsClock = std::function<double()>;

/// As makeProgressBar(stream), with the terminal test's answer and the clock
/// given: an empty function when `terminal` is false.
ProgressFunction makeProgressBar(std::FILE* stream, bool terminal, SecondsClock clock);

}  // namespace sightline
