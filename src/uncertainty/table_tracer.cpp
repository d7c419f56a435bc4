#include "uncertainty/table_tracer.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/angles.hpp"
#include "uncertainty/draw_pool.hpp"

namespace sightline {

RefractionTables::RefractionTables(const PreparedEvent& event, double sigmas, int threads)
    : tables_(event.sightings.size()) {
  if (event.refraction == Refraction::None) return;
  const int count = static_cast<int>(event.sightings.size());
  runJobs(count, threadsFor(threads, count), [&](int i, int) {
    const PreparedSighting& s = event.sightings[static_cast<std::size_t>(i)];
    const PreparedStation& station = event.stations[s.station];
    const double spread = std::min(sigmas * radToDeg(s.sigma), kTableMaxSpread);  // degrees of elevation
    const double a = apparentZenith(event.refraction, s.elevation - spread);
    const double b = apparentZenith(event.refraction, s.elevation + spread);
    // Clipped to what a table can hold; draws beyond it are traced directly.
    const double low = std::max(std::min(a, b), kTableMinZenith);
    const double high = std::min(std::max(a, b), kTableMaxZenith);
    if (low <= high)
      tables_[static_cast<std::size_t>(i)] = RefractionTable(station.height, station.traceRadius, low, high);
  });
}

TableTracer::TableTracer(const PreparedEvent& event, const RefractionTables& tables)
    : tables_(&tables), direct_(event) {}

double TableTracer::trueZenith(std::size_t sighting, double apparentZenith, double targetAngle) {
  if (const auto z = tables_->forSighting(sighting).trueZenith(apparentZenith, targetAngle)) return *z;
  ++fallbacks_;
  return direct_.trueZenith(sighting, apparentZenith, targetAngle);
}

}  // namespace sightline
