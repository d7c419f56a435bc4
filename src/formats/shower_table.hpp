// The shower table Sightline ships (data/showers.csv, made by
// scripts/make-shower-table from the IAU Meteor Data Center's list): its
// reader and where it is found.
//
// The file: lines starting with "#" are comments; the first other line names
// the columns, which must include lp, iau, ad, code, name, status,
// solar_longitude (deg, J2000), ra, dec (deg, J2000) and vg (km/s), in any
// order; then one solution per line, fields separated by ",", none quoted.
#pragma once

#include <optional>
#include <string>

#include "common/diagnostics.hpp"
#include "orbit/showers.hpp"

namespace sightline {

/// The table in `text`, or the error naming `fileName`, the line and the column
/// of the first bad field (a file without rows is an error too).
struct ShowerTableReadResult {
  ShowerTable table;
  std::optional<InputError> error;
};
ShowerTableReadResult readShowerTable(const std::string& text, const std::string& fileName);

/// The environment variable that names the shower table.
inline constexpr const char* kShowerTableVariable = "SIGHTLINE_SHOWERS";

/// Where the shower table is: `option` when not empty, else $SIGHTLINE_SHOWERS when
/// set and not empty, else the first that exists of share/sightline/showers.csv
/// beside the running tool's folder (PREFIX/bin/../share/sightline), the installed
/// data folder and the source tree's data/showers.csv. Empty when none exists.
std::string showerTablePath(const std::string& option);

/// The table at `path` read once per process and shared by every thread (the
/// first read of a path is kept, error or not). `error` says why there is none
/// (its file the table's path, or "shower table" when no table was found).
const ShowerTable* sharedShowerTable(const std::string& path, InputError& error);

}  // namespace sightline
