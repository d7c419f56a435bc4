#include "run_helpers.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "classic/run_control.hpp"

namespace sightline::testing {

std::string observationText(std::array<const char*, 4> flags, const char* mode) {
  std::string text =
      "Hilltop Observatory\n11.20\n47.80\n620\n288.44\n57.41\n231.87\n54.20\n"
      "Lakeside Station\n12.10\n48.40\n450\n16.58\n43.72\n46.98\n38.78\n";
  text += std::string(mode) + "\n";
  for (const char* flag : flags) text += std::string(flag) + "\n";
  return text;
}

std::string withLine(const std::string& text, int line, const std::string& replacement) {
  std::size_t begin = 0;
  for (int l = 1; l < line; ++l) {
    begin = text.find('\n', begin);
    if (begin == std::string::npos) {
      ADD_FAILURE() << "no line " << line;
      return text;
    }
    ++begin;
  }
  const std::size_t end = text.find('\n', begin);
  return text.substr(0, begin) + replacement + (end == std::string::npos ? "" : text.substr(end));
}

namespace {

// A memory stream whose text is collected when it is closed.
struct MemoryStream {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  std::string close() {
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
  }
};

}  // namespace

RunResult runInProcess(const std::string& bytes, RunState& state) {
  RunResult result;
  MemoryStream out;
  MemoryStream err;
  std::FILE* in = bytes.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (out.stream == nullptr || err.stream == nullptr || in == nullptr) {
    ADD_FAILURE() << "cannot open the test streams";
    return result;
  }
  result.status = runObservations(in, "obs.txt", out.stream, err.stream, state);
  std::fclose(in);
  result.output = out.close();
  result.warnings = err.close();
  return result;
}

RunResult runInProcess(const std::string& bytes) {
  auto state = std::make_unique<RunState>();
  return runInProcess(bytes, *state);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

RunResult runTool(const std::string& arguments) {
  RunResult result;
  const std::string errPath = writeTempFile("stderr.txt", "");
  const std::string command =
      std::string(SIGHTLINE_BINARY) + (arguments.empty() ? "" : " " + arguments) + " 2>'" + errPath + "'";
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
  result.warnings = readFile(errPath);
  std::remove(errPath.c_str());
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
