#include "earth/refraction.hpp"

#include <cmath>

#include "geometry/angles.hpp"

namespace sightline {

namespace {

// Standard refraction coefficients of tan z and tan^3 z, arcseconds.
constexpr double kTanCoefficient = 58.276;
constexpr double kTanCubedCoefficient = 0.0824;
constexpr double kArcsecondsPerDegree = 3600;

// Dispersion of air: constant, 1/lambda^2 (m^2) and 1/lambda^4 (m^4) terms.
constexpr double kDispersion0 = 0.000287566;
constexpr double kDispersion2 = 1.3412e-18;
constexpr double kDispersion4 = 3.777e-32;

constexpr double kTraceWavelength = 5.8e-7;      // m
constexpr double kReferenceWavelength = 6.33e-7;  // m
constexpr double kReferencePressure = 1010;       // hPa
constexpr double kRefractivityCoefficient = 0.000786;  // K per kPa
constexpr double kReferenceTemperature = 283.15;  // K
constexpr double kLapseRate = 0.0065;             // K per m
constexpr double kDensityExponent = 4.255;

}  // namespace

double standardRefraction(double elevation) {
  const double t = std::tan(degToRad(90 - elevation));
  const double arcseconds = kTanCoefficient * t - kTanCubedCoefficient * (t * t * t);
  return arcseconds / kArcsecondsPerDegree;
}

double airRefractivity(double wavelength) {
  const double l = wavelength;
  return kDispersion0 + kDispersion2 / (l * l) + kDispersion4 / (l * l * l * l);
}

double refractivityAtBase() {
  static const double k = (0.1 * kReferencePressure * kRefractivityCoefficient / kReferenceTemperature) *
                          (airRefractivity(kTraceWavelength) / airRefractivity(kReferenceWavelength));
  return k;
}

double refractiveIndexAt(double height) {
  const double t = 1 - kLapseRate * height / kReferenceTemperature;
  if (t > 0) return 1 + refractivityAtBase() * std::pow(t, kDensityExponent);
  return 1;
}

namespace refraction_detail {

double zenithOfRayEnd(double swept, double r0, double r, double fallback) {
  const double c = std::cos(swept) - r0 / r;
  if (c == 0) return kPi / 2;
  if (c > 0) return std::atan(std::sin(swept) / c);
  if (c < 0) return kPi + std::atan(std::sin(swept) / c);  // end below the horizontal plane
  return fallback;                                          // not a number
}

}  // namespace refraction_detail

TraceOutcome traceRefractionOutcome(double apparentZenith, double height, double baseRadius,
                                    double targetAngle) {
  const double r0 = baseRadius + height;
  double r = r0;
  double i = apparentZenith;
  double swept = 0;
  double n = refractiveIndexAt(r - baseRadius);
  std::int64_t steps = 0;
  while (swept < targetAngle && steps < kMaxTraceSteps) {
    const double outer = std::asin(refraction_detail::crossShell(std::sin(i), r));
    const double next = swept + (i - outer);
    const double nOld = n;
    r = r + kShellStep;
    n = refractiveIndexAt(r - baseRadius);
    i = refraction_detail::refractAtBoundary(outer, nOld, n);
    ++steps;
    if (next <= swept) return {apparentZenith, steps};  // the ray stopped sweeping
    swept = next;
  }
  if (swept < targetAngle) return {apparentZenith, steps};  // step limit
  return {refraction_detail::zenithOfRayEnd(swept, r0, r, apparentZenith), steps};
}

double traceRefraction(double apparentZenith, double height, double baseRadius, double targetAngle) {
  return traceRefractionOutcome(apparentZenith, height, baseRadius, targetAngle).zenith;
}

}  // namespace sightline
