#include "uncertainty/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sightline {

Spread3 spreadOf(const std::vector<Vector3>& values) {
  Spread3 spread;
  const std::size_t n = values.size();
  if (n == 0) return spread;
  double sx = 0, sy = 0, sz = 0;
  for (const Vector3& v : values) {
    sx += v.x;
    sy += v.y;
    sz += v.z;
  }
  const double count = static_cast<double>(n);
  spread.mean = Vector3(sx / count, sy / count, sz / count);
  if (n < 2) return spread;
  std::array<double, 9> sum{};
  for (const Vector3& v : values) {
    const double d[3] = {v.x - spread.mean.x, v.y - spread.mean.y, v.z - spread.mean.z};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) sum[3 * r + c] += d[r] * d[c];
  }
  for (int k = 0; k < 9; ++k) spread.covariance[k] = sum[k] / (count - 1);
  return spread;
}

double standardDeviation(const std::vector<double>& values) {
  const std::size_t n = values.size();
  if (n < 2) return 0.0;
  double sum = 0;
  for (double v : values) sum += v;
  const double mean = sum / static_cast<double>(n);
  double squares = 0;
  for (double v : values) squares += (v - mean) * (v - mean);
  return std::sqrt(squares / static_cast<double>(n - 1));
}

double quantile(std::vector<double> values, double fraction) {
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  fraction = std::clamp(fraction, 0.0, 1.0);
  const double position = fraction * static_cast<double>(values.size() - 1);
  const double below = std::floor(position);
  const std::size_t k = static_cast<std::size_t>(below);
  // The k-th smallest value, and the smallest of those after it: no full sort needed.
  const auto kth = values.begin() + static_cast<std::ptrdiff_t>(k);
  std::nth_element(values.begin(), kth, values.end());
  if (k + 1 >= values.size()) return *kth;
  const double next = *std::min_element(kth + 1, values.end());
  const double t = position - below;
  return *kth + t * (next - *kth);
}

double wrapDegrees(double angle) {
  double wrapped = std::fmod(angle, 360.0);  // exact, in (-360, 360)
  if (wrapped >= 180.0) wrapped -= 360.0;
  if (wrapped < -180.0) wrapped += 360.0;
  return wrapped;
}

}  // namespace sightline
