// sightline correlate on synthetic nights written as camera-night folders:
// the events against the truth, the same bytes for any thread count and input
// order, the events solved close to the true trajectories, and bad inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include <nlohmann/json.hpp>

#include "cli/cli_helpers.hpp"
#include "correlate/synthetic_night.hpp"
#include "formats/event_json.hpp"
#include "formats/heights.hpp"
#include "trajectory/solve.hpp"

namespace sightline {
namespace {

namespace fs = std::filesystem;
using sightline::testing::runSightline;
using sightline::testing::readText;

// A small night: 14 sites, 120 meteors, written once for every test here.
class WrittenNight : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    synthetic::NightPlan plan;
    plan.seed = 11;
    plan.sites = 14;
    plan.meteors = 120;
    plan.satellites = 6, plan.aircraft = 4, plan.noiseTracks = 30;
    plan.radius = 120e3;
    night_ = new synthetic::Night(synthetic::makeNight(plan));
    root_ = new std::string((fs::temp_directory_path() / ("sightline-night-" + std::to_string(::getpid()))).string());
    fs::remove_all(*root_);
    folders_ = new std::vector<std::string>(synthetic::writeNightFolders(*night_, *root_));
    // Variants a folder search must not read: were they read, their nonsense would make the exit status 3.
    const fs::path first = fs::path(folders_->front());
    for (const char* name : {"FTPdetectinfo_XX0001_uncalibrated.txt", "FTPdetectinfo_XX0001_backup_1.txt",
                             "FTPdetectinfo_XX0001_unfiltered.txt", "FTPdetectinfo_XX0001_manual.txt"})
      std::ofstream(first / name) << "not a detection file\n";
  }
  static void TearDownTestSuite() {
    fs::remove_all(*root_);
    delete night_, delete root_, delete folders_;
  }
  static std::string events(const std::string& arguments, int expectedStatus = 0) {
    const std::string out = *root_ + "/events.jsonl";
    const auto run = runSightline("correlate " + arguments + " -o '" + out + "'");
    EXPECT_EQ(run.status, expectedStatus) << run.err;
    return readText(out);
  }
  inline static synthetic::Night* night_ = nullptr;
  inline static std::string* root_ = nullptr;
  inline static std::vector<std::string>* folders_ = nullptr;
};

std::vector<nlohmann::json> lines(const std::string& text) {
  std::vector<nlohmann::json> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
  return out;
}

TEST_F(WrittenNight, EventsAreValidPureAndComplete) {
  const std::string text = events("'" + *root_ + "'");
  std::map<std::tuple<std::string, std::string, int>, std::size_t> index;  // (file, ff, meteor) -> detection
  for (std::size_t k = 0; k < night_->detections.size(); ++k) {
    const Detection& d = night_->detections[k];
    index[{d.file, d.ff, d.meteor}] = k;
  }
  std::vector<CorrelatedEvent> found;
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    const EventReadResult read = readEventJson(line, "events.jsonl:" + std::to_string(n + 1));
    ASSERT_FALSE(read.error) << read.error->text();
    const auto j = nlohmann::json::parse(line);
    CorrelatedEvent e;
    std::set<std::string> stations;
    for (const auto& s : j["stations"]) {
      EXPECT_EQ(s["heightReference"], "msl");
      EXPECT_TRUE(stations.insert(s["name"].get<std::string>()).second) << "a station twice in " << line.substr(0, 80);
      const auto& d = s["detection"];
      const auto it = index.find({d["file"], d["ff"], d["meteor"]});
      ASSERT_NE(it, index.end()) << d.dump();
      e.detections.push_back(it->second);
      EXPECT_EQ(s["sightings"].size(), night_->detections[it->second].sightings.size());
    }
    EXPECT_EQ(j["refraction"], "corrected");
    found.push_back(e);
  }
  const synthetic::Score s = synthetic::score(*night_, found);
  std::printf("written night: %d events, pure %.4f, eligible %d, found %.4f, complete %.4f, split %.4f, false %.4f\n",
              s.events, s.purity(), s.eligible, s.foundFraction(), s.completeFraction(), s.splitFraction(), s.falseFraction());
  EXPECT_GT(s.eligible, 60);
  EXPECT_GE(s.purity(), 0.995);
  EXPECT_GE(s.foundFraction(), 0.97);
  EXPECT_GE(s.completeFraction(), 0.95);
  EXPECT_EQ(s.falseInEvents, 0);
}

TEST_F(WrittenNight, SameBytesForAnyThreadCountAndInputOrder) {
  const std::string all = events("--threads 2 '" + *root_ + "'");
  std::string forward, backward;
  for (const std::string& f : *folders_) forward += " '" + f + "'";
  for (auto it = folders_->rbegin(); it != folders_->rend(); ++it) backward += " '" + *it + "'";
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(events("--threads 1" + forward), all);
  EXPECT_EQ(events("--threads 3" + backward), all);
}

TEST_F(WrittenNight, SolvedEventsLieOnTheTrueTrajectories) {
  const std::string text = events("'" + *root_ + "'");
  std::map<std::pair<std::string, std::string>, int> objectOf;
  for (std::size_t k = 0; k < night_->detections.size(); ++k)
    objectOf[{night_->detections[k].file, night_->detections[k].ff}] = night_->object[k];
  int solved = 0;
  for (const auto& j : lines(text)) {
    if (solved == 8) break;
    EventReadResult read = readEventJson(j.dump(), "event");
    ASSERT_FALSE(read.error);
    Event event = read.event;
    for (Station& s : event.stations) s.heightReference = HeightReference::Ellipsoid;  // the night's truth has no geoid
    const Solution solution = solve(event);
    ASSERT_TRUE(solution.trajectory);
    const auto& d = j["stations"][0]["detection"];
    const synthetic::Truth& truth = night_->objects[static_cast<std::size_t>(objectOf.at({d["file"], d["ff"]}))];
    const Vector3 u = (truth.end - truth.begin) / distance(truth.end, truth.begin);
    // The line, whichever way solve() orients it (it may take a line flown backwards at a negative speed).
    const double angle = std::acos(std::min(1.0, std::fabs(dot(u, solution.trajectory->direction)))) * 180.0 / 3.14159265358979323846;
    const double miss = cross(solution.trajectory->begin.ecef - truth.begin, u).length();
    EXPECT_LT(angle, 1.0) << j["name"];
    EXPECT_LT(miss, 1000.0) << j["name"];
    ++solved;
  }
  EXPECT_EQ(solved, 8);
}

TEST_F(WrittenNight, DetectionsFileHoldsEveryDetection) {
  const std::string out = *root_ + "/detections.jsonl";
  const auto run = runSightline("correlate '" + *root_ + "' -o /dev/null --detections '" + out + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto all = lines(readText(out));
  EXPECT_EQ(all.size(), night_->detections.size());
  for (const char* key : {"station", "file", "ff", "meteor", "fps", "latitude", "longitude", "elevation", "sightings"})
    EXPECT_TRUE(all.front().contains(key)) << key;
  const auto& s = all.front()["sightings"][0];
  for (const char* key : {"time", "azimuth", "elevation", "magnitude"}) EXPECT_TRUE(s.contains(key)) << key;
}

// A malformed file, a camera without a position and a folder without detections, beside good folders.
TEST_F(WrittenNight, BadInputsAreNamedAndTheRestIsCorrelated) {
  const fs::path bad = fs::path(*root_) / "bad";
  fs::create_directories(bad / "broken");
  fs::create_directories(bad / "nowhere");
  fs::create_directories(bad / "empty");
  fs::copy_file(fs::path(folders_->at(1)) / ".config", bad / "broken" / ".config", fs::copy_options::overwrite_existing);
  std::string text;
  for (const auto& entry : fs::directory_iterator(folders_->at(1)))
    if (entry.path().filename().string().rfind("FTPdetectinfo", 0) == 0) text = readText(entry.path().string());
  ASSERT_FALSE(text.empty());
  const std::size_t at = text.find("+0", text.find("Per segment") + 200);
  std::ofstream(bad / "broken" / "FTPdetectinfo_XX0002_broken.txt") << text.substr(0, at) << "x1.5" << text.substr(at + 4);
  std::ofstream(bad / "nowhere" / "FTPdetectinfo_XX0099_20261208.txt") << text;
  std::string good;
  for (std::size_t k = 2; k < folders_->size(); ++k) good += " '" + folders_->at(k) + "'";
  const std::string out = *root_ + "/bad-events.jsonl";
  const auto run = runSightline("correlate '" + bad.string() + "/broken' '" + bad.string() + "/nowhere' '" + bad.string() +
                                "/empty'" + good + " -o '" + out + "'");
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("FTPdetectinfo_XX0002_broken.txt:"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((bad / "nowhere").string() + ": no .config"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((bad / "empty").string() + ": no detection files"), std::string::npos) << run.err;
  EXPECT_FALSE(lines(readText(out)).empty());
  fs::remove_all(bad);
}

TEST_F(WrittenNight, MissingInputIsACommandLineError) {
  const auto run = runSightline("correlate '" + *root_ + "/no-such-folder' -o '" + *root_ + "/x.jsonl'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no-such-folder: no such file or folder"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(*root_ + "/x.jsonl"));
}

}  // namespace
}  // namespace sightline
