// The `sightline correlate` command: options, the night through
// src/app/correlate_night, messages and the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "correlate/correlate.hpp"

namespace CLI {
class App;
}  // namespace CLI

namespace sightline {

/// The options of `sightline correlate`.
struct CorrelateCommandOptions {
  CorrelateOptions thresholds;
  std::string output = "-";   ///< events (JSON Lines), "-": standard output
  std::string detections;     ///< every detection (JSON Lines); empty: not written
  std::vector<std::string> inputs;
};

/// Adds the `correlate` subcommand to `app`, its options stored in `options`.
CLI::App* addCorrelateCommand(CLI::App& app, CorrelateCommandOptions& options);

/// Runs the parsed command: events to the output (or `out`), messages to `err`.
/// Returns 0, 2 (an input does not exist), 3 (some file malformed or a camera
/// without a position; the rest is still correlated) or 5 (output not writable).
int runCorrelateCommand(const CorrelateCommandOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sightline
