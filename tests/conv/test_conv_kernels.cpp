#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <span>
#include <vector>

#include "golden.hpp"
#include "hwy_targets.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/viterbi.hpp"
#include "peak_allocation.hpp"
#include "reference_conv.hpp"

namespace linkforge {
namespace {

std::vector<int> encode(const Trellis& t, CodeType type, const std::vector<int>& data) {
  std::vector<int> out(trellis_encode_length(t, data.size(), type));
  trellis_encode(out, data, t, encoder_tail(t, type));
  return out;
}

// Noiseless channel values: +amp for a 1, -amp for a 0.
std::vector<float> antipodal(const std::vector<int>& bits, float amp = 2.0f) {
  std::vector<float> v(bits.size());
  for (std::size_t i = 0; i < bits.size(); ++i) v[i] = bits[i] ? amp : -amp;
  return v;
}

const Trellis kFF75 = make_trellis(std::vector<int>{7, 5}, 3, false);
const Trellis kRSC75 = make_trellis(std::vector<int>{7, 5}, 3, true);
const golden::Set& seven_five() {
  static const golden::Set set("seven_five_code");
  return set;
}
const std::vector<int> kData = seven_five().row<int>("data");

// ---------------------------------------------------------------------------------
// Worked examples of the (7, 5) code

TEST(TrellisEncode, WorkedBlocksOfTheSevenFiveCode) {
  EXPECT_EQ(encode(kRSC75, CodeType::kRecursive, kData), seven_five().row<int>("recursive"));
  EXPECT_EQ(encode(kFF75, CodeType::kFeedForward, kData), seven_five().row<int>("feedforward"));
  EXPECT_EQ(encode(kFF75, CodeType::kTailBiting, kData), seven_five().row<int>("tailbiting"));
  EXPECT_EQ(encoder_tail(kRSC75, CodeType::kRecursive).inputs, (std::vector<int>{0, 1, 1, 0}));
  EXPECT_EQ(encode(kRSC75, CodeType::kRecursive, {}), std::vector<int>(4, 0));
}

TEST(TrellisEncode, RefusesShortTailBitingBlocksAndWrongSizes) {
  std::vector<int> out(2);
  EXPECT_THROW(
      trellis_encode(out, std::vector<int>{1}, kFF75, encoder_tail(kFF75, CodeType::kTailBiting)),
      std::invalid_argument);
  EXPECT_THROW(trellis_encode(out, kData, kFF75, encoder_tail(kFF75, CodeType::kFeedForward)),
               std::invalid_argument);
}

TEST(TrellisPosterior, MatchesHandValues) {
  const golden::Set g("seven_five_posterior");
  for (std::size_t i = 0; i < g.cases("input_c"); ++i) {
    const std::vector<float> u = g.row<float>("input_u", i), c = g.row<float>("input_c", i);
    std::vector<float> out_u(u.size()), out_c(c.size());
    trellis_posterior(u, c, g.scalar("code_type", i) == 0 ? kRSC75 : kFF75,
                      static_cast<MaxStar>(g.scalar("decoder_type", i)), out_u, out_c);
    EXPECT_EQ(out_u, g.row<float>("output_u", i)) << "case " << i;
    EXPECT_TRUE(g.rows("output_c")[i].empty() || out_c == g.row<float>("output_c", i)) << "case " << i;
  }
}

TEST(TrellisPosterior, RefusesUnknownOperatorsAndWrongLengths) {
  std::vector<float> u(4), c(12), out_u(4), out_c(12);
  EXPECT_THROW(trellis_posterior(u, c, kFF75, static_cast<MaxStar>(5), out_u, out_c),
               std::invalid_argument);
  EXPECT_THROW(trellis_posterior(u, std::vector<float>(11), kFF75, MaxStar::kMaxLog, out_u, out_c),
               std::invalid_argument);
  // An empty output_c asks for the data bits only; any other size is wrong.
  EXPECT_NO_THROW(trellis_posterior(u, c, kFF75, MaxStar::kMaxLog, out_u, {}));
  EXPECT_THROW(trellis_posterior(u, c, kFF75, MaxStar::kMaxLog, out_u, std::span(out_c).first(11)),
               std::invalid_argument);
}

TEST(TrellisBestPath, WorkedBlocksOfTheSevenFiveCode) {
  std::vector<int> out(4);
  trellis_best_path(out, seven_five().row<float>("received_feedforward"), kFF75);
  EXPECT_EQ(out, kData);
  trellis_best_path(out, seven_five().row<float>("received_recursive"), kRSC75);
  EXPECT_EQ(out, kData);
  const std::vector<float> ring = seven_five().row<float>("received_tailbiting");
  for (const std::size_t depth : {std::size_t{18}, std::size_t{0}, std::size_t{3}}) {
    trellis_best_path_circular(out, ring, kFF75, depth);
    EXPECT_EQ(out, kData) << "D " << depth;
  }
  std::vector<float> flipped = ring;
  flipped[0] = -flipped[0];
  trellis_best_path_circular(out, flipped, kFF75, 18);
  EXPECT_EQ(out, kData);
  trellis_best_path(out, std::vector<float>(12, 0.0f), kFF75);
  EXPECT_EQ(out, std::vector<int>(4, 0));  // ties keep bit 0
}

// A lead-in of D >= L steps wraps around the ring more than once; every step must
// still read a step of the block.
TEST(TrellisBestPath, RingLongerThanTheBlockStaysInside) {
  const std::vector<float> ring = seven_five().row<float>("received_tailbiting");
  std::vector<int> out(4);
  for (std::size_t depth = 0; depth <= 13; ++depth) {
    trellis_best_path_circular(out, ring, kFF75, depth);
    if (depth >= 3) {
      EXPECT_EQ(out, kData) << "D " << depth;
    }
  }
  std::vector<int> one(1);
  trellis_best_path_circular(one, std::vector<float>{-2, 2}, kFF75, 9);
  EXPECT_THROW(trellis_best_path_circular(std::span<int>{}, std::span<const float>{}, kFF75, 3),
               std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// Independent oracle: exhaustive search over every data word of a short block.

struct Oracle {
  std::vector<std::vector<int>> data, code;
};

Oracle enumerate(const Trellis& t, CodeType type, std::size_t L) {
  Oracle o;
  for (std::size_t word = 0; word < (std::size_t{1} << L); ++word) {
    std::vector<int> d(L);
    for (std::size_t k = 0; k < L; ++k) d[k] = (word >> k) & 1;
    o.code.push_back(encode(t, type, d));
    o.data.push_back(std::move(d));
  }
  return o;
}

double path_metric(const std::vector<int>& d, const std::vector<int>& c,
                   const std::vector<float>& u, const std::vector<float>& v) {
  double metric = 0;
  for (std::size_t k = 0; k < d.size(); ++k) metric += d[k] ? u[k] : 0.0;
  for (std::size_t j = 0; j < c.size(); ++j) metric += c[j] ? v[j] : 0.0;
  return metric;
}

double log_sum_exp(const std::vector<double>& x) {
  const double top = *std::max_element(x.begin(), x.end());
  double sum = 0;
  for (const double v : x) sum += std::exp(v - top);
  return top + std::log(sum);
}

// Exact log-MAP decoding is the log-ratio of sums over all codewords; max-log on
// integer inputs is exact in single precision.
TEST(TrellisPosterior, AgreesWithExhaustiveSumsOverAllCodewords) {
  std::mt19937 rng(17);
  std::normal_distribution<float> noise(0.0f, 1.5f);
  const std::vector<std::vector<int>> codes = {{7, 5}, {13, 15}, {3}, {5, 7, 7}, {11, 13}};
  for (const auto& g : codes) {
    const int K = g[0] >= 8 ? 4 : g[0] >= 4 ? 3 : 2;
    for (const bool recursive : {false, true}) {
      const Trellis t = make_trellis(g, K, recursive);
      const CodeType type = recursive ? CodeType::kRecursive : CodeType::kFeedForward;
      const std::size_t L = 6;
      const Oracle o = enumerate(t, type, L);
      std::vector<float> u(L), c(o.code[0].size());
      for (float& x : u) x = noise(rng);
      for (float& x : c) x = noise(rng);
      std::vector<float> out_u(L), out_c(c.size());
      trellis_posterior(u, c, t, MaxStar::kExact, out_u, out_c);
      std::vector<double> metric;
      for (std::size_t w = 0; w < o.data.size(); ++w) {
        metric.push_back(path_metric(o.data[w], o.code[w], u, c));
      }
      const auto ratio = [&](auto bit_of) {
        std::vector<double> one, zero;
        for (std::size_t w = 0; w < metric.size(); ++w)
          (bit_of(w) ? one : zero).push_back(metric[w]);
        return log_sum_exp(one) - log_sum_exp(zero);
      };
      for (std::size_t k = 0; k < L; ++k) {
        EXPECT_NEAR(out_u[k], ratio([&](std::size_t w) { return o.data[w][k]; }), 2e-4)
            << "bit " << k;
      }
      for (std::size_t j = 0; j < c.size(); ++j) {
        if (recursive && j % t.n == 0 && j / t.n >= L) continue;  // tail systematic bits
        EXPECT_NEAR(out_c[j], ratio([&](std::size_t w) { return o.code[w][j]; }), 2e-4)
            << "code bit " << j;
      }
    }
  }
}

TEST(TrellisBestPath, FindsTheHighestCorrelationCodeword) {
  std::mt19937 rng(23);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  const Trellis t = make_trellis(std::vector<int>{13, 15}, 4, true);
  const Oracle o = enumerate(t, CodeType::kRecursive, 8);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<float> c(o.code[0].size());
    for (float& x : c) x = noise(rng);
    std::size_t best = 0;
    std::vector<double> metric;
    for (std::size_t w = 0; w < o.code.size(); ++w) {
      metric.push_back(path_metric(o.data[w], o.code[w], std::vector<float>(8, 0.0f), c));
      if (metric[w] > metric[best]) best = w;
    }
    std::vector<int> out(8);
    trellis_best_path(out, c, t);
    EXPECT_EQ(out, o.data[best]) << "trial " << trial;
  }
}

// ---------------------------------------------------------------------------------
// The kernels reproduce the literal branch-by-branch recursions bit for bit, for every
// operator, code type and many codes, with noisy channel and a-priori values.

TEST(ConvKernels, BitIdenticalToTheLiteralRecursions) {
  std::mt19937 rng(53);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  for (int K = 1; K <= 8; ++K) {
    for (int n = 1; n <= 4; ++n) {
      std::vector<int> g(n);
      for (int& gi : g) gi = std::uniform_int_distribution<int>(0, (1 << K) - 1)(rng);
      for (const bool recursive : {false, true}) {
        const Trellis t = make_trellis(g, K, recursive);
        const std::size_t L = std::uniform_int_distribution<std::size_t>(1, 30)(rng);
        std::vector<float> u(L), c((L + t.m) * n);
        for (float& x : u) x = noise(rng);
        for (float& x : c) x = noise(rng);
        for (int type = 0; type < kMaxStarTypes; ++type) {
          std::vector<float> out_u(L), out_c(c.size()), ref_u, ref_c;
          trellis_posterior(u, c, t, static_cast<MaxStar>(type), out_u, out_c);
          reference::posterior(u, c, t, type, ref_u, ref_c);
          for (std::size_t k = 0; k < L; ++k) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out_u[k]),
                      std::bit_cast<std::uint32_t>(ref_u[k]))
                << "K " << K << " n " << n << " type " << type << " bit " << k;
          }
          for (std::size_t j = 0; j < c.size(); ++j) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out_c[j]),
                      std::bit_cast<std::uint32_t>(ref_c[j]))
                << "K " << K << " n " << n << " type " << type << " code bit " << j;
          }
        }
        std::vector<int> decided(L);
        trellis_best_path(decided, c, t);
        ASSERT_EQ(decided, reference::best_path(c, t)) << "K " << K << " n " << n;
        if (!recursive) {
          const std::vector<float> ring(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(L * n));
          for (const std::size_t D : {std::size_t{0}, std::size_t{3}, 2 * L + 1}) {
            trellis_best_path_circular(decided, ring, t, D);
            ASSERT_EQ(decided, reference::best_path_circular(ring, t, D))
                << "K " << K << " D " << D;
          }
        }
      }
    }
  }
}

// The add-compare-select with the states in SIMD lanes, on every target the CPU runs,
// against the decoder that takes one state at a time: codes of 1 to 512 states (fewer
// states than lanes included), noisy values, ties (all zero) and values beyond the
// metrics' range.
TEST(TrellisBestPath, LanesDecideAsTheScalarDecoderOnEveryTarget) {
  std::mt19937 rng(41);
  std::normal_distribution<float> noise(0.0f, 2.0f);
  for_each_target([&](const std::string& target, bool) {
    for (int K = 1; K <= 10; ++K) {
      for (int n : {1, 2, 3}) {
        std::vector<int> g(static_cast<std::size_t>(n));
        for (int& gi : g) gi = std::uniform_int_distribution<int>(1, (1 << K) - 1)(rng);
        const Trellis t = make_trellis(g, K, K % 2 == 0);
        // One block longer than a run of steps of the lanes (256).
        const std::size_t L =
            K == 7 && n == 2 ? 600 : std::uniform_int_distribution<std::size_t>(1, 40)(rng);
        for (int kind = 0; kind < 3; ++kind) {
          std::vector<float> c((L + static_cast<std::size_t>(t.m)) * static_cast<std::size_t>(n));
          for (float& x : c) x = kind == 1 ? 0.0f : noise(rng);
          if (kind == 2) c[rng() % c.size()] = 3e38f, c[rng() % c.size()] = -1e30f;
          std::vector<int> lanes(L), scalar(L);
          trellis_best_path(lanes, c, t);
          trellis_best_path_scalar(scalar, c, t);
          ASSERT_EQ(lanes, scalar) << target << " K " << K << " n " << n;
          const std::span<const float> ring(c.data(), L * static_cast<std::size_t>(n));
          trellis_best_path_circular(lanes, ring, t, 2 * static_cast<std::size_t>(K));
          trellis_best_path_circular_scalar(scalar, ring, t, 2 * static_cast<std::size_t>(K));
          ASSERT_EQ(lanes, scalar) << target << " ring K " << K << " n " << n;
        }
      }
    }
  });
}

// The forward-backward recursion with the states in SIMD lanes, on every target the CPU
// runs, against the decoder that takes one state at a time, for every operator: codes
// of 1 to 256 states (those below 4 stay scalar), generators with code bits that no
// branch sets (unequal output folds), blocks of 0, 1 and lengths that are no multiple
// of a vector, values near the range of single precision, and with and without
// code-bit outputs.
TEST(TrellisPosterior, LanesGiveTheScalarDecodersBitsOnEveryTarget) {
  std::mt19937 rng(59);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  const auto same_bits = [](const std::vector<float>& a, const std::vector<float>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](float x, float y) {
      return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y);
    });
  };
  for_each_target([&](const std::string& target, bool best) {
    for (int K = 1; K <= 9; ++K) {
      for (int n = 1; n <= 4; ++n) {
        for (const bool recursive : {false, true}) {
          std::vector<int> g(static_cast<std::size_t>(n));
          for (int& gi : g) gi = std::uniform_int_distribution<int>(1, (1 << K) - 1)(rng);
          if (K % 3 == 0) g.back() = 0;  // a code bit that is always 0 (or the data bit)
          const Trellis t = make_trellis(g, K, recursive);
          const std::size_t odd = std::uniform_int_distribution<std::size_t>(2, 37)(rng) | 1;
          for (const std::size_t L : {std::size_t{0}, std::size_t{1}, odd}) {
            const bool huge = L == odd && K % 2 + K % 3 != 2;
            std::vector<float> u(L), c((L + static_cast<std::size_t>(t.m)) * g.size());
            for (float& x : u) x = noise(rng);
            for (float& x : c) x = noise(rng);
            if (huge) {
              // A first code bit far below -1e7 drives every sum of one data bit there.
              c[0] = -2e36f, u[rng() % L] = 1e30f;
              c[rng() % c.size()] = 3e37f, c[rng() % c.size()] = -1e30f;
            }
            for (int type = 0; type < kMaxStarTypes; ++type) {
              std::vector<float> ref_u(L), ref_c(c.size()), out_u(L), out_c(c.size());
              std::vector<float> only_u(L, -1.0f);
              trellis_posterior_scalar(u, c, t, static_cast<MaxStar>(type), ref_u, ref_c);
              trellis_posterior(u, c, t, static_cast<MaxStar>(type), out_u, out_c);
              trellis_posterior(u, c, t, static_cast<MaxStar>(type), only_u, {});
              const auto where = [&] {
                return testing::Message() << target << ", K " << K << ", n " << n
                                          << (recursive ? " recursive" : " feed-forward") << ", L "
                                          << L << (huge ? " huge" : "") << ", type " << type;
              };
              ASSERT_TRUE(same_bits(out_u, ref_u)) << where();
              ASSERT_TRUE(same_bits(out_c, ref_c)) << where();
              ASSERT_TRUE(same_bits(only_u, ref_u)) << where() << ", data bits only";
              if (!best || L != odd) continue;
              std::fill(only_u.begin(), only_u.end(), -1.0f);
              trellis_posterior_scalar(u, c, t, static_cast<MaxStar>(type), only_u, {});
              ASSERT_TRUE(same_bits(only_u, ref_u)) << where() << ", scalar data bits only";
            }
          }
        }
      }
    }
  });
}

// ---------------------------------------------------------------------------------
// Properties over many codes

// Greatest common divisor of two polynomials over GF(2), bit i the coefficient of D^i.
int gf2_gcd(int a, int b) {
  while (b != 0) {
    while (a != 0 &&
           std::bit_width(static_cast<unsigned>(a)) >= std::bit_width(static_cast<unsigned>(b))) {
      a ^= b << (std::bit_width(static_cast<unsigned>(a)) -
                 std::bit_width(static_cast<unsigned>(b)));
    }
    std::swap(a, b);
  }
  return a;
}

// Feed-forward codes whose generators share no factor cannot map two data sequences
// that differ forever onto code sequences that differ only briefly.
bool non_catastrophic(const std::vector<int>& g) {
  int d = 0;
  for (const int gi : g) d = gf2_gcd(d, gi);
  return d == 1;
}

struct RandomCode {
  std::vector<int> g;
  int K;
};

std::vector<RandomCode> random_codes(unsigned seed, int count) {
  std::mt19937 rng(seed);
  std::vector<RandomCode> codes;
  while (static_cast<int>(codes.size()) < count) {
    const int K = std::uniform_int_distribution<int>(1, 9)(rng);
    const int n = std::uniform_int_distribution<int>(1, 4)(rng);
    std::vector<int> g(n);
    for (int& gi : g) gi = std::uniform_int_distribution<int>(0, (1 << K) - 1)(rng);
    if (non_catastrophic(g)) codes.push_back({g, K});
  }
  return codes;
}

TEST(ConvProperties, NoiselessBlocksDecodeToTheirData) {
  std::mt19937 rng(29);
  for (const RandomCode& code : random_codes(31, 60)) {
    for (const CodeType type :
         {CodeType::kRecursive, CodeType::kFeedForward, CodeType::kTailBiting}) {
      const Trellis t = make_trellis(code.g, code.K, type == CodeType::kRecursive);
      const std::size_t L =
          std::uniform_int_distribution<std::size_t>(std::max(code.K - 1, 1), 40)(rng);
      std::vector<int> data(L);
      for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
      const std::vector<int> code_bits = encode(t, type, data);
      const std::vector<float> c = antipodal(code_bits);
      std::vector<int> decided(L);
      if (type == CodeType::kTailBiting) {
        if (L < 2 * static_cast<std::size_t>(code.K)) continue;  // short rings may alias
        trellis_best_path_circular(decided, c, t, 6 * static_cast<std::size_t>(code.K));
        EXPECT_EQ(decided, data) << "tail-biting K " << code.K << " n " << t.n;
        continue;
      }
      trellis_best_path(decided, c, t);
      EXPECT_EQ(decided, data) << "Viterbi K " << code.K << " n " << t.n;
      std::vector<float> out_u(L), out_c(c.size());
      trellis_posterior(std::vector<float>(L, 0.0f), c, t, MaxStar::kMaxLog, out_u, out_c);
      for (std::size_t k = 0; k < L; ++k) {
        EXPECT_EQ(out_u[k] > 0, data[k] == 1) << "max-log K " << code.K << " bit " << k;
      }
    }
  }
}

TEST(ConvProperties, TailBitingEncoderEndsWhereItStarted) {
  std::mt19937 rng(37);
  for (const RandomCode& code : random_codes(41, 30)) {
    const Trellis t = make_trellis(code.g, code.K, false);
    const std::size_t L = std::uniform_int_distribution<std::size_t>(code.K - 1, 30)(rng);
    std::vector<int> data(L);
    for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
    // Re-encode the block twice in a row: the second copy must see the same start
    // state, so the two halves of the output agree.
    std::vector<int> twice = data;
    twice.insert(twice.end(), data.begin(), data.end());
    const std::vector<int> once = encode(t, CodeType::kTailBiting, data);
    const std::vector<int> doubled = encode(t, CodeType::kTailBiting, twice);
    EXPECT_TRUE(std::equal(once.begin(), once.end(), doubled.begin()));
    EXPECT_TRUE(std::equal(once.begin(), once.end(), doubled.begin() + once.size()));
  }
}

TEST(ConvProperties, AllOperatorsAgreeInSignAtHighSnr) {
  std::mt19937 rng(43);
  std::normal_distribution<float> noise(0.0f, 0.5f);
  const Trellis t = make_trellis(std::vector<int>{11, 13}, 4, true);
  const std::size_t L = 200;
  std::vector<int> data(L);
  for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
  std::vector<float> c = antipodal(encode(t, CodeType::kRecursive, data), 4.0f);
  for (float& x : c) x += noise(rng);
  for (int type = 0; type < kMaxStarTypes; ++type) {
    std::vector<float> out_u(L), out_c(c.size());
    trellis_posterior(std::vector<float>(L, 0.0f), c, t, static_cast<MaxStar>(type), out_u, out_c);
    for (std::size_t k = 0; k < L; ++k) {
      ASSERT_EQ(out_u[k] > 0, data[k] == 1) << "operator " << type << " bit " << k;
    }
  }
}

// Path metrics are renormalised every step, so a very long block neither saturates
// nor loses the decisions.
TEST(ConvProperties, LongBlocksStayStable) {
  std::mt19937 rng(47);
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  const std::size_t L = 100000;
  std::vector<int> data(L);
  for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
  const std::vector<float> c = antipodal(encode(t, CodeType::kFeedForward, data), 50.0f);
  std::vector<int> decided(L);
  trellis_best_path(decided, c, t);
  EXPECT_EQ(decided, data);
  std::vector<float> out_u(L), out_c(c.size());
  trellis_posterior(std::vector<float>(L, 0.0f), c, t, MaxStar::kExact, out_u, out_c);
  for (std::size_t k = 0; k < L; k += 997) EXPECT_EQ(out_u[k] > 0, data[k] == 1);
  EXPECT_TRUE(std::isfinite(out_u[L - 1]));
}

// A caller's interrupt stops the decoders within their first poll period: a poll that
// always asks to stop must end every long run.
TEST(Interrupt, StopsTheDecoders) {
  const Interrupt stop([](void*) noexcept { return true; });
  const std::size_t L = 300000;
  const std::vector<float> u(L), c((L + 2) * 2);
  std::vector<float> out_u(L), out_c(c.size());
  std::vector<int> decided(L);
  EXPECT_THROW(trellis_posterior(u, c, kRSC75, MaxStar::kMaxLog, out_u, out_c, stop), Interrupted);
  EXPECT_THROW(trellis_best_path(decided, c, kFF75, stop), Interrupted);
  EXPECT_THROW(trellis_best_path_circular(decided, std::span(c).first(2 * L), kFF75, 6, stop),
               Interrupted);
  trellis_best_path(decided, c, kFF75, Interrupt([](void*) noexcept { return false; }));
}

// The working-memory estimates bound what the tables and decoders allocate, and by
// little more: a call refused for memory must really have needed it.
TEST(MemoryEstimates, BoundTheAllocations) {
  using heap_count::peak_allocation;
  const auto within = [](std::size_t peak, std::uint64_t estimate) {
    return peak <= estimate && estimate <= peak + peak / 4 + 1024;
  };
  for (const auto& [K, n, L] : {std::array<int, 3>{1, 1, 10}, {3, 2, 500}, {7, 2, 2000},
                                {9, 4, 300}, {5, 3, 0}}) {
    Trellis t;
    const std::vector<int> g(static_cast<std::size_t>(n), (1 << K) - 1);
    const std::size_t table_peak = peak_allocation([&] { t = make_trellis(g, K, false); });
    EXPECT_TRUE(within(table_peak, trellis_table_bytes(K)))
        << "K " << K << ": " << table_peak << " bytes, estimate " << trellis_table_bytes(K);
    const std::size_t steps = static_cast<std::size_t>(L + K - 1);
    const std::vector<float> u(static_cast<std::size_t>(L)), c(steps * n);
    std::vector<float> out_u(u.size()), out_c(c.size());
    std::vector<int> decided(u.size());
    EXPECT_TRUE(
        within(peak_allocation([&] { trellis_posterior(u, c, t, MaxStar::kExact, out_u, out_c); }),
               trellis_posterior_bytes(K, n, u.size())))
        << "K " << K << ", n " << n;
    EXPECT_TRUE(within(peak_allocation([&] { trellis_best_path(decided, c, t); }),
                       trellis_best_path_bytes(K, n, steps)));
    if (L > 0) {
      EXPECT_TRUE(within(peak_allocation([&] {
                           trellis_best_path_circular(decided, std::span(c).first(L * n), t, 40);
                         }),
                         trellis_best_path_bytes(K, n, u.size() + 40)));
    }
  }
}

// A host's whole call, the tables and the values it stages in the kernel's types
// included, fits the call's CallMemory.
TEST(MemoryEstimates, CallMemoryBoundsAHostsWholeCall) {
  using heap_count::peak_allocation;
  for (const auto& [K, n, L] : {std::array<int, 3>{3, 2, 500}, {7, 2, 2000}, {9, 4, 300}}) {
    const std::vector<int> g(static_cast<std::size_t>(n), (1 << K) - 1);
    const auto uL = static_cast<std::size_t>(L);
    for (const CodeType type : {CodeType::kFeedForward, CodeType::kTailBiting}) {
      const std::size_t N = trellis_coder_length(uL, K, n, type);
      EXPECT_LE(peak_allocation([&] {
                  const Trellis t = make_trellis(g, K, false);
                  const EncoderTail tail = encoder_tail(t, type);
                  std::vector<int> data(uL, 1), code(N);
                  trellis_encode(code, data, t, tail);
                }),
                trellis_coder_memory(uL, K, n, type, 1).working)
          << "K " << K << ", n " << n;
      ViterbiParams params;
      params.block_end =
          type == CodeType::kTailBiting ? BlockEnd::kTailBiting : BlockEnd::kTerminated;
      params.depth_steps = 6 * static_cast<std::size_t>(K);
      EXPECT_LE(peak_allocation([&] {
                  const Trellis t = make_trellis(g, K, false);
                  std::vector<float> in(N, 0.5f);
                  std::vector<int> decided(uL);
                  if (params.block_end == BlockEnd::kTailBiting) {
                    trellis_best_path_circular(decided, in, t, params.depth_steps);
                  } else {
                    trellis_best_path(decided, in, t);
                  }
                }),
                trellis_best_path_memory(K, n, uL, params, 1).working)
          << "K " << K << ", n " << n;
    }
    const std::size_t coded = trellis_coder_length(uL, K, n, CodeType::kFeedForward);
    EXPECT_LE(peak_allocation([&] {
                const Trellis t = make_trellis(g, K, false);
                std::vector<float> u(uL), c(coded, 0.5f), out_u(uL), out_c(coded);
                trellis_posterior(u, c, t, MaxStar::kExact, out_u, out_c);
              }),
              trellis_posterior_memory(K, n, uL, true, 1).working)
        << "K " << K << ", n " << n;
  }
}

}  // namespace
}  // namespace linkforge
