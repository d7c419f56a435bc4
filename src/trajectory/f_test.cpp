#include "trajectory/f_test.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sightline {

namespace {

/// Most terms of the continued fraction; it converges in O(sqrt(max(a, b))) terms.
constexpr int kMaxTerms = 10000;
/// Relative change of the fraction at which it has converged.
constexpr double kTolerance = 1e-15;
/// Stands in for zero denominators in Lentz's method.
constexpr double kTiny = 1e-300;

/// The continued fraction 1/(1+ d1/(1+ d2/(1+ ...))) of A&S 26.5.8.
double betaFraction(double x, double a, double b) {
  double f = kTiny, c = f, d = 0.0;
  for (int j = 1; j <= kMaxTerms; ++j) {
    double term = 1.0;
    if (j > 1) {
      const int k = j - 1;
      const double m = k / 2;
      term = k % 2 == 1 ? -(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1))
                        : m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m));
    }
    d = 1.0 + term * d;
    d = std::fabs(d) < kTiny ? 1.0 / kTiny : 1.0 / d;
    c = 1.0 + term / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    const double delta = c * d;
    f *= delta;
    if (std::fabs(delta - 1.0) < kTolerance) break;
  }
  return f;
}

}  // namespace

double regularizedBeta(double x, double a, double b) {
  if (!(x > 0.0)) return 0.0;
  if (!(x < 1.0)) return 1.0;
  if (x > (a + 1.0) / (a + b + 2.0)) return 1.0 - regularizedBeta(1.0 - x, b, a);
  const double logFront = a * std::log(x) + b * std::log1p(-x) - std::log(a) -
                          (std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b));
  return std::exp(logFront) * betaFraction(x, a, b);
}

double fUpperTail(double f, double d1, double d2) {
  if (!(f > 0.0)) return 1.0;
  if (std::isinf(f)) return 0.0;
  return regularizedBeta(d2 / (d2 + d1 * f), d2 / 2.0, d1 / 2.0);
}

double fUpperQuantile(double alpha, double d1, double d2) {
  double low = 0.0, high = 1.0;
  while (fUpperTail(high, d1, d2) > alpha && high < 1e300) high *= 2.0;
  while (high - low > 1e-12 * high) {
    const double middle = 0.5 * (low + high);
    (fUpperTail(middle, d1, d2) > alpha ? low : high) = middle;
  }
  return 0.5 * (low + high);
}

FTest nestedFTest(double simple, double full, std::size_t points, std::size_t fullParameters, std::size_t extra,
                  double falseAlarm) {
  FTest test;
  test.d1 = extra;
  if (points <= fullParameters || extra == 0) return test;
  test.d2 = points - fullParameters;
  const double gain = std::max(simple - full, 0.0) / static_cast<double>(test.d1);
  const double noise = full / static_cast<double>(test.d2);
  test.f = noise > 0.0 ? gain / noise : (gain > 0.0 ? std::numeric_limits<double>::infinity() : 0.0);
  test.tail = fUpperTail(test.f, static_cast<double>(test.d1), static_cast<double>(test.d2));
  test.significant = test.tail < falseAlarm;
  return test;
}

}  // namespace sightline
