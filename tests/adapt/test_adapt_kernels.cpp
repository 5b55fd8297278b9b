#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "linkforge/adapt.hpp"

namespace linkforge {
namespace {

using V = std::vector<int>;

std::vector<double> punctured(const std::vector<double>& input, std::size_t e,
                              const std::vector<int>& pun, const std::vector<int>& tail) {
  const PuncturedLength L = punctured_length(e, input.size() / e, pun, tail);
  EXPECT_EQ(L.expected, static_cast<std::int64_t>(L.produced));
  std::vector<double> out(L.produced);
  puncture(out, input, e, pun, tail);
  return out;
}

std::vector<double> depunctured(const std::vector<double>& input, std::size_t e,
                                const std::vector<int>& pun, const std::vector<int>& tail) {
  const DepuncturedShape shape = depunctured_shape(input.size(), e, pun, tail);
  EXPECT_TRUE(shape.complete);
  std::vector<double> out(e * shape.columns, -99.0);
  depuncture(out, input, e, pun, tail);
  return out;
}

// ---------------------------------------------------------------------------------
// Shapes (the worked examples of every module run through the host in adapt_tests.m)

TEST(Depuncture, FewestLeftoverColumnsAndIncompleteColumns) {
  // Pattern [1 0; 1 0] over 3 data columns sends 4 values; they come back as Q = 2
  // whole periods, the second and fourth columns empty.
  const std::vector<int> pun = {1, 1, 0, 0};
  const std::vector<double> y = punctured({1, 2, 3, 4, 5, 6}, 2, pun, {});
  EXPECT_EQ(y, (std::vector<double>{1, 2, 5, 6}));
  const DepuncturedShape shape = depunctured_shape(4, 2, pun, {});
  EXPECT_EQ(shape.periods, 2u);
  EXPECT_EQ(shape.leftover_columns, 0u);
  EXPECT_EQ(shape.columns, 4u);
  EXPECT_EQ(depunctured(y, 2, pun, {}), (std::vector<double>{1, 2, 0, 0, 5, 6, 0, 0}));

  // Pattern [1; 1]: an odd length stops inside a column.
  EXPECT_FALSE(depunctured_shape(5, 2, V{1, 1}, {}).complete);
  std::vector<double> out(6);
  EXPECT_THROW(depuncture(out, std::vector<double>(5), 2, V{1, 1}, {}), std::invalid_argument);
  // A leftover of 1 taken by column 0 of [1 1; 0 1].
  const DepuncturedShape partial = depunctured_shape(4, 2, V{1, 0, 1, 1}, {});
  EXPECT_EQ(partial.periods, 1u);
  EXPECT_EQ(partial.leftover_columns, 1u);
  EXPECT_EQ(partial.columns, 3u);
}

// ---------------------------------------------------------------------------------
// Round trips: every sent position comes back as the sum of its copies, every other
// position as 0, whatever the pattern and tail.

TEST(Puncture, RoundTripsOverRandomPatternsWithTails) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> count(0, 3);
  std::normal_distribution<double> soft(0.0, 2.0);
  for (int trial = 0; trial < 400; ++trial) {
    const std::size_t e = 1 + trial % 5;  // e = 4 takes the two-pass tail
    const std::size_t P = 1 + rng() % 5;
    const std::size_t T = rng() % 4;
    const std::size_t N = T + rng() % 12;
    std::vector<int> pun(e * P), tail(e * T);
    for (int& c : pun) c = count(rng);
    for (int& c : tail) c = count(rng);
    pun[rng() % pun.size()] = 1 + count(rng);  // something is sent
    std::vector<double> x(e * N);
    for (double& v : x) v = soft(rng);

    // Expected matrix: the count of every position from the pattern it falls under.
    const std::size_t D = N - T;
    std::vector<double> expected(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
      const std::size_t column = j / e;
      const std::size_t row = j % e;
      const int c = column < D ? pun[(column % P) * e + row] : tail[(column - D) * e + row];
      double sum = 0.0;
      for (int k = 0; k < c; ++k) sum += x[j];
      expected[j] = sum;
    }

    const std::vector<double> z = depunctured(punctured(x, e, pun, tail), e, pun, tail);
    const std::size_t columns = z.size() / e;
    ASSERT_GE(columns, T);
    const std::size_t data_columns = columns - T;
    for (std::size_t column = 0; column < std::max(D, data_columns); ++column) {
      for (std::size_t row = 0; row < e; ++row) {
        const double want = column < D ? expected[column * e + row] : 0.0;
        const double got = column < data_columns ? z[column * e + row] : 0.0;
        ASSERT_EQ(got, want) << "trial " << trial << ", row " << row << ", column " << column;
      }
    }
    for (std::size_t j = 0; j < e * T; ++j) {
      ASSERT_EQ(z[e * data_columns + j], expected[e * D + j])
          << "trial " << trial << ", tail " << j;
    }
  }
}

// ---------------------------------------------------------------------------------
// Negative counts and misuse

TEST(Puncture, NegativeCountsAreCountedButNeverWritten) {
  // Pattern [1 -1]: the formula expects Q*0 + ... but the walk sends only the 1s.
  const std::vector<int> pun = {1, -2};
  const PuncturedLength L = punctured_length(1, 5, pun, {});
  EXPECT_EQ(L.expected, -1);  // 2 periods of sum -1, then column 0
  EXPECT_EQ(L.produced, 3u);
  std::vector<double> guarded(5, -7.0);
  puncture(std::span<double>(guarded).subspan(1, 3), std::vector<double>{1, 2, 3, 4, 5}, 1, pun,
           {});
  EXPECT_EQ(guarded, (std::vector<double>{-7, 1, 3, 5, -7}));
  std::vector<double> two(2);
  EXPECT_THROW(puncture(two, std::vector<double>{1, 2, 3, 4, 5}, 1, pun, {}),
               std::invalid_argument);
}

// 2^38 periods of a pattern summing to about 2^33: both sums stop at the int64 ends, the
// same value either way, so a caller sees a huge length and no mismatch.
TEST(Puncture, SumsSaturateInsteadOfOverflowing) {
  const std::size_t N = std::size_t{1} << 40;
  const PuncturedLength big = punctured_length(1, N, std::vector<int>(4, INT_MAX), {});
  EXPECT_EQ(big.expected, INT64_MAX);
  EXPECT_EQ(big.produced, static_cast<std::uint64_t>(INT64_MAX));
  const PuncturedLength negative = punctured_length(1, N, std::vector<int>(4, INT_MIN), {});
  EXPECT_EQ(negative.expected, INT64_MIN);
  EXPECT_EQ(negative.produced, 0u);
}

TEST(Puncture, RefusesMalformedShapes) {
  const std::vector<double> x(6);
  std::vector<double> out(6);
  EXPECT_THROW(punctured_length(0, 3, {}, {}), std::invalid_argument);
  EXPECT_THROW(punctured_length(2, 3, {}, {}), std::invalid_argument);          // no columns
  EXPECT_THROW(punctured_length(2, 3, V{1, 1, 1}, {}), std::invalid_argument);  // not 2 rows
  EXPECT_THROW(punctured_length(2, 3, V{1, 1}, std::vector<int>(8, 1)),
               std::invalid_argument);  // T = 4 > N
  EXPECT_THROW(puncture(out, std::vector<double>(5), 2, V{1, 1}, {}), std::invalid_argument);
}

TEST(Depuncture, RefusesCountsThatCannotBeInverted) {
  EXPECT_THROW(depunctured_shape(4, 2, V{1, -1, 1, 1}, {}), std::invalid_argument);
  EXPECT_THROW(depunctured_shape(4, 2, V{1, 1}, V{1, -1}), std::invalid_argument);
  EXPECT_THROW(depunctured_shape(4, 2, V{0, 0}, {}), std::invalid_argument);  // S = 0
  EXPECT_THROW(depunctured_shape(4, 1, V{1}, V{5}), std::invalid_argument);   // U > L
  EXPECT_THROW(depunctured_shape(4, 2, {}, {}), std::invalid_argument);       // P = 0
  std::vector<double> wrong(3);
  EXPECT_THROW(depuncture(wrong, std::vector<double>(4), 2, V{1, 1}, {}), std::invalid_argument);
  // The whole input may be tail.
  EXPECT_EQ(depunctured(std::vector<double>{4, 5}, 1, {1}, {2}), (std::vector<double>{9}));
}

// ---------------------------------------------------------------------------------
// Rate matching by error accumulator

TEST(BitCount, KeepAllRemoveAllAndEmpty) {
  EXPECT_EQ(bit_count_kept({7, 1, 3, 0}), 7u);  // e_minus = 0 with e_ini > 0
  EXPECT_EQ(bit_count_kept({7, 3, 0, 1}), 2u);  // e_plus = 0: removed after the first
  EXPECT_EQ(bit_count_kept({7, 3, -5, 1}), 2u);
  EXPECT_EQ(bit_count_kept({0, 3, 1, 1}), 0u);
  EXPECT_EQ(bit_count_kept({-4, 3, 1, 1}), 0u);
  bit_count_adapt(std::span<double>{}, std::span<const double>{}, {0, 1, 1, 1});
  bit_count_restore(std::span<double>{}, std::span<const double>{}, {0, 1, 1, 1});
}

// TS 25.212 puncturing parameters e_ini = X_i, e_plus = 2*X_i, e_minus = 2*|dN| remove
// exactly |dN| of X_i bits, spread evenly.
TEST(BitCount, StandardParametersRemoveExactlyTheRequestedCount) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 300; ++trial) {
    const int X = 1 + static_cast<int>(rng() % 3000);
    const int dN = static_cast<int>(rng() % static_cast<unsigned>(X + 1));
    const BitCountPattern p{X, X, 2 * X, 2 * dN};
    ASSERT_EQ(bit_count_kept(p), static_cast<std::size_t>(X - dN)) << X << " " << dN;
    std::vector<double> x(X);
    for (int i = 0; i < X; ++i) x[i] = i + 1;
    std::vector<double> y(X - dN), z(X);
    bit_count_adapt(y, x, p);
    bit_count_restore(z, y, p);
    std::size_t removed = 0;
    int last_removed = -X;
    for (int i = 0; i < X; ++i) {
      if (z[i] == 0.0) {
        ++removed;
        // Evenly spread: consecutive removals more than X/dN - 1 positions apart.
        ASSERT_GE(i - last_removed, X / dN - 1);
        last_removed = i;
      } else {
        ASSERT_EQ(z[i], x[i]);
      }
    }
    ASSERT_EQ(removed, static_cast<std::size_t>(dN));
  }
}

TEST(BitCount, ExtremeParametersDoNotOverflowTheAccumulator) {
  // In 32 bits e would wrap after the first step of each of these.
  EXPECT_EQ(bit_count_kept({10, INT_MAX, INT_MAX, INT_MIN}), 10u);
  EXPECT_EQ(bit_count_kept({10, INT_MIN, INT_MIN, INT_MAX}), 0u);
  EXPECT_EQ(bit_count_kept({4, INT_MAX, 0, -1}), 4u);
}

TEST(BitCount, RefusesWrongSizes) {
  const BitCountPattern p{5, 5, 10, 4};
  std::vector<double> y3(3), y2(2), x5(5), x4(4);
  EXPECT_THROW(bit_count_adapt(y3, x4, p), std::invalid_argument);
  EXPECT_THROW(bit_count_adapt(y2, x5, p), std::invalid_argument);
  EXPECT_THROW(bit_count_restore(x5, y2, p), std::invalid_argument);
  EXPECT_THROW(bit_count_restore(x4, y3, p), std::invalid_argument);
  EXPECT_THROW(bit_count_restore(std::span<double>{}, std::span<const double>{}, {-1, 1, 1, 1}),
               std::invalid_argument);
}

}  // namespace
}  // namespace linkforge
