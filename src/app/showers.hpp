// The shower of a solved orbit, as every front end gives it: the table found
// (formats/shower_table.hpp) and read once, the rule of orbit/showers.hpp
// applied to the nominal orbit and to every Monte Carlo draw.
#pragma once

#include <optional>
#include <string>

#include "common/diagnostics.hpp"
#include "orbit/showers.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// Where the table is and the limits of the rule.
struct ShowerSettings {
  std::string table;    ///< the table's path; empty: showerTablePath("") (SIGHTLINE_SHOWERS, installed, source tree)
  ShowerLimits limits;  ///< 5 deg, 5 deg, 10% unless changed
};

/// The table of `settings`, or the error naming it (an unreadable or malformed
/// table is an error, never a silent "sporadic").
std::optional<InputError> showerTableOf(const ShowerSettings& settings, const ShowerTable*& table);

/// Sets `orbit.shower` (checked, the match of the nominal orbit and, when the
/// orbit has draws, the share of them in that shower), or returns the table's error.
std::optional<InputError> associateShower(const ShowerSettings& settings, SolvedOrbit& orbit);

/// The association of a `sightline orbit` result: unchecked when it has no orbit.
std::optional<InputError> associateOrbit(const ShowerSettings& settings, const OrbitResult& result,
                                         ShowerAssociation& shower);

}  // namespace sightline
