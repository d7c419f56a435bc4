// ECSV observation files of the fireball networks: one camera per file.
#pragma once

#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "formats/files.hpp"
#include "trajectory/event.hpp"

namespace sightline {

struct EcsvOptions {
  /// What obs_elevation is measured from (the standard: mean sea level).
  HeightReference heights = HeightReference::MeanSeaLevel;
};

/// A station read from one file, or why it could not be.
struct StationReadResult {
  Station station;
  std::optional<InputError> error;
};
/// One station from the text of an ECSV file named `fileName`: position in geodetic
/// degrees and metres (options.heights), sightings in degrees with UTC times,
/// first and last labelled "begin" and "end"; errors give file, line, column and the column or meta key.
StationReadResult readEcsvStation(const std::string& text, const std::string& fileName, const EcsvOptions& options);

/// An event from the texts of two or more ECSV files, one station per file in
/// the order given; refraction Corrected, time the earliest sighting's, name the
/// meta "event_codename", else "event", else the first file's name without folder and extension.
EventReadResult readEcsvEvent(const std::vector<NamedText>& files, const EcsvOptions& options);

/// True when the file name or its first bytes look like ECSV ("# %ECSV").
bool looksLikeEcsv(const std::string& fileName, const std::string& text);

}  // namespace sightline
