#include "formats/detection_writers.hpp"

#include <nlohmann/json.hpp>

#include "trajectory/time.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;

Json sightingJson(const Sighting& s, bool nullMagnitude) {
  Json j;
  if (s.time) j["time"] = formatIsoTime(*s.time);
  j["azimuth"] = s.azimuth;
  j["elevation"] = s.elevation;
  if (s.magnitude) j["magnitude"] = *s.magnitude;
  else if (nullMagnitude) j["magnitude"] = nullptr;
  return j;
}

// "20261208_012345": the UTC date and second of `seconds`.
std::string compactTime(double seconds) {
  const std::string iso = formatIsoTime(seconds);
  return iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 2) + "_" + iso.substr(11, 2) + iso.substr(14, 2) + iso.substr(17, 2);
}

}  // namespace

std::string detectionLine(const Detection& d) {
  Json j;
  j["station"] = d.station;
  j["file"] = d.file;
  j["ff"] = d.ff;
  j["meteor"] = d.meteor;
  j["fps"] = d.fps;
  j["latitude"] = d.position.latitude;
  j["longitude"] = d.position.longitude;
  j["elevation"] = d.position.height;
  j["sightings"] = Json::array();
  for (const Sighting& s : d.sightings) j["sightings"].push_back(sightingJson(s, true));
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string eventLine(const std::vector<Detection>& detections, const CorrelatedEvent& event) {
  Json j;
  j["format"] = "sightline-event";
  j["version"] = 1;
  j["name"] = compactTime(event.beginTime) + "_" + detections[event.detections.front()].station;
  j["time"] = formatIsoTime(event.beginTime);
  j["refraction"] = "corrected";
  j["stations"] = Json::array();
  for (std::size_t index : event.detections) {
    const Detection& d = detections[index];
    Json s;
    s["name"] = d.station;
    s["latitude"] = d.position.latitude;
    s["longitude"] = d.position.longitude;
    s["height"] = d.position.height;
    s["heightReference"] = "msl";
    s["detection"] = Json{{"file", d.file}, {"ff", d.ff}, {"meteor", d.meteor}};
    s["sightings"] = Json::array();
    for (const Sighting& x : d.sightings) s["sightings"].push_back(sightingJson(x, false));
    j["stations"].push_back(std::move(s));
  }
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace sightline
