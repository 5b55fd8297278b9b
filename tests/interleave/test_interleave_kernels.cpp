#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <numeric>
#include <ostream>
#include <random>
#include <stdexcept>
#include <vector>

#include "golden.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge {
namespace {

bool is_permutation_of_range(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != static_cast<int>(i)) return false;
  }
  return true;
}

std::vector<int> wcdma(int K) {
  std::vector<int> input(static_cast<std::size_t>(K));
  std::iota(input.begin(), input.end(), 0);
  std::vector<int> alpha(input.size());
  WcdmaPermutation(K, input, alpha);
  return alpha;
}

// ---------------------------------------------------------------------------------
// 3GPP TS 25.212 turbo interleaver

// Hand-worked values of the interleaver at the edges of its row, prime and column
// choices: the first and last entries of alpha.
TEST(WcdmaPermutation, MatchesHandValues) {
  const golden::Set g("wcdma_permutation");
  for (std::size_t i = 0; i < g.cases("K"); ++i) {
    const std::vector<int> alpha = wcdma(static_cast<int>(g.scalar("K", i)));
    const std::vector<int> head = g.row<int>("head", i), tail = g.row<int>("tail", i);
    ASSERT_GE(alpha.size(), head.size());
    EXPECT_EQ(std::vector<int>(alpha.begin(), alpha.begin() + head.size()), head) << "K " << g.scalar("K", i);
    EXPECT_EQ(std::vector<int>(alpha.end() - tail.size(), alpha.end()), tail) << "K " << g.scalar("K", i);
  }
}

TEST(WcdmaPermutation, EveryBlockLengthGivesAPermutation) {
  for (int K = kWcdmaMinLength; K <= kWcdmaMaxLength; ++K) {
    ASSERT_TRUE(is_permutation_of_range(wcdma(K))) << "K " << K;
  }
}

// With W = p - 1 columns, column 0 of every row is left in place by the intra-row
// permutation, so the read-out starts with T(i)*W for the rows i of the inter-row pattern
// (dummies >= K dropped). 2480/2481 and 3210/3211 share R = 20, p and W and differ only
// in the pattern.
TEST(WcdmaPermutation, TwentyRowPatternFollowsTheBlockLengthBands) {
  const std::vector<int> a = {19, 9, 14, 4, 0, 2, 5, 7, 12, 18, 16, 13, 17, 15, 3, 1, 6, 11, 8, 10};
  const std::vector<int> b = {19, 9, 14, 4, 0, 2, 5, 7, 12, 18, 10, 8, 13, 17, 3, 1, 16, 6, 15, 11};
  const struct {
    int K, W;
    const std::vector<int>& T;
  } cases[] = {{2281, 126, a}, {2480, 126, a}, {2481, 126, b},
               {3161, 162, a}, {3210, 162, a}, {3211, 162, b}};
  for (const auto& c : cases) {
    std::vector<int> first_column;
    for (const int row : c.T) {
      if (row * c.W < c.K) first_column.push_back(row * c.W);
    }
    const std::vector<int> alpha = wcdma(c.K);
    EXPECT_EQ(std::vector<int>(alpha.begin(), alpha.begin() + first_column.size()), first_column)
        << "K " << c.K;
  }
}

TEST(WcdmaPermutation, PermutesArbitraryValuesAndRefusesMisuse) {
  std::vector<int> input(40);
  for (int i = 0; i < 40; ++i) input[i] = 1000 + 3 * i;
  std::vector<int> output(40);
  WcdmaPermutation(40, input, output);
  const std::vector<int> alpha = wcdma(40);
  for (int k = 0; k < 40; ++k) EXPECT_EQ(output[k], input[alpha[k]]);

  std::vector<int> out39(39), out5115(5115);
  EXPECT_THROW(WcdmaPermutation(39, std::vector<int>(39), out39), std::invalid_argument);
  EXPECT_THROW(WcdmaPermutation(5115, std::vector<int>(5115), out5115), std::invalid_argument);
  EXPECT_THROW(WcdmaPermutation(40, std::vector<int>(39), output), std::invalid_argument);
  input[7] = -1;  // the padding marker
  EXPECT_THROW(WcdmaPermutation(40, input, output), std::invalid_argument);
  EXPECT_EQ(gcd(7, 14), 7);
  EXPECT_EQ(gcd(7, 15), 1);
  EXPECT_THROW(gcd(0, 5), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// CCSDS turbo permutation

TEST(SpaceLinkPermutation, FourLengthsGiveTheStandardsPermutations) {
  const golden::Set g("space_link_permutation");
  const std::vector<int> head = g.row<int>("head");
  std::map<int, std::vector<int>> tails;
  for (std::size_t i = 0; i < g.cases("K"); ++i) tails[static_cast<int>(g.scalar("K", i))] = g.row<int>("tail", i);
  for (const int K : {1784, 3568, 7136, 8920}) {
    std::vector<int> alpha(static_cast<std::size_t>(K));
    SpaceLinkPermutation(K, alpha);
    EXPECT_EQ(std::vector<int>(alpha.begin(), alpha.begin() + 10), head) << "K " << K;
    EXPECT_TRUE(is_permutation_of_range(alpha)) << "K " << K;
    const std::vector<int>& tail = tails[K];
    EXPECT_EQ(std::vector<int>(alpha.end() - tail.size(), alpha.end()), tail) << "K " << K;
  }
}

TEST(SpaceLinkPermutation, OtherLengthsWriteNothing) {
  for (const int K : {0, 1785, 2000, -1784}) {
    std::vector<int> alpha(16, -5);
    SpaceLinkPermutation(K, alpha);
    EXPECT_EQ(alpha, std::vector<int>(16, -5)) << "K " << K;
    EXPECT_FALSE(is_space_link_length(K));
  }
  std::vector<int> short_alpha(1783);
  EXPECT_THROW(SpaceLinkPermutation(1784, short_alpha), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// ran2 and the spread permutation

// Reference vector of the generator from the load-time state with idum = -1, `first`
// cleared after the first draw.
TEST(Ran2, SequenceFromSeedMinusOne) {
  Ran2State state;
  state.idum = -1;
  const double expected[] = {0.285380899, 0.253358189, 0.093468531, 0.608496891, 0.90342026};
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(ran2(state), expected[i], 5e-10) << "draw " << i;
    state.first = 0;
  }
  // Seeding as genrand does discards the first of them.
  Ran2State seeded;
  seed_ran2(seeded, -1);
  EXPECT_EQ(seeded.first, 0);
  EXPECT_NEAR(genrand(seeded), expected[1], 5e-10);
  EXPECT_NEAR(genrand(seeded), expected[2], 5e-10);
}

TEST(Ran2, SeedsBelowOneAllStartFromOne) {
  const auto stream = [](std::int32_t seed) {
    Ran2State s;
    seed_ran2(s, seed);
    std::vector<double> v;
    for (int i = 0; i < 50; ++i) v.push_back(ran2(s));
    return v;
  };
  EXPECT_EQ(stream(0), stream(-1));
  EXPECT_EQ(stream(INT32_MIN), stream(-1));
  EXPECT_NE(stream(-2), stream(-1));
}

TEST(Ran2, StaysInsideItsRangeAndCopiesReproduce) {
  Ran2State state;
  seed_ran2(state, -185);
  double lo = 1.0;
  double hi = 0.0;
  for (int i = 0; i < 2000000; ++i) {
    const double x = ran2(state);
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  EXPECT_GE(lo, 1.0 / 2147483563.0);
  EXPECT_LE(hi, 1.0 - 1.2e-7);
  EXPECT_GT(hi, 0.999);
  Ran2State copy = state;
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ran2(copy), ran2(state));

  Ran2State corrupt = state;
  corrupt.iy = -3;
  EXPECT_THROW(ran2(corrupt), std::invalid_argument);
  corrupt.iy = INT32_MAX;
  EXPECT_THROW(ran2(corrupt), std::invalid_argument);
}

TEST(Ran2, GenrandSeedsFromTheClockOnce) {
  EXPECT_LE(clock_seed(), -1);
  EXPECT_GE(clock_seed(), -185);
  // The clock seed changes every second; retry until both reads fall in the same one.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::int32_t before = clock_seed();
    Ran2State fresh;
    const double first = genrand(fresh);
    const std::int32_t after = clock_seed();
    if (before != after) continue;
    Ran2State reference;
    seed_ran2(reference, before);
    EXPECT_EQ(first, ran2(reference));
    EXPECT_EQ(fresh.first, 0);
    EXPECT_EQ(genrand(fresh), ran2(reference));  // no reseeding afterwards
    return;
  }
  ADD_FAILURE() << "the clock seed kept changing";
}

std::vector<int> spread(int Length, int S, std::int32_t seed, std::int64_t max_draws,
                        std::int64_t* accepted = nullptr) {
  Ran2State state;
  seed_ran2(state, seed);
  std::vector<int> out(static_cast<std::size_t>(Length));
  const std::int64_t n = SpreadPermutation(Length, S, out, state, max_draws);
  if (accepted != nullptr) *accepted = n;
  return out;
}

TEST(SpreadPermutation, StartsFromTheRowColumnPermutation) {
  EXPECT_EQ(spread(10, 2, -1, 0), (std::vector<int>{0, 3, 6, 9, 1, 4, 7, 2, 5, 8}));
  EXPECT_EQ(spread(5, 1, -1, 0), (std::vector<int>{0, 2, 4, 1, 3}));
  EXPECT_TRUE(spread(0, 3, -1, 100).empty());
}

struct SpreadCase {
  int Length;
  int S;
};

void PrintTo(const SpreadCase& c, std::ostream* os) {
  *os << "Length " << c.Length << ", S " << c.S;
}

class SpreadProperty : public testing::TestWithParam<SpreadCase> {};

// Positions less than S apart hold values at least S apart: the start has the property
// for S below its column count floor(sqrt(Length)), and every accepted transposition
// keeps it.
TEST_P(SpreadProperty, ResultIsASpreadPermutation) {
  const auto [Length, S] = GetParam();
  for (const std::int32_t seed : {-1, -77}) {
    std::int64_t accepted = 0;
    const std::vector<int> a = spread(Length, S, seed, spread_draw_limit(Length), &accepted);
    ASSERT_EQ(accepted, 10 * std::int64_t{Length});
    ASSERT_TRUE(is_permutation_of_range(a));
    for (int i = 0; i < Length; ++i) {
      for (int j = i + 1; j < Length && j - i < S; ++j) {
        ASSERT_GE(std::abs(a[i] - a[j]), S) << "positions " << i << ", " << j;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, SpreadProperty,
                         testing::Values(SpreadCase{64, 4}, SpreadCase{100, 5},
                                         SpreadCase{1000, 15}, SpreadCase{1024, 20},
                                         SpreadCase{5114, 35}));

TEST(SpreadPermutation, SIsZeroOrNegativeAcceptsEveryDistinctPair) {
  for (const int S : {0, -1, INT_MIN}) {
    std::int64_t accepted = 0;
    const std::vector<int> a = spread(10, S, -5, spread_draw_limit(10), &accepted);
    EXPECT_EQ(accepted, 100);
    EXPECT_TRUE(is_permutation_of_range(a));
  }
  // Same state, same permutation; another state, another one.
  EXPECT_EQ(spread(200, 6, -9, spread_draw_limit(200)), spread(200, 6, -9, spread_draw_limit(200)));
  EXPECT_NE(spread(200, 6, -9, spread_draw_limit(200)), spread(200, 6, -8, spread_draw_limit(200)));
}

// Where no transposition can be accepted the loop stops at the draw bound with a
// permutation still in place.
TEST(SpreadPermutation, InfeasibleCasesStopAtTheDrawBound) {
  const SpreadCase cases[] = {{1, 0}, {1, 5}, {10, 9}, {10, INT_MAX}, {50, 40}, {2, 1}};
  for (const auto& [Length, S] : cases) {
    std::int64_t accepted = -1;
    const std::vector<int> a = spread(Length, S, -3, spread_draw_limit(Length), &accepted);
    EXPECT_LT(accepted, 10 * std::int64_t{Length}) << "Length " << Length << ", S " << S;
    EXPECT_TRUE(is_permutation_of_range(a));
  }
}

TEST(SpreadPermutation, RefusesMisuse) {
  Ran2State state;
  std::vector<int> out(10);
  EXPECT_THROW(SpreadPermutation(9, 1, out, state, 10), std::invalid_argument);
  EXPECT_THROW(SpreadPermutation(-1, 1, std::span<int>{}, state, 10), std::invalid_argument);
  EXPECT_EQ(state.first, 1);  // nothing drawn
}

// ---------------------------------------------------------------------------------
// Permuters

TEST(Permuters, WorkedExampleAndIdentity) {
  const golden::Set g("interleave");
  const std::vector<double> x = g.row("data");
  const std::vector<int> alpha = g.row<int>("alpha");
  std::vector<double> y(4), z(4);
  interleave(y, x, alpha);
  EXPECT_EQ(y, g.row("interleaved"));
  deinterleave(z, y, alpha);
  EXPECT_EQ(z, x);
  const std::vector<int> identity = {0, 1, 2, 3};
  interleave(y, x, identity);
  EXPECT_EQ(y, x);
  interleave(std::span<double>{}, std::span<const double>{}, std::span<const int>{});
}

TEST(Permuters, RepeatedIndicesCopyOrKeepTheLaterValue) {
  const std::vector<double> x = {1, 2, 3};
  const std::vector<int> alpha = {1, 1, 0};
  std::vector<double> y(3);
  interleave(y, x, alpha);
  EXPECT_EQ(y, (std::vector<double>{2, 2, 1}));
  std::vector<double> z = {-7, -7, -7};
  deinterleave(z, x, alpha);
  EXPECT_EQ(z, (std::vector<double>{3, 2, -7}));  // position 2 is named by no entry
}

TEST(Permuters, RefuseIndicesOutsideTheBlockAndWrongSizes) {
  const std::vector<double> x = {1, 2, 3};
  std::vector<double> y(3);
  for (const std::vector<int>& alpha :
       {std::vector<int>{1, 2, 3}, std::vector<int>{0, -1, 2}, std::vector<int>{0, INT_MAX, 2}}) {
    EXPECT_THROW(interleave(y, x, alpha), std::invalid_argument);
    EXPECT_THROW(deinterleave(y, x, alpha), std::invalid_argument);
  }
  EXPECT_THROW(interleave(y, x, std::vector<int>{0, 1}), std::invalid_argument);
  EXPECT_THROW(deinterleave(std::span<double>(y).first(2), x, std::vector<int>{0, 1, 2}),
               std::invalid_argument);
}

TEST(SpreadPermutation, StopsWhenInterrupted) {
  const Interrupt stop([](void*) noexcept { return true; });
  Ran2State state;
  seed_ran2(state, -5);
  std::vector<int> out(5114);
  EXPECT_THROW(SpreadPermutation(5114, 60, out, state, spread_draw_limit(5114), stop),
               Interrupted);
  EXPECT_TRUE(is_permutation_of_range(out));
}

}  // namespace
}  // namespace linkforge
