#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "linkforge/duobinary.hpp"
#include "linkforge/max_star.hpp"
#include "golden.hpp"
#include "hwy_targets.hpp"
#include "peak_allocation.hpp"

namespace linkforge {
namespace {

// DVB-RCS parity generators: z0 = f ^ s1 ^ s0 (1011), z1 = f ^ s0 (1001).
const std::vector<double> kPoly = {1, 1, 0, 0, 1, 0, 1, 1};  // column-major 2 x 4
const std::array<int, 2> kG = duobinary_generators(kPoly);
const DuobinaryTrellis kCode(kG);

std::vector<double> random_pairs(std::size_t N, std::mt19937& rng) {
  std::vector<double> x(2 * N);
  for (double& v : x) v = std::uniform_int_distribution<int>(0, 1)(rng);
  return x;
}

std::vector<double> encode(const std::vector<double>& x, int start) {
  std::vector<double> outz(x.size());
  duobinary_encode(x, outz, kCode, start);
  return outz;
}

// ---------------------------------------------------------------------------------
// Bit reading and generators

TEST(DuobinaryBits, LowBitOfTheTruncatedValue) {
  const std::vector<std::pair<double, int>> cases = {{0, 0},
                                                     {1, 1},
                                                     {2, 0},
                                                     {3, 1},
                                                     {-1, 1},
                                                     {-2, 0},
                                                     {2.9, 0},
                                                     {-0.7, 0},
                                                     {1.5, 1},
                                                     {-3.5, 1},
                                                     {2147483649.0, 1},
                                                     {-2147483649.0, 1},
                                                     {9007199254740991.0, 1},
                                                     {1e300, 0},
                                                     {-1e300, 0},
                                                     {std::nan(""), 0},
                                                     {std::numeric_limits<double>::infinity(), 0}};
  for (const auto& [value, bit] : cases) EXPECT_EQ(low_bit(value), bit) << value;
}

TEST(DuobinaryBits, GeneratorsKeepOnlyTheLowestBitOfEachEntry) {
  EXPECT_EQ(kG, (std::array<int, 2>{11, 9}));
  // Rows [3 2 1 -1] and [2 0 -0.5 2.9]: 3, 1 and -1 are taps, 2, -0.5 and 2.9 are not.
  const std::vector<double> odd = {3, 2, 2, 0, 1, -0.5, -1, 2.9};
  EXPECT_EQ(duobinary_generators(odd), (std::array<int, 2>{11, 0}));
  EXPECT_THROW(duobinary_generators(std::vector<double>(6, 1.0)), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// Encoder and circulation state

TEST(DuobinaryEncode, WorkedBlocks) {
  const golden::Set g("duobinary_blocks");
  for (std::size_t i = 0; i < g.cases("pairs"); ++i) {
    const std::vector<double> x = g.row("pairs", i);
    const int sc = find_circular_state(x);
    EXPECT_EQ(sc, g.scalar("state", i)) << x.size() / 2 << " pairs";
    EXPECT_EQ(encode(x, sc), g.row("parity", i)) << x.size() / 2 << " pairs";
  }
}

// Every block whose length is not a multiple of 7 ends in its circulation state; the
// random blocks also reach every cell of the circulation-state table.
TEST(DuobinaryEncode, RandomBlocksAreCircular) {
  std::mt19937 rng(20240611);
  const DuobinaryTrellis& t = kCode;
  std::set<std::pair<int, int>> cells;
  for (std::size_t N = 1; N <= 1000; ++N) {
    if (N % 7 == 0) continue;
    for (int rep = 0; rep < 3; ++rep) {
      const std::vector<double> x = random_pairs(N, rng);
      const int sc = find_circular_state(x);
      ASSERT_GE(sc, 0);
      ASSERT_LT(sc, 8);
      const std::vector<double> outz = encode(x, sc);
      int s = sc;
      int s_from_zero = 0;
      for (std::size_t k = 0; k < N; ++k) {
        const int i = 4 * s + 2 * static_cast<int>(x[2 * k]) + static_cast<int>(x[2 * k + 1]);
        // The encoder's parity bits are the trellis table's parity symbol.
        ASSERT_EQ(2 * outz[2 * k] + outz[2 * k + 1], t.word()[i]) << "N " << N << " step " << k;
        s = t.next()[i];
        s_from_zero = t.next()[4 * s_from_zero + (i & 3)];
      }
      ASSERT_EQ(s, sc) << "N " << N;
      cells.insert({static_cast<int>(N % 7), s_from_zero});
    }
  }
  EXPECT_EQ(cells.size(), 48u);
}

TEST(DuobinaryEncode, RefusesBlocksWithoutCirculationStateAndWrongSizes) {
  for (std::size_t N : {0, 7, 14, 700}) {
    EXPECT_FALSE(has_circulation_state(N));
    EXPECT_THROW(find_circular_state(std::vector<double>(2 * N, 1.0)), std::invalid_argument);
  }
  EXPECT_THROW(find_circular_state(std::vector<double>(3, 1.0)), std::invalid_argument);
  std::vector<double> outz(4);
  const std::vector<double> x = {1, 0, 0, 1};
  EXPECT_THROW(duobinary_encode(std::vector<double>(3, 1.0), outz, kCode, 0),
               std::invalid_argument);
  EXPECT_THROW(duobinary_encode(x, std::span<double>(outz).first(3), kCode, 0),
               std::invalid_argument);
  EXPECT_THROW(duobinary_encode(x, outz, kCode, 8), std::invalid_argument);
  EXPECT_THROW(duobinary_encode(x, outz, kCode, -1), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// Trellis tables

TEST(DuobinaryTrellis, WorkedTables) {
  const DuobinaryTrellis& t = kCode;
  EXPECT_EQ(t.generators(), kG);
  EXPECT_EQ(t.next(), (std::array<int, 32>{0, 7, 4, 3, 4, 3, 0, 7, 1, 6, 5, 2, 5, 2, 1, 6,
                                         6, 1, 2, 5, 2, 5, 6, 1, 7, 0, 3, 4, 3, 4, 7, 0}));
  EXPECT_EQ(t.word(), (std::array<int, 32>{0, 3, 3, 0, 0, 3, 3, 0, 2, 1, 1, 2, 2, 1, 1, 2,
                                         3, 0, 0, 3, 3, 0, 0, 3, 1, 2, 2, 1, 1, 2, 2, 1}));
  // Generators are 4-bit values: the tables then hold only states 0..7 and symbols 0..3.
  for (const std::array<int, 2> bad : {std::array{16, 9}, std::array{11, -1}}) {
    EXPECT_THROW(DuobinaryTrellis{bad}, std::invalid_argument) << bad[0] << " " << bad[1];
  }
}

// ---------------------------------------------------------------------------------
// Decoder

// The decoder exactly as documented: one loop over the 32 transitions per step for
// each accumulator, metrics in eight arrays of N + 1, the operator through the table of
// five functions. The kernel regroups the loops; results must agree bit for bit.
struct Reference {
  std::vector<float> outx, outz, soft;
};

Reference reference_siso(const std::vector<float>& inx, const std::vector<float>& inz,
                         const DuobinaryTrellis& t, int dec_type) {
  const MaxStarFn op = max_star_table[dec_type];
  const std::size_t N = inx.size() / 3;
  const float kMinus = -10000000.0f;
  const auto gamma = [&](std::size_t k, int i) {
    const float X = i % 4 > 0 ? inx[3 * k + i % 4 - 1] : 0.0f;
    const float Z = t.word()[i] > 0 ? inz[3 * k + t.word()[i] - 1] : 0.0f;
    return X + Z;
  };
  std::vector<std::vector<float>> alpha(8, std::vector<float>(N + 1, 0.0f));
  std::vector<std::vector<float>> beta(8, std::vector<float>(N + 1, 0.0f));
  // One recursion step: stores renormalised metrics into m[.][pos], true when they repeat.
  const auto store = [](float acc[8], std::vector<std::vector<float>>& m, std::size_t pos) {
    bool repeats = true;
    for (int k = 1; k < 8; ++k) {
      const float d = acc[k] - acc[0];
      if (!(std::fabs(static_cast<double>(d - m[k][pos])) <= 1e-7)) repeats = false;
      m[k][pos] = d;
    }
    m[0][pos] = 0.0f;
    return repeats;
  };
  bool done = false;
  for (int p = 0; p < 4 && !done; ++p) {
    for (std::size_t k = N; k-- > 0;) {
      float acc[8];
      std::fill(acc, acc + 8, kMinus);
      for (int i = 0; i < 32; ++i)
        acc[i / 4] = op(acc[i / 4], gamma(k, i) + beta[t.next()[i]][k + 1]);
      if (store(acc, beta, k) && p >= 1) {
        done = true;
        break;
      }
    }
    if (!done) {
      for (int s = 0; s < 8; ++s) beta[s][N] = beta[s][0];
    }
  }
  done = false;
  for (int p = 0; p < 4 && !done; ++p) {
    for (std::size_t k = 0; k < N; ++k) {
      float acc[8];
      std::fill(acc, acc + 8, kMinus);
      for (int i = 0; i < 32; ++i) {
        acc[t.next()[i]] = op(acc[t.next()[i]], gamma(k, i) + alpha[i / 4][k]);
      }
      if (store(acc, alpha, k + 1) && p >= 1) {
        done = true;
        break;
      }
    }
    if (!done) {
      for (int s = 0; s < 8; ++s) alpha[s][0] = alpha[s][N];
    }
  }
  Reference r{std::vector<float>(3 * N), std::vector<float>(3 * N), std::vector<float>(2 * N)};
  for (std::size_t k = 0; k < N; ++k) {
    float m[32];
    for (int i = 0; i < 32; ++i) m[i] = gamma(k, i) + (alpha[i / 4][k] + beta[t.next()[i]][k + 1]);
    float P[4] = {kMinus, kMinus, kMinus, kMinus};
    float Q[4] = {kMinus, kMinus, kMinus, kMinus};
    for (int i = 0; i < 32; ++i) P[i % 4] = op(P[i % 4], m[i]);
    for (int i = 0; i < 32; ++i) Q[t.word()[i]] = op(Q[t.word()[i]], m[i]);
    for (int u = 1; u < 4; ++u) {
      r.outx[3 * k + u - 1] = P[u] - P[0];
      r.outz[3 * k + u - 1] = Q[u] - Q[0];
    }
    r.soft[2 * k] = op(P[2], P[3]) - op(P[0], P[1]);
    r.soft[2 * k + 1] = op(P[1], P[3]) - op(P[0], P[2]);
  }
  return r;
}

struct Decoded {
  std::vector<float> outx, outz, soft;
  DuobinaryRecursionSteps steps;
};

Decoded decode(const std::vector<float>& inx, const std::vector<float>& inz, int dec_type,
               const DuobinaryTrellis& t = kCode) {
  const std::size_t N = inx.size() / 3;
  Decoded d{std::vector<float>(3 * N), std::vector<float>(3 * N), std::vector<float>(2 * N), {}};
  d.steps = duobinary_siso(inx, inz, d.outx, d.outz, d.soft, t, static_cast<MaxStar>(dec_type));
  return d;
}

// Bit-for-bit equality; NaN matches any NaN, since compilers may swap the operands of
// a commutative operation and so pass on either operand's NaN payload and sign.
bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) && std::isnan(b[i])) continue;
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return false;
  }
  return true;
}

TEST(DuobinarySiso, MaxLogMatchesHandValues) {
  const golden::Set g("duobinary_max_log");
  for (std::size_t i = 0; i < g.cases("inx"); ++i) {
    const Decoded d = decode(g.row<float>("inx", i), g.row<float>("inz", i), 1);
    EXPECT_EQ(d.outx, g.row<float>("outx", i)) << "block " << i;
    EXPECT_EQ(d.outz, g.row<float>("outz", i)) << "block " << i;
    EXPECT_EQ(d.soft, g.row<float>("soft", i)) << "block " << i;
  }
}

TEST(DuobinarySiso, NoInformationGivesZerosAfterOneLapAndAStep) {
  for (int dec_type = 0; dec_type < kMaxStarTypes; ++dec_type) {
    for (std::size_t N : {0, 1, 5, 40}) {
      const std::vector<float> zeros(3 * N, 0.0f);
      const Decoded d = decode(zeros, zeros, dec_type);
      EXPECT_EQ(d.outx, zeros) << dec_type;
      EXPECT_EQ(d.outz, zeros) << dec_type;
      EXPECT_EQ(d.soft, std::vector<float>(2 * N, 0.0f)) << dec_type;
      // Both recursions stop at the first step of their second lap.
      const std::size_t expected = N == 0 ? 0 : N + 1;
      EXPECT_EQ(d.steps.backward, expected) << dec_type << " N " << N;
      EXPECT_EQ(d.steps.forward, expected) << dec_type << " N " << N;
    }
  }
}

// Symbol values from bit values: u = 1 carries LB, u = 2 LA, u = 3 LA + LB.
void add_pair_values(std::vector<float>& symbols, std::size_t k, float la, float lb) {
  symbols[3 * k] += lb;
  symbols[3 * k + 1] += la;
  symbols[3 * k + 2] += la + lb;
}

struct Channel {
  std::vector<double> x;
  std::vector<float> inx, inz;
};

// A codeword of N pairs (when N is not a multiple of 7) as bit values of magnitude `amp`, plus
// Gaussian noise of standard deviation `noise` * amp on every bit value.
Channel codeword_values(std::size_t N, float amp, float noise, std::mt19937& rng) {
  Channel c{random_pairs(N, rng), std::vector<float>(3 * N, 0.0f), std::vector<float>(3 * N, 0.0f)};
  // A block of a multiple of 7 pairs has no circulation state: it starts in state 0.
  const std::vector<double> z =
      encode(c.x, has_circulation_state(N) ? find_circular_state(c.x) : 0);
  std::normal_distribution<float> gauss(0.0f, noise);
  const auto value = [&](double bit) { return amp * ((bit != 0 ? 1.0f : -1.0f) + gauss(rng)); };
  for (std::size_t k = 0; k < N; ++k) {
    const float la = value(c.x[2 * k]);
    const float lb = value(c.x[2 * k + 1]);
    add_pair_values(c.inx, k, la, lb);
    const float l0 = value(z[2 * k]);
    const float l1 = value(z[2 * k + 1]);
    add_pair_values(c.inz, k, l0, l1);
  }
  return c;
}

TEST(DuobinarySiso, NoiselessCodewordsDecodeToTheirData) {
  std::mt19937 rng(11);
  for (int dec_type : {1, 4}) {
    for (std::size_t N = 1; N <= 12; ++N) {
      if (N % 7 == 0) continue;
      for (int rep = 0; rep < 8; ++rep) {
        const Channel c = codeword_values(N, 2.0f, 0.0f, rng);
        const Decoded d = decode(c.inx, c.inz, dec_type);
        for (std::size_t i = 0; i < 2 * N; ++i) {
          ASSERT_EQ(d.soft[i] > 0, c.x[i] != 0) << "dec_type " << dec_type << " N " << N;
        }
      }
    }
  }
}

// The regrouped kernel against the documented loops, on noisy blocks that need several
// laps and on extreme values, for every operator.
TEST(DuobinarySiso, MatchesTheDocumentedLoopsBitForBit) {
  std::mt19937 rng(3);
  const DuobinaryTrellis& t = kCode;
  const DuobinaryTrellis other({15, 6});
  const DuobinaryTrellis weak({8, 0});  // z1 is always 0: the decoder's scalar path
  std::size_t multi_lap = 0;
  for (int dec_type = 0; dec_type < kMaxStarTypes; ++dec_type) {
    for (std::size_t N : {1, 2, 3, 7, 12, 53, 212}) {
      for (float noise : {0.3f, 1.0f, 3.0f}) {
        Channel c = codeword_values(N, 1.5f, noise, rng);
        for (const DuobinaryTrellis* tab : {&t, &other, &weak}) {
          const Decoded d = decode(c.inx, c.inz, dec_type, *tab);
          const Reference r = reference_siso(c.inx, c.inz, *tab, dec_type);
          ASSERT_TRUE(same_bits(d.outx, r.outx)) << dec_type << " N " << N << " noise " << noise;
          ASSERT_TRUE(same_bits(d.outz, r.outz)) << dec_type << " N " << N << " noise " << noise;
          ASSERT_TRUE(same_bits(d.soft, r.soft)) << dec_type << " N " << N << " noise " << noise;
          EXPECT_GE(d.steps.backward, N);
          EXPECT_LE(d.steps.backward, 4 * N);
          EXPECT_LE(d.steps.forward, 4 * N);
          if (d.steps.backward > 2 * N) ++multi_lap;
        }
      }
    }
  }
  EXPECT_GT(multi_lap, 0u);  // some blocks ran past their second lap

  // Huge values overflow to infinities and NaN: the decoder still runs its four laps
  // at most and writes every output.
  std::vector<float> inx(30, 3e38f), inz(30, -3e38f);
  inx[4] = std::numeric_limits<float>::quiet_NaN();
  for (int dec_type = 0; dec_type < kMaxStarTypes; ++dec_type) {
    const Decoded d = decode(inx, inz, dec_type);
    EXPECT_LE(d.steps.backward, 40u);
    EXPECT_LE(d.steps.forward, 40u);
    const Reference r = reference_siso(inx, inz, t, dec_type);
    EXPECT_TRUE(same_bits(d.outx, r.outx)) << dec_type;
    EXPECT_TRUE(same_bits(d.outz, r.outz)) << dec_type;
    EXPECT_TRUE(same_bits(d.soft, r.soft)) << dec_type;
  }
}

// The decoder's SIMD lanes on every target the CPU runs against the scalar reference:
// outputs and step counts, noisy blocks of several laps, ties (all zero), and values
// that overflow to infinities and NaN.
TEST(DuobinarySiso, LanesEqualTheReferenceOnEveryTarget) {
  std::mt19937 rng(17);
  std::vector<Channel> blocks;
  for (std::size_t N : {1, 2, 5, 12, 53, 212}) {
    for (float noise : {0.3f, 1.0f, 3.0f}) blocks.push_back(codeword_values(N, 1.5f, noise, rng));
  }
  blocks.push_back({{}, std::vector<float>(24, 0.0f), std::vector<float>(24, 0.0f)});
  Channel extreme{{}, std::vector<float>(30, 3e38f), std::vector<float>(30, -3e38f)};
  extreme.inx[4] = std::numeric_limits<float>::quiet_NaN();
  extreme.inz[9] = std::numeric_limits<float>::infinity();
  blocks.push_back(extreme);
  for_each_target([&](const std::string& target, bool) {
    for (int dec_type = 0; dec_type < kMaxStarTypes; ++dec_type) {
      for (const Channel& c : blocks) {
        const std::size_t N = c.inx.size() / 3;
        const Decoded d = decode(c.inx, c.inz, dec_type);
        Decoded r{std::vector<float>(3 * N), std::vector<float>(3 * N),
                  std::vector<float>(2 * N), {}};
        r.steps = duobinary_siso_reference(c.inx, c.inz, r.outx, r.outz, r.soft, kCode,
                                           static_cast<MaxStar>(dec_type));
        const auto where = [&] {
          return target + " dec_type " + std::to_string(dec_type) + " N " + std::to_string(N);
        };
        ASSERT_TRUE(same_bits(d.outx, r.outx)) << where();
        ASSERT_TRUE(same_bits(d.outz, r.outz)) << where();
        ASSERT_TRUE(same_bits(d.soft, r.soft)) << where();
        ASSERT_EQ(d.steps.backward, r.steps.backward) << where();
        ASSERT_EQ(d.steps.forward, r.steps.forward) << where();
      }
    }
  });
}

TEST(DuobinarySiso, RefusesInconsistentSizesAndOperators) {
  std::vector<float> in(6), out3(6), out2(4);
  const auto siso = [&](std::span<const float> inx, std::span<const float> inz,
                        std::span<float> soft, int dec_type) {
    duobinary_siso(inx, inz, out3, out3, soft, kCode, static_cast<MaxStar>(dec_type));
  };
  EXPECT_THROW(siso(in, in, out2, 5), std::invalid_argument);
  EXPECT_THROW(siso(in, in, out2, -1), std::invalid_argument);
  std::vector<float> in5(5), in9(9);
  EXPECT_THROW(siso(in5, in5, out2, 1), std::invalid_argument);
  EXPECT_THROW(siso(in, in9, out2, 1), std::invalid_argument);
  EXPECT_THROW(siso(in, in, std::span<float>(out2).first(3), 1), std::invalid_argument);
  EXPECT_EQ(duobinary_siso_bytes(0), 64u);
  EXPECT_EQ(duobinary_siso_bytes(std::numeric_limits<std::size_t>::max()),
            std::numeric_limits<std::uint64_t>::max());
}

TEST(Interrupt, StopsTheDecoder) {
  const Interrupt stop([](void*) noexcept { return true; });
  const std::size_t N = 100000;
  const std::vector<float> in(3 * N);
  std::vector<float> out_x(3 * N), out_z(3 * N), soft(2 * N);
  EXPECT_THROW(duobinary_siso(in, in, out_x, out_z, soft, kCode, MaxStar::kMaxLog, stop),
               Interrupted);
}

TEST(MemoryEstimates, BoundTheDecodersAllocations) {
  for (const std::size_t N : {1u, 48u, 1000u}) {
    const std::vector<float> in(3 * N);
    std::vector<float> out_x(3 * N), out_z(3 * N), soft(2 * N);
    const std::size_t peak = heap_count::peak_allocation(
        [&] { duobinary_siso(in, in, out_x, out_z, soft, kCode, MaxStar::kExact); });
    EXPECT_LE(peak, duobinary_siso_bytes(N));
    EXPECT_LE(duobinary_siso_bytes(N), peak + 1024);
  }
}

}  // namespace
}  // namespace linkforge
