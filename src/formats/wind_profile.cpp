#include "formats/wind_profile.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

#include "common/text.hpp"
#include "darkflight/constants.hpp"
#include "darkflight/standard_atmosphere.hpp"

namespace sightline {

namespace {

using darkflight::AirLevel;

constexpr double kKelvinAtZeroCelsius = 273.15;
constexpr double kPascalPerHectopascal = 100.0;

/// The lines of a text with their 1-based numbers (CR of CRLF removed).
std::vector<std::string_view> splitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool isBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

/// The whole of `token` (trimmed) as a finite number.
std::optional<double> numberOf(std::string_view token) {
  const std::string t = trimmed(token);
  if (t.empty()) return std::nullopt;
  const char* begin = t.data() + (t[0] == '+' ? 1 : 0);
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(begin, t.data() + t.size(), value);
  if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::vector<std::string_view> whitespaceTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

InputError errorAt(const std::string& name, int line, const std::string& column, const std::string& message) {
  InputError e;
  e.file = name;
  e.line = line;
  e.path = column;
  e.message = message;
  return e;
}

/// A text that is not a text: NUL bytes or other control characters.
bool looksBinary(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v');
  });
}

/// The checks every profile passes, whatever its format; `lines` are the
/// levels' line numbers.
std::optional<InputError> checkLevels(const std::vector<AirLevel>& levels, const std::vector<int>& lines,
                                      const std::string& name, bool sounding) {
  if (levels.size() < 2) {
    return errorAt(name, 0, "",
                   std::string(levels.empty() ? "no complete level" : "only one complete level") +
                       (sounding ? " (pressure, height, temperature, wind direction and speed)" : "") +
                       ": expected two or more levels");
  }
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const AirLevel& l = levels[i];
    if (i > 0 && !(l.height > levels[i - 1].height))
      return errorAt(name, lines[i], "height", formatted("height %g m is not above the level before (%g m): expected "
                                                         "strictly increasing heights", l.height, levels[i - 1].height));
    if (!(l.temperature > 0.0))
      return errorAt(name, lines[i], "temperature", formatted("temperature %g K: expected a positive absolute temperature", l.temperature));
    if (!(l.pressure > 0.0))
      return errorAt(name, lines[i], "pressure", formatted("pressure %g Pa: expected a positive pressure", l.pressure));
    if (!(l.windSpeed >= 0.0))
      return errorAt(name, lines[i], "wind", formatted("wind speed %g m/s: expected 0 or more", l.windSpeed));
  }
  return std::nullopt;
}

// ---------------------------------------------------------------- Wyoming

bool isSoundingHeader(std::string_view line) {
  const auto tokens = whitespaceTokens(line);
  return tokens.size() >= 3 && tokens[0] == "PRES" && tokens[1] == "HGHT" && tokens[2] == "TEMP";
}

/// A column of the sounding: the characters (begin, end] under its right-aligned name.
struct Span {
  std::size_t begin = 0, end = 0;
  bool found = false;
};

std::string_view field(std::string_view line, const Span& s) {
  if (s.begin >= line.size()) return {};
  return line.substr(s.begin, std::min(s.end, line.size()) - s.begin);
}

/// A row of numbers: every token a number, and at least one.
bool isNumberRow(std::string_view line) {
  const auto tokens = whitespaceTokens(line);
  return !tokens.empty() && std::all_of(tokens.begin(), tokens.end(), [](std::string_view t) { return numberOf(t).has_value(); });
}

WindProfileRead readSounding(const std::vector<std::string_view>& lines, std::size_t header, const std::string& name) {
  WindProfileRead out;
  out.kind = WindProfileKind::WyomingSounding;
  // Names are right-aligned over their columns: a column runs from the end of the name before it.
  std::array<std::string_view, 6> names{"PRES", "HGHT", "TEMP", "DRCT", "SKNT", "SPED"};
  std::array<Span, 6> spans;
  const std::string_view h = lines[header];
  std::size_t previousEnd = 0;
  for (std::size_t i = 0; i < h.size();) {
    while (i < h.size() && std::isspace(static_cast<unsigned char>(h[i]))) ++i;
    const std::size_t start = i;
    while (i < h.size() && !std::isspace(static_cast<unsigned char>(h[i]))) ++i;
    if (i == start) break;
    const std::string_view token = h.substr(start, i - start);
    for (std::size_t k = 0; k < names.size(); ++k)
      if (token == names[k]) spans[k] = Span{previousEnd, i, true};
    previousEnd = i;
  }
  const bool knots = spans[4].found;
  if (!spans[3].found || (!knots && !spans[5].found))
    return WindProfileRead{out.kind, {}, errorAt(name, static_cast<int>(header) + 1, !spans[3].found ? "DRCT" : "SKNT",
                                                 "the sounding has no wind column: expected DRCT and SKNT (or SPED)")};
  std::size_t i = header + 1;
  while (i < lines.size() && !isNumberRow(lines[i]) && (lines[i].find("hPa") != std::string_view::npos ||
                                                        lines[i].find("---") != std::string_view::npos || isBlank(lines[i])))
    ++i;
  std::vector<int> lineNumbers;
  for (; i < lines.size() && isNumberRow(lines[i]); ++i) {
    const auto pres = numberOf(field(lines[i], spans[0])), hght = numberOf(field(lines[i], spans[1]));
    const auto temp = numberOf(field(lines[i], spans[2])), drct = numberOf(field(lines[i], spans[3]));
    const auto wind = numberOf(field(lines[i], spans[knots ? 4 : 5]));
    if (!pres || !hght || !temp || !drct || !wind) continue;
    if (out.levels.size() >= kMaxProfileLevels)
      return WindProfileRead{out.kind, {}, errorAt(name, static_cast<int>(i) + 1, "", formatted("more than %zu levels", kMaxProfileLevels))};
    out.levels.push_back(AirLevel{darkflight::geometricHeight(*hght), *temp + kKelvinAtZeroCelsius,
                                  *pres * kPascalPerHectopascal,
                                  *wind * (knots ? darkflight::kMetresPerSecondPerKnot : 1.0), *drct});
    lineNumbers.push_back(static_cast<int>(i) + 1);
  }
  out.error = checkLevels(out.levels, lineNumbers, name, true);
  if (out.error) out.levels.clear();  // a refused profile gives no levels to use by mistake
  return out;
}

// ---------------------------------------------------------------- CSV

/// The names each quantity may have in a profile CSV (compared without case).
constexpr std::array<std::array<const char*, 2>, 5> kCsvNames{{{"height", "height"},
                                                              {"tempk", "temperature"},
                                                              {"press", "pressure"},
                                                              {"wind", "wind_horizontal"},
                                                              {"wdir", "wind_direction"}}};
constexpr std::array<const char*, 5> kCsvQuantity{"Height (m above mean sea level)", "TempK (K)", "Press (Pa)",
                                                  "Wind (m/s)", "WDir (degrees from)"};

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::vector<std::string> commaFields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(trimmed(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

/// The column index of each quantity in `header`, or the error naming the first missing one.
std::optional<InputError> csvColumns(std::string_view headerLine, int lineNumber, const std::string& name,
                                     std::array<std::size_t, 5>& columns) {
  std::string_view header = headerLine;
  const std::size_t first = header.find_first_not_of(" \t");
  if (first != std::string_view::npos && header[first] == '#') header.remove_prefix(first + 1);
  const std::vector<std::string> fields = commaFields(header);
  for (std::size_t q = 0; q < kCsvNames.size(); ++q) {
    const auto it = std::find_if(fields.begin(), fields.end(), [&](const std::string& f) {
      const std::string l = lowered(f);
      return l == kCsvNames[q][0] || l == kCsvNames[q][1];
    });
    if (it == fields.end())
      return errorAt(name, lineNumber, kCsvNames[q][1],
                     std::string("no column ") + kCsvQuantity[q] + ": expected a header naming Height, TempK, Press, "
                                                                  "Wind, WDir (or height, temperature, pressure, "
                                                                  "wind_horizontal, wind_direction)");
    columns[q] = static_cast<std::size_t>(it - fields.begin());
  }
  return std::nullopt;
}

WindProfileRead readCsv(const std::vector<std::string_view>& lines, const std::string& name) {
  WindProfileRead out;
  std::size_t i = 0;
  while (i < lines.size() && isBlank(lines[i])) ++i;
  std::array<std::size_t, 5> columns{};
  if (auto e = csvColumns(lines[i], static_cast<int>(i) + 1, name, columns)) return WindProfileRead{out.kind, {}, e};
  std::vector<int> lineNumbers;
  for (++i; i < lines.size(); ++i) {
    if (isBlank(lines[i]) || trimmed(lines[i]).front() == '#') continue;
    const int lineNumber = static_cast<int>(i) + 1;
    const std::vector<std::string> fields = commaFields(lines[i]);
    std::array<double, 5> v{};
    for (std::size_t q = 0; q < columns.size(); ++q) {
      const auto value = columns[q] < fields.size() ? numberOf(fields[columns[q]]) : std::nullopt;
      if (!value) {
        InputError e = errorAt(name, lineNumber, kCsvNames[q][1],
                               columns[q] < fields.size() ? "'" + fields[columns[q]] + "': expected a number for " + kCsvQuantity[q]
                                                          : std::string("missing value for ") + kCsvQuantity[q]);
        e.column = static_cast<int>(columns[q]) + 1;
        return WindProfileRead{out.kind, {}, e};
      }
      v[q] = *value;
    }
    if (out.levels.size() >= kMaxProfileLevels)
      return WindProfileRead{out.kind, {}, errorAt(name, lineNumber, "", formatted("more than %zu levels", kMaxProfileLevels))};
    out.levels.push_back(AirLevel{v[0], v[1], v[2], v[3], v[4]});
    lineNumbers.push_back(lineNumber);
  }
  out.error = checkLevels(out.levels, lineNumbers, name, false);
  if (out.error) out.levels.clear();  // a refused profile gives no levels to use by mistake
  return out;
}

}  // namespace

WindProfileRead readWindProfile(const std::string& text, const std::string& name) {
  if (isBlank(text)) return WindProfileRead{WindProfileKind::ProfileCsv, {}, errorAt(name, 0, "", "empty file: expected a wind profile (a Wyoming sounding or a profile CSV)")};
  if (looksBinary(text))
    return WindProfileRead{WindProfileKind::ProfileCsv, {}, errorAt(name, 0, "", "binary data: expected a text wind profile (a Wyoming sounding or a profile CSV)")};
  const std::vector<std::string_view> lines = splitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (isSoundingHeader(lines[i])) return readSounding(lines, i, name);
  return readCsv(lines, name);
}

}  // namespace sightline
