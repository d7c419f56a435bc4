// A progress bar for long runs, on a terminal only.
#pragma once

#include <cstdio>

#include "uncertainty/monte_carlo.hpp"

namespace sightline {

/// A progress function that draws draws done, rate and time left on `stream`
/// when it is a terminal and the run lasts longer than about a second; an
/// empty function otherwise.
ProgressFunction makeProgressBar(std::FILE* stream);

}  // namespace sightline
