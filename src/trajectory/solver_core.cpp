#include "trajectory/solver_core.hpp"

#include <GeographicLib/Constants.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "earth/refraction.hpp"
#include "geometry/angles.hpp"
#include "trajectory/constants.hpp"

namespace sightline {

namespace tc = trajectory_constants;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Vector3 unit(const Vector3& v) { return v / v.length(); }


// Unit vectors perpendicular to the unit vector u, and to each other.
void perpendiculars(const Vector3& u, Vector3& e1, Vector3& e2) {
  const Vector3 helper = std::fabs(u.x) < 0.6 ? Vector3(1, 0, 0) : (std::fabs(u.y) < 0.6 ? Vector3(0, 1, 0) : Vector3(0, 0, 1));
  e1 = unit(cross(u, helper));
  e2 = cross(u, e1);
}

// Eigenvector of the smallest eigenvalue of the symmetric 3x3 matrix a (cyclic Jacobi).
Vector3 smallestEigenvector(std::array<std::array<double, 3>, 3> a) {
  std::array<std::array<double, 3>, 3> v{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (int sweep = 0; sweep < 50; ++sweep) {
    const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    const double diagonal = a[0][0] * a[0][0] + a[1][1] * a[1][1] + a[2][2] * a[2][2];
    if (!(off > 1e-32 * diagonal)) break;  // off-diagonal at rounding level (or not a number)
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0.0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1);
        const double s = t * c;
        for (int k = 0; k < 3; ++k) {  // columns p, q of a*J
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) {  // rows p, q of J^T*a
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
  int best = 0;
  for (int i = 1; i < 3; ++i) {
    if (a[i][i] < a[best][best]) best = i;
  }
  return unit(Vector3(v[0][best], v[1][best], v[2][best]));
}

// Solves the n x n system a*x = b (n <= 4) by Gaussian elimination with partial pivoting; false when singular.
template <int N>
bool solveLinear(std::array<std::array<double, N>, N> a, std::array<double, N> b, std::array<double, N>& x) {
  for (int col = 0; col < N; ++col) {
    int pivot = col;
    for (int r = col + 1; r < N; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    if (!(std::fabs(a[pivot][col]) > 0.0)) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < N; ++r) {
      const double f = a[r][col] / a[col][col];
      for (int k = col; k < N; ++k) a[r][k] -= f * a[col][k];
      b[r] -= f * b[col];
    }
  }
  for (int r = N - 1; r >= 0; --r) {
    double sum = b[r];
    for (int k = r + 1; k < N; ++k) sum -= a[r][k] * x[k];
    x[r] = sum / a[r][r];
  }
  for (int r = 0; r < N; ++r) {
    if (!std::isfinite(x[r])) return false;
  }
  return true;
}

// Where a line of sight (s, d) passes the line (p, u): the nearest point q of
// the line, the signed angle at s between d and q - s, and the range |q - s|.
struct Nearest {
  bool defined = false;
  Vector3 q;
  double residual = kNaN;  // radians, signed
  double range = kNaN;     // metres
  bool behind = false;     // q lies behind the station
};

// Inline vector arithmetic for the fit's inner loop (the Vector3 operators live out of line).
inline double dot3(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross3(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm3(const Vector3& a) { return std::sqrt(dot3(a, a)); }

Nearest nearestOnLine(const Vector3& p, const Vector3& u, const Vector3& s, const Vector3& d) {
  Nearest n;
  const Vector3 w{p.x - s.x, p.y - s.y, p.z - s.z};
  const double b = dot3(u, d);
  const double denom = 1 - b * b;
  if (!(denom > 0.0)) return n;
  const double t = (b * dot3(d, w) - dot3(u, w)) / denom;
  n.q = Vector3{p.x + t * u.x, p.y + t * u.y, p.z + t * u.z};
  const Vector3 toQ{n.q.x - s.x, n.q.y - s.y, n.q.z - s.z};
  n.range = norm3(toQ);
  const double sine = norm3(cross3(toQ, d));
  const double cosine = dot3(toQ, d);
  // Lines of sight are taken as whole lines here, so that a sighting pointing the
  // wrong way does not drag the fit off; a point behind the station is reported instead.
  const double angle = std::atan2(sine, std::fabs(cosine));
  n.residual = dot3(d, cross3(toQ, u)) < 0 ? -angle : angle;
  n.behind = cosine < 0;
  n.defined = std::isfinite(n.residual);
  return n;
}

// Point where the line (s, d) meets the plane through o with unit normal m; false when parallel.
bool meetPlane(const Vector3& o, const Vector3& m, const Vector3& s, const Vector3& d, Vector3& point) {
  const double denom = dot(m, d);
  if (denom == 0.0) return false;
  point = s + (dot(m, o - s) / denom) * d;
  return isFinite(point);
}

// Least-squares point of lines (s_i, d_i): minimises the sum of squared distances; false when singular.
bool leastSquaresPoint(const std::vector<Vector3>& s, const std::vector<Vector3>& d, Vector3& point) {
  // Parallel lines have no nearest point: rounding would otherwise make one up far away.
  double widest = 0.0;
  for (std::size_t i = 0; i < d.size(); ++i)
    for (std::size_t j = i + 1; j < d.size(); ++j) widest = std::max(widest, norm3(cross3(d[i], d[j])));
  if (!(widest > tc::kParallelSine)) return false;
  std::array<std::array<double, 3>, 3> a{};
  std::array<double, 3> rhs{};
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double dv[3] = {d[i].x, d[i].y, d[i].z};
    const double sv[3] = {s[i].x, s[i].y, s[i].z};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        const double m = (r == c ? 1.0 : 0.0) - dv[r] * dv[c];
        a[r][c] += m;
        rhs[r] += m * sv[c];
      }
    }
  }
  std::array<double, 3> x{};
  if (!solveLinear<3>(a, rhs, x)) return false;
  point = Vector3(x[0], x[1], x[2]);
  return true;
}

// Ellipsoid normal (unit, ECEF) near the ECEF point x; good enough to tell up from down.
Vector3 approximateUp(const Vector3& x) {
  const double a2 = GeographicLib::Constants::WGS84_a() * GeographicLib::Constants::WGS84_a();
  const double b = GeographicLib::Constants::WGS84_a() * (1 - GeographicLib::Constants::WGS84_f());
  return unit(Vector3(x.x / a2, x.y / a2, x.z / (b * b)));
}

// The least-squares line through all sightings: minimises sum (residual / sigma)^2
// by damped Gauss-Newton over the line's four degrees of freedom.
class LineFit {
 public:
  LineFit(const std::vector<Vector3>& origins, const std::vector<Vector3>& directions, const std::vector<double>& weights)
      : s_(origins), d_(directions), w_(weights), r_(origins.size()) {}

  // Refines (p, u) in place; false when the fit produced no finite line.
  bool refine(Vector3& p, Vector3& u) {
    const std::size_t n = s_.size();
    double cost = evaluate(p, u, r_);
    if (!std::isfinite(cost)) return false;
    double lambda = 1e-3;
    std::vector<std::array<double, 4>> jac(n);
    std::vector<double> plus(n);
    for (int iteration = 0; iteration < tc::kMaxFitIterations; ++iteration) {
      Vector3 e1, e2;
      perpendiculars(u, e1, e2);
      // Scale of a position step against an angular one: the mean range.
      const double scale = meanRange(p, u);
      const double hPos = 1e-3 * std::max(1.0, scale * 1e-5);
      const double hAng = hPos / scale;
      std::array<std::array<double, 4>, 4> jtj{};
      std::array<double, 4> jtr{};
      normalEquations(p, u, e1, e2, hPos, hAng, jac, plus, jtj, jtr);
      bool improved = false;
      for (int attempt = 0; attempt < 12 && !improved; ++attempt) {
        auto damped = jtj;
        for (int a = 0; a < 4; ++a) damped[a][a] += lambda * (jtj[a][a] > 0 ? jtj[a][a] : 1.0);
        std::array<double, 4> delta{};
        if (!solveLinear<4>(damped, jtr, delta)) {
          lambda *= 10;
          continue;
        }
        const double moved = std::hypot(delta[2], delta[3]) + scale * std::hypot(delta[0], delta[1]);
        if (moved < tc::kFitStepTolerance) return true;  // settled: the next step would not move the line
        const Vector3 uNew = unit(u + delta[0] * e1 + delta[1] * e2);
        const Vector3 pNew = p + delta[2] * e1 + delta[3] * e2;
        std::vector<double>& trial = plus;
        const double newCost = evaluate(pNew, uNew, trial);
        if (std::isfinite(newCost) && newCost <= cost) {
          p = pNew;
          u = uNew;
          r_.swap(trial);
          const bool settled = moved < tc::kFitStepTolerance || cost - newCost <= 1e-15 * cost;
          cost = newCost;
          lambda = std::max(lambda / 10, 1e-12);
          improved = true;
          if (settled) return true;
        } else {
          lambda *= 10;
        }
      }
      if (!improved) return isFinite(p) && isFinite(u);
    }
    return isFinite(p) && isFinite(u);
  }

 private:
  // The Gauss-Newton normal equations at (p, u): J^T J into `jtj` and -J^T r into `jtr` (zeroed by
  // the caller), with J the residuals' derivatives in the four steps of step() (angles hAng about
  // e1 and e2, shifts hPos along them), `jac` and `plus` its work space.
  void normalEquations(const Vector3& p, const Vector3& u, const Vector3& e1, const Vector3& e2, double hPos,
                       double hAng, std::vector<std::array<double, 4>>& jac, std::vector<double>& plus,
                       std::array<std::array<double, 4>, 4>& jtj, std::array<double, 4>& jtr) {
    const std::size_t n = s_.size();
    // Forward differences: the step's error in the Jacobian is some 1e-8 of it, far below what matters.
    for (int k = 0; k < 4; ++k) {
      Vector3 pp, up;
      step(p, u, e1, e2, k, hPos, hAng, +1.0, pp, up);
      evaluate(pp, up, plus);
      const double h = k < 2 ? hAng : hPos;
      for (std::size_t i = 0; i < n; ++i) jac[i][k] = (plus[i] - r_[i]) / h;
    }
    for (std::size_t i = 0; i < n; ++i) {
      for (int a = 0; a < 4; ++a) {
        jtr[a] -= jac[i][a] * r_[i];
        for (int b = 0; b < 4; ++b) jtj[a][b] += jac[i][a] * jac[i][b];
      }
    }
  }

  // Residuals (in sigmas) into r; returns the sum of squares (NaN when a line of sight is parallel).
  double evaluate(const Vector3& p, const Vector3& u, std::vector<double>& r) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < s_.size(); ++i) {
      const Nearest nearest = nearestOnLine(p, u, s_[i], d_[i]);
      r[i] = nearest.defined ? nearest.residual * w_[i] : kNaN;
      sum += r[i] * r[i];
    }
    return sum;
  }

  double meanRange(const Vector3& p, const Vector3& u) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < s_.size(); ++i) {
      const Vector3 w = s_[i] - p;
      sum += (w - dot(w, u) * u).length();
    }
    const double mean = sum / static_cast<double>(s_.size());
    return mean > 1.0 ? mean : 1.0;
  }

  static void step(const Vector3& p, const Vector3& u, const Vector3& e1, const Vector3& e2, int k, double hPos,
                   double hAng, double sign, Vector3& pOut, Vector3& uOut) {
    pOut = p;
    uOut = u;
    if (k == 0) uOut = unit(u + (sign * hAng) * e1);
    if (k == 1) uOut = unit(u + (sign * hAng) * e2);
    if (k == 2) pOut = p + (sign * hPos) * e1;
    if (k == 3) pOut = p + (sign * hPos) * e2;
  }

  const std::vector<Vector3>& s_;
  const std::vector<Vector3>& d_;
  const std::vector<double>& w_;
  std::vector<double> r_;
};

// ---------------------------------------------------------------- phases of solveCore

// A result for the event's sightings, stations and labels with nothing solved yet (NaN points, ranges, residuals).
CoreResult emptyResult(const PreparedEvent& event) {
  const std::size_t n = event.sightings.size();
  CoreResult result;
  result.hasPoint.assign(n, false);
  result.points.assign(n, Vector3(kNaN, kNaN, kNaN));
  result.range.assign(n, kNaN);
  result.residual.assign(n, kNaN);
  result.lineElevation.resize(n);
  result.labelPoints.assign(event.labels.size(), Vector3(kNaN, kNaN, kNaN));
  result.labelSolved.assign(event.labels.size(), false);
  result.directions.assign(n, Vector3());
  result.normals.assign(event.stations.size(), Vector3());
  return result;
}

// First elevations (degrees) of the lines of sight: the warm start's shifted by the change
// of the given elevations, else a star's refraction removed (Apparent), else as given.
void startElevations(const PreparedEvent& event, const std::vector<double>& elevations, const CoreResult* start,
                     std::vector<double>& lineElevation) {
  const std::size_t n = event.sightings.size();
  for (std::size_t i = 0; i < n; ++i) {
    double e = elevations[i];
    if (start != nullptr && start->lineElevation.size() == n) {
      e = start->lineElevation[i] + (elevations[i] - event.sightings[i].elevation);
    } else if (event.refraction == Refraction::Apparent) {
      e = elevations[i] - standardRefraction(elevations[i]);  // first guess: as for a star
    }
    lineElevation[i] = e;
  }
}

// Per sighting: origin of its line of sight (its station, ECEF metres) and weight (1/sigma, 1/radians).
void originsAndWeights(const PreparedEvent& event, std::vector<Vector3>& origins, std::vector<double>& weights) {
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    origins[i] = event.stations[event.sightings[i].station].position;
    weights[i] = event.sightings[i].excluded ? 0.0 : 1.0 / event.sightings[i].sigma;
  }
}

// Unit ECEF directions of the lines of sight from azimuths and elevations (degrees, per sighting).
void linesOfSight(const PreparedEvent& event, const std::vector<double>& azimuths,
                  const std::vector<double>& lineElevation, std::vector<Vector3>& directions) {
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const PreparedStation& st = event.stations[event.sightings[i].station];
    const double az = degToRad(azimuths[i]);
    const double el = degToRad(lineElevation[i]);
    directions[i] = (std::cos(el) * std::sin(az)) * st.east + (std::cos(el) * std::cos(az)) * st.north +
                    std::sin(el) * st.up;
  }
}

// Unit normal (ECEF) of the plane of sight of one station's lines of sight (two or more);
// the exact normal of two, the least-squares one of more. Not finite when there is none.
Vector3 planeNormal(const std::vector<std::size_t>& list, const std::vector<Vector3>& directions) {
  if (list.size() == 2) {
    const Vector3 normal = cross(directions[list[0]], directions[list[1]]);
    if (!(normal.length() > 0.0)) return Vector3(kNaN, kNaN, kNaN);
    return unit(normal);
  }
  std::array<std::array<double, 3>, 3> m{};
  for (std::size_t i : list) {
    const double dv[3] = {directions[i].x, directions[i].y, directions[i].z};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m[r][c] += dv[r] * dv[c];
  }
  return smallestEigenvector(m);
}

// Station s's sightings in the fit: its list, or (when some are excluded) the rest copied into `kept`.
const std::vector<std::size_t>& sightingsInFit(const PreparedEvent& event, std::size_t s, std::vector<std::size_t>& kept) {
  const std::vector<std::size_t>& all = event.stationSightings[s];
  if (std::none_of(all.begin(), all.end(), [&](std::size_t i) { return event.sightings[i].excluded; })) return all;
  kept.clear();
  for (std::size_t i : all)
    if (!event.sightings[i].excluded) kept.push_back(i);
  return kept;
}

// Planes of sight: per station the unit normal (ECEF) of its plane, zero when it has none;
// returns the stations that have one, in order.
std::vector<std::size_t> planesOfSight(const PreparedEvent& event, const std::vector<Vector3>& directions,
                                       std::vector<Vector3>& normals) {
  std::vector<std::size_t> planeStations, kept;
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const std::vector<std::size_t>& list = sightingsInFit(event, s, kept);
    normals[s] = Vector3();
    if (list.size() < 2) continue;
    const Vector3 normal = planeNormal(list, directions);
    if (!isFinite(normal)) continue;
    normals[s] = normal;
    planeStations.push_back(s);
  }
  return planeStations;
}

// Seed: the line (point p, ECEF metres; unit direction u) where the two planes of sight that
// meet at the largest angle cross, its point nearest the middle of their stations. False
// (p and u untouched) when no pair of planes crosses.
bool seedLine(const PreparedEvent& event, const std::vector<Vector3>& normals,
              const std::vector<std::size_t>& planeStations, Vector3& p, Vector3& u) {
  double best = -1.0;
  std::size_t a = 0, b = 0;
  for (std::size_t i = 0; i < planeStations.size(); ++i) {
    for (std::size_t j = i + 1; j < planeStations.size(); ++j) {
      const double angle = cross(normals[planeStations[i]], normals[planeStations[j]]).length();
      if (angle > best) {
        best = angle;
        a = planeStations[i];
        b = planeStations[j];
      }
    }
  }
  if (!(best > 0.0)) return false;
  const Vector3 dir = unit(cross(normals[a], normals[b]));
  const Vector3 sa = event.stations[a].position, sb = event.stations[b].position;
  const Vector3 mid = 0.5 * (sa + sb);
  std::array<std::array<double, 3>, 3> m{{{normals[a].x, normals[a].y, normals[a].z},
                                          {normals[b].x, normals[b].y, normals[b].z},
                                          {dir.x, dir.y, dir.z}}};
  std::array<double, 3> rhs{dot(normals[a], sa), dot(normals[b], sb), dot(dir, mid)};
  std::array<double, 3> x{};
  if (!solveLinear<3>(m, rhs, x)) return false;
  p = Vector3(x[0], x[1], x[2]);
  u = dir;
  return true;
}

// Points of a fitted line (p ECEF metres, unit u): each sighting's nearest point of the line,
// its range (metres) and signed residual (radians); the result becomes a trajectory.
void pointsOnLine(const Vector3& p, const Vector3& u, const std::vector<Vector3>& origins, CoreResult& result) {
  result.hasLine = true;
  result.status = SolveStatus::Trajectory;
  for (std::size_t i = 0; i < origins.size(); ++i) {
    const Nearest nearest = nearestOnLine(p, u, origins[i], result.directions[i]);
    if (!nearest.defined) continue;
    result.hasPoint[i] = true;
    result.points[i] = nearest.q;
    result.range[i] = nearest.range;
    result.residual[i] = nearest.residual;
  }
}

// One plane of sight (station ps): every single sighting of the other stations meets it.
// Points ECEF metres, ranges metres (negative behind the station), residuals zero.
void pointsOnPlane(const PreparedEvent& event, std::size_t ps, const std::vector<Vector3>& origins,
                   CoreResult& result) {
  const std::vector<Vector3>& directions = result.directions;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    const std::size_t s = event.sightings[i].station;
    if (s == ps || event.stationSightings[s].size() != 1) continue;
    Vector3 q;
    if (!meetPlane(event.stations[ps].position, result.normals[ps], origins[i], directions[i], q)) continue;
    result.hasPoint[i] = true;
    result.points[i] = q;
    result.range[i] = (q - origins[i]).length();
    result.residual[i] = 0.0;
    if (dot(q - origins[i], directions[i]) < 0) result.range[i] = -result.range[i];
    result.status = SolveStatus::PointsOnly;
  }
}

// No plane at all: one sighting per station, triangulated as one point; per sighting the
// nearest point of its line (ECEF metres), range (metres) and unsigned residual (radians).
void pointOfAllLines(const PreparedEvent& event, const std::vector<Vector3>& origins, CoreResult& result) {
  const std::size_t n = event.sightings.size();
  const std::vector<Vector3>& directions = result.directions;
  bool single = true;
  for (std::size_t s = 0; s < event.stations.size(); ++s) single = single && event.stationSightings[s].size() <= 1;
  Vector3 x;
  if (!(single && n >= 2 && leastSquaresPoint(origins, directions, x) && isFinite(x))) return;
  for (std::size_t i = 0; i < n; ++i) {
    const Vector3 toX = x - origins[i];
    const double t = dot(toX, directions[i]);
    result.hasPoint[i] = true;
    result.points[i] = origins[i] + t * directions[i];
    result.range[i] = std::fabs(t);
    result.residual[i] = std::atan2(cross(toX, directions[i]).length(), t);
  }
  result.status = SolveStatus::PointsOnly;
}

// Whether no point moved by kSettledMovement (metres) or more since the previous pass.
bool settled(const CoreResult& result, const std::vector<Vector3>& previous) {
  double movement = 0.0;
  for (std::size_t i = 0; i < result.points.size(); ++i) {
    if (!result.hasPoint[i]) continue;
    const double moved = distance(result.points[i], previous[i]);
    movement = std::isnan(moved) ? std::numeric_limits<double>::infinity() : std::max(movement, moved);
  }
  return movement < tc::kSettledMovement;
}

// Next pass's elevations (degrees) of the lines of sight: traced through the atmosphere
// from each given elevation to the range of the point found.
void retraceElevations(const PreparedEvent& event, const std::vector<double>& elevations, ZenithTracer& tracer,
                       CoreResult& result) {
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    if (!result.hasPoint[i]) continue;
    const PreparedStation& st = event.stations[event.sightings[i].station];
    const double zenith = tracer.trueZenith(i, apparentZenith(event.refraction, elevations[i]),
                                            traceTargetAngle(st, result.points[i]));
    result.lineElevation[i] = 90 - radToDeg(zenith);
  }
}

// Labelled points (ECEF metres), from the last pass's lines of sight: the least-squares
// point of the lines sharing a label across two or more stations.
void labelPoints(const PreparedEvent& event, const std::vector<Vector3>& origins, CoreResult& result) {
  for (std::size_t l = 0; l < event.labels.size(); ++l) {
    std::vector<Vector3> s, d;
    std::vector<std::size_t> seen;
    for (std::size_t i = 0; i < event.sightings.size(); ++i) {
      if (event.sightings[i].label != static_cast<int>(l)) continue;
      s.push_back(origins[i]);
      d.push_back(result.directions[i]);
      if (std::find(seen.begin(), seen.end(), event.sightings[i].station) == seen.end())
        seen.push_back(event.sightings[i].station);
    }
    Vector3 x;
    result.labelSolved[l] = seen.size() >= 2 && leastSquaresPoint(s, d, x) && isFinite(x);
    result.labelPoints[l] = result.labelSolved[l] ? x : Vector3(kNaN, kNaN, kNaN);
  }
}

// Least-squares slope (metres per second along u) of distance from p against time over the
// timed points of `station` (all stations when none is given), times counted from `t0`;
// NaN when the times do not fix one.
double timeSlope(const PreparedEvent& event, const Vector3& p, const Vector3& u, const CoreResult& result,
                 std::optional<std::size_t> station, double t0) {
  double st = 0, ss = 0, stt = 0, sts = 0;
  int timed = 0;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    if (!result.hasPoint[i] || !event.sightings[i].time || event.sightings[i].excluded) continue;
    if (station && event.sightings[i].station != *station) continue;
    const double t = *event.sightings[i].time - t0;
    const double s = dot(result.points[i] - p, u);
    st += t;
    ss += s;
    stt += t * t;
    sts += t * s;
    ++timed;
  }
  const double denom = timed * stt - st * st;
  if (!(timed >= 2 && denom > 0.0)) return kNaN;
  return (timed * sts - st * ss) / denom;
}

// The direction of flight along u that each station's own times give (a station's clock
// offset cannot turn them): Disagree when stations' times point opposite ways, None when
// no station has two distinct times.
enum class StationVote { Forward, Backward, Disagree, None };

StationVote stationVote(const PreparedEvent& event, const Vector3& p, const Vector3& u, const CoreResult& result,
                        double t0) {
  int forward = 0, backward = 0;
  for (std::size_t station = 0; station < event.stations.size(); ++station) {
    const double slope = timeSlope(event, p, u, result, station, t0);
    if (slope > 0.0) ++forward;
    if (slope < 0.0) ++backward;
  }
  if (forward > 0 && backward > 0) return StationVote::Disagree;
  if (forward > 0) return StationVote::Forward;
  if (backward > 0) return StationVote::Backward;
  return StationVote::None;
}

// Speed (m/s) from the timed points: the least-squares slope of distance along u (metres
// from p) against time. Turns u along the flight and sets result.speed; false without one.
// The direction comes from each station's own times, so that a station whose clock is
// seconds off cannot turn the flight around; where the stations disagree, from the
// geometry (false: the caller points it down); only where no station has two times, from
// the times across stations.
bool speedByTime(const PreparedEvent& event, const Vector3& p, Vector3& u, CoreResult& result) {
  double t0 = kNaN;
  for (std::size_t i = 0; i < event.sightings.size(); ++i) {
    if (result.hasPoint[i] && event.sightings[i].time) {
      t0 = *event.sightings[i].time;
      break;
    }
  }
  const double slope = timeSlope(event, p, u, result, std::nullopt, t0);  // metres per second along u
  const StationVote vote = stationVote(event, p, u, result, t0);
  if (vote == StationVote::Disagree) return false;
  if (!(std::isfinite(slope) && slope != 0.0)) return false;
  const bool backward = vote == StationVote::None ? slope < 0 : vote == StationVote::Backward;
  if (backward) u = -1.0 * u;
  result.speed = std::fabs(slope);
  return true;
}

// Direction of flight (unit ECEF, u turned in place): along the times where they are given,
// otherwise downward; the residuals' sign follows it. Stores the line point p and u.
void orientFlight(const PreparedEvent& event, const Vector3& p, Vector3& u, CoreResult& result) {
  result.direction = u;
  const bool byTime = speedByTime(event, p, u, result);
  if (!byTime && dot(u, approximateUp(p)) > 0) u = -1.0 * u;
  if (!(u == result.direction) && dot(u, result.direction) < 0) {
    for (double& r : result.residual) r = -r;
  }
  result.linePoint = p;
  result.direction = u;
}

// Begin and end (ECEF metres): the points in the fit first and last along the direction of flight u;
// without any, the line is dropped.
void lineEnds(const PreparedEvent& event, const Vector3& p, const Vector3& u, CoreResult& result) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::size_t i = 0; i < result.points.size(); ++i) {
    if (!result.hasPoint[i] || event.sightings[i].excluded) continue;
    const double s = dot(result.points[i] - p, u);
    if (s < lo) {
      lo = s;
      result.begin = result.points[i];
    }
    if (s > hi) {
      hi = s;
      result.end = result.points[i];
    }
  }
  if (!(hi >= lo)) {
    result.hasLine = false;
    result.status = SolveStatus::NoGeometry;
  }
}

}  // namespace

PreparedEvent prepare(const Event& event) {
  PreparedEvent prepared;
  prepared.refraction = event.refraction;
  const double a = GeographicLib::Constants::WGS84_a();
  const double f = GeographicLib::Constants::WGS84_f();
  const double e2 = f * (2 - f);
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    const Station& station = event.stations[s];
    PreparedStation p;
    p.position = toEcef(station.position);
    const LocalFrame frame = localFrame(station.position);
    p.east = frame.east;
    p.north = frame.north;
    p.up = frame.up;
    p.height = station.position.height;
    // Gaussian mean radius of curvature: the sphere that fits the ellipsoid best around the station.
    const double sinLat = std::sin(degToRad(station.position.latitude));
    p.traceRadius = a * std::sqrt(1 - e2) / (1 - e2 * sinLat * sinLat);
    p.traceCentre = p.position - (p.traceRadius + p.height) * p.up;
    prepared.stations.push_back(p);
    prepared.stationSightings.emplace_back();
    for (std::size_t k = 0; k < station.sightings.size(); ++k) {
      const Sighting& sighting = station.sightings[k];
      PreparedSighting ps;
      ps.station = s;
      ps.index = k;
      ps.azimuth = sighting.azimuth;
      ps.elevation = sighting.elevation;
      ps.sigma = degToRad(sightingSigma(event, s, k));
      ps.time = sighting.time;
      if (event.triangulateLabels && !sighting.label.empty()) {
        const auto it = std::find(prepared.labels.begin(), prepared.labels.end(), sighting.label);
        ps.label = static_cast<int>(it - prepared.labels.begin());
        if (it == prepared.labels.end()) prepared.labels.push_back(sighting.label);
      }
      prepared.stationSightings.back().push_back(prepared.sightings.size());
      prepared.sightings.push_back(ps);
    }
  }
  return prepared;
}

DirectTracer::DirectTracer(const PreparedEvent& event)
    : event_(&event), rays_(event.sightings.size()), rayZenith_(event.sightings.size(), kNaN) {
  for (const PreparedStation& s : event.stations) shells_.emplace_back(s.height, s.traceRadius);
}

double DirectTracer::trueZenith(std::size_t sighting, double apparentZenith, double targetAngle) {
  if (!(rayZenith_[sighting] == apparentZenith)) {
    rays_[sighting] = TracedRay(apparentZenith);
    rayZenith_[sighting] = apparentZenith;
  }
  return rays_[sighting].trueZenith(shells_[event_->sightings[sighting].station], targetAngle);
}

double apparentZenith(Refraction refraction, double elevation) {
  const double apparent = refraction == Refraction::Corrected ? elevation + standardRefraction(elevation) : elevation;
  return degToRad(90 - apparent);
}

double traceTargetAngle(const PreparedStation& station, const Vector3& point) {
  return angleBetween(station.position - station.traceCentre, point - station.traceCentre);
}

CoreResult solveAsGiven(const PreparedEvent& event) {
  const std::size_t n = event.sightings.size();
  std::vector<double> azimuths(n), elevations(n);
  for (std::size_t i = 0; i < n; ++i) {
    azimuths[i] = event.sightings[i].azimuth;
    elevations[i] = event.sightings[i].elevation;
  }
  DirectTracer tracer(event);
  return solveCore(event, azimuths, elevations, &tracer);
}

void radiantOf(const Vector3& direction, const Vector3& at, double& azimuth, double& elevation) {
  const Horizontal radiant = horizontalOf(localFrame(toGeodetic(at)), -1.0 * direction);
  azimuth = radiant.azimuth;
  elevation = radiant.elevation;
}

CoreResult solveCore(const PreparedEvent& event, const std::vector<double>& azimuths,
                     const std::vector<double>& elevations, ZenithTracer* tracer, const CoreResult* start) {
  const std::size_t n = event.sightings.size();
  CoreResult result = emptyResult(event);
  const bool traced = event.refraction != Refraction::None && tracer != nullptr;
  startElevations(event, elevations, start, result.lineElevation);
  std::vector<Vector3> origins(n);
  std::vector<double> weights(n);
  originsAndWeights(event, origins, weights);
  std::vector<Vector3> previous(n, Vector3(kNaN, kNaN, kNaN));
  Vector3 p, u;
  bool haveLine = false;
  if (start != nullptr && start->hasLine) {
    p = start->linePoint;
    u = start->direction;
    haveLine = true;
  }

  const int maxPasses = traced ? tc::kMaxPasses : 1;
  for (int pass = 1; pass <= maxPasses; ++pass) {
    result.passes = pass;
    linesOfSight(event, azimuths, result.lineElevation, result.directions);
    const std::vector<std::size_t> planeStations = planesOfSight(event, result.directions, result.normals);
    std::fill(result.hasPoint.begin(), result.hasPoint.end(), false);
    result.hasLine = false;
    result.status = SolveStatus::NoGeometry;
    if (planeStations.size() >= 2) {
      if (!haveLine) haveLine = seedLine(event, result.normals, planeStations, p, u);
      if (haveLine) {
        LineFit fit(origins, result.directions, weights);
        haveLine = fit.refine(p, u);
      }
      if (haveLine) pointsOnLine(p, u, origins, result);
    } else if (planeStations.size() == 1) {
      pointsOnPlane(event, planeStations.front(), origins, result);
    } else {
      pointOfAllLines(event, origins, result);
    }

    if (!traced) break;
    if (pass > 1 && settled(result, previous)) break;
    if (pass == maxPasses) break;
    previous = result.points;
    retraceElevations(event, elevations, *tracer, result);
  }

  labelPoints(event, origins, result);
  if (result.hasLine) {
    orientFlight(event, p, u, result);
    lineEnds(event, p, u, result);
  }
  return result;
}

}  // namespace sightline
