// libFuzzer target: arbitrary bytes as an event file. What the reader accepts
// must write back to a file that reads again, and must solve and report
// without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "formats/event_json.hpp"
#include "formats/solution_writers.hpp"
#include "trajectory/solve.hpp"

namespace {

// Larger events only make a run slower, not different.
constexpr std::size_t kMostSightings = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sightline::EventReadResult read = sightline::readEventJson(text, "fuzz.json");
  if (read.error) {
    if (read.error->text().empty()) std::abort();
    return 0;
  }
  const std::string written = sightline::writeEventJson(read.event);
  const sightline::EventReadResult again = sightline::readEventJson(written, "written.json");
  if (again.error || again.event.stations.size() != read.event.stations.size()) std::abort();

  std::size_t sightings = 0;
  for (const sightline::Station& station : read.event.stations) sightings += station.sightings.size();
  if (sightings > kMostSightings) return 0;
  const sightline::Solution solution = sightline::solve(read.event);
  std::ostringstream out;
  sightline::writeSolutionText(out, read.event, solution, {});
  sightline::writeSolutionJson(out, read.event, solution, {});
  return 0;
}
