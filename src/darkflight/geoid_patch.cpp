#include "darkflight/geoid_patch.hpp"

#include <algorithm>
#include <cmath>

namespace sightline::darkflight {

namespace {

/// Spacing of the EGM96 15' grid, degrees.
constexpr double kNodeSpacing = 0.25;

}  // namespace

GeoidPatch::GeoidPatch(const UndulationFunction& undulation, double latitude, double longitude, double halfWidth) {
  if (!undulation) return;
  latitude0_ = std::max(-90.0, std::floor((latitude - halfWidth) / kNodeSpacing) * kNodeSpacing);
  const double latitude1 = std::min(90.0, std::ceil((latitude + halfWidth) / kNodeSpacing) * kNodeSpacing);
  longitude0_ = std::floor((longitude - halfWidth) / kNodeSpacing) * kNodeSpacing;
  const double longitude1 = std::ceil((longitude + halfWidth) / kNodeSpacing) * kNodeSpacing;
  rows_ = static_cast<int>(std::lround((latitude1 - latitude0_) / kNodeSpacing)) + 1;
  columns_ = static_cast<int>(std::lround((longitude1 - longitude0_) / kNodeSpacing)) + 1;
  values_.resize(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_));
  for (int r = 0; r < rows_; ++r) {
    for (int c = 0; c < columns_; ++c) {
      const double n = undulation(latitude0_ + r * kNodeSpacing, longitude0_ + c * kNodeSpacing);
      values_[static_cast<std::size_t>(r * columns_ + c)] = std::isfinite(n) ? n : 0.0;
    }
  }
}

double GeoidPatch::at(double latitude, double longitude) const {
  if (values_.empty() || !std::isfinite(latitude) || !std::isfinite(longitude)) return 0.0;
  // Longitudes are taken in the patch's own turn, so that a patch across 180 degrees works.
  double dLongitude = std::remainder(longitude - longitude0_, 360.0);
  const double y = std::clamp((latitude - latitude0_) / kNodeSpacing, 0.0, rows_ - 1.0);
  const double x = std::clamp(dLongitude / kNodeSpacing, 0.0, columns_ - 1.0);
  const int r = std::min(static_cast<int>(y), rows_ - 2 < 0 ? 0 : rows_ - 2);
  const int c = std::min(static_cast<int>(x), columns_ - 2 < 0 ? 0 : columns_ - 2);
  const int r1 = std::min(r + 1, rows_ - 1), c1 = std::min(c + 1, columns_ - 1);
  const double fy = y - r, fx = x - c;
  auto value = [&](int row, int column) { return values_[static_cast<std::size_t>(row * columns_ + column)]; };
  const double south = value(r, c) + fx * (value(r, c1) - value(r, c));
  const double north = value(r1, c) + fx * (value(r1, c1) - value(r1, c));
  return south + fy * (north - south);
}

}  // namespace sightline::darkflight
