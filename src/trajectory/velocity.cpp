#include "trajectory/velocity.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "trajectory/f_test.hpp"

namespace sightline {

namespace {

/// Huber's tuning constant, in units of the scale: 95% efficiency for Gaussian errors (Huber 1964).
constexpr double kHuberTuning = 1.345;
/// Median absolute deviation to standard deviation for Gaussian errors.
constexpr double kMadToSigma = 1.4826;
/// A station needs this many timed points for a fitted clock offset.
constexpr std::size_t kMinPointsForOffset = 4;
/// The deceleration model needs this many timed points beyond its parameters (4 + fitted offsets).
constexpr std::size_t kMinSparePoints = 2;
/// Range of the grid search over |a2|, 1/s; fits beyond the upper end are rejected.
constexpr double kMinDecayRate = 0.05;
constexpr double kMaxDecayRate = 100.0;
/// Fits with |a2| below this (1/s) are rejected: |a1| = deceleration/|a2|^2 runs to
/// millions of metres, the data show a parabola rather than the exponential.
constexpr double kMinPlausibleDecayRate = 0.01;
/// Grid points per decade of |a2|.
constexpr double kGridPerDecade = 8.0;
/// Largest |a2|*t allowed (exp(50) = 5e21: beyond it the term is a numerical artefact).
constexpr double kMaxExponent = 50.0;
/// False-alarm rate of the F-test that the deceleration term must pass: the probability of
/// taking a constant speed for a deceleration.
constexpr double kDecelerationFalseAlarm = 0.001;
/// Relative size of a length's rounding: residuals this small are no evidence of anything.
constexpr double kRoundingLength = 1e-12;
/// Parameters the deceleration term adds to the straight line (d and |a2| at the pivot).
constexpr std::size_t kDecelerationParameters = 2;
/// Most reweightings of the straight-line fit.
constexpr int kMaxReweightings = 20;
/// Reweighting stops when no robust weight changes by more than this.
constexpr double kWeightTolerance = 1e-4;
/// Most Levenberg-Marquardt iterations.
constexpr int kMaxIterations = 100;
/// Levenberg-Marquardt has converged when a step moves no modelled length by more than
/// this fraction of the smallest sigma.
constexpr double kRelativeLengthTolerance = 1e-4;
/// The robust scale has settled when it changes by less than this fraction (it only sets
/// the Huber bound: 1% there moves the fit by a small fraction of the noise).
constexpr double kScaleTolerance = 1e-2;
/// Most re-estimations of the robust scale in the refinement.
constexpr int kMaxScaleRounds = 10;
/// Levenberg-Marquardt has also converged after kFlatSteps steps in a row that each lower
/// the loss by less than this fraction: a flat valley of parameters that fit equally well.
constexpr double kFlatLoss = 1e-6;
constexpr int kFlatSteps = 3;
/// Damping of the first Levenberg-Marquardt step, and the damping at which no step helps any more.
constexpr double kInitialDamping = 1e-6;
constexpr double kMaxDamping = 1e12;
/// Newton's curvature takes over once a step moves no modelled length by more than this
/// fraction of the smallest sigma, and gives way when damping beyond kNewtonDamping is needed.
constexpr double kNewtonSwitch = 0.1;
constexpr double kNewtonDamping = 1.0;
/// Floor of the damped diagonal, relative to the largest diagonal entry.
constexpr double kDiagonalFloor = 1e-15;

/// Which station each point belongs to and which offsets are fitted.
struct Layout {
  std::vector<std::size_t> stations;  // station indices in order of first appearance
  std::vector<std::size_t> count;     // per station: timed points
  std::vector<int> column;            // per station: index among the fitted offsets, -1 when fixed at 0
  std::size_t reference = 0;          // index into stations
  int offsets = 0;                    // number of fitted offsets
};

/// The points as the fit sees them: times from the earliest time.
struct Problem {
  const std::vector<TimedPoint>* points = nullptr;
  Layout layout;
  double epoch = 0.0;        // s: latest time of any point (own clocks)
  std::vector<double> time;  // per point: time - epoch, s (own clock)
  std::vector<int> column;   // per point: fitted-offset column, -1 when none
};

/// Model parameters at the pivot, the internal time 0 (Problem::epoch, reference clock):
///   length(t) = c + v*t - d*t^2*g(k*t),   g(x) = (exp(x) - 1 - x)/x^2,
/// which is c' + vInf*t - a1*exp(a2*t) with a2 = k, a1 = d/k^2, vInf = v + d/k, c' = c + a1,
/// and a parabola as k -> 0: the straight line and the exponential meet smoothly, and the
/// deceleration d stays well determined however poorly the data fix k.
struct Params {
  double c = 0.0;              // m: length at the pivot
  double v = 0.0;              // m/s: speed at the pivot
  double d = 0.0;              // m/s^2: deceleration at the pivot (0: straight line)
  double k = 0.0;              // 1/s: |a2|
  std::vector<double> offset;  // s, per fitted-offset column
};

/// Scratch arrays reused by every step of one fit.
struct Workspace {
  std::vector<double> normal, rhs, row, u, h, sorted, model;
};

Layout layoutOf(const std::vector<TimedPoint>& points, ClockOffsetMode mode, std::vector<std::size_t>& slotOf) {
  Layout layout;
  slotOf.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    const auto found = std::find(layout.stations.begin(), layout.stations.end(), points[i].station);
    slotOf[i] = static_cast<std::size_t>(found - layout.stations.begin());
    if (found == layout.stations.end()) {
      layout.stations.push_back(points[i].station);
      layout.count.push_back(0);
    }
    ++layout.count[slotOf[i]];
  }
  for (std::size_t s = 1; s < layout.count.size(); ++s)
    if (layout.count[s] > layout.count[layout.reference]) layout.reference = s;
  layout.column.assign(layout.stations.size(), -1);
  for (std::size_t s = 0; s < layout.stations.size(); ++s)
    if (mode == ClockOffsetMode::Fit && s != layout.reference && layout.count[s] >= kMinPointsForOffset)
      layout.column[s] = layout.offsets++;
  return layout;
}

Problem problemOf(const std::vector<TimedPoint>& points, ClockOffsetMode mode) {
  Problem p;
  p.points = &points;
  std::vector<std::size_t> slotOf;
  p.layout = layoutOf(points, mode, slotOf);
  p.epoch = points.front().time;
  // Times count from the latest point: the exponential term is largest and best known
  // there, which keeps |a1| and |a2| least correlated, and exp(|a2|*t) <= 1 cannot overflow.
  for (const TimedPoint& point : points) p.epoch = std::max(p.epoch, point.time);
  p.time.resize(points.size());
  p.column.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    p.time[i] = points[i].time - p.epoch;
    p.column[i] = p.layout.column[slotOf[i]];
  }
  return p;
}

/// Time of point i on the reference clock, s from the epoch.
double referenceTime(const Problem& p, const Params& x, std::size_t i) {
  return p.column[i] >= 0 ? p.time[i] - x.offset[static_cast<std::size_t>(p.column[i])] : p.time[i];
}

/// Below this |x| the shape functions use their power series (no cancellation).
constexpr double kSeriesBound = 0.5;
/// Terms of the series: the first left out is below 1e-17 of the sum for |x| < 0.5.
constexpr int kSeriesTerms = 14;

/// The shape functions of the model at x = k*t:
///   growth  expm1(x)/x                    (speed:  v - d*t*growth)
///   bend    g(x) = (exp(x) - 1 - x)/x^2   (length: c + v*t - d*t^2*bend)
///   slope   g'(x) = ((x - 2)*expm1(x) + 2x)/x^3
/// from one expm1, or from their power series sum x^n/(n+1)!, x^n/(n+2)!, (n+1)x^n/(n+3)!
/// near 0 where the closed forms cancel.
struct Shape {
  double growth, bend, slope;
};

/// Coefficients of the shape functions' power series.
struct SeriesCoefficients {
  double growth[kSeriesTerms], bend[kSeriesTerms], slope[kSeriesTerms];
};

constexpr SeriesCoefficients seriesCoefficients() {
  SeriesCoefficients c{};
  double factorial = 1.0;  // (n+1)!
  for (int n = 0; n < kSeriesTerms; ++n) {
    c.growth[n] = 1.0 / factorial;
    c.bend[n] = 1.0 / (factorial * (n + 2));
    c.slope[n] = (n + 1) / (factorial * (n + 2) * (n + 3));
    factorial *= n + 2;
  }
  return c;
}

constexpr SeriesCoefficients kSeries = seriesCoefficients();

Shape shapeAt(double x) {
  if (std::fabs(x) >= kSeriesBound) {
    const double e = std::expm1(x);
    return {e / x, (e - x) / (x * x), ((x - 2.0) * e + 2.0 * x) / (x * x * x)};
  }
  Shape s{0.0, 0.0, 0.0};
  for (int n = kSeriesTerms - 1; n >= 0; --n) {  // Horner
    s.growth = s.growth * x + kSeries.growth[n];
    s.bend = s.bend * x + kSeries.bend[n];
    s.slope = s.slope * x + kSeries.slope[n];
  }
  return s;
}

/// g(x) alone (the lengths need no more).
double curvatureShape(double x) {
  if (std::fabs(x) >= kSeriesBound) return (std::expm1(x) - x) / (x * x);
  double bend = 0.0;
  for (int n = kSeriesTerms - 1; n >= 0; --n) bend = bend * x + kSeries.bend[n];
  return bend;
}

double lengthAt(const Params& x, double t) { return x.c + x.v * t - x.d * t * t * curvatureShape(x.k * t); }

double speedAt(const Params& x, double t) { return x.v - x.d * t * shapeAt(x.k * t).growth; }

/// Solves a x = b for symmetric positive definite a (n x n, row-major) by Cholesky;
/// a becomes its factor, b becomes x. False when a is not positive definite.
bool choleskySolve(std::vector<double>& a, std::vector<double>& b, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    double d = a[j * n + j];
    for (std::size_t k = 0; k < j; ++k) d -= a[j * n + k] * a[j * n + k];
    if (!(d > 0.0)) return false;
    const double root = std::sqrt(d);
    a[j * n + j] = root;
    for (std::size_t i = j + 1; i < n; ++i) {
      double s = a[i * n + j];
      for (std::size_t k = 0; k < j; ++k) s -= a[i * n + k] * a[j * n + k];
      a[i * n + j] = s / root;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    double s = b[i];
    for (std::size_t k = 0; k < i; ++k) s -= a[i * n + k] * b[k];
    b[i] = s / a[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    double s = b[i];
    for (std::size_t k = i + 1; k < n; ++k) s -= a[k * n + i] * b[k];
    b[i] = s / a[i * n + i];
  }
  return true;
}

/// Adds curvature * row^T row to the lower triangle of `normal` and slope * row * r to `rhs`.
void accumulate(Workspace& ws, std::size_t n, double curvature, double slope, double r) {
  for (std::size_t i = 0; i < n; ++i) {
    if (ws.row[i] == 0.0) continue;
    const double wi = curvature * ws.row[i];
    for (std::size_t j = 0; j <= i; ++j) ws.normal[i * n + j] += wi * ws.row[j];
    ws.rhs[i] += slope * ws.row[i] * r;
  }
}

void clearNormal(Workspace& ws, std::size_t n) {
  ws.normal.assign(n * n, 0.0);
  ws.rhs.assign(n, 0.0);
  ws.row.assign(n, 0.0);
}

void mirrorNormal(Workspace& ws, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) ws.normal[j * n + i] = ws.normal[i * n + j];
}

/// Robust scale of normalised residuals u (sigma units): 1.4826 * median|u|, at least 1,
/// so that the sigmas stand as a floor (exact data is not all outliers).
double robustScale(const std::vector<double>& u, std::vector<double>& sorted) {
  sorted.resize(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) sorted[i] = std::fabs(u[i]);
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return std::max(kMadToSigma * *middle, 1.0);
}

double huberWeight(double u, double scale) {
  const double bound = kHuberTuning * scale;
  return std::fabs(u) <= bound ? 1.0 : bound / std::fabs(u);
}

double huberLoss(double u, double scale) {
  const double bound = kHuberTuning * scale;
  const double a = std::fabs(u);
  return a <= bound ? 0.5 * a * a : bound * a - 0.5 * bound * bound;
}

/// Normalised residuals (length - model)/sigma of parameters x into ws.u; returns the robust scale
/// and puts the Huber weights into ws.h.
double reweight(const Problem& p, const Params& x, Workspace& ws) {
  const std::vector<TimedPoint>& points = *p.points;
  ws.u.resize(points.size());
  ws.h.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i)
    ws.u[i] = (points[i].length - lengthAt(x, referenceTime(p, x, i))) / points[i].sigma;
  const double scale = robustScale(ws.u, ws.sorted);
  for (std::size_t i = 0; i < points.size(); ++i) ws.h[i] = huberWeight(ws.u[i], scale);
  return scale;
}

/// Sum of Huber losses of parameters x at a given scale (sigma units).
double robustLoss(const Problem& p, const Params& x, double scale) {
  double sum = 0.0;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    const TimedPoint& point = (*p.points)[i];
    sum += huberLoss((point.length - lengthAt(x, referenceTime(p, x, i))) / point.sigma, scale);
  }
  return sum;
}

/// Weighted linear least squares of length = c + v*t - d_s (d_s = v*offset_s) with weights
/// ws.h / sigma^2. Returns false when singular; else the parameters (offsets = d/v) and the
/// weighted sum of squares.
bool lineFit(const Problem& p, Params& x, double& ssr, Workspace& ws) {
  const std::vector<TimedPoint>& points = *p.points;
  const std::size_t n = 2 + static_cast<std::size_t>(p.layout.offsets);
  clearNormal(ws, n);
  for (std::size_t i = 0; i < points.size(); ++i) {
    std::fill(ws.row.begin(), ws.row.end(), 0.0);
    ws.row[0] = 1.0;
    ws.row[1] = p.time[i];
    if (p.column[i] >= 0) ws.row[2 + static_cast<std::size_t>(p.column[i])] = -1.0;
    const double w = ws.h[i] / (points[i].sigma * points[i].sigma);
    accumulate(ws, n, w, w, points[i].length);
  }
  mirrorNormal(ws, n);
  if (!choleskySolve(ws.normal, ws.rhs, n)) return false;
  x = Params{ws.rhs[0], ws.rhs[1], 0.0, 0.0, std::vector<double>(static_cast<std::size_t>(p.layout.offsets), 0.0)};
  ssr = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    double m = x.c + x.v * p.time[i];
    if (p.column[i] >= 0) m -= ws.rhs[2 + static_cast<std::size_t>(p.column[i])];
    const double r = (points[i].length - m) / points[i].sigma;
    ssr += ws.h[i] * r * r;
  }
  if (x.v != 0.0)
    for (std::size_t j = 0; j < x.offset.size(); ++j) x.offset[j] = ws.rhs[2 + j] / x.v;
  return true;
}

/// For a fixed |a2| = k the model with offsets,
///   c + vInf*(t - o_s) - a1*exp(k*(t - o_s)) = c + vInf*t - d_s - b_s*exp(k*t),
/// is linear in c, vInf, d_s = vInf*o_s and b_s = a1*exp(-k*o_s) when every station with a
/// fitted offset gets its own amplitude b_s: a relaxation that holds the true model, needs no
/// offsets in advance, and is exact for exact data. Weighted (ws.h / sigma^2) least squares in
/// the points' own times t (s from the epoch); returns false when singular, else the pivot
/// parameters (offsets = d_s/vInf) and the weighted sum of squares.
bool decayFit(const Problem& p, double k, Params& x, double& ssr, Workspace& ws) {
  const std::vector<TimedPoint>& points = *p.points;
  const std::size_t m = static_cast<std::size_t>(p.layout.offsets);
  const std::size_t n = 3 + 2 * m;
  clearNormal(ws, n);
  ws.model.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    std::fill(ws.row.begin(), ws.row.end(), 0.0);
    ws.row[0] = 1.0;
    ws.row[1] = p.time[i];
    ws.model[i] = -std::exp(k * p.time[i]);
    const std::size_t j = static_cast<std::size_t>(p.column[i]);
    if (p.column[i] >= 0) {
      ws.row[3 + j] = -1.0;
      ws.row[3 + m + j] = ws.model[i];
    } else {
      ws.row[2] = ws.model[i];
    }
    const double w = ws.h[i] / (points[i].sigma * points[i].sigma);
    accumulate(ws, n, w, w, points[i].length);
  }
  mirrorNormal(ws, n);
  if (!choleskySolve(ws.normal, ws.rhs, n)) return false;
  ssr = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const std::size_t j = static_cast<std::size_t>(p.column[i]);
    const double mi = ws.rhs[0] + ws.rhs[1] * p.time[i] +
                      (p.column[i] >= 0 ? -ws.rhs[3 + j] + ws.rhs[3 + m + j] * ws.model[i] : ws.rhs[2] * ws.model[i]);
    const double r = (points[i].length - mi) / points[i].sigma;
    ssr += ws.h[i] * r * r;
  }
  const double a1 = ws.rhs[2], vInf = ws.rhs[1];
  x = Params{ws.rhs[0] - a1, vInf - a1 * k, a1 * k * k, k, std::vector<double>(m, 0.0)};
  if (vInf != 0.0)
    for (std::size_t j = 0; j < m; ++j) x.offset[j] = ws.rhs[3 + j] / vInf;
  return true;
}

/// Robust straight-line fit with offsets by iteratively reweighted least squares.
/// Leaves the final Huber weights in ws.h; returns false when singular.
bool fitConstant(const Problem& p, Params& x, Workspace& ws) {
  ws.h.assign(p.time.size(), 1.0);
  std::vector<double> previous;
  double ssr = 0.0;
  for (int pass = 0; pass < kMaxReweightings; ++pass) {
    if (!lineFit(p, x, ssr, ws)) return false;
    previous = ws.h;
    reweight(p, x, ws);
    double change = 0.0;
    for (std::size_t i = 0; i < previous.size(); ++i) change = std::max(change, std::fabs(ws.h[i] - previous[i]));
    if (change <= kWeightTolerance) break;
  }
  return true;
}

/// Largest time (s from the epoch, reference clock) of any point under x.
double lastTime(const Problem& p, const Params& x) {
  double last = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < p.time.size(); ++i) last = std::max(last, referenceTime(p, x, i));
  return last;
}

/// Latest minus earliest time (s, reference clock) of the points under x.
double timeSpan(const Problem& p, const Params& x) {
  double first = std::numeric_limits<double>::infinity(), last = -first;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    first = std::min(first, referenceTime(p, x, i));
    last = std::max(last, referenceTime(p, x, i));
  }
  return last - first;
}

/// Grid search over |a2| (log-spaced) of decayFit() with weights ws.h, up to the |a2| that
/// the time span of the points under `around` allows. False when no |a2| gives a
/// decelerating fit (d > 0).
bool scanDecayRate(const Problem& p, const Params& around, Params& best, Workspace& ws) {
  const double span = timeSpan(p, around);
  const double highest = span > 0.0 ? std::min(kMaxDecayRate, kMaxExponent / span) : kMaxDecayRate;
  const double step = std::pow(10.0, 1.0 / kGridPerDecade);
  double bestSsr = std::numeric_limits<double>::infinity();
  Params x;
  for (double k = kMinDecayRate; k <= highest; k *= step) {
    double ssr = 0.0;
    if (!decayFit(p, k, x, ssr, ws) || !(x.d > 0.0) || !(ssr < bestSsr)) continue;
    bestSsr = ssr;
    best = x;
  }
  return std::isfinite(bestSsr);
}

/// Jacobian row of point i (d model length / d [c, v, d, k, offsets]) into ws.row; returns the model length.
double jacobianRow(const Problem& p, const Params& x, std::size_t i, Workspace& ws) {
  const double t = referenceTime(p, x, i);
  const Shape shape = shapeAt(x.k * t);
  std::fill(ws.row.begin(), ws.row.end(), 0.0);
  ws.row[0] = 1.0;
  ws.row[1] = t;
  ws.row[2] = -t * t * shape.bend;
  ws.row[3] = -x.d * t * t * t * shape.slope;
  if (p.column[i] >= 0) ws.row[4 + static_cast<std::size_t>(p.column[i])] = -(x.v - x.d * t * shape.growth);
  return x.c + x.v * t - x.d * t * t * shape.bend;
}

/// x + step (k may pass through 0 and below: the model is smooth there; the result is judged after).
Params stepped(const Params& x, const std::vector<double>& step) {
  Params y = x;
  y.c += step[0];
  y.v += step[1];
  y.d += step[2];
  y.k += step[3];
  for (std::size_t j = 0; j < y.offset.size(); ++j) y.offset[j] += step[4 + j];
  return y;
}

/// Sum of Huber losses of y at `scale` and the largest change of any modelled length from
/// ws.model; infinite when |a2| times the time span exceeds the allowed exponent.
double trialLoss(const Problem& p, const Params& y, double scale, const Workspace& ws, double& change) {
  if (std::fabs(y.k) * timeSpan(p, y) > kMaxExponent) return std::numeric_limits<double>::infinity();
  double loss = 0.0;
  change = 0.0;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    const TimedPoint& point = (*p.points)[i];
    const double m = lengthAt(y, referenceTime(p, y, i));
    loss += huberLoss((point.length - m) / point.sigma, scale);
    change = std::max(change, std::fabs(m - ws.model[i]));
  }
  return loss;
}

enum class Refined { Converged, NotConverged };

/// Normal equations of the Huber loss at x and a fixed scale: gradient from the clipped
/// residuals; curvature from the IRLS weights (a majoriser of the loss: safe far from the
/// minimum) or, with `newton`, from the points inside the Huber bound only (the loss is
/// linear beyond it: Newton's fast convergence near the minimum). IRLS weights go into
/// ws.h, model lengths into ws.model; returns the loss.
double buildNormal(const Problem& p, const Params& x, std::size_t n, double scale, bool newton, Workspace& ws) {
  clearNormal(ws, n);
  ws.model.resize(p.time.size());
  ws.h.resize(p.time.size());
  double loss = 0.0;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    const TimedPoint& point = (*p.points)[i];
    ws.model[i] = jacobianRow(p, x, i, ws);
    const double r = point.length - ws.model[i];
    ws.h[i] = huberWeight(r / point.sigma, scale);
    const double inverseVariance = 1.0 / (point.sigma * point.sigma);
    const double curvature = newton ? (ws.h[i] == 1.0 ? inverseVariance : 0.0) : ws.h[i] * inverseVariance;
    accumulate(ws, n, curvature, ws.h[i] * inverseVariance, r);
    loss += huberLoss(r / point.sigma, scale);
  }
  mirrorNormal(ws, n);
  return loss;
}

/// Damped step: solves (N + lambda*diag(N)) step = rhs; false when not positive definite.
bool dampedStep(const Workspace& ws, std::size_t n, double lambda, std::vector<double>& a, std::vector<double>& step) {
  double largest = 0.0;
  for (std::size_t i = 0; i < n; ++i) largest = std::max(largest, ws.normal[i * n + i]);
  a = ws.normal;
  step = ws.rhs;
  for (std::size_t i = 0; i < n; ++i) a[i * n + i] += lambda * std::max(ws.normal[i * n + i], kDiagonalFloor * largest);
  return choleskySolve(a, step, n);
}

/// Levenberg-Marquardt over [c, v, a, k, offsets] on the Huber loss at a fixed scale
/// (Marquardt 1963; IRLS weights in the normal matrix). Counts its iterations into `iterations`.
Refined minimiseAtScale(const Problem& p, Params& x, double scale, double tolerance, double& lambda, int& iterations,
                        Workspace& ws) {
  const std::size_t n = 4 + static_cast<std::size_t>(p.layout.offsets);
  std::vector<double> a, step;
  bool newton = false;
  int flat = 0;  // consecutive steps that lowered the loss by a negligible fraction
  while (iterations < kMaxIterations) {
    ++iterations;
    const double loss = buildNormal(p, x, n, scale, newton, ws);
    double change = 0.0, lowered = loss;
    bool accepted = false;
    for (; !accepted && lambda <= (newton ? kNewtonDamping : kMaxDamping); lambda *= 10.0) {
      if (!dampedStep(ws, n, lambda, a, step)) continue;
      const Params y = stepped(x, step);
      lowered = trialLoss(p, y, scale, ws, change);
      if (lowered <= loss) {
        x = y;
        accepted = true;
      }
    }
    // A flat valley (|a2| poorly fixed by noisy data): the loss no longer changes.
    flat = accepted && loss - lowered <= kFlatLoss * loss ? flat + 1 : 0;
    if (flat >= kFlatSteps) return Refined::Converged;
    lambda = std::max(lambda * 0.01, 1e-12);  // undo the last *10, then relax
    if (!accepted && newton) {                // Newton's curvature misled: back to the majoriser
      newton = false;
      lambda = kInitialDamping;
      continue;
    }
    if (!accepted || change <= tolerance) return Refined::Converged;  // not accepted: a minimum to rounding
    newton = change <= kNewtonSwitch * tolerance / kRelativeLengthTolerance;
  }
  return Refined::NotConverged;
}

/// Robust refinement: the Huber minimisation with the scale taken from the residuals,
/// repeated until the scale settles; with a fixed scale (> 0) once at that scale.
Refined refine(const Problem& p, Params& x, double fixedScale, int& iterations, Workspace& ws) {
  double smallest = std::numeric_limits<double>::infinity();
  for (const TimedPoint& point : *p.points) smallest = std::min(smallest, point.sigma);
  const double tolerance = kRelativeLengthTolerance * smallest;
  iterations = 0;
  double lambda = kInitialDamping;
  if (fixedScale > 0.0) return minimiseAtScale(p, x, fixedScale, tolerance, lambda, iterations, ws);
  double scale = reweight(p, x, ws);
  for (int round = 0; round < kMaxScaleRounds; ++round) {
    if (minimiseAtScale(p, x, scale, tolerance, lambda, iterations, ws) != Refined::Converged)
      return Refined::NotConverged;
    const double settled = reweight(p, x, ws);
    if (std::fabs(settled - scale) <= kScaleTolerance * scale) return Refined::Converged;
    scale = settled;
  }
  return Refined::Converged;
}

std::string number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

/// The fit's output fields from internal parameters x (times shifted to t0) and the weights ws.h.
void fillFit(const Problem& p, const Params& x, VelocityModel model, double scale, const Workspace& ws,
             VelocityFit& fit) {
  const std::vector<TimedPoint>& points = *p.points;
  double first = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < points.size(); ++i) first = std::min(first, referenceTime(p, x, i));
  fit.ok = true;
  fit.model = model;
  fit.t0 = p.epoch + first;
  const bool exponential = model == VelocityModel::Exponential;
  const double a1AtPivot = exponential ? x.d / (x.k * x.k) : 0.0;
  fit.vInf = exponential ? x.v + x.d / x.k : x.v;
  fit.c = x.c + a1AtPivot + fit.vInf * first;
  fit.a1 = exponential ? a1AtPivot * std::exp(x.k * first) : 0.0;
  fit.a2 = exponential ? x.k : 0.0;
  fit.referenceStation = p.layout.stations[p.layout.reference];
  fit.offsets.clear();
  for (std::size_t s = 0; s < p.layout.stations.size(); ++s) {
    const int column = p.layout.column[s];
    fit.offsets.push_back(
        {p.layout.stations[s], column >= 0 ? x.offset[static_cast<std::size_t>(column)] : 0.0, column >= 0});
  }
  // Speeds and residuals from the pivot parameters: no cancellation of vInf against |a1||a2|.
  fit.initialVelocity = speedAt(x, first);
  fit.t.resize(points.size());
  fit.speed.resize(points.size());
  fit.lag.resize(points.size());
  fit.weight = ws.h;
  fit.scale = scale;
  double sum = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double t = referenceTime(p, x, i);
    const double r = points[i].length - lengthAt(x, t);
    sum += r * r;
    fit.t[i] = t - first;
    fit.speed[i] = speedAt(x, t);
    fit.lag[i] = points[i].length - (fit.initialVelocity * fit.t[i] + fit.c);
  }
  fit.rms = std::sqrt(sum / static_cast<double>(points.size()));
  fit.finalVelocity = speedAt(x, lastTime(p, x));
}

/// F-test of the deceleration fit x against the straight line: both weighted residual sums are
/// Huber sums (twice the loss: the squares inside the bound) at the robust scale of x's residuals,
/// 1.4826 * median |residual/sigma| without a floor, so that multiplying every sigma by one
/// constant scales both sums alike and leaves F unchanged.
FTest decelerationTest(const Problem& p, const Params& x, const Params& line, Workspace& ws) {
  reweight(p, x, ws);
  ws.sorted.resize(ws.u.size());
  for (std::size_t i = 0; i < ws.u.size(); ++i) ws.sorted[i] = std::fabs(ws.u[i]);
  const auto middle = ws.sorted.begin() + static_cast<std::ptrdiff_t>(ws.sorted.size() / 2);
  std::nth_element(ws.sorted.begin(), middle, ws.sorted.end());
  // Exact data leave no scale: the plain squares then (a bound beyond every residual).
  const double scale = *middle > 0.0 ? kMadToSigma * *middle : std::numeric_limits<double>::infinity();
  const double full = 2.0 * robustLoss(p, x, scale), simple = 2.0 * robustLoss(p, line, scale);
  const std::size_t parameters = 4 + static_cast<std::size_t>(p.layout.offsets);
  // A straight line that fits to rounding leaves nothing for the term to explain (its F would
  // compare rounding with rounding). The floor scales with the sigmas as the sums do.
  double rounding = 0.0;
  for (const TimedPoint& point : *p.points) {
    const double r = kRoundingLength * std::max(std::fabs(point.length), 1.0) / point.sigma;
    rounding += r * r;
  }
  if (!(simple > rounding)) return nestedFTest(0.0, 0.0, p.time.size(), parameters, kDecelerationParameters, kDecelerationFalseAlarm);
  return nestedFTest(simple, full, p.time.size(), parameters, kDecelerationParameters, kDecelerationFalseAlarm);
}

/// Why the refined exponential fit x is not acceptable (empty: it is), against the
/// straight-line fit `line`.
std::string rejectionOf(const Problem& p, const Params& x, const Params& line, Workspace& ws) {
  if (!(x.d > 0.0))
    return "the fitted deceleration is " + number("%.4g", x.d) + " m/s^2 at the end: the fireball would speed up";
  if (!(x.k >= kMinPlausibleDecayRate))
    return "the lengths fit best with a2 = " + number("%.4g", x.k) + " 1/s, below the model's " +
           number("%.2g", kMinPlausibleDecayRate) + " 1/s: the deceleration does not grow with time as the model needs";
  if (x.k > kMaxDecayRate || x.k * timeSpan(p, x) > kMaxExponent)
    return "the fitted |a2| = " + number("%.4g", x.k) + " 1/s is beyond reason";
  const double finalSpeed = speedAt(x, lastTime(p, x));
  if (!(finalSpeed > 0.0))
    return "the fitted speed falls to " + number("%.4g", finalSpeed) + " m/s before the last point";
  const FTest test = decelerationTest(p, x, line, ws);
  if (!test.significant)
    return "F-test of the weighted residual sums: the deceleration term gives F = " + number("%.2f", test.f) + " (" +
           std::to_string(test.d1) + " and " + std::to_string(test.d2) + " degrees of freedom), under " +
           number("%.2f", fUpperQuantile(kDecelerationFalseAlarm, static_cast<double>(test.d1),
                                         static_cast<double>(test.d2))) +
           ", its critical value at a false-alarm rate of " + number("%g", kDecelerationFalseAlarm) +
           " (no significant deceleration)";
  return {};
}

/// Parameters of a warm start moved to this problem's epoch; offsets of stations the start
/// does not know keep those of `line`.
Params fromStart(const Problem& p, const VelocityFit& start, const Params& line) {
  Params x = line;
  const double shift = p.epoch - start.t0;
  x.k = std::fabs(start.a2);
  const double a1AtPivot = std::fabs(start.a1) * std::exp(x.k * shift);
  x.c = start.c + start.vInf * shift - a1AtPivot;
  x.v = start.vInf - a1AtPivot * x.k;
  x.d = a1AtPivot * x.k * x.k;
  for (std::size_t s = 0; s < p.layout.stations.size(); ++s) {
    if (p.layout.column[s] < 0) continue;
    for (const ClockOffset& o : start.offsets)
      if (o.station == p.layout.stations[s] && o.fitted)
        x.offset[static_cast<std::size_t>(p.layout.column[s])] = o.offset;
  }
  return x;
}

/// Parameters x with the internal time origin moved to `shift` (s).
Params shifted(const Params& x, double shift) {
  return {lengthAt(x, shift), speedAt(x, shift), x.d * std::exp(x.k * shift), x.k, x.offset};
}

/// Moves the pivot (internal time 0) to the latest point on the reference clock under x's
/// offsets, where the model's parameters are least correlated; x and the line with it.
void repivot(Problem& p, Params& x, Params& line) {
  const double shift = lastTime(p, x);
  x = shifted(x, shift);
  line = shifted(line, shift);
  p.epoch += shift;
  for (double& t : p.time) t -= shift;
}

/// Cold start of the exponential model: two passes of the grid over |a2|, the second
/// with the robust weights of the first. Empty string on success, else why not.
std::string coldStart(const Problem& p, const Params& line, Params& x, Workspace& ws) {
  if (!scanDecayRate(p, line, x, ws))
    return "no deceleration fits the lengths (they suggest a constant or increasing speed)";
  // The straight line's robust weights misjudge decelerating data: once more with the grid's.
  reweight(p, x, ws);
  Params second;
  if (scanDecayRate(p, x, second, ws)) x = second;
  return {};
}

void fallBack(const Problem& p, const Params& line, const std::string& why, Workspace& ws, VelocityFit& fit) {
  const double scale = reweight(p, line, ws);
  fillFit(p, line, VelocityModel::Constant, scale, ws, fit);
  fit.warnings.push_back({"constant-speed-fallback", "constant speed instead of the deceleration model: " + why});
}

bool twoDistinctTimes(const std::vector<TimedPoint>& points) {
  for (const TimedPoint& point : points)
    if (point.time != points.front().time) return true;
  return false;
}

}  // namespace

VelocityFit fitVelocity(const std::vector<TimedPoint>& points, ClockOffsetMode mode, const VelocityFit* start) {
  VelocityFit fit;
  if (points.empty() || !twoDistinctTimes(points)) return fit;
  Problem p = problemOf(points, mode);
  Workspace ws;
  Params line;
  if (!fitConstant(p, line, ws)) {
    fit.warnings.push_back({"no-speed-fit",
                            "the timed points do not determine a speed: every station with a fitted "
                            "clock offset has all its points at one time"});
    return fit;
  }
  const std::size_t needed = 4 + static_cast<std::size_t>(p.layout.offsets) + kMinSparePoints;
  if (points.size() < needed) {
    fallBack(p, line,
             std::to_string(points.size()) + " timed points, fewer than the " + std::to_string(needed) + " it needs",
             ws, fit);
    return fit;
  }
  if (start && start->ok && start->model == VelocityModel::Constant) {
    fallBack(p, line, "the warm start has constant speed", ws, fit);
    return fit;
  }
  Params x;
  Refined refined = Refined::NotConverged;
  if (start && start->ok) {
    x = fromStart(p, *start, line);
    repivot(p, x, line);
    refined = refine(p, x, start->scale, fit.iterations, ws);
  }
  if (refined != Refined::Converged) {
    const std::string why = coldStart(p, line, x, ws);
    if (!why.empty()) {
      fallBack(p, line, why, ws, fit);
      return fit;
    }
    repivot(p, x, line);
    refined = refine(p, x, 0.0, fit.iterations, ws);
  }
  std::string why = refined == Refined::Converged
                        ? rejectionOf(p, x, line, ws)
                        : "the fit did not converge in " + std::to_string(kMaxIterations) + " iterations";
  if (!why.empty()) {
    fallBack(p, line, why, ws, fit);
    return fit;
  }
  const double scale = reweight(p, x, ws);
  fillFit(p, x, VelocityModel::Exponential, scale, ws, fit);
  return fit;
}

DecelerationShape decelerationShape(double x) {
  const Shape s = shapeAt(x);
  return {s.growth, s.bend, s.slope};
}

double modelLength(const VelocityFit& fit, double t) {
  return fit.c + fit.vInf * t - std::fabs(fit.a1) * std::exp(std::fabs(fit.a2) * t);
}

double modelSpeed(const VelocityFit& fit, double t) {
  return fit.vInf - std::fabs(fit.a1) * std::fabs(fit.a2) * std::exp(std::fabs(fit.a2) * t);
}

}  // namespace sightline
