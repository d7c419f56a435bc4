// Events with known answers for the uncertainty tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "trajectory/event.hpp"
#include "trajectory/synthetic.hpp"
#include "uncertainty/random.hpp"

namespace sightline::testing_events {

/// A known trajectory, its stations and the exact event they give.
struct KnownCase {
  KnownTrajectory truth;
  std::vector<KnownStation> stations;
  Event event;
};

/// Three stations, four sightings each, around a fireball over central Europe;
/// `longitudeShift` degrees moves the whole scene east.
KnownCase referenceCase(double longitudeShift = 0.0);

/// A random scene: a trajectory from 80-100 km down to 30-55 km and three
/// stations 30-150 km away that see it above 8 degrees, from `random`.
KnownCase randomCase(DrawRandom& random);

/// A random scene made into a decelerating fireball (randomCase, then from `random`: vInf
/// 15-70 km/s, the path cut to `longestFlight` s at vInf, a2 of 1-6 per second and a1 such
/// that the speed drops by 10-40%, cameras at 25 or 50 fps with clocks up to 0.2 s off) and
/// its exact event.
KnownCase deceleratingCase(DrawRandom& random, double longestFlight);

/// The true point that sighting `k` of station `s` looked at (ECEF metres).
Vector3 truePoint(const KnownCase& c, std::size_t s, std::size_t k);

/// Moves every sighting by a random angle on the sky of `sigma` degrees (1 sigma per
/// axis), turning its direction vector (so independent of any azimuth formula), and
/// sets the event's sigma to `sigma`.
void addNoise(Event& event, double sigma, DrawRandom& random);

}  // namespace sightline::testing_events
