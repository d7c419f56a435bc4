// One Monte Carlo draw: every sighting moved by its sigma, the event solved again.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "trajectory/event.hpp"
#include "trajectory/solver_core.hpp"
#include "uncertainty/table_tracer.hpp"

namespace sightline {

/// What every draw of one event shares, read only: the prepared event, its
/// nominal inner solution (direct trace) and the refraction tables.
class DrawSetup {
 public:
  /// Prepares `event`, solves it once and builds the tables on `threads`
  /// threads (0: all cores). With `predictPoints`, also finds how the points
  /// move with each angle (four solves per sighting), so that draws start
  /// closer to their answer; worth it for runs of many more draws than that.
  /// With `solved` (the nominal solution of `event`), the draws take its sigmas and exclusions.
  DrawSetup(const Event& event, int threads, bool predictPoints = true, const Solution* solved = nullptr);

  const PreparedEvent& prepared() const { return prepared_; }
  /// The nominal inner solution: the warm start of every draw.
  const CoreResult& nominal() const { return nominal_; }
  const RefractionTables& tables() const { return *tables_; }
  /// Where sighting i's point goes, to first order (its nominal point without
  /// predictPoints), when the angles change
  /// by `azimuthChange` and `elevationChange` (degrees, per sighting): ECEF
  /// metres; NaN when the nominal solution has no point for it.
  Vector3 predictedPoint(std::size_t i, const std::vector<double>& azimuthChange,
                         const std::vector<double>& elevationChange) const;

 private:
  PreparedEvent prepared_;
  CoreResult nominal_;
  std::unique_ptr<RefractionTables> tables_;
  // Per sighting i, per angle j: change of point i (metres) per degree of azimuth
  // j ([i * 2n + 2j]) and of elevation j ([i * 2n + 2j + 1]).
  std::vector<Vector3> gradient_;
};

/// The part of the draws that one thread owns: a tracer and scratch space.
class DrawWorker {
 public:
  explicit DrawWorker(const DrawSetup& setup);

  /// Draw `draw` (0-based) of a run with seed `seed`: every sighting's
  /// elevation moved by its sigma times a normal deviate and its azimuth by
  /// another over cos(elevation) (a Gaussian offset on the sky), then solved
  /// from the nominal solution. The same (seed, draw) gives the same bits on any worker.
  CoreResult solve(std::uint64_t seed, std::uint64_t draw);

  /// Tracer lookups that missed the tables and were traced directly.
  std::size_t fallbacks() const { return tracer_.fallbacks(); }

 private:
  const DrawSetup* setup_;
  TableTracer tracer_;
  CoreResult start_;  // the nominal solution with line-of-sight elevations refracted for this draw
  std::vector<double> azimuths_, elevations_;
  std::vector<double> azimuthChange_, elevationChange_;  // degrees, from the given angles
};

}  // namespace sightline
