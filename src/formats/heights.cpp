#include "formats/heights.hpp"

#include <cmath>

namespace sightline {

std::optional<InputError> toEllipsoidHeights(Event& event, const Geoid* geoid, const std::string& geoidMessage) {
  for (std::size_t s = 0; s < event.stations.size(); ++s) {
    Station& station = event.stations[s];
    if (station.heightReference != HeightReference::MeanSeaLevel) continue;
    const std::string path = "stations[" + std::to_string(s) + "].position.height";
    if (geoid == nullptr) {
      return InputError{"", 0, 0, path,
                        "station \"" + station.name + "\" has its height above mean sea level, which needs the geoid: " +
                            geoidMessage};
    }
    const double n = geoid->undulation(station.position.latitude, station.position.longitude);
    if (!std::isfinite(n)) {
      return InputError{"", 0, 0, path,
                        "no geoid height at the position of station \"" + station.name + "\""};
    }
    station.position.height += n;
    station.heightReference = HeightReference::Ellipsoid;
  }
  return std::nullopt;
}

}  // namespace sightline
