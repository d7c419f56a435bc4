// `sightline batch` run as users run it: the same records whatever the thread
// count and the shards, solutions equal to `sightline solve --format json`,
// and a run cut short (a torn last line) resumed to the whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_helpers.hpp"
#include "formats/event_json.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline::testing {
namespace {

namespace fs = std::filesystem;

// A known event seen from three stations, its trajectory shifted east by `shift` degrees.
std::string knownEventLine(double shift) {
  KnownTrajectory truth;
  truth.begin = {50.10, 15.00 + shift, 95000};
  truth.end = {50.45, 15.30 + shift, 40000};
  truth.beginTime = 1.8e9;
  const std::vector<KnownStation> stations = {{"Alder", {49.70, 14.60 + shift, 300}, 4, 0.0, 1.0},
                                              {"Birch", {50.20, 15.90 + shift, 450}, 4, 0.1, 0.9},
                                              {"Cedar", {50.90, 14.70 + shift, 250}, 4, 0.0, 0.95}};
  return nlohmann::ordered_json::parse(writeEventJson(knownEvent(truth, stations))).dump() + "\n";
}

// Inputs of every kind: a JSON Lines file with a malformed line and a blank
// one, an event file, and a folder with an event file and a sub-folder of ECSV files.
std::string batchInputs() {
  std::string lines;
  for (int i = 0; i < 5; ++i) lines += knownEventLine(0.1 * i);
  lines += "{\"format\": \"sightline-event\", \"stations\": [\n\n";
  for (int i = 5; i < 8; ++i) lines += knownEventLine(0.1 * i);
  const std::string jsonl = writeTemp("batch-night.jsonl", lines);
  const fs::path folder = fs::path(writeTemp("batch-folder-marker", "")).parent_path() / "batch-folder";
  fs::create_directories(folder / "ecsv-event");
  for (const char* station : {"A", "B", "C"}) {
    const std::string name = std::string("ev_20261114_210307_") + station + ".ecsv";
    fs::copy_file(fs::path(SIGHTLINE_EXAMPLES_DIR) / "ecsv" / name, folder / "ecsv-event" / name,
                  fs::copy_options::overwrite_existing);
  }
  fs::copy_file(fs::path(SIGHTLINE_EXAMPLES_DIR) / "four-sightings.json", folder / "four-sightings.json",
                fs::copy_options::overwrite_existing);
  return "'" + jsonl + "' examples/three-stations.json '" + folder.string() + "'";
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The records without their "elapsed", the one field that depends on the machine.
std::vector<std::string> withoutElapsed(const std::string& text) {
  std::vector<std::string> records;
  for (std::string line : linesOf(text)) records.push_back(line.substr(0, line.rfind(",\"elapsed\":")));
  return records;
}

ToolRun batch(const std::string& arguments, const std::string& output) {
  fs::remove(output);
  return runSightline("batch " + arguments + " -o '" + output + "' " + batchInputs());
}

TEST(BatchCommand, RecordsEveryEventInInputOrderAndSaysSomeWereInvalid) {
  const std::string out = writeTemp("batch-all.jsonl", "");
  const ToolRun run = batch("--mc 10 --threads 2", out);
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("12 events: 11 solved, 0 no solution, 1 input errors"), std::string::npos) << run.err;
  const auto records = linesOf(readText(out));
  ASSERT_EQ(records.size(), 12u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto record = nlohmann::ordered_json::parse(records[i]);
    EXPECT_EQ(record["index"], i);
    EXPECT_EQ(std::prev(record.end()).key(), "elapsed");
  }
  const auto bad = nlohmann::json::parse(records[5]);
  EXPECT_EQ(bad["status"], "input-error");
  EXPECT_EQ(bad["id"].get<std::string>().substr(bad["id"].get<std::string>().size() - 8), ".jsonl:6");
  EXPECT_TRUE(bad["solution"].is_null());
  const std::string folderEvent = nlohmann::json::parse(records[10])["id"];
  EXPECT_EQ(fs::path(folderEvent).filename(), "ecsv-event");
  EXPECT_EQ(nlohmann::json::parse(records[10])["status"], "solved");
}

TEST(BatchCommand, OneAndThreeThreadsGiveTheSameRecords) {
  const std::string one = writeTemp("batch-t1.jsonl", ""), two = writeTemp("batch-t2.jsonl", "");
  batch("--mc 10 --threads 1", one);
  batch("--mc 10 --threads 3", two);
  EXPECT_EQ(withoutElapsed(readText(one)), withoutElapsed(readText(two)));
}

TEST(BatchCommand, MergedShardsEqualTheWhole) {
  const std::string whole = writeTemp("batch-whole.jsonl", "");
  batch("--mc 10", whole);
  std::string shards;
  for (int i = 0; i < 3; ++i) {
    const std::string shard = writeTemp("batch-shard" + std::to_string(i) + ".jsonl", "");
    batch("--mc 10 --shard " + std::to_string(i) + "/3", shard);
    EXPECT_EQ(linesOf(readText(shard)).size(), 4u);
    shards += " '" + shard + "'";
  }
  const ToolRun merged = runSightline("batch --merge -o -" + shards);
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(withoutElapsed(merged.out), withoutElapsed(readText(whole)));
}

TEST(BatchCommand, ResumesARunCutShortToTheWhole) {
  const std::string whole = writeTemp("batch-whole2.jsonl", "");
  batch("", whole);
  const std::string text = readText(whole);
  const std::size_t fourth = text.find('\n', text.find('\n', text.find('\n') + 1) + 1) + 1;
  const std::string cut = writeTemp("batch-cut.jsonl", text.substr(0, fourth + 40));  // 3 records and a torn one
  const ToolRun resumed = runSightline("batch --resume -o '" + cut + "' " + batchInputs());
  EXPECT_EQ(resumed.status, 3) << resumed.err;
  EXPECT_NE(resumed.err.find("(3 already recorded, skipped)"), std::string::npos) << resumed.err;
  EXPECT_EQ(withoutElapsed(readText(cut)), withoutElapsed(text));
}

TEST(BatchCommand, ASolutionIsExactlyWhatSolveGives) {
  const ToolRun solve = runSightline("solve --format json --mc 0 examples/three-stations.json");
  ASSERT_EQ(solve.status, 0) << solve.err;
  const ToolRun run = runSightline("batch --mc 0 -o - examples/three-stations.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto record = nlohmann::json::parse(run.out);
  EXPECT_EQ(record["solution"], nlohmann::json::parse(solve.out));
  EXPECT_EQ(record["id"], "examples/three-stations.json");
}

TEST(BatchCommand, RefusesAShardThatIsNotIOfN) {
  const ToolRun run = runSightline("batch --shard 4/4 -o - examples/three-stations.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--shard 4/4: expected I/N"), std::string::npos) << run.err;
}

// A folder that holds ECSV files is one event, solved as `solve` solves the files.
TEST(BatchCommand, AFolderOfEcsvFilesIsOneEventSolvedAsSolveSolvesItsFiles) {
  const ToolRun run = runSightline("batch examples/ecsv");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("1 events: 1 solved"), std::string::npos) << run.err;
  const auto records = linesOf(run.out);
  ASSERT_EQ(records.size(), 1u) << run.out;
  const auto record = nlohmann::ordered_json::parse(records[0]);
  EXPECT_EQ(record["id"], "examples/ecsv");
  EXPECT_EQ(record["status"], "solved");
  const ToolRun solve = runSightline(
      "solve --format json examples/ecsv/ev_20261114_210307_A.ecsv examples/ecsv/ev_20261114_210307_B.ecsv "
      "examples/ecsv/ev_20261114_210307_C.ecsv");
  ASSERT_EQ(solve.status, 0) << solve.err;
  EXPECT_EQ(record["solution"], nlohmann::ordered_json::parse(solve.out));
}

// Inputs that yield no event are records that say why, never a silent empty batch.
TEST(BatchCommand, AnInputWithoutEventsIsReportedAsAnInputError) {
  const fs::path empty = fs::path(writeTemp("batch-empty-marker", "")).parent_path() / "batch-no-events";
  fs::create_directories(empty);
  std::ofstream(empty / "notes.txt") << "not an event\n";
  const fs::path lonely = fs::path(writeTemp("batch-lonely-marker", "")).parent_path() / "batch-one-ecsv";
  fs::create_directories(lonely);
  fs::copy_file(fs::path(SIGHTLINE_EXAMPLES_DIR) / "ecsv" / "ev_20261114_210307_A.ecsv", lonely / "A.ecsv",
                fs::copy_options::overwrite_existing);
  const std::string blank = writeTemp("batch-blank.jsonl", "\n  \n");
  const ToolRun run = runSightline("batch '" + empty.string() + "' '" + blank + "' '" + lonely.string() + "'");
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("3 events: 0 solved, 0 no solution, 3 input errors"), std::string::npos) << run.err;
  const auto records = linesOf(run.out);
  ASSERT_EQ(records.size(), 3u) << run.out;
  const std::string expected[3] = {"no event in the folder", "no event in the file", "two or more"};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto record = nlohmann::ordered_json::parse(records[i]);
    EXPECT_EQ(record["status"], "input-error") << records[i];
    EXPECT_NE(record["error"].get<std::string>().find(expected[i]), std::string::npos) << records[i];
  }
}

}  // namespace
}  // namespace sightline::testing
