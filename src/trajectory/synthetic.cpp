#include "trajectory/synthetic.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/angles.hpp"
#include "trajectory/solver_core.hpp"

namespace sightline {

void lookAngles(const GeodeticPosition& station, const Vector3& point, double& azimuth, double& elevation) {
  const LocalFrame frame = localFrame(station);
  const Vector3 v = point - toEcef(station);
  azimuth = radToDeg(std::atan2(dot(v, frame.east), dot(v, frame.north)));
  if (azimuth < 0) azimuth += 360;
  elevation = radToDeg(std::asin(dot(v, frame.up) / v.length()));
}

Vector3 pointAlong(const KnownTrajectory& trajectory, double f) {
  const Vector3 a = toEcef(trajectory.begin);
  const Vector3 b = toEcef(trajectory.end);
  return a + f * (b - a);
}

double knownLength(const KnownTrajectory& trajectory, double tau) {
  if (trajectory.a1 == 0.0) return trajectory.speed * tau;
  return trajectory.speed * tau - trajectory.a1 * std::expm1(trajectory.a2 * tau);
}

double knownSpeed(const KnownTrajectory& trajectory, double tau) {
  return trajectory.speed - trajectory.a1 * trajectory.a2 * std::exp(trajectory.a2 * tau);
}

double knownTime(const KnownTrajectory& trajectory, double length) {
  // Constant speed: the exact quotient, as the sightings' times always were.
  if (trajectory.a1 == 0.0) return length / trajectory.speed;
  double low = 0.0, high = std::max(length / trajectory.speed, 1e-3);
  for (int k = 0; k < 60 && knownLength(trajectory, high) < length && knownSpeed(trajectory, high) > 0; ++k) high *= 2;
  for (int k = 0; k < 200 && high - low > 1e-12; ++k) {
    const double middle = 0.5 * (low + high);
    (knownLength(trajectory, middle) < length ? low : high) = middle;
  }
  return 0.5 * (low + high);
}

namespace {

// One sighting of a known station: where it looks (fraction of the length) and when (true s after beginTime).
struct KnownFrame {
  double fraction = 0.0;
  double tau = 0.0;
};

// Evenly spaced in length (frameRate 0) or one per video frame.
std::vector<KnownFrame> knownFrames(const KnownTrajectory& trajectory, const KnownStation& known, double length) {
  std::vector<KnownFrame> frames;
  if (known.frameRate > 0) {
    const double first = knownTime(trajectory, known.from * length);
    const double last = knownTime(trajectory, known.to * length);
    for (int k = 0; first + k / known.frameRate <= last + 1e-9; ++k) {
      const double tau = first + k / known.frameRate;
      if (!(knownSpeed(trajectory, tau) > 0)) break;  // stopped: the model no longer describes a flight
      frames.push_back({knownLength(trajectory, tau) / length, tau});
    }
    return frames;
  }
  for (int k = 0; k < known.count; ++k) {
    const double f = known.count == 1 ? 0.5 * (known.from + known.to)
                                      : known.from + (known.to - known.from) * k / (known.count - 1);
    frames.push_back({f, knownTime(trajectory, f * length)});
  }
  return frames;
}

}  // namespace

std::vector<double> knownTimes(const KnownTrajectory& trajectory, const KnownStation& station) {
  const double length = distance(toEcef(trajectory.begin), toEcef(trajectory.end));
  std::vector<double> times;
  for (const KnownFrame& frame : knownFrames(trajectory, station, length)) times.push_back(frame.tau);
  return times;
}

Event knownEvent(const KnownTrajectory& trajectory, const std::vector<KnownStation>& stations) {
  Event event;
  event.name = "known trajectory";
  event.refraction = Refraction::None;
  event.time = trajectory.beginTime;
  // The truth is a straight line in the Earth-fixed frame: the model that fits it.
  event.trajectoryModel = TrajectoryModel::Straight;
  const double length = distance(toEcef(trajectory.begin), toEcef(trajectory.end));
  for (const KnownStation& known : stations) {
    Station station;
    station.name = known.name;
    station.position = known.position;
    for (const KnownFrame& frame : knownFrames(trajectory, known, length)) {
      Sighting sighting;
      lookAngles(known.position, pointAlong(trajectory, frame.fraction), sighting.azimuth, sighting.elevation);
      sighting.time = trajectory.beginTime + frame.tau + known.clockOffset;
      station.sightings.push_back(sighting);
    }
    event.stations.push_back(station);
  }
  return event;
}

}  // namespace sightline
