// Fisher's F-test of a nested least-squares model: whether the extra
// parameters of the fuller model lower the weighted residual sum by more
// than noise would. Its answer does not change when every sigma is
// multiplied by one constant (both sums scale alike).
#pragma once

#include <cstddef>

namespace sightline {

/// Regularised incomplete beta function I_x(a, b) (0 <= x <= 1, a, b > 0).
///
/// Notes: the continued fraction of Abramowitz & Stegun (1964), Handbook of
/// Mathematical Functions, 26.5.8, evaluated by the modified Lentz method
/// (Lentz 1976; Thompson & Barnett 1986), on the side of the symmetry
/// I_x(a, b) = 1 - I_{1-x}(b, a) where it converges fast (x < (a+1)/(a+b+2)).
double regularizedBeta(double x, double a, double b);

/// Probability that an F-distributed variable with d1 and d2 degrees of freedom
/// exceeds f (f >= 0): I_{d2/(d2 + d1 f)}(d2/2, d1/2) (Abramowitz & Stegun 26.6.2).
double fUpperTail(double f, double d1, double d2);

/// The f whose upper tail is `alpha` (0 < alpha < 1): the critical value at false-alarm rate alpha.
/// Bisection on fUpperTail to a relative 1e-12.
double fUpperQuantile(double alpha, double d1, double d2);

/// Result of an F-test of a model with `extra` more parameters.
struct FTest {
  double f = 0.0;           ///< ((S_simple - S_full)/d1) / (S_full/d2)
  double tail = 1.0;        ///< probability of an F at least this large by chance
  std::size_t d1 = 0, d2 = 0;  ///< degrees of freedom: extra parameters; points minus the full model's parameters
  bool significant = false; ///< tail < falseAlarm
};

/// F-test of the weighted residual sums `simple` and `full` (sigma units, any common
/// scale) of `points` residuals fitted with `fullParameters` (of which `extra` are
/// beyond the simple model). Not significant when points <= fullParameters.
FTest nestedFTest(double simple, double full, std::size_t points, std::size_t fullParameters, std::size_t extra,
                  double falseAlarm);

}  // namespace sightline
