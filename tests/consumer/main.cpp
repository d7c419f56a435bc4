// Uses the installed library: a ViewPoint, a line of sight, refraction and
// geometry, and the trajectory library solving a small two-station event.
#include <cmath>
#include <cstdio>
#include <sightline.hpp>
#include <common/version.hpp>
#include <orbit/orbit.hpp>
#include <trajectory/solve.hpp>
#include <trajectory/synthetic.hpp>

namespace {

// A straight path from 88 km down to 40 km seen by two stations, then solved.
bool solvesAnEvent() {
  using namespace sightline;
  KnownTrajectory known;
  known.begin = {47.90, 11.70, 88000};
  known.end = {48.20, 11.40, 40000};
  const Event event = knownEvent(known, {{"Hilltop", {47.80, 11.20, 620}, 3, 0.0, 1.0},
                                         {"Lakeside", {48.40, 12.10, 450}, 3, 0.0, 1.0}});
  const Solution solution = solve(event);
  std::printf("solve: %s\n", statusText(solution.status));
  if (solution.status != SolveStatus::Trajectory || !solution.trajectory) return false;
  const double missBegin = distance(solution.trajectory->begin.ecef, pointAlong(known, 0.0));
  const double missEnd = distance(solution.trajectory->end.ecef, pointAlong(known, 1.0));
  std::printf("begin %.1f m, end %.1f m from the known points\n", missBegin, missEnd);
  return missBegin < 1.0 && missEnd < 1.0;
}

// The orbit of an Orionid from its published state: a retrograde, long-period orbit.
bool computesAnOrbit() {
  using namespace sightline;
  const OrbitState state = stateFromRadiant(1571821945.56, GeodeticPosition{44.1307, -81.3206, 116070.0}, 162.21, 61.00,
                                            67405.0);
  const OrbitResult result = computeOrbit(state);
  if (!result.ok || !result.orbit) return false;
  const Orbit& o = *result.orbit;
  std::printf("orbit: vG %.1f km/s, e %.3f, i %.1f deg, q %.3f AU\n", o.vGeocentric / 1000, o.e, o.i, o.q);
  return o.i > 160 && o.i < 168 && o.e > 0.9 && o.e < 1.0 && std::fabs(o.vGeocentric - 66400) < 1000;
}

}  // namespace

int main() {
  using namespace sightline;
  const Vector3 station = viewPointPosition(13.5, 52.25, 100);
  const Vector3 d = horizonDirection(station, 37, 21);
  const double zenith = traceRefraction(degToRad(80), 100, 6378137.0, 0.05);
  const Vector3 p = intersect(Viewplane(Vector3(0, 0, 5), Vector3(1, 0, 0), Vector3(0, 1, 0)),
                              Viewline(Vector3(), Vector3(0, 0, 1)));
  std::printf("station %.3f %.3f %.3f\ndirection %.6f %.6f %.6f\nzenith %.7f\npoint %.1f\n", station.x, station.y,
              station.z, d.x, d.y, d.z, zenith, p.z);
  const bool classic = std::fabs(station.x - 3789001.109) < 1e-3 && std::fabs(d.x - 0.917738) < 1e-6 &&
                       std::fabs(zenith - 1.3975758) < 1e-7 && p.z == 5.0;
  std::printf("Sightline %s\n", sightline::kVersion);
  const bool ok = classic && solvesAnEvent() && computesAnOrbit();
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
