// solve(): the trajectory of a fireball from any number of stations.
#pragma once

#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// Solves `event` (see event.hpp for units and frames). Never throws for bad
/// geometry: the status says whether a trajectory or points were found, and
/// the warnings say what is doubtful. The event is expected to be valid
/// (finite numbers, latitudes and elevations within +-90 degrees); readers check that.
Solution solve(const Event& event);

}  // namespace sightline
