// libFuzzer target: arbitrary bytes as an RMS .config file and as a platepars
// file. A site either reader returns lies on the Earth (latitude within the
// poles, longitude in [-180, 180), height finite); an error names the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/rms_config.hpp"

namespace {

void check(const sightline::CameraSiteResult& r, const char* file) {
  if (r.error) {
    if (r.error->file != file || r.error->message.empty()) std::abort();
    return;
  }
  const sightline::GeodeticPosition& p = r.site.position;
  if (!(std::fabs(p.latitude) <= 90.0) || !(p.longitude >= -180.0 && p.longitude < 180.0) || !std::isfinite(p.height))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check(sightline::readRmsConfig(text, ".config"), ".config");
  check(sightline::readPlatepars(text, "platepars.json"), "platepars.json");
  return 0;
}
