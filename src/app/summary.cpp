// Records of `sightline batch` to the rows of the night's summary.
#include "app/summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

#include "common/text.hpp"
#include "earth/frames.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::json;

constexpr double kPerKilo = 1000.0;              // m per km, (m/s) per (km/s)
constexpr double kUnixEpochJulianDate = 2440587.5;  // JD of 1970-01-01T00:00:00Z, days
constexpr double kSecondsPerDay = 86400.0;
constexpr double kConstantTau = 0.007;           // the luminous efficiency of the "Mass kg tau=0.7%" column

// A value of the wrong type at a JSON path.
struct FieldError {
  std::string path;
};

// The JSON value at `path` below `root`: nullptr when a step is absent or null.
const Json* at(const Json& root, std::initializer_list<const char*> path) {
  const Json* j = &root;
  for (const char* key : path) {
    if (!j->is_object()) return nullptr;
    const auto it = j->find(key);
    if (it == j->end() || it->is_null()) return nullptr;
    j = &*it;
  }
  return j;
}

std::string joinedPath(std::initializer_list<const char*> path) {
  std::string text;
  for (const char* key : path) text += (text.empty() ? "" : ".") + std::string(key);
  return text;
}

// The number at `path`, nothing when absent or null; a FieldError when not a number.
std::optional<double> numberAt(const Json& root, std::initializer_list<const char*> path) {
  const Json* j = at(root, path);
  if (j == nullptr) return std::nullopt;
  if (!j->is_number()) throw FieldError{joinedPath(path)};
  return j->get<double>();
}

std::optional<std::string> textAt(const Json& root, std::initializer_list<const char*> path) {
  const Json* j = at(root, path);
  if (j == nullptr) return std::nullopt;
  if (!j->is_string()) throw FieldError{joinedPath(path)};
  return j->get<std::string>();
}

// Cells set by their plain column names.
class RowBuilder {
 public:
  RowBuilder() { row_.cells.resize(summaryColumns().size()); }

  void set(const char* plain, SummaryCell cell) { row_.cells.at(summaryColumnIndex(plain).value()) = std::move(cell); }
  // A number scaled by `scale`, None when absent.
  void number(const char* plain, std::optional<double> x, double scale = 1.0) {
    set(plain, x ? SummaryCell::of(*x * scale) : SummaryCell::none());
  }
  // A figure of an orbit that exists: absent means undefined (nan), e.g. M when e >= 1.
  void defined(const char* plain, std::optional<double> x, double scale = 1.0) {
    set(plain, SummaryCell::of(x ? *x * scale : std::nan("")));
  }
  SummaryRow& row() { return row_; }

 private:
  SummaryRow row_;
};

// Five characters [0-9A-Za-z] from the begin time and the begin and end points
// (FNV-1a 64 of their text; Fowler, Noll & Vo), so that two meteors of one
// second get different identifiers and one meteor always the same.
std::string identifierSuffix(const std::string& key) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (unsigned char ch : key) {
    hash ^= ch;
    hash *= 1099511628211ULL;
  }
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string suffix;
  for (int i = 0; i < 5; ++i) {
    suffix += kDigits[hash % 62];
    hash /= 62;
  }
  return suffix;
}

void addIdentity(RowBuilder& b, const Json& s, double time) {
  const std::optional<double> lat0 = numberAt(s, {"trajectory", "begin", "latitude"});
  const std::optional<double> lon0 = numberAt(s, {"trajectory", "begin", "longitude"});
  const std::optional<double> h0 = numberAt(s, {"trajectory", "begin", "height"});
  const std::optional<double> lat1 = numberAt(s, {"trajectory", "end", "latitude"});
  const std::optional<double> lon1 = numberAt(s, {"trajectory", "end", "longitude"});
  const std::optional<double> h1 = numberAt(s, {"trajectory", "end", "height"});
  if (!std::isfinite(time)) return;  // no time: identifier, JD and UTC stay None
  std::string compact;
  const std::string readable = summaryTimeText(time, &compact);
  const std::string key = formatted("%.6f %.6f %.6f %.1f %.6f %.6f %.1f", time, lat0.value_or(0), lon0.value_or(0),
                                    h0.value_or(0), lat1.value_or(0), lon1.value_or(0), h1.value_or(0));
  b.set("identifier", SummaryCell::ofText(compact + "_" + identifierSuffix(key)));
  b.set("jd_begin", SummaryCell::of(time / kSecondsPerDay + kUnixEpochJulianDate));
  b.set("utc_begin", SummaryCell::ofText(readable));
}

// A figure of the orbit and its sigma: `pick` names it below "orbit" and "orbit.sigma".
template <typename... Keys>
void orbitFigure(RowBuilder& b, const Json& s, const char* plain, double scale, Keys... keys) {
  b.defined(plain, numberAt(s, {"orbit", keys...}), scale);
  const std::string sigma = std::string(plain) + "_sigma";
  if (!summaryColumnIndex(sigma) || at(s, {"orbit", "sigma"}) == nullptr) return;  // no "+/-" column, or no draws: None
  b.defined(sigma.c_str(), numberAt(s, {"orbit", "sigma", keys...}), scale);
}

void addShower(RowBuilder& b, const Json& s) {
  const Json* orbit = at(s, {"orbit"});
  if (orbit == nullptr || !orbit->contains("shower")) return;
  if (at(s, {"orbit", "shower"}) == nullptr) {
    b.set("iau_number", SummaryCell::ofInteger(-1));
    b.set("iau_code", SummaryCell::ofText("..."));
    return;
  }
  const std::optional<double> number = numberAt(s, {"orbit", "shower", "number"});
  const std::optional<std::string> code = textAt(s, {"orbit", "shower", "code"});
  if (!number || !code) throw FieldError{"orbit.shower"};
  b.set("iau_number", SummaryCell::ofInteger(static_cast<long long>(*number)));
  b.set("iau_code", SummaryCell::ofText(*code));
}

void addOrbit(RowBuilder& b, const Json& s) {
  if (at(s, {"orbit"}) == nullptr) return;  // a solved event without an orbit: None
  const double km = 1.0 / kPerKilo;
  orbitFigure(b, s, "solar_longitude", 1.0, "solarLongitude");
  orbitFigure(b, s, "lst_apparent", 1.0, "siderealTime");
  orbitFigure(b, s, "ra_geo", 1.0, "radiantGeocentric", "ra");
  orbitFigure(b, s, "dec_geo", 1.0, "radiantGeocentric", "dec");
  orbitFigure(b, s, "lambda_geo", 1.0, "radiantEcliptic", "longitude");
  orbitFigure(b, s, "beta_geo", 1.0, "radiantEcliptic", "latitude");
  orbitFigure(b, s, "v_geo", km, "vGeocentric");
  orbitFigure(b, s, "lambda_hel", 1.0, "radiantHeliocentric", "longitude");
  orbitFigure(b, s, "beta_hel", 1.0, "radiantHeliocentric", "latitude");
  orbitFigure(b, s, "v_hel", km, "vHeliocentric");
  orbitFigure(b, s, "a", 1.0, "a");
  orbitFigure(b, s, "e", 1.0, "e");
  orbitFigure(b, s, "i", 1.0, "i");
  orbitFigure(b, s, "peri", 1.0, "omega");
  orbitFigure(b, s, "node", 1.0, "node");
  orbitFigure(b, s, "pi", 1.0, "perihelionLongitude");
  orbitFigure(b, s, "b", 1.0, "perihelionLatitude");
  orbitFigure(b, s, "q", 1.0, "q");
  orbitFigure(b, s, "f", 1.0, "trueAnomaly");
  orbitFigure(b, s, "m", 1.0, "meanAnomaly");
  orbitFigure(b, s, "big_q", 1.0, "Q");
  orbitFigure(b, s, "n", 1.0, "meanMotion");
  orbitFigure(b, s, "t", 1.0, "period");
  orbitFigure(b, s, "tisserand_j", 1.0, "tisserand");
  orbitFigure(b, s, "ra_app", 1.0, "radiantOfDate", "ra");
  orbitFigure(b, s, "dec_app", 1.0, "radiantOfDate", "dec");
  orbitFigure(b, s, "azimuth", 1.0, "radiantHorizontal", "azimuth");
  orbitFigure(b, s, "elevation", 1.0, "radiantHorizontal", "elevation");
}

// Degrees of latitude and longitude that `north` and `east` metres make at `point`.
void degreesOf(const GeodeticPosition& point, double north, double east, double& latitude, double& longitude) {
  const LocalFrame frame = localFrame(point);
  const Vector3 origin = toEcef(point);
  latitude = std::abs(toGeodetic(origin + north * frame.north).latitude - point.latitude);
  longitude = std::abs(toGeodetic(origin + east * frame.east).longitude - point.longitude);
  if (longitude > 180.0) longitude = 360.0 - longitude;
}

void addPoint(RowBuilder& b, const Json& s, const char* which, const char* lat, const char* lon, const char* height) {
  const std::optional<double> latitude = numberAt(s, {"trajectory", which, "latitude"});
  const std::optional<double> longitude = numberAt(s, {"trajectory", which, "longitude"});
  b.number(lat, latitude);
  b.number(lon, longitude);
  b.number(height, numberAt(s, {"trajectory", which, "heightMsl"}), 1.0 / kPerKilo);
  const std::optional<double> north = numberAt(s, {"trajectory", which, "sigma", "north"});
  const std::optional<double> east = numberAt(s, {"trajectory", which, "sigma", "east"});
  if (!north || !east || !latitude || !longitude) return;
  double dLat = 0.0, dLon = 0.0;
  degreesOf({*latitude, *longitude, numberAt(s, {"trajectory", which, "height"}).value_or(0.0)}, *north, *east, dLat,
            dLon);
  b.number((std::string(lat) + "_sigma").c_str(), dLat);
  b.number((std::string(lon) + "_sigma").c_str(), dLon);
  b.number((std::string(height) + "_sigma").c_str(), numberAt(s, {"trajectory", which, "sigma", "up"}),
           1.0 / kPerKilo);
}

void addTrajectory(RowBuilder& b, const Json& s) {
  const double km = 1.0 / kPerKilo;
  addPoint(b, s, "begin", "lat_begin", "lon_begin", "height_begin");
  addPoint(b, s, "end", "lat_end", "lon_end", "height_end");
  b.number("v_init", numberAt(s, {"trajectory", "velocity", "initial"}), km);
  b.number("v_init_sigma", numberAt(s, {"trajectory", "velocity", "sigma", "initial"}), km);
  std::optional<double> average = numberAt(s, {"trajectory", "velocity", "average"});
  b.number("v_avg", average ? average : numberAt(s, {"trajectory", "speed"}), km);
  b.number("v_avg_sigma", numberAt(s, {"trajectory", "speedSigma"}), km);
  b.number("duration", numberAt(s, {"trajectory", "velocity", "duration"}));
  if (at(s, {"orbit"}) == nullptr) {  // the line's radiant, when there is no orbit
    b.number("azimuth", numberAt(s, {"trajectory", "radiant", "azimuth"}));
    b.number("elevation", numberAt(s, {"trajectory", "radiant", "elevation"}));
  }
}

void addPhotometry(RowBuilder& b, const Json& s) {
  if (at(s, {"photometry"}) == nullptr) return;
  b.number("peak_abs_mag", numberAt(s, {"photometry", "peakAbsoluteMagnitude"}));
  b.number("peak_height", numberAt(s, {"photometry", "peakHeightMsl"}), 1.0 / kPerKilo);
  b.number("f_param", numberAt(s, {"photometry", "fParameter"}));
  const std::optional<std::string> model = textAt(s, {"photometry", "luminousEfficiency", "model"});
  const std::optional<double> tau = numberAt(s, {"photometry", "luminousEfficiency", "tau"});
  if (model == "constant" && tau && std::abs(*tau - kConstantTau) < 1e-12)
    b.number("mass", numberAt(s, {"photometry", "mass"}));
}

// Qc, the median fit error and the stations of the sightings that were fitted.
void addQuality(RowBuilder& b, const Json& s) {
  std::optional<double> qc = numberAt(s, {"trajectory", "convergenceAngle"});
  if (const Json* pairs = at(s, {"stationPairs"}); pairs != nullptr && pairs->is_array()) {
    for (const Json& pair : *pairs)
      if (const std::optional<double> angle = numberAt(pair, {"convergenceAngle"}))
        qc = std::max(qc.value_or(*angle), *angle);
  }
  b.number("qc", qc);
  std::vector<double> residuals;
  std::set<std::string> stations;
  if (const Json* sightings = at(s, {"sightings"}); sightings != nullptr && sightings->is_array()) {
    for (const Json& sighting : *sightings) {
      const Json* excluded = at(sighting, {"excluded"});
      if (excluded != nullptr && excluded->is_boolean() && excluded->get<bool>()) continue;
      if (const std::optional<double> r = numberAt(sighting, {"residual"})) residuals.push_back(std::abs(*r));
      std::string name = textAt(sighting, {"station"}).value_or("");
      // The layout separates fields by ";" and stations by ",".
      std::replace_if(name.begin(), name.end(), [](char ch) { return ch == ';' || ch == ',' || ch == '\n' || ch == '\r'; }, '_');
      if (!name.empty()) stations.insert(name);
    }
  }
  if (!residuals.empty()) {
    std::sort(residuals.begin(), residuals.end());
    const std::size_t n = residuals.size();
    b.set("median_fit_error", SummaryCell::of(n % 2 ? residuals[n / 2] : 0.5 * (residuals[n / 2 - 1] + residuals[n / 2])));
  }
  std::string list;
  for (const std::string& name : stations) list += (list.empty() ? "" : ",") + name;
  b.set("stations_count", SummaryCell::ofInteger(static_cast<long long>(stations.size())));
  b.set("stations", SummaryCell::ofText(list));
}

// The begin time of a solution (s since 1970 UTC), nan when it has none.
double beginTimeOf(const Json& s) {
  std::optional<std::string> text = textAt(s, {"trajectory", "velocity", "beginTime"});
  if (!text) text = textAt(s, {"orbit", "time"});
  if (!text) return std::nan("");
  const std::optional<double> time = parseIsoTime(*text);
  if (!time) throw FieldError{"trajectory.velocity.beginTime"};
  return *time;
}

}  // namespace

std::optional<std::size_t> summaryColumnIndex(const std::string& plain) {
  static const std::map<std::string, std::size_t> index = [] {
    std::map<std::string, std::size_t> m;
    const std::vector<SummaryColumn>& columns = summaryColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) m.emplace(columns[i].plain, i);
    return m;
  }();
  const auto it = index.find(plain);
  if (it == index.end()) return std::nullopt;
  return it->second;
}

std::optional<SummaryRow> summaryRowOf(const Json& solution, std::string& error) {
  try {
    if (!solution.is_object()) throw FieldError{"solution"};
    RowBuilder b;
    b.row().beginTime = beginTimeOf(solution);
    addIdentity(b, solution, b.row().beginTime);
    addShower(b, solution);
    addOrbit(b, solution);
    addTrajectory(b, solution);
    addPhotometry(b, solution);
    addQuality(b, solution);
    return std::move(b.row());
  } catch (const FieldError& e) {
    error = e.path + ": a value of the wrong type (expected the JSON of sightline solve --format json)";
  } catch (const Json::exception& e) {
    error = std::string("a value of the wrong type: ") + e.what();
  }
  return std::nullopt;
}

bool passesStandardFilter(const SummaryRow& row) {
  auto value = [&](const char* plain) -> std::optional<double> {
    const SummaryCell& cell = row.cells.at(summaryColumnIndex(plain).value());
    if (cell.kind != SummaryCell::Kind::Number || !std::isfinite(cell.number)) return std::nullopt;
    return cell.number;
  };
  const auto qc = value("qc"), e = value("e"), ra = value("ra_geo_sigma"), dec = value("dec_geo"),
             decSigma = value("dec_geo_sigma"), vg = value("v_geo"), vgSigma = value("v_geo_sigma");
  if (!qc || !e || !ra || !dec || !decSigma || !vg || !vgSigma) return false;
  const double radiantSigma = std::hypot(*ra * std::cos(*dec * M_PI / 180.0), *decSigma);
  return *qc >= 5.0 && *e <= 1.5 && radiantSigma <= 2.0 && *vgSigma <= 0.10 * *vg;
}

namespace {

// The row of one record line, or the problem; `complete`: the line ended in "\n".
void readRecordLine(std::string_view line, bool complete, const std::string& where, const SummaryOptions& options,
                    SummaryResult& result) {
  const Json record = Json::parse(line.begin(), line.end(), nullptr, false);
  if (record.is_discarded()) {
    result.problems.push_back(where + (complete ? ": not JSON: expected one record of sightline batch per line"
                                                : ": a torn last line (no line end, not JSON): left out"));
    return;
  }
  if (!record.is_object() || !record.contains("id") || !record.contains("status") || !record.contains("solution")) {
    result.problems.push_back(where + ": not a record of sightline batch: expected an object with "
                                      "\"id\", \"status\" and \"solution\"");
    return;
  }
  ++result.records;
  const Json& status = record["status"];
  const Json& solution = record["solution"];
  if (status != "solved" || !solution.is_object() || solution.value("trajectory", Json()).is_null()) {
    ++result.unsolved;
    return;
  }
  std::string error;
  std::optional<SummaryRow> row = summaryRowOf(solution, error);
  if (!row) {
    result.problems.push_back(where + ": solution." + error);
    return;
  }
  if (options.standardFilter && !passesStandardFilter(*row)) {
    ++result.filtered;
    return;
  }
  result.rows.push_back(std::move(*row));
}

}  // namespace

SummaryResult summariseRecords(const std::vector<NamedText>& files, const SummaryOptions& options) {
  SummaryResult result;
  for (const NamedText& file : files) {
    const std::string& text = file.text;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
      std::size_t end = text.find('\n', start);
      const bool complete = end != std::string::npos;
      if (!complete) end = text.size();
      const std::string_view line(text.data() + start, end - start);
      start = end + 1;
      if (trimmed(line).empty()) continue;
      readRecordLine(line, complete, file.name + ":" + std::to_string(number), options, result);
    }
  }
  // By begin time; rows without one last; equal times keep the order read.
  std::stable_sort(result.rows.begin(), result.rows.end(), [](const SummaryRow& a, const SummaryRow& b) {
    if (std::isnan(a.beginTime)) return false;
    return std::isnan(b.beginTime) || a.beginTime < b.beginTime;
  });
  return result;
}

}  // namespace sightline
