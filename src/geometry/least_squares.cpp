#include "geometry/least_squares.hpp"

#include <cmath>

namespace sightline {

LeastSquaresSystem::LeastSquaresSystem(int k) { resize(k); }

void LeastSquaresSystem::resize(int k) {
  if (k < 1) return;
  if (k != unknowns) {
    unknowns = k;
    rows.assign(static_cast<std::size_t>(k) + 1, std::vector<double>(static_cast<std::size_t>(k) + 1));
  }
  clear();
}

void LeastSquaresSystem::clear() {
  if (unknowns <= 0) return;
  for (auto& row : rows) row.assign(row.size(), 0.0);
  equationCount = 0;
}

void LeastSquaresSystem::addEquation(const double* a, double b) {
  const int n = unknowns;
  if (n <= 0) return;  // a system without storage takes no equations
  std::vector<double>& work = rows[static_cast<std::size_t>(n)];
  for (int j = 0; j < n; ++j) work[j] = a[j];
  work[n] = b;
  for (int i = 0; i < n; ++i) {
    std::vector<double>& row = rows[static_cast<std::size_t>(i)];
    double r = std::sqrt(row[i] * row[i] + work[i] * work[i]);
    if (row[i] < 0) r = -r;
    double c = 1.0;
    double s = 0.0;
    if (r != 0) {
      c = row[i] / r;
      s = work[i] / r;
    }
    for (int j = i; j <= n; ++j) {
      const double top = c * row[j] + s * work[j];
      const double bottom = -s * row[j] + c * work[j];
      row[j] = top;
      work[j] = bottom;
    }
  }
  ++equationCount;
}

int LeastSquaresSystem::solve(double* x) const {
  const int n = unknowns;
  if (equationCount < n) return 0;
  for (int i = 0; i < n; ++i) {
    if (rows[i][i] == 0.0) return 0;
  }
  for (int i = n - 1; i >= 0; --i) {
    double sum = 0.0;
    for (int j = i + 1; j < n; ++j) sum = sum + rows[i][j] * x[j];
    x[i] = (rows[i][n] - sum) / rows[i][i];
  }
  return 1;
}

}  // namespace sightline
