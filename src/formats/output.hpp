// What every writer of a solution gets besides the event and the solution.
#pragma once

#include <ostream>
#include <string>

namespace sightline {

class Geoid;

struct OutputContext {
  const Geoid* geoid = nullptr;  ///< for heights above mean sea level; nullptr when the grid is missing
  std::string source;            ///< the input file name(s), for titles and descriptions
};

}  // namespace sightline
