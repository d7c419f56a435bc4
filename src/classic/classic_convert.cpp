#include "classic/classic_convert.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>


#include "common/text.hpp"
#include "earth/ellipsoid.hpp"
#include "earth/frames.hpp"
#include "earth/horizon.hpp"
#include "geometry/angles.hpp"

namespace sightline {

namespace {

constexpr int kStations = 2;
constexpr int kSlotsPerStation = 2;
// Slot of sighting k of station v (line numbers in observation_file.hpp).
constexpr int slotOf(int v, int k) { return kSlotsPerStation * v + k; }
/// Largest magnitude of a latitude or an elevation, degrees.
constexpr double kRightAngleDegrees = 90.0;
constexpr double kFullCircleDegrees = 360.0;

InputError lineError(const std::string& fileName, int line, const std::string& message) {
  return InputError{fileName, line, 0, "", message};
}


// A number as short as it can be written and read back.
std::string shortest(double x) {
  char buffer[32];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, x);
    if (std::strtod(buffer, nullptr) == x) break;
  }
  return buffer;
}

// Which sightings the use flags (lines 18 to 21) take: `used` per ViewPoint and slot,
// `count` per ViewPoint; the error of a flag that is not 0 or 1, or of too few sightings.
std::optional<InputError> readUseFlags(const ObservationFile& file, const std::string& fileName,
                                       bool (&used)[kStations][kSlotsPerStation], int (&count)[kStations]) {
  const auto& value = file.lineValue;
  for (int v = 0; v < kStations; ++v) {
    for (int k = 0; k < kSlotsPerStation; ++k) {
      const int line = kUseFlagLine + slotOf(v, k);
      const double flag = std::trunc(value[line]);
      if (flag != 0.0 && flag != 1.0)
        return lineError(fileName, line, "use flag " + shortest(value[line]) + ": expected 0 (not used) or 1 (used)");
      used[v][k] = flag == 1.0;
      count[v] += used[v][k] ? 1 : 0;
    }
  }
  if (count[0] + count[1] < 2) return lineError(fileName, kUseFlagLine, "too few sightings: expected use flags of 1 on lines 18 to 21 for at least two sightings");
  for (int v = 0; v < kStations; ++v) {
    if (count[v] == 0)
      return lineError(fileName, kUseFlagLine + slotOf(v, 0), "ViewPoint " + std::to_string(v + 1) + " has no sighting: expected a use flag of 1 on line " +
                                          std::to_string(kUseFlagLine + slotOf(v, 0)) + " or " + std::to_string(kUseFlagLine + slotOf(v, 1)));
  }
  return std::nullopt;
}

// The line of sight at `azimuth` and `elevation` (degrees) in the classic horizon of the ECEF
// `position`, re-expressed as an azimuth from north through east and an elevation in the
// geodetic horizon `frame`: the same line in space.
Sighting geodeticSighting(const Vector3& position, const LocalFrame& frame, double azimuth, double elevation) {
  const Vector3 d = horizonDirection(position, azimuth, elevation);
  // Components in the geodetic east-north-up frame.
  const double east = dot(frame.east, d);
  const double north = dot(frame.north, d);
  const double up = dot(frame.up, d);
  Sighting sighting;
  double az = radToDeg(std::atan2(east, north));
  if (az < 0.0) az += kFullCircleDegrees;
  if (az >= kFullCircleDegrees) az -= kFullCircleDegrees;
  sighting.azimuth = az;
  sighting.elevation = radToDeg(std::atan2(up, std::hypot(east, north)));
  return sighting;
}

}  // namespace

EventReadResult classicEvent(const ObservationFile& file, const std::string& fileName) {
  EventReadResult result;
  const auto& value = file.lineValue;
  auto fail = [&](int line, const std::string& message) {
    result.error = lineError(fileName, line, message);
    result.event = Event{};
    return result;
  };

  bool used[kStations][kSlotsPerStation] = {};
  int count[kStations] = {0, 0};
  if (auto error = readUseFlags(file, fileName, used, count)) {
    result.error = error;
    result.event = Event{};
    return result;
  }

  const double mode = value[kRefractionModeLine];
  result.event.refraction = mode == 1.0 ? Refraction::Apparent : mode == 2.0 ? Refraction::None : Refraction::Corrected;

  const bool onePointEach = count[0] == 1 && count[1] == 1;
  for (int v = 0; v < kStations; ++v) {
    const int l = kLongitudeLine[v];
    const double longitude = value[l], latitude = value[l + 1], height = value[l + 2];
    if (!std::isfinite(longitude)) return fail(l, "expected a finite longitude in degrees");
    if (!(std::fabs(latitude) <= kRightAngleDegrees)) return fail(l + 1, "expected a latitude from -90 to 90 degrees");
    if (!std::isfinite(height)) return fail(l + 2, "expected a finite height in metres");
    const Vector3 position = viewPointPosition(longitude, latitude, height);
    Station station;
    station.name = trimmed(file.viewPointName[v]);
    if (station.name.empty()) station.name = "ViewPoint " + std::to_string(v + 1);
    LocalFrame frame;
    station.position = toGeodetic(position, frame);
    for (int k = 0; k < kSlotsPerStation; ++k) {
      if (!used[v][k]) continue;
      const int a = kAzimuthLine[slotOf(v, k)];
      const double azimuth = value[a], elevation = value[a + 1];
      if (!std::isfinite(azimuth)) return fail(a, "expected a finite azimuth in degrees");
      if (!(std::fabs(elevation) <= kRightAngleDegrees)) return fail(a + 1, "expected an elevation from -90 to 90 degrees");
      Sighting sighting = geodeticSighting(position, frame, azimuth, elevation);
      if (onePointEach) sighting.label = "point";
      station.sightings.push_back(std::move(sighting));
    }
    result.event.stations.push_back(std::move(station));
  }
  return result;
}

EventReadResult convertClassicText(const std::string& bytes, const std::string& fileName) {
  // fmemopen refuses an empty buffer; an empty file reads like /dev/null.
  std::vector<char> buffer(bytes.begin(), bytes.end());
  std::FILE* stream = bytes.empty() ? std::fopen("/dev/null", "rb") : fmemopen(buffer.data(), buffer.size(), "rb");
  if (stream == nullptr) {
    EventReadResult result;
    result.error = InputError{fileName, 0, 0, "", std::string("cannot read: ") + std::strerror(errno)};
    return result;
  }
  ObservationFile file;
  loadObservationFile(stream, file);
  std::fclose(stream);
  return classicEvent(file, fileName);
}

}  // namespace sightline
