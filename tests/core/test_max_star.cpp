#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <span>
#include <vector>

#include "hwy/targets.h"
#include "linkforge/max_star.hpp"
#include "hwy_targets.hpp"

namespace linkforge {
namespace {

struct Worked {
  int type;
  float a, b, expected;
};

void PrintTo(const Worked& w, std::ostream* os) {
  *os << "max_star" << w.type << "(" << w.a << ", " << w.b << ")";
}

class MaxStarWorked : public testing::TestWithParam<Worked> {};

// Values in single precision, worked by hand from each operator's definition.
TEST_P(MaxStarWorked, MatchesHandValue) {
  const Worked w = GetParam();
  EXPECT_FLOAT_EQ(max_star_table[w.type](w.a, w.b), w.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MaxStarWorked,
                         testing::Values(Worked{0, 0, 0, 0.6243019f}, Worked{0, 0, 1, 1.3752602f},
                                         Worked{0, 0, 3, 3}, Worked{1, 0, 1, 1}, Worked{1, 2, 2, 2},
                                         Worked{2, 0, 1, 1.5f}, Worked{2, 0, 1.5f, 2},
                                         Worked{2, 0, 2, 2}, Worked{3, 0, 0, 0.6895472f},
                                         Worked{3, 0, 1, 1.3144162f}, Worked{3, 0, 6, 6},
                                         Worked{4, 0, 0, 0.6931472f}, Worked{4, 0, 1, 1.3132616f}));

TEST(MaxStar, TableHoldsTheOperatorsInTypeOrder) {
  // Points where the five operators all differ.
  EXPECT_EQ(max_star_table[0](0, 1), max_star0(0, 1));
  EXPECT_EQ(max_star_table[1](0, 1), max_star1(0, 1));
  EXPECT_EQ(max_star_table[2](0, 1), max_star2(0, 1));
  EXPECT_EQ(max_star_table[3](0, 1), max_star3(0, 1));
  EXPECT_EQ(max_star_table[4](0, 1), max_star4(0, 1));
  for (int t = 0; t < kMaxStarTypes; ++t) {
    EXPECT_EQ(with_max_star(t, [](auto op) { return decltype(op)::apply(0.25f, -1.5f); }),
              max_star_table[t](0.25f, -1.5f));
  }
  EXPECT_THROW(with_max_star(5, [](auto) { return 0; }), std::invalid_argument);
  EXPECT_THROW(with_max_star(-1, [](auto) { return 0; }), std::invalid_argument);
}

TEST(MaxStar, SymmetricAndMinusInfinityIsNeutral) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-20.0f, 20.0f);
  for (int i = 0; i < 2000; ++i) {
    const float a = value(rng);
    const float b = value(rng);
    for (int t = 0; t < kMaxStarTypes; ++t) {
      EXPECT_NEAR(max_star_table[t](a, b), max_star_table[t](b, a), 1e-5f) << t;
      EXPECT_EQ(max_star_table[t](a, -10000000.0f), a) << t;
      EXPECT_EQ(max_star_table[t](-10000000.0f, b), b) << t;
    }
  }
}

// Every approximation stays within its design error of the exact Jacobian logarithm.
TEST(MaxStar, ApproximationsStayCloseToTheExactValue) {
  const float bound[kMaxStarTypes] = {0.08f, 0.694f, 0.32f, 0.02f, 1e-6f};
  for (float d = -8.0f; d <= 8.0f; d += 0.01f) {
    const double exact = std::max(0.0, double{d}) + std::log1p(std::exp(-std::fabs(double{d})));
    for (int t = 0; t < kMaxStarTypes; ++t) {
      EXPECT_NEAR(max_star_table[t](0.0f, d), exact, bound[t]) << "type " << t << " d " << d;
    }
  }
}

// The case-by-case definitions of the approximations, as oracles of the branch-free
// forms.
float max_star0_literal(float a, float b) {
  constexpr double T = 2.50681740420944, S = 0.24904163195436;
  const float d = b - a;
  if (d > T) return b;
  if (d < -T) return a;
  if (d > 0) return static_cast<float>(b + S * (T - d));
  return static_cast<float>(a + S * (T + d));
}

float max_star2_literal(float a, float b) {
  const float d = b - a;
  if (d > 1.5) return b;
  if (d < -1.5) return a;
  if (d > 0) return static_cast<float>(b + 0.5);
  return static_cast<float>(a + 0.5);
}

float max_star3_literal(float a, float b) {
  static const double rows[8][4] = {{0.42, 0.00, 0.68954718055995, -0.44788139700522},
                                    {0.85, 0.42, 0.50153699381775, -0.34691145436176},
                                    {1.31, 0.85, 0.35256506844219, -0.25432579542705},
                                    {1.83, 1.31, 0.23567520254575, -0.17326680196715},
                                    {2.41, 1.83, 0.14607646552283, -0.10822110027877},
                                    {3.13, 2.41, 0.08360822736113, -0.06002650498009},
                                    {4.08, 3.13, 0.04088914377547, -0.02739265095522},
                                    {5.60, 4.08, 0.01516612536801, -0.0086020275928}};
  const float x = std::fabs(b - a);
  const float m = a > b ? a : b;
  if (x > 5.6) return m;
  for (const auto& r : rows) {
    if (x <= r[0]) return static_cast<float>(m + r[2] + r[3] * (x - r[1]));
  }
  return m;
}

TEST(MaxStar, BranchFreeApproximationsAreBitIdentical) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-8.0f, 8.0f);
  std::vector<float> special = {0.0f,
                                -0.0f,
                                1.5f,
                                -1.5f,
                                0.42f,
                                5.6f,
                                2.50681740420944f,
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::nanf("")};
  // Pairs whose difference sits exactly on every threshold, in both orders.
  for (const double edge : {0.42, 0.85, 1.31, 1.83, 2.41, 3.13, 4.08, 5.6, 1.5, 2.50681740420944}) {
    special.push_back(static_cast<float>(edge));
    special.push_back(std::nextafter(static_cast<float>(edge), 10.0f));
  }
  const auto same = [](float x, float y) {
    return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y) ||
           (std::isnan(x) && std::isnan(y));
  };
  const auto check = [&](float a, float b) {
    ASSERT_TRUE(same(max_star0(a, b), max_star0_literal(a, b))) << a << " " << b;
    ASSERT_TRUE(same(max_star2(a, b), max_star2_literal(a, b))) << a << " " << b;
    ASSERT_TRUE(same(max_star3(a, b), max_star3_literal(a, b))) << a << " " << b;
  };
  for (const float a : special) {
    for (const float b : special) check(a, b);
    check(a, 0.0f);
    check(0.0f, a);
  }
  for (int i = 0; i < 1000000; ++i) check(value(rng), value(rng));
}

// The literal exact operator: the exponential and logarithm are always evaluated.
float max_star4_literal(float a, float b) {
  if (a > b) return static_cast<float>(a + std::log(std::exp(static_cast<double>(b - a)) + 1.0));
  return static_cast<float>(b + std::log(std::exp(static_cast<double>(a - b)) + 1.0));
}

// max_star4 skips the correction only where it cannot change the rounded result; check
// that bit for bit on pairs concentrated around every skipping threshold, over the
// whole range of magnitudes.
TEST(MaxStar, ExactOperatorShortcutIsBitIdentical) {
  std::mt19937 rng(19);
  std::uniform_int_distribution<int> exponent(-40, 40);
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
  std::bernoulli_distribution negative(0.5);
  for (int i = 0; i < 2000000; ++i) {
    const int e = exponent(rng);
    float a = std::ldexp(mantissa(rng), e);
    if (negative(rng)) a = -a;
    // Differences near (e - 27) ln 2, near -37.5, near 0, and spread in between.
    float d;
    switch (i % 4) {
      case 0:
        d = (e - 27) * 0.6931472f + jitter(rng);
        break;
      case 1:
        d = -37.5f + jitter(rng);
        break;
      case 2:
        d = jitter(rng) * 1e-3f;
        break;
      default:
        d = -40.0f * mantissa(rng) + 40.0f;
        break;
    }
    if (d > 0) d = -d;
    const float b = a + d;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(max_star4(a, b)),
              std::bit_cast<std::uint32_t>(max_star4_literal(a, b)))
        << "a " << a << " b " << b;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(max_star4(b, a)),
              std::bit_cast<std::uint32_t>(max_star4_literal(b, a)))
        << "a " << b << " b " << a;
  }
  for (const float special : {0.0f, -0.0f, 1e-40f, -1e-40f, 1e30f, -10000000.0f}) {
    for (const float other : {0.0f, -1.0f, -40.0f, 1e-38f, -1e30f}) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(max_star4(special, other)),
                std::bit_cast<std::uint32_t>(max_star4_literal(special, other)));
    }
  }
}

TEST(MaxStar, NanFallsThroughWithoutTrapping) {
  const float nan = std::nanf("");
  EXPECT_EQ(max_star1(nan, 2.0f), 2.0f);  // the comparison fails, so b is returned
  EXPECT_TRUE(std::isnan(max_star1(2.0f, nan)));
  for (int t = 0; t < kMaxStarTypes; ++t) (void)max_star_table[t](nan, nan);
}

}  // namespace
}  // namespace linkforge

namespace linkforge {
namespace {

void expect_lanes_equal(MaxStar op, const std::vector<float>& a, const std::vector<float>& b,
                        const char* target) {
  std::vector<float> out(a.size());
  max_star_lanes(op, a, b, out);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const float want = max_star_table[static_cast<std::size_t>(op)](a[i], b[i]);
    if (std::isnan(want)) {
      ASSERT_TRUE(std::isnan(out[i])) << target << ", operator " << static_cast<int>(op) << ", a " << a[i] << ", b " << b[i] << " gives " << out[i];
    } else {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(out[i]), std::bit_cast<std::uint32_t>(want))
          << target << ", operator " << static_cast<int>(op) << ", a " << a[i] << ", b " << b[i];
    }
  }
}

}  // namespace

// The lanes of every operator equal the scalar operator on every target, over random
// pairs of all magnitudes (the last lanes of a vector left over), specials included.
TEST(MaxStarLanes, EqualTheScalarOperatorsOnEveryTarget) {
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f), spread(-40.0f, 0.0f);
  std::vector<float> a, b;
  for (int i = 0; i < (1 << 20) + 5; ++i) {
    float x = std::ldexp(mantissa(rng), exponent(rng));
    if (rng() & 1) x = -x;
    a.push_back(x);
    b.push_back(i % 3 == 0 ? std::ldexp(mantissa(rng), exponent(rng)) : x + spread(rng));
  }
  const float inf = std::numeric_limits<float>::infinity();
  for (const float s : {0.0f, -0.0f, 1e-40f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                        -1e7f, 3e38f}) {
    for (const float t : {0.0f, -1.0f, -inf, 1e-38f, -3e38f}) {
      a.push_back(s);
      b.push_back(t);
    }
  }
  for_each_target([&](const std::string& target, bool) {
    for (int op = 0; op < kMaxStarTypes; ++op) {
      expect_lanes_equal(static_cast<MaxStar>(op), a, b, target.c_str());
    }
  });
}

// The exact operator's lanes keep to the library's exp and log even where the result
// sits on a rounding boundary. With a = 0 the result is ln(e^b + 1) in (0, ln 2]; b
// runs through every float from -40 to -2^-8 (about 1.2e8 pairs), so the results step
// through every float of their range, each boundary between two floats with the pairs
// on either side of it, and the one-in-2^23 lanes that need the scalar calls come up
// hundreds of times.
TEST(MaxStarLanes, ExactOperatorHoldsAtEveryRoundingBoundary) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  const std::vector<float> zero(kChunk, 0.0f);
  std::vector<float> b(kChunk), out(kChunk);
  std::uint32_t bits = std::bit_cast<std::uint32_t>(-0x1p-8f);
  const std::uint32_t last = std::bit_cast<std::uint32_t>(-40.0f);
  std::uint64_t pairs = 0;
  while (bits <= last) {
    std::size_t count = 0;
    for (; count < kChunk && bits <= last; ++count) b[count] = std::bit_cast<float>(bits++);
    const std::span<const float> a_span(zero.data(), count), b_span(b.data(), count);
    max_star_lanes(MaxStar::kExact, a_span, b_span, std::span<float>(out.data(), count));
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(std::bit_cast<std::uint32_t>(out[i]),
                std::bit_cast<std::uint32_t>(max_star4(0.0f, b[i])))
          << "b " << b[i];
    }
    pairs += count;
  }
  EXPECT_GT(pairs, 100000000u);
}

}  // namespace linkforge
