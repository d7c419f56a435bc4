// The command line of the tool: `sightline FILE` (the classic run) and the
// `solve` and `convert` commands.
#pragma once

#include <cstdio>
#include <string>

#include "common/exit_status.hpp"

namespace sightline {

/// Version printed by `sightline --version`: "sightline MAJOR.MINOR.PATCH" of the CMake project.
std::string versionText();

/// Runs the tool for `argv`: `solve` and `convert` (and any first argument that
/// is an option other than "-" and "--") go to the commands, results to `out`,
/// messages to `err`; everything else is the classic run, unchanged. Returns
/// the exit status.
int runCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace sightline
