#include "formats/rms_config.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include <nlohmann/json.hpp>

#include "common/text.hpp"
#include "formats/json_nesting.hpp"
#include "formats/text_lines.hpp"

namespace sightline {

namespace {

/// Lowest and highest station height taken as real, metres above mean sea level.
constexpr double kLowestSite = -500.0;
constexpr double kHighestSite = 9000.0;
/// Deepest nesting of a platepars file worth parsing (it has three levels).
constexpr int kMaxNesting = 16;

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct Value {
  std::string text;
  int line = 0;
};

// Checks a coordinate read from `key`; the error names the file, line and key.
std::optional<InputError> coordinate(const std::map<std::string, Value>& keys, const std::string& file, const char* key,
                                     double lo, double hi, const char* expected, double& out) {
  auto it = keys.find(key);
  if (it == keys.end()) return InputError{file, 0, 0, std::string("[System] ") + key, std::string("missing: expected ") + expected};
  const auto v = readNumber(it->second.text);
  if (!v || !std::isfinite(*v) || *v < lo || *v > hi)
    return InputError{file, it->second.line, 0, key, std::string("expected ") + expected + ", found \"" + it->second.text.substr(0, 60) + "\""};
  out = *v;
  return std::nullopt;
}

}  // namespace

CameraSiteResult readRmsConfig(std::string_view text, const std::string& fileName) {
  CameraSiteResult r;
  if (const std::size_t at = firstBinaryByte(text); at != std::string_view::npos) {
    r.error = InputError{fileName, 0, 0, "", "binary byte in the file: expected an RMS .config text file"};
    return r;
  }
  LineCursor lines(text);
  std::string_view line;
  std::string section;
  std::map<std::string, Value> keys;
  while (lines.next(line)) {
    std::string t = trimmed(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      section = lower(trimmed(std::string_view(t).substr(1, t.find(']') == std::string::npos ? std::string::npos : t.find(']') - 1)));
      continue;
    }
    if (section != "system") continue;
    const std::size_t sep = t.find_first_of(":=");
    if (sep == std::string::npos) continue;  // a continuation line of a longer value
    std::string value = t.substr(sep + 1);
    if (const std::size_t c = value.find_first_of(";#"); c != std::string::npos) value.resize(c);
    keys[lower(trimmed(std::string_view(t).substr(0, sep)))] = Value{trimmed(value), lines.number()};
  }
  if (auto it = keys.find("stationid"); it != keys.end()) r.site.stationId = it->second.text;
  if (r.site.stationId.empty()) {
    r.error = InputError{fileName, 0, 0, "[System] stationID", "missing: expected the camera's station identifier"};
    return r;
  }
  GeodeticPosition& p = r.site.position;
  if ((r.error = coordinate(keys, fileName, "latitude", -90, 90, "degrees north from -90 to 90", p.latitude))) return r;
  if ((r.error = coordinate(keys, fileName, "longitude", -180, 360, "degrees east", p.longitude))) return r;
  if ((r.error = coordinate(keys, fileName, "elevation", kLowestSite, kHighestSite, "metres above mean sea level", p.height))) return r;
  if (p.longitude >= 180.0) p.longitude -= 360.0;
  return r;
}

CameraSiteResult readPlatepars(std::string_view text, const std::string& fileName) {
  CameraSiteResult r;
  // A platepar file nests three levels; deeper brackets are refused before parsing (bounded stack).
  if (firstTooDeep(text, kMaxNesting)) {
    r.error = InputError{fileName, 0, 0, "", "nested deeper than a platepar file is"};
    return r;
  }
  const nlohmann::json root = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (root.is_discarded() || !root.is_object() || root.empty()) {
    r.error = InputError{fileName, 0, 0, "", "expected a JSON object of FF names to platepars"};
    return r;
  }
  for (const auto& item : root.items()) {
    const std::string& name = item.key();
    const nlohmann::json& plate = item.value();
    if (!plate.is_object()) continue;
    auto number = [&](const char* key, double lo, double hi, double& out) {
      const auto it = plate.find(key);
      if (it == plate.end() || !it->is_number() || !(it->get<double>() >= lo && it->get<double>() <= hi)) return false;
      out = it->get<double>();
      return true;
    };
    GeodeticPosition& p = r.site.position;
    if (!number("lat", -90, 90, p.latitude) || !number("lon", -180, 360, p.longitude) ||
        !number("elev", kLowestSite, kHighestSite, p.height)) {
      r.error = InputError{fileName, 0, 0, name, "expected \"lat\" (degrees north), \"lon\" (degrees east) and \"elev\" (metres above mean sea level)"};
      return r;
    }
    if (p.longitude >= 180.0) p.longitude -= 360.0;
    if (auto code = plate.find("station_code"); code != plate.end() && code->is_string()) r.site.stationId = code->get<std::string>();
    return r;
  }
  r.error = InputError{fileName, 0, 0, "", "no platepar (an object with \"lat\", \"lon\" and \"elev\") in the file"};
  return r;
}

}  // namespace sightline
