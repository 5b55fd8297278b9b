#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "golden.hpp"
#include "ldpc/ldpc_codes.hpp"
#include "linkforge/ldpc.hpp"

namespace linkforge::ldpc {
namespace {

using testing::TestCode;

std::vector<double> run(const std::vector<double>& data, const std::vector<double>& h_rows,
                        std::size_t m, const std::vector<double>& p = {}, std::size_t z = 0) {
  std::vector<double> codeword(data.size() + m);
  const std::size_t r = m == 0 ? 0 : h_rows.size() / m;
  encode(data, {h_rows, m, r}, {p, z, z}, codeword);
  return codeword;
}

TEST(Encode, WorkedStaircaseExample) {
  const golden::Set w("ldpc_staircase");
  std::vector<double> h;  // column-major
  for (std::size_t c = 0; c < 2; ++c)
    for (std::size_t r = 0; r < w.cases("h_rows"); ++r) h.push_back(w.row("h_rows", r).at(c));
  for (std::size_t i = 0; i < w.cases("data"); ++i)
    EXPECT_EQ(run(w.row("data", i), h, 2), w.row("codeword", i)) << "case " << i;
}

TEST(Encode, ListedParityPositionsReadTheBitsComputedSoFar) {
  // Row 1 also lists p0 (position 3) and row 0 lists p1 (position 4, not yet computed).
  const std::vector<double> h = {1, 3, 4, 0};
  // p0 = d0 ^ (p1 = 0) = 1; p1 = (p0 = 1) ^ p0 = 0.
  EXPECT_EQ(run({1, 0}, h, 2), (std::vector<double>{1, 0, 1, 0}));
  // Fractional positions truncate: 1.9 names position 1, 3.5 position 3.
  EXPECT_EQ(run({1, 0}, {1.9, 3.5, 4.2, 0}, 2), (std::vector<double>{1, 0, 1, 0}));
}

TEST(Encode, ZeroDataGivesTheZeroCodewordInBothLayouts) {
  for (const int z : {0, 4}) {
    const TestCode code = testing::random_code(16, 12, z, 3, 4);
    const std::vector<double> word = testing::codeword_of(code, std::vector<double>(16, 0.0));
    EXPECT_EQ(word, std::vector<double>(28, 0.0)) << "z = " << z;
  }
}

// Every codeword satisfies every check of H, built in full with its parity part.
TEST(Encode, CodewordsSatisfyEveryCheckOfRandomCodes) {
  struct Size {
    int k, m, z, weight;
  };
  const Size sizes[] = {{1, 1, 0, 1},     {8, 4, 0, 2},    {40, 40, 0, 3},
                        {200, 100, 0, 4}, {6, 4, 2, 2},    {8, 12, 4, 3},
                        {40, 40, 8, 3},   {96, 48, 16, 3}, {30, 20, 10, 5}};
  unsigned seed = 1;
  for (const Size& s : sizes) {
    for (int trial = 0; trial < 5; ++trial, ++seed) {
      const TestCode code = testing::random_code(s.k, s.m, s.z, s.weight, seed);
      const std::vector<double> data = testing::random_bits(static_cast<std::size_t>(s.k), seed);
      const std::vector<double> word = testing::codeword_of(code, data);
      ASSERT_TRUE(testing::satisfies_every_check(code, word))
          << "k " << s.k << " m " << s.m << " z " << s.z << " seed " << seed;
      ASSERT_EQ(std::vector<double>(word.begin(), word.begin() + s.k), data);
    }
  }
}

TEST(Encode, MatchesAnExhaustiveSearchOfTheCodeOnSmallCodes) {
  // With the parity part in staircase form each data word has exactly one codeword.
  for (const int z : {0, 2}) {
    const TestCode code = testing::random_code(6, 4, z, 2, 40 + z);
    for (int word = 0; word < 64; ++word) {
      std::vector<double> data(6);
      for (int b = 0; b < 6; ++b) data[b] = (word >> b) & 1;
      const std::vector<double> codeword = testing::codeword_of(code, data);
      int solutions = 0;
      for (int parity = 0; parity < 16; ++parity) {
        std::vector<double> candidate = data;
        for (int b = 0; b < 4; ++b) candidate.push_back((parity >> b) & 1);
        if (testing::satisfies_every_check(code, candidate)) {
          ++solutions;
          EXPECT_EQ(candidate, codeword);
        }
      }
      EXPECT_EQ(solutions, 1);
    }
  }
}

// Messages are checked verbatim through the host; here every refusal leaves the codeword
// untouched.
TEST(Encode, RefusesBadInputBeforeWritingAnything) {
  struct Bad {
    std::vector<double> data, h;
    std::size_t m;
    std::vector<double> p;
    std::size_t z;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // clang-format off
  const Bad cases[] = {
      {{1, 2}, {1, 2}, 1, {}, 0},                        // data 2
      {{0.5, 1}, {1, 2}, 1, {}, 0},                      // fractional data
      {{1, 0}, {0.5, 2}, 1, {}, 0},                      // position 0.5 truncates to 0
      {{1, 0}, {1, 4}, 1, {}, 0},                        // position beyond k + m
      {{1, 0}, {nan, 2}, 1, {}, 0},                      // NaN position
      {{1, 0, 1}, {1, 2, 3, 0}, 2, {1, 0, 0, 1}, 2},     // z does not divide k
      {{1, 0}, {1, 2, 1}, 3, {1, 0, 0, 1}, 2},           // z does not divide m
      {{1, 0}, {}, 0, {1, 0, 0, 1}, 2},                  // no parity bits for P
      {{1, 0}, {1, 2, 1, 2}, 2, {2, 0, 0, 1}, 2},        // P entry 2
  };
  // clang-format on
  for (const Bad& c : cases) {
    std::vector<double> codeword(c.data.size() + c.m, -7.0);
    const std::size_t r = c.m == 0 ? 0 : c.h.size() / c.m;
    EXPECT_THROW(encode(c.data, {c.h, c.m, r}, {c.p, c.z, c.z}, codeword), std::invalid_argument);
    EXPECT_EQ(codeword, std::vector<double>(codeword.size(), -7.0));
  }
}

TEST(Encode, RefusesANonSquarePAndWrongSizes) {
  std::vector<double> codeword(3);
  const std::vector<double> h = {1, 2};
  const std::vector<double> p = {1, 0};
  EXPECT_THROW(encode(std::vector<double>{1, 0}, {h, 1, 2}, {p, 1, 2}, codeword),
               std::invalid_argument);
  std::vector<double> short_codeword(2);
  EXPECT_THROW(encode(std::vector<double>{1, 0}, {h, 1, 2}, {}, short_codeword),
               std::invalid_argument);
}

TEST(Encode, PEntriesAreTruncated) {
  const TestCode code = testing::random_code(8, 8, 4, 3, 77);
  const std::vector<double> data = testing::random_bits(8, 78);
  TestCode fuzzy = code;
  for (double& v : fuzzy.p) v = v == 1 ? 1.7 : -0.4;
  EXPECT_EQ(testing::codeword_of(fuzzy, data), testing::codeword_of(code, data));
}

}  // namespace
}  // namespace linkforge::ldpc
