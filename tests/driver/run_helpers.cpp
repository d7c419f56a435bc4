#include "run_helpers.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "driver/run_control.hpp"

namespace sightline::testing {

std::string observationText(std::array<const char*, 4> flags, const char* mode) {
  std::string text =
      "Hilltop Observatory\n11.20\n47.80\n620\n288.44\n57.41\n231.87\n54.20\n"
      "Lakeside Station\n12.10\n48.40\n450\n16.58\n43.72\n46.98\n38.78\n";
  text += std::string(mode) + "\n";
  for (const char* flag : flags) text += std::string(flag) + "\n";
  return text;
}

RunResult runInProcess(const std::string& bytes, RunState& state) {
  RunResult result;
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  std::FILE* in = bytes.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (out == nullptr || in == nullptr) {
    ADD_FAILURE() << "cannot open the test streams";
    return result;
  }
  result.status = runObservations(in, out, state);
  std::fclose(in);
  std::fclose(out);
  result.output.assign(buffer, size);
  std::free(buffer);
  return result;
}

RunResult runInProcess(const std::string& bytes) {
  auto state = std::make_unique<RunState>();
  return runInProcess(bytes, *state);
}

RunResult runTool(const std::string& arguments) {
  RunResult result;
  const std::string command = std::string(SIGHTLINE_BINARY) + (arguments.empty() ? "" : " " + arguments);
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot start " << command;
    return result;
  }
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, got);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string writeTempFile(const std::string& name, const std::string& bytes) {
  const char* dir = std::getenv("TMPDIR");
  const std::string path = std::string(dir != nullptr ? dir : "/tmp") + "/sightline-test-" +
                           std::to_string(::getpid()) + "-" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    ADD_FAILURE() << "cannot write " << path;
    return path;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

}  // namespace sightline::testing
