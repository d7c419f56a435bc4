#include "trajectory/solution.hpp"

namespace sightline {

const char* statusText(SolveStatus status) {
  switch (status) {
    case SolveStatus::Trajectory: return "trajectory found";
    case SolveStatus::PointsOnly: return "points found, but no trajectory (fewer than two stations with two or more sightings)";
    case SolveStatus::TooFewStations: return "fewer than two stations have sightings";
    case SolveStatus::NoGeometry: return "no point can be found: the lines and planes of sight do not cross";
  }
  return "unknown";
}

}  // namespace sightline
