// Capacity estimates from likelihoods and the capacity table lookup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "golden.hpp"
#include "linkforge/capacity.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------------
// Capacity

TEST(Capacity, BinaryWorkedValues) {
  // Two confident, correct ratios: each term is ln(1 + e^-10).
  const double term = static_cast<float>(std::log1p(std::exp(-10.0)));
  EXPECT_DOUBLE_EQ(capacity_binary(std::vector<double>{10, -10}, std::vector<double>{1, 0}),
                   1 - 2 * term / (2 * 0.6931471805599453));
  const golden::Set g("capacity_binary");
  for (std::size_t i = 0; i < g.cases("llr"); ++i) {
    EXPECT_NEAR(capacity_binary(g.row("llr", i), g.row("bits", i)), g.scalar("capacity", i),
                g.scalar("tolerance", i));
  }
  // Ratios of 0: ln 2 in single precision per bit, so 0 up to that rounding.
  const double zero = capacity_binary(std::vector<double>(3, 0.0), std::vector<double>{1, 0, 1});
  EXPECT_EQ(zero, 1 - static_cast<double>(static_cast<float>(std::log(2.0))) / 0.6931471805599453);
  // A bit above 0 counts as a 1, anything else as a 0.
  const std::vector<double> llr = {3};
  EXPECT_EQ(capacity_binary(llr, std::vector<double>{0.5}),
            capacity_binary(llr, std::vector<double>{1}));
  EXPECT_EQ(capacity_binary(llr, std::vector<double>{-1}),
            capacity_binary(llr, std::vector<double>{0}));
  EXPECT_EQ(capacity_binary(llr, std::vector<double>{kNaN}),
            capacity_binary(llr, std::vector<double>{0}));
  EXPECT_TRUE(std::isnan(capacity_binary({}, {})));
  EXPECT_THROW(capacity_binary(llr, std::vector<double>{1, 0}), std::invalid_argument);
}

TEST(Capacity, LabelsAreBuiltByTruncation) {
  EXPECT_EQ(capacity_label(std::vector<double>{1, 0}), 2);
  EXPECT_EQ(capacity_label(std::vector<double>{1, 1, 0}), 6);
  EXPECT_EQ(capacity_label(std::vector<double>{0.5, 1}), 1);  // trunc(0.5) = 0
  EXPECT_EQ(capacity_label(std::vector<double>{2, 0}), 4);
  EXPECT_EQ(capacity_label(std::vector<double>{-1, 1}), -1);
  EXPECT_EQ(capacity_label({}), 0);
  EXPECT_TRUE(std::isnan(capacity_label(std::vector<double>{kNaN, 0})));
}

// The term of a symbol is ln(sum_l e^(L(l) - L(g))): against log-sum-exp in double.
TEST(Capacity, SymbolTermsMatchLogSumExp) {
  std::mt19937 rng(3);
  std::normal_distribution<double> g(0.0, 3.0);
  for (const std::size_t M : {2u, 4u, 8u, 16u, 64u}) {
    const int m = compute_bits_per_symbol(M);
    const std::size_t N = 200;
    std::vector<double> input(M * N), bits;
    double sum = 0;
    for (std::size_t j = 0; j < N; ++j) {
      for (std::size_t l = 0; l < M; ++l) input[j * M + l] = g(rng);
      const std::size_t label = rng() % M;
      for (int k = m - 1; k >= 0; --k) bits.push_back(static_cast<double>((label >> k) & 1));
      double top = -1e300;
      for (std::size_t l = 0; l < M; ++l) top = std::max(top, input[j * M + l]);
      double s = 0;
      for (std::size_t l = 0; l < M; ++l) s += std::exp(input[j * M + l] - top);
      sum += top + std::log(s) - input[j * M + label];
    }
    const double expected = 1 - sum / (N * std::log(static_cast<double>(M)));
    EXPECT_NEAR(capacity_symbol(input, M, bits), expected, 1e-5) << "M " << M;
  }
}

// The binary form on L(1) - L(0) equals the symbol form for two labels up to rounding.
TEST(Capacity, BinaryFormIsTheTwoLabelSymbolForm) {
  std::mt19937 rng(5);
  std::normal_distribution<double> g(0.0, 2.0);
  const std::size_t N = 500;
  std::vector<double> pairs(2 * N), llr(N), bits(N);
  for (std::size_t j = 0; j < N; ++j) {
    pairs[2 * j] = g(rng);
    pairs[2 * j + 1] = g(rng);
    llr[j] = pairs[2 * j + 1] - pairs[2 * j];
    bits[j] = static_cast<double>(rng() % 2);
  }
  EXPECT_NEAR(capacity_binary(llr, bits), capacity_symbol(pairs, 2, bits), 1e-6);
}

TEST(Capacity, RefusesLabelsOutsideTheSetAndWrongSizes) {
  const std::vector<double> input(8);
  EXPECT_THROW(capacity_symbol(input, 4, std::vector<double>{1, 0, 2, 0}), std::invalid_argument);
  EXPECT_THROW(capacity_symbol(input, 4, std::vector<double>{1, 0, -1, 1}), std::invalid_argument);
  EXPECT_THROW(capacity_symbol(input, 4, std::vector<double>{1, 0, kNaN, 1}),
               std::invalid_argument);
  EXPECT_THROW(capacity_symbol(input, 4, std::vector<double>{1, 0, 1}), std::invalid_argument);
  EXPECT_THROW(capacity_symbol(input, 1, std::vector<double>{}), std::invalid_argument);
  EXPECT_THROW(capacity_symbol(std::vector<double>(7), 4, std::vector<double>(6)),
               std::invalid_argument);
  // M = 3 reads single bits; a bit of 2 names label 2, which exists.
  EXPECT_NO_THROW(capacity_symbol(std::vector<double>(3), 3, std::vector<double>{2}));
  EXPECT_THROW(capacity_symbol(std::vector<double>(3), 3, std::vector<double>{3}),
               std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// InfoRateTable

const std::vector<double> kE = {0, 10};
const std::vector<double> kC = {0, 1};
const std::vector<double> kD = {0.1};

TEST(InfoRateTable, WorkedValues) {
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, 5), 0.5);
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, 10), 1);
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, 20), 1);
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, 0), 0);
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, -3), 0);
  EXPECT_EQ(info_rate_lookup(kE, kC, kD, kNaN), 0);
  std::vector<double> out(1);
  info_rate_table(kE, kC, kD, std::vector<double>{5, 20}, out);
  EXPECT_EQ(out[0], 1.5);
  // A single point: C[0] from E[0] on, 0 below.
  const std::vector<double> one = {2}, cap = {0.75};
  EXPECT_EQ(info_rate_lookup(one, cap, {}, 2), 0.75);
  EXPECT_EQ(info_rate_lookup(one, cap, {}, 1.9), 0);
  // An inner point uses the segment that ends there.
  const std::vector<double> E = {0, 1, 3}, C = {0, 0.5, 0.9}, D = {0.4, 0.25};
  EXPECT_EQ(info_rate_lookup(E, C, D, 1), (1 - 0) * 0.4 + 0);
  // K = 0 columns: zeros; R = 0 rows: nothing.
  std::vector<double> rows(3, 7.0);
  info_rate_table(kE, kC, kD, {}, rows);
  EXPECT_EQ(rows, std::vector<double>(3, 0.0));
  std::vector<double> none;
  info_rate_table(kE, kC, kD, {}, none);
}

// Row sums over a column-major matrix, in column order.
TEST(InfoRateTable, SumsEachRowOfTheMatrix) {
  const std::vector<double> gamma = {5, 1, 20, 2, -1, 7.5};  // 2 x 3
  std::vector<double> out(2);
  info_rate_table(kE, kC, kD, gamma, out);
  EXPECT_EQ(out[0], (0.5 + 1.0) + 0.0);
  EXPECT_EQ(out[1], (0.1 + 0.2) + 0.75);
}

// An increasing table is searched by bisection; the values must be those of the scan,
// including ratios on table points and tables with repeated points. Tables out of order
// or holding NaN take the scan, which ends inside the table.
TEST(InfoRateTable, BisectionAgreesWithTheScan) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-5.0, 25.0);
  for (int trial = 0; trial < 50; ++trial) {
    const std::size_t T = 1 + rng() % 12;
    std::vector<double> E(T), C(T), D(T - 1);
    for (double& e : E) e = std::round(u(rng));  // integers: repeated points happen
    if (trial % 5 != 0) std::sort(E.begin(), E.end());
    for (double& c : C) c = u(rng);
    for (double& d : D) d = u(rng) / 10;
    std::vector<double> gamma;
    for (int i = 0; i < 60; ++i) gamma.push_back(i % 3 == 0 ? E[rng() % T] : u(rng));
    gamma.push_back(kNaN);
    gamma.push_back(-kNaN);
    std::vector<double> out(gamma.size());
    info_rate_table(E, C, D, gamma, out);
    for (std::size_t i = 0; i < gamma.size(); ++i) {
      EXPECT_EQ(out[i], info_rate_lookup(E, C, D, gamma[i])) << "trial " << trial << " " << i;
    }
  }
  const std::vector<double> E = {0, 5, kNaN}, C = {0, 1, 2}, D = {0.2, 0.2};
  EXPECT_EQ(info_rate_lookup(E, C, D, 7), (7 - 5) * 0.2 + 1);
}

TEST(InfoRateTable, RefusesMismatchedTables) {
  std::vector<double> out(1);
  const std::vector<double> r = {1};
  EXPECT_THROW(info_rate_table({}, {}, {}, r, out), std::invalid_argument);
  EXPECT_THROW(info_rate_table(kE, std::vector<double>{1}, kD, r, out), std::invalid_argument);
  EXPECT_THROW(info_rate_table(kE, kC, {}, r, out), std::invalid_argument);
  std::vector<double> two(2);
  EXPECT_THROW(info_rate_table(kE, kC, kD, std::vector<double>{1, 2, 3}, two),
               std::invalid_argument);
}

TEST(Interrupt, StopsTheSums) {
  const Interrupt stop([](void*) noexcept { return true; });
  const std::vector<double> llr(2000000), bits(2000000);
  EXPECT_THROW(capacity_binary(llr, bits, stop), Interrupted);
  const std::vector<double> metrics(4 * 1000000);
  EXPECT_THROW(capacity_symbol(metrics, 4, bits, stop), Interrupted);
  const std::vector<double> E = {0, 1, 2}, C = {0, 0.5, 1}, D = {0.5, 0.5}, gamma(2000000, 0.5);
  std::vector<double> out(gamma.size());
  EXPECT_THROW(info_rate_table(E, C, D, gamma, out, stop), Interrupted);
}

}  // namespace
}  // namespace linkforge
