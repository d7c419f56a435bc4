// Cost of a dark flight: one fall line of the default 26 masses (target
// under 50 ms) and a strewn field of 1000 draws per default mass (target
// under 5 s on two cores), both for the Murrili fall through its profile.
#include <benchmark/benchmark.h>

#include "app/darkflight_run.hpp"

namespace {

using namespace sightline;

DarkFlightRequest murrili() {
  DarkFlightRequest r;
  r.start = darkflight::StartState{0.0, GeodeticPosition{-29.26536580869662, 137.47792883987492, 18017.406995819358},
                                   262.5883511072914, 68.19939930781753, 3102.7991615107253};
  NamedText wind;
  readInput(SIGHTLINE_SOURCE_DIR "/tests/data/darkflight/example_murrili_wind_profile.csv", wind);
  r.wind = wind;
  r.groundHeight = -15.0;
  r.sigmaPosition = 100.0;
  r.sigmaSpeed = 300.0;
  r.sigmaDirection = 0.02;
  return r;
}

void BM_DarkFlightFallLine(benchmark::State& s) {
  const DarkFlightRequest r = murrili();
  sharedGeoid();
  for (auto _ : s) benchmark::DoNotOptimize(runDarkFlight(r));
}
BENCHMARK(BM_DarkFlightFallLine)->Unit(benchmark::kMillisecond);

void BM_DarkFlightStrewnField1000(benchmark::State& s) {
  DarkFlightRequest r = murrili();
  r.draws = 1000;
  r.threads = 2;
  for (auto _ : s) benchmark::DoNotOptimize(runDarkFlight(r));
}
BENCHMARK(BM_DarkFlightStrewnField1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
