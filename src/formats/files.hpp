// Files, opened in one place: whole texts in, whole outputs out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"

namespace sightline {

/// The text of an input and the name that messages give it.
struct NamedText {
  std::string name;  ///< the path as the user gave it, or "<stdin>"
  std::string text;  ///< the whole content, bytes as read
};

/// The whole content of `path` ("-": standard input, named "<stdin>"), or the
/// error that says why it cannot be read (file named, reason from the system).
std::optional<InputError> readInput(const std::string& path, NamedText& input);

/// readInput() of every path in order; the first error ends it.
std::optional<InputError> readInputs(const std::vector<std::string>& paths, std::vector<NamedText>& inputs);

/// Writes `content` to `path` completely or not at all: through a temporary
/// file in the same folder that is renamed over it, with the usual
/// permissions. A path that names something other than a regular file or a
/// folder (/dev/null, a terminal, a pipe) is written in place, never replaced.
/// False with `error` ("PATH: cannot write: REASON") otherwise.
bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error);

}  // namespace sightline
