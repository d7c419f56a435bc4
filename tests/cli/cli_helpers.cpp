#include "cli/cli_helpers.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sightline::testing {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string writeTemp(const std::string& name, const std::string& bytes) {
  const fs::path dir = fs::temp_directory_path() / ("sightline-cli-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path path = dir / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "not found: " << from;
    return text;
  }
  return text.replace(at, from.size(), to);
}

ToolRun runSightline(const std::string& arguments, const std::string& input) {
  const std::string out = writeTemp("stdout", "");
  const std::string err = writeTemp("stderr", "");
  std::string command = "cd '" + std::string(SIGHTLINE_SOURCE_DIR) + "' && '" + SIGHTLINE_BINARY + "' " + arguments;
  command += input.empty() ? " </dev/null" : " <'" + writeTemp("stdin", input) + "'";
  command += " >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readText(out);
  run.err = readText(err);
  return run;
}

}  // namespace sightline::testing
