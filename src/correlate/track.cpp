#include "correlate/track.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "correlate/constants.hpp"
#include "earth/frames.hpp"
#include "geometry/matrix3.hpp"

namespace sightline::correlation {

namespace cc = correlate_constants;

namespace {

Vector3 unit(const Vector3& v) {
  const double n = v.length();
  return n > 0.0 ? v / n : Vector3();
}

// The normal of the plane through the station and the rays: the sum of the
// cross products of rays half a track apart, which averages the noise of
// every ray instead of trusting the first and the last.
Vector3 planeNormal(const std::vector<Vector3>& rays) {
  const std::size_t n = rays.size();
  const std::size_t step = std::max<std::size_t>(1, n / 2);
  Vector3 sum;
  for (std::size_t k = 0; k + step < n; ++k) sum = sum + cross(rays[k], rays[k + step]);
  return sum;
}

// A symmetric matrix from the weighted outer products of `vectors`.
Matrix3 outerSum(const std::vector<Vector3>& vectors, const std::vector<double>& weights) {
  Matrix3 m;
  for (std::size_t k = 0; k < vectors.size(); ++k) {
    const double c[3] = {vectors[k].x, vectors[k].y, vectors[k].z};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) m.m[i][j] += weights[k] * c[i] * c[j];
  }
  return m;
}

// Height above the WGS84 ellipsoid (m) of an ECEF point, measured along the
// radius: within a metre of the geodetic height at meteor heights (the
// normal and the radius part by at most 0.2 degrees), and cheap.
double heightOf(const Vector3& p) {
  constexpr double a = cc::kWgs84SemiMajorAxis, b = cc::kWgs84SemiMinorAxis;
  const double r = p.length();
  const double sinPsi = p.z / r, cosPsi = std::sqrt(p.x * p.x + p.y * p.y) / r;
  return r - a * b / std::sqrt(b * b * cosPsi * cosPsi + a * a * sinPsi * sinPsi);
}

// Range (m) along the unit ray d from the station s to the height h above the
// station's own radius (a sphere through the station: heights within a few km).
double rangeToHeight(const Vector3& s, const Vector3& d, double h) {
  const double rs = s.length(), b = dot(s, d), target = rs + h;
  return std::min(-b + std::sqrt(b * b + target * target - rs * rs), cc::kMaxRange);
}

// The box of the first and last rays between heights lowest and highest, widened by kBoxMargin.
void setBox(Track& t, double lowest, double highest) {
  const double inf = std::numeric_limits<double>::infinity();
  t.low = Vector3(inf, inf, inf);
  t.high = Vector3(-inf, -inf, -inf);
  for (const Vector3& d : {t.rays.front(), t.rays.back()})
    for (double h : {lowest, highest}) {
      const Vector3 p = t.station + rangeToHeight(t.station, d, h) * d;
      t.low = Vector3(std::min(t.low.x, p.x), std::min(t.low.y, p.y), std::min(t.low.z, p.z));
      t.high = Vector3(std::max(t.high.x, p.x), std::max(t.high.y, p.y), std::max(t.high.z, p.z));
    }
  const Vector3 margin(cc::kBoxMargin, cc::kBoxMargin, cc::kBoxMargin);
  t.low = t.low - margin;
  t.high = t.high + margin;
}

}  // namespace

bool boxesMeet(const Track& a, const Track& b) {
  return a.low.x <= b.high.x && b.low.x <= a.high.x && a.low.y <= b.high.y && b.low.y <= a.high.y &&
         a.low.z <= b.high.z && b.low.z <= a.high.z;
}

Track makeTrack(const Detection& detection, double lowest, double highest) {
  Track track;
  const GeodeticPosition place{detection.position.latitude, detection.position.longitude,
                               detection.position.height + detection.geoidHeight};
  track.station = toEcef(place);
  const LocalFrame frame = localFrame(place);
  std::vector<std::size_t> order(detection.sightings.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return detection.sightings[a].time.value_or(0.0) < detection.sightings[b].time.value_or(0.0);
  });
  for (std::size_t k : order) {
    const Sighting& s = detection.sightings[k];
    if (!s.time || !std::isfinite(*s.time) || !std::isfinite(s.azimuth) || !std::isfinite(s.elevation)) continue;
    track.rays.push_back(directionFromHorizontal(frame, s.azimuth, s.elevation));
    track.times.push_back(*s.time);
  }
  if (track.rays.size() < 2) return track;
  track.begin = track.times.front();
  track.end = track.times.back();
  const Vector3 normal = planeNormal(track.rays);
  const double spread = std::asin(std::min(1.0, cross(track.rays.front(), track.rays.back()).length()));
  track.usable = track.end > track.begin && normal.length() > 0.0 && spread > cc::kMinTrackAngle;
  track.normal = unit(normal);
  double sum = 0.0;
  for (const Vector3& d : track.rays) sum += std::pow(std::asin(std::clamp(dot(track.normal, d), -1.0, 1.0)), 2);
  track.scatter = std::sqrt(sum / track.rays.size());
  setBox(track, lowest, highest);
  return track;
}

Span spanOn(const Track& track, const Line& line) {
  Span span;
  const std::size_t n = track.rays.size();
  double sumT = 0.0, sumS = 0.0, sumTT = 0.0, sumTS = 0.0;
  std::size_t used = 0;
  const Vector3 w0 = track.station - line.point;
  const double e = dot(line.direction, w0);
  for (std::size_t k = 0; k < n; ++k) {
    const Vector3& d = track.rays[k];
    const double b = dot(d, line.direction);
    const double denom = 1.0 - b * b;
    const bool last = k + 1 == n;
    if (denom < cc::kGrazingSine) {
      if (k == 0 || last) return span;
      continue;
    }
    const double dw = dot(d, w0);
    const double range = (b * e - dw) / denom;
    const double s = (e - b * dw) / denom;
    if (k == 0 || last) {
      if (!(range > 0.0 && range < cc::kMaxRange)) return span;
      (k == 0 ? span.sBegin : span.sEnd) = s;
    }
    const double t = track.times[k] - track.times[0];
    sumT += t, sumS += s, sumTT += t * t, sumTS += t * s;
    ++used;
  }
  const double meanT = sumT / used, meanS = sumS / used;
  const double varT = sumTT / used - meanT * meanT;
  span.speed = varT > 0.0 ? (sumTS / used - meanT * meanS) / varT : 0.0;
  span.sMean = meanS;
  span.tMean = track.times[0] + meanT;
  span.hBegin = heightOf(line.point + span.sBegin * line.direction);
  span.hEnd = heightOf(line.point + span.sEnd * line.direction);
  span.ok = std::isfinite(span.speed) && std::isfinite(span.hBegin) && std::isfinite(span.hEnd);
  return span;
}

double timeAt(const Span& span, double s) {
  return span.speed != 0.0 ? span.tMean + (s - span.sMean) / span.speed : span.tMean;
}

double residual(const Track& track, const Line& line) {
  const Vector3 m = unit(cross(line.direction, line.point - track.station));
  double sum = 0.0;
  for (const Vector3& d : track.rays) {
    const double a = std::asin(std::clamp(dot(m, d), -1.0, 1.0));
    sum += a * a;
  }
  return track.rays.empty() ? 0.0 : std::sqrt(sum / track.rays.size());
}

Line planesMeet(const Track& a, const Track& b, double& sine) {
  const Vector3 along = cross(a.normal, b.normal);
  sine = along.length();
  Line line;
  if (sine == 0.0) return line;
  line.direction = along / sine;
  // The point a*nA + b*nB (from a's station) that lies in both planes.
  const double c = dot(a.normal, b.normal);
  const double hb = dot(b.normal, b.station - a.station);
  const double det = 1.0 - c * c;
  line.point = a.station + ((-hb * c) / det) * a.normal + (hb / det) * b.normal;
  return line;
}

Line fitLine(const std::vector<const Track*>& members, const std::vector<double>& weights, const Line& start) {
  std::vector<Vector3> normals;
  for (const Track* t : members) normals.push_back(t->normal);
  Matrix3 m = outerSum(normals, weights);
  const double trace = m.m[0][0] + m.m[1][1] + m.m[2][2];
  Matrix3 shifted = m;
  for (int i = 0; i < 3; ++i) shifted.m[i][i] += 1e-9 * trace;
  const Matrix3 inverse = shifted.invert();
  Vector3 direction = start.direction;
  for (int pass = 0; pass < 4; ++pass) direction = unit(inverse * direction);
  if (dot(direction, start.direction) < 0.0) direction = -direction;
  // The point: least squares of the plane distances, held on the plane through the origin normal to the line.
  const Vector3 origin = members.front()->station;
  Matrix3 system = m;
  const double c[3] = {direction.x, direction.y, direction.z};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) system.m[i][j] += trace * c[i] * c[j];
  Vector3 rhs;
  for (std::size_t k = 0; k < members.size(); ++k)
    rhs = rhs + (weights[k] * dot(normals[k], members[k]->station - origin)) * normals[k];
  Line line;
  line.direction = direction;
  line.point = origin + system.invert() * rhs;
  return isFinite(line.point) && isFinite(direction) ? line : start;
}

}  // namespace sightline::correlation
