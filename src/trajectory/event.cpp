#include "trajectory/event.hpp"

namespace sightline {

double sightingSigma(const Event& event, std::size_t s, std::size_t k) {
  const Station& station = event.stations[s];
  const Sighting& sighting = station.sightings[k];
  if (sighting.sigma) return *sighting.sigma;
  if (station.sigma) return *station.sigma;
  return event.sigma.value_or(kDefaultSigmaDegrees);
}

bool sigmaStated(const Event& event, std::size_t s, std::size_t k) {
  const Station& station = event.stations[s];
  return station.sightings[k].sigma.has_value() || station.sigma.has_value() || event.sigma.has_value();
}

const char* refractionName(Refraction refraction) {
  switch (refraction) {
    case Refraction::None: return "none";
    case Refraction::Corrected: return "corrected";
    case Refraction::Apparent: return "apparent";
  }
  return "corrected";
}

std::optional<Refraction> refractionFromName(const std::string& name) {
  if (name == "none") return Refraction::None;
  if (name == "corrected") return Refraction::Corrected;
  if (name == "apparent") return Refraction::Apparent;
  return std::nullopt;
}

const char* trajectoryModelName(TrajectoryModel model) {
  return model == TrajectoryModel::Straight ? "straight" : "gravity";
}

std::optional<TrajectoryModel> trajectoryModelFromName(const std::string& name) {
  if (name == "gravity") return TrajectoryModel::Gravity;
  if (name == "straight") return TrajectoryModel::Straight;
  return std::nullopt;
}

}  // namespace sightline
