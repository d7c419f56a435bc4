// Uses the installed library: a ViewPoint, a line of sight, refraction and geometry.
#include <cmath>
#include <cstdio>
#include <sightline.hpp>

int main() {
  using namespace sightline;
  const Vector3 station = viewPointPosition(13.5, 52.25, 100);
  const Vector3 d = horizonDirection(station, 37, 21);
  const double zenith = traceRefraction(degToRad(80), 100, 6378137.0, 0.05);
  const Vector3 p = intersect(Viewplane(Vector3(0, 0, 5), Vector3(1, 0, 0), Vector3(0, 1, 0)),
                              Viewline(Vector3(), Vector3(0, 0, 1)));
  std::printf("station %.3f %.3f %.3f\ndirection %.6f %.6f %.6f\nzenith %.7f\npoint %.1f\n", station.x, station.y,
              station.z, d.x, d.y, d.z, zenith, p.z);
  const bool ok = std::fabs(station.x - 3789001.109) < 1e-3 && std::fabs(d.x - 0.917738) < 1e-6 &&
                  std::fabs(zenith - 1.3975758) < 1e-7 && p.z == 5.0;
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
