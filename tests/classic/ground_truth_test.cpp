// A straight fireball path at meteor heights seen from two stations: the
// sightings are computed here from the horizon frame's own definition (south,
// east, up; azimuth from south through west), without the tool's code, and the
// tool must give back the true points, distances and flight direction. With
// refraction, the apparent elevations come from a forward trace written here
// through the library's model atmosphere.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "earth/refraction.hpp"
#include "run_helpers.hpp"

namespace sightline {
namespace {

constexpr double kPiValue = 3.141592653589793;
constexpr double kA = 6378137.0, kB = 6356752.0;

struct V {
  double x, y, z;
};
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator*(double s, V a) { return {s * a.x, s * a.y, s * a.z}; }
double dotp(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(V a) { return std::sqrt(dotp(a, a)); }
double rad(double deg) { return deg * kPiValue / 180; }
double deg(double r) { return r * 180 / kPiValue; }

// Radius of the meridian ellipse along geocentric latitude phi.
double radiusAt(double phi) { return kA * kB / std::hypot(kA * std::sin(phi), kB * std::cos(phi)); }

V place(double lonDeg, double latDeg, double height) {
  const double l = rad(lonDeg), p = rad(latDeg), r = radiusAt(p) + height;
  return {r * std::cos(l) * std::cos(p), r * std::sin(l) * std::cos(p), r * std::sin(p)};
}

struct Frame {
  V south, east, up;
};

// Horizon frame of the geocentric vertical at P.
Frame frameAt(V p) {
  const double lon = std::atan2(p.y, p.x), lat = std::asin(p.z / norm(p));
  return {{std::sin(lat) * std::cos(lon), std::sin(lat) * std::sin(lon), -std::cos(lat)},
          {-std::sin(lon), std::cos(lon), 0},
          {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)}};
}

struct Sighting {
  double azimuth, elevation;
};

Sighting sight(V from, V to) {
  const V d = (1 / norm(to - from)) * (to - from);
  const Frame f = frameAt(from);
  double az = deg(std::atan2(-dotp(d, f.east), dotp(d, f.south)));
  if (az < 0) az += 360;
  return {az, deg(std::asin(dotp(d, f.up)))};
}

struct Printed {
  double h, lon, lat;
};

Printed truth(V p) {
  const double r = norm(p), lat = std::asin(p.z / r);
  double lon = deg(std::atan2(p.y, p.x));
  if (lon < 0) lon += 360;
  return {(r - radiusAt(lat)) / 1000, lon, deg(lat)};
}

std::vector<Printed> printedPoints(const std::string& output) {
  std::vector<Printed> points;
  for (std::size_t at = output.find("h="); at != std::string::npos; at = output.find("h=", at + 1)) {
    Printed p{};
    if (std::sscanf(output.c_str() + at, "h=%lf km  lon=%lf  lat=%lf", &p.h, &p.lon, &p.lat) == 3)
      points.push_back(p);
  }
  return points;
}

double printedAfter(const std::string& output, const std::string& label) {
  const std::size_t at = output.find(label);
  double value = NAN;
  if (at != std::string::npos) std::sscanf(output.c_str() + at + label.size(), "%lf", &value);
  return value;
}

constexpr double kPrinted = 1.5e-6;  // six printed decimals

void expectPoint(const Printed& got, V expected) {
  const Printed t = truth(expected);
  EXPECT_NEAR(got.h, t.h, kPrinted);
  EXPECT_NEAR(got.lon, t.lon, kPrinted);
  EXPECT_NEAR(got.lat, t.lat, kPrinted);
}

struct Scene {
  const char* name;
  double lon1, lat1, h1, lon2, lat2, h2;   // stations
  double slon, slat, sh, elon, elat, eh;   // path start and end
};
void PrintTo(const Scene& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class GroundTruth : public ::testing::TestWithParam<Scene> {
 protected:
  V station1() const { return place(GetParam().lon1, GetParam().lat1, GetParam().h1); }
  V station2() const { return place(GetParam().lon2, GetParam().lat2, GetParam().h2); }
  V along(double t) const {
    const auto& s = GetParam();
    const V a = place(s.slon, s.slat, s.sh), b = place(s.elon, s.elat, s.eh);
    return a + t * (b - a);
  }
  std::string file(const Sighting (&s)[4], const char* flags) const {
    const auto& c = GetParam();
    char text[2048];
    std::snprintf(text, sizeof text,
                  "One\n%.12f\n%.12f\n%.6f\n%.12f\n%.12f\n%.12f\n%.12f\nTwo\n%.12f\n%.12f\n%.6f\n"
                  "%.12f\n%.12f\n%.12f\n%.12f\n2\n%s",
                  c.lon1, c.lat1, c.h1, s[0].azimuth, s[0].elevation, s[1].azimuth, s[1].elevation, c.lon2,
                  c.lat2, c.h2, s[2].azimuth, s[2].elevation, s[3].azimuth, s[3].elevation, flags);
    return text;
  }
  // Runs the tool on the sightings in refraction mode `mode`; returns its output.
  std::string solve(const Sighting (&s)[4], const char* flags, const char* mode = "2") const {
    std::string text = file(s, flags);
    text = testing::withLine(text, 17, mode);
    const auto path = testing::writeTempFile(std::string(GetParam().name) + ".txt", text);
    const auto result = testing::runTool(path);
    std::remove(path.c_str());
    EXPECT_EQ(result.status, 0) << result.output;
    return result.output;
  }
};

TEST_P(GroundTruth, FourSightingsGiveTheTruePointsDistanceAndDirection) {
  const V p1 = along(0.1), p2 = along(0.8), q1 = along(0.25), q2 = along(0.9);
  const Sighting s[4] = {sight(station1(), p1), sight(station1(), p2), sight(station2(), q1), sight(station2(), q2)};
  const std::string output = solve(s, "1\n1\n1\n1\n");
  const auto points = printedPoints(output);
  ASSERT_EQ(points.size(), 4u) << output;
  expectPoint(points[0], p1);
  expectPoint(points[1], p2);
  expectPoint(points[2], q1);
  expectPoint(points[3], q2);

  EXPECT_NEAR(printedAfter(output, "Distance between these points: "), norm(p2 - p1) / 1000, 6e-4);
  // Flight direction from point 1 to point 2, seen at point 2.
  const V v = p2 - p1;
  const Frame f = frameAt(p2);
  const double s2 = dotp(v, f.south), e2 = dotp(v, f.east), u2 = dotp(v, f.up);
  double azimuth = 360 - deg(std::atan2(e2, s2));
  if (azimuth >= 360) azimuth -= 360;
  const double inclination = deg(std::atan2(std::hypot(s2, e2), u2)) - 90;
  EXPECT_NEAR(printedAfter(output, "azimuth of flight vector: "), azimuth, kPrinted);
  EXPECT_NEAR(printedAfter(output, "inclin. of flight vector: "), inclination, kPrinted);
  EXPECT_GT(inclination, 0.0);  // the path descends
}

TEST_P(GroundTruth, ThreeSightingsGiveTheTruePoint) {
  const V p1 = along(0.2), p2 = along(0.7), q = along(0.45);
  const Sighting s[4] = {sight(station1(), p1), sight(station1(), p2), sight(station2(), q), {0, 0}};
  const auto points = printedPoints(solve(s, "1\n1\n1\n0\n"));
  ASSERT_EQ(points.size(), 1u);
  expectPoint(points[0], q);
}

TEST_P(GroundTruth, TwoSightingsOfOnePointMeetThere) {
  const V p = along(0.5);
  const Sighting s[4] = {{0, 0}, sight(station1(), p), {0, 0}, sight(station2(), p)};
  const std::string output = solve(s, "0\n1\n0\n1\n");
  EXPECT_EQ(output.rfind("\nmin. distance of the two skew lines = 0.000 km\nat: h=", 0), 0u) << output;
  const auto points = printedPoints(output);
  ASSERT_EQ(points.size(), 1u);
  expectPoint(points[0], p);
}

// Swept angle (radians, at the Earth's centre) of a ray leaving a station at
// radius r0 (metres) above the base radius `base` at apparent zenith angle z0
// (radians) when it reaches radius `target`: straight within each 10 m shell,
// Snell's law at each boundary, the last shell entered only up to `target`.
double sweptTo(double z0, double r0, double base, double target) {
  double r = r0, z = z0, swept = 0, n = refractiveIndexAt(r0 - base);
  while (r + kShellStep < target) {
    const double outer = std::asin(std::sin(z) * r / (r + kShellStep));
    swept += z - outer;
    r += kShellStep;
    const double inner = refractiveIndexAt(r - base);
    z = std::asin(std::sin(outer) * n / inner);
    n = inner;
  }
  return swept + z - std::asin(std::sin(z) * r / target);
}

// The elevation (degrees) under which a station sees `point` through the model
// atmosphere: the apparent zenith angle whose ray passes through the point.
double apparentElevation(V station, V point) {
  const double lat = std::asin(station.z / norm(station));
  const double r0 = norm(station), base = radiusAt(lat), target = norm(point);
  const double angle = std::acos(dotp(station, point) / (r0 * target));
  double low = rad(90 - sight(station, point).elevation) - rad(1);  // apparent: seen higher
  double high = rad(90 - sight(station, point).elevation);
  for (int i = 0; i < 200 && high - low > 1e-15; ++i) {
    const double mid = 0.5 * (low + high);
    (sweptTo(mid, r0, base, target) < angle ? low : high) = mid;
  }
  return 90 - deg(0.5 * (low + high));
}

// The elevation that star-calibrated astrometry gives for an apparent one:
// the e for which e + standard refraction(e) is the apparent elevation.
double correctedAsForAStar(double apparent) {
  double e = apparent;
  for (int i = 0; i < 100; ++i) e = apparent - standardRefraction(e);
  return e;
}

double printedDistance(const Printed& a, const Printed& b) {
  const V pa = place(a.lon, a.lat, a.h * 1000), pb = place(b.lon, b.lat, b.h * 1000);
  return norm(pa - pb);
}

TEST_P(GroundTruth, RefractedSightingsGiveTheTruePointsInModesZeroAndOne) {
  const V p1 = along(0.15), p2 = along(0.85), q1 = along(0.3), q2 = along(0.7);
  const V st1 = station1(), st2 = station2();
  const V targets[4] = {p1, p2, q1, q2};
  const V from[4] = {st1, st1, st2, st2};
  Sighting apparent[4], corrected[4];
  for (int k = 0; k < 4; ++k) {
    apparent[k] = {sight(from[k], targets[k]).azimuth, apparentElevation(from[k], targets[k])};
    corrected[k] = {apparent[k].azimuth, correctedAsForAStar(apparent[k].elevation)};
    // Refraction lifts every point: the test would not tell traced from straight otherwise.
    ASSERT_GT(apparent[k].elevation - sight(from[k], targets[k]).elevation, 5.0 / 3600);
  }
  for (const char* mode : {"1", "0"}) {
    SCOPED_TRACE(std::string("mode ") + mode);
    const Sighting(&sightings)[4] = mode[0] == '1' ? apparent : corrected;
    const auto points = printedPoints(solve(sightings, "1\n1\n1\n1\n", mode));
    ASSERT_EQ(points.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_LT(printedDistance(points[k], truth(targets[k])), 0.5) << "point " << k;
    // Straight lines of sight through the same elevations miss by metres.
    const auto straight = printedPoints(solve(sightings, "1\n1\n1\n1\n", "2"));
    ASSERT_EQ(straight.size(), 4u);
    double worst = 0;
    for (int k = 0; k < 4; ++k) worst = std::max(worst, printedDistance(straight[k], truth(targets[k])));
    EXPECT_GT(worst, 2.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, GroundTruth,
    ::testing::Values(Scene{"alps", 11.2, 47.8, 620, 12.1, 48.4, 450, 11.9, 47.6, 88000, 11.5, 48.1, 42000},
                      Scene{"southern", 149.1, -35.3, 580, 148.2, -34.6, 300, 148.4, -35.6, 95000, 148.9, -34.9, 30000},
                      Scene{"dateline", 179.6, 20.0, 10, -179.5, 20.5, 40, -179.9, 20.8, 110000, 179.7, 19.9, 60000},
                      Scene{"steep", -3.1, 40.2, 900, -2.4, 40.9, 700, -2.9, 40.7, 80000, -2.85, 40.68, 20000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
