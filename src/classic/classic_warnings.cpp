#include "classic/classic_warnings.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/text.hpp"
#include "classic/run_control.hpp"
#include "earth/ellipsoid.hpp"

namespace sightline {

namespace {

constexpr double kRightAngle = 90.0;  // degrees: the largest latitude or elevation
constexpr double kKilometresPerMetre = 0.001;

// What a number line holds, for the messages.
std::string fieldName(int line) {
  for (int v = 0; v < kViewPoints; ++v) {
    const std::string station = " of station " + std::to_string(v + 1);
    if (line == kLongitudeLine[v]) return "longitude" + station;
    if (line == kLongitudeLine[v] + 1) return "latitude" + station;
    if (line == kLongitudeLine[v] + 2) return "height" + station;
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string sighting = " of sighting " + std::to_string(slot + 1);
    if (line == kAzimuthLine[slot]) return "azimuth" + sighting;
    if (line == kAzimuthLine[slot] + 1) return "elevation" + sighting;
    if (line == kUseFlagLine + slot) return "use flag" + sighting;
  }
  return "refraction mode";
}


// The number of a line as written in the file ("0" when it has none).
std::string writtenNumber(const std::string& text) {
  std::size_t length = 0;
  leadingNumber(text, length);
  return length == 0 ? "0" : trimmed(text.substr(0, length));
}

// Slot whose azimuth or elevation is on `line`, or -1.
int slotOfAngleLine(int line) {
  for (int slot = 0; slot < kSlots; ++slot) {
    if (line == kAzimuthLine[slot] || line == kAzimuthLine[slot] + 1) return slot;
  }
  return -1;
}

bool isNumberLine(int line) {
  return line >= 2 && line <= kLastDataLine && line != kNameLine[0] && line != kNameLine[1];
}

void checkNumberForm(const ObservationFile& file, int line, std::vector<ClassicWarning>& warnings) {
  const std::string& text = file.lineText[static_cast<std::size_t>(line)];
  const std::string field = fieldName(line);
  std::size_t length = 0;
  const double value = leadingNumber(text, length);
  if (trimmed(text).empty()) {
    warnings.push_back({line, field + ": empty line, read as 0"});
  } else if (length == 0) {
    warnings.push_back({line, field + ": \"" + trimmed(text) + "\" is not a number, read as 0"});
  } else if (!trimmed(text.substr(length)).empty()) {
    warnings.push_back({line, field + ": \"" + trimmed(text) + "\" read as " + writtenNumber(text)});
  } else if (!std::isfinite(value)) {
    warnings.push_back({line, field + ": " + writtenNumber(text) + " is too large a number"});
  }
}

void checkRange(const ObservationFile& file, int line, const char* what, std::vector<ClassicWarning>& warnings) {
  const double value = file.lineValue[static_cast<std::size_t>(line)];
  if (std::fabs(value) > kRightAngle) {
    const std::string written = writtenNumber(file.lineText[static_cast<std::size_t>(line)]);
    warnings.push_back({line, std::string(what) + " " + written + " is outside -90..90"});
  }
}

// "point of sighting 3" or "point between sightings 1 and 3" and its line.
struct ReportedPoint {
  int line;
  std::string name;
  Vector3 point;
};

std::vector<ReportedPoint> reportedPoints(const RunState& s) {
  std::vector<ReportedPoint> points;
  if (s.sightings == 2) {
    const int first = s.chosenSlot[0];
    const int second = s.chosenSlot[1];
    points.push_back({kAzimuthLine[first],
                      "point between sightings " + std::to_string(first + 1) + " and " + std::to_string(second + 1),
                      s.midpoint});
    return points;
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    if (s.sightings == 4 || s.planeFlag[slot]) {
      points.push_back({kAzimuthLine[slot], "point of sighting " + std::to_string(slot + 1), s.currentPoint[slot]});
    }
  }
  return points;
}

}  // namespace

std::vector<ClassicWarning> checkObservationFile(const ObservationFile& file) {
  std::vector<ClassicWarning> warnings;
  if (file.readError != 0) {
    warnings.push_back({0, std::string("cannot read the file (") + std::strerror(file.readError) +
                               "); what was read counts, the rest as 0"});
  }
  std::array<int, kSlots> useFlag{};
  std::int64_t sum = 0;
  for (int slot = 0; slot < kSlots; ++slot) {
    useFlag[slot] = toUseFlag(file.lineValue[kUseFlagLine + slot]);
    sum += useFlag[slot];
  }
  const int lastLine = std::min(file.lineCount, kLastDataLine);
  for (int line = 2; line <= lastLine; ++line) {
    if (!isNumberLine(line)) continue;
    const int slot = slotOfAngleLine(line);
    if (slot >= 0 && useFlag[slot] == 0) continue;  // values of an unused slot are never looked at
    checkNumberForm(file, line, warnings);
  }
  for (int v = 0; v < kViewPoints; ++v) {
    if (kLongitudeLine[v] + 1 <= lastLine) checkRange(file, kLongitudeLine[v] + 1, "latitude", warnings);
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    if (useFlag[slot] != 0 && kAzimuthLine[slot] + 1 <= lastLine) {
      checkRange(file, kAzimuthLine[slot] + 1, "elevation", warnings);
    }
  }
  if (kRefractionModeLine <= lastLine) {
    const double mode = file.lineValue[kRefractionModeLine];
    if (mode != 0.0 && mode != 1.0 && mode != 2.0) {
      warnings.push_back({kRefractionModeLine, "refraction mode " + writtenNumber(file.lineText[kRefractionModeLine]) +
                                                   " is not 0, 1 or 2; mode 0 is used"});
    }
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    const int line = kUseFlagLine + slot;
    const double value = file.lineValue[line];
    if (line > lastLine || value == 0.0 || value == 1.0) continue;
    warnings.push_back({line, "use flag " + writtenNumber(file.lineText[line]) + " is not 0 or 1; it counts as " +
                                  std::to_string(useFlag[slot]) + " and the four flags add up to " +
                                  std::to_string(sum)});
  }
  if (file.lineCount < kLastDataLine) {
    const std::string message =
        file.lineCount == 0 ? std::string("the file is empty; every value counts as 0")
                            : "the file has " + std::to_string(file.lineCount) +
                                  (file.lineCount == 1 ? " line" : " lines") + ", not " +
                                  std::to_string(kLastDataLine) + "; the missing lines count as 0";
    warnings.push_back({file.lineCount + 1, message});
  }
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const ClassicWarning& a, const ClassicWarning& b) { return a.line < b.line; });
  return warnings;
}

std::vector<ClassicWarning> checkReportedPoints(const RunState& state) {
  std::vector<ClassicWarning> warnings;
  for (const ReportedPoint& p : reportedPoints(state)) {
    const double height = heightAboveEllipsoid(p.point) * kKilometresPerMetre;
    const bool finite = std::isfinite(p.point.x) && std::isfinite(p.point.y) && std::isfinite(p.point.z);
    char text[96];
    if (!finite || !std::isfinite(height)) {
      warnings.push_back({p.line, p.name + " is not a number"});
    } else if (height < kLowestPlausiblePoint) {
      std::snprintf(text, sizeof text, " is at h=%.3f km, below %g km", height, kLowestPlausiblePoint);
      warnings.push_back({p.line, p.name + text});
    } else if (height > kHighestPlausiblePoint) {
      std::snprintf(text, sizeof text, " is at h=%.3f km, above %g km", height, kHighestPlausiblePoint);
      warnings.push_back({p.line, p.name + text});
    }
  }
  return warnings;
}

void printWarnings(std::FILE* err, const char* fileName, const std::vector<ClassicWarning>& warnings) {
  const char* name = fileName != nullptr ? fileName : "-";
  for (const ClassicWarning& w : warnings) {
    if (w.line > 0) {
      std::fprintf(err, "sightline: %s:%d: warning: %s\n", name, w.line, w.message.c_str());
    } else {
      std::fprintf(err, "sightline: %s: warning: %s\n", name, w.message.c_str());
    }
  }
}

}  // namespace sightline
