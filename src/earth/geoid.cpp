#include "earth/geoid.hpp"

#include <proj.h>

#include <cmath>
#include <mutex>

namespace sightline {

namespace {

/// The EGM96 grid of Debian's proj-data: geoid heights every 15 minutes of arc.
constexpr const char* kEgm96Grid = "egm96_15.gtx";

/// Degrees to radians, for PROJ's geographic coordinates.
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

}  // namespace

struct Geoid::Impl {
  PJ_CONTEXT* context = nullptr;
  PJ* shift = nullptr;   // adds the geoid height to the height it is given
  std::mutex mutex;      // a PJ object is not safe to use from two threads at once

  ~Impl() {
    if (shift != nullptr) proj_destroy(shift);
    if (context != nullptr) proj_context_destroy(context);
  }
};

Geoid::Geoid(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Geoid::~Geoid() = default;

std::unique_ptr<Geoid> Geoid::open(std::string& message) { return openGrid(kEgm96Grid, message); }

std::unique_ptr<Geoid> Geoid::openGrid(const std::string& gridName, std::string& message) {
  auto impl = std::make_unique<Impl>();
  impl->context = proj_context_create();
  if (impl->context == nullptr) {
    message = "cannot start PROJ for the geoid grid " + gridName;
    return nullptr;
  }
  // Never fetch grids over the network, whatever PROJ_NETWORK says: the grid
  // is a local file or it is missing.
  proj_context_set_enable_network(impl->context, 0);
  proj_log_level(impl->context, PJ_LOG_NONE);
  // Geographic input in radians, longitude first; +multiplier=1 adds the grid value.
  const std::string definition = "+proj=vgridshift +grids=" + gridName + " +multiplier=1";
  impl->shift = proj_create(impl->context, definition.c_str());
  if (impl->shift == nullptr) {
    const int code = proj_context_errno(impl->context);
    message = "the geoid grid " + gridName + " cannot be opened (" + proj_context_errno_string(impl->context, code) +
              "); it comes with the Debian package proj-data";
    return nullptr;
  }
  message.clear();
  return std::unique_ptr<Geoid>(new Geoid(std::move(impl)));
}

double Geoid::undulation(double latitude, double longitude) const {
  if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::fabs(latitude) > 90.0) return NAN;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  PJ_COORD in = proj_coord(longitude * kRadiansPerDegree, latitude * kRadiansPerDegree, 0.0, 0.0);
  proj_errno_reset(impl_->shift);
  const PJ_COORD out = proj_trans(impl_->shift, PJ_FWD, in);
  if (proj_errno(impl_->shift) != 0 || !std::isfinite(out.lpz.z)) return NAN;
  return out.lpz.z;
}

double Geoid::heightAboveSeaLevel(const GeodeticPosition& position) const {
  return position.height - undulation(position.latitude, position.longitude);
}

}  // namespace sightline
