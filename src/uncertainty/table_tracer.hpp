// The layered trace through per-sighting refraction tables, for the draws.
#pragma once

#include <cstddef>
#include <vector>

#include "trajectory/solver_core.hpp"
#include "uncertainty/refraction_table.hpp"

namespace sightline {

/// Sigmas of a sighting's elevation either side of the given one that its table covers.
inline constexpr double kTableSigmas = 6.0;
/// Most elevation a table covers either side of the given one, degrees (keeps tables of
/// very uncertain sightings small; draws beyond are traced directly).
inline constexpr double kTableMaxSpread = 3.0;

/// One refraction table per sighting of a prepared event, covering the
/// apparent zenith angles of elevations within `sigmas` times the sighting's
/// sigma (at most kTableMaxSpread) of the given elevation, clipped to what a
/// table can hold (built on `threads` threads; 0: all cores). Sightings whose
/// whole range lies beyond that (at the zenith or the horizon) get an empty table.
class RefractionTables {
 public:
  RefractionTables(const PreparedEvent& event, double sigmas, int threads);
  const RefractionTable& forSighting(std::size_t sighting) const { return tables_[sighting]; }
  std::size_t size() const { return tables_.size(); }

 private:
  std::vector<RefractionTable> tables_;
};

/// A ZenithTracer that looks rays up in `tables` and traces directly outside
/// them. The tables are only read: every thread can have its own TableTracer over the same tables.
class TableTracer final : public ZenithTracer {
 public:
  TableTracer(const PreparedEvent& event, const RefractionTables& tables);
  double trueZenith(std::size_t sighting, double apparentZenith, double targetAngle) override;
  /// Lookups answered by the direct trace so far.
  std::size_t fallbacks() const { return fallbacks_; }

 private:
  const RefractionTables* tables_;
  DirectTracer direct_;
  std::size_t fallbacks_ = 0;
};

}  // namespace sightline
