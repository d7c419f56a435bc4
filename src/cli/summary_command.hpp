// `sightline summary`: the night's table from the records of `sightline batch`.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace sightline {

/// The options of `sightline summary`.
struct SummaryCommandOptions {
  std::vector<std::string> inputs;  ///< results files (JSON Lines), "-": standard input
  std::string format = "gmn";       ///< gmn|csv|ecsv
  std::string output;               ///< file written whole; empty: standard output
  std::string filter;               ///< "standard" or empty
};

/// Adds the `summary` subcommand to `app`, its options stored in `options`.
CLI::App* addSummaryCommand(CLI::App& app, SummaryCommandOptions& options);

/// Reads the records, writes the table; problems with the records to `err`
/// (the first ones by file and line, the rest counted), exit 3 after them.
int runSummaryCommand(const SummaryCommandOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sightline
