#include "trajectory/solve.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/text.hpp"
#include "geometry/angles.hpp"
#include "trajectory/along_track.hpp"
#include "trajectory/constants.hpp"
#include "trajectory/noise_fit.hpp"
#include "trajectory/photometry.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/timed_fit.hpp"
#include "trajectory/timing_checks.hpp"

namespace sightline {

namespace tc = trajectory_constants;

namespace {

SolvedPoint solvedPoint(const Vector3& ecef) {
  SolvedPoint p;
  p.ecef = ecef;
  p.position = toGeodetic(ecef);
  return p;
}


// "station Hilltop, sighting 2" (1-based, as users count).
std::string sightingName(const Event& event, const PreparedSighting& s) {
  return "station " + event.stations[s.station].name + ", sighting " + std::to_string(s.index + 1);
}

// Angle (degrees, 0..90) between two planes of sight given by their sightings' directions.
double planeNormalAngle(const Vector3& a, const Vector3& b) {
  const double c = std::fabs(dot(a, b)) / (a.length() * b.length());
  return radToDeg(std::acos(std::min(1.0, c)));
}

// The speed model, the clock offsets and each timed sighting's place along the trajectory;
// with the gravity model, which model and the direction at the end point.
void reportSpeed(const TimedFit& fit, Solution& solution) {
  if (!solution.trajectory) return;
  Trajectory& t = *solution.trajectory;
  solution.warnings.insert(solution.warnings.end(), fit.warnings.begin(), fit.warnings.end());
  if (!fit.speed.ok) return;
  t.velocity = velocityOf(fit.speed, fit.epoch, t.speed);
  for (const ClockOffset& c : fit.speed.offsets) t.clockOffsets.push_back(StationClock{c.station, c.offset, c.fitted, {}, {}});
  for (std::size_t k = 0; k < fit.sightings.size(); ++k) {
    SightingResult& r = solution.sightings[fit.sightings[k]];
    r.length = fit.lengths[k];
    r.timeFromBegin = fit.speed.t[k];
    r.velocity = fit.speed.speed[k];
    r.lag = fit.lag[k];
  }
  for (std::size_t i = 0; i < fit.alongTrack.size() && i < solution.sightings.size(); ++i) {
    if (std::isfinite(fit.alongTrack[i])) solution.sightings[i].alongTrackResidual = radToDeg(fit.alongTrack[i]) * tc::kArcsecondsPerDegree;
  }
  if (!fit.gravity) return;
  t.model = TrajectoryModel::Gravity;
  Vector3 end, velocity;
  earthFixedState(*fit.gravity, fit.gravity->beginTime + t.velocity->duration, end, velocity);
  radiantOf(velocity / velocity.length(), end, t.endRadiantAzimuth, t.endRadiantElevation);
}

// The orbit from the begin point with the initial velocity, or a warning that says why there is none.
void reportOrbit(const PreparedEvent& prepared, Solution& solution) {
  if (!solution.trajectory) return;
  const Trajectory& t = *solution.trajectory;
  if (!earliestTime(prepared)) {
    solution.warnings.push_back({"no-orbit-without-times", "the sightings carry no times: no speed, no orbit"});
    return;
  }
  if (!t.velocity) {
    solution.warnings.push_back({"no-orbit-without-velocity", "the timed sightings give no initial velocity: no orbit"});
    return;
  }
  CoreResult line;
  line.begin = t.begin.ecef;
  line.direction = t.direction;
  const OrbitResult result = computeOrbit(beginState(line, *t.velocity));
  solution.warnings.insert(solution.warnings.end(), result.warnings.begin(), result.warnings.end());
  if (!result.ok || !result.orbit) return;
  solution.orbit = SolvedOrbit{*result.orbit, t.velocity->beginTime, t.begin.position, std::nullopt, 0, {}, {}};
}

// Times that go backwards, one time with two directions, a long span, times far from the event.
void reportTiming(const Event& event, const PreparedEvent& prepared, Solution& solution) {
  std::vector<TimedSighting> timed;
  for (const PreparedSighting& s : prepared.sightings) {
    if (s.time) timed.push_back(TimedSighting{s.station, s.index, *s.time, s.azimuth, s.elevation, sightingName(event, s)});
  }
  for (const TimingIssue& issue : timingIssues(timed, event.time)) solution.warnings.push_back({issue.code, issue.text});
}

// Warnings for stations whose sightings span no plane, and the convergence
// angle of every pair of planes; returns the largest (degrees).
double reportPlanes(const Event& event, const PreparedEvent& prepared, const CoreResult& core, Solution& solution) {
  const std::vector<Vector3>& normals = core.normals;
  for (std::size_t s = 0; s < prepared.stations.size(); ++s) {
    const bool out = std::all_of(prepared.stationSightings[s].begin(), prepared.stationSightings[s].end(),
                                 [&](std::size_t i) { return prepared.sightings[i].excluded; });
    if (prepared.stationSightings[s].size() >= 2 && !(normals[s].length() > 0) && !out) {
      solution.warnings.push_back({"parallel-sightings", "station " + event.stations[s].name +
                                  ": its sightings are parallel and span no plane of sight"});
    }
  }
  double largest = 0.0;
  for (std::size_t a = 0; a < normals.size(); ++a) {
    for (std::size_t b = a + 1; b < normals.size(); ++b) {
      if (!(normals[a].length() > 0) || !(normals[b].length() > 0)) continue;
      StationPair pair{a, b, planeNormalAngle(normals[a], normals[b])};
      largest = std::max(largest, pair.convergenceAngle);
      solution.stationPairs.push_back(pair);
    }
  }
  return largest;
}

// Each sighting's point, range, residual and refraction, with its warnings.
void reportSightings(const Event& event, const PreparedEvent& prepared, const CoreResult& core, Solution& solution) {
  const std::size_t n = prepared.sightings.size();
  const std::vector<Vector3>& directions = core.directions;
  for (std::size_t i = 0; i < n; ++i) {
    const PreparedSighting& ps = prepared.sightings[i];
    SightingResult r;
    r.station = ps.station;
    r.sighting = ps.index;
    r.sigma = radToDeg(ps.sigma);
    r.excluded = ps.excluded;
    r.refraction = (core.lineElevation[i] - ps.elevation) * tc::kArcsecondsPerDegree;
    r.hasPoint = core.hasPoint[i];
    if (r.hasPoint) {
      r.point = solvedPoint(core.points[i]);
      r.range = std::fabs(core.range[i]);
      r.residual = radToDeg(core.residual[i]) * tc::kArcsecondsPerDegree;
      const std::string who = sightingName(event, ps);
      if (core.range[i] < 0 || dot(core.points[i] - prepared.stations[ps.station].position, directions[i]) < 0) {
        solution.warnings.push_back({"behind-station", who + ": its point lies behind the station"});
      }
      if (r.point.position.height < 0) {
        solution.warnings.push_back({"below-ground", who + ": its point lies below the ground (" +
                                    formatted("%.3f", r.point.position.height / 1000) + " km above the ellipsoid)"});
      }
      if (std::fabs(r.residual) > tc::kResidualSigmas * r.sigma * tc::kArcsecondsPerDegree) {
        solution.warnings.push_back({"residual-over-3-sigma", who + ": residual " + formatted("%.1f", r.residual) + " arcseconds is over " +
                                    formatted("%.0f", tc::kResidualSigmas) + " sigma (" +
                                    formatted("%.1f", r.sigma * tc::kArcsecondsPerDegree) + " arcseconds)"});
      }
      if (core.hasLine) {
        const double angle = radToDeg(std::acos(std::min(1.0, std::fabs(dot(directions[i], core.direction)))));
        if (angle < tc::kGrazingAngle) {
          solution.warnings.push_back({"grazing-line-of-sight", who + ": its line of sight is within " + formatted("%.2f", angle) +
                                      " degrees of the trajectory, so its point is poorly defined"});
        }
      }
    } else if (core.status != SolveStatus::NoGeometry) {
      bool onPlane = false;
      if (core.status == SolveStatus::PointsOnly) onPlane = prepared.stationSightings[ps.station].size() >= 2;
      if (!onPlane) solution.warnings.push_back({"no-point", sightingName(event, ps) + ": no point could be found for it"});
    }
    solution.sightings.push_back(r);
  }
}

// Points triangulated from sightings that share a label, with their miss distances (metres).
void reportLabels(const PreparedEvent& prepared, const CoreResult& core, Solution& solution) {
  const std::size_t n = prepared.sightings.size();
  const std::vector<Vector3>& directions = core.directions;
  for (std::size_t l = 0; l < prepared.labels.size(); ++l) {
    if (!core.labelSolved[l]) continue;
    LabelledPoint lp;
    lp.label = prepared.labels[l];
    lp.point = solvedPoint(core.labelPoints[l]);
    for (std::size_t i = 0; i < n; ++i) {
      if (prepared.sightings[i].label != static_cast<int>(l)) continue;
      const Vector3 s = prepared.stations[prepared.sightings[i].station].position;
      const Vector3 toX = core.labelPoints[l] - s;
      lp.stations.push_back(prepared.sightings[i].station);
      lp.missDistances.push_back(cross(toX, directions[i]).length());
    }
    solution.points.push_back(lp);
  }
}

// The trajectory line's geodetic summary and the warnings on the geometry as a whole.
void reportTrajectory(const CoreResult& core, double largest, Solution& solution) {
  if (core.hasLine) {
    Trajectory t;
    t.begin = solvedPoint(core.begin);
    t.end = solvedPoint(core.end);
    t.direction = core.direction;
    t.length = distance(core.begin, core.end);
    radiantOf(core.direction, core.begin, t.radiantAzimuth, t.radiantElevation);
    radiantOf(core.direction, core.end, t.endRadiantAzimuth, t.endRadiantElevation);
    t.speed = core.speed;
    t.convergenceAngle = largest;
    solution.trajectory = t;
    if (largest < tc::kRejectConvergence) {
      solution.warnings.push_back({"convergence-under-3-degrees", "convergence angle " + formatted("%.2f", largest) + " degrees is under " +
                                  formatted("%.0f", tc::kRejectConvergence) +
                                  " degrees: the stations see the trajectory almost in one plane; networks reject such solutions"});
    } else if (largest < tc::kWeakConvergence) {
      solution.warnings.push_back({"weak-convergence", "convergence angle " + formatted("%.2f", largest) + " degrees is under " +
                                  formatted("%.0f", tc::kWeakConvergence) + " degrees: the solution is weak"});
    }
  } else if (core.status == SolveStatus::NoGeometry && solution.stationPairs.size() >= 1 && largest == 0.0) {
    solution.warnings.push_back({"parallel-planes", "the planes of sight are parallel: they give no trajectory"});
  }
  if (core.status == SolveStatus::PointsOnly) {
    solution.warnings.push_back({"points-only", "fewer than two stations have two or more sightings: no trajectory, points only"});
  }
}

// One fit of the prepared event as its sigmas and exclusions stand, and everything
// reported from it: status, planes, sightings, labels, trajectory, speed, orbit, timing.
Solution fitPrepared(const Event& event, const PreparedEvent& prepared) {
  Solution solution;
  const CoreResult straight = solveAsGiven(prepared);
  // The timed fit first: with the gravity model its points, residuals and ends replace the line's.
  const std::optional<double> epoch = earliestTime(prepared);
  TimedFit timed;
  if (epoch && straight.hasLine) {
    bool mixed = false;
    gravityApplies(prepared, straight, event.trajectoryModel, &mixed);
    if (mixed) {
      solution.warnings.push_back({"straight-line-untimed", "some sightings carry no times: the straight line, "
                                   "not the model with gravity and the turning Earth"});
    }
    timed = fitTimed(prepared, straight, *epoch, event.clockOffsets, event.trajectoryModel);
  }
  CoreResult core = straight;
  applyGravity(timed, core);
  solution.status = core.status;
  solution.passes = core.passes;

  const double largest = reportPlanes(event, prepared, core, solution);
  reportSightings(event, prepared, core, solution);
  reportLabels(prepared, core, solution);
  reportTrajectory(core, largest, solution);
  if (epoch) reportSpeed(timed, solution);
  reportOrbit(prepared, solution);
  reportTiming(event, prepared, solution);
  solution.photometry = photometryOf(event, solution, solution.warnings);
  if (event.refraction != Refraction::None && core.passes == tc::kMaxPasses) {
    solution.warnings.push_back({"refraction-not-settled", "the refraction passes did not settle to 1 cm in " +
                                std::to_string(tc::kMaxPasses) + " passes"});
  }
  return solution;
}

}  // namespace

Solution solve(const Event& event) {
  std::size_t withSightings = 0;
  for (const Station& s : event.stations) withSightings += s.sightings.empty() ? 0 : 1;
  if (withSightings < 2) {
    Solution solution;
    solution.status = SolveStatus::TooFewStations;
    return solution;
  }
  PreparedEvent prepared = prepare(event);
  return fitWithNoise(event, prepared, [&event](const PreparedEvent& p) { return fitPrepared(event, p); });
}

}  // namespace sightline
