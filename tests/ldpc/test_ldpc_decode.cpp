#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "golden.hpp"
#include "hwy_targets.hpp"
#include "ldpc/ldpc_codes.hpp"
#include "linkforge/error.hpp"
#include "linkforge/ldpc.hpp"
#include "peak_allocation.hpp"

namespace linkforge::ldpc {
namespace {

using testing::Cells;
using testing::TestCode;

// ---------------------------------------------------------------------------------
// phi0

TEST(Phi0, WorkedValuesAndClips) {
  EXPECT_EQ(phi0(0.0f), 10.0f);
  EXPECT_EQ(phi0(9.07e-5f), 10.0f);
  EXPECT_EQ(phi0(-1.0f), 10.0f);
  const golden::Set w("ldpc_staircase");  // 0, 10, 10.5, 5.5 (table) and 5 (formula)
  const auto x = w.row<float>("channel"), q = w.row<float>("q");
  for (std::size_t i = 0; i + 1 < x.size(); ++i) EXPECT_EQ(phi0(x[i]), q[i]) << x[i];
  EXPECT_NEAR(phi0(x.back()), q.back(), 1e-7);  // the table's upper test at 10 is strict
  EXPECT_EQ(phi0(10.5f), 0.0f);
  EXPECT_EQ(phi0(std::numeric_limits<float>::infinity()), 0.0f);
  EXPECT_EQ(phi0(9.5f), 0.00016881f);
  EXPECT_EQ(phi0(8.5f), 0.00045887f);
  EXPECT_EQ(phi0(7.5f), 0.0012473f);
  EXPECT_EQ(phi0(6.5f), 0.0033906f);
  EXPECT_TRUE(std::isnan(phi0(std::numeric_limits<float>::quiet_NaN())));
}

// Against phi in double precision. Rounding e^x to single precision moves y by about half
// an ulp, which moves phi by |phi'(y)| = 2 / (y^2 - 1) times that; the single-precision
// sum, quotient and logarithm add a few roundings of the quotient (an absolute error of
// the logarithm) and of the result.
TEST(Phi0, AgreesWithExactPhiWithinTheRoundingOfEToTheX) {
  for (double x = 9.1e-5; x <= 5.0; x *= 1.001) {
    const auto xf = static_cast<float>(x);
    const double xd = xf;
    const double exact = -std::log(std::tanh(xd / 2.0));
    const double y = std::exp(xd);
    const double ulp_y = std::ldexp(1.0, std::ilogb(y) - 23);
    const double bound = 2.0 / (y * y - 1.0) * 0.51 * ulp_y + 3.0 * 0x1p-24 + exact * 0x1p-23;
    ASSERT_NEAR(phi0(xf), exact, bound) << "x = " << xf;
  }
}

TEST(Phi0, IsItsOwnInverseAndNeverIncreases) {
  for (float x = 0.05f; x <= 5.0f; x += 0.01f) {
    EXPECT_NEAR(phi0(phi0(x)), x, 2e-3 * x + 1e-4) << "x = " << x;
  }
  float previous = phi0(0.0f);
  for (float x = 0.0f; x <= 11.0f; x += 1e-3f) {
    const float value = phi0(x);
    ASSERT_LE(value, previous) << "x = " << x;
    previous = value;
  }
}

// ---------------------------------------------------------------------------------
// Graph

std::vector<int> list(const std::vector<int>& values, const std::vector<int>& offset,
                      std::size_t node) {
  return {values.begin() + offset[node], values.begin() + offset[node + 1]};
}

TEST(SparseGraph, StaircaseLayoutAddsTheDualDiagonal) {
  // m = 3, k = 2: check 0 holds its listed bits and bit 2, check 1 bits 2 and 3, check 2
  // bits 3 and 4; bit 4 has only check 2.
  const Cells rows = testing::to_cells({{0, 1}, {1}, {0}});
  const Cells cols = testing::to_cells({{0, 2}, {0, 1}});
  const SparseGraph g = make_sparse_graph(5, rows.view(), cols.view());
  EXPECT_EQ(g.layout, Layout::kStaircase);
  EXPECT_EQ(list(g.check_bits, g.check_offset, 0), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(list(g.check_bits, g.check_offset, 1), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list(g.check_bits, g.check_offset, 2), (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(list(g.bit_checks, g.bit_offset, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(list(g.bit_checks, g.bit_offset, 3), (std::vector<int>{1, 2}));
  EXPECT_EQ(list(g.bit_checks, g.bit_offset, 4), (std::vector<int>{2}));
  EXPECT_EQ(list(g.check_sockets, g.check_offset, 2), (std::vector<int>{1, 1, 0}));
}

TEST(SparseGraph, BlockStaircaseLayoutAddsBlocksOfTheParityPart) {
  // k = 1, z = 1, m = 3: explicit columns 0 (data) and 1 (first parity block); the
  // decoder adds bits 2 (checks 0, 1) and 3 (checks 1, 2).
  const Cells rows = testing::to_cells({{0, 1}, {0}, {1}});
  const Cells cols = testing::to_cells({{0, 1}, {0, 2}});
  const SparseGraph g = make_sparse_graph(4, rows.view(), cols.view());
  EXPECT_EQ(g.layout, Layout::kBlockStaircase);
  EXPECT_EQ(g.z, 1);
  EXPECT_EQ(list(g.check_bits, g.check_offset, 0), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(list(g.check_bits, g.check_offset, 1), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(list(g.check_bits, g.check_offset, 2), (std::vector<int>{1, 3}));
  EXPECT_EQ(list(g.bit_checks, g.bit_offset, 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(list(g.bit_checks, g.bit_offset, 3), (std::vector<int>{1, 2}));
}

TEST(SparseGraph, SocketsLeadBackToTheSameEdgeInEveryLayout) {
  const TestCode staircase = testing::random_code(60, 40, 0, 3, 1);
  for (const TestCode& code :
       {staircase, testing::random_code(60, 40, 8, 3, 2), testing::as_full(staircase)}) {
    const SparseGraph g = testing::graph_of(code);
    ASSERT_EQ(g.check_bits.size(), g.bit_checks.size());
    for (int i = 0; i < g.m; ++i) {
      for (int c = g.check_offset[i]; c < g.check_offset[i + 1]; ++c) {
        const int v = g.check_bits[c];
        const int b = g.bit_offset[v] + g.check_sockets[c];
        ASSERT_EQ(g.bit_checks[b], i);
        ASSERT_EQ(g.bit_offset[v] + g.check_sockets[c], g.check_q_edge[c]);
        ASSERT_EQ(g.bit_r_edge[b], c);
      }
    }
    // Each column of the dense H matches the bit's list as a set.
    for (int v = 0; v < g.n; ++v) {
      int ones = 0;
      for (int i = 0; i < g.m; ++i) ones += code.h(i, v);
      ASSERT_EQ(g.bit_offset[v + 1] - g.bit_offset[v], ones) << "bit " << v;
    }
  }
}

// Messages are checked verbatim through the hosts; here each refusal names its fault,
// its argument and its place, counted from 0.
TEST(SparseGraph, RefusesMatricesThatDescribeNoValidGraph) {
  struct Bad {
    int n;
    std::vector<std::vector<int>> rows, cols;
    Fault fault;
    const char* argument;
    std::int64_t row, value;
  };
  using enum Fault;
  // clang-format off
  const Bad cases[] = {
      {1, {{0}, {0}}, {{0, 1}}, kTooManyRows, "h_rows", -1, 2},
      {4, {{0}, {0}}, {{0}}, kBadRowCount, "h_cols", -1, 1},
      {5, {{0}, {0}, {1}}, {{0}, {0}, {0}, {0}}, kBlockSplit, "h_cols", -1, 2},  // z = 2, m = 3
      {4, {{}, {0}}, {{1}, {}}, kEmptyRow, "h_rows", 0, 0},        // first staircase check
      {5, {{0, 1}, {0}, {}}, {{0, 1}, {0}, {}}, kEmptyRow, "h_rows", 2, 1},  // last block
      {4, {{0, 2}, {1}}, {{0}, {1}}, kNotPosition, "h_rows", 0, 2},  // a staircase parity bit
      {3, {{-1, 1}}, {{}, {0}, {}}, kCellAfterEmpty, "h_rows", 0, -1},
      {2, {{1}}, {{}, {0, 0}}, kRepeated, "h_cols", 1, 0},
      {2, {{0, 1}}, {{0}, {}}, kUnmatched, "h_rows", 0, 1},
  };
  // clang-format on
  for (const Bad& c : cases) {
    const Cells rows = testing::to_cells(c.rows);
    const Cells cols = testing::to_cells(c.cols);
    try {
      make_sparse_graph(c.n, rows.view(), cols.view());
      ADD_FAILURE() << "accepted case " << (&c - cases);
    } catch (const ArgumentError& e) {
      const Refusal& r = e.refusal();
      EXPECT_EQ(r.fault, c.fault) << e.what();
      EXPECT_STREQ(r.argument, c.argument) << e.what();
      EXPECT_EQ(r.row, c.row) << e.what();
      EXPECT_EQ(r.value, c.value) << e.what();
    }
  }
}

TEST(SparseGraph, AcceptsEmptyChecksAndBitsInTheFullLayoutAndEmptyCodes) {
  const Cells rows = testing::to_cells({{}, {1}});
  const Cells cols = testing::to_cells({{}, {1}, {}});
  const SparseGraph g = make_sparse_graph(3, rows.view(), cols.view());
  EXPECT_EQ(g.layout, Layout::kFull);
  EXPECT_EQ(g.edges(), 1u);
  const SparseGraph empty = make_sparse_graph(0, {}, {});
  EXPECT_EQ(empty.n, 0);
  EXPECT_EQ(empty.edges(), 0u);
}

// ---------------------------------------------------------------------------------
// Decoders against the algorithm written plainly: per-node lists in the documented edge
// order, sockets found by scanning, min-sum rescanning the other edges for every edge.

struct Reference {
  struct Check {
    std::vector<int> bits, sockets;
    std::vector<float> r;
  };
  struct Bit {
    float channel = 0;
    std::vector<int> checks, sockets, sign;
    std::vector<float> q;
  };
  std::vector<Check> checks;
  std::vector<Bit> bits;
  int k = 0;

  Reference(const TestCode& code, const std::vector<float>& llr, bool sum_product) {
    const int k0 = code.k, m = code.m, z = code.z;
    k = k0;
    checks.resize(static_cast<std::size_t>(m));
    bits.resize(static_cast<std::size_t>(code.n));
    for (int i = 0; i < m; ++i) {
      auto& b = checks[i].bits;
      b = code.rows[i];
      if (code.layout == Layout::kStaircase) {
        if (i > 0) b.push_back(k0 + i - 1);
        b.push_back(k0 + i);
      } else if (code.layout == Layout::kBlockStaircase) {
        if (i >= z) b.push_back(k0 + i);
        if (i < m - z) b.push_back(k0 + i + z);
      }
    }
    for (int v = 0; v < code.n; ++v) {
      auto& c = bits[v].checks;
      if (v < static_cast<int>(code.cols.size())) {
        c = code.cols[v];
      } else if (code.layout == Layout::kStaircase) {
        c = {v - k0};
        if (v < code.n - 1) c.push_back(v - k0 + 1);
      } else {
        c = {v - k0 - z, v - k0};
      }
    }
    const auto scan = [](const std::vector<int>& l, int x) {
      for (std::size_t p = 0; p < l.size(); ++p) {
        if (l[p] == x) return static_cast<int>(p);
      }
      return 0;
    };
    for (int i = 0; i < m; ++i) {
      for (const int v : checks[i].bits) checks[i].sockets.push_back(scan(bits[v].checks, i));
      checks[i].r.assign(checks[i].bits.size(), 0.0f);
    }
    for (int v = 0; v < code.n; ++v) {
      Bit& bit = bits[v];
      bit.channel = llr[v];
      for (const int c : bit.checks) bit.sockets.push_back(scan(checks[c].bits, v));
      bit.q.assign(bit.checks.size(), sum_product ? phi0(std::fabs(llr[v])) : std::fabs(llr[v]));
      bit.sign.assign(bit.checks.size(), llr[v] < 0 ? 1 : 0);
    }
  }

  std::vector<std::uint8_t> iterate(const DecodeParams& p) {
    const bool sp = p.kind == DecoderKind::kSumProduct;
    for (Check& check : checks) {
      const std::size_t d = check.bits.size();
      std::vector<float> q(d);
      std::vector<int> s(d);
      float S = 0;
      int X = 0;
      for (std::size_t j = 0; j < d; ++j) {
        q[j] = bits[check.bits[j]].q[check.sockets[j]];
        s[j] = bits[check.bits[j]].sign[check.sockets[j]];
        S += q[j];
        X ^= s[j];
      }
      for (std::size_t j = 0; j < d; ++j) {
        float magnitude;
        if (sp) {
          magnitude = phi0(S - q[j]) * p.r_scale;
        } else {
          float M = 1000.0f;
          for (std::size_t i = 0; i < d; ++i) {
            if (i != j && q[i] < M) M = q[i];
          }
          magnitude = p.r_scale * M;
        }
        check.r[j] = s[j] != X ? -magnitude : magnitude;
      }
    }
    std::vector<std::uint8_t> decision(bits.size(), 0);
    for (std::size_t v = 0; v < bits.size(); ++v) {
      Bit& bit = bits[v];
      float T = bit.channel;
      for (std::size_t j = 0; j < bit.checks.size(); ++j)
        T += checks[bit.checks[j]].r[bit.sockets[j]];
      if (T < 0) decision[v] = 1;
      for (std::size_t j = 0; j < bit.checks.size(); ++j) {
        const float D = T - checks[bit.checks[j]].r[bit.sockets[j]];
        bit.q[j] = p.q_scale * (sp ? phi0(std::fabs(D)) : std::fabs(D));
        bit.sign[j] = D > 0 ? 0 : 1;
      }
    }
    return decision;
  }
};

struct OracleCase {
  const char* layout;
  DecoderKind kind;
  float r_scale, q_scale;
  double sigma;
};

void PrintTo(const OracleCase& c, std::ostream* os) {
  *os << c.layout << (c.kind == DecoderKind::kMinSum ? " min-sum" : " sum-product") << " r*"
      << c.r_scale << " q*" << c.q_scale << " sigma " << c.sigma;
}

class DecoderAgainstReference : public ::testing::TestWithParam<OracleCase> {};

TEST_P(DecoderAgainstReference, EveryMessageAndDecisionBitForBit) {
  const OracleCase& oc = GetParam();
  const std::string layout = oc.layout;
  const TestCode base = testing::random_code(120, 80, layout == "block" ? 8 : 0, 3, 7);
  const TestCode code = layout == "full" ? testing::as_full(base) : base;
  const SparseGraph g = testing::graph_of(code);
  const std::vector<double> word = testing::codeword_of(base, testing::random_bits(120, 8));
  const std::vector<float> llr = testing::noisy_llr(word, oc.sigma, 9);

  const DecodeParams params{20, oc.kind, oc.r_scale, oc.q_scale, false};
  // The sum-product decoder evaluates phi0 in SIMD lanes: every target the CPU runs.
  for_each_target([&](const std::string& target, bool) {
    Reference ref(code, llr, oc.kind == DecoderKind::kSumProduct);
    GraphMessages messages;
    init_messages(g, llr, oc.kind, messages);
    std::vector<std::uint8_t> decisions(static_cast<std::size_t>(g.n));
    for (int t = 0; t < params.max_iter; ++t) {
      iterate(g, params, messages, decisions);
      ASSERT_EQ(decisions, ref.iterate(params)) << target << " iteration " << t + 1;
      for (int i = 0; i < g.m; ++i) {
        for (int c = g.check_offset[i]; c < g.check_offset[i + 1]; ++c) {
          ASSERT_EQ(messages.r[c], ref.checks[i].r[c - g.check_offset[i]]) << target;
        }
      }
      for (int v = 0; v < g.n; ++v) {
        for (int b = g.bit_offset[v]; b < g.bit_offset[v + 1]; ++b) {
          ASSERT_EQ(messages.q_magnitude[b], ref.bits[v].q[b - g.bit_offset[v]]) << target;
          ASSERT_EQ(messages.q_sign[b], ref.bits[v].sign[b - g.bit_offset[v]]) << target;
        }
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DecoderAgainstReference,
    ::testing::Values(OracleCase{"staircase", DecoderKind::kSumProduct, 1.0f, 1.0f, 0.9},
                      OracleCase{"staircase", DecoderKind::kMinSum, 0.75f, 1.0f, 0.9},
                      OracleCase{"block", DecoderKind::kSumProduct, 0.9f, 1.1f, 0.8},
                      OracleCase{"block", DecoderKind::kMinSum, 1.0f, 0.8f, 1.2},
                      OracleCase{"full", DecoderKind::kSumProduct, 1.0f, 1.0f, 1.2},
                      OracleCase{"full", DecoderKind::kMinSum, 0.8f, 0.9f, 0.8}));

TEST(Decode, StartingMessagesOfAPuncturedBit) {
  const TestCode code = testing::random_code(4, 4, 0, 2, 3);
  const SparseGraph g = testing::graph_of(code);
  std::vector<float> llr(8, 2.0f);
  llr[1] = 0.0f;
  llr[2] = -3.5f;
  for (const DecoderKind kind : {DecoderKind::kSumProduct, DecoderKind::kMinSum}) {
    GraphMessages messages;
    init_messages(g, llr, kind, messages);
    for (int b = g.bit_offset[1]; b < g.bit_offset[2]; ++b) {
      EXPECT_EQ(messages.q_magnitude[b], kind == DecoderKind::kSumProduct ? 10.0f : 0.0f);
      EXPECT_EQ(messages.q_sign[b], 0);
    }
    for (int b = g.bit_offset[2]; b < g.bit_offset[3]; ++b) {
      EXPECT_EQ(messages.q_magnitude[b], kind == DecoderKind::kSumProduct ? phi0(3.5f) : 3.5f);
      EXPECT_EQ(messages.q_sign[b], 1);
    }
  }
}

TEST(Decode, MinSumCheckOfDegreeOneSendsScaledThousand) {
  // Full layout, one check on bit 0 only; bit 1 has no check.
  const Cells rows = testing::to_cells({{0}});
  const Cells cols = testing::to_cells({{0}, {}});
  const SparseGraph g = make_sparse_graph(2, rows.view(), cols.view());
  GraphMessages messages;
  const std::vector<float> llr = {-2.0f, -1.0f};
  init_messages(g, llr, DecoderKind::kMinSum, messages);
  std::vector<std::uint8_t> decisions(2);
  iterate(g, {1, DecoderKind::kMinSum, 0.5f, 1.0f, true}, messages, decisions);
  // X is the check's only sign bit, so the message is +1000 * r_scale whatever the bit.
  EXPECT_EQ(messages.r[0], 500.0f);
  EXPECT_EQ(decisions, (std::vector<std::uint8_t>{0, 1}));
}

TEST(Decode, NoiselessCodewordsDecodeInOneIterationInEveryLayout) {
  for (const int z : {0, 5}) {
    const TestCode base = testing::random_code(100, 100, z, 3, 11 + z);
    const std::vector<double> data = testing::random_bits(100, 12);
    const std::vector<double> word = testing::codeword_of(base, data);
    ASSERT_TRUE(testing::satisfies_every_check(base, word));
    std::vector<float> llr(word.size());
    for (std::size_t v = 0; v < word.size(); ++v) llr[v] = word[v] ? -20.0f : 20.0f;
    std::vector<int> reference(data.begin(), data.end());
    for (const TestCode& code : {base, testing::as_full(base)}) {
      const SparseGraph g = testing::graph_of(code);
      for (const DecoderKind kind : {DecoderKind::kSumProduct, DecoderKind::kMinSum}) {
        std::vector<std::uint8_t> decisions(5 * word.size());
        std::vector<int> errors(5);
        const int run = decode(g, llr, {5, kind, 1.0f, 1.0f, true}, reference, decisions, errors);
        EXPECT_EQ(run, 1);
        EXPECT_EQ(errors, (std::vector<int>{0, 0, 0, 0, 0}));
        for (std::size_t v = 0; v < word.size(); ++v) ASSERT_EQ(decisions[v], word[v]);
        for (std::size_t i = word.size(); i < decisions.size(); ++i) ASSERT_EQ(decisions[i], 0);
      }
    }
  }
}

// A rate-1/2 staircase code of 1000 bits at Eb/N0 = 2.5 dB (seeded): both decoders decode
// nearly every frame.
TEST(Decode, CorrectsMostFramesAtModerateSnr) {
  const TestCode code = testing::random_code(500, 500, 0, 3, 21);
  const SparseGraph g = testing::graph_of(code);
  const double sigma = std::sqrt(1.0 / std::pow(10.0, 0.25));
  for (const DecoderKind kind : {DecoderKind::kSumProduct, DecoderKind::kMinSum}) {
    int decoded = 0;
    const int frames = 20;
    for (int f = 0; f < frames; ++f) {
      const std::vector<double> data = testing::random_bits(500, 100 + f);
      const std::vector<float> llr =
          testing::noisy_llr(testing::codeword_of(code, data), sigma, 200 + f);
      const std::vector<int> reference(data.begin(), data.end());
      std::vector<std::uint8_t> decisions(50 * 1000);
      std::vector<int> errors(50);
      const float scale = kind == DecoderKind::kMinSum ? 0.75f : 1.0f;
      const int run = decode(g, llr, {50, kind, scale, 1.0f, true}, reference, decisions, errors);
      decoded += errors[run - 1] == 0;
    }
    EXPECT_GE(decoded, 18) << (kind == DecoderKind::kMinSum ? "min-sum" : "sum-product");
  }
}

TEST(Decode, RunsEveryIterationWithoutEarlyStopAndNoneForZeroIterations) {
  const TestCode code = testing::random_code(10, 10, 0, 3, 5);
  const SparseGraph g = testing::graph_of(code);
  const std::vector<float> llr(20, 5.0f);
  const std::vector<int> zeros(10, 0);
  std::vector<std::uint8_t> decisions(3 * 20);
  std::vector<int> errors(3);
  EXPECT_EQ(decode(g, llr, {3, DecoderKind::kSumProduct, 1, 1, false}, zeros, decisions, errors),
            3);
  EXPECT_EQ(decode(g, llr, {0, DecoderKind::kSumProduct, 1, 1, true}, zeros, {}, {}), 0);
  EXPECT_THROW(decode(g, llr, {-1, DecoderKind::kSumProduct, 1, 1, true}, zeros, {}, {}),
               std::invalid_argument);
  EXPECT_THROW(decode(g, llr, {3, DecoderKind::kSumProduct, 1, 1, true}, {}, decisions, errors),
               std::invalid_argument);
  EXPECT_THROW(decode(g, std::vector<float>(19), {3, DecoderKind::kSumProduct, 1, 1, true}, zeros,
                      decisions, errors),
               std::invalid_argument);
}

TEST(Decode, StopsWhenInterrupted) {
  const TestCode code = testing::random_code(40, 20, 0, 3, 7);
  const SparseGraph g = testing::graph_of(code);
  DecodeParams params;
  params.max_iter = 100000;
  params.early_stop = false;
  const std::vector<float> channel(static_cast<std::size_t>(code.n), -1.0f);
  const std::vector<int> data(static_cast<std::size_t>(code.k), 0);
  std::vector<std::uint8_t> decisions(static_cast<std::size_t>(params.max_iter) * code.n);
  std::vector<int> errors(static_cast<std::size_t>(params.max_iter));
  EXPECT_THROW(decode(g, channel, params, data, decisions, errors,
                      Interrupt([](void*) noexcept { return true; })),
               Interrupted);
}

TEST(MemoryEstimates, BoundTheGraphAndTheDecoder) {
  using heap_count::peak_allocation;
  for (const auto& [k, m, z] : {std::array<int, 3>{40, 20, 0}, {60, 40, 10}, {8, 4, 0}}) {
    const TestCode code = testing::random_code(k, m, z, 3, 11);
    const Cells rows = testing::to_cells(code.rows);
    const Cells cols = testing::to_cells(code.cols);
    SparseGraph g;
    const std::size_t graph_peak = peak_allocation(
        [&] { g = make_sparse_graph(code.n, rows.view(), cols.view()); });
    EXPECT_LE(graph_peak, sparse_graph_bytes(code.n, code.m, g.edges())) << "k " << k;
    DecodeParams params;
    params.max_iter = 5;
    const std::vector<float> channel(static_cast<std::size_t>(code.n), 1.0f);
    const std::vector<int> data(static_cast<std::size_t>(code.k), 1);
    std::vector<std::uint8_t> decisions(5 * static_cast<std::size_t>(code.n));
    std::vector<int> errors(5);
    const std::size_t peak =
        peak_allocation([&] { decode(g, channel, params, data, decisions, errors); });
    EXPECT_LE(peak, decode_bytes(channel.size(), g.edges())) << "k " << k;
    EXPECT_LE(decode_bytes(channel.size(), g.edges()), peak + 1024) << "k " << k;
  }
}

}  // namespace
}  // namespace linkforge::ldpc
