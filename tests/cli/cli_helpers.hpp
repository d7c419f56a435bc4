// Running the built tool in tests.
#pragma once

#include <string>

namespace sightline::testing {

struct ToolRun {
  int status = -1;
  std::string out;  ///< standard output
  std::string err;  ///< standard error
};

/// Runs the built tool with `arguments` (shell words, quoted by the caller)
/// in the source folder, standard input from `input` when not empty.
ToolRun runSightline(const std::string& arguments, const std::string& input = "");

/// The whole content of `path` (empty when it cannot be read).
std::string readText(const std::string& path);

/// Writes `bytes` to a fresh file in the temporary folder; returns its path.
std::string writeTemp(const std::string& name, const std::string& bytes);

/// `text` with `from` replaced by `to` once (a test failure when absent).
std::string replaced(std::string text, const std::string& from, const std::string& to);

}  // namespace sightline::testing
