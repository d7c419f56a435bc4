// A tabulated layered ray trace for one ViewPoint, for the many solves of a
// Monte Carlo estimate.
//
// A ray of the layered trace that leaves at apparent zenith angle z0 has swept
// the angle S(z0, k) at the sphere's centre after k shells; it is stopped at
// the first shell k whose swept angle reaches the target angle, and the true
// zenith angle is that of the ray's end there. S is smooth in z0 for every k,
// but the result is a staircase in the target angle (one stair per shell), so
// the table keeps the stairs: it tabulates S(z0, k) at nodes of z0 for every
// shell up to the top of the model atmosphere (refractive index 1 above it),
// interpolates it in z0, and finds the stopping shell as the trace does. Above
// the top the ray is straight and S has a closed form (Bouguer's invariant
// r sin(zenith) = const), so the table covers any target angle.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "geometry/angles.hpp"

namespace sightline {

/// Largest spacing of the table's nodes in apparent zenith angle, radians (0.1 degrees).
inline constexpr double kTableNodeSpacing = 0.1 * kPi / 180;
/// Largest spacing for tables reaching beyond kTableLowZenith, radians (0.05 degrees).
inline constexpr double kTableLowNodeSpacing = 0.05 * kPi / 180;
/// Apparent zenith angle beyond which rays bend faster and nodes are closer, radians (80 degrees).
inline constexpr double kTableLowZenith = 80.0 * kPi / 180;
/// Smallest apparent zenith angle a table holds, radians (0.1 degrees).
inline constexpr double kTableMinZenith = 0.1 * kPi / 180;
/// Largest apparent zenith angle a table holds, radians (89 degrees: 1 degree above the horizon).
inline constexpr double kTableMaxZenith = 89.0 * kPi / 180;

class RefractionTable {
 public:
  /// An empty table: every lookup falls outside it.
  RefractionTable() = default;
  /// Table of rays leaving a ViewPoint `height` metres above the base radius
  /// `baseRadius` (metres) at apparent zenith angles from `zenithLow` to
  /// `zenithHigh` (radians). Empty when that range is not within
  /// [kTableMinZenith, kTableMaxZenith] or a ray does not climb.
  RefractionTable(double height, double baseRadius, double zenithLow, double zenithHigh);

  /// True zenith angle (radians) the trace gives for a ray at `apparentZenith`
  /// stopped at `targetAngle` (radians), as traceRefraction(apparentZenith,
  /// height, baseRadius, targetAngle) to well under 0.001 arcseconds; nothing
  /// when apparentZenith is outside the table (or not a number).
  std::optional<double> trueZenith(double apparentZenith, double targetAngle) const;

  bool empty() const { return nodes_ == 0; }
  /// Apparent zenith angles covered, radians.
  double zenithLow() const { return low_; }
  double zenithHigh() const { return high_; }
  /// Spacing of the nodes, radians; nodes including the interpolation margins.
  double spacing() const { return spacing_; }
  std::size_t nodes() const { return nodes_; }

 private:
  // Interpolation weights and first node for apparent zenith z; false when outside.
  bool stencil(double z, std::size_t& first, double* weights) const;
  // Interpolated swept angle after k shells (k <= top_).
  double sweptBelowTop(std::size_t k, std::size_t first, const double* weights) const;

  double low_ = 0.0, high_ = 0.0;
  double spacing_ = 0.0;
  double origin_ = 0.0;          // apparent zenith of node 0, radians
  std::size_t nodes_ = 0;
  std::size_t top_ = 0;          // first shell with refractive index 1 (and all above it)
  double startRadius_ = 0.0;     // metres
  std::vector<double> radius_;   // metres, shells 0..top_
  std::vector<double> swept_;    // radians, [k * nodes_ + node], k = 0..top_
  std::vector<double> topZenith_;  // radians, per node: zenith angle of the ray entering shell top_
};

}  // namespace sightline
