// Cost of one orbit (the Orionid) and of its steps: the dates, the
// Earth's orientation (IAU 2006/2000A, the bulk of it), the Earth's ephemeris,
// the zenith attraction and the elements.
#include <benchmark/benchmark.h>

#include "orbit/constants.hpp"
#include "orbit/orbit.hpp"

namespace {

using namespace sightline;

// 2019-10-23T09:12:25.56Z, 44.1307 N 81.3206 W, 116.07 km; radiant 162.21 deg, 61 deg; 67.405 km/s.
OrbitState orionid() {
  return stateFromRadiant(1571821945.56, {44.1307, -81.3206, 116070.0}, 162.21, 61.00, 67405.0);
}

void BM_ComputeOrbit(benchmark::State& s) {
  const OrbitState state = orionid();
  for (auto _ : s) benchmark::DoNotOptimize(computeOrbit(state));
}
BENCHMARK(BM_ComputeOrbit);

void BM_OrbitJulianDates(benchmark::State& s) {
  const OrbitState state = orionid();
  for (auto _ : s) benchmark::DoNotOptimize(julianDatesOf(state.time));
}
BENCHMARK(BM_OrbitJulianDates);

void BM_OrbitCelestialState(benchmark::State& s) {
  const OrbitState state = orionid();
  const JulianDates dates = *julianDatesOf(state.time);
  for (auto _ : s) benchmark::DoNotOptimize(celestialStateOf(state.position, state.velocity, dates));
}
BENCHMARK(BM_OrbitCelestialState);

void BM_OrbitEarthHeliocentric(benchmark::State& s) {
  const JulianDates dates = *julianDatesOf(orionid().time);
  for (auto _ : s) benchmark::DoNotOptimize(earthHeliocentric(dates));
}
BENCHMARK(BM_OrbitEarthHeliocentric);

void BM_OrbitZenithAttractionAndElements(benchmark::State& s) {
  const OrbitState state = orionid();
  const JulianDates dates = *julianDatesOf(state.time);
  const InertialState geocentric = celestialStateOf(state.position, state.velocity, dates);
  const InertialState earth = earthHeliocentric(dates);
  for (auto _ : s) {
    const GeocentricVelocity g = *removeEarthAttraction(geocentric.position, geocentric.velocity);
    const Vector3 r = toEclipticJ2000(earth.position + geocentric.position);
    const Vector3 v = toEclipticJ2000(earth.velocity - g.speed * g.radiant);
    benchmark::DoNotOptimize(elementsOf(r, v, kSunGM));
  }
}
BENCHMARK(BM_OrbitZenithAttractionAndElements);

}  // namespace
