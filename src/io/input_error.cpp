#include "io/input_error.hpp"

namespace sightline {

std::string InputError::text() const {
  std::string out = file;
  if (line > 0) {
    out += ":" + std::to_string(line);
    if (column > 0) out += ":" + std::to_string(column);
  }
  out += ": ";
  if (!path.empty()) out += path + ": ";
  out += message;
  return out;
}

}  // namespace sightline
