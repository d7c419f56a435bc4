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

/// 1-based line numbers of the file's fields; slots and ViewPoints count from 0.
inline constexpr int kNameLine[2] = {1, 9};          ///< name of ViewPoint v
inline constexpr int kLongitudeLine[2] = {2, 10};    ///< latitude and height follow it
inline constexpr int kAzimuthLine[4] = {5, 7, 13, 15};  ///< azimuth of slot s; its elevation follows
inline constexpr int kRefractionModeLine = 17;
inline constexpr int kUseFlagLine = 18;              ///< use flag of slot s on line 18 + s
inline constexpr int kLastDataLine = 21;             ///< lines after it are free notes

struct ObservationFile {
  /// Converted value of every line 2..31 read (0.0 where the file has no such line).
  std::array<double, kLineCount> lineValue{};
  /// Names of ViewPoint 1 (line 1) and ViewPoint 2 (line 9).
  std::array<std::string, 2> viewPointName;
  /// Text of every line 1..31 as read (its first 127 characters, up to a NUL).
  std::array<std::string, kLineCount> lineText;
  /// Lines the file has, up to 32: a last line without line feed counts, the
  /// empty read after a final line feed does not.
  int lineCount = 0;
  /// errno of a read error that ended the data (for example a directory); 0 if none.
  int readError = 0;
};

/// The leading decimal number of `text` (optional white space, sign, digits with
/// an optional point, optional exponent), correctly rounded; 0.0 if there is none.
/// inf, nan and hexadecimal forms are not numbers.
double leadingNumber(std::string_view text);
/// As above; `length` receives the characters the number takes, leading white
/// space included (0 when there is no number).
double leadingNumber(std::string_view text, std::size_t& length);

/// Reads `stream` (opened in binary mode) from its start: carriage returns are
/// dropped, a byte 0x1A ends the data, a read error ends it like the end of the
/// file. Fills the values of lines 2..31, the two names, the line texts and counts.
void loadObservationFile(std::FILE* stream, ObservationFile& file);

}  // namespace sightline
