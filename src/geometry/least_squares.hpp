// LeastSquaresSystem: an overdetermined linear system folded equation by
// equation into an upper-triangular factor by Givens rotations.
#pragma once

#include <cstdint>
#include <vector>

namespace sightline {

class LeastSquaresSystem {
 public:
  /// A system of k unknowns (k >= 1), cleared; with k < 1 it has no storage and must not be used.
  explicit LeastSquaresSystem(int k);
  LeastSquaresSystem(const LeastSquaresSystem&) = delete;
  LeastSquaresSystem& operator=(const LeastSquaresSystem&) = delete;

  /// Sizes the system for k unknowns (k < 1: nothing happens) and clears it.
  void resize(int k);
  /// Sets every entry of the factor and the work row to 0 and the equation count to 0.
  void clear();
  /// Folds in one equation: coefficients a[0..n-1], right-hand side b.
  void addEquation(const double* a, double b);
  /// Back substitution into x[0..n-1]. Returns 1 on success; 0, with x untouched,
  /// when fewer equations than unknowns were added or a diagonal entry is exactly 0.
  int solve(double* x) const;

  /// n, the number of unknowns; 0 while the system has no storage.
  std::int32_t unknowns = 0;
  /// n+1 rows of n+1 doubles: rows 0..n-1 hold the factor R with the transformed
  /// right-hand side in column n; row n is the work row.
  std::vector<std::vector<double>> rows;
  /// Equations added since the last clear.
  std::int32_t equationCount = 0;
};

}  // namespace sightline
