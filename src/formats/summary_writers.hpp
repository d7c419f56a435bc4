// The night's summary table, one row per solved meteor, in three layouts:
//
// - "gmn": the trajectory summary layout of the Global Meteor Network's daily
//   files: a first line "# Summary generated on YYYY-MM-DD HH:MM:SS.ffffff UTC",
//   two header rows (names, units) and a dash row, each starting with "# ";
//   fields separated by "; ", padded to the header's width; every line ending
//   in "\n\r" as the network's files do. A value that is not known is "None"
//   (e.g. a sigma without Monte Carlo draws); one that is undefined is "nan"
//   (e.g. M, n and T when e >= 1); booleans "True"/"False".
// - "csv": the same columns named plainly (summaryColumns()[i].plain), one
//   header line, empty fields for None, "nan" for undefined, "\n" line ends.
// - "ecsv": the same as an ECSV 1.0 table (comma-delimited, units and types
//   in its YAML header).
//
// The 86 columns, their units and decimals are summaryColumns(); angles in
// degrees, speeds in km/s, heights in km above mean sea level (EGM96).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace sightline {

/// One cell of the table.
struct SummaryCell {
  enum class Kind { None, Number, Integer, Text, Flag };
  Kind kind = Kind::None;
  double number = 0.0;  ///< Number (nan: undefined)
  long long integer = 0;
  std::string text;
  bool flag = false;

  static SummaryCell none() { return {}; }
  static SummaryCell of(double x) { return {Kind::Number, x, 0, {}, false}; }
  static SummaryCell ofInteger(long long n) { return {Kind::Integer, 0.0, n, {}, false}; }
  static SummaryCell ofText(std::string t) { return {Kind::Text, 0.0, 0, std::move(t), false}; }
  static SummaryCell ofFlag(bool b) { return {Kind::Flag, 0.0, 0, {}, b}; }
};

/// One column: its names and units in the GMN layout and plainly, and how a number is printed.
struct SummaryColumn {
  const char* name;       ///< GMN header row 1, e.g. "RAgeo"
  const char* unit;       ///< GMN header row 2, e.g. "deg" or "sigma"
  const char* plain;      ///< csv/ecsv/Python name, e.g. "ra_geo"
  const char* plainUnit;  ///< unit for the ECSV header ("" when none), e.g. "deg"
  const char* format;     ///< printf pattern of a number, e.g. "%.5f"
  SummaryCell::Kind kind; ///< what the column holds
};

/// The 86 columns in order.
const std::vector<SummaryColumn>& summaryColumns();

/// One meteor: its cells in the order of summaryColumns().
struct SummaryRow {
  double beginTime = 0.0;  ///< s since 1970 UTC (nan when unknown): the sort key
  std::vector<SummaryCell> cells;
};

/// "YYYY-MM-DD HH:MM:SS.ffffff" (UTC, microseconds) of a time in s since 1970 UTC;
/// with `compact` also "YYYYMMDDHHMMSS" of the same second.
std::string summaryTimeText(double time, std::string* compact = nullptr);

/// A cell as the GMN layout prints it ("None", "nan", "True", numbers with the column's format).
std::string gmnCellText(const SummaryColumn& column, const SummaryCell& cell);

/// The rows in the GMN layout; `generated` is the time of the first line (s since 1970 UTC).
void writeSummaryGmn(std::ostream& out, const std::vector<SummaryRow>& rows, double generated);
/// The rows as CSV.
void writeSummaryCsv(std::ostream& out, const std::vector<SummaryRow>& rows);
/// The rows as ECSV 1.0.
void writeSummaryEcsv(std::ostream& out, const std::vector<SummaryRow>& rows);

}  // namespace sightline
