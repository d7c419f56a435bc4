#include "uncertainty/draw.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/angles.hpp"
#include "uncertainty/random.hpp"

namespace sightline {

namespace {
// Smallest cos(elevation) an azimuth offset is divided by: keeps the offset finite at the zenith.
constexpr double kMinCosElevation = 1e-6;
}  // namespace

DrawSetup::DrawSetup(const Event& event, int threads) : prepared_(prepare(event)) {
  const std::size_t n = prepared_.sightings.size();
  std::vector<double> azimuths(n), elevations(n);
  for (std::size_t i = 0; i < n; ++i) {
    azimuths[i] = prepared_.sightings[i].azimuth;
    elevations[i] = prepared_.sightings[i].elevation;
  }
  DirectTracer direct(prepared_);
  nominal_ = solveCore(prepared_, azimuths, elevations, &direct);
  tables_ = std::make_unique<RefractionTables>(prepared_, kTableSigmas, threads);
  targets_.assign(n, std::numeric_limits<double>::quiet_NaN());
  for (std::size_t i = 0; i < n; ++i) {
    if (nominal_.hasPoint[i])
      targets_[i] = traceTargetAngle(prepared_.stations[prepared_.sightings[i].station], nominal_.points[i]);
  }
}

DrawWorker::DrawWorker(const DrawSetup& setup)
    : setup_(&setup),
      tracer_(setup.prepared(), setup.tables()),
      start_(setup.nominal()),
      azimuths_(setup.prepared().sightings.size()),
      elevations_(setup.prepared().sightings.size()) {}

CoreResult DrawWorker::solve(std::uint64_t seed, std::uint64_t draw) {
  const PreparedEvent& event = setup_->prepared();
  const CoreResult& nominal = setup_->nominal();
  const std::size_t n = event.sightings.size();
  DrawRandom random(seed, draw);
  for (std::size_t i = 0; i < n; ++i) {
    const PreparedSighting& s = event.sightings[i];
    const double up = random.normal();
    const double across = random.normal();
    const double cosElevation = std::max(std::cos(degToRad(s.elevation)), kMinCosElevation);
    elevations_[i] = s.elevation + radToDeg(s.sigma * up);
    azimuths_[i] = s.azimuth + radToDeg(s.sigma * across) / cosElevation;
  }
  // Start each line of sight refracted for its new elevation toward the nominal
  // point, rather than with the nominal refraction: the refraction passes then
  // settle sooner. The solver adds the change of elevation to the start's value.
  if (event.refraction != Refraction::None && nominal.lineElevation.size() == n) {
    for (std::size_t i = 0; i < n; ++i) {
      const double target = setup_->nominalTargets()[i];
      double line = nominal.lineElevation[i] + (elevations_[i] - event.sightings[i].elevation);
      if (std::isfinite(target)) {
        const double zenith = tracer_.trueZenith(i, apparentZenith(event.refraction, elevations_[i]), target);
        if (std::isfinite(zenith)) line = 90 - radToDeg(zenith);
      }
      start_.lineElevation[i] = line - (elevations_[i] - event.sightings[i].elevation);
    }
  }
  return solveCore(event, azimuths_, elevations_, &tracer_, &start_);
}

}  // namespace sightline
