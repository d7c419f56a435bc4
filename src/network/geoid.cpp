// Stub: to be written.
#include "network/geoid.hpp"

#include <cmath>

namespace sightline {

struct Geoid::Impl {};
Geoid::Geoid(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Geoid::~Geoid() = default;
std::unique_ptr<Geoid> Geoid::open(std::string& message) {
  message = "the geoid is not available yet";
  return nullptr;
}
double Geoid::undulation(double, double) const { return NAN; }

std::optional<InputError> toEllipsoidHeights(Event& event, const Geoid*, const std::string& geoidMessage) {
  for (const Station& s : event.stations) {
    if (s.heightReference == HeightReference::MeanSeaLevel) return InputError{"", 0, 0, "", geoidMessage};
  }
  return std::nullopt;
}

}  // namespace sightline
