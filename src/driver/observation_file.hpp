// The observation file: one value per line at fixed line numbers.
//
// Lines 1 and 9 are the ViewPoint names; 2-4 and 10-12 longitude, latitude
// (degrees) and height (metres); 5-8 and 13-16 azimuth and elevation (degrees)
// of slots 1-4; 17 the refraction mode; 18-21 the use flags of slots 1-4;
// 22-31 free. Reading stops at line 32.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace sightline {

/// Number of line values kept (index = 1-based line number; 0 unused).
inline constexpr int kLineCount = 32;
/// Characters of a line that are kept; the rest of a longer line is skipped.
inline constexpr std::size_t kLineLength = 127;

struct ObservationFile {
  /// Converted value of every line 2..31 read (0.0 where the file has no such line).
  std::array<double, kLineCount> lineValue{};
  /// Names of ViewPoint 1 (line 1) and ViewPoint 2 (line 9).
  std::array<std::string, 2> viewPointName;
};

/// The leading decimal number of `text` (optional white space, sign, digits with
/// an optional point, optional exponent), correctly rounded; 0.0 if there is none.
/// inf, nan and hexadecimal forms are not numbers.
double leadingNumber(std::string_view text);

/// Reads `stream` (opened in binary mode) from its start: carriage returns are
/// dropped, a byte 0x1A ends the data, a read error ends it like the end of the
/// file. Fills the values of lines 2..31 and the two names.
void loadObservationFile(std::FILE* stream, ObservationFile& file);

}  // namespace sightline
