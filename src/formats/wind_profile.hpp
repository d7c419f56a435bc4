// Readers of the air the dark flight falls through, recognised by content:
// the University of Wyoming's TEXT:LIST radiosonde sounding, and the profile
// CSV of a weather-model run (columns Height, TempK, Press, Wind, WDir, or
// height, temperature, pressure, wind_horizontal, wind_direction).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "darkflight/air_profile.hpp"

namespace sightline {

/// Which kind of profile a text is.
enum class WindProfileKind { WyomingSounding, ProfileCsv };

/// What readWindProfile() found: levels in increasing height, or the error.
struct WindProfileRead {
  WindProfileKind kind = WindProfileKind::ProfileCsv;
  std::vector<darkflight::AirLevel> levels;  ///< metres above mean sea level (geometric), K, Pa, m/s, degrees from
  std::optional<InputError> error;
};

/// Reads the profile in `text` (file named `name` in messages).
///
/// Notes: a text with a line starting "PRES HGHT TEMP" is a Wyoming sounding:
/// its columns are placed by the header's names, PRES hPa, HGHT geopotential
/// metres (geometric z = r0 H / (r0 - H), r0 = 6356766 m), TEMP degrees C,
/// DRCT degrees the wind blows from, SKNT knots (or SPED m/s); levels missing
/// any of them are skipped, and the data end at the first line that is not a
/// row of numbers. Anything else is a profile CSV: its first non-empty line
/// is the header (a leading '#' dropped), the columns are found by name and
/// the units are m above mean sea level, K, Pa, m/s and degrees from. Either
/// way the levels must have strictly increasing heights, T > 0, P > 0, wind
/// >= 0, and be two or more. Empty and binary texts are refused.
WindProfileRead readWindProfile(const std::string& text, const std::string& name);

/// Most levels a profile may have (a bound on memory for hostile input).
constexpr std::size_t kMaxProfileLevels = 100000;

}  // namespace sightline
