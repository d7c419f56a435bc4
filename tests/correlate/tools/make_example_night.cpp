// Writes the example night of the README (examples/night/): seven cameras over
// a region 160 km across, 30 meteors, a satellite, an aircraft and noise
// tracks, between 23:00 and 01:00 UTC. Usage: make_example_night FOLDER
#include <cstdio>
#include <filesystem>

#include "correlate/synthetic_night.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  sightline::synthetic::NightPlan plan;
  plan.seed = 2026;
  plan.latitude = 51.0, plan.longitude = 7.0;
  plan.radius = 80e3;
  plan.sites = 6;  // and two co-located cameras: seven in all with this seed
  plan.colocatedFraction = 0.35;
  plan.meteors = 30;
  plan.satellites = 1, plan.aircraft = 1, plan.noiseTracks = 6;
  plan.start = 1796770800.0;  // 2026-12-08T23:00:00Z
  plan.duration = 2 * 3600.0;
  sightline::synthetic::Night night = sightline::synthetic::makeNight(plan);
  std::filesystem::remove_all(argv[1]);
  sightline::synthetic::writeNightFolders(night, argv[1]);
  std::printf("%zu cameras, %zu detections\n", night.cameras.size(), night.detections.size());
  return 0;
}
