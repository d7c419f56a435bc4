#include "formats/darkflight_state.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "darkflight/constants.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::json;

/// A solution nests 6 levels deep; deeper texts are refused while they are parsed.
constexpr int kMaxNesting = 32;

struct TooDeep {};

/// The JSON of `text`, discarded when it is not JSON; throws TooDeep past kMaxNesting levels.
Json parsed(const std::string& text) {
  return Json::parse(
      text,
      [](int depth, Json::parse_event_t, Json&) {
        if (depth > kMaxNesting) throw TooDeep{};
        return true;
      },
      false);
}

InputError at(const std::string& name, const std::string& path, const std::string& message) {
  InputError e;
  e.file = name;
  e.path = path;
  e.message = message;
  return e;
}

/// The member `key` of `object` when it is a finite number.
std::optional<double> numberAt(const Json& object, const char* key) {
  if (!object.is_object()) return std::nullopt;
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  const double v = it->get<double>();
  return std::isfinite(v) ? std::optional(v) : std::nullopt;
}

const Json& memberOf(const Json& object, const char* key) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  const auto it = object.find(key);
  return it == object.end() ? kNull : *it;
}

/// A point {latitude, longitude, height}, or the error naming its path.
std::optional<InputError> pointAt(const Json& trajectory, const char* key, const std::string& name, GeodeticPosition& p) {
  const Json& point = memberOf(trajectory, key);
  const auto lat = numberAt(point, "latitude"), lon = numberAt(point, "longitude"), h = numberAt(point, "height");
  if (!lat || !lon || !h || std::fabs(*lat) > 90.0)
    return at(name, std::string("trajectory.") + key, "expected a point with latitude, longitude and height (numbers)");
  p = GeodeticPosition{*lat, *lon, *h};
  return std::nullopt;
}

/// The 1-sigma of the direction (degrees) from a radiant's {azimuth, elevation} sigma.
std::optional<double> directionSigma(const Json& radiant, double elevation) {
  const Json& sigma = memberOf(radiant, "sigma");
  const auto az = numberAt(sigma, "azimuth"), el = numberAt(sigma, "elevation");
  if (!az && !el) return std::nullopt;
  return std::max(el.value_or(0.0), az.value_or(0.0) * std::cos(elevation * darkflight::kRadiansPerDegree));
}

void readSigmas(const Json& trajectory, const Json& radiant, DarkFlightStart& out) {
  const Json& endSigma = memberOf(memberOf(trajectory, "end"), "sigma");
  out.sigmaEast = numberAt(endSigma, "east");
  out.sigmaNorth = numberAt(endSigma, "north");
  out.sigmaUp = numberAt(endSigma, "up");
  out.sigmaSpeed = numberAt(memberOf(memberOf(trajectory, "velocity"), "sigma"), "final");
  if (!out.sigmaSpeed) out.sigmaSpeed = numberAt(trajectory, "speedSigma");
  out.sigmaDirection = directionSigma(radiant, out.start.elevation);
  if (!out.sigmaDirection) out.sigmaDirection = directionSigma(memberOf(trajectory, "radiant"), out.start.elevation);
}

}  // namespace

std::optional<InputError> readDarkFlightStart(const std::string& text, const std::string& name, DarkFlightStart& out) {
  Json root;
  try {
    root = parsed(text);
  } catch (const TooDeep&) {
    return at(name, "", "nested too deep: expected a solution (sightline solve --format json)");
  }
  if (root.is_discarded() || !root.is_object())
    return at(name, "", "not a JSON object: expected a solution (sightline solve --format json)");
  if (memberOf(root, "format") != "sightline-solution")
    return at(name, "format", "expected \"sightline-solution\" (the output of sightline solve --format json)");
  const Json& trajectory = memberOf(root, "trajectory");
  if (!trajectory.is_object()) return at(name, "trajectory", "the solution has no trajectory: nothing to carry to the ground");
  GeodeticPosition begin;
  if (auto e = pointAt(trajectory, "end", name, out.start.position)) return e;
  if (auto e = pointAt(trajectory, "begin", name, begin)) return e;

  const Json& velocity = memberOf(trajectory, "velocity");
  const auto finalSpeed = numberAt(velocity, "final");
  const auto speed = finalSpeed ? finalSpeed : numberAt(trajectory, "speed");
  if (!speed || !(*speed > 0.0))
    return at(name, velocity.is_object() ? "trajectory.velocity.final" : "trajectory.speed", "expected a positive speed (m/s)");
  out.start.speed = *speed;
  const Json& beginTime = memberOf(velocity, "beginTime");
  const auto duration = numberAt(velocity, "duration");
  const auto t0 = beginTime.is_string() ? parseIsoTime(beginTime.get<std::string>()) : std::nullopt;
  out.timeKnown = t0 && duration;
  out.start.time = out.timeKnown ? *t0 + *duration : 0.0;

  // A straight-line solution (model "straight", or none: older solutions) flies
  // along its line from begin to end, whose written end radiant is the same
  // direction rounded; a gravity solution's path bends, so its end radiant is the
  // direction at the end.
  const Json& endRadiant = memberOf(trajectory, "endRadiant");
  const Json& model = memberOf(trajectory, "model");
  const bool curved = model.is_string() && model.get<std::string>() == "gravity";
  const auto az = numberAt(endRadiant, "azimuth"), el = numberAt(endRadiant, "elevation");
  if (curved && az && el) {
    out.start.azimuth = *az;
    out.start.elevation = *el;
    out.directionSource = "endRadiant";
  } else {
    const Vector3 line = toEcef(out.start.position) - toEcef(begin);
    if (!(line.length() > 0.0)) return at(name, "trajectory", "the begin and end points coincide: no direction of flight");
    const Horizontal h = horizontalOf(localFrame(out.start.position), -(line / line.length()));
    out.start.azimuth = h.azimuth;
    out.start.elevation = h.elevation;
    out.directionSource = "line";
  }
  readSigmas(trajectory, endRadiant, out);
  return std::nullopt;
}

}  // namespace sightline
