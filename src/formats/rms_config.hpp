// Where an RMS camera stands: its .config file, or its recalibrated platepars.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/diagnostics.hpp"
#include "earth/frames.hpp"

namespace sightline {

/// A camera's identifier and position: latitude (degrees north), longitude
/// (degrees east), height in metres above mean sea level (EGM96).
struct CameraSite {
  std::string stationId;  ///< empty when the file does not name it
  GeodeticPosition position;
};

/// A camera's site, or why it cannot be had.
struct CameraSiteResult {
  CameraSite site;
  std::optional<InputError> error;
};

/// The [System] section of an RMS .config text: "key: value" (or "key = value")
/// lines, ';' and '#' comments (whole lines, and after a value), keys
/// case-insensitive; stationID, latitude, longitude and elevation are required.
CameraSiteResult readRmsConfig(std::string_view text, const std::string& fileName);

/// platepars_all_recalibrated.json: an object of FF names to platepars; the
/// first (by name) with "lat", "lon" and "elev" gives the site, and its
/// "station_code" the identifier when present.
CameraSiteResult readPlatepars(std::string_view text, const std::string& fileName);

}  // namespace sightline
