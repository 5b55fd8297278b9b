// Symbol-to-bit soft demapping: SymbolBitMetrics and RelayLabelMetrics kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "golden.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"
#include "peak_allocation.hpp"

namespace linkforge {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::vector<double> demap(const std::vector<double>& input, std::size_t M, int type,
                          const std::vector<float>& prior = {}) {
  std::vector<double> out(input.size() / M * static_cast<std::size_t>(compute_bits_per_symbol(M)));
  symbol_bit_metrics(input, M, static_cast<MaxStar>(type), prior, out);
  return out;
}

// The demapper as a plain loop over labels, one symbol at a time: the reference for
// the batched kernel.
std::vector<double> demap_reference(const std::vector<double>& input, std::size_t M, int type,
                                    const std::vector<float>& prior) {
  const int m = compute_bits_per_symbol(M);
  const std::size_t N = input.size() / M;
  const MaxStarFn op = max_star_table[type];
  std::vector<double> out(N * m);
  for (std::size_t j = 0; j < N; ++j) {
    std::vector<float> acc0(m, -1000000.0f), acc1(m, -1000000.0f);
    const auto A = [&](int k) { return prior.empty() ? 0.0f : prior[j * m + k]; };
    for (std::size_t i = 0; i < M; ++i) {
      float q = static_cast<float>(input[j * M + i]);
      for (int k = 0; k < m; ++k) {
        if ((i >> (m - 1 - k)) & 1) q = q + A(k);
      }
      for (int k = 0; k < m; ++k) {
        if ((i >> (m - 1 - k)) & 1) {
          acc1[k] = op(acc1[k], q - A(k));
        } else {
          acc0[k] = op(acc0[k], q);
        }
      }
    }
    for (int k = 0; k < m; ++k) out[j * m + k] = acc1[k] - acc0[k];
  }
  return out;
}

// Bitwise equality, NaN payloads and signed zeros included.
// Bit-for-bit equality, except that any two NaNs are equal: which operand's NaN an
// addition passes on is the compiler's choice.
bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) && std::isnan(b[i])) continue;
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return false;
  }
  return true;
}

double log_sum_exp(const std::vector<double>& x) {
  const double top = *std::max_element(x.begin(), x.end());
  double sum = 0;
  for (const double v : x) sum += std::exp(v - top);
  return top + std::log(sum);
}

// ---------------------------------------------------------------------------------
// SymbolBitMetrics

// Worked values of the demapper's definition.
TEST(SymbolBitMetrics, MatchesHandValues) {
  const golden::Set g("symbol_bit_metrics");
  for (std::size_t i = 0; i < g.cases("M"); ++i) {
    EXPECT_EQ(demap(g.row("metrics", i), static_cast<std::size_t>(g.scalar("M", i)),
                    static_cast<int>(g.scalar("type", i)), g.row<float>("prior", i)),
              g.row("llr", i))
        << "case " << i;
  }
}

// Exact log-MAP against log-sum-exp in double precision over random signal sets and
// a-priori values: the ratio of bit k is the log of the sum over labels setting k of
// exp(metric + a-priori values of the other bits set) over that of the labels clearing k.
TEST(SymbolBitMetrics, ExactOperatorMatchesLogSumExp) {
  std::mt19937 rng(29);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int m = 1; m <= 6; ++m) {
    const std::size_t M = std::size_t{1} << m;
    const std::size_t N = 40;
    std::vector<double> input(M * N);
    std::vector<float> prior(N * m);
    for (double& v : input) v = 4.0 * g(rng);
    for (float& a : prior) a = static_cast<float>(3.0 * g(rng));
    const std::vector<double> out = demap(input, M, 4, prior);
    double scale = 0;
    for (const double v : input) scale = std::max(scale, std::abs(v));
    for (std::size_t j = 0; j < N; ++j) {
      for (int k = 0; k < m; ++k) {
        std::vector<double> one, zero;
        for (std::size_t i = 0; i < M; ++i) {
          double metric = input[j * M + i];
          for (int t = 0; t < m; ++t) {
            if (t != k && ((i >> (m - 1 - t)) & 1)) metric += prior[j * m + t];
          }
          (((i >> (m - 1 - k)) & 1) ? one : zero).push_back(metric);
        }
        const double exact = log_sum_exp(one) - log_sum_exp(zero);
        // Rounding of the metrics and of each fold step to single precision.
        const double tolerance = 4.0 * M * std::numeric_limits<float>::epsilon() * (1 + 2 * scale);
        EXPECT_NEAR(out[j * m + k], exact, tolerance) << "M " << M << " symbol " << j;
      }
    }
  }
}

// A bit's own a-priori value never reaches its output. With values on a coarse binary
// grid every single-precision sum is exact, so the outputs do not move at all.
TEST(SymbolBitMetrics, OutputIsExtrinsicForEveryOperator) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> grid(-64, 64);
  for (int type = 0; type < kMaxStarTypes; ++type) {
    for (int m = 1; m <= 5; ++m) {
      const std::size_t M = std::size_t{1} << m;
      const std::size_t N = 20;  // batched and single-symbol paths both
      std::vector<double> input(M * N);
      std::vector<float> prior(N * m);
      for (double& v : input) v = grid(rng) / 8.0;
      for (float& a : prior) a = static_cast<float>(grid(rng) / 8.0);
      const std::vector<double> base = demap(input, M, type, prior);
      for (std::size_t b = 0; b < prior.size(); ++b) {
        std::vector<float> moved = prior;
        moved[b] += static_cast<float>(grid(rng) / 4.0 + 0.5);
        EXPECT_EQ(demap(input, M, type, moved)[b], base[b])
            << "demod_type " << type << " M " << M << " bit " << b;
      }
    }
  }
}

// The kernel demaps symbols side by side; every symbol must come out as the one-symbol
// loop gives it, bit for bit, for every operator and batch remainder, with special
// values in the input and the a-priori values.
TEST(SymbolBitMetrics, BatchedSymbolsMatchTheReferenceBitForBit) {
  std::mt19937 rng(37);
  std::normal_distribution<double> g(0.0, 3.0);
  const double specials[] = {0.0, -0.0, kNaN, kInf, -kInf, -1e7, 1e30, -2e6};
  for (int type = 0; type < kMaxStarTypes; ++type) {
    for (const std::size_t M : {2u, 4u, 8u, 16u, 64u}) {
      const int m = compute_bits_per_symbol(M);
      for (const std::size_t N : {1u, 15u, 16u, 17u, 33u, 48u}) {
        std::vector<double> input(M * N);
        std::vector<float> prior(N * m);
        for (double& v : input) v = g(rng);
        for (float& a : prior) a = static_cast<float>(g(rng));
        for (std::size_t s = 0; s < 6; ++s) {
          input[rng() % input.size()] = specials[rng() % 8];
          prior[rng() % prior.size()] = static_cast<float>(specials[rng() % 8]);
        }
        EXPECT_TRUE(same_bits(demap(input, M, type, prior), demap_reference(input, M, type, prior)))
            << "demod_type " << type << " M " << M << " N " << N;
        EXPECT_TRUE(same_bits(demap(input, M, type), demap_reference(input, M, type, {})))
            << "demod_type " << type << " M " << M << " N " << N << " without a-priori values";
      }
    }
  }
}

// Without a-priori values the kernel adds one zero for all of a label's bits; -0 metrics
// must still come out as the reference's chain of additions gives them.
TEST(SymbolBitMetrics, NegativeZeroMetricsWithoutAprioriValues) {
  for (int type = 0; type < kMaxStarTypes; ++type) {
    const std::vector<double> input(8 * 20, -0.0);
    EXPECT_TRUE(same_bits(demap(input, 8, type), demap_reference(input, 8, type, {})));
    EXPECT_TRUE(same_bits(demap(input, 8, type, std::vector<float>(60, 0.0f)),
                          demap_reference(input, 8, type, {})));
  }
}

TEST(SymbolBitMetrics, RefusesBadShapesAndTypes) {
  std::vector<double> out(2);
  const std::vector<double> six(6);
  EXPECT_THROW(symbol_bit_metrics(six, 3, MaxStar::kLinear, {}, out), std::invalid_argument);
  EXPECT_THROW(symbol_bit_metrics(six, 0, MaxStar::kLinear, {}, out), std::invalid_argument);
  EXPECT_THROW(symbol_bit_metrics(six, 4, MaxStar::kLinear, {}, out),
               std::invalid_argument);  // 6 % 4
  const std::vector<double> four(4);
  EXPECT_THROW(symbol_bit_metrics(four, 4, static_cast<MaxStar>(5), {}, out),
               std::invalid_argument);
  EXPECT_THROW(symbol_bit_metrics(four, 4, static_cast<MaxStar>(-1), {}, out),
               std::invalid_argument);
  EXPECT_THROW(symbol_bit_metrics(four, 4, MaxStar::kLinear, std::vector<float>(1), out),
               std::invalid_argument);
  std::vector<double> three(3);
  EXPECT_THROW(symbol_bit_metrics(four, 4, MaxStar::kLinear, {}, three), std::invalid_argument);
  EXPECT_NO_THROW(symbol_bit_metrics(four, 4, MaxStar::kLinear, std::vector<float>(2), out));
}

// ---------------------------------------------------------------------------------
// RelayLabelMetrics

std::vector<double> relay_demap(const std::vector<double>& input, std::size_t M, int type,
                                const std::vector<float>& prior = {}) {
  const std::size_t N = input.size() / (M * M);
  std::vector<double> out(N * compute_bits_per_symbol(M));
  relay_label_metrics(input, M, static_cast<MaxStar>(type), prior, out);
  return out;
}

TEST(RelayLabelMetrics, HelpersFollowTheirDefinitions) {
  EXPECT_EQ(gen_nc_bits(5, 3), 6u);
  EXPECT_EQ(compute_total_number_of_bits(7, 3), 21u);
  const std::vector<float> prior = {1, 2, 4, 8, 16, 32};  // two symbols of three bits
  EXPECT_EQ(compute_extrinsic_info(prior, 0, 0, 3), 0.0f);
  EXPECT_EQ(compute_extrinsic_info(prior, 4, 0, 3), 1.0f);  // bit 0 (weight 4) pairs with A[0]
  EXPECT_EQ(compute_extrinsic_info(prior, 1, 0, 3), 4.0f);
  EXPECT_EQ(compute_extrinsic_info(prior, 7, 1, 3), 56.0f);
  EXPECT_EQ(compute_extrinsic_info(prior, 8 + 2, 1, 3), 16.0f);  // only the low m bits
  EXPECT_THROW(compute_extrinsic_info(prior, 1, 2, 3), std::invalid_argument);
  const std::vector<float> infinite = {kInf, 1};
  EXPECT_TRUE(std::isnan(compute_extrinsic_info(infinite, 1, 0, 2)));  // 0 * inf
}

// Exchanging the users keeps every exclusive-or label but changes the fold order: no
// effect under max-log, rounding under the exact operator. (The other approximations
// are not associative, so their outputs move by more than rounding.)
TEST(RelayLabelMetrics, SwappingTheUsersKeepsTheOutput) {
  std::mt19937 rng(41);
  std::normal_distribution<double> g(0.0, 2.0);
  for (const std::size_t M : {2u, 4u, 8u}) {
    const std::size_t N = 5;
    std::vector<double> input(M * M * N), swapped(input.size());
    for (double& v : input) v = g(rng);
    for (std::size_t i = 0; i < N; ++i) {
      for (std::size_t p = 0; p < M; ++p) {
        for (std::size_t q = 0; q < M; ++q) {
          swapped[i * M * M + q * M + p] = input[i * M * M + p * M + q];
        }
      }
    }
    EXPECT_EQ(relay_demap(input, M, 1), relay_demap(swapped, M, 1));
    const std::vector<double> a = relay_demap(input, M, 4), b = relay_demap(swapped, M, 4);
    for (std::size_t k = 0; k < a.size(); ++k) EXPECT_NEAR(a[k], b[k], 1e-4) << "M " << M;
  }
}

// Exact log-MAP against log-sum-exp over all pairs in double precision.
TEST(RelayLabelMetrics, ExactOperatorMatchesLogSumExp) {
  std::mt19937 rng(43);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int m = 1; m <= 4; ++m) {
    const std::size_t M = std::size_t{1} << m;
    const std::size_t N = 6;
    std::vector<double> input(M * M * N);
    std::vector<float> prior(N * m);
    for (double& v : input) v = 3.0 * g(rng);
    for (float& a : prior) a = static_cast<float>(2.0 * g(rng));
    const std::vector<double> out = relay_demap(input, M, 4, prior);
    for (std::size_t i = 0; i < N; ++i) {
      for (int k = 0; k < m; ++k) {
        std::vector<double> one, zero;
        for (std::size_t p = 0; p < M; ++p) {
          for (std::size_t q = 0; q < M; ++q) {
            const std::size_t f = p ^ q;
            double metric = input[i * M * M + p * M + q];
            for (int t = 0; t < m; ++t) {
              if (t != k && ((f >> (m - 1 - t)) & 1)) metric += prior[i * m + t];
            }
            (((f >> (m - 1 - k)) & 1) ? one : zero).push_back(metric);
          }
        }
        EXPECT_NEAR(out[i * m + k], log_sum_exp(one) - log_sum_exp(zero), 2e-4)
            << "M " << M << " symbol " << i << " bit " << k;
      }
    }
  }
}

// With user two certain to send label 0 (every other pair far below the accumulators'
// start), the network-coded label is user one's label and the relay demapper gives what
// the single-user demapper gives for every operator.
TEST(RelayLabelMetrics, SilentSecondUserReducesToTheSingleUserDemapper) {
  std::mt19937 rng(47);
  std::normal_distribution<double> g(0.0, 2.0);
  for (int type = 0; type < kMaxStarTypes; ++type) {
    for (const std::size_t M : {2u, 4u, 8u}) {
      const std::size_t N = 9;
      std::vector<double> single(M * N), pairs(M * M * N, -1e30);
      for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t p = 0; p < M; ++p) {
          single[i * M + p] = g(rng);
          pairs[i * M * M + p * M] = single[i * M + p];
        }
      }
      EXPECT_EQ(relay_demap(pairs, M, type), demap(single, M, type)) << type << " M " << M;
    }
  }
}

TEST(RelayLabelMetrics, OutputIsExtrinsic) {
  std::mt19937 rng(53);
  std::uniform_int_distribution<int> grid(-32, 32);
  for (int type = 0; type < kMaxStarTypes; ++type) {
    const std::size_t M = 4, N = 3;
    std::vector<double> input(M * M * N);
    std::vector<float> prior(2 * N);
    for (double& v : input) v = grid(rng) / 8.0;
    for (float& a : prior) a = static_cast<float>(grid(rng) / 8.0);
    const std::vector<double> base = relay_demap(input, M, type, prior);
    for (std::size_t b = 0; b < prior.size(); ++b) {
      std::vector<float> moved = prior;
      moved[b] += 1.25f;
      EXPECT_EQ(relay_demap(input, M, type, moved)[b], base[b]) << type << " bit " << b;
    }
  }
}

TEST(RelayLabelMetrics, RefusesBadShapesAndTypes) {
  std::vector<double> out(1);
  const std::vector<double> four(4);
  EXPECT_THROW(relay_label_metrics(four, 0, MaxStar::kLinear, {}, out), std::invalid_argument);
  EXPECT_THROW(relay_label_metrics(four, 2, static_cast<MaxStar>(5), {}, out),
               std::invalid_argument);
  EXPECT_THROW(relay_label_metrics(std::vector<double>(5), 2, MaxStar::kLinear, {}, out),
               std::invalid_argument);
  EXPECT_THROW(relay_label_metrics(four, 2, MaxStar::kLinear, std::vector<float>(2), out),
               std::invalid_argument);
  std::vector<double> none;
  EXPECT_THROW(relay_label_metrics(four, 2, MaxStar::kLinear, {}, none), std::invalid_argument);
  EXPECT_EQ(relay_label_metrics_bytes(2, 0), 0u + 0u);
  EXPECT_EQ(relay_label_metrics_bytes(4, 3), (2u * 3u + 16u + 4u) * sizeof(float));
}

TEST(Interrupt, StopsTheDemappers) {
  const Interrupt stop([](void*) noexcept { return true; });
  const std::size_t M = 16, N = 100000;
  const std::vector<double> metrics(M * N);
  std::vector<double> out(4 * N);
  EXPECT_THROW(symbol_bit_metrics(metrics, M, MaxStar::kExact, {}, out, stop), Interrupted);
  const std::vector<double> pairs(M * M * 5000);
  std::vector<double> bits(4 * 5000);
  EXPECT_THROW(relay_label_metrics(pairs, M, MaxStar::kMaxLog, {}, bits, stop), Interrupted);
}

TEST(MemoryEstimates, BoundTheDemappersAllocations) {
  using heap_count::peak_allocation;
  for (const std::size_t M : {2u, 16u, 64u}) {
    for (const std::size_t N : {0u, 5u, 16u, 37u}) {
      const std::vector<double> metrics(M * N);
      const auto bits = static_cast<std::size_t>(compute_bits_per_symbol(M));
      std::vector<double> out(bits * N);
      const std::size_t peak =
          peak_allocation([&] { symbol_bit_metrics(metrics, M, MaxStar::kExact, {}, out); });
      EXPECT_LE(peak, symbol_bit_metrics_bytes(M, N)) << "M " << M << ", N " << N;
      EXPECT_LE(symbol_bit_metrics_bytes(M, N), peak + 1024) << "M " << M << ", N " << N;
      const std::vector<double> pairs(M * M * N);
      const std::size_t relay_peak =
          peak_allocation([&] { relay_label_metrics(pairs, M, MaxStar::kMaxLog, {}, out); });
      EXPECT_LE(relay_peak, relay_label_metrics_bytes(M, N)) << "M " << M << ", N " << N;
    }
  }
}

}  // namespace
}  // namespace linkforge
