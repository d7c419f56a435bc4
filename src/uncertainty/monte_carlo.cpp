#include "uncertainty/monte_carlo.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "geometry/angles.hpp"
#include "trajectory/solver_core.hpp"
#include "uncertainty/draw_pool.hpp"
#include "uncertainty/draw.hpp"
#include "uncertainty/speed_draws.hpp"
#include "uncertainty/statistics.hpp"

namespace sightline {

namespace {

// Quantiles of the reported 95% intervals.
constexpr double kLowQuantile = 0.025;
constexpr double kHighQuantile = 0.975;
// Draws per solve of the points' gradients below which the gradients are not worth their cost.
constexpr std::size_t kDrawsPerGradientSolve = 4;
// Most sightings for the points' gradients (their size and use grow with its square).
constexpr std::size_t kMaxGradientSightings = 200;


// A point of the nominal solution whose spread is estimated.
struct Target {
  enum Kind { Begin, End, Sighting, Label } kind = Begin;
  std::size_t index = 0;          // sighting or label index
  SolvedPoint* point = nullptr;   // in the nominal solution
  Vector3 east, north, up;        // local frame at the nominal point
};

// Where a target is in one draw; false when the draw does not give it.
bool locate(const Target& target, const CoreResult& r, Vector3& x) {
  switch (target.kind) {
    case Target::Begin: x = r.begin; return r.hasLine;
    case Target::End: x = r.end; return r.hasLine;
    case Target::Sighting: x = r.points[target.index]; return r.hasPoint[target.index];
    case Target::Label: x = r.labelPoints[target.index]; return r.labelSolved[target.index];
  }
  return false;
}

// One draw's value of one target.
struct DrawPoint {
  Vector3 offset;          // metres, east-north-up from the nominal point
  double height = 0.0;     // metres
  double latitude = 0.0;   // degrees from the nominal
  double longitude = 0.0;  // degrees from the nominal, across the +-180 seam
};

// One draw's trajectory figures.
struct DrawLine {
  double radiantAzimuth = 0.0;    // degrees from the nominal, across the 0/360 seam
  double radiantElevation = 0.0;  // degrees
  double length = 0.0;            // metres
  double speed = 0.0;             // metres per second
};

std::string percent(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f%%", value);
  return buffer;
}

// Thrown when the caller's stop function ends the draws early.
struct DrawsStopped {};

// The points the nominal solution reports, each with its local frame: the line's begin
// and end, the sightings' points (of the first `n` sightings) and the labelled points.
std::vector<Target> targetsOf(Solution& nominal, const PreparedEvent& prepared, std::size_t n) {
  std::vector<Target> targets;
  auto add = [&](Target::Kind kind, std::size_t index, SolvedPoint& point) {
    Target t;
    t.kind = kind;
    t.index = index;
    t.point = &point;
    const LocalFrame frame = localFrame(point.position);
    t.east = frame.east;
    t.north = frame.north;
    t.up = frame.up;
    targets.push_back(t);
  };
  Trajectory* line = nominal.trajectory ? &*nominal.trajectory : nullptr;
  if (line != nullptr) {
    add(Target::Begin, 0, line->begin);
    add(Target::End, 0, line->end);
  }
  for (std::size_t i = 0; i < nominal.sightings.size() && i < n; ++i) {
    if (nominal.sightings[i].hasPoint) add(Target::Sighting, i, nominal.sightings[i].point);
  }
  for (LabelledPoint& lp : nominal.points) {
    const auto it = std::find(prepared.labels.begin(), prepared.labels.end(), lp.label);
    if (it != prepared.labels.end()) add(Target::Label, static_cast<std::size_t>(it - prepared.labels.begin()), lp.point);
  }
  return targets;
}

// One draw's offsets of every target (into `out`) and, when the nominal solution has a
// `line`, its trajectory figures (into `l`); false when the draw lacks any of them.
bool measureDraw(const std::vector<Target>& targets, const CoreResult& r, const Trajectory* line, bool wantSpeed,
                 DrawPoint* out, DrawLine* l) {
  if (line != nullptr && !(r.hasLine && isFinite(r.direction))) return false;
  for (std::size_t k = 0; k < targets.size(); ++k) {
    const Target& t = targets[k];
    Vector3 x;
    if (!locate(t, r, x) || !isFinite(x)) return false;
    const Vector3 delta = x - t.point->ecef;
    const GeodeticPosition g = toGeodetic(x);
    out[k].offset = Vector3(dot(delta, t.east), dot(delta, t.north), dot(delta, t.up));
    out[k].height = g.height;
    out[k].latitude = g.latitude - t.point->position.latitude;
    out[k].longitude = wrapDegrees(g.longitude - t.point->position.longitude);
  }
  if (line != nullptr) {
    double azimuth = 0, elevation = 0;
    radiantOf(r.direction, r.begin, azimuth, elevation);
    l->radiantAzimuth = wrapDegrees(azimuth - line->radiantAzimuth);
    l->radiantElevation = elevation;
    l->length = distance(r.begin, r.end);
    if (wantSpeed) {
      if (!r.speed || !std::isfinite(*r.speed)) return false;
      l->speed = *r.speed;
    }
    if (!std::isfinite(l->radiantAzimuth) || !std::isfinite(l->radiantElevation) || !std::isfinite(l->length))
      return false;
  }
  return true;
}

// The draws that gave every figure, in draw order; the summary and a warning count the others.
std::vector<int> keptDraws(const std::vector<char>& good, MonteCarloSummary summary, Solution& nominal) {
  const int draws = static_cast<int>(good.size());
  std::vector<int> kept;
  for (int d = 0; d < draws; ++d) {
    if (good[static_cast<std::size_t>(d)]) kept.push_back(d);
  }
  summary.failed = draws - static_cast<int>(kept.size());
  nominal.monteCarlo = summary;
  if (summary.failed > 0) {
    nominal.warnings.push_back({"failed-draws", std::to_string(summary.failed) + " of " + std::to_string(draws) +
                                                  " Monte Carlo draws (" + percent(100.0 * summary.failed / draws) +
                                                  ") gave no solution; the uncertainties describe the others"});
  }
  return kept;
}

// Each target's covariance (m^2, east-north-up), sigmas (m) and 95% intervals of height (m),
// latitude and longitude (degrees) from the kept draws' offsets.
void summarisePoints(const std::vector<Target>& targets, const std::vector<DrawPoint>& points,
                     const std::vector<int>& kept) {
  const std::size_t count = targets.size();
  std::vector<Vector3> offsets(kept.size());
  std::vector<double> heights(kept.size()), latitudes(kept.size()), longitudes(kept.size());
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t j = 0; j < kept.size(); ++j) {
      const DrawPoint& p = points[static_cast<std::size_t>(kept[j]) * count + k];
      offsets[j] = p.offset;
      heights[j] = p.height;
      latitudes[j] = p.latitude;
      longitudes[j] = p.longitude;
    }
    const Spread3 spread = spreadOf(offsets);
    SolvedPoint& point = *targets[k].point;
    PointUncertainty u;
    u.covariance = spread.covariance;
    u.east = std::sqrt(spread.covariance[0]);
    u.north = std::sqrt(spread.covariance[4]);
    u.up = std::sqrt(spread.covariance[8]);
    u.height = {quantile(heights, kLowQuantile), quantile(heights, kHighQuantile)};
    u.latitude = {point.position.latitude + quantile(latitudes, kLowQuantile),
                  point.position.latitude + quantile(latitudes, kHighQuantile)};
    u.longitude = {point.position.longitude + quantile(longitudes, kLowQuantile),
                   point.position.longitude + quantile(longitudes, kHighQuantile)};
    point.uncertainty = u;
  }
}

// The line's sigmas of radiant (degrees), length (m) and speed (m/s) from the kept draws.
void summariseLine(Trajectory& line, const std::vector<DrawLine>& lines, const std::vector<int>& kept, bool wantSpeed) {
  std::vector<double> values(kept.size());
  auto sigmaOf = [&](double DrawLine::*field) {
    for (std::size_t j = 0; j < kept.size(); ++j) values[j] = lines[static_cast<std::size_t>(kept[j])].*field;
    return standardDeviation(values);
  };
  TrajectoryUncertainty u;
  u.radiantAzimuth = sigmaOf(&DrawLine::radiantAzimuth);
  u.radiantElevation = sigmaOf(&DrawLine::radiantElevation);
  u.length = sigmaOf(&DrawLine::length);
  if (wantSpeed) u.speed = sigmaOf(&DrawLine::speed);
  line.uncertainty = u;
}

// The estimate proper, in phases: the draws' setup, the targets, the draws (in parallel,
// each into its own slots), then the reduction in draw order. Throws only when memory or
// threads run out.
void estimate(const Event& event, Solution& nominal, const MonteCarloOptions& options,
              const ProgressFunction& progress, const StopFunction& stop) {
  const int draws = options.draws;
  const MonteCarloSummary summary{draws, 0, options.seed};

  const int threads = threadsFor(options.threads, draws);
  // The points' gradients cost four solves per sighting: worth it when the draws are many more.
  std::size_t sightings = 0;
  for (const Station& station : event.stations) sightings += station.sightings.size();
  const bool predict = static_cast<std::size_t>(draws) >= kDrawsPerGradientSolve * 4 * sightings &&
                       sightings <= kMaxGradientSightings;
  const DrawSetup setup(event, threads, predict, &nominal);
  const PreparedEvent& prepared = setup.prepared();

  const std::vector<Target> targets = targetsOf(nominal, prepared, prepared.sightings.size());
  Trajectory* line = nominal.trajectory ? &*nominal.trajectory : nullptr;
  const std::size_t count = targets.size();
  const bool wantSpeed = line != nullptr && line->speed.has_value();

  SpeedDraws speed(event, prepared, setup.nominal(), nominal, draws);

  std::vector<std::unique_ptr<DrawWorker>> workers;
  for (int t = 0; t < threads; ++t) workers.push_back(std::make_unique<DrawWorker>(setup));

  // Every draw writes only its own slots.
  std::vector<DrawPoint> points(static_cast<std::size_t>(draws) * count);
  std::vector<DrawLine> lines(line != nullptr ? static_cast<std::size_t>(draws) : 0);
  std::vector<char> good(static_cast<std::size_t>(draws), 0);

  auto draw = [&](int d, int worker) {
    const std::size_t slot = static_cast<std::size_t>(d);
    try {
      CoreResult r = workers[static_cast<std::size_t>(worker)]->solve(options.seed, slot);
      if (!speed.record(slot, r)) return;
      if (measureDraw(targets, r, line, wantSpeed, points.data() + slot * count, line != nullptr ? &lines[slot] : nullptr))
        good[slot] = 1;
    } catch (...) {
      // Out of memory in one draw: the draw counts as failed.
    }
  };
  if (!runJobs(draws, threads, draw, progress, stop)) throw DrawsStopped{};

  const std::vector<int> kept = keptDraws(good, summary, nominal);
  speed.summarise(nominal);
  if (kept.size() < 2) return;
  summarisePoints(targets, points, kept);
  if (line != nullptr) summariseLine(*line, lines, kept, wantSpeed);
}

}  // namespace

void estimateUncertainty(const Event& event, Solution& nominal, const MonteCarloOptions& options,
                         const ProgressFunction& progress, const StopFunction& stop) {
  if (options.draws <= 0) return;
  if (nominal.status == SolveStatus::TooFewStations || nominal.status == SolveStatus::NoGeometry) {
    // Nothing to perturb: no draw can give a solution.
    nominal.monteCarlo = MonteCarloSummary{options.draws, options.draws, options.seed};
    return;
  }
  const Solution untouched = nominal;
  try {
    estimate(event, nominal, options, progress, stop);
  } catch (const DrawsStopped&) {
    nominal = untouched;
    nominal.warnings.push_back({"monte-carlo-stopped", "the Monte Carlo estimate was stopped before it ended; no uncertainties"});
  } catch (const std::exception& e) {
    nominal = untouched;
    nominal.monteCarlo = MonteCarloSummary{options.draws, options.draws, options.seed};
    nominal.warnings.push_back({"monte-carlo-failed", std::string("the Monte Carlo estimate could not run (") + e.what() +
                               "); no uncertainties"});
  }
}

}  // namespace sightline
