// The exit statuses of the `sightline` tool, all in one place. The classic
// run uses 0 and 1; the commands (solve, convert, orbit, batch) use the rest.
#pragma once

namespace sightline {

/// Solved (a trajectory or points), converted, or help shown; the classic report printed results.
inline constexpr int kExitSolved = 0;
/// The classic run's report printed results (the same 0).
inline constexpr int kExitResults = kExitSolved;
/// The classic run ended with a message.
inline constexpr int kExitMessage = 1;
/// The command line is wrong (unknown option, missing input, ...).
inline constexpr int kExitUsage = 2;
/// An input file cannot be read or is not valid (batch: some event was not valid).
inline constexpr int kExitInput = 3;
/// The input was valid but gives no point (batch: some event gave no solution).
inline constexpr int kExitNoSolution = 4;
/// An output file (or the figure) cannot be written.
inline constexpr int kExitOutput = 5;

}  // namespace sightline
