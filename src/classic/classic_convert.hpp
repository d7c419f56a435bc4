// The classic observation file as an event: the same stations and the same
// lines of sight, in geodetic WGS84 coordinates with north-based azimuths.
#pragma once

#include <cstdio>
#include <string>

#include "classic/observation_file.hpp"
#include "common/diagnostics.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// The event equivalent to the loaded classic file `file` (read from `fileName`):
/// each ViewPoint's position (geocentric latitude, radial height on the classic
/// ellipsoid) becomes the geodetic WGS84 latitude, longitude and height of the
/// same point; each used sighting (azimuth from south through west, elevation
/// above the geocentric horizon, degrees) becomes the azimuth from north through
/// east and elevation above the geodetic horizon of the same line of sight.
/// Refraction mode 1 gives Apparent, 2 None, anything else Corrected. A use flag
/// other than 0 or 1 (after truncation), too few sightings or a value out of
/// range give an error naming the line.
EventReadResult classicEvent(const ObservationFile& file, const std::string& fileName);

/// Loads the bytes of a classic file (read from `fileName`) and converts them with classicEvent().
EventReadResult convertClassicText(const std::string& bytes, const std::string& fileName);

}  // namespace sightline
