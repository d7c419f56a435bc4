// The shower table's reader and its places.
#include "formats/shower_table.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>


#include "common/text.hpp"
#include "formats/files.hpp"

namespace sightline {

namespace {

constexpr std::size_t kMaximumTableBytes = 16u << 20;  // the shipped table is ~25 kB
constexpr double kMetresPerKilometre = 1000.0;
constexpr double kFastestTableSpeed = 100.0;  // km/s: above any meteor's vG

constexpr std::array<const char*, 10> kColumns = {"lp",  "iau", "ad",  "code", "name",
                                                   "status", "solar_longitude", "ra", "dec", "vg"};

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// Reads one line's fields into a row; the message of the first bad one otherwise.
class RowReader {
 public:
  RowReader(const std::string& file, int line, const std::array<std::size_t, kColumns.size()>& at,
            const std::vector<std::string_view>& fields)
      : file_(file), line_(line), at_(at), fields_(fields) {}

  std::optional<InputError> read(ShowerSolution& row) {
    if (!integer(0, row.lp) || !integer(1, row.number) || !integer(2, row.solution) || !text(3, row.code) ||
        !text(4, row.name) || !integer(5, row.status) || !real(6, 0.0, 360.0, row.solarLongitude) ||
        !real(7, 0.0, 360.0, row.ra) || !real(8, -90.0, 90.0, row.dec) ||
        !real(9, 0.0, kFastestTableSpeed, row.vGeocentric)) {
      return error_;
    }
    if (!(row.vGeocentric > 0.0)) {
      fail(9, "expected a geocentric speed above 0 km/s");
      return error_;
    }
    row.vGeocentric *= kMetresPerKilometre;
    return std::nullopt;
  }

 private:
  std::string field(std::size_t column) const { return trimmed(fields_[at_[column]]); }

  bool fail(std::size_t column, const std::string& message) {
    error_ = InputError{file_, line_, 0, kColumns[column], "'" + field(column) + "': " + message};
    return false;
  }

  bool integer(std::size_t column, int& value) {
    const std::string f = field(column);
    const auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (ec != std::errc() || end != f.data() + f.size() || f.empty()) return fail(column, "expected an integer");
    return true;
  }

  bool real(std::size_t column, double low, double high, double& value) {
    const std::string f = field(column);
    const auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (ec != std::errc() || end != f.data() + f.size() || f.empty() || !std::isfinite(value))
      return fail(column, "expected a number");
    if (value < low || value > high) return fail(column, formatted("expected a number from %g to %g", low, high));
    return true;
  }

  bool text(std::size_t column, std::string& value) {
    value = field(column);
    if (value.empty()) return fail(column, "expected a text");
    return true;
  }

  const std::string& file_;
  int line_;
  const std::array<std::size_t, kColumns.size()>& at_;
  const std::vector<std::string_view>& fields_;
  std::optional<InputError> error_;
};

// The position of every needed column in the header line, or the error.
std::optional<InputError> headerColumns(const std::vector<std::string_view>& names, const std::string& file, int line,
                                        std::array<std::size_t, kColumns.size()>& at) {
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    std::size_t found = names.size();
    for (std::size_t i = 0; i < names.size(); ++i)
      if (trimmed(names[i]) == kColumns[c]) found = i;
    if (found == names.size())
      return InputError{file, line, 0, "", std::string("the header line lacks the column '") + kColumns[c] +
                                              "'; expected lp,iau,ad,code,name,status,solar_longitude,ra,dec,vg"};
    at[c] = found;
  }
  return std::nullopt;
}

ShowerTableReadResult failed(InputError error) {
  ShowerTableReadResult result;
  result.error = std::move(error);
  return result;
}

}  // namespace

ShowerTableReadResult readShowerTable(const std::string& text, const std::string& fileName) {
  if (text.size() > kMaximumTableBytes)
    return failed({fileName, 0, 0, "", formatted("%zu bytes: a shower table has at most %zu", text.size(),
                                                 kMaximumTableBytes)});
  if (text.find('\0') != std::string::npos) return failed({fileName, 0, 0, "", "binary data: expected CSV text"});
  std::vector<ShowerSolution> rows;
  std::array<std::size_t, kColumns.size()> at{};
  std::size_t width = 0;  // fields of the header line; 0 before it
  std::size_t start = 0;
  for (int line = 1; start < text.size(); ++line) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view content(text.data() + start, end - start);
    start = end + 1;
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (trimmed(content).empty() || content.front() == '#') continue;
    const std::vector<std::string_view> fields = split(content);
    if (width == 0) {
      if (auto error = headerColumns(fields, fileName, line, at)) return failed(*error);
      width = fields.size();
      continue;
    }
    if (fields.size() != width)
      return failed({fileName, line, 0, "", formatted("%zu fields; expected %zu as in the header line",
                                                      fields.size(), width)});
    ShowerSolution row;
    if (auto error = RowReader(fileName, line, at, fields).read(row)) return failed(*error);
    rows.push_back(std::move(row));
  }
  if (rows.empty()) return failed({fileName, 0, 0, "", "no showers: expected a header line and one row per solution"});
  ShowerTableReadResult result;
  result.table = ShowerTable(std::move(rows));
  return result;
}

namespace {

// The folder of the running program, or empty.
std::filesystem::path programFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::string showerTablePath(const std::string& option) {
  if (!option.empty()) return option;
  if (const char* variable = std::getenv(kShowerTableVariable); variable != nullptr && *variable != '\0')
    return variable;
  std::vector<std::filesystem::path> places;
  const std::filesystem::path folder = programFolder();
  if (!folder.empty()) places.push_back(folder.parent_path() / "share" / "sightline" / "showers.csv");
#ifdef SIGHTLINE_INSTALLED_SHOWERS
  places.emplace_back(SIGHTLINE_INSTALLED_SHOWERS);
#endif
#ifdef SIGHTLINE_SOURCE_SHOWERS
  places.emplace_back(SIGHTLINE_SOURCE_SHOWERS);
#endif
  for (const std::filesystem::path& place : places) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(place, ec)) return place.string();
  }
  return "";
}

const ShowerTable* sharedShowerTable(const std::string& path, InputError& error) {
  struct Entry {
    std::unique_ptr<ShowerTable> table;
    InputError error;
  };
  static std::mutex mutex;
  static std::map<std::string, Entry> tables;
  const std::lock_guard<std::mutex> lock(mutex);
  auto [it, inserted] = tables.try_emplace(path);
  Entry& entry = it->second;
  if (inserted) {
    NamedText input;
    if (path.empty()) {
      entry.error = {"shower table", 0, 0, "",
                     std::string("not found: give --showers FILE or set ") + kShowerTableVariable +
                         " (it is installed as share/sightline/showers.csv)"};
    } else if (std::error_code ec; std::filesystem::is_regular_file(path, ec) &&
                                   std::filesystem::file_size(path, ec) > kMaximumTableBytes) {
      entry.error = {path, 0, 0, "", formatted("larger than %zu bytes: not a shower table", kMaximumTableBytes)};
    } else if (auto unreadable = readInput(path, input)) {
      entry.error = *unreadable;
    } else if (ShowerTableReadResult read = readShowerTable(input.text, input.name); read.error) {
      entry.error = *read.error;
    } else {
      entry.table = std::make_unique<ShowerTable>(std::move(read.table));
    }
  }
  error = entry.error;
  return entry.table.get();
}

}  // namespace sightline
