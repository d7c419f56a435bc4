#include "app/batch.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "common/exit_status.hpp"
#include "formats/ecsv.hpp"
#include "formats/event_json.hpp"

namespace sightline {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ull;  // FNV-1a 64-bit (Fowler, Noll & Vo)
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr double kMicrosecond = 1e-6;  // s, the resolution of "elapsed"

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

std::string jsonString(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// ---- listing -------------------------------------------------------------

BatchEvent unreadable(const std::string& id, const std::string& error) {
  BatchEvent event;
  event.id = id;
  event.source = BatchSource::Unreadable;
  event.error = error;
  return event;
}

// One event per non-blank line of the JSON Lines file `path`.
void listJsonLines(const std::string& path, std::vector<BatchEvent>& events) {
  NamedText input;
  if (auto error = readInput(path, input)) {
    events.push_back(unreadable(path, error->text()));
    return;
  }
  std::size_t start = 0;
  for (int line = 1; start < input.text.size(); ++line) {
    std::size_t end = input.text.find('\n', start);
    if (end == std::string::npos) end = input.text.size();
    std::string text = input.text.substr(start, end - start);
    start = end + 1;
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    BatchEvent event;
    event.id = path + ":" + std::to_string(line);
    event.source = BatchSource::EventLine;
    event.text = std::move(text);
    events.push_back(std::move(event));
  }
}

// The names in `folder`, sorted, or an error.
bool sortedEntries(const fs::path& folder, std::vector<fs::directory_entry>& entries, std::string& error) {
  std::error_code code;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) entries.push_back(*it);
  if (code) {
    error = folder.string() + ": cannot read the folder: " + code.message();
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().filename().string() < b.path().filename().string(); });
  return true;
}

// The ECSV files of `folder`, sorted by name (none: not an event).
std::vector<std::string> ecsvFiles(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::string error;
  std::vector<std::string> files;
  if (!sortedEntries(folder, entries, error)) return files;
  for (const auto& entry : entries) {
    std::error_code code;
    if (entry.path().extension() == ".ecsv" && entry.is_regular_file(code)) files.push_back(entry.path().string());
  }
  return files;
}

// The events of `folder`: its own ECSV files (one event, one file per station, the folder's
// path its id), then its .json event files and its sub-folders of ECSV files, sorted by
// name. A folder with none of these is one Unreadable event that says so.
void listFolder(const std::string& folder, std::vector<BatchEvent>& events) {
  std::vector<fs::directory_entry> entries;
  std::string error;
  if (!sortedEntries(folder, entries, error)) {
    events.push_back(unreadable(folder, error));
    return;
  }
  const std::size_t before = events.size();
  BatchEvent own;
  own.id = folder;
  own.source = BatchSource::EcsvFolder;
  own.paths = ecsvFiles(folder);
  if (!own.paths.empty()) events.push_back(std::move(own));
  for (const auto& entry : entries) {
    std::error_code code;
    BatchEvent event;
    event.id = entry.path().string();
    if (entry.is_directory(code)) {
      event.source = BatchSource::EcsvFolder;
      event.paths = ecsvFiles(entry.path());
      if (event.paths.empty()) continue;
    } else if (entry.path().extension() == ".json") {
      event.paths = {event.id};
    } else {
      continue;
    }
    events.push_back(std::move(event));
  }
  if (events.size() == before)
    events.push_back(unreadable(folder, folder + ": no event in the folder: expected .json event files, .ecsv files "
                                                 "(together one event, a file per station) or sub-folders of .ecsv files"));
}

// ---- one event -------------------------------------------------------------

// The event of `item`, or the message that says why there is none.
std::optional<std::string> readBatchEvent(const BatchEvent& item, HeightReference heights, Event& event) {
  if (item.source == BatchSource::Unreadable) return item.error;
  if (item.source == BatchSource::EventLine) {
    EventReadResult read = readEventJson(item.text, item.id);
    if (!read.error) {
      event = std::move(read.event);
      return std::nullopt;
    }
    return read.error->text();
  }
  std::vector<NamedText> inputs;
  if (auto error = readInputs(item.paths, inputs)) return error->text();
  if (auto failure = eventFromInputs(inputs, heights, event)) return failure->message;
  return std::nullopt;
}

// The source that `sightline solve` names: the input paths joined by spaces.
std::string sourceOf(const BatchEvent& item) {
  return item.source == BatchSource::EventLine ? item.id : joined(item.paths);
}

// `pretty` (a JSON text) without the whitespace between its tokens: the same
// JSON, every number and string byte for byte as written. False when a
// string is not closed (not JSON).
bool compactJson(const std::string& pretty, std::string& compact) {
  compact.resize(pretty.size());
  char* out = compact.data();
  bool inString = false, escaped = false;
  for (char c : pretty) {
    if (inString) {
      *out++ = c;
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
      *out++ = c;
      inString = c == '"';
    }
  }
  compact.resize(static_cast<std::size_t>(out - compact.data()));
  return !inString && !compact.empty();
}

void solveInto(const BatchEvent& item, const BatchSettings& settings, BatchRecord& record) {
  Event event;
  if (auto message = readBatchEvent(item, settings.ecsvHeights, event)) {
    record.error = *message;
    return;
  }
  SolveSettings solve;
  solve.refraction = settings.refraction;
  solve.trajectoryModel = settings.trajectoryModel;
  solve.draws = settings.draws;
  solve.seed = batchEventSeed(settings.seed.value_or(event.monteCarlo.seed), item.id);
  solve.threads = 1;  // one event per thread: the events are the parallel work
  solve.showers = settings.showers;
  Solution solution;
  const std::string source = sourceOf(item);
  if (auto error = solveEvent(event, solve, solution)) {
    if (error->file.empty()) error->file = source;
    record.error = error->text();
    return;
  }
  OutputContext context;
  context.geoid = sharedGeoid().geoid;
  context.source = source;
  if (!compactJson(renderSolution(OutputFormat::Json, event, solution, context), record.solution)) {
    record.error = source + ": the solution could not be written as JSON";
    return;
  }
  record.status = isSolved(solution) ? BatchStatus::Solved : BatchStatus::NoSolution;
  if (!isSolved(solution)) record.error = source + ": no solution: " + statusText(solution.status);
}

// ---- records ---------------------------------------------------------------

// Calls `line(text, number, complete)` for every line of `text` (numbered from
// 1); `complete`: it ends in "\n".
template <typename LineFunction>
void forEachLine(const std::string& text, LineFunction line) {
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    const std::size_t end = text.find('\n', start);
    const bool complete = end != std::string::npos;
    const std::size_t stop = complete ? end : text.size();
    line(std::string_view(text).substr(start, stop - start), number, complete);
    start = stop + 1;
  }
}

// The record in `line`, if it is a complete one: an object with a string
// "id", an unsigned "index" and an "elapsed" (written last).
bool parseRecord(std::string_view line, std::string& id, std::size_t& index, BatchStatus* status = nullptr) {
  // Only the small fields are parsed: the solution between them is written
  // whole with the rest. No JSON string holds an unescaped quote, so the first
  // ',"solution":' and the last ',"error":' are the record's own keys.
  const auto solution = line.find(",\"solution\":");
  const auto error = line.rfind(",\"error\":");
  if (solution == std::string_view::npos || error == std::string_view::npos || error < solution) return false;
  const std::string small = std::string(line.substr(0, solution)).append(line.substr(error));
  const Json value = Json::parse(small, nullptr, false);
  if (value.is_discarded() || !value.is_object()) return false;
  const auto idField = value.find("id");
  const auto indexField = value.find("index");
  if (idField == value.end() || !idField->is_string() || indexField == value.end() ||
      !indexField->is_number_unsigned() || !value.contains("elapsed"))
    return false;
  id = idField->get<std::string>();
  index = indexField->get<std::size_t>();
  const auto statusField = value.find("status");
  if (status && statusField != value.end() && statusField->is_string()) {
    const std::string name = statusField->get<std::string>();
    *status = name == "solved" ? BatchStatus::Solved
              : name == "no-solution" ? BatchStatus::NoSolution : BatchStatus::InputError;
  }
  return true;
}

bool blank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

// ---- the pool --------------------------------------------------------------

// Records finished by the workers, handed out in order.
class RecordQueue {
 public:
  explicit RecordQueue(std::size_t count) : slots_(count) {}

  void put(std::size_t position, BatchRecord record) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[position] = std::move(record);
    }
    ready_.notify_all();
  }

  BatchRecord take(std::size_t position) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return slots_[position].has_value(); });
    BatchRecord record = std::move(*slots_[position]);
    slots_[position].reset();
    return record;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<std::optional<BatchRecord>> slots_;
};

int workerCount(int threads, std::size_t events) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t wanted = threads > 0 ? static_cast<std::size_t>(threads) : cores;
  return static_cast<int>(std::max<std::size_t>(1, std::min(wanted, events)));
}

}  // namespace

void countStatus(BatchCounts& counts, BatchStatus status) {
  switch (status) {
    case BatchStatus::Solved: ++counts.solved; break;
    case BatchStatus::NoSolution: ++counts.noSolution; break;
    case BatchStatus::InputError: ++counts.inputErrors; break;
  }
}

std::vector<BatchEvent> listBatchEvents(const std::vector<std::string>& inputs) {
  std::vector<BatchEvent> events;
  for (const std::string& input : inputs) {
    std::error_code code;
    if (input != "-" && fs::is_directory(input, code)) {
      listFolder(input, events);
    } else if (endsWith(input, ".jsonl")) {
      const std::size_t before = events.size();
      listJsonLines(input, events);
      if (events.size() == before) events.push_back(unreadable(input, input + ": no event in the file: every line is blank"));
    } else {
      BatchEvent event;
      event.id = input;
      event.paths = {input};
      events.push_back(std::move(event));
    }
  }
  for (std::size_t i = 0; i < events.size(); ++i) events[i].index = i;
  return events;
}

std::optional<Shard> shardFromText(const std::string& text) {
  const auto slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string first = text.substr(0, slash), second = text.substr(slash + 1);
  const auto digits = [](const std::string& s) {
    return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (!digits(first) || !digits(second)) return std::nullopt;
  Shard shard{std::stoul(first), std::stoul(second)};
  if (shard.count == 0 || shard.index >= shard.count) return std::nullopt;
  return shard;
}

std::vector<BatchEvent> selectBatchEvents(const std::vector<BatchEvent>& events, const Shard& shard,
                                          const RecordedEvents& recorded) {
  std::vector<BatchEvent> selected;
  for (const BatchEvent& event : events) {
    if (event.index % shard.count == shard.index && !recorded.count(event.id)) selected.push_back(event);
  }
  return selected;
}

std::uint64_t batchEventSeed(std::uint64_t base, const std::string& id) {
  std::uint64_t hash = kFnvOffsetBasis;
  for (unsigned char c : id) hash = (hash ^ c) * kFnvPrime;
  std::uint64_t z = base ^ hash;
  // SplitMix64's finaliser (Steele, Lea & Flood 2014): every input bit reaches every output bit.
  z += 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

const char* batchStatusName(BatchStatus status) {
  switch (status) {
    case BatchStatus::Solved: return "solved";
    case BatchStatus::NoSolution: return "no-solution";
    case BatchStatus::InputError: return "input-error";
  }
  return "input-error";
}

BatchRecord solveBatchEvent(const BatchEvent& event, const BatchSettings& settings) {
  const auto start = std::chrono::steady_clock::now();
  BatchRecord record;
  record.id = event.id;
  record.index = event.index;
  solveInto(event, settings, record);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  record.elapsed = std::round(elapsed.count() / kMicrosecond) * kMicrosecond;
  return record;
}

std::string recordLine(const BatchRecord& r) {
  std::string line;
  line.reserve(r.solution.size() + r.error.size() + r.id.size() + 128);
  line.append("{\"id\":").append(jsonString(r.id));
  line.append(",\"index\":").append(std::to_string(r.index));
  line.append(",\"status\":\"").append(batchStatusName(r.status)).append("\"");
  line.append(",\"solution\":").append(r.solution.empty() ? "null" : r.solution);
  line.append(",\"error\":").append(r.error.empty() ? "null" : jsonString(r.error));
  line.append(",\"elapsed\":").append(Json(r.elapsed).dump()).append("}\n");
  return line;
}

RecordedEvents recordedEvents(const std::string& text) {
  RecordedEvents recorded;
  forEachLine(text, [&](std::string_view line, int, bool complete) {
    std::string id;
    std::size_t index = 0;
    BatchStatus status = BatchStatus::InputError;
    if (complete && parseRecord(line, id, index, &status)) recorded.emplace(id, status);
  });
  return recorded;
}

std::size_t completeLength(const std::string& text) {
  const auto last = text.rfind('\n');
  return last == std::string::npos ? 0 : last + 1;
}

bool mergeRecords(const std::vector<NamedText>& texts, std::string& merged, std::string& error) {
  std::map<std::size_t, std::vector<std::string>> byIndex;  // index -> lines, first seen first
  std::set<std::string> seen;
  for (const NamedText& text : texts) {
    bool ok = true;
    forEachLine(text.text, [&](std::string_view line, int number, bool complete) {
      if (!ok || !complete || blank(line)) return;  // an incomplete line is a torn last line
      std::string id;
      std::size_t index = 0;
      if (!parseRecord(line, id, index)) {
        error = text.name + ":" + std::to_string(number) +
                ": expected a batch record (a JSON object with \"id\", \"index\" and \"elapsed\")";
        ok = false;
        return;
      }
      if (seen.insert(id).second) byIndex[index].push_back(std::string(line) + "\n");
    });
    if (!ok) return false;
  }
  merged.clear();
  for (const auto& [index, lines] : byIndex)
    for (const std::string& line : lines) merged += line;
  return true;
}

int batchExitStatus(const BatchCounts& counts) {
  if (counts.inputErrors > 0) return kExitInput;
  if (counts.noSolution > 0) return kExitNoSolution;
  return kExitSolved;
}

BatchCounts runBatch(const std::vector<BatchEvent>& events, const BatchSettings& settings, int threads,
                     const RecordSink& sink, const BatchProgressFunction& progress, std::string& error) {
  BatchCounts counts;
  if (events.empty()) return counts;
  RecordQueue queue(events.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  const int workerTotal = workerCount(threads, events.size());
  for (int w = 0; w < workerTotal; ++w) {
    workers.emplace_back([&] {
      for (std::size_t i = next++; i < events.size() && !stop; i = next++) queue.put(i, solveBatchEvent(events[i], settings));
    });
  }
  for (std::size_t i = 0; i < events.size(); ++i) {
    const BatchRecord record = queue.take(i);
    if (!sink(record, error)) {
      stop = true;
      break;
    }
    countStatus(counts, record.status);
    if (progress) progress(counts, events.size());
  }
  for (std::thread& worker : workers) worker.join();
  return counts;
}

// ---- the results file -------------------------------------------------------

RecordFile::~RecordFile() {
  if (own_ && fd_ >= 0) ::close(fd_);
}

void RecordFile::attach(int fd) {
  fd_ = fd;
  own_ = false;
  path_ = "standard output";
}

bool RecordFile::open(const std::string& path, RecordedEvents& recorded, std::string& error) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error = path + ": cannot open for appending: " + std::strerror(errno);
    return false;
  }
  own_ = true;
  std::string content;
  char buffer[1 << 16];
  for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = path + ": cannot read: " + std::strerror(errno);
      return false;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t length = completeLength(content);
  // A killed run may leave a torn last line: cut it off so that the next record starts a line.
  if (length < content.size() && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
    error = path + ": cannot cut off the torn last line: " + std::strerror(errno);
    return false;
  }
  content.resize(length);
  recorded = recordedEvents(content);
  return true;
}

bool RecordFile::append(const std::string& line, std::string& error) {
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = path_ + ": cannot write: " + std::strerror(errno);
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace sightline
