#include "trajectory/gravity_fit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sightline {

namespace {

namespace gc = gravity_constants;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
/// Spacing of the gravity grid, s: d'''' is about g (v/R)^2, so the cubic Hermite between
/// nodes errs by well under a micrometre.
constexpr double kGridStep = 0.1;
/// Nodes added beyond the sightings' times on either side (offsets still move in the fit).
constexpr int kGridMargin = 3;
/// Most Levenberg-Marquardt iterations of one fit.
constexpr int kMaxIterations = 60;
/// The fit has converged when a step turns no modelled line of sight by more than this, rad
/// (1e-8 m at 100 km) ...
constexpr double kAngleTolerance = 1e-13;
/// ... or, in a warm-started fit (a Monte Carlo draw, whose spread is metres), 1e-5 m at 100 km.
constexpr double kWarmAngleTolerance = 1e-10;
/// The frame moves to the new begin time when it has moved by more than this, s.
constexpr double kRebaseTolerance = 1e-7;
/// ... in a warm-started fit (the Monte Carlo draws), where it costs a little more than it gives:
/// a frame a millisecond from t_b changes the gravity term by centimetres.
constexpr double kWarmRebaseTolerance = 1e-3;
/// Most moves of the frame.
constexpr int kMaxRebases = 4;
/// Damping of the first step and the damping beyond which no step helps.
constexpr double kInitialDamping = 1e-9;
constexpr double kMaxDamping = 1e9;
/// Sine under which a line of sight still pins a place along the trajectory (as along_track.cpp).
constexpr double kMinimumSine = 1.7e-3;

// Inline vector arithmetic for the inner loops (Vector3's constructor and operators live out of line).
inline Vector3 vec(double x, double y, double z) {
  Vector3 v;
  v.x = x;
  v.y = y;
  v.z = z;
  return v;
}
inline double dot3(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 add3(const Vector3& a, const Vector3& b) { return vec(a.x + b.x, a.y + b.y, a.z + b.z); }
inline Vector3 sub3(const Vector3& a, const Vector3& b) { return vec(a.x - b.x, a.y - b.y, a.z - b.z); }
inline Vector3 scale3(double s, const Vector3& a) { return vec(s * a.x, s * a.y, s * a.z); }
inline Vector3 unit3(const Vector3& a) { return scale3(1.0 / std::sqrt(dot3(a, a)), a); }

/// Right-handed turn by `angle` (rad) about +z.
inline Vector3 turnZ(double angle, const Vector3& v) {
  const double c = std::cos(angle), s = std::sin(angle);
  return vec(c * v.x - s * v.y, s * v.x + c * v.y, v.z);
}

/// omega z x p.
inline Vector3 spin(const Vector3& p) { return vec(-gc::kEarthRotation * p.y, gc::kEarthRotation * p.x, 0.0); }

Vector3 gravityAt(const Vector3& r) {
  const double r2 = dot3(r, r);
  return scale3(-gc::kEarthGm / (r2 * std::sqrt(r2)), r);
}

/// Two unit vectors perpendicular to unit u and to each other.
void perpendicularPair(const Vector3& u, Vector3& e1, Vector3& e2) {
  const Vector3 axis = std::fabs(u.x) < 0.6 ? Vector3{1, 0, 0} : Vector3{0, 1, 0};
  e1 = unit3(cross(u, axis));
  e2 = cross(u, e1);
}

/// The pivot form's length L(t) (m, any constant), speed L'(t) and its derivatives by v, dec, k.
struct Length {
  double value = 0.0, speed = 0.0;
  double dv = 0.0, ddec = 0.0, dk = 0.0;
};

Length lengthAt(const GravityFit& f, double t) {
  const double tau = t - f.pivot;
  const DecelerationShape shape = decelerationShape(f.k * tau);
  Length l;
  l.value = f.v * tau - f.dec * tau * tau * shape.bend;
  l.speed = f.v - f.dec * tau * shape.growth;
  l.dv = tau;
  l.ddec = -tau * tau * shape.bend;
  l.dk = -f.dec * tau * tau * tau * shape.slope;
  return l;
}

/// d(t) and d'(t) from the grid (cubic Hermite; beyond its ends the end cubic continues).
void gridAt(const GravityGrid& g, double t, Vector3& d, Vector3& rate) {
  if (g.d.size() < 2 || !(g.step > 0.0)) {
    d = g.d.empty() ? Vector3{} : g.d.front();
    rate = g.rate.empty() ? Vector3{} : g.rate.front();
    return;
  }
  const double x = (t - g.first) / g.step;
  const std::size_t last = g.d.size() - 2;
  const std::size_t j = x <= 0.0 ? 0 : std::min(static_cast<std::size_t>(x), last);
  const double s = x - static_cast<double>(j), h = g.step;
  const double s2 = s * s, s3 = s2 * s;
  const double h00 = 2 * s3 - 3 * s2 + 1, h10 = s3 - 2 * s2 + s, h01 = -2 * s3 + 3 * s2, h11 = s3 - s2;
  const double d00 = (6 * s2 - 6 * s) / h, d10 = 3 * s2 - 4 * s + 1, d01 = (-6 * s2 + 6 * s) / h, d11 = 3 * s2 - 2 * s;
  const Vector3 &p0 = g.d[j], &p1 = g.d[j + 1], &m0 = g.rate[j], &m1 = g.rate[j + 1];
  d = add3(add3(scale3(h00, p0), scale3(h10 * h, m0)), add3(scale3(h01, p1), scale3(h11 * h, m1)));
  rate = add3(add3(scale3(d00, p0), scale3(d10, m0)), add3(scale3(d01, p1), scale3(d11, m1)));
}

/// Position along the straight-and-speed part of the model, inertial, at t.
Vector3 kinematic(const GravityFit& f, double t, double lengthAtFrame) {
  return add3(f.begin, scale3(lengthAt(f, t).value - lengthAtFrame, f.direction));
}

/// One classical Runge-Kutta step of y = (d, d') over h from t (d'' = g(kinematic + d)).
void rungeKuttaStep(const GravityFit& f, double l0, double t, double h, Vector3& d, Vector3& rate) {
  auto accel = [&](double time, const Vector3& x) { return gravityAt(add3(kinematic(f, time, l0), x)); };
  const Vector3 k1v = accel(t, d), k1x = rate;
  const Vector3 k2v = accel(t + h / 2, add3(d, scale3(h / 2, k1x))), k2x = add3(rate, scale3(h / 2, k1v));
  const Vector3 k3v = accel(t + h / 2, add3(d, scale3(h / 2, k2x))), k3x = add3(rate, scale3(h / 2, k2v));
  const Vector3 k4v = accel(t + h, add3(d, scale3(h, k3x))), k4x = add3(rate, scale3(h, k3v));
  d = add3(d, scale3(h / 6, add3(add3(k1x, scale3(2, k2x)), add3(scale3(2, k3x), k4x))));
  rate = add3(rate, scale3(h / 6, add3(add3(k1v, scale3(2, k2v)), add3(scale3(2, k3v), k4v))));
}

/// Integrates d'' = g from the frame time both ways over [from, to] (s from the epoch).
void integrateGrid(GravityFit& f, double frameTime, double from, double to) {
  const double h = kGridStep;
  const int back = kGridMargin + static_cast<int>(std::ceil(std::max(0.0, frameTime - from) / h));
  const int ahead = kGridMargin + static_cast<int>(std::ceil(std::max(0.0, to - frameTime) / h));
  GravityGrid& g = f.grid;
  g.first = frameTime - back * h;
  g.step = h;
  g.d.assign(static_cast<std::size_t>(back + ahead + 1), Vector3{});
  g.rate.assign(g.d.size(), Vector3{});
  const double l0 = lengthAt(f, frameTime).value;
  Vector3 d, rate;
  for (int j = back; j < back + ahead; ++j) {
    rungeKuttaStep(f, l0, frameTime + (j - back) * h, h, d, rate);
    g.d[static_cast<std::size_t>(j + 1)] = d;
    g.rate[static_cast<std::size_t>(j + 1)] = rate;
  }
  d = rate = Vector3{};
  for (int j = back; j > 0; --j) {
    rungeKuttaStep(f, l0, frameTime + (j - back) * h, -h, d, rate);
    g.d[static_cast<std::size_t>(j - 1)] = d;
    g.rate[static_cast<std::size_t>(j - 1)] = rate;
  }
}

/// A fitted sighting as the iterations see it.
struct Row {
  std::size_t sighting = 0;
  std::size_t station = 0;
  int column = -1;             // offset column, -1 when its station's clock is fixed
  double time = 0.0;           // s from the epoch, own clock
  double weight = 1.0;         // 1/sigma, 1/rad
  Vector3 station_position;    // ECEF m
  Vector3 e1, e2;              // unit, perpendicular to the line of sight
};

struct Problem {
  std::vector<Row> rows;
  std::vector<std::size_t> offsetStations;  // station of each offset column
  double from = 0.0, to = 0.0;              // s: times the grid must cover (every timed sighting)
  bool exponential = false;
  std::size_t parameters = 0;               // 5 + speed parameters + offsets
  std::size_t speedParameters = 1;
};

double offsetValue(const GravityFit& f, int column, const Problem& p) {
  if (column < 0) return 0.0;
  return offsetOf(f, p.offsetStations[static_cast<std::size_t>(column)]);
}

Problem problemOf(const PreparedEvent& event, const std::vector<Vector3>& directions, const GravityFit& f) {
  Problem p;
  p.exponential = f.model == VelocityModel::Exponential;
  p.speedParameters = p.exponential ? 3 : 1;
  for (const ClockOffset& c : f.offsets)
    if (c.fitted) p.offsetStations.push_back(c.station);
  p.parameters = 5 + p.speedParameters + p.offsetStations.size();
  p.from = std::numeric_limits<double>::infinity();
  p.to = -p.from;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const PreparedSighting& s = event.sightings[i];
    if (!s.time || !std::isfinite(*s.time)) continue;
    const double time = *s.time - f.epoch;
    p.from = std::min(p.from, time - offsetOf(f, s.station));
    p.to = std::max(p.to, time - offsetOf(f, s.station));
    if (s.excluded || !isFinite(directions[i]) || !(s.sigma > 0.0)) continue;
    Row row;
    row.sighting = i;
    row.station = s.station;
    const auto found = std::find(p.offsetStations.begin(), p.offsetStations.end(), s.station);
    row.column = found == p.offsetStations.end() ? -1 : static_cast<int>(found - p.offsetStations.begin());
    row.time = time;
    row.weight = 1.0 / s.sigma;
    row.station_position = event.stations[s.station].position;
    perpendicularPair(directions[i], row.e1, row.e2);
    p.rows.push_back(row);
  }
  return p;
}

/// Residuals (weighted, 2 per row) and, with `jacobian`, their derivatives (row-major, 2 rows
/// per sighting, p.parameters columns). Parameters: r_b (3), turn of u about e1u, e2u (2),
/// v [, dec, k], offsets.
double evaluate(const Problem& p, const GravityFit& f, double frameTime, const Vector3& e1u, const Vector3& e2u,
                std::vector<double>& residual, std::vector<double>* jacobian) {
  const std::size_t n = p.parameters;
  residual.resize(2 * p.rows.size());
  if (jacobian) jacobian->assign(2 * p.rows.size() * n, 0.0);
  const Length atFrame = lengthAt(f, frameTime);
  double sum = 0.0;
  for (std::size_t r = 0; r < p.rows.size(); ++r) {
    const Row& row = p.rows[r];
    const double t = row.time - offsetValue(f, row.column, p);
    const Length l = lengthAt(f, t);
    Vector3 d, rate;
    gridAt(f.grid, t, d, rate);
    const double along = l.value - atFrame.value;
    const double alpha = gc::kEarthRotation * (t - frameTime);
    const Vector3 place = turnZ(-alpha, add3(add3(f.begin, scale3(along, f.direction)), d));
    const Vector3 q = sub3(place, row.station_position);
    const double range = std::sqrt(dot3(q, q));
    const Vector3 qhat = scale3(1.0 / range, q);
    const Vector3 axes[2] = {row.e1, row.e2};
    for (int k = 0; k < 2; ++k) {
      const double rho = dot3(axes[k], qhat);
      residual[2 * r + k] = row.weight * rho;
      sum += residual[2 * r + k] * residual[2 * r + k];
      if (!jacobian) continue;
      const Vector3 g = scale3(row.weight / range, sub3(axes[k], scale3(rho, qhat)));  // d rho / d q
      const Vector3 h = turnZ(alpha, g);                                             // d rho / d r (inertial)
      double* J = jacobian->data() + (2 * r + k) * n;
      J[0] = h.x;
      J[1] = h.y;
      J[2] = h.z;
      J[3] = along * dot3(h, e1u);
      J[4] = along * dot3(h, e2u);
      const double hu = dot3(h, f.direction);
      J[5] = hu * (l.dv - atFrame.dv);
      if (p.exponential) {
        J[6] = hu * (l.ddec - atFrame.ddec);
        J[7] = hu * (l.dk - atFrame.dk);
      }
      if (row.column >= 0) {
        const Vector3 velocity = add3(scale3(l.speed, f.direction), rate);
        J[5 + p.speedParameters + static_cast<std::size_t>(row.column)] = -(dot3(h, velocity) - dot3(g, spin(place)));
      }
    }
  }
  return sum;
}

/// Solves (A + lambda diag(A)) x = b for symmetric positive semi-definite A (n x n) with the
/// columns scaled to a unit diagonal (Marquardt 1963) and Cholesky; false when singular.
bool dampedSolve(const std::vector<double>& a, const std::vector<double>& b, std::size_t n, double lambda,
                 std::vector<double>& x) {
  std::vector<double> scale(n), m(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!(a[i * n + i] > 0.0)) return false;
    scale[i] = 1.0 / std::sqrt(a[i * n + i]);
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) m[i * n + j] = a[i * n + j] * scale[i] * scale[j] + (i == j ? lambda : 0.0);
  x.resize(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = b[i] * scale[i];
  for (std::size_t j = 0; j < n; ++j) {
    double d = m[j * n + j];
    for (std::size_t k = 0; k < j; ++k) d -= m[j * n + k] * m[j * n + k];
    if (!(d > 0.0)) return false;
    m[j * n + j] = std::sqrt(d);
    for (std::size_t i = j + 1; i < n; ++i) {
      double s = m[i * n + j];
      for (std::size_t k = 0; k < j; ++k) s -= m[i * n + k] * m[j * n + k];
      m[i * n + j] = s / m[j * n + j];
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < i; ++k) x[i] -= m[i * n + k] * x[k];
    x[i] /= m[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t k = i + 1; k < n; ++k) x[i] -= m[k * n + i] * x[k];
    x[i] /= m[i * n + i];
  }
  for (std::size_t i = 0; i < n; ++i) x[i] *= scale[i];
  return true;
}

GravityFit stepped(const Problem& p, const GravityFit& f, const Vector3& e1u, const Vector3& e2u,
                   const std::vector<double>& x) {
  GravityFit y = f;
  y.begin = add3(f.begin, vec(x[0], x[1], x[2]));
  y.direction = unit3(add3(f.direction, add3(scale3(x[3], e1u), scale3(x[4], e2u))));
  y.v += x[5];
  if (p.exponential) {
    y.dec += x[6];
    y.k += x[7];
  }
  for (std::size_t c = 0; c < p.offsetStations.size(); ++c)
    for (ClockOffset& o : y.offsets)
      if (o.station == p.offsetStations[c]) o.offset += x[5 + p.speedParameters + c];
  return y;
}

/// Normal equations J^T J and gradient -J^T r.
void normalEquations(const std::vector<double>& jacobian, const std::vector<double>& residual, std::size_t n,
                     std::vector<double>& a, std::vector<double>& b) {
  a.assign(n * n, 0.0);
  b.assign(n, 0.0);
  for (std::size_t r = 0; r < residual.size(); ++r) {
    const double* J = jacobian.data() + r * n;
    for (std::size_t i = 0; i < n; ++i) {
      if (J[i] == 0.0) continue;
      b[i] -= J[i] * residual[r];
      for (std::size_t j = 0; j <= i; ++j) a[i * n + j] += J[i] * J[j];
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) a[j * n + i] = a[i * n + j];
}

/// Largest change of a modelled line of sight (rad) that step x makes, to first order.
double largestTurn(const std::vector<double>& jacobian, const Problem& p, const std::vector<double>& x) {
  const std::size_t n = p.parameters;
  double largest = 0.0;
  for (std::size_t r = 0; r < jacobian.size() / n; ++r) {
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) s += jacobian[r * n + i] * x[i];
    largest = std::max(largest, std::fabs(s) / p.rows[r / 2].weight);
  }
  return largest;
}

/// Levenberg-Marquardt at a fixed frame time; false when it fails.
bool iterate(const Problem& p, GravityFit& f, double frameTime, bool keepGrid, double tolerance) {
  std::vector<double> residual, jacobian, a, b, x, trial;
  double lambda = kInitialDamping;
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    if (!keepGrid) integrateGrid(f, frameTime, p.from, p.to);
    Vector3 e1u, e2u;
    perpendicularPair(f.direction, e1u, e2u);
    const double cost = evaluate(p, f, frameTime, e1u, e2u, residual, &jacobian);
    if (!std::isfinite(cost)) return false;
    normalEquations(jacobian, residual, p.parameters, a, b);
    bool accepted = false;
    for (; lambda <= kMaxDamping; lambda *= 10.0) {
      if (!dampedSolve(a, b, p.parameters, lambda, x)) continue;
      const GravityFit y = stepped(p, f, e1u, e2u, x);
      const double lowered = evaluate(p, y, frameTime, e1u, e2u, trial, nullptr);
      if (lowered <= cost) {
        f = y;
        f.chiSquare = lowered;
        accepted = true;
        break;
      }
    }
    ++f.iterations;
    if (!accepted) return true;  // no step lowers the cost: a minimum to rounding
    lambda = std::max(lambda * 0.1, kInitialDamping);
    if (largestTurn(jacobian, p, x) <= tolerance) return true;
  }
  return false;
}

/// The earliest corrected time of the fitted sightings, s from the epoch.
double earliestCorrected(const Problem& p, const GravityFit& f) {
  double earliest = std::numeric_limits<double>::infinity();
  for (const Row& row : p.rows) earliest = std::min(earliest, row.time - offsetValue(f, row.column, p));
  return earliest;
}

/// Moves the model's frame to time t: the same place and velocity at t, with u along the
/// inertial velocity there and d (the grid, shifted and turned into the new frame) starting
/// afresh at t.
void rebase(GravityFit& f, double frameTime, double t) {
  const Length atFrame = lengthAt(f, frameTime);
  const Length l = lengthAt(f, t);
  Vector3 d, rate;
  gridAt(f.grid, t, d, rate);
  const double turn = -gc::kEarthRotation * (t - frameTime);
  const Vector3 place = add3(add3(f.begin, scale3(l.value - atFrame.value, f.direction)), d);
  const Vector3 velocity = add3(scale3(l.speed, f.direction), rate);
  f.begin = turnZ(turn, place);
  f.direction = unit3(turnZ(turn, velocity));
  f.v += std::sqrt(dot3(velocity, velocity)) - l.speed;
  for (std::size_t j = 0; j < f.grid.d.size(); ++j) {
    const double time = f.grid.first + f.grid.step * static_cast<double>(j);
    f.grid.d[j] = turnZ(turn, sub3(f.grid.d[j], add3(d, scale3(time - t, rate))));
    f.grid.rate[j] = turnZ(turn, sub3(f.grid.rate[j], rate));
  }
}

/// Fills the begin state and the begin time after the iterations.
void finish(const Problem& p, GravityFit& f, double frameTime) {
  f.beginTime = earliestCorrected(p, f);
  if (f.beginTime != frameTime) rebase(f, frameTime, f.beginTime);
  f.velocity = sub3(scale3(lengthAt(f, f.beginTime).speed, f.direction), spin(f.begin));
  f.ok = std::isfinite(f.chiSquare) && isFinite(f.begin) && isFinite(f.velocity);
}

/// Iterates, moving the frame to the begin time until it stays there.
GravityFit run(const Problem& p, GravityFit f, double frameTime, bool warm) {
  f.ok = false;
  f.iterations = 0;
  if (p.rows.size() * 2 < p.parameters + 1) return f;
  const double tolerance = warm ? kWarmRebaseTolerance : kRebaseTolerance;
  const double angle = warm ? kWarmAngleTolerance : kAngleTolerance;
  for (int round = 0; round <= kMaxRebases; ++round) {
    if (!iterate(p, f, frameTime, warm && round == 0, angle)) return f;
    const double begin = earliestCorrected(p, f);
    if (!(std::fabs(begin - frameTime) > tolerance) || round == kMaxRebases) break;
    rebase(f, frameTime, begin);
    frameTime = begin;
    warm = false;
  }
  finish(p, f, frameTime);
  return f;
}

/// The start of a fit: the straight line's geometry turned into the inertial frame and the
/// speed fit's parameters in pivot form.
GravityFit startOf(const CoreResult& line, const VelocityFit& speed) {
  GravityFit f;
  f.model = speed.model;
  f.referenceStation = speed.referenceStation;
  f.offsets = speed.offsets;
  double last = 0.0;
  for (const double t : speed.t) last = std::max(last, t);
  f.pivot = speed.t0 + last;
  const double k = f.model == VelocityModel::Exponential ? std::fabs(speed.a2) : 0.0;
  const double amplitude = f.model == VelocityModel::Exponential ? std::fabs(speed.a1) * std::exp(k * last) : 0.0;
  f.k = k;
  f.v = speed.vInf - amplitude * k;
  f.dec = amplitude * k * k;
  f.beginTime = speed.t0;
  f.begin = add3(line.begin, scale3(modelLength(speed, 0.0), line.direction));
  // Earth-fixed velocity along the line; the inertial one adds the ground's motion.
  const double earthSpeed = modelSpeed(speed, 0.0);
  const Vector3 inertial = add3(scale3(earthSpeed, line.direction), spin(f.begin));
  f.direction = unit3(inertial);
  f.v += std::sqrt(dot3(inertial, inertial)) - earthSpeed;
  return f;
}

}  // namespace

double offsetOf(const GravityFit& fit, std::size_t station) {
  for (const ClockOffset& c : fit.offsets)
    if (c.station == station) return c.offset;
  return 0.0;
}

double correctedTime(const GravityFit& fit, const PreparedEvent& event, double epoch, std::size_t i) {
  const PreparedSighting& s = event.sightings[i];
  if (!s.time || !std::isfinite(*s.time)) return kNaN;
  return (*s.time - epoch) - offsetOf(fit, s.station);
}

double trackLength(const GravityFit& fit, double t, double* speed) {
  const Length l = lengthAt(fit, t);
  if (speed) *speed = l.speed;
  return l.value - lengthAt(fit, fit.beginTime).value;
}

void earthFixedState(const GravityFit& fit, double t, Vector3& position, Vector3& velocity) {
  double speed = 0.0;
  const double along = trackLength(fit, t, &speed);
  Vector3 d, rate;
  gridAt(fit.grid, t, d, rate);
  const double alpha = gc::kEarthRotation * (t - fit.beginTime);
  position = turnZ(-alpha, add3(add3(fit.begin, scale3(along, fit.direction)), d));
  velocity = sub3(turnZ(-alpha, add3(scale3(speed, fit.direction), rate)), spin(position));
}

GravityFit fitGravity(const PreparedEvent& event, const std::vector<Vector3>& directions, double epoch,
                      const CoreResult& line, const VelocityFit& speed, const GravityFit* warm) {
  GravityFit start = warm ? *warm : startOf(line, speed);
  start.epoch = epoch;
  const Problem p = problemOf(event, directions, start);
  return run(p, start, start.beginTime, warm != nullptr && !warm->grid.d.empty());
}

GravityFit refitGravity(const PreparedEvent& event, const std::vector<Vector3>& directions, const GravityFit& warm,
                        const VelocityFit& speed) {
  GravityFit start = warm;
  start.model = speed.model;
  // The speed model's parameters from the choice fit (lengths from r_b, times from the epoch).
  double last = 0.0;
  for (const double t : speed.t) last = std::max(last, t);
  start.pivot = speed.t0 + last;
  const bool exponential = speed.model == VelocityModel::Exponential;
  start.k = exponential ? std::fabs(speed.a2) : 0.0;
  const double amplitude = exponential ? std::fabs(speed.a1) * std::exp(start.k * last) : 0.0;
  start.v = speed.vInf - amplitude * start.k;
  start.dec = amplitude * start.k * start.k;
  const Problem p = problemOf(event, directions, start);
  return run(p, start, start.beginTime, false);
}

std::vector<TimedPoint> gravityTrack(const GravityFit& fit, const PreparedEvent& event,
                                     const std::vector<Vector3>& directions, double epoch,
                                     std::vector<std::size_t>* indices) {
  std::vector<TimedPoint> points;
  if (indices) indices->clear();
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const PreparedSighting& s = event.sightings[i];
    const double t = correctedTime(fit, event, epoch, i);
    if (!std::isfinite(t) || s.excluded || !isFinite(directions[i])) continue;
    // In the frame at t_b: the line of sight turned to time t, the model's line through
    // r_b + d(t) along u; the nearest point of the line of sight to it gives the length.
    Vector3 d, rate;
    gridAt(fit.grid, t, d, rate);
    const double alpha = gc::kEarthRotation * (t - fit.beginTime);
    const Vector3 origin = turnZ(alpha, event.stations[s.station].position);
    const Vector3 look = turnZ(alpha, directions[i]);
    const Vector3 base = add3(fit.begin, d);
    const Vector3 w = sub3(base, origin);
    const double b = dot3(fit.direction, look);
    const double denom = 1.0 - b * b;
    if (!(denom > 0.0)) continue;
    const double along = (b * dot3(look, w) - dot3(fit.direction, w)) / denom;
    const Vector3 nearest = add3(base, scale3(along, fit.direction));
    const double range = std::sqrt(dot3(sub3(nearest, origin), sub3(nearest, origin)));
    const double sigma = s.sigma * range / std::max(std::sqrt(denom), kMinimumSine);
    if (!std::isfinite(along) || !(sigma > 0.0) || !std::isfinite(sigma)) continue;
    points.push_back(TimedPoint{s.station, *s.time - epoch, along, sigma});
    if (indices) indices->push_back(i);
  }
  return points;
}

OrbitState gravityBeginState(const GravityFit& fit, double epoch) {
  return OrbitState{epoch + fit.beginTime, fit.begin, fit.velocity};
}

}  // namespace sightline
