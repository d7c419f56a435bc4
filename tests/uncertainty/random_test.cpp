#include "uncertainty/random.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

namespace sightline {
namespace {

// The published first outputs of SplitMix64 from state 0: the streams are
// reproducible on any platform because nothing here comes from the standard library.
TEST(SplitMix64, ReproducesTheReferenceSequence) {
  std::uint64_t state = 0;
  EXPECT_EQ(splitMix64(state), 0xE220A8397B1DCDAFULL);
  EXPECT_EQ(splitMix64(state), 0x6E789E6AA1B965F4ULL);
  EXPECT_EQ(splitMix64(state), 0x06C45D188009454FULL);
}

TEST(DrawRandom, SameSeedAndDrawGiveTheSameStream) {
  DrawRandom a(42, 7), b(42, 7);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(a.next(), b.next());
}

// Neighbouring draws and neighbouring seeds must not share or shift streams.
TEST(DrawRandom, StreamsOfOtherDrawsAndSeedsDiffer) {
  std::set<std::uint64_t> firsts;
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    for (std::uint64_t draw = 0; draw < 50; ++draw) {
      DrawRandom r(seed, draw);
      firsts.insert(r.next());
      firsts.insert(r.next());
    }
  }
  EXPECT_EQ(firsts.size(), 2000u);
}

TEST(DrawRandom, UniformStaysInTheHalfOpenUnitInterval) {
  DrawRandom r(1, 0);
  double lo = 1, hi = 0;
  for (int k = 0; k < 100000; ++k) {
    const double u = r.uniform();
    ASSERT_GT(u, 0.0);
    ASSERT_LE(u, 1.0);
    lo = std::min(lo, u);
    hi = std::max(hi, u);
  }
  EXPECT_LT(lo, 1e-3);
  EXPECT_GT(hi, 1 - 1e-3);
}

// Mean, variance, and the share within 1 and 2 sigma of a standard normal,
// over draws of many streams as the Monte Carlo uses them.
TEST(DrawRandom, NormalDeviatesHaveUnitSigma) {
  const int streams = 2000, perStream = 50;
  double sum = 0, squares = 0;
  int within1 = 0, within2 = 0;
  for (int d = 0; d < streams; ++d) {
    DrawRandom r(20261208, static_cast<std::uint64_t>(d));
    for (int k = 0; k < perStream; ++k) {
      const double x = r.normal();
      sum += x;
      squares += x * x;
      within1 += std::fabs(x) < 1 ? 1 : 0;
      within2 += std::fabs(x) < 2 ? 1 : 0;
    }
  }
  const double n = streams * perStream;
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(squares / n, 1.0, 0.015);
  EXPECT_NEAR(within1 / n, 0.6827, 0.005);
  EXPECT_NEAR(within2 / n, 0.9545, 0.003);
}

// The two deviates of one Box-Muller pair are uncorrelated.
TEST(DrawRandom, PairsAreUncorrelated) {
  DrawRandom r(3, 3);
  double product = 0;
  const int pairs = 50000;
  for (int k = 0; k < pairs; ++k) {
    const double a = r.normal();
    const double b = r.normal();
    product += a * b;
  }
  EXPECT_NEAR(product / pairs, 0.0, 0.02);
}

}  // namespace
}  // namespace sightline
