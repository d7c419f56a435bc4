#include "uncertainty/draw.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/angles.hpp"
#include "trajectory/noise_fit.hpp"
#include "uncertainty/random.hpp"

namespace sightline {

namespace {
// Smallest cos(elevation) an azimuth offset is divided by: keeps the offset finite at the zenith.
constexpr double kMinCosElevation = 1e-6;
// Smallest change of angle for the points' gradients, degrees.
constexpr double kMinGradientStep = 1e-4;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

DrawSetup::DrawSetup(const Event& event, int threads, bool predictPoints, const Solution* solved)
    : prepared_(prepare(event)) {
  if (solved != nullptr) applySolvedNoise(*solved, prepared_);
  nominal_ = solveAsGiven(prepared_);
  tables_ = std::make_unique<RefractionTables>(prepared_, kTableSigmas, threads);

  // How the points move with each angle: central differences over one sigma.
  const std::size_t n = prepared_.sightings.size();
  gradient_.assign(n * 2 * n, Vector3());  // no gradient: the nominal point
  if (!predictPoints || prepared_.refraction == Refraction::None || !nominal_.hasLine) return;
  std::vector<double> azimuths(n), elevations(n);
  for (std::size_t i = 0; i < n; ++i) {
    azimuths[i] = prepared_.sightings[i].azimuth;
    elevations[i] = prepared_.sightings[i].elevation;
  }
  TableTracer tracer(prepared_, *tables_);
  for (std::size_t j = 0; j < n; ++j) {
    const double step = std::max(radToDeg(prepared_.sightings[j].sigma), kMinGradientStep);
    for (int which = 0; which < 2; ++which) {
      std::vector<double>& angles = which == 0 ? azimuths : elevations;
      const double scale = which == 0 ? 1.0 / std::max(std::cos(degToRad(elevations[j])), kMinCosElevation) : 1.0;
      const double given = angles[j];
      angles[j] = given + step * scale;
      const CoreResult plus = solveCore(prepared_, azimuths, elevations, &tracer, &nominal_);
      angles[j] = given - step * scale;
      const CoreResult minus = solveCore(prepared_, azimuths, elevations, &tracer, &nominal_);
      angles[j] = given;
      for (std::size_t i = 0; i < n; ++i) {
        if (plus.hasPoint[i] && minus.hasPoint[i])
          gradient_[i * 2 * n + 2 * j + which] = (plus.points[i] - minus.points[i]) / (2 * step * scale);
      }
    }
  }
}

Vector3 DrawSetup::predictedPoint(std::size_t i, const std::vector<double>& azimuthChange,
                                  const std::vector<double>& elevationChange) const {
  const std::size_t n = prepared_.sightings.size();
  if (!nominal_.hasPoint[i]) return Vector3(kNaN, kNaN, kNaN);
  Vector3 point = nominal_.points[i];
  const Vector3* g = gradient_.data() + i * 2 * n;
  for (std::size_t j = 0; j < n; ++j) point = point + azimuthChange[j] * g[2 * j] + elevationChange[j] * g[2 * j + 1];
  return point;
}

DrawWorker::DrawWorker(const DrawSetup& setup)
    : setup_(&setup),
      tracer_(setup.prepared(), setup.tables()),
      start_(setup.nominal()),
      azimuths_(setup.prepared().sightings.size()),
      elevations_(setup.prepared().sightings.size()),
      azimuthChange_(setup.prepared().sightings.size()),
      elevationChange_(setup.prepared().sightings.size()) {}

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
  // Start each line of sight refracted for its new elevation toward where its
  // point will be to first order, rather than with the nominal refraction: the
  // refraction passes then settle sooner. The solver adds the change of
  // elevation to the start's value.
  if (event.refraction != Refraction::None && nominal.lineElevation.size() == n) {
    for (std::size_t i = 0; i < n; ++i) {
      azimuthChange_[i] = azimuths_[i] - event.sightings[i].azimuth;
      elevationChange_[i] = elevations_[i] - event.sightings[i].elevation;
    }
    for (std::size_t i = 0; i < n; ++i) {
      double line = nominal.lineElevation[i] + elevationChange_[i];
      const Vector3 point = setup_->predictedPoint(i, azimuthChange_, elevationChange_);
      if (std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z)) {
        const double target = traceTargetAngle(event.stations[event.sightings[i].station], point);
        const double zenith = tracer_.trueZenith(i, apparentZenith(event.refraction, elevations_[i]), target);
        if (std::isfinite(zenith)) line = 90 - radToDeg(zenith);
      }
      start_.lineElevation[i] = line - elevationChange_[i];
    }
  }
  return solveCore(event, azimuths_, elevations_, &tracer_, &start_);
}

}  // namespace sightline
