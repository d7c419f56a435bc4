// Many events, one record each: the batch of `sightline batch`.
//
//   list (listBatchEvents) -> select a shard -> skip recorded ids (resume)
//   -> solve on a pool of threads (solveBatchEvent) -> records in input order
//
// A record is one line of JSON (JSON Lines):
//   {"id", "index", "status", "solution", "error", "elapsed"}
// with `solution` exactly the JSON that `sightline solve --format json` gives
// for the event (compact), `index` the event's position in the whole input
// list (counted from 0, whatever the shard) and `elapsed` last, the only field
// that depends on the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/solve_event.hpp"
#include "common/diagnostics.hpp"

namespace sightline {

/// How a batch event is read.
enum class BatchSource {
  EventFile,   ///< one event file (JSON): `paths[0]`
  EventLine,   ///< one line of a JSON Lines file: `text`
  EcsvFolder,  ///< a folder of ECSV files, one per station: `paths`
  Unreadable,  ///< an input that cannot be listed or holds no event: `error` says why
};

/// One event of a batch, before it is read.
struct BatchEvent {
  std::string id;                  ///< the file path, the folder path, or FILE:LINE (line from 1)
  std::size_t index = 0;           ///< position in the whole input list, from 0
  BatchSource source = BatchSource::EventFile;
  std::vector<std::string> paths;  ///< the files to read (EventFile, EcsvFolder), sorted by name
  std::string text;                ///< the event's JSON (EventLine)
  std::string error;               ///< why the input cannot be listed (Unreadable)
};

/// The events of `inputs`, in order, each numbered by its position.
///
/// Given:
///   inputs  paths as the user gave them: a JSON Lines file (name ending in
///           ".jsonl": one event per non-blank line), an event file (JSON),
///           or a folder (its own ECSV files, together one event whose id is
///           the folder's path; then its ".json" event files and its
///           sub-folders of ECSV files, one event each, all sorted by name)
/// Returned:
///   the events; an input that cannot be read, and one that holds no event
///   (a folder without any of the above, a JSON Lines file of blank lines),
///   becomes one Unreadable event that says why (never the end of the batch)
std::vector<BatchEvent> listBatchEvents(const std::vector<std::string>& inputs);

/// One of N shards: the events whose index is `index` modulo `count`.
struct Shard {
  std::size_t index = 0;  ///< 0 .. count-1
  std::size_t count = 1;  ///< 1 or more
};

/// The shard "I/N" (0 <= I < N), or nothing when `text` is not one.
std::optional<Shard> shardFromText(const std::string& text);

/// The outcome of one event.
enum class BatchStatus { Solved, NoSolution, InputError };

/// The outcomes of the events already recorded, by id.
using RecordedEvents = std::map<std::string, BatchStatus>;

/// The events of `events` in `shard` whose ids are not in `recorded`, in order.
std::vector<BatchEvent> selectBatchEvents(const std::vector<BatchEvent>& events, const Shard& shard,
                                          const RecordedEvents& recorded);

/// The Monte Carlo seed of the event `id` in a batch.
///
/// Given:
///   base  the batch's --seed, or (without one) the event's own seed
///   id    the event's id (BatchEvent::id)
/// Returned:
///   SplitMix64(base XOR FNV-1a-64(id)): a seed of its own for every event,
///   the same whatever the thread count, the shards and the other events.
/// Notes:
///   FNV-1a: Fowler, Noll & Vo, offset basis 14695981039346656037, prime
///   1099511628211. SplitMix64: Steele, Lea & Flood 2014 (the finaliser of
///   java.util.SplittableRandom).
std::uint64_t batchEventSeed(std::uint64_t base, const std::string& id);

/// What a batch changes of every event's own settings (as `solve` does).
struct BatchSettings {
  std::optional<Refraction> refraction;  ///< the event's otherwise
  std::optional<int> draws;              ///< Monte Carlo draws; the event's otherwise
  std::optional<std::uint64_t> seed;     ///< the base of every event's seed (batchEventSeed)
  HeightReference ecsvHeights = HeightReference::MeanSeaLevel;  ///< what ECSV heights are measured from
  std::optional<TrajectoryModel> trajectoryModel;  ///< the event's otherwise
  ShowerSettings showers;  ///< the shower table and the limits of the rule
};

/// "solved", "no-solution" or "input-error".
const char* batchStatusName(BatchStatus status);

/// The record of one event.
struct BatchRecord {
  std::string id;
  std::size_t index = 0;
  BatchStatus status = BatchStatus::InputError;
  std::string solution;  ///< compact solution JSON; empty: null
  std::string error;     ///< what `sightline solve` would print after "sightline: "; empty: null
  double elapsed = 0.0;  ///< seconds (wall clock) to read, solve and write the event
};

/// Reads, solves and writes the one event `event` as `sightline solve --format
/// json` would, its Monte Carlo draws on the calling thread with the seed
/// batchEventSeed(). Never fails: a bad event is a record with its error.
BatchRecord solveBatchEvent(const BatchEvent& event, const BatchSettings& settings);

/// The record as one line of JSON Lines (ending in "\n", `elapsed` last).
std::string recordLine(const BatchRecord& record);

/// The ids and statuses of the complete records in `text` (the content of a
/// results file); lines that are not complete records (a torn last line) are
/// ignored.
RecordedEvents recordedEvents(const std::string& text);

/// The length of `text` without a torn last line: up to and including its
/// last "\n" (0 when there is none).
std::size_t completeLength(const std::string& text);

/// The records of `texts` (results files, e.g. the shards') as one file in
/// input order: sorted by "index", each id once (its first complete record),
/// torn and blank lines dropped. False with `error` (file and line named) when
/// a line is a complete JSON object without an "id" and an "index".
bool mergeRecords(const std::vector<NamedText>& texts, std::string& merged, std::string& error);

/// Counts of a batch's outcomes.
struct BatchCounts {
  std::size_t solved = 0;
  std::size_t noSolution = 0;
  std::size_t inputErrors = 0;
  std::size_t done() const { return solved + noSolution + inputErrors; }
};

/// Adds one event of `status` to `counts`.
void countStatus(BatchCounts& counts, BatchStatus status);

/// The exit status of a batch: kExitInput when an event was not valid, else
/// kExitNoSolution when one gave no solution, else kExitSolved.
int batchExitStatus(const BatchCounts& counts);

/// Called with every record in input order; false ends the batch (the
/// records cannot be written), with the message in `error`.
using RecordSink = std::function<bool(const BatchRecord& record, std::string& error)>;
/// Called after every record with the counts so far and the total.
using BatchProgressFunction = std::function<void(const BatchCounts& counts, std::size_t total)>;

/// Solves `events` on `threads` threads (0: all cores), one event per thread
/// at a time, and hands the records to `sink` in the order of `events`.
/// Returned: the counts; `error` set when the sink failed (the batch stopped).
BatchCounts runBatch(const std::vector<BatchEvent>& events, const BatchSettings& settings, int threads,
                     const RecordSink& sink, const BatchProgressFunction& progress, std::string& error);

/// A results file open for appending whole records.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  /// Opens `path` ("-": standard output) for appending, after cutting off a
  /// torn last line left by a killed run; `recorded` receives the ids of its
  /// complete records. False with `error` ("PATH: cannot ...: REASON").
  bool open(const std::string& path, RecordedEvents& recorded, std::string& error);

  /// Appends to the open descriptor `fd` (not closed here), e.g. 1 for standard output.
  void attach(int fd);

  /// Appends `line` with one write (retried only for what a signal cut short).
  bool append(const std::string& line, std::string& error);

 private:
  int fd_ = -1;
  bool own_ = false;
  std::string path_;
};

}  // namespace sightline
