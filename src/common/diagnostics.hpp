// The error model of the libraries: what went wrong, as a stable
// machine-readable code (kebab-case, never renamed within a major version)
// next to an English text for people.
//
// - A Warning is a doubt about a result that was still produced (a weak
//   geometry, a residual over 3 sigma); solvers return them with their results.
// - An InputError is input that cannot be used: where it is (file, line,
//   column, JSON path or column name) and what was expected.
// The command line turns both into messages and exit statuses (cli/exit_status.hpp).
#pragma once

#include <string>
#include <vector>

namespace sightline {

/// A doubt about a result: `code` for programs, `text` for people.
struct Warning {
  std::string code;  ///< e.g. "weak-convergence", "residual-over-3-sigma", "behind-station"
  std::string text;  ///< one English sentence, without a trailing full stop
};

/// The texts of `warnings`, in order.
std::vector<std::string> warningTexts(const std::vector<Warning>& warnings);
/// The codes of `warnings`, in order.
std::vector<std::string> warningCodes(const std::vector<Warning>& warnings);

/// Bad input: where it is and what was expected.
struct InputError {
  std::string file;     ///< path as the user gave it
  int line = 0;         ///< 1-based; 0 when not known
  int column = 0;       ///< 1-based; 0 when not known
  std::string path;     ///< JSON path such as "stations[1].sightings[0].elevation", or an ECSV column name
  std::string message;  ///< what was wrong and what was expected

  /// "FILE:LINE:COLUMN: PATH: MESSAGE", leaving out the parts not known.
  std::string text() const;
};

}  // namespace sightline
