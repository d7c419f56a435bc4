// A reader's account of bad input: where it is and what was expected.
#pragma once

#include <optional>
#include <string>

#include "trajectory/event.hpp"

namespace sightline {

struct InputError {
  std::string file;     ///< path as the user gave it
  int line = 0;         ///< 1-based; 0 when not known
  int column = 0;       ///< 1-based; 0 when not known
  std::string path;     ///< JSON path such as "stations[1].sightings[0].elevation", or an ECSV column name
  std::string message;  ///< what was wrong and what was expected

  /// "FILE:LINE:COLUMN: PATH: MESSAGE", leaving out the parts not known.
  std::string text() const;
};

/// An event read from a file, or why it could not be.
struct EventReadResult {
  Event event;
  std::optional<InputError> error;
};

}  // namespace sightline
