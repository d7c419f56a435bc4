#include "classic/report.hpp"

#include "classic/run_control.hpp"
#include "earth/ellipsoid.hpp"
#include "geometry/angles.hpp"

namespace sightline {

namespace {

constexpr double kKilometresPerMetre = 0.001;

void printPointPair(std::FILE* out, const ObservationFile& file, const RunState& s, int first, int v) {
  const char* here = file.viewPointName[v].c_str();
  const char* there = file.viewPointName[1 - v].c_str();
  const Vector3& p1 = s.currentPoint[first];
  const Vector3& p2 = s.currentPoint[first + 1];
  std::fprintf(out, "Intersection of Viewlines from %s with Viewplane from %s:\n", here, there);
  std::fprintf(out, "Trajectory Point 1  ");
  printPoint(out, p1);
  std::fprintf(out, "Trajectory Point 2  ");
  printPoint(out, p2);
  std::fprintf(out, "Distance between these points: %.3lf km\n", kKilometresPerMetre * distance(p1, p2));
  printFlightVector(out, p1, p2);
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

void writeReport(std::FILE* out, const ObservationFile& file, const RunState& s) {
  switch (s.sightings) {
    case 4:
      printPointPair(out, file, s, 0, 0);
      std::fprintf(out, "\n");
      printPointPair(out, file, s, 2, 1);
      return;
    case 3:
      for (int slot = 0; slot < kSlots; ++slot) {
        if (!s.planeFlag[slot]) continue;
        std::fprintf(out, "Viewline intersects Viewplane at ");
        printPoint(out, s.currentPoint[slot]);
      }
      return;
    default:
      std::fprintf(out, "\nmin. distance of the two skew lines =%6.3f km\n",
                   kKilometresPerMetre * distance(s.closestPoint[0], s.closestPoint[1]));
      std::fprintf(out, "at: ");
      printPoint(out, s.midpoint);
      return;
  }
}

const char* classicMessage(ClassicStatus status) {
  switch (status) {
    case ClassicStatus::kTooFewObservations:
      return "Too few observations\n";
    case ClassicStatus::kViewPointWithoutObservation:
      return "Each ViewPoint must have at least one observation\n";
    case ClassicStatus::kParallelLines:
      return "Can't solve equation! Check input";
    case ClassicStatus::kTooManySightings:
      return "Internal Error!\n";
    case ClassicStatus::kSolved:
      break;
  }
  return "";
}

int writeOutcome(std::FILE* out, const ObservationFile& file, const RunState& state, ClassicStatus status) {
  if (status != ClassicStatus::kSolved) {
    std::fputs(classicMessage(status), out);
    return kExitMessage;
  }
  writeReport(out, file, state);
  return kExitResults;
}

}  // namespace sightline
