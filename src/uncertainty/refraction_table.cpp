#include "uncertainty/refraction_table.hpp"

#include <algorithm>
#include <cmath>

#include "earth/ray_cache.hpp"
#include "earth/refraction.hpp"

namespace sightline {

namespace {

// Six-point Lagrange interpolation: two nodes before the interval holding the
// apparent zenith angle and three after it, fewer on one side at the table's ends.
constexpr int kStencil = 6;
constexpr int kStencilBefore = 2;  // nodes before the interval's first node

// Shells computed per extension while looking for the top of the atmosphere.
constexpr std::size_t kShellBlock = 1024;

}  // namespace

RefractionTable::RefractionTable(double height, double baseRadius, double zenithLow, double zenithHigh) {
  if (!(zenithLow >= kTableMinZenith && zenithHigh <= kTableMaxZenith && zenithLow <= zenithHigh)) return;

  // Shells up to the first one whose index is exactly 1 (all above it are too).
  ShellProfile shells(height, baseRadius);
  std::size_t top = 0;
  while (true) {
    shells.extendTo(top + kShellBlock);
    const double* n = shells.indices();
    while (top + 1 < shells.size() && n[top] != 1.0) ++top;
    if (n[top] == 1.0) break;
    if (top >= static_cast<std::size_t>(kMaxTraceSteps)) return;  // no top within reach of a trace
  }

  // Nodes from zenithLow to zenithHigh, at least a stencil's worth.
  const double width = zenithHigh - zenithLow;
  const double most = zenithHigh > kTableLowZenith ? kTableLowNodeSpacing : kTableNodeSpacing;
  const std::size_t intervals =
      std::max<std::size_t>(kStencil - 1, static_cast<std::size_t>(std::ceil(width / most)));
  const double h = width > 0 ? width / static_cast<double>(intervals) : most;
  const std::size_t nodes = intervals + 1;
  const double origin = zenithLow;
  if (!(origin + static_cast<double>(intervals) * h < kPi / 2)) return;

  low_ = zenithLow;
  high_ = zenithHigh;
  spacing_ = h;
  origin_ = origin;
  top_ = top;
  startRadius_ = shells.startRadius();
  radius_.assign(shells.radii(), shells.radii() + top + 1);
  swept_.assign((top + 1) * nodes, 0.0);
  topZenith_.assign(nodes, 0.0);

  // Each node's ray, stepped exactly as the trace steps it.
  const double* r = shells.radii();
  const double* n = shells.indices();
  for (std::size_t j = 0; j < nodes; ++j) {
    double i = origin + static_cast<double>(j) * h;
    double swept = 0;
    for (std::size_t k = 0; k < top; ++k) {
      const double outer = std::asin(refraction_detail::crossShell(std::sin(i), r[k]));
      const double next = swept + (i - outer);
      i = refraction_detail::refractAtBoundary(outer, n[k], n[k + 1]);
      if (!(next > swept)) {  // a ray that stops climbing: leave it to the trace
        *this = RefractionTable();
        return;
      }
      swept = next;
      swept_[(k + 1) * nodes + j] = swept;
    }
    topZenith_[j] = i;
  }
  nodes_ = nodes;
}

bool RefractionTable::stencil(double z, std::size_t& first, double* weights) const {
  if (nodes_ == 0 || !(z >= low_ && z <= high_)) return false;
  const double u = (z - origin_) / spacing_;
  // Centred on the node interval holding z where it can be, one-sided at the ends.
  double start = std::floor(u) - kStencilBefore;
  const double lastStart = static_cast<double>(nodes_ - kStencil);
  if (start > lastStart) start = lastStart;
  if (start < 0) start = 0;
  const double t = u - start;
  first = static_cast<std::size_t>(start);
  for (int m = 0; m < kStencil; ++m) {
    double w = 1;
    for (int l = 0; l < kStencil; ++l) {
      if (l != m) w *= (t - l) / (m - l);
    }
    weights[m] = w;
  }
  return true;
}

double RefractionTable::sweptBelowTop(std::size_t k, std::size_t first, const double* weights) const {
  const double* s = swept_.data() + k * nodes_ + first;
  double sum = 0;
  for (int m = 0; m < kStencil; ++m) sum += weights[m] * s[m];
  return sum;
}

std::optional<double> RefractionTable::trueZenith(double apparentZenith, double targetAngle) const {
  std::size_t first = 0;
  double w[kStencil];
  if (!stencil(apparentZenith, first, w)) return std::nullopt;

  const double sweptTop = sweptBelowTop(top_, first, w);
  if (!(sweptTop < targetAngle)) {
    // Stopped below the top: first shell whose swept angle is not below the target.
    std::size_t lo = 0, hi = top_;
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (sweptBelowTop(mid, first, w) < targetAngle) lo = mid + 1;
      else hi = mid;
    }
    return refraction_detail::zenithOfRayEnd(sweptBelowTop(lo, first, w), startRadius_, radius_[lo],
                                              apparentZenith);
  }

  // Above the top the ray is straight: zenith i_k with r_k sin(i_k) = r_top sin(i_top),
  // and the swept angle is S_top + i_top - i_k.
  double iTop = 0;
  for (int m = 0; m < kStencil; ++m) iTop += w[m] * topZenith_[first + m];
  const double invariant = std::sin(iTop) * radius_[top_];
  const double reach = sweptTop + iTop;  // swept angle as the ray goes to infinity
  const double limit = static_cast<double>(kMaxTraceSteps);
  if (!(reach - targetAngle > 0)) return apparentZenith;  // never gets there
  auto radiusOf = [&](double k) { return startRadius_ + kShellStep * k; };
  auto sweptAt = [&](double k) { return reach - std::asin(invariant / radiusOf(k)); };

  const double needed = invariant / std::sin(reach - targetAngle);  // radius where the target is reached
  double k = std::ceil((needed - startRadius_) / kShellStep);
  const double topShell = static_cast<double>(top_);
  if (!(k <= limit + 1)) return apparentZenith;  // beyond the trace's step limit
  if (k <= topShell) k = topShell + 1;
  while (k - 1 > topShell && !(sweptAt(k - 1) < targetAngle)) k -= 1;
  while (sweptAt(k) < targetAngle && k <= limit) k += 1;
  if (k > limit) return apparentZenith;
  return refraction_detail::zenithOfRayEnd(sweptAt(k), startRadius_, radiusOf(k), apparentZenith);
}

}  // namespace sightline
