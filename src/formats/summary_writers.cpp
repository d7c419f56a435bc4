// The summary table's three layouts.
#include "formats/summary_writers.hpp"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <deque>

#include "common/text.hpp"

namespace sightline {

namespace {

using K = SummaryCell::Kind;

// The GMN layout's line end: a line feed, then a carriage return.
constexpr const char* kGmnLineEnd = "\n\r";

// A quantity and its Monte Carlo sigma: two columns.
void withSigma(std::vector<SummaryColumn>& c, const char* name, const char* unit, const char* plain,
               const char* plainUnit, const char* format, const char* sigmaFormat) {
  c.push_back({name, unit, plain, plainUnit, format, K::Number});
  static std::deque<std::string> sigmaNames;  // stable storage for the "_sigma" names
  sigmaNames.push_back(std::string(plain) + "_sigma");
  c.push_back({"+/-", "sigma", sigmaNames.back().c_str(), plainUnit, sigmaFormat, K::Number});
}

std::vector<SummaryColumn> makeColumns() {
  std::vector<SummaryColumn> c;
  c.push_back({"Unique trajectory", "identifier", "identifier", "", "", K::Text});
  c.push_back({"Beginning", "Julian date", "jd_begin", "d", "%.12f", K::Number});
  c.push_back({"Beginning", "UTC Time", "utc_begin", "", "", K::Text});
  c.push_back({"IAU", "No", "iau_number", "", "", K::Integer});
  c.push_back({"IAU", "code", "iau_code", "", "", K::Text});
  c.push_back({"Sol lon", "deg", "solar_longitude", "deg", "%.6f", K::Number});
  c.push_back({"App LST", "deg", "lst_apparent", "deg", "%.6f", K::Number});
  withSigma(c, "RAgeo", "deg", "ra_geo", "deg", "%.5f", "%.4f");
  withSigma(c, "DECgeo", "deg", "dec_geo", "deg", "%+.5f", "%.4f");
  withSigma(c, "LAMgeo", "deg", "lambda_geo", "deg", "%.5f", "%.4f");
  withSigma(c, "BETgeo", "deg", "beta_geo", "deg", "%+.5f", "%.4f");
  withSigma(c, "Vgeo", "km/s", "v_geo", "km/s", "%.5f", "%.4f");
  withSigma(c, "LAMhel", "deg", "lambda_hel", "deg", "%.5f", "%.4f");
  withSigma(c, "BEThel", "deg", "beta_hel", "deg", "%+.5f", "%.4f");
  withSigma(c, "Vhel", "km/s", "v_hel", "km/s", "%.5f", "%.4f");
  withSigma(c, "a", "AU", "a", "AU", "%.6f", "%.4f");
  withSigma(c, "e", "", "e", "", "%.6f", "%.4f");
  withSigma(c, "i", "deg", "i", "deg", "%.6f", "%.4f");
  withSigma(c, "peri", "deg", "peri", "deg", "%.6f", "%.4f");
  withSigma(c, "node", "deg", "node", "deg", "%.6f", "%.4f");
  withSigma(c, "Pi", "deg", "pi", "deg", "%.6f", "%.4f");
  withSigma(c, "b", "deg", "b", "deg", "%.6f", "%.4f");
  withSigma(c, "q", "AU", "q", "AU", "%.6f", "%.4f");
  withSigma(c, "f", "deg", "f", "deg", "%.6f", "%.4f");
  withSigma(c, "M", "deg", "m", "deg", "%.6f", "%.4f");
  withSigma(c, "Q", "AU", "big_q", "AU", "%.6f", "%.4f");
  withSigma(c, "n", "deg/day", "n", "deg / d", "%.6f", "%.4f");
  withSigma(c, "T", "years", "t", "yr", "%.6f", "%.4f");
  withSigma(c, "TisserandJ", "", "tisserand_j", "", "%.6f", "%.4f");
  withSigma(c, "RAapp", "deg", "ra_app", "deg", "%.5f", "%.4f");
  withSigma(c, "DECapp", "deg", "dec_app", "deg", "%+.5f", "%.4f");
  withSigma(c, "Azim +E", "of N  deg", "azimuth", "deg", "%.5f", "%.4f");
  withSigma(c, "Elev", "deg", "elevation", "deg", "%.5f", "%.4f");
  withSigma(c, "Vinit", "km/s", "v_init", "km/s", "%.5f", "%.4f");
  withSigma(c, "Vavg", "km/s", "v_avg", "km/s", "%.5f", "%.4f");
  withSigma(c, "LatBeg", "+N deg", "lat_begin", "deg", "%.6f", "%.4f");
  withSigma(c, "LonBeg", "+E deg", "lon_begin", "deg", "%.6f", "%.4f");
  withSigma(c, "HtBeg", "km", "height_begin", "km", "%.4f", "%.2f");
  withSigma(c, "LatEnd", "+N deg", "lat_end", "deg", "%.6f", "%.4f");
  withSigma(c, "LonEnd", "+E deg", "lon_end", "deg", "%.6f", "%.4f");
  withSigma(c, "HtEnd", "km", "height_end", "km", "%.4f", "%.2f");
  c.push_back({"Duration", "sec", "duration", "s", "%.2f", K::Number});
  c.push_back({"Peak", "AbsMag", "peak_abs_mag", "mag", "%+.2f", K::Number});
  c.push_back({"Peak Ht", "km", "peak_height", "km", "%.4f", K::Number});
  c.push_back({"F", "param", "f_param", "", "%.3f", K::Number});
  c.push_back({"Mass kg", "tau=0.7%", "mass", "kg", "%.2e", K::Number});
  c.push_back({"Qc", "deg", "qc", "deg", "%.2f", K::Number});
  c.push_back({"MedianFitErr", "arcsec", "median_fit_error", "arcsec", "%.2f", K::Number});
  c.push_back({"Beg in", "FOV", "begin_in_fov", "", "", K::Flag});
  c.push_back({"End in", "FOV", "end_in_fov", "", "", K::Flag});
  c.push_back({"Num", "stat", "stations_count", "", "", K::Integer});
  c.push_back({"Participating", "stations", "stations", "", "", K::Text});
  return c;
}

// Width of a column in the GMN layout: its widest header text.
std::size_t widthOf(const SummaryColumn& c) {
  return std::max<std::size_t>({std::string(c.name).size(), std::string(c.unit).size(), 4});
}

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// A cell as CSV and ECSV write it: empty for None, quoted when it holds the delimiter or a quote.
std::string csvCellText(const SummaryColumn& column, const SummaryCell& cell) {
  std::string text;
  switch (cell.kind) {
    case K::None: return "";
    case K::Number: text = std::isfinite(cell.number) ? formatted(column.format, cell.number) : "nan"; break;
    case K::Integer: text = std::to_string(cell.integer); break;
    case K::Flag: text = cell.flag ? "True" : "False"; break;
    case K::Text: text = cell.text; break;
  }
  if (text.find_first_of(",\" ") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return quoted + "\"";
}

void writeCsvRows(std::ostream& out, const std::vector<SummaryRow>& rows) {
  const std::vector<SummaryColumn>& columns = summaryColumns();
  for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << columns[i].plain;
  out << '\n';
  for (const SummaryRow& row : rows) {
    for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << csvCellText(columns[i], row.cells[i]);
    out << '\n';
  }
}

const char* ecsvType(SummaryCell::Kind kind) {
  switch (kind) {
    case K::Number: return "float64";
    case K::Integer: return "int64";
    case K::Flag: return "bool";
    default: return "string";
  }
}

}  // namespace

std::string summaryTimeText(double time, std::string* compact) {
  double whole = std::floor(time);
  long long micro = std::llround((time - whole) * 1e6);
  if (micro >= 1000000) {  // 0.9999996 s rounds up to the next second
    micro -= 1000000;
    whole += 1.0;
  }
  const std::time_t seconds = static_cast<std::time_t>(whole);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  if (compact != nullptr) {
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &utc);
    *compact = text;
  }
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return formatted("%s.%06lld", text, micro);
}

const std::vector<SummaryColumn>& summaryColumns() {
  static const std::vector<SummaryColumn> columns = makeColumns();
  return columns;
}

std::string gmnCellText(const SummaryColumn& column, const SummaryCell& cell) {
  switch (cell.kind) {
    case K::None: return "None";
    case K::Number: return std::isfinite(cell.number) ? formatted(column.format, cell.number) : "nan";
    case K::Integer: return std::to_string(cell.integer);
    case K::Flag: return cell.flag ? "True" : "False";
    case K::Text: return cell.text;
  }
  return "None";
}

void writeSummaryGmn(std::ostream& out, const std::vector<SummaryRow>& rows, double generated) {
  const std::vector<SummaryColumn>& columns = summaryColumns();
  out << "# Summary generated on " << summaryTimeText(generated) << " UTC" << kGmnLineEnd;
  auto headerRow = [&](auto text) {
    out << "# ";
    for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "; " : "") << padded(text(columns[i]), widthOf(columns[i]));
    out << kGmnLineEnd;
  };
  headerRow([](const SummaryColumn& c) { return std::string(c.name); });
  headerRow([](const SummaryColumn& c) { return std::string(c.unit); });
  headerRow([](const SummaryColumn& c) { return std::string(widthOf(c), '-'); });
  for (const SummaryRow& row : rows) {
    // Data rows have no "# ": the first field is two characters wider than its header.
    for (std::size_t i = 0; i < columns.size(); ++i)
      out << (i ? "; " : "") << padded(gmnCellText(columns[i], row.cells[i]), widthOf(columns[i]) + (i ? 0 : 2));
    out << kGmnLineEnd;
  }
}

void writeSummaryCsv(std::ostream& out, const std::vector<SummaryRow>& rows) { writeCsvRows(out, rows); }

void writeSummaryEcsv(std::ostream& out, const std::vector<SummaryRow>& rows) {
  out << "# %ECSV 1.0\n# ---\n# delimiter: ','\n# datatype:\n";
  for (const SummaryColumn& c : summaryColumns()) {
    out << "# - {name: " << c.plain;
    if (*c.plainUnit != '\0') out << ", unit: '" << c.plainUnit << "'";
    out << ", datatype: " << ecsvType(c.kind) << "}\n";
  }
  out << "# meta: {generator: sightline summary, heights: km above mean sea level (EGM96), "
         "showers: IAU Meteor Data Center (Jenniskens et al. 2020; Jopek and Kanuchova 2017)}\n";
  writeCsvRows(out, rows);
}

}  // namespace sightline
