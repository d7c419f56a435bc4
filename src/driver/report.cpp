#include <cstdio>

#include "driver/solutions.hpp"
#include "earth/ellipsoid.hpp"
#include "geometry/angles.hpp"

namespace sightline {

namespace {

constexpr double kKilometresPerMetre = 0.001;

void printPointPair(const RunState& s, int first, int v) {
  const char* here = s.file.viewPointName[v].c_str();
  const char* there = s.file.viewPointName[1 - v].c_str();
  const Vector3& p1 = s.currentPoint[first];
  const Vector3& p2 = s.currentPoint[first + 1];
  std::fprintf(s.out, "Intersection of Viewlines from %s with Viewplane from %s:\n", here, there);
  std::fprintf(s.out, "Trajectory Point 1  ");
  printPoint(s.out, p1);
  std::fprintf(s.out, "Trajectory Point 2  ");
  printPoint(s.out, p2);
  std::fprintf(s.out, "Distance between these points: %.3lf km\n", kKilometresPerMetre * distance(p1, p2));
  printFlightVector(s.out, p1, p2);
}

}  // namespace

void printPoint(std::FILE* out, const Vector3& point) {
  const double height = heightAboveEllipsoid(point) * kKilometresPerMetre;
  const double longitude = radToDeg(point.component(2, Spherical));
  const double latitude = 90 - radToDeg(point.component(3, Spherical));
  std::fprintf(out, "h=%lf km  lon=%lf  lat=%lf\n", height, longitude, latitude);
}

void printFlightVector(std::FILE* out, const Vector3& p1, const Vector3& p2) {
  // Turn p2 - p1 into the horizon frame at p2: (south, east, up).
  Vector3 v = p2 - p1;
  v.rotate(Vector3(0, 0, 1), normalizeAngle(-p2.component(2, Spherical)));
  v.rotate(Vector3(0, 1, 0), normalizeAngle(-p2.component(3, Spherical)));
  const double azimuth = 360 - radToDeg(v.component(2, Spherical));
  const double inclination = radToDeg(v.component(3, Spherical)) - 90;
  std::fprintf(out, "azimuth of flight vector: %lf\n", azimuth);
  std::fprintf(out, "inclin. of flight vector: %lf\n", inclination);
}

bool printReport(const RunState& s) {
  switch (s.sightings) {
    case 4:
      printPointPair(s, 0, 0);
      std::fprintf(s.out, "\n");
      printPointPair(s, 2, 1);
      return true;
    case 3:
      for (int slot = 0; slot < kSlots; ++slot) {
        if (!s.planeFlag[slot]) continue;
        std::fprintf(s.out, "Viewline intersects Viewplane at ");
        printPoint(s.out, s.currentPoint[slot]);
      }
      return true;
    case 2:
      if (!s.success) return false;
      std::fprintf(s.out, "\nmin. distance of the two skew lines =%6.3f km\n",
                   kKilometresPerMetre * distance(s.closestPoint[0], s.closestPoint[1]));
      std::fprintf(s.out, "at: ");
      printPoint(s.out, s.midpoint);
      return true;
    default:
      std::fprintf(s.out, "Internal Error!\n");
      return false;
  }
}

}  // namespace sightline
