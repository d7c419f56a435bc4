// Sample statistics of the Monte Carlo draws, summed in draw order so that
// the figures are the same bits whatever the number of threads.
#pragma once

#include <array>
#include <vector>

#include "geometry/vector3.hpp"

namespace sightline {

/// Mean and sample covariance (divisor n - 1) of 3-vectors in any unit.
struct Spread3 {
  Vector3 mean;
  std::array<double, 9> covariance{};  ///< unit^2, row-major (x, y, z)
};

/// Mean and covariance of `values` (two or more; fewer give zero covariance).
Spread3 spreadOf(const std::vector<Vector3>& values);

/// Sample standard deviation (divisor n - 1) of `values`; 0 for fewer than two.
double standardDeviation(const std::vector<double>& values);

/// The `fraction` (0..1) quantile of `values`, interpolated linearly between
/// order statistics (the sample's (n - 1) * fraction-th smallest value); NaN when empty.
double quantile(std::vector<double> values, double fraction);

/// `angle` (degrees) reduced by whole turns to [-180, 180): differences of
/// longitudes or azimuths across the 0/360 or +-180 seam.
double wrapDegrees(double angle);

}  // namespace sightline
