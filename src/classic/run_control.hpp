// One classic run: arguments, file, checks, set-up, solution, report.
//
// read (loadObservationFile) -> set up and check (setUpRun) -> solve (solveRun)
// -> write (writeOutcome); warnings about doubtful input and results go to the
// error stream, the report and the messages to the output.
#pragma once

#include <cstdio>

#include "classic/observation_file.hpp"
#include "common/exit_status.hpp"
#include "classic/run_state.hpp"

namespace sightline {

/// The classic run for a command line: argv[1] is the observation file, or
/// argv[2] when argv[1] is "--"; further arguments are ignored. The report and
/// its messages go to `out`, warnings to `err`; returns the exit status.
int runClassicCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

/// A use-flag line's value as a flag: truncated toward zero, saturated at the int limits.
int toUseFlag(double value);

/// Use flags, counts, plane flags, positions, elevations and the refraction
/// mode from `file`; kTooFewObservations or kViewPointWithoutObservation when
/// the sightings do not make a run, else kSolved.
ClassicStatus setUpRun(const ObservationFile& file, RunState& state);

/// Solves a run that setUpRun accepted: the skew-line solution for two
/// sightings, the plane-intersection solution for three or four; kTooManySightings
/// (nothing solved) for more, kParallelLines when the skew lines cannot be solved.
ClassicStatus solveRun(RunState& state);

/// Loads, checks, solves and reports the observation file `in`; prints to `out`.
/// `state` is left as the run ended, for inspection; returns the exit status.
int runObservations(std::FILE* in, std::FILE* out, RunState& state);
/// As above; warnings about the file named `fileName` go to `err` (one line each).
int runObservations(std::FILE* in, const char* fileName, std::FILE* out, std::FILE* err, RunState& state);

}  // namespace sightline
