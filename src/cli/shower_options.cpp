#include "cli/shower_options.hpp"

#include <CLI/CLI.hpp>

namespace sightline {

void addShowerOptions(CLI::App& command, ShowerSettings& s) {
  command.add_option("--showers", s.table,
                     "Shower table (CSV as data/showers.csv; default $SIGHTLINE_SHOWERS, else the installed one)")
      ->option_text("FILE");
  command.add_option("--shower-solar-longitude", s.limits.solarLongitude,
                     "Shower rule: largest solar longitude difference, degrees (default 5)")
      ->check(CLI::Range(0.0, 180.0))
      ->option_text("DEG");
  command.add_option("--shower-radiant", s.limits.radiant,
                     "Shower rule: largest radiant distance (Sun-centred ecliptic), degrees (default 5)")
      ->check(CLI::Range(0.0, 180.0))
      ->option_text("DEG");
  command.add_option("--shower-speed", s.limits.speedFraction,
                     "Shower rule: largest relative vG difference (default 0.10)")
      ->check(CLI::Range(0.0, 1.0))
      ->option_text("FRACTION");
}

}  // namespace sightline
