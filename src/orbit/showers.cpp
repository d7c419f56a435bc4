// Shower association by solar longitude, Sun-centred ecliptic radiant and vG.
#include "orbit/showers.hpp"

#include <cmath>

#include <erfa.h>
#include <erfam.h>

namespace sightline {

namespace {

// Rounding margin of every limit: degrees for the angles, a fraction for the speed.
constexpr double kLimitMargin = 1e-9;

// Great-circle distance (degrees) between two points given in degrees.
double separation(double lon1, double lat1, double lon2, double lat2) {
  return eraSeps(lon1 * ERFA_DD2R, lat1 * ERFA_DD2R, lon2 * ERFA_DD2R, lat2 * ERFA_DD2R) * ERFA_DR2D;
}

}  // namespace

double wrappedDifference(double a, double b) {
  const double d = std::fmod(a - b, 360.0);  // (-360, 360)
  if (d >= 180.0) return d - 360.0;
  if (d < -180.0) return d + 360.0;
  return d;
}

ShowerKey showerKeyOf(const Orbit& orbit) {
  return {orbit.solarLongitude, orbit.radiantEcliptic.longitude, orbit.radiantEcliptic.latitude, orbit.vGeocentric};
}

ShowerTable::ShowerTable(std::vector<ShowerSolution> rows) : rows_(std::move(rows)) {
  sunCentredLongitude_.reserve(rows_.size());
  latitude_.reserve(rows_.size());
  for (const ShowerSolution& row : rows_) {
    // The row's J2000 radiant in the mean ecliptic and equinox of J2000.
    double lambda = 0.0, beta = 0.0;
    eraEqec06(ERFA_DJ00, 0.0, row.ra * ERFA_DD2R, row.dec * ERFA_DD2R, &lambda, &beta);
    sunCentredLongitude_.push_back(lambda * ERFA_DR2D - row.solarLongitude);
    latitude_.push_back(beta * ERFA_DR2D);
  }
}

std::optional<ShowerMatch> ShowerTable::associate(const ShowerKey& key, const ShowerLimits& limits) const {
  if (!std::isfinite(key.solarLongitude) || !std::isfinite(key.longitude) || !std::isfinite(key.latitude) ||
      !std::isfinite(key.vGeocentric)) {
    return std::nullopt;
  }
  const double meteorLongitude = key.longitude - key.solarLongitude;
  std::optional<ShowerMatch> best;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const ShowerSolution& row = rows_[i];
    if (!(row.vGeocentric > 0.0) || !std::isfinite(row.vGeocentric)) continue;
    const double dSun = wrappedDifference(key.solarLongitude, row.solarLongitude);
    if (std::abs(dSun) > limits.solarLongitude + kLimitMargin) continue;
    const double distance = separation(meteorLongitude, key.latitude, sunCentredLongitude_[i], latitude_[i]);
    if (distance > limits.radiant + kLimitMargin) continue;
    const double dv = (key.vGeocentric - row.vGeocentric) / row.vGeocentric;
    if (std::abs(dv) > limits.speedFraction + kLimitMargin) continue;
    const double score =
        std::abs(dSun) / limits.solarLongitude + distance / limits.radiant + std::abs(dv) / limits.speedFraction;
    if (best && !(score < best->score)) continue;  // a tie keeps the earlier row
    best = ShowerMatch{i, row.number, row.code, row.name, distance, dv, dSun, score, std::nullopt};
  }
  return best;
}

double showerMembership(const ShowerTable& table, const ShowerLimits& limits, int number,
                        const std::vector<ShowerKey>& draws) {
  if (draws.empty()) return 0.0;
  std::size_t inside = 0;
  for (const ShowerKey& draw : draws) {
    const std::optional<ShowerMatch> match = table.associate(draw, limits);
    if (match && match->number == number) ++inside;
  }
  return static_cast<double>(inside) / static_cast<double>(draws.size());
}

}  // namespace sightline
