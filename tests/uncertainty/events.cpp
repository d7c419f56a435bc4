#include "events.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/angles.hpp"
#include "trajectory/solver_core.hpp"

namespace sightline::testing_events {

namespace {

Vector3 unit(const Vector3& v) { return v / v.length(); }

double between(DrawRandom& random, double low, double high) { return low + (high - low) * random.uniform(); }

}  // namespace

KnownCase referenceCase(double longitudeShift) {
  KnownCase c;
  c.truth.begin = {50.10, 15.00 + longitudeShift, 95000};
  c.truth.end = {50.45, 15.30 + longitudeShift, 40000};
  c.truth.beginTime = 1.8e9;
  c.truth.speed = 21000;
  c.stations = {{"Alder", {49.70, 14.60 + longitudeShift, 300}, 4, 0.0, 1.0},
                {"Birch", {50.20, 15.90 + longitudeShift, 450}, 4, 0.1, 0.9},
                {"Cedar", {50.90, 14.70 + longitudeShift, 250}, 4, 0.0, 0.95}};
  c.event = knownEvent(c.truth, c.stations);
  return c;
}

KnownCase randomCase(DrawRandom& random) {
  while (true) {
    KnownCase c;
    const double lat = between(random, -60, 60), lon = between(random, -180, 180);
    const double heading = between(random, 0, kTwoPi);
    const double run = between(random, 0.2, 0.7);  // degrees of latitude along the ground
    c.truth.begin = {lat, lon, between(random, 80000, 100000)};
    c.truth.end = {lat + run * std::cos(heading), lon + run * std::sin(heading) / std::cos(degToRad(lat)),
                   between(random, 30000, 55000)};
    c.truth.beginTime = 1.7e9;
    c.truth.speed = between(random, 12000, 60000);
    const double midLat = 0.5 * (c.truth.begin.latitude + c.truth.end.latitude);
    const double midLon = 0.5 * (c.truth.begin.longitude + c.truth.end.longitude);
    const char* names[3] = {"North", "South", "West"};
    for (int s = 0; s < 3; ++s) {
      const double bearing = between(random, 0, kTwoPi);
      const double away = between(random, 0.3, 1.3);  // degrees
      KnownStation station;
      station.name = names[s];
      station.position = {midLat + away * std::cos(bearing),
                          midLon + away * std::sin(bearing) / std::cos(degToRad(midLat)), between(random, 0, 1500)};
      station.count = 4;
      station.from = between(random, 0.0, 0.2);
      station.to = between(random, 0.8, 1.0);
      c.stations.push_back(station);
    }
    c.event = knownEvent(c.truth, c.stations);
    bool seen = true;
    for (const Station& s : c.event.stations)
      for (const Sighting& k : s.sightings) seen = seen && k.elevation > 8;
    if (seen) return c;
  }
}

Vector3 truePoint(const KnownCase& c, std::size_t s, std::size_t k) {
  const KnownStation& station = c.stations[s];
  const double f = station.count == 1 ? 0.5 * (station.from + station.to)
                                      : station.from + (station.to - station.from) * static_cast<double>(k) /
                                                           (station.count - 1);
  return pointAlong(c.truth, f);
}

KnownCase deceleratingCase(DrawRandom& random, double longestFlight) {
  KnownCase c = randomCase(random);
  KnownTrajectory& truth = c.truth;
  truth.speed = between(random, 15000, 70000);
  const Vector3 a = toEcef(truth.begin), b = toEcef(truth.end);
  const double fullLength = distance(a, b);
  const double length = std::min(fullLength, longestFlight * truth.speed);
  truth.end = toGeodetic(a + (length / fullLength) * (b - a));
  // Deceleration: a2 of 1-6 per second, a1 such that the speed has dropped by at most
  // 10-40% (drop) at the end: the flight lasts at most length / ((1 - drop) * speed).
  truth.a2 = between(random, 1.0, 6.0);
  const double drop = between(random, 0.1, 0.4);
  const double longest = length / ((1 - drop) * truth.speed);
  truth.a1 = drop * truth.speed / (truth.a2 * std::exp(truth.a2 * longest));
  const double frameRate = random.uniform() < 0.5 ? 25.0 : 50.0;
  for (KnownStation& station : c.stations) {
    station.frameRate = frameRate;
    station.clockOffset = between(random, -0.2, 0.2);
  }
  c.event = knownEvent(truth, c.stations);
  return c;
}

void addNoise(Event& event, double sigma, DrawRandom& random) {
  event.sigma = sigma;
  for (Station& station : event.stations) {
    const LocalFrame frame = localFrame(station.position);
    const Vector3& up = frame.up;
    for (Sighting& s : station.sightings) {
      const Vector3 d = directionFromHorizontal(frame, s.azimuth, s.elevation);
      // Two unit vectors across the line of sight.
      const Vector3 across = unit(cross(d, up));
      const Vector3 along = cross(across, d);
      const double a = degToRad(sigma) * random.normal(), b = degToRad(sigma) * random.normal();
      const Vector3 moved = unit(d + std::tan(a) * across + std::tan(b) * along);
      const Horizontal h = horizontalOf(frame, moved);
      s.azimuth = h.azimuth;
      s.elevation = h.elevation;
    }
  }
}

}  // namespace sightline::testing_events
