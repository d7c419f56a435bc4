#include "earth/ray_cache.hpp"

#include <algorithm>
#include <cmath>

#include "earth/refraction.hpp"

namespace sightline {

namespace {
// Steps computed between two checks of the storage; keeps allocation out of the stepping loop.
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kMaxSteps = static_cast<std::size_t>(kMaxTraceSteps);

// Room for `size` values, growing geometrically so that extending block by block copies little.
void reserveFor(std::vector<double>& values, std::size_t size) {
  if (values.capacity() < size) values.reserve(std::max(size, 2 * values.capacity()));
}
}  // namespace

ShellProfile::ShellProfile(double height, double baseRadius) : baseRadius_(baseRadius) {
  const double start = baseRadius + height;
  radius_.push_back(start);
  index_.push_back(refractiveIndexAt(start - baseRadius));
}

void ShellProfile::extendTo(std::size_t last) {
  if (last < radius_.size()) return;
  reserveFor(radius_, last + 1);
  reserveFor(index_, last + 1);
  double r = radius_.back();
  while (radius_.size() <= last) {
    r = r + kShellStep;
    radius_.push_back(r);
    index_.push_back(refractiveIndexAt(r - baseRadius_));
  }
}

TracedRay::TracedRay(double apparentZenith)
    : apparentZenith_(apparentZenith), zenith_(apparentZenith), swept_{0.0} {}

void TracedRay::extend(ShellProfile& shells, double targetAngle) {
  while (!finished_ && swept_.back() < targetAngle) {
    const std::size_t done = swept_.size() - 1;
    if (done >= kMaxSteps) {
      finished_ = true;
      break;
    }
    const std::size_t last = std::min(done + kBlock, kMaxSteps);
    shells.extendTo(last);
    reserveFor(swept_, last + 1);
    const double* r = shells.radii();
    const double* n = shells.indices();
    double i = zenith_;
    double swept = swept_.back();
    std::size_t k = done;
    while (k < last && swept < targetAngle) {
      const double outer = std::asin(refraction_detail::crossShell(std::sin(i), r[k]));
      const double next = swept + (i - outer);
      i = refraction_detail::refractAtBoundary(outer, n[k], n[k + 1]);
      ++k;
      if (!(next > swept)) {
        // Not sweeping any more (or not a number): no later step can be taken.
        finished_ = true;
        if (std::isnan(next)) swept_.push_back(next);
        break;
      }
      swept = next;
      swept_.push_back(swept);
    }
    zenith_ = i;
  }
}

double TracedRay::trueZenith(ShellProfile& shells, double targetAngle) {
  if (!(swept_.back() >= targetAngle)) extend(shells, targetAngle);
  // First step count at which the swept angle is no longer below the target.
  const auto end = std::partition_point(swept_.begin(), swept_.end(),
                                        [targetAngle](double s) { return s < targetAngle; });
  if (end == swept_.end()) return apparentZenith_;  // the ray never gets there
  const std::size_t k = static_cast<std::size_t>(end - swept_.begin());
  return refraction_detail::zenithOfRayEnd(*end, shells.startRadius(), shells.radii()[k], apparentZenith_);
}

}  // namespace sightline
