#include "trajectory/timed_fit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "trajectory/along_track.hpp"

namespace sightline {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Vector3 unitOf(const Vector3& v) { return v / v.length(); }

/// The straight model: today's speed fit along the line, lags and along-track residuals.
TimedFit straightFit(const PreparedEvent& event, const CoreResult& core, double epoch, ClockOffsetMode mode,
                     const TimedFit* warm) {
  TimedFit fit;
  fit.epoch = epoch;
  fit.alongTrack.assign(event.sightings.size(), kNaN);
  const AlongTrack track = alongTrack(event, core, epoch);
  fit.speed = fitVelocity(track.points, mode, warm ? &warm->speed : nullptr);
  fit.sightings = track.sightings;
  if (!fit.speed.ok) return fit;
  const double start = beginLength(fit.speed);
  for (std::size_t k = 0; k < track.points.size(); ++k) {
    const std::size_t i = track.sightings[k];
    const double length = track.points[k].length;
    fit.lengths.push_back(length);
    fit.lag.push_back(length - (fit.speed.initialVelocity * fit.speed.t[k] + start));
    const double sine = cross(core.directions[i], core.direction).length();
    fit.alongTrack[i] = (length - modelLength(fit.speed, fit.speed.t[k])) * sine / std::fabs(core.range[i]);
  }
  return fit;
}

/// The speed model of a gravity fit in the form the solution reports (see TimedFit::speed),
/// with per-point figures for `points` (times: their corrected times, s from the epoch; without
/// points, the fit's times only fix the last).
VelocityFit reportedSpeed(const GravityFit& g, const std::vector<TimedPoint>& points, const std::vector<double>& times) {
  VelocityFit s;
  s.ok = true;
  s.model = g.model;
  s.t0 = g.beginTime;
  const bool exponential = g.model == VelocityModel::Exponential && g.k > 0.0;
  s.a2 = exponential ? g.k : 0.0;
  s.a1 = exponential ? g.dec / (g.k * g.k) * std::exp(g.k * (g.beginTime - g.pivot)) : 0.0;
  s.vInf = exponential ? g.v + g.dec / g.k : g.v;
  s.c = s.a1;
  s.referenceStation = g.referenceStation;
  s.offsets = g.offsets;
  Vector3 place, velocity;
  s.initialVelocity = g.velocity.length();
  double last = g.beginTime, sum = 0.0;
  for (const double t : times) {
    last = std::max(last, t);
    s.t.push_back(t - g.beginTime);
  }
  for (std::size_t k = 0; k < points.size(); ++k) {
    earthFixedState(g, times[k], place, velocity);
    s.speed.push_back(velocity.length());
    s.weight.push_back(1.0);
    const double r = points[k].length - trackLength(g, times[k]);
    sum += r * r;
  }
  earthFixedState(g, last, place, velocity);
  s.finalVelocity = velocity.length();
  s.rms = points.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(points.size()));
  s.iterations = g.iterations;
  return s;
}

/// Each sighting's place, range and residuals across and along the gravity model.
void gravityResiduals(const PreparedEvent& event, const CoreResult& core, TimedFit& fit) {
  const GravityFit& g = *fit.gravity;
  const std::size_t n = event.sightings.size();
  fit.points.assign(n, Vector3(kNaN, kNaN, kNaN));
  fit.range.assign(n, kNaN);
  fit.across.assign(n, kNaN);
  fit.along.assign(n, kNaN);
  fit.alongTrack.assign(n, kNaN);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = correctedTime(g, event, fit.epoch, i);
    if (!std::isfinite(t)) continue;
    Vector3 place, velocity;
    earthFixedState(g, t, place, velocity);
    fit.points[i] = place;
    const Vector3 q = place - event.stations[event.sightings[i].station].position;
    fit.range[i] = q.length();
    const Vector3 m = q / fit.range[i];
    const Vector3 ahead = unitOf(velocity - dot(velocity, m) * m);  // the motion on the sky
    const Vector3 side = cross(m, ahead);
    const Vector3& d = core.directions[i];
    fit.across[i] = std::atan2(dot(d, side), dot(d, m));
    fit.along[i] = std::atan2(dot(d, ahead), dot(d, m));
    if (!event.sightings[i].excluded) fit.alongTrack[i] = fit.along[i];
  }
}

/// What a Monte Carlo draw needs of a gravity fit: the speed model's figures and every
/// timed sighting's point (no lengths, lags or residuals).
void drawOutputs(const PreparedEvent& event, TimedFit& fit) {
  const GravityFit& g = *fit.gravity;
  std::vector<double> times;
  fit.points.assign(event.sightings.size(), Vector3(kNaN, kNaN, kNaN));
  Vector3 velocity;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const double t = correctedTime(g, event, fit.epoch, i);
    if (!std::isfinite(t)) continue;
    earthFixedState(g, t, fit.points[i], velocity);
    if (!event.sightings[i].excluded) times.push_back(t);
  }
  fit.speed = reportedSpeed(g, {}, times);
}

/// Lengths, times and lags of the timed sightings under a gravity fit.
void gravityLengths(const PreparedEvent& event, const CoreResult& core, TimedFit& fit) {
  const GravityFit& g = *fit.gravity;
  const std::vector<TimedPoint> points = gravityTrack(g, event, core.directions, fit.epoch, &fit.sightings);
  std::vector<double> times;
  for (const std::size_t i : fit.sightings) times.push_back(correctedTime(g, event, fit.epoch, i));
  fit.speed = reportedSpeed(g, points, times);
  double alongSpeed = 0.0;
  trackLength(g, g.beginTime, &alongSpeed);
  fit.lengths.clear();
  fit.lag.clear();
  for (std::size_t k = 0; k < points.size(); ++k) {
    fit.lengths.push_back(points[k].length);
    fit.lag.push_back(points[k].length - alongSpeed * fit.speed.t[k]);
  }
}

/// The nominal gravity fit: from the straight line and its speed fit, then the speed model
/// chosen on the lengths the gravity model leaves, refitted when the choice changes.
std::optional<GravityFit> nominalGravity(const PreparedEvent& event, const CoreResult& core, double epoch,
                                         ClockOffsetMode mode, const VelocityFit& straight, TimedFit& fit) {
  GravityFit g = fitGravity(event, core.directions, epoch, core, straight);
  if (!g.ok) return std::nullopt;
  const VelocityFit choice = fitVelocity(gravityTrack(g, event, core.directions, epoch), mode);
  fit.warnings = choice.warnings;
  if (choice.ok && choice.model != g.model) {
    const GravityFit refitted = refitGravity(event, core.directions, g, choice);
    if (refitted.ok) return refitted;
    if (choice.model == VelocityModel::Constant) return std::nullopt;
    fit.warnings = straight.warnings;  // the deceleration model stays, as the straight fit chose
  }
  return g;
}

}  // namespace

bool gravityApplies(const PreparedEvent& event, const CoreResult& core, TrajectoryModel model, bool* mixed) {
  if (mixed) *mixed = false;
  if (model != TrajectoryModel::Gravity || !core.hasLine) return false;
  std::size_t timed = 0, untimed = 0;
  for (const PreparedSighting& s : event.sightings) {
    if (s.excluded) continue;
    (s.time && std::isfinite(*s.time) ? timed : untimed) += 1;
  }
  if (mixed) *mixed = timed > 0 && untimed > 0;
  return timed > 0 && untimed == 0;
}

TimedFit fitTimed(const PreparedEvent& event, const CoreResult& core, double epoch, ClockOffsetMode mode,
                  TrajectoryModel model, const TimedFit* warm) {
  const bool gravity = gravityApplies(event, core, model) && (!warm || warm->gravity);
  if (!gravity) {
    TimedFit fit = straightFit(event, core, epoch, mode, warm);
    fit.warnings = fit.speed.warnings;
    return fit;
  }
  TimedFit fit;
  fit.epoch = epoch;
  if (warm) {
    GravityFit g = fitGravity(event, core.directions, epoch, core, warm->speed, &*warm->gravity);
    if (!g.ok) return fit;
    fit.gravity = g;
    drawOutputs(event, fit);
    return fit;
  } else {
    TimedFit straight = straightFit(event, core, epoch, mode, nullptr);
    if (!straight.speed.ok) return straight;
    fit.gravity = nominalGravity(event, core, epoch, mode, straight.speed, fit);
    if (!fit.gravity) {
      straight.warnings = straight.speed.warnings;
      straight.warnings.push_back({"gravity-fit-failed",
                                   "the fit with gravity and the turning Earth did not converge: the straight line instead"});
      return straight;
    }
  }
  gravityLengths(event, core, fit);
  gravityResiduals(event, core, fit);
  fit.speed.warnings = fit.warnings;
  return fit;
}

void applyGravity(const TimedFit& fit, CoreResult& core) {
  if (!fit.gravity || !fit.speed.ok) return;
  const GravityFit& g = *fit.gravity;
  core.begin = g.begin;
  core.direction = unitOf(g.velocity);
  double last = g.beginTime;
  for (const double t : fit.speed.t) last = std::max(last, g.beginTime + t);
  Vector3 velocity;
  earthFixedState(g, last, core.end, velocity);
  for (std::size_t i = 0; i < fit.points.size() && i < core.points.size(); ++i) {
    if (!isFinite(fit.points[i])) continue;
    core.points[i] = fit.points[i];
    core.hasPoint[i] = true;
    if (i < fit.range.size()) core.range[i] = fit.range[i];
    if (i < fit.across.size()) core.residual[i] = fit.across[i];
  }
}

}  // namespace sightline
