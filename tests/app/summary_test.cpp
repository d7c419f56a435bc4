// The night's summary from records of sightline batch: every column against the
// record's own numbers (the solution JSON, read here independently with
// nlohmann), missing and undefined values, order, the filter, the layouts,
// and records that are torn or foreign.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/batch.hpp"
#include "app/summary.hpp"
#include "formats/summary_writers.hpp"

namespace sightline {
namespace {

using Json = nlohmann::json;

// The record of examples/three-stations.json with 40 Monte Carlo draws, solved once.
const Json& solvedRecord() {
  static const Json record = [] {
    BatchEvent event;
    event.id = std::string(SIGHTLINE_EXAMPLES_DIR) + "/three-stations.json";
    event.paths = {event.id};
    BatchSettings settings;
    settings.draws = 40;
    settings.seed = 7;
    return Json::parse(recordLine(solveBatchEvent(event, settings)));
  }();
  return record;
}

const SummaryCell& cell(const SummaryRow& row, const char* plain) { return row.cells.at(summaryColumnIndex(plain).value()); }

double number(const SummaryRow& row, const char* plain) {
  const SummaryCell& c = cell(row, plain);
  EXPECT_EQ(c.kind, SummaryCell::Kind::Number) << plain;
  return c.number;
}

SummaryResult summaryOf(const std::string& text, const SummaryOptions& options = {}) {
  return summariseRecords({NamedText{"night.jsonl", text}}, options);
}

std::string lineOf(const Json& record) { return record.dump() + "\n"; }

TEST(SummaryColumns, AreTheEightySixOfTheLayout) {
  EXPECT_EQ(summaryColumns().size(), 86u);
  EXPECT_STREQ(summaryColumns().front().name, "Unique trajectory");
  EXPECT_STREQ(summaryColumns().back().name, "Participating");
  EXPECT_EQ(summaryColumnIndex("ra_geo_sigma").value(), summaryColumnIndex("ra_geo").value() + 1);
}

TEST(SummaryRows, CarryTheRecordsNumbersInTheTablesUnits) {
  ASSERT_EQ(solvedRecord()["status"], "solved");
  const Json& s = solvedRecord()["solution"];
  const SummaryResult result = summaryOf(lineOf(solvedRecord()));
  ASSERT_TRUE(result.problems.empty()) << result.problems.front();
  ASSERT_EQ(result.rows.size(), 1u);
  const SummaryRow& row = result.rows[0];
  const Json& o = s["orbit"];
  EXPECT_DOUBLE_EQ(number(row, "v_geo"), o["vGeocentric"].get<double>() / 1000.0);
  EXPECT_DOUBLE_EQ(number(row, "v_geo_sigma"), o["sigma"]["vGeocentric"].get<double>() / 1000.0);
  EXPECT_DOUBLE_EQ(number(row, "ra_geo"), o["radiantGeocentric"]["ra"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "lambda_hel"), o["radiantHeliocentric"]["longitude"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "peri"), o["omega"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "pi"), o["perihelionLongitude"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "t"), o["period"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "ra_app"), o["radiantOfDate"]["ra"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "lst_apparent"), o["siderealTime"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "height_begin"), s["trajectory"]["begin"]["heightMsl"].get<double>() / 1000.0);
  EXPECT_DOUBLE_EQ(number(row, "height_end_sigma"), s["trajectory"]["end"]["sigma"]["up"].get<double>() / 1000.0);
  EXPECT_DOUBLE_EQ(number(row, "v_init"), s["trajectory"]["velocity"]["initial"].get<double>() / 1000.0);
  EXPECT_DOUBLE_EQ(number(row, "duration"), s["trajectory"]["velocity"]["duration"].get<double>());
  // Metres north to degrees at the begin point: the WGS84 meridian radius of curvature
  // M = a (1 - e^2) / (1 - e^2 sin^2 lat)^1.5 plus the height.
  const double lat = s["trajectory"]["begin"]["latitude"].get<double>() * M_PI / 180.0;
  const double e2 = 6.69437999014e-3;
  const double meridian = 6378137.0 * (1 - e2) / std::pow(1 - e2 * std::sin(lat) * std::sin(lat), 1.5);
  const double metresPerDegree = (meridian + s["trajectory"]["begin"]["height"].get<double>()) * M_PI / 180.0;
  EXPECT_NEAR(number(row, "lat_begin_sigma"),
              s["trajectory"]["begin"]["sigma"]["north"].get<double>() / metresPerDegree, 1e-8);
  double qc = 0.0;
  for (const Json& pair : s["stationPairs"]) qc = std::max(qc, pair["convergenceAngle"].get<double>());
  EXPECT_DOUBLE_EQ(number(row, "qc"), qc);
  // 2026-11-14T21:03:47.2Z: JD 2461359.377629630 (JD 2440587.5 + 1794690227.2 s / 86400).
  EXPECT_NEAR(number(row, "jd_begin"), 2461359.37762963, 1e-8);
  EXPECT_EQ(cell(row, "utc_begin").text, "2026-11-14 21:03:47.200000");
  EXPECT_EQ(cell(row, "identifier").text.substr(0, 15), "20261114210347_");
  EXPECT_EQ(cell(row, "identifier").text.size(), 20u);
  EXPECT_EQ(cell(row, "iau_code").text, "...");  // a sporadic
  EXPECT_EQ(cell(row, "iau_number").integer, -1);
  EXPECT_EQ(cell(row, "stations_count").integer, 3);
  EXPECT_EQ(cell(row, "stations").text, "Hilltop Observatory,Lakeside Station,Valley Camera");
  EXPECT_EQ(cell(row, "begin_in_fov").kind, SummaryCell::Kind::None);
  EXPECT_EQ(cell(row, "peak_abs_mag").kind, SummaryCell::Kind::None);  // no photometry
}

Json withoutDraws() {
  Json r = solvedRecord();
  r["solution"]["orbit"].erase("sigma");
  return r;
}

TEST(SummaryRows, SigmasWithoutDrawsAreNoneAndUndefinedFiguresNan) {
  Json r = withoutDraws();
  Json& o = r["solution"]["orbit"];
  o["e"] = 1.2;
  o["Q"] = nullptr;
  o["period"] = nullptr;
  o["meanAnomaly"] = nullptr;
  o["meanMotion"] = nullptr;
  const SummaryResult result = summaryOf(lineOf(r));
  ASSERT_EQ(result.rows.size(), 1u);
  const SummaryRow& row = result.rows[0];
  EXPECT_EQ(cell(row, "ra_geo_sigma").kind, SummaryCell::Kind::None);
  EXPECT_TRUE(std::isnan(number(row, "t")));
  EXPECT_TRUE(std::isnan(number(row, "big_q")));
  EXPECT_TRUE(std::isnan(number(row, "m")));
  EXPECT_EQ(gmnCellText(summaryColumns()[*summaryColumnIndex("m")], cell(row, "m")), "nan");
  EXPECT_EQ(gmnCellText(summaryColumns()[*summaryColumnIndex("a_sigma")], cell(row, "a_sigma")), "None");
}

TEST(SummaryRows, ASolvedEventWithoutAnOrbitStillHasItsRow) {
  Json r = withoutDraws();
  r["solution"]["orbit"] = nullptr;
  const SummaryResult result = summaryOf(lineOf(r));
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(cell(result.rows[0], "iau_code").kind, SummaryCell::Kind::None);
  EXPECT_EQ(cell(result.rows[0], "v_geo").kind, SummaryCell::Kind::None);
  EXPECT_DOUBLE_EQ(number(result.rows[0], "azimuth"), r["solution"]["trajectory"]["radiant"]["azimuth"].get<double>());
}

TEST(SummaryRows, ShowersAndPhotometryComeFromTheirKeys) {
  Json r = withoutDraws();
  r["solution"]["orbit"]["shower"] = {{"code", "GEM"}, {"number", 4}, {"name", "Geminids"},
                                      {"radiantDistance", 0.4}, {"vgDifference", 0.01},
                                      {"solarLongitudeDifference", -0.2}};
  r["solution"]["photometry"] = {{"peakAbsoluteMagnitude", -3.25}, {"peakHeight", 80100.0},
                                 {"peakHeightMsl", 80050.0},      {"peakTime", 1.2},
                                 {"fParameter", 0.43},             {"mass", 0.0125},
                                 {"luminousEfficiency", {{"model", "constant"}, {"tau", 0.007}}}};
  SummaryResult result = summaryOf(lineOf(r));
  ASSERT_EQ(result.rows.size(), 1u);
  const SummaryRow& row = result.rows[0];
  EXPECT_EQ(cell(row, "iau_code").text, "GEM");
  EXPECT_EQ(cell(row, "iau_number").integer, 4);
  EXPECT_DOUBLE_EQ(number(row, "peak_abs_mag"), -3.25);
  EXPECT_DOUBLE_EQ(number(row, "peak_height"), 80.05);
  EXPECT_DOUBLE_EQ(number(row, "f_param"), 0.43);
  EXPECT_DOUBLE_EQ(number(row, "mass"), 0.0125);
  // Another luminous efficiency is not the column's tau = 0.7%.
  r["solution"]["photometry"]["luminousEfficiency"] = {{"model", "speed-dependent"}, {"tau", nullptr}};
  result = summaryOf(lineOf(r));
  EXPECT_EQ(cell(result.rows[0], "mass").kind, SummaryCell::Kind::None);
}

TEST(SummaryRows, AreSortedByBeginTime) {
  Json late = withoutDraws(), early = withoutDraws();
  late["solution"]["trajectory"]["velocity"]["beginTime"] = "2026-11-14T23:00:00Z";
  early["solution"]["trajectory"]["velocity"]["beginTime"] = "2026-11-14T20:00:00Z";
  const SummaryResult result = summaryOf(lineOf(late) + lineOf(early));
  ASSERT_EQ(result.rows.size(), 2u);
  EXPECT_EQ(cell(result.rows[0], "utc_begin").text, "2026-11-14 20:00:00.000000");
  EXPECT_EQ(cell(result.rows[1], "utc_begin").text, "2026-11-14 23:00:00.000000");
}

TEST(SummaryFilter, KeepsOnlyWhatTheNetworkPublishes) {
  SummaryOptions standard;
  standard.standardFilter = true;
  EXPECT_EQ(summaryOf(lineOf(solvedRecord()), standard).rows.size(), 1u);  // Qc 79 deg, small sigmas
  EXPECT_EQ(summaryOf(lineOf(withoutDraws()), standard).filtered, 1u);      // no sigmas: not published
  Json wide = solvedRecord();
  wide["solution"]["orbit"]["sigma"]["radiantGeocentric"]["dec"] = 2.5;
  EXPECT_EQ(summaryOf(lineOf(wide), standard).rows.size(), 0u);
  Json fast = solvedRecord();
  fast["solution"]["orbit"]["e"] = 1.6;
  EXPECT_EQ(summaryOf(lineOf(fast), standard).rows.size(), 0u);
}

TEST(SummaryRecords, TornAndForeignLinesAreNamedAndTheRestIsRead) {
  const std::string good = lineOf(withoutDraws());
  const std::string text = good + "\n" + "{\"hello\": 1}\n" + "not json\n" + good + "{\"id\": \"x\", \"stat";
  const SummaryResult result = summaryOf(text);
  EXPECT_EQ(result.rows.size(), 2u);
  ASSERT_EQ(result.problems.size(), 3u);
  EXPECT_EQ(result.problems[0].rfind("night.jsonl:3: not a record", 0), 0u) << result.problems[0];
  EXPECT_EQ(result.problems[1].rfind("night.jsonl:4: not JSON", 0), 0u) << result.problems[1];
  EXPECT_EQ(result.problems[2].rfind("night.jsonl:6: a torn last line", 0), 0u) << result.problems[2];
}

TEST(SummaryRecords, AValueOfTheWrongTypeIsNamedByItsPath) {
  Json r = withoutDraws();
  r["solution"]["orbit"]["vGeocentric"] = "fast";
  const SummaryResult result = summaryOf(lineOf(r));
  EXPECT_TRUE(result.rows.empty());
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_NE(result.problems[0].find("night.jsonl:1: solution.orbit.vGeocentric"), std::string::npos)
      << result.problems[0];
}

TEST(SummaryRecords, UnsolvedRecordsHaveNoRow) {
  const std::string text = "{\"id\":\"a\",\"index\":0,\"status\":\"input-error\",\"solution\":null,\"error\":\"x\"}\n";
  const SummaryResult result = summaryOf(text);
  EXPECT_TRUE(result.problems.empty());
  EXPECT_EQ(result.unsolved, 1u);
  EXPECT_TRUE(result.rows.empty());
}

TEST(SummaryGmnLayout, HasItsHeaderAndEndsEveryLineWithLineFeedCarriageReturn) {
  const SummaryResult result = summaryOf(lineOf(solvedRecord()));
  std::ostringstream out;
  writeSummaryGmn(out, result.rows, 1765000000.25);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("# Summary generated on 2025-12-06 05:46:40.250000 UTC\n\r", 0), 0u);
  std::size_t lines = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    ++lines;
    EXPECT_EQ(text[at + 1], '\r');
  }
  EXPECT_EQ(lines, 5u);  // generated, names, units, dashes, one row
  const std::string row = text.substr(text.rfind("\n\r", text.size() - 3) + 2);
  std::size_t separators = 0;
  for (std::size_t at = row.find("; "); at != std::string::npos; at = row.find("; ", at + 1)) ++separators;
  EXPECT_EQ(separators, 85u);
}

}  // namespace
}  // namespace sightline
