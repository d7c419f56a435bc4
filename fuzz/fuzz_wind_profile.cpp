// libFuzzer target: arbitrary bytes as a wind profile (a Wyoming sounding or
// a profile CSV). Whatever the bytes, the reader returns levels that pass
// every check or an error naming the file; the profile of the levels it
// returns gives finite, positive air at any height.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "darkflight/air_profile.hpp"
#include "formats/wind_profile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sightline::WindProfileRead r = sightline::readWindProfile(text, "fuzz.csv");
  if (r.error) {
    if (r.error->file != "fuzz.csv" || r.error->message.empty() || !r.levels.empty()) std::abort();
    return 0;
  }
  if (r.levels.size() < 2) std::abort();
  for (std::size_t i = 0; i < r.levels.size(); ++i) {
    const sightline::darkflight::AirLevel& l = r.levels[i];
    if (!(l.temperature > 0.0) || !(l.pressure > 0.0) || !(l.windSpeed >= 0.0) || !std::isfinite(l.windFrom)) std::abort();
    if (i > 0 && !(l.height > r.levels[i - 1].height)) std::abort();
  }
  const sightline::darkflight::AirProfile profile(r.levels);
  for (const double h : {r.levels.front().height - 10.0, 0.5 * (r.levels.front().height + r.levels.back().height),
                         r.levels.back().height + 5000.0}) {
    const sightline::darkflight::AirSample air = profile.at(h);
    if (!std::isfinite(air.windEast) || !std::isfinite(air.windNorth) || !std::isfinite(air.soundSpeed)) std::abort();
  }
  return 0;
}
