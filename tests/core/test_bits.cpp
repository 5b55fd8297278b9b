#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "linkforge/bits.hpp"

namespace linkforge {
namespace {

TEST(Itob, WritesMostSignificantFirst) {
  std::vector<int> bits(3, -1);
  itob(bits, 6);
  EXPECT_EQ(bits, (std::vector<int>{1, 1, 0}));
}

TEST(Itob, EmptySpanWritesNothingAndWideSpansRepeatTheSign) {
  itob({}, 123);
  std::vector<int> bits(34, 7);
  itob(bits, -2);  // ...1110 in two's complement
  EXPECT_EQ(bits[33], 0);
  for (int i = 0; i < 33; ++i) EXPECT_EQ(bits[i], 1) << i;
}

struct ParityCase {
  int value, length, parity;
};

void PrintTo(const ParityCase& c, std::ostream* os) {
  *os << "parity_counter(" << c.value << ", " << c.length << ")";
}

class ParityCounter : public testing::TestWithParam<ParityCase> {};

TEST_P(ParityCounter, MatchesBitByBitXor) {
  const ParityCase c = GetParam();
  EXPECT_EQ(parity_counter(c.value, c.length), c.parity);
  int reference = 0;
  int v = c.value;
  for (int k = 0; k < c.length; ++k, v >>= 1) reference ^= v & 1;
  EXPECT_EQ(parity_counter(c.value, c.length), reference);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParityCounter,
                         testing::Values(ParityCase{7, 3, 1}, ParityCase{5, 3, 0},
                                         ParityCase{7, 2, 0}, ParityCase{0xFF, 0, 0},
                                         ParityCase{0xFF, -3, 0}, ParityCase{-1, 31, 1},
                                         ParityCase{-1, 32, 0}, ParityCase{-1, 33, 1},
                                         ParityCase{-1, 40, 0}, ParityCase{0x40000001, 31, 0}));

}  // namespace
}  // namespace linkforge
