#include "trajectory/synthetic.hpp"

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

Event knownEvent(const KnownTrajectory& trajectory, const std::vector<KnownStation>& stations) {
  Event event;
  event.name = "known trajectory";
  event.refraction = Refraction::None;
  event.time = trajectory.beginTime;
  const double length = distance(toEcef(trajectory.begin), toEcef(trajectory.end));
  for (const KnownStation& known : stations) {
    Station station;
    station.name = known.name;
    station.position = known.position;
    for (int k = 0; k < known.count; ++k) {
      const double f = known.count == 1 ? 0.5 * (known.from + known.to)
                                        : known.from + (known.to - known.from) * k / (known.count - 1);
      Sighting sighting;
      lookAngles(known.position, pointAlong(trajectory, f), sighting.azimuth, sighting.elevation);
      sighting.time = trajectory.beginTime + f * length / trajectory.speed;
      station.sightings.push_back(sighting);
    }
    event.stations.push_back(station);
  }
  return event;
}

}  // namespace sightline
