#include "darkflight/drag.hpp"

#include <algorithm>
#include <array>

namespace sightline::darkflight {

namespace {

constexpr std::array<double, 8> kMach{0.3, 0.6, 0.9, 1.1, 1.5, 2.0, 3.0, 5.0};

/// One row of the table: its shape factor and Cd at each Mach number of kMach.
struct DragRow {
  double shapeFactor;
  std::array<double, 8> cd;
};

constexpr std::array<DragRow, 3> kRows{{
    {kSphereShapeFactor, {0.51, 0.55, 0.71, 0.87, 1.00, 0.94, 0.91, 0.92}},
    {kCylinderShapeFactor, {0.62, 0.67, 0.81, 0.96, 1.18, 1.27, 1.30, 1.30}},
    {kBrickShapeFactor, {1.64, 1.64, 1.68, 1.98, 2.00, 2.00, 2.00, 2.00}},
}};

/// Cd of one row at `mach`, linear between the columns, constant beyond the ends.
double rowAt(const DragRow& row, double mach) {
  if (!(mach > kMach.front())) return row.cd.front();
  if (mach >= kMach.back()) return row.cd.back();
  const auto upper = std::upper_bound(kMach.begin(), kMach.end(), mach);
  const std::size_t j = static_cast<std::size_t>(upper - kMach.begin());
  const double f = (mach - kMach[j - 1]) / (kMach[j] - kMach[j - 1]);
  return row.cd[j - 1] + f * (row.cd[j] - row.cd[j - 1]);
}

}  // namespace

double dragCoefficient(double mach, double shapeFactor) {
  if (!(shapeFactor > kRows.front().shapeFactor)) return rowAt(kRows.front(), mach);
  if (shapeFactor >= kRows.back().shapeFactor) return rowAt(kRows.back(), mach);
  std::size_t i = 1;
  while (shapeFactor > kRows[i].shapeFactor) ++i;
  const double f = (shapeFactor - kRows[i - 1].shapeFactor) / (kRows[i].shapeFactor - kRows[i - 1].shapeFactor);
  const double low = rowAt(kRows[i - 1], mach);
  return low + f * (rowAt(kRows[i], mach) - low);
}

}  // namespace sightline::darkflight
