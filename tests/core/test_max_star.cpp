#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <random>

#include "linkforge/max_star.hpp"

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

TEST(MaxStar, NanFallsThroughWithoutTrapping) {
  const float nan = std::nanf("");
  EXPECT_EQ(max_star1(nan, 2.0f), 2.0f);  // the comparison fails, so b is returned
  EXPECT_TRUE(std::isnan(max_star1(2.0f, nan)));
  for (int t = 0; t < kMaxStarTypes; ++t) (void)max_star_table[t](nan, nan);
}

}  // namespace
}  // namespace linkforge
