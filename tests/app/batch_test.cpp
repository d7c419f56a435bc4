// The batch machinery: seeds against published SplitMix64 and FNV-1a values,
// shards, records, merging and resuming, and solved events against the known
// trajectory they were traced from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/batch.hpp"
#include "formats/event_json.hpp"
#include "support/readable_name.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

// ---- seeds ------------------------------------------------------------------

// SplitMix64 from state 0 first returns 0xE220A8397B1DCDAF (Vigna's reference
// splitmix64.c); FNV-1a-64 of "" is the offset basis and of "a" is
// 0xAF63DC4C8601EC8C (the FNV authors' test vectors). So a base that cancels
// the id's hash must give that first output.
TEST(BatchEventSeed, IsSplitMix64OfTheBaseXorTheFnvHashOfTheId) {
  EXPECT_EQ(batchEventSeed(14695981039346656037ull, ""), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(batchEventSeed(0xAF63DC4C8601EC8Cull, "a"), 0xE220A8397B1DCDAFull);
}

TEST(BatchEventSeed, DiffersBetweenEventsOfTheSameFileAndBetweenBases) {
  EXPECT_NE(batchEventSeed(20261208, "night.jsonl:1"), batchEventSeed(20261208, "night.jsonl:2"));
  EXPECT_NE(batchEventSeed(1, "night.jsonl:1"), batchEventSeed(2, "night.jsonl:1"));
}

// ---- shards -------------------------------------------------------------------

struct ShardCase {
  const char* text;
  bool valid;
  std::size_t index, count;
  friend std::ostream& operator<<(std::ostream& out, const ShardCase& c) { return out << '"' << c.text << '"'; }
};

class ShardText : public ::testing::TestWithParam<ShardCase> {};

TEST_P(ShardText, IsReadOrRefused) {
  const ShardCase& c = GetParam();
  const auto shard = shardFromText(c.text);
  ASSERT_EQ(shard.has_value(), c.valid);
  if (!c.valid) return;
  EXPECT_EQ(shard->index, c.index);
  EXPECT_EQ(shard->count, c.count);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShardText,
                         ::testing::Values(ShardCase{"0/4", true, 0, 4}, ShardCase{"3/4", true, 3, 4},
                                           ShardCase{"0/1", true, 0, 1}, ShardCase{"4/4", false, 0, 0},
                                           ShardCase{"1/0", false, 0, 0}, ShardCase{"-1/2", false, 0, 0},
                                           ShardCase{"2", false, 0, 0}, ShardCase{"a/b", false, 0, 0},
                                           ShardCase{"1/2/3", false, 0, 0}),
                         testing::ReadableName{});

std::vector<BatchEvent> numberedEvents(std::size_t count) {
  std::vector<BatchEvent> events(count);
  for (std::size_t i = 0; i < count; ++i) {
    events[i].id = "e" + std::to_string(i);
    events[i].index = i;
  }
  return events;
}

// ---- listing ---------------------------------------------------------------

// A fresh folder under the test's temporary folder holding `files` (relative paths), each a line of text.
std::filesystem::path folderWith(const std::string& name, const std::vector<std::string>& files) {
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / name;
  std::filesystem::remove_all(folder);
  for (const std::string& file : files) {
    std::filesystem::create_directories((folder / file).parent_path());
    std::ofstream(folder / file) << "x\n";
  }
  return folder;
}

TEST(ListBatchEvents, AFolderOfEcsvFilesIsOneEventOfItsFilesSortedByName) {
  const auto folder = folderWith("list-ecsv", {"C.ecsv", "A.ecsv", "B.ecsv", "notes.txt"});
  const std::vector<BatchEvent> events = listBatchEvents({folder.string()});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].id, folder.string());
  EXPECT_EQ(events[0].source, BatchSource::EcsvFolder);
  EXPECT_EQ(events[0].paths, (std::vector<std::string>{(folder / "A.ecsv").string(), (folder / "B.ecsv").string(),
                                                       (folder / "C.ecsv").string()}));
}

TEST(ListBatchEvents, AFolderGivesItsOwnEcsvEventFirstThenItsEventFilesAndSubFolders) {
  const auto folder = folderWith("list-mixed", {"b.ecsv", "a.ecsv", "z.json", "night/1.ecsv", "night/2.ecsv", "empty/x.txt"});
  const std::vector<BatchEvent> events = listBatchEvents({folder.string()});
  std::vector<std::string> ids;
  for (const BatchEvent& e : events) ids.push_back(e.id);
  EXPECT_EQ(ids, (std::vector<std::string>{folder.string(), (folder / "night").string(), (folder / "z.json").string()}));
  for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].index, i);
}

TEST(ListBatchEvents, AnInputWithoutEventsIsAnUnreadableEventThatSaysWhy) {
  const auto folder = folderWith("list-none", {"README.md", "python/x.py"});
  const std::string blank = ::testing::TempDir() + "list-blank.jsonl";
  std::ofstream(blank) << "\n \t\n";
  const std::vector<BatchEvent> events = listBatchEvents({folder.string(), blank});
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].source, BatchSource::Unreadable);
  EXPECT_EQ(events[0].id, folder.string());
  EXPECT_EQ(events[0].error.rfind(folder.string() + ": no event in the folder", 0), 0u) << events[0].error;
  EXPECT_EQ(events[1].source, BatchSource::Unreadable);
  EXPECT_EQ(events[1].error, blank + ": no event in the file: every line is blank");
  const BatchRecord r = solveBatchEvent(events[0], BatchSettings{});
  EXPECT_EQ(r.status, BatchStatus::InputError);
  EXPECT_EQ(r.error, events[0].error);
}

TEST(SelectBatchEvents, ShardsHoldEveryEventExactlyOnceAndSkipRecordedIds) {
  const auto events = numberedEvents(23);
  std::vector<int> seen(events.size(), 0);
  for (std::size_t i = 0; i < 5; ++i)
    for (const BatchEvent& e : selectBatchEvents(events, Shard{i, 5}, {})) {
      EXPECT_EQ(e.index % 5, i);
      ++seen[e.index];
    }
  for (int s : seen) EXPECT_EQ(s, 1);
  const auto left = selectBatchEvents(events, Shard{}, {{"e0", BatchStatus::Solved}, {"e7", BatchStatus::NoSolution}});
  EXPECT_EQ(left.size(), 21u);
  EXPECT_EQ(left[0].id, "e1");
}

// ---- records --------------------------------------------------------------------

TEST(RecordLine, IsOneJsonObjectWithElapsedLastAndNullsForWhatIsMissing) {
  BatchRecord record;
  record.id = "a \"quoted\" name.json";
  record.index = 12;
  record.status = BatchStatus::InputError;
  record.error = "a.json: cannot open";
  record.elapsed = 0.25;
  const std::string line = recordLine(record);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  const auto value = nlohmann::ordered_json::parse(line);
  EXPECT_EQ(value["id"], record.id);
  EXPECT_EQ(value["index"], 12);
  EXPECT_EQ(value["status"], "input-error");
  EXPECT_TRUE(value["solution"].is_null());
  EXPECT_EQ(value["error"], record.error);
  EXPECT_EQ(std::prev(value.end()).key(), "elapsed");
}

struct LengthCase {
  const char* name;
  const char* text;
  std::size_t length;
  friend std::ostream& operator<<(std::ostream& out, const LengthCase& c) { return out << c.name; }
};

class CompleteLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(CompleteLength, CutsOnlyATornLastLine) { EXPECT_EQ(completeLength(GetParam().text), GetParam().length); }

INSTANTIATE_TEST_SUITE_P(Cases, CompleteLength,
                         ::testing::Values(LengthCase{"empty", "", 0}, LengthCase{"whole", "{}\n{}\n", 6},
                                           LengthCase{"torn", "{}\n{\"id\":", 3},
                                           LengthCase{"only_torn", "{\"id", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

std::string record(const std::string& id, std::size_t index, const char* status = "solved") {
  return "{\"id\":\"" + id + "\",\"index\":" + std::to_string(index) + ",\"status\":\"" + status +
         "\",\"solution\":null,\"error\":null,\"elapsed\":0.5}\n";
}

TEST(RecordedEvents, KeepsCompleteRecordsWithTheirStatusAndIgnoresATornLine) {
  const auto recorded = recordedEvents(record("a", 0) + record("b", 1, "no-solution") + "{\"id\":\"c\",\"ind");
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded.at("a"), BatchStatus::Solved);
  EXPECT_EQ(recorded.at("b"), BatchStatus::NoSolution);
}

TEST(MergeRecords, PutsShardsBackInInputOrderEachIdOnce) {
  const std::vector<NamedText> shards = {{"s0", record("a", 0) + record("c", 2) + record("e", 4) + "{\"id\":\"g\""},
                                         {"s1", record("b", 1) + record("d", 3) + record("b", 1)}};
  std::string merged, error;
  ASSERT_TRUE(mergeRecords(shards, merged, error)) << error;
  EXPECT_EQ(merged, record("a", 0) + record("b", 1) + record("c", 2) + record("d", 3) + record("e", 4));
}

TEST(MergeRecords, NamesTheFileAndLineOfWhatIsNotARecord) {
  std::string merged, error;
  EXPECT_FALSE(mergeRecords({{"s0.jsonl", record("a", 0) + "{\"x\":1}\n"}}, merged, error));
  EXPECT_NE(error.find("s0.jsonl:2:"), std::string::npos) << error;
}

TEST(BatchExitStatus, InvalidEventsOutrankEventsWithoutSolution) {
  EXPECT_EQ(batchExitStatus({3, 0, 0}), 0);
  EXPECT_EQ(batchExitStatus({3, 1, 0}), 4);
  EXPECT_EQ(batchExitStatus({3, 1, 1}), 3);
}

// ---- the results file --------------------------------------------------------------

TEST(RecordFile, CutsOffATornLineAndAppendsWholeRecords) {
  const std::string path = ::testing::TempDir() + "batch_record_file.jsonl";
  std::ofstream(path, std::ios::binary) << record("a", 0) << "{\"id\":\"b\",\"inde";
  RecordedEvents recorded;
  std::string error;
  {
    RecordFile file;
    ASSERT_TRUE(file.open(path, recorded, error)) << error;
    ASSERT_TRUE(file.append(record("b", 1), error)) << error;
  }
  EXPECT_EQ(recorded.size(), 1u);
  std::ostringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(content.str(), record("a", 0) + record("b", 1));
  std::remove(path.c_str());
}

// ---- events solved ----------------------------------------------------------------

KnownTrajectory knownTrajectory() {
  KnownTrajectory truth;
  truth.begin = {50.10, 15.00, 95000};
  truth.end = {50.45, 15.30, 40000};
  truth.beginTime = 1.8e9;
  truth.speed = 21000;
  return truth;
}

BatchEvent knownLine(const std::string& id, std::size_t index) {
  const std::vector<KnownStation> stations = {{"Alder", {49.70, 14.60, 300}, 5, 0.0, 1.0},
                                              {"Birch", {50.20, 15.90, 450}, 5, 0.1, 0.9},
                                              {"Cedar", {50.90, 14.70, 250}, 5, 0.0, 0.95}};
  Event event = knownEvent(knownTrajectory(), stations);
  for (Station& s : event.stations) s.heightReference = HeightReference::Ellipsoid;
  BatchEvent item;
  item.id = id;
  item.index = index;
  item.source = BatchSource::EventLine;
  item.text = writeEventJson(event);
  return item;
}

TEST(SolveBatchEvent, FindsTheTrajectoryTheSightingsWereTracedFrom) {
  const BatchRecord r = solveBatchEvent(knownLine("night.jsonl:1", 0), BatchSettings{});
  ASSERT_EQ(r.status, BatchStatus::Solved) << r.error;
  const auto solution = nlohmann::json::parse(r.solution);
  const auto& begin = solution["trajectory"]["begin"];
  // The begin point is where the first sighting looks: the known begin, to well under a metre in height.
  EXPECT_NEAR(begin["latitude"].get<double>(), 50.10, 1e-6);
  EXPECT_NEAR(begin["longitude"].get<double>(), 15.00, 1e-6);
  EXPECT_NEAR(begin["height"].get<double>(), 95000, 0.5);
}

TEST(SolveBatchEvent, AMalformedLineIsARecordWithItsErrorNamed) {
  BatchEvent bad;
  bad.id = "night.jsonl:7";
  bad.source = BatchSource::EventLine;
  bad.text = "{\"format\": ";
  const BatchRecord r = solveBatchEvent(bad, BatchSettings{});
  EXPECT_EQ(r.status, BatchStatus::InputError);
  EXPECT_TRUE(r.solution.empty());
  EXPECT_EQ(r.error.rfind("night.jsonl:7", 0), 0u) << r.error;
}

std::string withoutElapsed(const std::string& line) { return line.substr(0, line.rfind(",\"elapsed\":")); }

TEST(RunBatch, GivesTheSameRecordsInInputOrderOnOneOrThreeThreadsWithDraws) {
  std::vector<BatchEvent> events;
  for (std::size_t i = 0; i < 6; ++i) events.push_back(knownLine("night.jsonl:" + std::to_string(i + 1), i));
  events[3].source = BatchSource::Unreadable;
  events[3].error = "gone.json: cannot open";
  BatchSettings settings;
  settings.draws = 20;
  std::vector<std::string> runs[2];
  BatchCounts counts[2];
  const int threads[2] = {1, 3};
  for (int r = 0; r < 2; ++r) {
    std::string error;
    counts[r] = runBatch(
        events, settings, threads[r],
        [&](const BatchRecord& record, std::string&) {
          runs[r].push_back(withoutElapsed(recordLine(record)));
          return true;
        },
        {}, error);
    EXPECT_TRUE(error.empty());
  }
  ASSERT_EQ(runs[0].size(), events.size());
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(counts[1].solved, 5u);
  EXPECT_EQ(counts[1].inputErrors, 1u);
  for (std::size_t i = 0; i < runs[0].size(); ++i)
    EXPECT_NE(runs[0][i].find("\"index\":" + std::to_string(i) + ","), std::string::npos);
  // Each event draws from a seed of its own.
  EXPECT_NE(runs[0][0].substr(runs[0][0].find("\"solution\"")), runs[0][1].substr(runs[0][1].find("\"solution\"")));
}

}  // namespace
}  // namespace sightline
