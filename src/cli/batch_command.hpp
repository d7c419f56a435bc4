// The `sightline batch` command: options, the run over src/app/batch, the
// progress line on a terminal and the exit status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/showers.hpp"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace sightline {

/// The options of `sightline batch`.
struct BatchOptions {
  int threads = 0;          ///< events solved at once; 0: all cores
  int draws = -1;           ///< Monte Carlo draws per event; -1: as each event says
  std::uint64_t seed = 0;   ///< base of every event's seed, when `seedOption` was given
  std::string refraction;   ///< none|corrected|apparent; empty: as each event says
  std::string trajectoryModel;  ///< gravity|straight; empty: as each event says
  std::string ecsvHeights = "msl";
  std::string shard;        ///< "I/N"; empty: every event
  bool resume = false;      ///< skip the events already recorded in the output
  bool merge = false;       ///< merge results files instead of solving
  std::string output = "-"; ///< results file (JSON Lines), "-": standard output
  std::vector<std::string> inputs;
  CLI::Option* seedOption = nullptr;
  ShowerSettings showers;   ///< the shower table and the limits of the rule
};

/// Adds the `batch` subcommand to `app`, its options stored in `options`.
CLI::App* addBatchCommand(CLI::App& app, BatchOptions& options);

/// Runs the parsed batch command: records to the output file (or `out`),
/// counts, progress and messages to `err`. Returns the exit status.
int runBatchCommand(const BatchOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sightline
