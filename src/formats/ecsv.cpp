#include "formats/ecsv.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "trajectory/photometry.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
/// Largest azimuth (degrees, either sign) taken as a direction rather than a mistake.
constexpr double kMaxAzimuth = 360.0;
/// Largest error bar (degrees) taken as a measurement's.
constexpr double kMaxErrorBar = 180.0;

/// A line of the header: its text without the leading "# " and where it came from.
struct HeaderLine {
  std::string text;
  int line = 0;    ///< 1-based line of the file
  int offset = 0;  ///< characters removed from the front ("# " is 2)
};

/// One field of a table row.
struct Field {
  std::string text;
  int line = 0;    ///< 1-based line where the field starts
  int number = 0;  ///< 1-based field number within its row
};

/// A row of the table (it may span lines when a quoted field holds a line break).
struct Record {
  std::vector<Field> fields;
  int line = 0;
};

/// Splits the text after the header into rows, as ECSV tables are written:
/// fields separated by the delimiter (a space delimiter: runs of spaces or
/// tabs), any field may be double-quoted ("" stands for one quote inside),
/// blank lines and lines starting with '#' are skipped.
class TableReader {
 public:
  TableReader(std::string_view text, std::size_t pos, int line, char delimiter)
      : text_(text), pos_(pos), line_(line), delimiter_(delimiter) {}

  /// Reads the next row into `record`; false at the end of the text or on an
  /// error (then `error` is set, with the line and field).
  bool next(Record& record, std::optional<InputError>& error) {
    record.fields.clear();
    while (pos_ < text_.size()) {
      const std::size_t end = lineEnd(pos_);
      const std::string_view content = text_.substr(pos_, end - pos_);
      const bool blank = content.find_first_not_of(" \t") == std::string_view::npos;
      if (blank || content.front() == '#') {
        advanceLine(end);
        continue;
      }
      record.line = line_;
      return readFields(record, error);
    }
    return false;
  }

 private:
  bool isSpace(char c) const { return c == ' ' || c == '\t'; }
  bool atLineEnd() const { return pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r'; }

  std::size_t lineEnd(std::size_t from) const {
    const std::size_t end = text_.find_first_of("\r\n", from);
    return end == std::string_view::npos ? text_.size() : end;
  }

  // Moves past the line break at `end` (LF, CRLF or CR).
  void advanceLine(std::size_t end) {
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    ++line_;
  }

  bool readFields(Record& record, std::optional<InputError>& error) {
    const bool spaces = delimiter_ == ' ';
    for (;;) {
      while (pos_ < text_.size() && isSpace(text_[pos_]) && text_[pos_] != delimiter_) ++pos_;
      if (spaces && atLineEnd()) break;  // trailing blanks after the last field
      Field field;
      field.line = line_;
      field.number = static_cast<int>(record.fields.size()) + 1;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        if (!readQuoted(field, error)) return false;
        while (pos_ < text_.size() && isSpace(text_[pos_]) && text_[pos_] != delimiter_) ++pos_;
        if (!atLineEnd() && text_[pos_] != delimiter_ && !(spaces && isSpace(text_[pos_]))) {
          error = InputError{"", line_, field.number, "", "unexpected text after the closing quote of field " +
                                                              std::to_string(field.number)};
          return false;
        }
      } else {
        const std::size_t start = pos_;
        while (!atLineEnd() && text_[pos_] != delimiter_ && !(spaces && isSpace(text_[pos_]))) ++pos_;
        std::string_view raw = text_.substr(start, pos_ - start);
        while (!raw.empty() && isSpace(raw.back())) raw.remove_suffix(1);
        field.text = std::string(raw);
      }
      record.fields.push_back(std::move(field));
      if (atLineEnd()) break;
      // At a delimiter (or, with a space delimiter, at blanks).
      if (spaces) {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        if (atLineEnd()) break;
      } else {
        ++pos_;
        if (atLineEnd()) {  // a delimiter at the end of the line leaves an empty last field
          Field empty;
          empty.line = line_;
          empty.number = static_cast<int>(record.fields.size()) + 1;
          record.fields.push_back(std::move(empty));
          break;
        }
      }
    }
    advanceLine(lineEnd(pos_));
    return true;
  }

  bool readQuoted(Field& field, std::optional<InputError>& error) {
    const int openLine = line_;
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          field.text += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        return true;
      }
      if (c == '\r' || c == '\n') {  // a line break inside quotes belongs to the field
        field.text += '\n';
        const std::size_t end = pos_;
        advanceLine(end);
        continue;
      }
      field.text += c;
      ++pos_;
    }
    error = InputError{"", openLine, field.number, "", "the quote opening field " + std::to_string(field.number) +
                                                           " is never closed"};
    return false;
  }

  std::string_view text_;
  std::size_t pos_;
  int line_;
  char delimiter_;
};

/// A number written in full ("12.5", "-3e-2", "+7"), nothing else around it.
std::optional<double> parseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

/// The file name without its folder and extension: "data/cam_01.ecsv" gives "cam_01".
std::string fileStem(const std::string& fileName) {
  std::string name = fileName;
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

/// Everything read from one file: the station and the event keys of its meta.
struct EcsvFile {
  Station station;
  std::string eventName;
};

class StationParser {
 public:
  StationParser(const std::string& text, const std::string& fileName, const EcsvOptions& options)
      : text_(text), fileName_(fileName), options_(options) {}

  std::optional<InputError> parse(EcsvFile& out) {
    try {
      return parseUnguarded(out);
    } catch (const YAML::Exception& e) {
      return yamlError(e.mark, "", "the header is not valid YAML: " + e.msg);
    } catch (const std::exception& e) {
      return fail(0, 0, "", std::string("cannot be read: ") + e.what());
    }
  }

 private:
  InputError fail(int line, int column, const std::string& path, const std::string& message) const {
    return InputError{fileName_, line, column, path, message};
  }

  // An error at a place in the YAML header (yaml-cpp marks are 0-based).
  InputError yamlError(const YAML::Mark& mark, const std::string& path, const std::string& message) const {
    if (header_.empty() || mark.is_null() || mark.line < 0) return fail(1, 0, path, message);
    if (static_cast<std::size_t>(mark.line) >= header_.size()) return fail(header_.back().line, 0, path, message);
    const HeaderLine& h = header_[static_cast<std::size_t>(mark.line)];
    return fail(h.line, mark.column + 1 + h.offset, path, message);
  }

  std::optional<InputError> readHeader(std::size_t& pos, int& line) {
    // A UTF-8 byte order mark, as some editors save, is not part of the text.
    pos = text_.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    line = 1;
    bool first = true;
    while (pos < text_.size() && text_[pos] == '#') {
      std::size_t end = text_.find_first_of("\r\n", pos);
      if (end == std::string::npos) end = text_.size();
      std::string_view content(text_.data() + pos, end - pos);
      HeaderLine h;
      h.line = line;
      if (first) {
        // "# %ECSV 1.0": the version line, not part of the YAML.
        static constexpr std::string_view kTag = "# %ECSV ";
        if (content.substr(0, kTag.size()) != kTag) break;
        std::string_view version = content.substr(kTag.size());
        while (!version.empty() && (version.back() == ' ' || version.back() == '\t')) version.remove_suffix(1);
        if (version.empty() || version.find_first_not_of("0123456789.") != std::string_view::npos) {
          return fail(line, static_cast<int>(kTag.size()) + 1, "", "the ECSV version \"" + std::string(version) +
                                                                       "\" is not a version number such as 1.0");
        }
        first = false;
      } else if (content.substr(0, 2) == "##") {
        // A comment inside the header.
      } else if (content.substr(0, 2) == "# ") {
        h.text = std::string(content.substr(2));
        h.offset = 2;
      } else {
        h.text = std::string(content.substr(1));
        h.offset = 1;
      }
      header_.push_back(std::move(h));
      pos = end;
      if (pos < text_.size() && text_[pos] == '\r') ++pos;
      if (pos < text_.size() && text_[pos] == '\n') ++pos;
      ++line;
    }
    if (first) {
      return fail(1, 1, "", "no ECSV header: an ECSV file begins with a line such as \"# %ECSV 1.0\"");
    }
    return std::nullopt;
  }

  // The meta of the header as key -> value: a mapping, or an ordered mapping
  // written as a list of one-key mappings ("!!omap").
  std::optional<InputError> collectMeta(const YAML::Node& meta) {
    if (!meta || meta.IsNull()) return std::nullopt;
    if (meta.IsMap()) {
      for (const auto& kv : meta) {
        if (kv.first.IsScalar()) meta_.emplace(kv.first.Scalar(), kv.second);
      }
      return std::nullopt;
    }
    if (meta.IsSequence()) {
      for (const auto& item : meta) {
        if (!item.IsMap()) continue;
        for (const auto& kv : item) {
          if (kv.first.IsScalar()) meta_.emplace(kv.first.Scalar(), kv.second);
        }
      }
      return std::nullopt;
    }
    return yamlError(meta.Mark(), "meta", "expected a mapping of keys to values");
  }

  // A number of the meta; an error names the key.
  std::optional<InputError> metaNumber(const std::string& key, const YAML::Node& header, double& value) {
    const auto it = meta_.find(key);
    if (it == meta_.end()) {
      const YAML::Node meta = header["meta"];
      return yamlError(meta ? meta.Mark() : YAML::Mark::null_mark(), "meta." + key,
                       "missing: the station's " + std::string(key == "obs_elevation" ? "height (metres)" : "position (degrees)") +
                           " is required");
    }
    const YAML::Node& node = it->second;
    const std::optional<double> number = node.IsScalar() ? parseNumber(node.Scalar()) : std::nullopt;
    if (!number) {
      return yamlError(node.Mark(), "meta." + key,
                       "expected a number, found \"" + (node.IsScalar() ? node.Scalar() : std::string("(not a value)")) + "\"");
    }
    if (!std::isfinite(*number)) return yamlError(node.Mark(), "meta." + key, "expected a finite number");
    value = *number;
    return std::nullopt;
  }

  std::string metaText(const char* key) const {
    const auto it = meta_.find(key);
    if (it == meta_.end() || !it->second.IsScalar()) return "";
    return it->second.Scalar();
  }

  // Reads the whole file into `out`; YAML errors are thrown.
  std::optional<InputError> parseUnguarded(EcsvFile& out) {
    std::size_t pos = 0;
    int line = 1;
    if (auto e = readHeader(pos, line)) return e;

    std::string yaml;
    for (const HeaderLine& h : header_) yaml += h.text + '\n';
    const YAML::Node header = YAML::Load(yaml);
    if (!header.IsMap()) return yamlError(header.Mark(), "", "the header must be a YAML mapping with datatype, delimiter and meta");
    std::vector<std::string> names;
    if (auto e = readColumnList(header, names)) return e;
    char delimiter = ' ';
    if (auto e = readDelimiter(header, delimiter)) return e;
    if (auto e = readStation(header, out)) return e;

    // The column names row must repeat the header's list.
    TableReader table(text_, pos, line, delimiter);
    Record record;
    std::optional<InputError> rowError;
    if (!table.next(record, rowError)) {
      if (rowError) return located(*rowError, "");
      return fail(line, 0, "", "no column names after the header (the table is missing)");
    }
    if (auto e = checkNamesRow(record, names)) return e;
    const int namesLine = record.line;
    Columns columns;
    if (auto e = findColumns(names, record.line, columns)) return e;

    // Rows.
    Station& station = out.station;
    while (table.next(record, rowError)) {
      Sighting sighting;
      if (auto e = readSighting(record, names, columns, sighting)) return e;
      station.sightings.push_back(std::move(sighting));
    }
    if (rowError) return located(*rowError, "");
    if (station.sightings.empty()) return fail(namesLine, 0, "", "the table has no rows: a camera needs at least one sighting");
    station.sightings.front().label = "begin";
    if (station.sightings.size() > 1) station.sightings.back().label = "end";
    return std::nullopt;
  }

  // The columns' names, in order, from the header's "datatype" (or the first drafts' "columns").
  std::optional<InputError> readColumnList(const YAML::Node& header, std::vector<std::string>& names) const {
    const bool draftKey = !header["datatype"] && header["columns"];
    const std::string columnsKey = draftKey ? "columns" : "datatype";
    const YAML::Node columns = header[columnsKey];
    if (!columns) return yamlError(YAML::Mark::null_mark(), "datatype", "missing: the header must list the columns");
    if (!columns.IsSequence()) return yamlError(columns.Mark(), columnsKey, "expected a list of columns");
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const YAML::Node column = columns[i];
      const std::string path = columnsKey + "[" + std::to_string(i) + "].name";
      const YAML::Node name = column.IsMap() ? column["name"] : YAML::Node();
      if (!name || !name.IsScalar() || name.Scalar().empty()) {
        return yamlError(column.Mark(), path, "missing: each column needs a name");
      }
      names.push_back(name.Scalar());
    }
    if (names.empty()) return yamlError(columns.Mark(), columnsKey, "the header lists no columns");
    return std::nullopt;
  }

  // Delimiter: the header's, a space when it says nothing (the ECSV default).
  std::optional<InputError> readDelimiter(const YAML::Node& header, char& delimiter) const {
    if (const YAML::Node d = header["delimiter"]) {
      const std::string s = d.IsScalar() ? d.Scalar() : "";
      if (s.size() != 1 || s[0] == '"' || s[0] == '#' || s[0] == '\n' || s[0] == '\r') {
        return yamlError(d.Mark(), "delimiter", "expected one character, such as ',' or ' '");
      }
      delimiter = s[0];
    }
    return std::nullopt;
  }

  // The station from the meta: position (degrees, metres), name, and the event's name.
  std::optional<InputError> readStation(const YAML::Node& header, EcsvFile& out) {
    if (auto e = collectMeta(header["meta"])) return e;
    Station& station = out.station;
    if (auto e = metaNumber("obs_latitude", header, station.position.latitude)) return e;
    if (std::fabs(station.position.latitude) > 90.0) {
      return yamlError(meta_["obs_latitude"].Mark(), "meta.obs_latitude", "latitude outside -90..90 degrees");
    }
    if (auto e = metaNumber("obs_longitude", header, station.position.longitude)) return e;
    if (auto e = metaNumber("obs_elevation", header, station.position.height)) return e;
    station.heightReference = options_.heights;
    for (const char* key : {"location", "camera_id", "dfn_camera_codename", "telescope"}) {
      station.name = metaText(key);
      if (!station.name.empty()) break;
    }
    if (station.name.empty()) station.name = fileStem(fileName_);
    // The network's code of the event names it; older files carry "event".
    out.eventName = metaText("event_codename");
    if (out.eventName.empty()) out.eventName = metaText("event");
    return std::nullopt;
  }

  // The column names row must repeat the header's list; an error names the first difference.
  std::optional<InputError> checkNamesRow(const Record& record, const std::vector<std::string>& names) const {
    for (std::size_t i = 0; i < std::max(names.size(), record.fields.size()); ++i) {
      const std::string found = i < record.fields.size() ? record.fields[i].text : "";
      const std::string expected = i < names.size() ? names[i] : "";
      if (found == expected) continue;
      const int column = static_cast<int>(std::min(i, record.fields.size())) + 1;
      if (i >= record.fields.size()) {
        return fail(record.line, column, expected, "the column names row ends before column \"" + expected + "\" of the header");
      }
      if (i >= names.size()) {
        return fail(record.line, column, found, "column \"" + found + "\" is not in the header's list of " +
                                                    std::to_string(names.size()) + " columns");
      }
      return fail(record.line, column, expected, "the column names row says \"" + found + "\" where the header says \"" +
                                                     expected + "\"");
    }
    return std::nullopt;
  }

  /// Indices of the columns read (-1 when absent): time, azimuth, altitude (required), the error bars
  /// and the apparent magnitude.
  struct Columns {
    int time = -1, azimuth = -1, altitude = -1, magnitude = -1;
    int errors[4] = {-1, -1, -1, -1};  ///< err_minus_azimuth, err_plus_azimuth, err_minus_altitude, err_plus_altitude
  };

  // Finds the columns by name; an error (at the names row, `line`) names a required one missing.
  std::optional<InputError> findColumns(const std::vector<std::string>& names, int line, Columns& columns) const {
    const auto indexOf = [&](const char* name) -> int {
      const auto it = std::find(names.begin(), names.end(), name);
      return it == names.end() ? -1 : static_cast<int>(it - names.begin());
    };
    columns.time = indexOf("datetime");
    columns.azimuth = indexOf("azimuth");
    columns.altitude = indexOf("altitude");
    for (const auto& [index, name] : {std::pair{columns.time, "datetime"}, std::pair{columns.azimuth, "azimuth"},
                                      std::pair{columns.altitude, "altitude"}}) {
      if (index < 0) {
        return fail(line, 0, name, std::string("missing: the table needs the column \"") + name + "\"");
      }
    }
    const char* errorNames[4] = {"err_minus_azimuth", "err_plus_azimuth", "err_minus_altitude", "err_plus_altitude"};
    for (int k = 0; k < 4; ++k) columns.errors[k] = indexOf(errorNames[k]);
    columns.magnitude = indexOf("mag_data");
    return std::nullopt;
  }

  // One row as a sighting: time (UTC epoch seconds), azimuth and elevation (degrees), sigma.
  std::optional<InputError> readSighting(const Record& record, const std::vector<std::string>& names,
                                         const Columns& columns, Sighting& sighting) const {
    if (record.fields.size() != names.size()) {
      const int column = static_cast<int>(std::min(record.fields.size(), names.size())) + 1;
      return fail(record.line, column, "", "expected " + std::to_string(names.size()) + " fields (one per column), found " +
                                               std::to_string(record.fields.size()));
    }
    const Field& timeField = record.fields[static_cast<std::size_t>(columns.time)];
    sighting.time = parseIsoTime(timeField.text);
    if (!sighting.time) {
      return fail(timeField.line, timeField.number, "datetime",
                  "expected an ISO 8601 UTC time such as 2026-11-14T21:03:07.25, found \"" + timeField.text + "\"");
    }
    if (auto e = number(record, columns.azimuth, names, sighting.azimuth)) return e;
    if (std::fabs(sighting.azimuth) > kMaxAzimuth) {
      const Field& f = record.fields[static_cast<std::size_t>(columns.azimuth)];
      return fail(f.line, f.number, "azimuth", "azimuth outside -360..360 degrees: " + f.text);
    }
    if (auto e = number(record, columns.altitude, names, sighting.elevation)) return e;
    if (std::fabs(sighting.elevation) > 90.0) {
      const Field& f = record.fields[static_cast<std::size_t>(columns.altitude)];
      return fail(f.line, f.number, "altitude", "altitude outside -90..90 degrees: " + f.text);
    }
    if (auto e = readMagnitude(record, columns, sighting)) return e;
    return readSigma(record, names, columns, sighting);
  }

  // The apparent magnitude ("mag_data"), when the column is there and the field not masked (empty).
  std::optional<InputError> readMagnitude(const Record& record, const Columns& columns, Sighting& sighting) const {
    if (columns.magnitude < 0) return std::nullopt;
    const Field& f = record.fields[static_cast<std::size_t>(columns.magnitude)];
    if (f.text.empty()) return std::nullopt;
    const std::optional<double> m = parseNumber(f.text);
    if (!m || !std::isfinite(*m) || *m < kBrightestMagnitude || *m > kFaintestMagnitude) {
      return fail(f.line, f.number, "mag_data",
                  "expected the apparent magnitude, a number from -30 to +15, found \"" + f.text + "\"");
    }
    sighting.magnitude = m;
    return std::nullopt;
  }

  // Sigma (degrees on the sky): mean of the error bars given, azimuth errors turned into
  // angles on the sky; left unset when none is given.
  std::optional<InputError> readSigma(const Record& record, const std::vector<std::string>& names,
                                      const Columns& columns, Sighting& sighting) const {
    const double cosAltitude = std::cos(sighting.elevation * kRadiansPerDegree);
    double sum = 0.0;
    int count = 0;
    for (int k = 0; k < 4; ++k) {
      if (columns.errors[k] < 0) continue;
      const Field& f = record.fields[static_cast<std::size_t>(columns.errors[k])];
      if (f.text.empty()) continue;  // a masked value
      double e = 0.0;
      if (auto err = number(record, columns.errors[k], names, e)) return err;
      if (std::fabs(e) > kMaxErrorBar) {
        return fail(f.line, f.number, names[static_cast<std::size_t>(columns.errors[k])],
                    "an error bar of more than 180 degrees: " + f.text);
      }
      sum += std::fabs(e) * (k < 2 ? cosAltitude : 1.0);
      ++count;
    }
    if (count > 0 && sum > 0.0) sighting.sigma = sum / count;
    return std::nullopt;
  }

  InputError located(InputError error, const std::string& path) const {
    error.file = fileName_;
    if (error.path.empty()) error.path = path;
    return error;
  }

  std::optional<InputError> number(const Record& record, int column, const std::vector<std::string>& names,
                                   double& value) const {
    const Field& f = record.fields[static_cast<std::size_t>(column)];
    const std::string& name = names[static_cast<std::size_t>(column)];
    const std::optional<double> n = parseNumber(f.text);
    if (!n) return fail(f.line, f.number, name, "expected a number (degrees), found \"" + f.text + "\"");
    if (!std::isfinite(*n)) return fail(f.line, f.number, name, "expected a finite number, found \"" + f.text + "\"");
    value = *n;
    return std::nullopt;
  }

  const std::string& text_;
  const std::string& fileName_;
  const EcsvOptions& options_;
  std::vector<HeaderLine> header_;
  std::map<std::string, YAML::Node> meta_;
};

}  // namespace

StationReadResult readEcsvStation(const std::string& text, const std::string& fileName, const EcsvOptions& options) {
  StationReadResult result;
  EcsvFile file;
  result.error = StationParser(text, fileName, options).parse(file);
  if (!result.error) result.station = std::move(file.station);
  return result;
}

EventReadResult readEcsvEvent(const std::vector<NamedText>& files, const EcsvOptions& options) {
  EventReadResult result;
  if (files.size() < 2) {
    result.error = InputError{files.empty() ? "" : files.front().name, 0, 0, "",
                              "an event needs at least two ECSV files, one per camera"};
    return result;
  }
  Event& event = result.event;
  event.refraction = Refraction::Corrected;
  // "begin" and "end" mark each camera's own first and last rows: different points of the path.
  event.triangulateLabels = false;
  for (const NamedText& input : files) {
    EcsvFile file;
    if (auto e = StationParser(input.text, input.name, options).parse(file)) {
      result.error = e;
      return result;
    }
    if (event.name.empty()) event.name = file.eventName;
    for (const Sighting& s : file.station.sightings) {
      if (s.time && (!event.time || *s.time < *event.time)) event.time = s.time;
    }
    event.stations.push_back(std::move(file.station));
  }
  if (event.name.empty()) event.name = fileStem(files.front().name);
  return result;
}

bool looksLikeEcsv(const std::string& fileName, const std::string& text) {
  const auto endsWith = [&](std::string_view suffix) {
    if (fileName.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), fileName.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
  };
  return endsWith(".ecsv") || text.rfind("# %ECSV", 0) == 0 || text.rfind("\xEF\xBB\xBF# %ECSV", 0) == 0;
}

}  // namespace sightline
