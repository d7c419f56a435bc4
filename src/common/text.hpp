// Small text helpers shared by the libraries and the writers.
#pragma once

#include <string>
#include <string_view>

namespace sightline {

/// printf into a std::string (at most 511 characters).
std::string formatted(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

/// `text` without leading and trailing blanks (space, tab, vertical tab, form feed).
std::string trimmed(std::string_view text);

}  // namespace sightline
