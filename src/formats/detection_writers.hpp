// A night's detections and events as JSON Lines.
#pragma once

#include <string>
#include <vector>

#include "correlate/correlate.hpp"
#include "correlate/detection.hpp"

namespace sightline {

/// One line (with its line feed) describing a detection:
/// {"station", "file", "ff", "meteor", "fps", "latitude", "longitude", "elevation",
///  "sightings": [{"time", "azimuth", "elevation", "magnitude"}]}
/// latitude and longitude in degrees, elevation in metres above mean sea level,
/// time ISO 8601 UTC, azimuth degrees from north through east, elevation
/// degrees (refraction-corrected), magnitude apparent or null.
std::string detectionLine(const Detection& detection);

/// One line (with its line feed): the sightline-event of `event`, stations named by
/// their identifiers with "heightReference": "msl", "refraction": "corrected",
/// timed sightings with "magnitude" when known, and per station
/// "detection": {"file", "ff", "meteor"}.
std::string eventLine(const std::vector<Detection>& detections, const CorrelatedEvent& event);

}  // namespace sightline
