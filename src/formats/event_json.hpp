// The event file (JSON, "format": "sightline-event", "version": 1).
#pragma once

#include <string>

#include "common/diagnostics.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// Reads and validates an event file's text; `fileName` is used in messages.
EventReadResult readEventJson(const std::string& text, const std::string& fileName);

/// The event file for `event` (pretty-printed, numbers that round-trip).
std::string writeEventJson(const Event& event);

}  // namespace sightline
