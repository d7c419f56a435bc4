// libFuzzer target: arbitrary bytes as one camera's ECSV file. Whatever the
// bytes, the reader returns a station or an error that says where, and a
// station it returns holds only finite angles within range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/ecsv.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sightline::StationReadResult r = sightline::readEcsvStation(text, "fuzz.ecsv", sightline::EcsvOptions{});
  if (r.error) {
    if (r.error->file != "fuzz.ecsv" || r.error->message.empty()) std::abort();
    return 0;
  }
  const sightline::Station& s = r.station;
  if (s.sightings.empty() || s.name.empty()) std::abort();
  if (!std::isfinite(s.position.latitude) || std::fabs(s.position.latitude) > 90.0) std::abort();
  if (!std::isfinite(s.position.longitude) || !std::isfinite(s.position.height)) std::abort();
  for (const sightline::Sighting& k : s.sightings) {
    if (!std::isfinite(k.azimuth) || !std::isfinite(k.elevation) || std::fabs(k.elevation) > 90.0) std::abort();
    if (!k.time || !std::isfinite(*k.time)) std::abort();
    if (k.sigma && !(*k.sigma > 0.0 && std::isfinite(*k.sigma))) std::abort();
  }
  return 0;
}
