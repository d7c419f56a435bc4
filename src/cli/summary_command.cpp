#include "cli/summary_command.hpp"

#include <chrono>
#include <sstream>

#include <CLI/CLI.hpp>

#include "app/summary.hpp"
#include "common/exit_status.hpp"
#include "formats/files.hpp"
#include "formats/summary_writers.hpp"

namespace sightline {

namespace {

constexpr std::size_t kProblemsShown = 10;  // the rest are counted

int message(std::FILE* err, int status, const std::string& text) {
  std::fprintf(err, "sightline: %s\n", text.c_str());
  return status;
}

double now() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() / 1e6;
}

}  // namespace

CLI::App* addSummaryCommand(CLI::App& app, SummaryCommandOptions& o) {
  CLI::App* command = app.add_subcommand(
      "summary", "The night's table, one row per solved record of sightline batch, sorted by begin time:\n"
                 "the network trajectory summary layout (gmn), or the same columns as CSV or ECSV.\n");
  command->add_option("RESULTS", o.inputs, "Results files of sightline batch (JSON Lines; - for standard input)")
      ->required()
      ->option_text("FILE...");
  command->add_option("--format", o.format, "Output layout (default gmn)")
      ->check(CLI::IsMember({"gmn", "csv", "ecsv"}))
      ->option_text("gmn|csv|ecsv");
  command->add_option("-o,--output", o.output, "Write the table to FILE (completely or not at all)")->option_text("FILE");
  command->add_option("--filter", o.filter,
                      "standard: only Qc >= 5 deg, e <= 1.5, radiant sigma <= 2 deg, vG sigma <= 10% (needs --mc)")
      ->check(CLI::IsMember({"standard"}))
      ->option_text("standard");
  return command;
}

int runSummaryCommand(const SummaryCommandOptions& o, std::FILE* out, std::FILE* err) {
  std::vector<NamedText> files;
  if (auto error = readInputs(o.inputs, files)) return message(err, kExitInput, error->text());
  SummaryOptions options;
  options.standardFilter = o.filter == "standard";
  const SummaryResult result = summariseRecords(files, options);
  std::ostringstream table;
  if (o.format == "csv") {
    writeSummaryCsv(table, result.rows);
  } else if (o.format == "ecsv") {
    writeSummaryEcsv(table, result.rows);
  } else {
    writeSummaryGmn(table, result.rows, now());
  }
  const std::string text = table.str();
  std::string error;
  if (!o.output.empty()) {
    if (!writeFileAtomically(o.output, text, error)) return message(err, kExitOutput, error);
  } else if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
    return message(err, kExitOutput, "cannot write to standard output");
  }
  std::fprintf(err, "sightline: summary: %zu rows from %zu records (%zu without a solution, %zu filtered out)\n",
               result.rows.size(), result.records, result.unsolved, result.filtered);
  for (std::size_t i = 0; i < result.problems.size() && i < kProblemsShown; ++i)
    std::fprintf(err, "sightline: %s\n", result.problems[i].c_str());
  if (result.problems.size() > kProblemsShown)
    std::fprintf(err, "sightline: ... and %zu more lines that are not records\n",
                 result.problems.size() - kProblemsShown);
  return result.problems.empty() ? kExitSolved : kExitInput;
}

}  // namespace sightline
