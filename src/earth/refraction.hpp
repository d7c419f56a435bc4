// Atmospheric refraction: the standard formula and the layered ray trace.
//
// Model atmosphere of the trace: spherical shells 10 m thick about the Earth's
// centre, the first starting at the ViewPoint; heights are measured from the
// base radius (the ellipsoid beneath the ViewPoint). Each shell has the index
// of its lower boundary.
#pragma once

#include <cmath>
#include <cstdint>

namespace sightline {

/// Radius gained per step of the trace, metres.
inline constexpr double kShellStep = 10.0;
/// Most steps one trace takes (1000 km of climb) before it gives up.
inline constexpr std::int64_t kMaxTraceSteps = 100000;

/// Refraction (degrees, positive: seen higher) of the closed formula at elevation `elevation` (degrees).
double standardRefraction(double elevation);

/// Refractivity n - 1 of air at wavelength `wavelength` (metres).
double airRefractivity(double wavelength);

/// Refractivity at height 0 of the trace's model, at the trace's wavelength.
double refractivityAtBase();

/// Refractive index of the model atmosphere at `height` metres above the base radius.
double refractiveIndexAt(double height);

/// What one trace did: the true zenith angle and the number of steps taken.
struct TraceOutcome {
  double zenith = 0.0;     ///< radians
  std::int64_t steps = 0;  ///< shells crossed
};

/// True zenith angle (radians) of the place a ray reaches when it has swept the
/// angle `targetAngle` (radians) at the Earth's centre, for a ray leaving at
/// apparent zenith angle `apparentZenith` (radians) a ViewPoint `height` metres
/// above the base radius `baseRadius` (metres). A ray that cannot reach the
/// target angle (stops sweeping, or climbs 1000 km) leaves z0 uncorrected.
double traceRefraction(double apparentZenith, double height, double baseRadius, double targetAngle);

/// traceRefraction, also reporting the number of steps.
TraceOutcome traceRefractionOutcome(double apparentZenith, double height, double baseRadius,
                                    double targetAngle);

namespace refraction_detail {

/// Sine of the zenith angle at which a straight path entering a shell at radius r
/// with sine sinI of its zenith angle reaches the shell's outer boundary.
inline double crossShell(double sinI, double r) { return sinI * r / (r + kShellStep); }

/// Zenith angle (radians) after Snell's law at a boundary from index nOld into index n.
inline double refractAtBoundary(double outer, double nOld, double n) {
  return std::asin(std::sin(outer) * nOld / n);
}

/// Zenith angle (radians), seen from the ViewPoint at radius r0, of the ray's end
/// at radius r after sweeping `swept` at the centre; `fallback` when undefined.
double zenithOfRayEnd(double swept, double r0, double r, double fallback);

}  // namespace refraction_detail

}  // namespace sightline
