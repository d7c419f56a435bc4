#include "earth/frames.hpp"

#include <GeographicLib/Geocentric.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/angles.hpp"

namespace sightline {

namespace {

// GeographicLib's rotation takes east-north-up components to ECEF: its columns are the three unit vectors.
LocalFrame columnsOf(const std::vector<double>& m) {
  return LocalFrame{Vector3(m[0], m[3], m[6]), Vector3(m[1], m[4], m[7]), Vector3(m[2], m[5], m[8])};
}

}  // namespace

GeodeticPosition toGeodetic(const Vector3& ecef) {
  GeodeticPosition g;
  GeographicLib::Geocentric::WGS84().Reverse(ecef.x, ecef.y, ecef.z, g.latitude, g.longitude, g.height);
  if (g.longitude >= 180.0) g.longitude -= 360.0;
  return g;
}

GeodeticPosition toGeodetic(const Vector3& ecef, LocalFrame& frame) {
  GeodeticPosition g;
  std::vector<double> m(9);
  GeographicLib::Geocentric::WGS84().Reverse(ecef.x, ecef.y, ecef.z, g.latitude, g.longitude, g.height, m);
  if (g.longitude >= 180.0) g.longitude -= 360.0;
  frame = columnsOf(m);
  return g;
}

Vector3 toEcef(const GeodeticPosition& position) {
  Vector3 v;
  GeographicLib::Geocentric::WGS84().Forward(position.latitude, position.longitude, position.height, v.x, v.y, v.z);
  return v;
}

LocalFrame localFrame(const GeodeticPosition& position) {
  double x = 0, y = 0, z = 0;
  std::vector<double> m(9);
  GeographicLib::Geocentric::WGS84().Forward(position.latitude, position.longitude, position.height, x, y, z, m);
  return columnsOf(m);
}

Vector3 directionFromHorizontal(const LocalFrame& frame, double azimuth, double elevation) {
  const double a = degToRad(azimuth);
  const double e = degToRad(elevation);
  return (std::cos(e) * std::sin(a)) * frame.east + (std::cos(e) * std::cos(a)) * frame.north +
         std::sin(e) * frame.up;
}

Horizontal horizontalOf(const LocalFrame& frame, const Vector3& direction) {
  const Vector3& d = direction;
  Horizontal h;
  h.azimuth = radToDeg(std::atan2(dot(d, frame.east), dot(d, frame.north)));
  if (h.azimuth < 0) h.azimuth += 360;
  if (h.azimuth >= 360) h.azimuth -= 360;
  h.elevation = radToDeg(std::asin(std::clamp(dot(d, frame.up), -1.0, 1.0)));
  return h;
}

}  // namespace sightline
