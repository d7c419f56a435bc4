// The command line of the tool: `sightline FILE` (the classic run) and the
// `solve` and `convert` commands.
#pragma once

#include <cstdio>

namespace sightline {

/// Exit status: solved (a trajectory or points), converted, or help shown.
inline constexpr int kExitSolved = 0;
// 1 is the classic run's "ended with a message" (run_control.hpp: kExitMessage).
/// Exit status: the command line is wrong (unknown option, missing input, ...).
inline constexpr int kExitUsage = 2;
/// Exit status: an input file cannot be read or is not valid.
inline constexpr int kExitInput = 3;
/// Exit status: the input was valid but gives no point (too few stations, no geometry).
inline constexpr int kExitNoSolution = 4;
/// Exit status: an output file (or the figure) cannot be written.
inline constexpr int kExitOutput = 5;

/// Version printed by `sightline --version`.
inline constexpr const char* kVersionText = "sightline 1.1.0";

/// Runs the tool for `argv`: `solve` and `convert` (and any first argument that
/// is an option other than "-" and "--") go to the commands, results to `out`,
/// messages to `err`; everything else is the classic run, unchanged. Returns
/// the exit status.
int runCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace sightline
