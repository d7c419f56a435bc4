// libFuzzer target: arbitrary bytes as the observation file, through the whole
// run in-process, warnings included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "classic/run_control.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  // fmemopen refuses an empty buffer; an empty file reads like /dev/null.
  std::vector<char> bytes(data, data + size);
  std::FILE* in = size == 0 ? std::fopen("/dev/null", "rb") : fmemopen(bytes.data(), bytes.size(), "rb");
  if (in == nullptr || sink == nullptr) return 0;
  auto state = std::make_unique<sightline::RunState>();
  sightline::runObservations(in, "fuzz-input", sink, sink, *state);
  std::fclose(in);
  return 0;
}
