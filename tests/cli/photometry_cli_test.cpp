// The photometry in every output of `sightline solve`, the luminous efficiency
// options, and bad magnitudes, on the ECSV example (its cameras give mag_data).
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_helpers.hpp"
#include "common/exit_status.hpp"

namespace sightline {
namespace {

using testing::runSightline;
using testing::ToolRun;

const std::string kEcsv =
    "examples/ecsv/ev_20261114_210307_A.ecsv examples/ecsv/ev_20261114_210307_B.ecsv "
    "examples/ecsv/ev_20261114_210307_C.ecsv";

nlohmann::json solvedJson(const std::string& options) {
  const ToolRun run = runSightline("solve --format json " + options + " " + kEcsv);
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  return nlohmann::json::parse(run.out, nullptr, false);
}

TEST(PhotometryCli, JsonHasThePhotometryAndEverySightingsMagnitudes) {
  const nlohmann::json j = solvedJson("");
  const nlohmann::json& p = j["photometry"];
  ASSERT_TRUE(p.is_object()) << j.dump();
  for (const char* key : {"peakAbsoluteMagnitude", "peakHeight", "peakHeightMsl", "peakTime", "fParameter", "mass"})
    EXPECT_TRUE(p[key].is_number()) << key;
  EXPECT_EQ(p["luminousEfficiency"], (nlohmann::json{{"model", "constant"}, {"tau", 0.007}}));
  // The example brightens to its peak in the middle of the path.
  EXPECT_NEAR(p["fParameter"].get<double>(), 0.5, 0.15);
  EXPECT_LT(p["peakHeight"].get<double>(), j["trajectory"]["begin"]["height"].get<double>());
  for (const nlohmann::json& s : j["sightings"]) {
    ASSERT_TRUE(s["magnitude"].is_number());
    EXPECT_NEAR(s["absoluteMagnitude"].get<double>(),
                s["magnitude"].get<double>() + 5.0 * std::log10(100000.0 / s["range"].get<double>()), 1e-9);
  }
}

TEST(PhotometryCli, TheMassScalesAsOneOverTau) {
  const double base = solvedJson("")["photometry"]["mass"].get<double>();
  const nlohmann::json doubled = solvedJson("--tau 1.4%")["photometry"];
  EXPECT_EQ(doubled["luminousEfficiency"]["tau"].get<double>(), 0.014);
  EXPECT_NEAR(doubled["mass"].get<double>(), base / 2.0, 1e-12 * base);
  EXPECT_NEAR(solvedJson("--tau 0.0035")["photometry"]["mass"].get<double>(), base * 2.0, 1e-12 * base);
}

TEST(PhotometryCli, Drolshagen2021TakesTauFromTheInitialSpeed) {
  const double base = solvedJson("")["photometry"]["mass"].get<double>();
  const nlohmann::json j = solvedJson("--luminous-efficiency drolshagen2021");
  const double speed = j["trajectory"]["velocity"]["initial"].get<double>() / 1000.0;
  const double tau = 0.0023 * std::pow(speed, 2.3) / 100.0;
  EXPECT_EQ(j["photometry"]["luminousEfficiency"]["model"], "drolshagen2021");
  EXPECT_NEAR(j["photometry"]["luminousEfficiency"]["tau"].get<double>(), tau, 1e-12);
  EXPECT_NEAR(j["photometry"]["mass"].get<double>(), base * 0.007 / tau, 1e-9 * base);
}

TEST(PhotometryCli, TextCsvGeoJsonAndKmlCarryIt) {
  const nlohmann::json j = solvedJson("");
  const ToolRun text = runSightline("solve " + kEcsv);
  EXPECT_NE(text.out.find("\nPhotometry (absolute magnitudes at 100 km"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  mass     "), std::string::npos);
  const ToolRun csv = runSightline("solve --format csv " + kEcsv);
  std::istringstream lines(csv.out);
  std::string header, row;
  std::getline(lines, header);
  std::getline(lines, row);
  EXPECT_EQ(header.substr(header.size() - 29), ",magnitude,absolute_magnitude");
  const std::string last = row.substr(row.rfind(',') + 1);
  EXPECT_NEAR(std::stod(last), j["sightings"][0]["absoluteMagnitude"].get<double>(), 0.0005);
  const nlohmann::json geo = nlohmann::json::parse(runSightline("solve --format geojson " + kEcsv).out);
  int trajectories = 0, sightLines = 0;
  for (const nlohmann::json& f : geo["features"]) {
    if (f["properties"]["kind"] == "trajectory") {
      ++trajectories;
      EXPECT_NEAR(f["properties"]["peakAbsoluteMagnitude"].get<double>(), j["photometry"]["peakAbsoluteMagnitude"].get<double>(), 0.0005);
      EXPECT_TRUE(f["properties"]["photometricMass_kg"].is_number());
    } else if (f["properties"]["kind"] == "line of sight") {
      ++sightLines;
      EXPECT_TRUE(f["properties"]["absoluteMagnitude"].is_number());
    }
  }
  EXPECT_EQ(trajectories, 1);
  EXPECT_EQ(sightLines, static_cast<int>(j["sightings"].size()));
  EXPECT_NE(runSightline("solve --format kml " + kEcsv).out.find("Photometry: peak absolute magnitude"), std::string::npos);
}

TEST(PhotometryCli, AnEventWithoutMagnitudesHasNullPhotometryAndNoTextBlock) {
  const ToolRun run = runSightline("solve --format json examples/three-stations.json");
  ASSERT_EQ(run.status, kExitSolved);
  EXPECT_TRUE(nlohmann::json::parse(run.out)["photometry"].is_null());
  EXPECT_EQ(runSightline("solve examples/three-stations.json").out.find("Photometry"), std::string::npos);
}

struct BadOption {
  std::string name;
  std::string options;
  std::string message;
};
[[maybe_unused]] void PrintTo(const BadOption& c, std::ostream* os) { *os << c.name; }

class PhotometryBadOption : public ::testing::TestWithParam<BadOption> {};

TEST_P(PhotometryBadOption, IsAUsageError) {
  const ToolRun run = runSightline("solve " + GetParam().options + " " + kEcsv);
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
}

const BadOption kBadOptions[] = {
    {"TauZero", "--tau 0", "expected a luminous efficiency above 0"},
    {"TauOverAHundredPerCent", "--tau 150%", "found 150%"},
    {"TauText", "--tau much", "found much"},
    {"TauWithASpeedModel", "--tau 1% --luminous-efficiency drolshagen2021", "--tau: sets the constant luminous efficiency"},
    {"UnknownModel", "--luminous-efficiency opik", "opik"},
};
INSTANTIATE_TEST_SUITE_P(Table, PhotometryBadOption, ::testing::ValuesIn(kBadOptions),
                         [](const auto& info) { return info.param.name; });

TEST(PhotometryCli, ABadMagnitudeIsAnInputErrorWithItsPath) {
  const std::string event = R"({"format": "sightline-event", "version": 1, "stations": [
    {"name": "A", "latitude": 47.5, "longitude": 11.0, "height": 600, "sightings": [{"azimuth": 10, "elevation": 30, "magnitude": 99}]},
    {"name": "B", "latitude": 48.0, "longitude": 12.0, "height": 450, "sightings": [{"azimuth": 200, "elevation": 40}]}]})";
  const ToolRun run = runSightline("solve -", event);
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_NE(run.err.find("stations[0].sightings[0].magnitude: expected a number, the apparent magnitude, from -30 to +15, found 99"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace sightline
