// The night's summary: the records of `sightline batch` (JSON Lines) turned
// into the rows of formats/summary_writers.hpp, one per solved record, sorted
// by begin time.
//
// Where each column comes from (the solution JSON of a record; m -> km, m/s ->
// km/s): the begin time is trajectory.velocity.beginTime (else orbit.time);
// IAU number and code from orbit.shower (-1 and "..." for a sporadic); the
// radiants, speeds and elements from orbit (RAapp/DECapp orbit.radiantOfDate,
// Azim/Elev orbit.radiantHorizontal, App LST orbit.siderealTime), their "+/-"
// from orbit.sigma; Vinit trajectory.velocity.initial, Vavg
// trajectory.velocity.average (else trajectory.speed); begin and end points
// from trajectory.begin/end with heightMsl, their sigmas from sigma.north, east
// and up; Duration trajectory.velocity.duration; Peak, Peak Ht (peakHeightMsl),
// F and Mass from "photometry" (the mass only with the constant tau = 0.7%);
// Qc the largest stationPairs convergence angle; MedianFitErr the median
// |residual| (arcsec) of the sightings not excluded; the stations those of the
// sightings not excluded. "Beg in"/"End in" FOV are not known: None.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "formats/files.hpp"
#include "formats/summary_writers.hpp"

namespace sightline {

/// What the summary keeps.
struct SummaryOptions {
  /// Only what the network publishes: Qc >= 5 deg, e <= 1.5, geocentric radiant sigma
  /// sqrt((sigma_RA cos Dec)^2 + sigma_Dec^2) <= 2 deg and sigma_vG <= 10% of vG; a row
  /// without Monte Carlo sigmas or without an orbit does not pass.
  bool standardFilter = false;
};

/// The rows and what could not be read.
struct SummaryResult {
  std::vector<SummaryRow> rows;       ///< sorted by begin time (rows without one last)
  std::vector<std::string> problems;  ///< "FILE:LINE: what is wrong", in file and line order
  std::size_t records = 0;            ///< records read
  std::size_t unsolved = 0;           ///< records without a solution (no row)
  std::size_t filtered = 0;           ///< rows left out by the filter
};

/// The summary of the records in `files` (results files of `sightline batch`).
/// Blank lines are skipped; a line that is not a record (torn, not JSON, not an
/// object with "id", "status" and "solution", or a solution whose values have the
/// wrong types) is a problem, and the rest is still read.
SummaryResult summariseRecords(const std::vector<NamedText>& files, const SummaryOptions& options);

/// The row of one solution (the JSON of `sightline solve --format json`), or
/// nothing with `error` (the JSON path of the value of the wrong type).
std::optional<SummaryRow> summaryRowOf(const nlohmann::json& solution, std::string& error);

/// True when `row` passes SummaryOptions::standardFilter.
bool passesStandardFilter(const SummaryRow& row);

/// The index of the column named plainly `plain` (summaryColumns()), if any.
std::optional<std::size_t> summaryColumnIndex(const std::string& plain);

}  // namespace sightline
