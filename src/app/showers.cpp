#include "app/showers.hpp"

#include "formats/shower_table.hpp"

namespace sightline {

std::optional<InputError> showerTableOf(const ShowerSettings& settings, const ShowerTable*& table) {
  const std::string path = showerTablePath(settings.table);
  InputError error;
  table = sharedShowerTable(path, error);
  if (table != nullptr) return std::nullopt;
  if (error.file.empty()) error.file = path;
  return error;
}

std::optional<InputError> associateShower(const ShowerSettings& settings, SolvedOrbit& orbit) {
  const ShowerTable* table = nullptr;
  if (auto error = showerTableOf(settings, table)) return error;
  orbit.shower.checked = true;
  orbit.shower.match = table->associate(showerKeyOf(orbit.orbit), settings.limits);
  if (orbit.shower.match && !orbit.drawKeys.empty())
    orbit.shower.match->membership =
        showerMembership(*table, settings.limits, orbit.shower.match->number, orbit.drawKeys);
  return std::nullopt;
}

std::optional<InputError> associateOrbit(const ShowerSettings& settings, const OrbitResult& result,
                                         ShowerAssociation& shower) {
  shower = {};
  if (!result.orbit) return std::nullopt;
  const ShowerTable* table = nullptr;
  if (auto error = showerTableOf(settings, table)) return error;
  shower.checked = true;
  shower.match = table->associate(showerKeyOf(*result.orbit), settings.limits);
  return std::nullopt;
}

}  // namespace sightline
