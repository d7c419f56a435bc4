// Cost of the shower rule beside the orbit it follows: one association of the
// Orionid against the shipped table (392 solutions), next to one computeOrbit
// (BM_ComputeOrbit in orbit_bench.cpp); the membership of 1,000 draws.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "formats/shower_table.hpp"
#include "orbit/orbit.hpp"

namespace {

using namespace sightline;

const ShowerTable& shippedTable() {
  static const ShowerTable table = [] {
    std::ifstream in(std::string(SIGHTLINE_EXAMPLES_DIR) + "/../data/showers.csv");
    std::ostringstream text;
    text << in.rdbuf();
    return readShowerTable(text.str(), "showers.csv").table;
  }();
  return table;
}

ShowerKey orionidKey() {
  const OrbitState state = stateFromRadiant(1571821945.56, {44.1307, -81.3206, 116070.0}, 162.21, 61.00, 67405.0);
  return showerKeyOf(*computeOrbit(state).orbit);
}

void BM_ShowerAssociation(benchmark::State& s) {
  const ShowerTable& table = shippedTable();
  const ShowerKey key = orionidKey();
  for (auto _ : s) benchmark::DoNotOptimize(table.associate(key));
}
BENCHMARK(BM_ShowerAssociation);

void BM_ShowerMembershipOf1000Draws(benchmark::State& s) {
  const ShowerTable& table = shippedTable();
  std::vector<ShowerKey> draws(1000, orionidKey());
  for (std::size_t i = 0; i < draws.size(); ++i) draws[i].latitude += 0.001 * static_cast<double>(i % 100);
  for (auto _ : s) benchmark::DoNotOptimize(showerMembership(table, {}, 8, draws));
}
BENCHMARK(BM_ShowerMembershipOf1000Draws);

}  // namespace
