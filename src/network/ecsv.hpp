// ECSV observation files of the fireball networks: one camera per file.
#pragma once

#include <string>
#include <vector>

#include "io/input_error.hpp"
#include "trajectory/event.hpp"

namespace sightline {

struct EcsvOptions {
  /// What obs_elevation is measured from (the standard: mean sea level).
  HeightReference heights = HeightReference::MeanSeaLevel;
};

/// One station from the text of an ECSV file named `fileName`.
struct StationReadResult {
  Station station;
  std::optional<InputError> error;
};
StationReadResult readEcsvStation(const std::string& text, const std::string& fileName, const EcsvOptions& options);

/// An event from two or more ECSV files (read from disk); refraction Corrected.
EventReadResult readEcsvEvent(const std::vector<std::string>& files, const EcsvOptions& options);

/// True when the file name or its first bytes look like ECSV ("# %ECSV").
bool looksLikeEcsv(const std::string& fileName, const std::string& text);

}  // namespace sightline
