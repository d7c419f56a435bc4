// Warnings about a classic observation file and its results: values the run
// takes as they are but that are most likely mistakes. They never change the
// report or the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "classic/observation_file.hpp"
#include "classic/run_state.hpp"

namespace sightline {

/// Kilometres: reported points below this height above the ellipsoid are doubtful.
inline constexpr double kLowestPlausiblePoint = -1.0;
/// Kilometres: reported points above this height above the ellipsoid are doubtful.
inline constexpr double kHighestPlausiblePoint = 1000.0;

/// One warning: the 1-based line it is about (0: the whole file) and the text.
struct ClassicWarning {
  int line = 0;
  std::string message;
};

/// Doubtful input, in line order: number lines (2-8, 10-21; azimuths and
/// elevations only of slots in use) with text after the number or no number,
/// numbers too large to hold, latitudes and elevations outside -90..90 degrees,
/// use flags other than 0 or 1, refraction modes other than 0, 1 or 2, a file
/// shorter than 21 lines or that could not be read. Names and notes are free text.
std::vector<ClassicWarning> checkObservationFile(const ObservationFile& file);

/// Reported points of a solved run that are not numbers or lie below
/// kLowestPlausiblePoint or above kHighestPlausiblePoint (km above the ellipsoid).
std::vector<ClassicWarning> checkReportedPoints(const RunState& state);

/// Prints each warning as "sightline: FILE:LINE: warning: MESSAGE" (without
/// ":LINE" for line 0); FILE is `fileName`, or "-" when it is null.
void printWarnings(std::FILE* err, const char* fileName, const std::vector<ClassicWarning>& warnings);

}  // namespace sightline
