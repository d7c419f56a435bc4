#include "trajectory/velocity.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

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
/// Grid points per decade of |a2|.
constexpr double kGridPerDecade = 8.0;
/// Largest |a2|*t allowed (exp(50) = 5e21: beyond it the term is a numerical artefact).
constexpr double kMaxExponent = 50.0;
/// Improvement of the robust chi-square (sigma units) the deceleration term must bring:
/// about the 99% point of chi-square with its two extra parameters.
constexpr double kMinChiSquareGain = 9.0;
/// Most reweightings of the straight-line fit.
constexpr int kMaxReweightings = 20;
/// Reweighting stops when no robust weight changes by more than this.
constexpr double kWeightTolerance = 1e-9;
/// Most Levenberg-Marquardt iterations.
constexpr int kMaxIterations = 100;
/// Levenberg-Marquardt has converged when a step moves no modelled length by more than this, m.
constexpr double kLengthTolerance = 1e-7;
/// Damping of the first Levenberg-Marquardt step, and the damping at which no step helps any more.
constexpr double kInitialDamping = 1e-3;
constexpr double kMaxDamping = 1e12;
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
  double epoch = 0.0;            // s: earliest time of any point
  std::vector<double> time;      // per point: time - epoch, s (own clock)
  std::vector<int> column;       // per point: fitted-offset column, -1 when none
};

/// Model parameters on the internal time scale (s from Problem::epoch, reference clock).
struct Params {
  double c = 0.0, v = 0.0, a = 0.0, k = 0.0;  // m, m/s, m (>= 0), 1/s (>= 0)
  std::vector<double> offset;                  // s, per fitted-offset column
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
  for (const TimedPoint& point : points) p.epoch = std::min(p.epoch, point.time);
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

double lengthAt(const Params& x, double t) { return x.c + x.v * t - x.a * std::exp(x.k * t); }

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

/// Adds w * row^T row to the lower triangle of `normal` and w * row * r to `rhs`.
void accumulate(Workspace& ws, std::size_t n, double w, double r) {
  for (std::size_t i = 0; i < n; ++i) {
    const double wi = w * ws.row[i];
    if (wi == 0.0) continue;
    for (std::size_t j = 0; j <= i; ++j) ws.normal[i * n + j] += wi * ws.row[j];
    ws.rhs[i] += wi * r;
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
/// ws.h / sigma^2, optionally with the term -a*exp(k*tau) (tau: times under `stale` offsets).
/// Returns false when singular; else the parameters (offsets = d/v) and the weighted sum of squares.
bool linearFit(const Problem& p, const Params* stale, double k, Params& x, double& ssr, Workspace& ws) {
  const std::vector<TimedPoint>& points = *p.points;
  const std::size_t base = stale ? 3 : 2;
  const std::size_t n = base + static_cast<std::size_t>(p.layout.offsets);
  clearNormal(ws, n);
  ws.model.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    std::fill(ws.row.begin(), ws.row.end(), 0.0);
    ws.row[0] = 1.0;
    ws.row[1] = p.time[i];
    if (stale) ws.row[2] = -std::exp(k * referenceTime(p, *stale, i));
    if (p.column[i] >= 0) ws.row[base + static_cast<std::size_t>(p.column[i])] = -1.0;
    accumulate(ws, n, ws.h[i] / (points[i].sigma * points[i].sigma), points[i].length);
    ws.model[i] = stale ? ws.row[2] : 0.0;  // keep the exponential column for the residuals
  }
  mirrorNormal(ws, n);
  if (!choleskySolve(ws.normal, ws.rhs, n)) return false;
  x.c = ws.rhs[0];
  x.v = ws.rhs[1];
  x.a = stale ? ws.rhs[2] : 0.0;
  x.k = stale ? k : 0.0;
  x.offset.assign(static_cast<std::size_t>(p.layout.offsets), 0.0);
  ssr = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    double m = x.c + x.v * p.time[i] + x.a * ws.model[i];
    if (p.column[i] >= 0) m -= ws.rhs[base + static_cast<std::size_t>(p.column[i])];
    const double r = (points[i].length - m) / points[i].sigma;
    ssr += ws.h[i] * r * r;
  }
  if (x.v != 0.0)
    for (int j = 0; j < p.layout.offsets; ++j) x.offset[static_cast<std::size_t>(j)] = ws.rhs[base + static_cast<std::size_t>(j)] / x.v;
  return true;
}

/// Robust straight-line fit with offsets by iteratively reweighted least squares.
/// Leaves the final Huber weights in ws.h; returns false when singular.
bool fitConstant(const Problem& p, Params& x, Workspace& ws) {
  ws.h.assign(p.time.size(), 1.0);
  std::vector<double> previous;
  double ssr = 0.0;
  for (int pass = 0; pass < kMaxReweightings; ++pass) {
    if (!linearFit(p, nullptr, 0.0, x, ssr, ws)) return false;
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

/// Grid search over |a2| (log-spaced) of the linear fit with the exponential term,
/// weights ws.h; offsets in the exponent from `around`. False when no |a2| gives a
/// decelerating fit (a1 > 0).
bool scanDecayRate(const Problem& p, const Params& around, Params& best, Workspace& ws) {
  const double last = lastTime(p, around);
  const double highest = last > 0.0 ? std::min(kMaxDecayRate, kMaxExponent / last) : kMaxDecayRate;
  const double step = std::pow(10.0, 1.0 / kGridPerDecade);
  double bestSsr = std::numeric_limits<double>::infinity();
  Params x;
  for (double k = kMinDecayRate; k <= highest; k *= step) {
    double ssr = 0.0;
    if (!linearFit(p, &around, k, x, ssr, ws) || !(x.a > 0.0) || !(ssr < bestSsr)) continue;
    bestSsr = ssr;
    best = x;
  }
  return std::isfinite(bestSsr);
}

/// Jacobian row of point i (d model length / d [c, v, a, k, offsets]) into ws.row; returns the model length.
double jacobianRow(const Problem& p, const Params& x, std::size_t i, Workspace& ws) {
  const double t = referenceTime(p, x, i);
  const double e = std::exp(x.k * t);
  std::fill(ws.row.begin(), ws.row.end(), 0.0);
  ws.row[0] = 1.0;
  ws.row[1] = t;
  ws.row[2] = -e;
  ws.row[3] = -x.a * t * e;
  if (p.column[i] >= 0) ws.row[4 + static_cast<std::size_t>(p.column[i])] = -(x.v - x.a * x.k * e);
  return x.c + x.v * t - x.a * e;
}

/// x + step, with a and k kept non-negative (the model uses |a1|, |a2|).
Params stepped(const Params& x, const std::vector<double>& step) {
  Params y = x;
  y.c += step[0];
  y.v += step[1];
  y.a = std::fabs(y.a + step[2]);
  y.k = std::fabs(y.k + step[3]);
  for (std::size_t j = 0; j < y.offset.size(); ++j) y.offset[j] += step[4 + j];
  return y;
}

/// Weighted sum of squares of y with weights ws.h/sigma^2 and the largest change of any
/// modelled length from ws.model; infinite when |a2|*t overflows the allowed range.
double trialCost(const Problem& p, const Params& y, const Workspace& ws, double& change) {
  if (y.k * lastTime(p, y) > kMaxExponent) return std::numeric_limits<double>::infinity();
  double cost = 0.0;
  change = 0.0;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    const TimedPoint& point = (*p.points)[i];
    const double m = lengthAt(y, referenceTime(p, y, i));
    const double r = (point.length - m) / point.sigma;
    cost += ws.h[i] * r * r;
    change = std::max(change, std::fabs(m - ws.model[i]));
  }
  return cost;
}

enum class Refined { Converged, NotConverged };

/// Builds the reweighted normal equations at x (weights into ws.h, model into ws.model); returns the cost.
double buildNormal(const Problem& p, const Params& x, std::size_t n, Workspace& ws) {
  reweight(p, x, ws);
  clearNormal(ws, n);
  ws.model.resize(p.time.size());
  double cost = 0.0;
  for (std::size_t i = 0; i < p.time.size(); ++i) {
    const TimedPoint& point = (*p.points)[i];
    ws.model[i] = jacobianRow(p, x, i, ws);
    const double r = point.length - ws.model[i];
    const double w = ws.h[i] / (point.sigma * point.sigma);
    accumulate(ws, n, w, r);
    cost += w * r * r;
  }
  mirrorNormal(ws, n);
  return cost;
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

/// Levenberg-Marquardt over [c, v, a, k, offsets], reweighted (Huber) at every iteration.
Refined refine(const Problem& p, Params& x, int& iterations, Workspace& ws) {
  const std::size_t n = 4 + static_cast<std::size_t>(p.layout.offsets);
  double lambda = kInitialDamping;
  std::vector<double> a, step;
  for (iterations = 1; iterations <= kMaxIterations; ++iterations) {
    const double cost = buildNormal(p, x, n, ws);
    bool accepted = false;
    double change = 0.0;
    while (!accepted && lambda <= kMaxDamping) {
      if (dampedStep(ws, n, lambda, a, step)) {
        const Params y = stepped(x, step);
        if (trialCost(p, y, ws, change) <= cost) {
          x = y;
          accepted = true;
          lambda = std::max(lambda * 0.1, 1e-12);
          break;
        }
      }
      lambda *= 10.0;
    }
    if (!accepted) return Refined::Converged;  // no step lowers the cost: a minimum to rounding
    if (change <= kLengthTolerance) return Refined::Converged;
  }
  return Refined::NotConverged;
}

std::string number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

/// The fit's output fields from internal parameters x (times shifted to t0) and the weights ws.h.
void fillFit(const Problem& p, const Params& x, VelocityModel model, const Workspace& ws, VelocityFit& fit) {
  const std::vector<TimedPoint>& points = *p.points;
  double first = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < points.size(); ++i) first = std::min(first, referenceTime(p, x, i));
  fit.ok = true;
  fit.model = model;
  fit.t0 = p.epoch + first;
  fit.vInf = x.v;
  fit.c = x.c + x.v * first;
  fit.a1 = model == VelocityModel::Exponential ? x.a * std::exp(x.k * first) : 0.0;
  fit.a2 = model == VelocityModel::Exponential ? x.k : 0.0;
  fit.referenceStation = p.layout.stations[p.layout.reference];
  fit.offsets.clear();
  for (std::size_t s = 0; s < p.layout.stations.size(); ++s) {
    const int column = p.layout.column[s];
    fit.offsets.push_back({p.layout.stations[s], column >= 0 ? x.offset[static_cast<std::size_t>(column)] : 0.0, column >= 0});
  }
  fit.initialVelocity = modelSpeed(fit, 0.0);
  fit.t.resize(points.size());
  fit.speed.resize(points.size());
  fit.lag.resize(points.size());
  fit.weight = ws.h;
  double sum = 0.0, last = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double t = referenceTime(p, x, i) - first;
    const double r = points[i].length - modelLength(fit, t);
    sum += r * r;
    last = std::max(last, t);
    fit.t[i] = t;
    fit.speed[i] = modelSpeed(fit, t);
    fit.lag[i] = points[i].length - (fit.initialVelocity * t + fit.c);
  }
  fit.rms = std::sqrt(sum / static_cast<double>(points.size()));
  fit.finalVelocity = modelSpeed(fit, last);
}

/// Why the refined exponential fit x is not acceptable (empty: it is), against the
/// straight-line fit `line`.
std::string rejectionOf(const Problem& p, const Params& x, const Params& line, Workspace& ws) {
  const double last = lastTime(p, x);
  if (x.k > kMaxDecayRate || x.k * last > kMaxExponent)
    return "the fitted |a2| = " + number("%.4g", x.k) + " 1/s is beyond reason";
  if (!(x.a > 0.0) || !(x.k > 0.0)) return "the fitted deceleration term vanished";
  const double finalSpeed = x.v - x.a * x.k * std::exp(x.k * last);
  if (!(finalSpeed > 0.0))
    return "the fitted speed falls to " + number("%.4g", finalSpeed) + " m/s before the last point";
  const double scale = reweight(p, x, ws);
  const double gain = 2.0 * (robustLoss(p, line, scale) - robustLoss(p, x, scale)) / (scale * scale);
  if (!(gain >= kMinChiSquareGain))
    return "the deceleration term improves the fit by chi-square " + number("%.3g", gain) +
           ", less than " + number("%.3g", kMinChiSquareGain) + " (no significant deceleration)";
  return {};
}

/// Parameters of a warm start moved to this problem's epoch; offsets of stations the start
/// does not know keep those of `line`.
Params fromStart(const Problem& p, const VelocityFit& start, const Params& line) {
  Params x = line;
  const double shift = p.epoch - start.t0;
  x.v = start.vInf;
  x.k = std::fabs(start.a2);
  x.c = start.c + start.vInf * shift;
  x.a = std::fabs(start.a1) * std::exp(x.k * shift);
  for (std::size_t s = 0; s < p.layout.stations.size(); ++s) {
    if (p.layout.column[s] < 0) continue;
    for (const ClockOffset& o : start.offsets)
      if (o.station == p.layout.stations[s] && o.fitted) x.offset[static_cast<std::size_t>(p.layout.column[s])] = o.offset;
  }
  return x;
}

/// Cold start of the exponential model: two passes of the grid over |a2|, the second
/// with the weights of the first. Empty string on success, else why not.
std::string coldStart(const Problem& p, const Params& line, Params& x, Workspace& ws) {
  if (!scanDecayRate(p, line, x, ws))
    return "no deceleration fits the lengths (they suggest a constant or increasing speed)";
  reweight(p, x, ws);
  Params second;
  if (scanDecayRate(p, x, second, ws)) x = second;
  return {};
}

void fallBack(const Problem& p, const Params& line, const std::string& why, Workspace& ws, VelocityFit& fit) {
  reweight(p, line, ws);
  fillFit(p, line, VelocityModel::Constant, ws, fit);
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
  const Problem p = problemOf(points, mode);
  Workspace ws;
  Params line;
  if (!fitConstant(p, line, ws)) return fit;
  const std::size_t needed = 4 + static_cast<std::size_t>(p.layout.offsets) + kMinSparePoints;
  if (points.size() < needed) {
    fallBack(p, line, std::to_string(points.size()) + " timed points, fewer than the " + std::to_string(needed) + " it needs", ws, fit);
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
    refined = refine(p, x, fit.iterations, ws);
  }
  if (refined != Refined::Converged) {
    const std::string why = coldStart(p, line, x, ws);
    if (!why.empty()) {
      fallBack(p, line, why, ws, fit);
      return fit;
    }
    refined = refine(p, x, fit.iterations, ws);
  }
  std::string why = refined == Refined::Converged
                        ? rejectionOf(p, x, line, ws)
                        : "the fit did not converge in " + std::to_string(kMaxIterations) + " iterations";
  if (!why.empty()) {
    fallBack(p, line, why, ws, fit);
    return fit;
  }
  reweight(p, x, ws);
  fillFit(p, x, VelocityModel::Exponential, ws, fit);
  return fit;
}

double modelLength(const VelocityFit& fit, double t) {
  return fit.c + fit.vInf * t - std::fabs(fit.a1) * std::exp(std::fabs(fit.a2) * t);
}

double modelSpeed(const VelocityFit& fit, double t) {
  return fit.vInf - std::fabs(fit.a1) * std::fabs(fit.a2) * std::exp(std::fabs(fit.a2) * t);
}

}  // namespace sightline
