// The layered trace through per-sighting refraction tables, for the draws.
#pragma once

#include <cstddef>
#include <vector>

#include "trajectory/solver_core.hpp"
#include "uncertainty/refraction_table.hpp"

namespace sightline {

/// Sigmas of a sighting's elevation either side of the given one that its table covers.
inline constexpr double kTableSigmas = 6.0;

/// One refraction table per sighting of a prepared event, covering the
/// apparent zenith angles of elevations within `sigmas` of the sighting's sigma
/// of the given elevation (built on `threads` threads; 0: all cores). Sightings
/// whose range cannot be tabulated (near the zenith or the horizon) get an empty table.
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
