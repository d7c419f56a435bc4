#include "cli/batch_command.hpp"

#include <chrono>
#include <cstring>
#include <set>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "app/batch.hpp"
#include "cli/shower_options.hpp"
#include "common/exit_status.hpp"
#include "formats/files.hpp"

namespace sightline {

namespace {

constexpr const char* kProgram = "sightline";
constexpr double kProgressInterval = 0.25;  // s between redraws of the progress line

const char* const kBatchDescription =
    "Solve many events, one JSON Lines record each, in input order whatever the thread count:\n"
    "  {\"id\", \"index\", \"status\": \"solved\"|\"no-solution\"|\"input-error\", \"solution\": the JSON of\n"
    "   solve --format json | null, \"error\": the message of solve | null, \"elapsed\": seconds}\n"
    "Inputs: JSON Lines files (.jsonl, one event per line, id FILE:LINE), event files (.json, id\n"
    "its path) and folders (their .json files and their sub-folders of ECSV files, by name).\n"
    "Each event's Monte Carlo seed is SplitMix64(S xor FNV-1a(id)), S being --seed or, without it,\n"
    "the event's own seed: results do not depend on --threads or --shard.\n"
    "Records are appended whole to the output; --resume skips the ids already recorded.\n"
    "--merge puts results files (e.g. the shards') back in input order, each id once.\n";

const char* const kBatchExitText =
    "Exit status: 0 every event solved; 2 wrong command line; 3 some event was not valid;\n"
    "4 some event gave no solution (and none was invalid); 5 the results cannot be written.";

int message(std::FILE* err, int status, const std::string& text) {
  std::fprintf(err, "%s: %s\n", kProgram, text.c_str());
  return status;
}

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// "1h 02m", "3m 40s", "12s".
std::string duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) std::snprintf(text, sizeof text, "%ldh %02ldm", s / 3600, s / 60 % 60);
  else if (s >= 60) std::snprintf(text, sizeof text, "%ldm %02lds", s / 60, s % 60);
  else std::snprintf(text, sizeof text, "%lds", s);
  return text;
}

// A progress line on `err` (events done, failed, rate, time left) when it is a
// terminal; nothing otherwise.
class ProgressLine {
 public:
  ProgressLine(std::FILE* err) : err_(err), terminal_(isatty(fileno(err)) != 0), start_(secondsNow()) {}

  void operator()(const BatchCounts& counts, std::size_t total) {
    if (!terminal_) return;
    const double now = secondsNow();
    const bool last = counts.done() == total;
    if (!last && now - drawn_ < kProgressInterval) return;
    drawn_ = now;
    const double rate = counts.done() / std::max(now - start_, 1e-9);
    const double left = rate > 0 ? (total - counts.done()) / rate : 0.0;
    std::fprintf(err_, "\r%zu/%zu events, %zu failed, %.1f/s, %s left   ", counts.done(), total,
                 counts.noSolution + counts.inputErrors, rate, duration(left).c_str());
    if (last) std::fputc('\n', err_);
    std::fflush(err_);
  }

 private:
  std::FILE* err_;
  bool terminal_;
  double start_;
  double drawn_ = 0.0;
};

int runMerge(const BatchOptions& o, std::FILE* out, std::FILE* err) {
  std::vector<NamedText> texts;
  if (auto error = readInputs(o.inputs, texts)) return message(err, kExitInput, error->text());
  std::string merged, error;
  if (!mergeRecords(texts, merged, error)) return message(err, kExitInput, error);
  if (o.output != "-") {
    if (!writeFileAtomically(o.output, merged, error)) return message(err, kExitOutput, error);
    return kExitSolved;
  }
  if (std::fwrite(merged.data(), 1, merged.size(), out) != merged.size() || std::fflush(out) != 0)
    return message(err, kExitOutput, std::string("cannot write to standard output: ") + std::strerror(errno));
  return kExitSolved;
}

BatchSettings settingsOf(const BatchOptions& o) {
  BatchSettings settings;
  if (!o.refraction.empty()) settings.refraction = refractionFromName(o.refraction);
  if (!o.trajectoryModel.empty()) settings.trajectoryModel = trajectoryModelFromName(o.trajectoryModel);
  if (o.draws >= 0) settings.draws = o.draws;
  if (o.seedOption && o.seedOption->count() > 0) settings.seed = o.seed;
  settings.ecsvHeights = o.ecsvHeights == "ellipsoid" ? HeightReference::Ellipsoid : HeightReference::MeanSeaLevel;
  settings.showers = o.showers;
  return settings;
}

void printCounts(std::FILE* err, const BatchCounts& counts, std::size_t skipped) {
  std::fprintf(err, "%s: batch: %zu events: %zu solved, %zu no solution, %zu input errors", kProgram, counts.done(),
               counts.solved, counts.noSolution, counts.inputErrors);
  if (skipped > 0) std::fprintf(err, " (%zu already recorded, skipped)", skipped);
  std::fputc('\n', err);
}

}  // namespace

CLI::App* addBatchCommand(CLI::App& app, BatchOptions& o) {
  CLI::App* command = app.add_subcommand("batch", kBatchDescription);
  command->add_option("--threads", o.threads, "Events solved at once (default all cores); each event's draws stay on its thread")
      ->check(CLI::NonNegativeNumber)
      ->option_text("T");
  command->add_option("--mc", o.draws, "Monte Carlo draws per event (0: none; default as in each event)")
      ->check(CLI::NonNegativeNumber)
      ->option_text("N");
  o.seedOption = command->add_option("--seed", o.seed, "Base of every event's Monte Carlo seed (default each event's own)")
                     ->option_text("S");
  command->add_option("--refraction", o.refraction, "Override every event's refraction handling")
      ->check(CLI::IsMember({"none", "corrected", "apparent"}))
      ->option_text("none|corrected|apparent");
  command->add_option("--trajectory-model", o.trajectoryModel, "Override every event's trajectory model of timed sightings")
      ->check(CLI::IsMember({"gravity", "straight"}))
      ->option_text("gravity|straight");
  addShowerOptions(*command, o.showers);
  command->add_option("--ecsv-heights", o.ecsvHeights, "What ECSV station heights are measured from (default msl)")
      ->check(CLI::IsMember({"msl", "ellipsoid"}))
      ->option_text("msl|ellipsoid");
  command->add_option("--shard", o.shard, "Only the events whose position (from 0) is I modulo N")->option_text("I/N");
  command->add_flag("--resume", o.resume, "Skip the events whose ids already have a complete record in the output");
  command->add_flag("--merge", o.merge, "Merge results files (INPUT...) into one, in input order, each id once");
  command->add_option("-o,--output", o.output, "Append the records to FILE (default -: standard output)")
      ->option_text("FILE");
  command->add_option("INPUT", o.inputs, "JSON Lines files (.jsonl), event files (.json) and folders")
      ->required()
      ->option_text("PATH...");
  command->footer(kBatchExitText);
  return command;
}

int runBatchCommand(const BatchOptions& o, std::FILE* out, std::FILE* err) {
  if (o.merge) return runMerge(o, out, err);
  Shard shard;
  if (!o.shard.empty()) {
    const auto parsed = shardFromText(o.shard);
    if (!parsed) return message(err, kExitUsage, "--shard " + o.shard + ": expected I/N with 0 <= I < N, e.g. 0/4");
    shard = *parsed;
  }
  // A bad shower table would fail every event with an orbit: said once, before any is solved.
  const ShowerTable* table = nullptr;
  if (auto tableError = showerTableOf(o.showers, table)) return message(err, kExitInput, tableError->text());
  RecordFile file;
  RecordedEvents recorded;
  std::string error;
  if (o.output == "-") {
    std::fflush(out);
    file.attach(fileno(out));
  } else if (!file.open(o.output, recorded, error)) {
    return message(err, kExitOutput, error);
  }
  if (!o.resume) recorded.clear();
  const std::vector<BatchEvent> all = selectBatchEvents(listBatchEvents(o.inputs), shard, {});
  const std::vector<BatchEvent> events = selectBatchEvents(all, Shard{}, recorded);
  ProgressLine progress(err);
  BatchCounts counts = runBatch(
      events, settingsOf(o), o.threads,
      [&](const BatchRecord& record, std::string& sinkError) { return file.append(recordLine(record), sinkError); },
      std::ref(progress), error);
  // Events recorded by an earlier run count as they were recorded.
  for (const BatchEvent& event : all) {
    const auto found = recorded.find(event.id);
    if (found != recorded.end()) countStatus(counts, found->second);
  }
  printCounts(err, counts, all.size() - events.size());
  if (!error.empty()) return message(err, kExitOutput, error);
  return batchExitStatus(counts);
}

}  // namespace sightline
