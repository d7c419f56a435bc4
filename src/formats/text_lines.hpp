// Line-oriented text for the network readers: lines one at a time (LF, CRLF
// or CR endings), blank-separated fields, numbers read strictly.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace sightline {

/// The lines of a text, in order, with their 1-based numbers.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}
  /// The next line without its ending; false at the end of the text.
  bool next(std::string_view& line);
  /// Number of the line last returned (1-based; 0 before the first).
  int number() const { return number_; }
  /// True when every line has been returned.
  bool done() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

/// The fields of `line` separated by runs of spaces or tabs.
std::vector<std::string_view> blankFields(std::string_view line);

/// The number in `field` (an optional sign, digits, decimals, exponent; "nan"
/// and "inf" are read too), or nothing when the field is anything else.
std::optional<double> readNumber(std::string_view field);

/// The whole number in `field` (digits, an optional sign), or nothing.
std::optional<long> readWhole(std::string_view field);

/// The first byte of `text` that no text file holds (NUL or another control
/// character than tab, line feed, carriage return or form feed), or npos.
std::size_t firstBinaryByte(std::string_view text);

}  // namespace sightline
