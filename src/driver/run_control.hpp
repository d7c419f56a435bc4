// One run of the tool: arguments, file, checks, set-up, solution, report.
#pragma once

#include <cstdio>

#include "driver/run_state.hpp"

namespace sightline {

/// Exit status: the report printed results.
inline constexpr int kExitResults = 0;
/// Exit status: the run ended with a message.
inline constexpr int kExitMessage = 1;

/// The classic run for a command line (argv[1] the observation file); the
/// report and its messages go to `out`, warnings to `err`; returns the exit status.
int runClassicCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

/// Loads, checks, solves and reports the observation file `in`; prints to `out`.
/// `state` is left as the run ended, for inspection.
int runObservations(std::FILE* in, std::FILE* out, RunState& state);

}  // namespace sightline
