// libFuzzer target: arbitrary bytes as an FTPdetectinfo file. Whatever the
// bytes, the reader returns detections or an error that names the file, and
// nothing of a malformed file; every direction it returns is finite and in range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/ftpdetectinfo.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sightline::FtpDetectInfoResult r = sightline::readFtpDetectInfo(text, "fuzz.txt");
  if (r.error) {
    if (r.error->file != "fuzz.txt" || r.error->message.empty() || !r.detections.empty()) std::abort();
    return 0;
  }
  for (const sightline::Detection& d : r.detections) {
    if (d.sightings.empty() || !(d.fps > 0.0) || d.station.empty()) std::abort();
    for (const sightline::Sighting& s : d.sightings)
      if (!std::isfinite(s.azimuth) || !(std::fabs(s.elevation) <= 90.0) || !s.time || !std::isfinite(*s.time)) std::abort();
  }
  return 0;
}
