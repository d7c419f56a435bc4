// The options of the shower rule, shared by `orbit`, `solve` and `batch`.
#pragma once

#include "app/showers.hpp"

namespace CLI {
class App;
}

namespace sightline {

/// Adds --showers FILE, --shower-solar-longitude DEG, --shower-radiant DEG and
/// --shower-speed FRACTION to `command`, stored in `settings`.
void addShowerOptions(CLI::App& command, ShowerSettings& settings);

}  // namespace sightline
