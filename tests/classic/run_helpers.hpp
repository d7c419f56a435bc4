// Helpers for running whole observation files in tests.
#pragma once

#include <array>
#include <string>

#include "classic/run_state.hpp"

namespace sightline::testing {

struct RunResult {
  int status = -1;
  std::string output;    ///< standard output (report and messages)
  std::string warnings;  ///< standard error
};

/// The four-sighting example's lines 1..21 with the given use flags and line 17.
std::string observationText(std::array<const char*, 4> flags, const char* mode = "0");

/// `text` with its 1-based line `line` replaced by `replacement` (no line feed).
std::string withLine(const std::string& text, int line, const std::string& replacement);

/// Runs the observation bytes in-process, warnings on (file name "obs.txt");
/// `state` receives the run's state.
RunResult runInProcess(const std::string& bytes, RunState& state);
RunResult runInProcess(const std::string& bytes);

/// Runs the built tool with `arguments` (a shell word list; none when empty).
RunResult runTool(const std::string& arguments);

/// Writes `bytes` to a fresh file in the test's temporary folder; returns its path.
std::string writeTempFile(const std::string& name, const std::string& bytes);

/// The whole content of a file ("" when it cannot be read).
std::string readFile(const std::string& path);

}  // namespace sightline::testing
