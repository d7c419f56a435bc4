// libFuzzer target: arbitrary bytes as a shower table. Whatever the bytes, the
// reader returns rows or an error naming the file, and every row it returns has
// finite angles in range and a positive speed; a meteor at a row is its member.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/shower_table.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sightline::ShowerTableReadResult r = sightline::readShowerTable(text, "fuzz.csv");
  if (r.error) {
    if (r.error->file != "fuzz.csv" || r.error->message.empty()) std::abort();
    return 0;
  }
  if (r.table.rows().empty()) std::abort();
  for (const sightline::ShowerSolution& row : r.table.rows()) {
    if (!std::isfinite(row.ra) || !std::isfinite(row.dec) || std::fabs(row.dec) > 90.0) std::abort();
    if (!(row.vGeocentric > 0.0) || !std::isfinite(row.solarLongitude)) std::abort();
  }
  return 0;
}
