#include "formats/json_nesting.hpp"

namespace sightline {

std::optional<std::size_t> firstTooDeep(std::string_view text, int maxNesting) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > maxNesting) return i;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return std::nullopt;
}

}  // namespace sightline
