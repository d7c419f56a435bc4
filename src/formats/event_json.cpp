// The event file: nlohmann-json for the syntax, the checks below for the meaning.
#include "formats/event_json.hpp"
#include "formats/json_nesting.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "trajectory/photometry.hpp"
#include "trajectory/time.hpp"
#include "trajectory/timing_checks.hpp"

namespace sightline {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr const char* kEventFormat = "sightline-event";
constexpr int kEventVersion = 1;
/// Largest magnitude of a latitude or an elevation, degrees.
constexpr double kRightAngleDegrees = 90.0;

// Line and column (1-based, columns in bytes) of the character at `index` of `text`.
void lineAndColumn(const std::string& text, std::size_t index, int& line, int& column) {
  index = std::min(index, text.size());
  line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = static_cast<int>(index - lineStart) + 1;
}

// The part of a nlohmann parse error that says what was wrong, without its position prefix.
std::string parseErrorReason(const std::string& what) {
  const std::size_t at = what.find("column ");
  std::size_t colon = at == std::string::npos ? what.find("parse error: ") : what.find(": ", at);
  if (colon == std::string::npos) return what;
  colon = what.find(": ", colon);
  std::string reason = colon == std::string::npos ? what : what.substr(colon + 2);
  // The bytes last read may be anything (not UTF-8, control characters): the position says where.
  const std::size_t lastRead = reason.find("; last read:");
  if (lastRead != std::string::npos) reason.erase(lastRead);
  return reason;
}

// Index in `text` of the fault of a parse error: the parser reports the count
// of bytes read, which ends at the last byte of the token it could not use (an
// unexpected string is pointed at by its opening quote).
std::size_t faultIndex(const std::string& text, std::size_t bytesRead, const std::string& what) {
  const std::size_t last = bytesRead == 0 ? 0 : std::min(bytesRead - 1, text.size());
  if (what.find("unexpected string literal") != std::string::npos && last < text.size() && text[last] == '"') {
    for (std::size_t i = last; i-- > 0;) {
      if (text[i] != '"') continue;
      std::size_t backslashes = 0;
      while (backslashes < i && text[i - 1 - backslashes] == '\\') ++backslashes;
      if (backslashes % 2 == 0) return i;
    }
  }
  return last;
}

// Finds the first key given twice in one object while the text is parsed
// (the parser itself keeps the last and says nothing).
class DuplicateKeyFinder {
 public:
  bool operator()(int, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        enterValue();
        levels_.push_back(Level{false, 0, {}, {}});
        break;
      case Json::parse_event_t::array_start:
        enterValue();
        levels_.push_back(Level{true, 0, {}, {}});
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        if (!levels_.empty()) levels_.pop_back();
        break;
      case Json::parse_event_t::key:
        if (!levels_.empty() && parsed.is_string()) {
          Level& level = levels_.back();
          level.key = parsed.get<std::string>();
          if (!level.keys.insert(level.key).second && !duplicate_) duplicate_ = path();
        }
        break;
      case Json::parse_event_t::value:
        enterValue();
        break;
    }
    return true;
  }

  /// JSON path of the first duplicate key, if any.
  const std::optional<std::string>& duplicate() const { return duplicate_; }

 private:
  struct Level {
    bool array = false;
    std::size_t count = 0;  // elements of an array seen so far
    std::string key;        // current key of an object
    std::set<std::string> keys;
  };

  void enterValue() {
    if (!levels_.empty() && levels_.back().array) ++levels_.back().count;
  }

  std::string path() const {
    std::string out;
    for (const Level& level : levels_) {
      if (level.array) {
        out += "[" + std::to_string(level.count == 0 ? 0 : level.count - 1) + "]";
      } else {
        if (!out.empty()) out += ".";
        out += level.key;
      }
    }
    return out;
  }

  std::vector<Level> levels_;
  std::optional<std::string> duplicate_;
};

// Deepest nesting of objects and lists that an event file may have: an event
// needs 5 (root, stations, a station, its sightings, a sighting); the rest is
// room for keys added later. Deeper files are refused before they are parsed,
// so that a hostile file of brackets costs neither time nor memory.
constexpr int kMaxNesting = 32;

// Index of the bracket that opens a level deeper than kMaxNesting, if any.
// Brackets inside strings do not count.
std::optional<std::size_t> tooDeep(const std::string& text) { return firstTooDeep(text, kMaxNesting); }

std::string member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }
std::string element(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

// "a string", "a number", ... as the user would say it.
std::string found(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return value.get<bool>() ? "true" : "false";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "a list";
    case Json::value_t::object: return "an object";
    default: return value.dump();
  }
}

// Checks the meaning of a parsed event file and builds the event; the first fault wins.
class EventChecker {
 public:
  explicit EventChecker(std::string file) : file_(std::move(file)) {}

  std::optional<InputError> error;

  bool fail(const std::string& path, const std::string& message) {
    if (!error) error = InputError{file_, 0, 0, path, message};
    return false;
  }

  // Every key of `object` must be one of `allowed`.
  bool onlyKeys(const Json& object, const std::string& path, std::initializer_list<const char*> allowed) {
    for (const auto& item : object.items()) {
      if (std::find_if(allowed.begin(), allowed.end(), [&](const char* k) { return item.key() == k; }) !=
          allowed.end())
        continue;
      std::string list;
      for (const char* k : allowed) list += std::string(list.empty() ? "" : ", ") + "\"" + k + "\"";
      return fail(member(path, item.key()), "unknown key; expected one of " + list);
    }
    return true;
  }

  // The member `key` of `object`, or nullptr when absent (then an error if `required`).
  const Json* find(const Json& object, const std::string& path, const char* key, bool required,
                   const char* expected) {
    const auto it = object.find(key);
    if (it == object.end()) {
      if (required) fail(path, std::string("missing key \"") + key + "\" (" + expected + ")");
      return nullptr;
    }
    return &*it;
  }

  bool number(const Json& object, const std::string& path, const char* key, bool required, const char* expected,
              std::optional<double>& out) {
    const Json* value = find(object, path, key, required, expected);
    if (value == nullptr) return !error;
    if (!value->is_number()) return fail(member(path, key), std::string("expected ") + expected + ", found " + found(*value));
    const double x = value->get<double>();
    if (!std::isfinite(x)) return fail(member(path, key), std::string("expected ") + expected + ", found " + value->dump());
    out = x;
    return true;
  }

  bool numberIn(const Json& object, const std::string& path, const char* key, bool required, const char* expected,
                double low, double high, std::optional<double>& out) {
    if (!number(object, path, key, required, expected, out)) return false;
    if (out && (*out < low || *out > high))
      return fail(member(path, key), std::string("expected ") + expected + ", found " + Json(*out).dump());
    return true;
  }

  bool sigma(const Json& object, const std::string& path, std::optional<double>& out) {
    constexpr const char* expected = "a number of degrees greater than 0";
    if (!number(object, path, "sigma", false, expected, out)) return false;
    if (out && !(*out > 0.0)) return fail(member(path, "sigma"), std::string("expected ") + expected + ", found " + Json(*out).dump());
    return true;
  }

  bool string(const Json& object, const std::string& path, const char* key, bool required, const char* expected,
              std::optional<std::string>& out) {
    const Json* value = find(object, path, key, required, expected);
    if (value == nullptr) return !error;
    if (!value->is_string()) return fail(member(path, key), std::string("expected ") + expected + ", found " + found(*value));
    out = value->get<std::string>();
    return true;
  }

  bool time(const Json& object, const std::string& path, std::optional<double>& out) {
    constexpr const char* expected = "an ISO 8601 UTC time such as \"2026-11-14T21:03:07.25Z\"";
    std::optional<std::string> text;
    if (!string(object, path, "time", false, expected, text)) return false;
    if (!text) return true;
    out = parseIsoTime(*text);
    if (!out) return fail(member(path, "time"), std::string("expected ") + expected + ", found \"" + *text + "\"");
    return true;
  }

  bool list(const Json& object, const std::string& path, const char* key, const char* expected, const Json*& out) {
    out = find(object, path, key, true, expected);
    if (out == nullptr) return false;
    if (!out->is_array()) return fail(member(path, key), std::string("expected ") + expected + ", found " + found(*out));
    return true;
  }

  bool sighting(const Json& value, const std::string& path, Sighting& out) {
    if (!value.is_object()) return fail(path, "expected a sighting (an object with \"azimuth\" and \"elevation\"), found " + found(value));
    if (!onlyKeys(value, path, {"azimuth", "elevation", "label", "time", "sigma", "magnitude"})) return false;
    std::optional<double> azimuth, elevation;
    std::optional<std::string> label;
    if (!number(value, path, "azimuth", true, "a number, degrees from north through east", azimuth)) return false;
    if (!numberIn(value, path, "elevation", true, "a number of degrees from -90 to 90", -kRightAngleDegrees,
                  kRightAngleDegrees, elevation))
      return false;
    if (!string(value, path, "label", false, "a string such as \"begin\"", label)) return false;
    if (!time(value, path, out.time)) return false;
    if (!sigma(value, path, out.sigma)) return false;
    if (!numberIn(value, path, "magnitude", false, "a number, the apparent magnitude, from -30 to +15", kBrightestMagnitude,
                  kFaintestMagnitude, out.magnitude))
      return false;
    out.azimuth = *azimuth;
    out.elevation = *elevation;
    out.label = label.value_or("");
    return true;
  }

  bool station(const Json& value, const std::string& path, Station& out) {
    if (!value.is_object()) return fail(path, "expected a station (an object with \"name\", \"latitude\", \"longitude\", \"height\" and \"sightings\"), found " + found(value));
    if (!onlyKeys(value, path, {"name", "latitude", "longitude", "height", "heightReference", "sigma", "sightings", "detection"}))
      return false;
    // Where a correlated station's detection came from ({"file", "ff", "meteor"}): for people, not the solver.
    if (const auto it = value.find("detection"); it != value.end() && !it->is_object())
      return fail(member(path, "detection"), "expected an object {\"file\", \"ff\", \"meteor\"}, found " + found(*it));
    std::optional<std::string> name, reference;
    std::optional<double> latitude, longitude, height;
    if (!string(value, path, "name", true, "a string, the station's name", name)) return false;
    if (!numberIn(value, path, "latitude", true, "a number of degrees from -90 to 90 (geodetic WGS84)",
                  -kRightAngleDegrees, kRightAngleDegrees, latitude))
      return false;
    if (!number(value, path, "longitude", true, "a number, degrees east (geodetic WGS84)", longitude)) return false;
    if (!number(value, path, "height", true, "a number, metres", height)) return false;
    if (!string(value, path, "heightReference", false, "\"ellipsoid\" or \"msl\"", reference)) return false;
    if (reference && *reference != "ellipsoid" && *reference != "msl")
      return fail(member(path, "heightReference"), "expected \"ellipsoid\" or \"msl\", found \"" + *reference + "\"");
    if (!sigma(value, path, out.sigma)) return false;
    const Json* sightings = nullptr;
    if (!list(value, path, "sightings", "a list of sightings", sightings)) return false;
    if (sightings->empty()) return fail(member(path, "sightings"), "expected at least one sighting, found an empty list");
    out.name = *name;
    out.position = GeodeticPosition{*latitude, *longitude, *height};
    out.heightReference = reference && *reference == "msl" ? HeightReference::MeanSeaLevel : HeightReference::Ellipsoid;
    const std::string listPath = member(path, "sightings");
    for (std::size_t k = 0; k < sightings->size(); ++k) {
      Sighting s;
      if (!sighting((*sightings)[k], element(listPath, k), s)) return false;
      out.sightings.push_back(std::move(s));
    }
    return true;
  }

  bool monteCarlo(const Json& value, const std::string& path, MonteCarloOptions& out) {
    if (!value.is_object()) return fail(path, "expected an object with \"draws\" and \"seed\", found " + found(value));
    if (!onlyKeys(value, path, {"draws", "seed"})) return false;
    if (const Json* draws = find(value, path, "draws", false, "")) {
      constexpr const char* expected = "a whole number of draws, 0 or more";
      if (!draws->is_number_integer() || (draws->is_number_unsigned() && draws->get<std::uint64_t>() > INT_MAX) ||
          (!draws->is_number_unsigned() && draws->get<std::int64_t>() < 0))
        return fail(member(path, "draws"), std::string("expected ") + expected + " (at most " + std::to_string(INT_MAX) +
                                               "), found " + (draws->is_number() ? draws->dump() : found(*draws)));
      out.draws = draws->get<int>();
    }
    if (const Json* seed = find(value, path, "seed", false, "")) {
      if (!seed->is_number_unsigned())
        return fail(member(path, "seed"), "expected a whole number, 0 or more, found " +
                                              (seed->is_number() ? seed->dump() : found(*seed)));
      out.seed = seed->get<std::uint64_t>();
    }
    return true;
  }

  bool event(const Json& root, Event& out) {
    if (!root.is_object()) return fail("", "expected an event (a JSON object with \"format\": \"sightline-event\"), found " + found(root));
    if (!onlyKeys(root, "", {"$schema", "format", "version", "name", "time", "refraction", "sigma", "triangulateLabels",
                             "clockOffsets", "trajectoryModel", "monteCarlo", "stations"}))
      return false;
    std::optional<std::string> format, name, refraction, schema;
    if (!string(root, "", "format", true, "\"sightline-event\"", format)) return false;
    if (*format != kEventFormat) return fail("format", "expected \"sightline-event\", found \"" + *format + "\"");
    const Json* version = find(root, "", "version", true, "1");
    if (version == nullptr) return false;
    if (!version->is_number_integer() || version->get<std::int64_t>() != kEventVersion)
      return fail("version", "expected 1 (the only version this program reads), found " +
                                 (version->is_number() ? version->dump() : found(*version)));
    if (!string(root, "", "$schema", false, "a string", schema)) return false;
    if (!string(root, "", "name", false, "a string", name)) return false;
    if (!time(root, "", out.time)) return false;
    if (!string(root, "", "refraction", false, "\"none\", \"corrected\" or \"apparent\"", refraction)) return false;
    if (refraction) {
      const auto mode = refractionFromName(*refraction);
      if (!mode) return fail("refraction", "expected \"none\", \"corrected\" or \"apparent\", found \"" + *refraction + "\"");
      out.refraction = *mode;
    }
    std::optional<double> sigmaValue;
    if (!sigma(root, "", sigmaValue)) return false;
    if (sigmaValue) out.sigma = *sigmaValue;
    if (const auto it = root.find("triangulateLabels"); it != root.end()) {
      if (!it->is_boolean()) return fail("triangulateLabels", "expected true or false, found " + found(*it));
      out.triangulateLabels = it->get<bool>();
    }
    if (!clockOffsets(root, out.clockOffsets)) return false;
    if (!trajectoryModel(root, out.trajectoryModel)) return false;
    if (const auto it = root.find("monteCarlo"); it != root.end()) {
      if (!monteCarlo(*it, "monteCarlo", out.monteCarlo)) return false;
    }
    const Json* stations = nullptr;
    if (!list(root, "", "stations", "a list of two or more stations", stations)) return false;
    if (stations->size() < 2)
      return fail("stations", "expected two or more stations, found " + std::to_string(stations->size()));
    for (std::size_t s = 0; s < stations->size(); ++s) {
      Station st;
      if (!station((*stations)[s], element("stations", s), st)) return false;
      out.stations.push_back(std::move(st));
    }
    out.name = name.value_or("");
    return times(out);
  }

  // "clockOffsets": "fit" (the default) or "none".
  bool clockOffsets(const Json& root, ClockOffsetMode& out) {
    constexpr const char* expected = "\"fit\" or \"none\"";
    std::optional<std::string> mode;
    if (!string(root, "", "clockOffsets", false, expected, mode)) return false;
    if (!mode) return true;
    if (*mode != "fit" && *mode != "none")
      return fail("clockOffsets", std::string("expected ") + expected + ", found \"" + *mode + "\"");
    out = *mode == "none" ? ClockOffsetMode::None : ClockOffsetMode::Fit;
    return true;
  }

  // "trajectoryModel": "gravity" (the default) or "straight".
  bool trajectoryModel(const Json& root, TrajectoryModel& out) {
    constexpr const char* expected = "\"gravity\" or \"straight\"";
    std::optional<std::string> name;
    if (!string(root, "", "trajectoryModel", false, expected, name)) return false;
    if (!name) return true;
    const std::optional<TrajectoryModel> model = trajectoryModelFromName(*name);
    if (!model) return fail("trajectoryModel", std::string("expected ") + expected + ", found \"" + *name + "\"");
    out = *model;
    return true;
  }

  // The sightings' times that cannot be used (timingIssues' errors, such as a time more
  // than a day from the event's); its warnings are left to the solver.
  bool times(const Event& event) {
    std::vector<TimedSighting> timed;
    for (std::size_t s = 0; s < event.stations.size(); ++s) {
      const std::vector<Sighting>& sightings = event.stations[s].sightings;
      for (std::size_t k = 0; k < sightings.size(); ++k) {
        if (!sightings[k].time) continue;
        // Messages name the sighting as the path does; the path goes beside them.
        timed.push_back({s, k, *sightings[k].time, sightings[k].azimuth, sightings[k].elevation,
                         "station \"" + event.stations[s].name + "\", sighting " + std::to_string(k)});
      }
    }
    for (const TimingIssue& issue : timingIssues(timed, event.time)) {
      if (issue.error) return fail(member(element(member(element("stations", issue.station), "sightings"), issue.index), "time"), issue.text);
    }
    return true;
  }

 private:
  std::string file_;
};

// `{"a": 1, "b": 2}`: one object on one line.
std::string compact(const OrderedJson& object) {
  std::string out = "{";
  bool first = true;
  for (const auto& item : object.items()) {
    if (!first) out += ", ";
    first = false;
    out += OrderedJson(item.key()).dump(-1, ' ', false, OrderedJson::error_handler_t::replace) + ": " +
           item.value().dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
  }
  return out + "}";
}

std::string text(const OrderedJson& value) { return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace); }

}  // namespace

EventReadResult readEventJson(const std::string& text, const std::string& fileName) {
  EventReadResult result;
  Json root;
  if (const auto deep = tooDeep(text)) {
    int line = 0, column = 0;
    lineAndColumn(text, *deep, line, column);
    result.error = InputError{fileName, line, column, "",
                              "nested more than " + std::to_string(kMaxNesting) +
                                  " levels deep; an event file needs 5 (expected an event object)"};
    return result;
  }
  DuplicateKeyFinder duplicates;
  try {
    root = Json::parse(text, std::ref(duplicates));
  } catch (const Json::parse_error& e) {
    int line = 0, column = 0;
    lineAndColumn(text, faultIndex(text, e.byte, e.what()), line, column);
    result.error = InputError{fileName, line, column, "", "not valid JSON: " + parseErrorReason(e.what())};
    return result;
  } catch (const Json::exception& e) {
    // A number too large for a double: the message quotes it, so find it in the text.
    std::string what = e.what();
    const auto bracket = what.find("] ");
    if (bracket != std::string::npos) what = what.substr(bracket + 2);
    int line = 0, column = 0;
    const auto open = what.find('\''), close = what.rfind('\'');
    if (open != std::string::npos && close > open) {
      const auto at = text.find(what.substr(open + 1, close - open - 1));
      if (at != std::string::npos) lineAndColumn(text, at, line, column);
    }
    result.error = InputError{fileName, line, column, "", "not valid JSON: " + what};
    return result;
  }
  if (duplicates.duplicate()) {
    result.error = InputError{fileName, 0, 0, *duplicates.duplicate(), "key given twice; expected each key once"};
    return result;
  }
  EventChecker checker(fileName);
  if (!checker.event(root, result.event)) {
    result.error = checker.error;
    result.event = Event{};
  }
  return result;
}

std::string writeEventJson(const Event& event) {
  const MonteCarloOptions defaults;
  std::string out = "{\n";
  auto field = [&](const char* key, const OrderedJson& value, bool last = false) {
    out += "  \"" + std::string(key) + "\": " + text(value) + (last ? "\n" : ",\n");
  };
  field("format", kEventFormat);
  field("version", kEventVersion);
  if (!event.name.empty()) field("name", event.name);
  if (event.time) field("time", formatIsoTime(*event.time));
  field("refraction", refractionName(event.refraction));
  if (event.sigma) field("sigma", *event.sigma);  // a default is not written as if stated
  if (!event.triangulateLabels) field("triangulateLabels", false);
  if (event.clockOffsets == ClockOffsetMode::None) field("clockOffsets", "none");
  if (event.trajectoryModel == TrajectoryModel::Straight) field("trajectoryModel", "straight");
  if (event.monteCarlo.draws != 0 || event.monteCarlo.seed != defaults.seed) {
    OrderedJson mc;
    mc["draws"] = event.monteCarlo.draws;
    mc["seed"] = event.monteCarlo.seed;
    out += "  \"monteCarlo\": " + compact(mc) + ",\n";
  }
  out += "  \"stations\": [\n";
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const Station& station = event.stations[s];
    out += "    {\n";
    auto stationField = [&](const char* key, const OrderedJson& value) {
      out += "      \"" + std::string(key) + "\": " + text(value) + ",\n";
    };
    stationField("name", station.name);
    stationField("latitude", station.position.latitude);
    stationField("longitude", station.position.longitude);
    stationField("height", station.position.height);
    if (station.heightReference == HeightReference::MeanSeaLevel) stationField("heightReference", "msl");
    if (station.sigma) stationField("sigma", *station.sigma);
    out += "      \"sightings\": [\n";
    for (std::size_t k = 0; k < station.sightings.size(); ++k) {
      const Sighting& sighting = station.sightings[k];
      OrderedJson item;
      item["azimuth"] = sighting.azimuth;
      item["elevation"] = sighting.elevation;
      if (!sighting.label.empty()) item["label"] = sighting.label;
      if (sighting.time) item["time"] = formatIsoTime(*sighting.time);
      if (sighting.sigma) item["sigma"] = *sighting.sigma;
      if (sighting.magnitude) item["magnitude"] = *sighting.magnitude;
      out += "        " + compact(item) + (k + 1 < station.sightings.size() ? ",\n" : "\n");
    }
    out += "      ]\n";
    out += s + 1 < event.stations.size() ? "    },\n" : "    }\n";
  }
  out += "  ]\n}\n";
  return out;
}

}  // namespace sightline
