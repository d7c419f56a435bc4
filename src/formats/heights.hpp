// Station heights given above mean sea level, made heights above the ellipsoid before solving.
#pragma once

#include <optional>
#include <string>

#include "common/diagnostics.hpp"
#include "earth/geoid.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// Turns every station height given above mean sea level into one above the
/// ellipsoid. `geoid` may be nullptr: then an error (with `geoidMessage`) is
/// returned only if some station actually needs it.
std::optional<InputError> toEllipsoidHeights(Event& event, const Geoid* geoid, const std::string& geoidMessage);

}  // namespace sightline
