// Helpers for running whole observation files in tests.
#pragma once

#include <array>
#include <string>

#include "driver/run_state.hpp"

namespace sightline::testing {

struct RunResult {
  int status = -1;
  std::string output;
};

/// The four-sighting example's lines 1..21 with the given use flags and line 17.
std::string observationText(std::array<const char*, 4> flags, const char* mode = "0");

/// Runs the observation bytes in-process; `state` receives the run's state.
RunResult runInProcess(const std::string& bytes, RunState& state);
RunResult runInProcess(const std::string& bytes);

/// Runs the built tool on `path` (or with no argument when empty) and captures its output.
RunResult runTool(const std::string& arguments);

/// Writes `bytes` to a fresh file in the test's temporary folder; returns its path.
std::string writeTempFile(const std::string& name, const std::string& bytes);

}  // namespace sightline::testing
