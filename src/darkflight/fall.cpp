#include "darkflight/fall.hpp"

#include <cmath>
#include <cstdint>

#include <boost/math/tools/roots.hpp>
#include <boost/numeric/odeint.hpp>

namespace sightline::darkflight {

namespace {

namespace odeint = boost::numeric::odeint;

/// First step tried (s); Odeint adapts it at once.
constexpr double kFirstStep = 0.01;
/// The landing time is bracketed to this (s): at the fastest impacts of a few
/// hundred m/s it is well under a millimetre of height.
constexpr double kLandingTimeTolerance = 1e-6;
/// Root-finding iterations at most (TOMS 748 needs a handful).
constexpr std::uintmax_t kMaxRootIterations = 100;

Vector3 positionOf(const State& x) { return Vector3(x[0], x[1], x[2]); }
Vector3 velocityOf(const State& x) { return Vector3(x[3], x[4], x[5]); }

PathPoint pathPoint(double t, const State& x) { return PathPoint{t, toGeodetic(positionOf(x))}; }

}  // namespace

State startVector(const StartState& start) {
  const Vector3 r = toEcef(start.position);
  const Vector3 v = -start.speed * directionFromHorizontal(localFrame(start.position), start.azimuth, start.elevation);
  return {r.x, r.y, r.z, v.x, v.y, v.z};
}

double heightAboveGround(const Vector3& r, const Surroundings& surroundings, double groundHeight) {
  const GeodeticPosition p = toGeodetic(r);
  return p.height - groundHeight - geoidAt(surroundings, p.latitude, p.longitude);
}

Landing fall(const State& start, const Body& body, const Surroundings& surroundings, const FallSettings& settings) {
  const EarthFixedMotion motion(body, surroundings);
  auto stepper = odeint::make_dense_output(settings.absoluteTolerance, settings.relativeTolerance,
                                           odeint::runge_kutta_dopri5<State>());
  stepper.initialize(start, 0.0, kFirstStep);
  Landing landing;
  if (settings.keepPath) landing.path.push_back(pathPoint(0.0, start));
  auto above = [&](double t) {
    State x;
    stepper.calc_state(t, x);
    return heightAboveGround(positionOf(x), surroundings, settings.groundHeight);
  };
  for (long steps = 0; steps < settings.maxSteps && stepper.current_time() < settings.maxTime; ++steps) {
    const auto [t0, t1] = stepper.do_step(motion);
    const State& x1 = stepper.current_state();
    const double h1 = heightAboveGround(positionOf(x1), surroundings, settings.groundHeight);
    if (h1 > 0.0) {
      if (toGeodetic(positionOf(x1)).height > settings.ceiling || !std::isfinite(h1)) break;
      if (settings.keepPath) landing.path.push_back(pathPoint(t1, x1));
      continue;
    }
    double t = t1;
    if (h1 < 0.0) {
      std::uintmax_t iterations = kMaxRootIterations;
      const auto bracket = boost::math::tools::toms748_solve(
          above, t0, t1, above(t0), h1, [](double a, double b) { return std::fabs(b - a) < kLandingTimeTolerance; },
          iterations);
      t = 0.5 * (bracket.first + bracket.second);
    }
    State x;
    stepper.calc_state(t, x);
    landing.landed = true;
    landing.position = toGeodetic(positionOf(x));
    landing.position.height = settings.groundHeight + geoidAt(surroundings, landing.position.latitude, landing.position.longitude);
    landing.timeOfFlight = t;
    landing.impactSpeed = velocityOf(x).length();
    if (settings.keepPath) landing.path.push_back(PathPoint{t, landing.position});
    break;
  }
  return landing;
}

}  // namespace sightline::darkflight
