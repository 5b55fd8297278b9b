#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "linkforge/trellis.hpp"

namespace linkforge {
namespace {

const std::vector<double> kG75 = {1, 1, 1, 0, 1, 1};  // [1 1 1; 1 0 1], column-major

TEST(GeneratorPolynomials, ColumnZeroIsMostSignificant) {
  EXPECT_EQ(generator_polynomials(kG75, 2, 3), (std::vector<int>{7, 5}));
  // Any entry other than 0 is a tap, NaN included.
  const std::vector<double> odd = {0.5, std::nan(""), -3, 0};  // [0.5 -3; NaN 0]
  EXPECT_EQ(generator_polynomials(odd, 2, 2), (std::vector<int>{3, 2}));
  EXPECT_THROW(generator_polynomials(kG75, 2, 32), std::invalid_argument);
}

TEST(Transit, FeedForwardTablesOfTheSevenFiveCode) {
  const Trellis t = make_trellis(std::vector<int>{7, 5}, 3, false);
  EXPECT_EQ(t.out0, (std::vector<int>{0, 3, 2, 1}));
  EXPECT_EQ(t.next0, (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(t.out1, (std::vector<int>{3, 0, 1, 2}));
  EXPECT_EQ(t.next1, (std::vector<int>{2, 2, 3, 3}));
}

TEST(Transit, RecursiveTablesOfTheSevenFiveCode) {
  const Trellis t = make_trellis(std::vector<int>{7, 5}, 3, true);
  EXPECT_EQ(t.out0, (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(t.next0, (std::vector<int>{0, 2, 3, 1}));
  EXPECT_EQ(t.out1, (std::vector<int>{3, 3, 2, 2}));
  EXPECT_EQ(t.next1, (std::vector<int>{2, 0, 1, 3}));
}

TEST(Transit, MemorylessCodeHasOneState) {
  // K = 1: rows [1; 0; 1] tap the data bit directly.
  const Trellis t = make_trellis(std::vector<int>{1, 0, 1}, 1, false);
  EXPECT_EQ(t.num_states, 1);
  EXPECT_EQ(t.next0, std::vector<int>{0});
  EXPECT_EQ(t.next1, std::vector<int>{0});
  EXPECT_EQ(t.out0, std::vector<int>{0});
  EXPECT_EQ(t.out1, std::vector<int>{5});
}

TEST(Transit, ZeroRowsGiveConstantBits) {
  // Feed-forward: an all-zero row always emits 0. Recursive: row 0 of zeros is no
  // feedback, and its code bit is still the data bit.
  const Trellis ff = make_trellis(std::vector<int>{0, 5}, 3, false);
  const Trellis rsc = make_trellis(std::vector<int>{0, 5}, 3, true);
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(ff.out0[s] >> 1, 0);
    EXPECT_EQ(ff.out1[s] >> 1, 0);
    EXPECT_EQ(rsc.out0[s] >> 1, 0);
    EXPECT_EQ(rsc.out1[s] >> 1, 1);
    EXPECT_EQ(rsc.next0[s], ff.next0[s]);  // no feedback: same register as feed-forward
  }
}

TEST(Transit, EveryStateHasTwoDistinctSuccessorsInRange) {
  std::mt19937 rng(5);
  for (int K = 2; K <= 9; ++K) {
    for (int n = 1; n <= 4; ++n) {
      std::vector<int> g(n);
      for (int& gi : g) gi = std::uniform_int_distribution<int>(0, (1 << K) - 1)(rng);
      for (const bool recursive : {false, true}) {
        const Trellis t = make_trellis(g, K, recursive);
        for (int s = 0; s < t.num_states; ++s) {
          EXPECT_NE(t.next0[s], t.next1[s]);
          EXPECT_LT(t.next0[s], t.num_states);
          EXPECT_LT(t.out1[s], t.num_words);
          if (recursive) {
            EXPECT_EQ(t.out1[s] >> (n - 1), 1);  // systematic bit first
          }
        }
      }
    }
  }
}

TEST(Gamma, SumsTheValuesOfTheSetCodeBits) {
  const std::vector<float> v = {1.5f, -2.0f, 0.25f};
  EXPECT_EQ(Gamma(v, 0), 0.0f);
  EXPECT_EQ(Gamma(v, 7), -0.25f);
  EXPECT_EQ(Gamma(v, 4), 1.5f);  // bit n-1 of the word is code bit 0
  EXPECT_EQ(Gamma(v, 1), 0.25f);
}

// The table form must reproduce Gamma's addition order exactly, not just closely.
TEST(Gamma, BranchMetricTableIsBitIdenticalToGamma) {
  std::mt19937 rng(3);
  std::normal_distribution<float> value(0.0f, 1000.0f);
  for (std::size_t n = 1; n <= 8; ++n) {
    std::vector<float> v(n);
    for (float& x : v) x = value(rng);
    std::vector<float> table(std::size_t{1} << n);
    branch_metrics(v, table.data());
    for (std::size_t w = 0; w < table.size(); ++w) {
      EXPECT_EQ(table[w], Gamma(v, static_cast<int>(w))) << "n " << n << " word " << w;
    }
  }
}

}  // namespace
}  // namespace linkforge
