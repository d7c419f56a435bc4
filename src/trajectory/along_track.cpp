#include "trajectory/along_track.hpp"

#include <algorithm>
#include <cmath>

namespace sightline {

namespace {

// Sine of the angle under which a line of sight may still pin a place along the
// trajectory: below it the along-track sigma is taken at this angle (0.1 degree).
constexpr double kMinimumSine = 1.7e-3;

}  // namespace

std::optional<double> earliestTime(const PreparedEvent& event) {
  std::optional<double> earliest;
  for (const PreparedSighting& s : event.sightings) {
    if (s.time && std::isfinite(*s.time) && (!earliest || *s.time < *earliest)) earliest = s.time;
  }
  return earliest;
}

AlongTrack alongTrack(const PreparedEvent& event, const CoreResult& core, double epoch) {
  AlongTrack track;
  track.epoch = epoch;
  if (!core.hasLine) return track;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const PreparedSighting& s = event.sightings[i];
    if (!s.time || !std::isfinite(*s.time) || !core.hasPoint[i] || s.excluded) continue;
    const double length = dot(core.points[i] - core.begin, core.direction);
    const double sine = cross(core.directions[i], core.direction).length();
    const double sigma = s.sigma * std::fabs(core.range[i]) / std::max(sine, kMinimumSine);
    if (!std::isfinite(length) || !(sigma > 0.0) || !std::isfinite(sigma)) continue;
    track.sightings.push_back(i);
    track.points.push_back(TimedPoint{s.station, *s.time - epoch, length, sigma});
  }
  return track;
}

double beginLength(const VelocityFit& fit) { return modelLength(fit, 0.0); }

Velocity velocityOf(const VelocityFit& fit, double epoch, std::optional<double> average) {
  Velocity v;
  v.model = fit.model;
  v.initial = fit.initialVelocity;
  v.final = fit.finalVelocity;
  v.average = average;
  v.c = fit.c;
  v.vInf = fit.vInf;
  v.a1 = std::fabs(fit.a1);
  v.a2 = std::fabs(fit.a2);
  v.rms = fit.rms;
  v.beginTime = epoch + fit.t0;
  v.duration = fit.t.empty() ? 0.0 : *std::max_element(fit.t.begin(), fit.t.end());
  v.referenceStation = fit.referenceStation;
  return v;
}

OrbitState beginState(const CoreResult& core, const Velocity& velocity) {
  return OrbitState{velocity.beginTime, core.begin, velocity.initial * core.direction};
}

}  // namespace sightline
