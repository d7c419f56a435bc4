// How deep a JSON text nests, found before it is parsed, so that a hostile
// file of brackets costs neither time nor memory (nor the parser's stack).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace sightline {

/// Index of the first bracket ('{' or '[') that opens a level deeper than
/// `maxNesting`, if any; brackets inside strings do not count.
std::optional<std::size_t> firstTooDeep(std::string_view text, int maxNesting);

}  // namespace sightline
