#include "app/correlate_night.hpp"

#include <chrono>
#include <cmath>

#include "app/solve_event.hpp"
#include "formats/detection_writers.hpp"

namespace sightline {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The geoid's height at every detection's station (once per place), as ECSV heights are converted.
void referToEllipsoid(NightDetections& read) {
  if (read.detections.empty()) return;
  const GeoidAccess& geoid = sharedGeoid();
  if (geoid.geoid == nullptr) {
    read.messages.push_back("warning: station heights above mean sea level taken as above the ellipsoid: " + geoid.message);
    return;
  }
  const Detection* last = nullptr;
  for (Detection& d : read.detections) {
    if (last != nullptr && last->position.latitude == d.position.latitude && last->position.longitude == d.position.longitude) {
      d.geoidHeight = last->geoidHeight;
    } else {
      const double n = geoid.geoid->undulation(d.position.latitude, d.position.longitude);
      d.geoidHeight = std::isfinite(n) ? n : 0.0;
    }
    last = &d;
  }
}

}  // namespace

NightResult correlateNight(const std::vector<std::string>& inputs, const CorrelateOptions& options) {
  NightResult night;
  auto start = std::chrono::steady_clock::now();
  night.files = listNightFiles(inputs);
  night.read = readNightFiles(night.files, options.threads);
  referToEllipsoid(night.read);
  night.readSeconds = secondsSince(start);
  start = std::chrono::steady_clock::now();
  night.correlation = correlate(night.read.detections, options);
  night.correlateSeconds = secondsSince(start);
  return night;
}

std::string nightEventLines(const NightResult& night) {
  std::string out;
  for (const CorrelatedEvent& e : night.correlation.events) out += eventLine(night.read.detections, e);
  return out;
}

std::string nightDetectionLines(const NightResult& night) {
  std::string out;
  for (const Detection& d : night.read.detections) out += detectionLine(d);
  return out;
}

}  // namespace sightline
