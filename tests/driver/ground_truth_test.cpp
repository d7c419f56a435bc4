// A straight fireball path at meteor heights seen from two stations: the
// sightings are computed here from the horizon frame's own definition (south,
// east, up; azimuth from south through west), without the tool's code, and the
// tool must give back the true points, distances and flight direction.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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
  // Runs the tool on the sightings in refraction mode 2; returns its output.
  std::string solve(const Sighting (&s)[4], const char* flags) const {
    const auto path = testing::writeTempFile(std::string(GetParam().name) + ".txt", file(s, flags));
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

INSTANTIATE_TEST_SUITE_P(
    Scenes, GroundTruth,
    ::testing::Values(Scene{"alps", 11.2, 47.8, 620, 12.1, 48.4, 450, 11.9, 47.6, 88000, 11.5, 48.1, 42000},
                      Scene{"southern", 149.1, -35.3, 580, 148.2, -34.6, 300, 148.4, -35.6, 95000, 148.9, -34.9, 30000},
                      Scene{"dateline", 179.6, 20.0, 10, -179.5, 20.5, 40, -179.9, 20.8, 110000, 179.7, 19.9, 60000},
                      Scene{"steep", -3.1, 40.2, 900, -2.4, 40.9, 700, -2.9, 40.7, 80000, -2.85, 40.68, 20000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
