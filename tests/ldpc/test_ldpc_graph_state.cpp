#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "golden.hpp"
#include "ldpc/ldpc_codes.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace linkforge::ldpc {
namespace {

using testing::Cells;
using testing::TestCode;

// A state pair with its records, sized from the lists of an index matrix pair.
struct State {
  std::vector<VnState> vn;
  std::vector<CnState> cn;
  std::vector<VnPtrs> vn_ptrs;
  std::vector<CnPtrs> cn_ptrs;

  State(const std::vector<std::vector<int>>& check_lists,
        const std::vector<std::vector<int>>& bit_lists) {
    std::vector<int> dv, dc;
    for (const auto& l : bit_lists) dv.push_back(static_cast<int>(l.size()));
    for (const auto& l : check_lists) dc.push_back(static_cast<int>(l.size()));
    vn = make_vn_state(dv);
    cn = make_cn_state(dc);
    vn_ptrs.resize(vn.size());
    cn_ptrs.resize(cn.size());
    GetVnPtrs(vn, vn_ptrs);
    GetCnPtrs(cn, cn_ptrs);
  }
};

// Bits 0..5 on checks {0, 1, 2}, {2, 3, 4}, {0, 4, 5}.
const std::vector<std::vector<int>> kChecks = {{0, 1, 2}, {2, 3, 4}, {0, 4, 5}};
const std::vector<std::vector<int>> kBits = {{0, 2}, {0}, {0, 1}, {1}, {1, 2}, {2}};

void setup(State& s, const std::vector<double>& input,
           const std::vector<std::vector<int>>& checks = kChecks,
           const std::vector<std::vector<int>>& bits = kBits) {
  const Cells ci = testing::to_cells(checks);
  const Cells vi = testing::to_cells(bits);
  graph_state_setup(input, ci.view(), vi.view(), s.vn_ptrs, s.cn_ptrs);
}

TEST(GraphStateSetup, ChannelValuesAndStartingMessages) {
  State s(kChecks, kBits);
  setup(s, {0.0, -3.5, 10.0, 10.5, 5.0, 5.5});
  EXPECT_EQ(s.vn[0].channel, 0.0f);
  EXPECT_EQ(s.vn[0].q_magnitude, (std::vector<float>{10.0f, 10.0f}));
  EXPECT_EQ(s.vn[0].q_sign, (std::vector<std::int32_t>{0, 0}));
  EXPECT_EQ(s.vn[1].channel, -3.5f);
  EXPECT_EQ(s.vn[1].q_magnitude, (std::vector<float>{phi0(3.5f)}));
  EXPECT_EQ(s.vn[1].q_sign, (std::vector<std::int32_t>{1}));
  const auto q = golden::Set("ldpc_staircase").row<float>("q");  // bits 0, 2, 3, 5, 4
  EXPECT_EQ(s.vn[2].q_magnitude[0], q[1]);
  EXPECT_EQ(s.vn[3].q_magnitude[0], q[2]);
  EXPECT_EQ(s.vn[5].q_magnitude[0], q[3]);
  EXPECT_NEAR(s.vn[4].q_magnitude[0], q[4], 1e-6);
  EXPECT_EQ(s.cn[1].bits, (std::vector<std::int32_t>{2, 3, 4}));
  EXPECT_EQ(s.vn[4].checks, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(s.cn[2].r, std::vector<float>(3, 0.0f));  // r messages untouched
}

TEST(GraphStateSetup, SocketsLeadBackToTheSameEdge) {
  const TestCode code = testing::as_full(testing::random_code(40, 30, 0, 3, 5));
  State s(code.rows, code.cols);
  setup(s, std::vector<double>(static_cast<std::size_t>(code.n), 1.0), code.rows, code.cols);
  for (std::size_t i = 0; i < s.cn.size(); ++i) {
    for (int j = 0; j < s.cn[i].degree; ++j) {
      const VnState& bit = s.vn[static_cast<std::size_t>(s.cn[i].bits[j])];
      const int socket = s.cn[i].sockets[j];
      ASSERT_EQ(bit.checks[socket], static_cast<int>(i));
      ASSERT_EQ(bit.sockets[socket], j);
    }
  }
}

TEST(GraphStateSetup, SocketsWithoutAPartnerKeepTheirContents) {
  // Check 0 lists bit 1 but bit 1 lists check 1; bit 0 lists check 0, which does not list
  // it; check 1 (degree 0) is listed by bit 1 only.
  const std::vector<std::vector<int>> checks = {{1}, {}};
  const std::vector<std::vector<int>> bits = {{0}, {1}};
  State s(checks, bits);
  s.vn[0].sockets = {77};
  s.vn[1].sockets = {78};
  s.cn[0].sockets = {79};
  setup(s, {1.0, 2.0}, checks, bits);
  EXPECT_EQ(s.vn[0].sockets[0], 77);
  EXPECT_EQ(s.vn[1].sockets[0], 78);
  EXPECT_EQ(s.cn[0].sockets[0], 79);
  // A bit listing a check twice finds the check's first position for both edges.
  State d({{0, 0}}, {{0, 0}});
  setup(d, {1.0}, {{0, 0}}, {{0, 0}});
  EXPECT_EQ(d.vn[0].sockets, (std::vector<std::int32_t>{0, 0}));
  EXPECT_EQ(d.cn[0].sockets, (std::vector<std::int32_t>{0, 0}));
}

TEST(GraphStateSetup, RefusesBadIndicesBeforeWritingAnything) {
  State s(kChecks, kBits);
  const std::vector<VnState> vn_before = s.vn;
  const std::vector<CnState> cn_before = s.cn;
  const std::vector<double> input(6, 1.0);
  const auto expect_refusal = [&](const std::vector<std::vector<int>>& checks,
                                  const std::vector<std::vector<int>>& bits,
                                  const std::string& message) {
    try {
      setup(s, input, checks, bits);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(s.vn == vn_before && s.cn == cn_before) << message;
  };
  expect_refusal({{0, 1, 2}, {2, 3, 6}, {0, 4, 5}}, kBits,
                 "check_index[1, 2] = 6 lies outside 0..5");
  expect_refusal(kChecks, {{0, 2}, {0}, {0, 3}, {1}, {1, 2}, {2}},
                 "var_index[2, 1] = 3 lies outside 0..2");
  expect_refusal({{0, 1}, {2, 3}, {0, 4}}, kBits,
                 "check_index has 2 columns, fewer than the degree 3 of cn_state[0]");
  expect_refusal(kChecks, {{0, 2}, {0}, {0, 1}, {1}, {1, 2}},
                 "var_index has 5 rows, fewer than the 6 elements of vn_state");
  s.vn[3].degree = -1;
  try {
    setup(s, input);
    ADD_FAILURE() << "accepted a negative degree";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "vn_state[3] has degree -1 < 0");
  }
}

// The step with the negated values is one sum-product iteration of the flooding decoder:
// the r messages are the same bit for bit, the q messages agree up to the rounding of the
// differing sums, and so do the decisions.
TEST(GraphStateStep, AfterSetupEqualsTheFirstFloodingIteration) {
  const TestCode code = testing::as_full(testing::random_code(60, 60, 0, 3, 9));
  const SparseGraph g = testing::graph_of(code);
  const std::vector<double> word =
      testing::codeword_of(testing::random_code(60, 60, 0, 3, 9), testing::random_bits(60, 3));
  const std::vector<float> llr = testing::noisy_llr(word, 0.8, 4);
  const std::vector<double> input(llr.begin(), llr.end());
  std::vector<double> negated(input.size());
  for (std::size_t v = 0; v < input.size(); ++v) negated[v] = -input[v];

  State s(code.rows, code.cols);
  setup(s, input, code.rows, code.cols);
  GraphMessages messages;
  init_messages(g, llr, DecoderKind::kSumProduct, messages);
  const DecodeParams params{1, DecoderKind::kSumProduct, 1.0f, 1.0f, false};
  std::vector<std::uint8_t> flooding(input.size());
  std::vector<double> output(input.size());
  std::vector<int> bits(input.size());
  for (int t = 0; t < 8; ++t) {
    iterate(g, params, messages, flooding);
    graph_state_step(negated, s.vn_ptrs, s.cn_ptrs, s.cn_ptrs.size(), output, bits);
    for (int i = 0; i < g.m; ++i) {
      for (int c = g.check_offset[i]; c < g.check_offset[i + 1]; ++c) {
        const float r = s.cn[i].r[c - g.check_offset[i]];
        if (t == 0) {
          ASSERT_EQ(r, messages.r[c]);
        } else {
          ASSERT_NEAR(r, messages.r[c], 1e-3 * (1 + std::fabs(r)));
        }
      }
    }
    for (int v = 0; v < g.n; ++v) {
      float T = messages.channel[v];
      for (int b = g.bit_offset[v]; b < g.bit_offset[v + 1]; ++b) T += messages.r[g.bit_r_edge[b]];
      ASSERT_NEAR(output[v], -T, 1e-3 * (1 + std::fabs(T)));
      if (std::fabs(T) > 1e-3) {
        ASSERT_EQ(bits[v], flooding[v]) << "bit " << v;
      }
      for (int b = g.bit_offset[v]; b < g.bit_offset[v + 1]; ++b) {
        const int j = b - g.bit_offset[v];
        const float D = T - messages.r[g.bit_r_edge[b]];
        if (std::fabs(D) < 1e-2) continue;  // phi0 is steep near 0
        ASSERT_EQ(s.vn[v].q_sign[j], messages.q_sign[b]);
        ASSERT_NEAR(s.vn[v].q_magnitude[j], messages.q_magnitude[b],
                    1e-3 * messages.q_magnitude[b] + 1e-6);
      }
    }
  }
}

// The step one message at a time with the scalar phi0, as the records define it: the
// step, which defers phi0 to lanes, must give the same messages and outputs bit for bit.
void reference_step(const std::vector<double>& input, State& s, std::size_t checks,
                    std::vector<double>& output) {
  for (std::size_t i = 0; i < checks; ++i) {
    const CnPtrs& check = s.cn_ptrs[i];
    float S = 0.0f;
    std::int32_t X = 0;
    for (int j = 0; j < *check.degree; ++j) {
      S += s.vn_ptrs[check.bits[j]].q_magnitude[check.sockets[j]];
      X ^= s.vn_ptrs[check.bits[j]].q_sign[check.sockets[j]];
    }
    for (int j = 0; j < *check.degree; ++j) {
      const VnPtrs& bit = s.vn_ptrs[check.bits[j]];
      const float magnitude = phi0(S - bit.q_magnitude[check.sockets[j]]);
      check.r[j] = bit.q_sign[check.sockets[j]] == X ? magnitude : -magnitude;
    }
  }
  for (std::size_t v = 0; v < input.size(); ++v) {
    const VnPtrs& bit = s.vn_ptrs[v];
    float R = 0.0f;
    for (int j = 0; j < *bit.degree; ++j) R += s.cn_ptrs[bit.checks[j]].r[bit.sockets[j]];
    output[v] = input[v] - static_cast<double>(R);
    for (int j = 0; j < *bit.degree; ++j) {
      const auto E = static_cast<float>(-output[v] - static_cast<double>(s.cn_ptrs[bit.checks[j]].r[bit.sockets[j]]));
      bit.q_magnitude[j] = phi0(std::fabs(E));
      bit.q_sign[j] = E > 0.0f ? 0 : 1;
    }
  }
}

TEST(GraphStateStep, EqualsTheMessageByMessageStepBitForBit) {
  const TestCode code = testing::as_full(testing::random_code(200, 100, 0, 3, 11));
  const std::vector<float> llr = testing::noisy_llr(
      testing::codeword_of(testing::random_code(200, 100, 0, 3, 11), testing::random_bits(200, 5)),
      0.7, 6);
  std::vector<double> input(llr.begin(), llr.end());
  State fast(code.rows, code.cols), slow(code.rows, code.cols);
  setup(fast, input, code.rows, code.cols);
  setup(slow, input, code.rows, code.cols);
  for (double& x : input) x = -x;
  // Whole steps, then steps over part of the bits and checks.
  for (const double part : {1.0, 1.0, 1.0, 0.6, 0.3}) {
    const auto n = static_cast<std::size_t>(part * static_cast<double>(input.size()));
    const auto m = static_cast<std::size_t>(part * static_cast<double>(fast.cn.size()));
    const std::vector<double> in(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<double> out_fast(n), out_slow(n);
    std::vector<int> bits(n);
    graph_state_step(in, fast.vn_ptrs, fast.cn_ptrs, m, out_fast, bits);
    reference_step(in, slow, m, out_slow);
    ASSERT_EQ(out_fast, out_slow);
    for (std::size_t i = 0; i < fast.cn.size(); ++i) ASSERT_EQ(fast.cn[i].r, slow.cn[i].r) << i;
    for (std::size_t v = 0; v < fast.vn.size(); ++v) {
      ASSERT_EQ(fast.vn[v].q_magnitude, slow.vn[v].q_magnitude) << v;
      ASSERT_EQ(fast.vn[v].q_sign, slow.vn[v].q_sign) << v;
    }
  }
}

TEST(GraphStateStep, EdgeCases) {
  // Bit 0 on check 0 alone; bit 1 on no check; check 1 of degree 0.
  State s({{0}, {}}, {{0}, {}});
  setup(s, {1.0, 3.0}, {{0}, {}}, {{0}, {}});
  std::vector<double> output(2);
  std::vector<int> bits(2);
  graph_state_step(std::vector<double>{0.0, -2.5}, s.vn_ptrs, s.cn_ptrs, 2, output, bits);
  EXPECT_EQ(s.cn[0].r[0], 10.0f);  // phi0(S - q_0) = phi0(0)
  EXPECT_EQ(output, (std::vector<double>{-10.0, -2.5}));
  EXPECT_EQ(bits, (std::vector<int>{0, 0}));
  // E = -output - r = 10 - 10 is exactly 0: sign bit 1, magnitude phi0(0).
  EXPECT_EQ(s.vn[0].q_sign[0], 1);
  EXPECT_EQ(s.vn[0].q_magnitude[0], 10.0f);

  // No bits: the checks (all of degree 0) still run.
  State empty({{}, {}}, {});
  graph_state_step({}, empty.vn_ptrs, empty.cn_ptrs, 2, {}, {});
}

// A step may cover part of the state: the first n bits and m checks are updated, the
// rest only read. Run on the whole state, the same updates must come out.
TEST(GraphStateStep, CoversPartOfTheState) {
  State whole(kChecks, kBits);
  setup(whole, {1, -1, 2, -2, 3, -3});
  State part = whole;
  GetVnPtrs(part.vn, part.vn_ptrs);
  GetCnPtrs(part.cn, part.cn_ptrs);
  std::vector<double> output(6);
  std::vector<int> bits(6);
  graph_state_step(std::vector<double>(6, 0.5), whole.vn_ptrs, whole.cn_ptrs, 3, output, bits);

  // No bits, two of the three checks: their r messages, nothing else.
  graph_state_step({}, part.vn_ptrs, part.cn_ptrs, 2, {}, {});
  EXPECT_EQ(part.cn[0].r, whole.cn[0].r);
  EXPECT_EQ(part.cn[1].r, whole.cn[1].r);
  EXPECT_EQ(part.cn[2].r, (std::vector<float>(3, 0.0f)));
  // Then check 2 alone and the first four bits, which read the r messages of all three.
  graph_state_step({}, part.vn_ptrs, std::span(part.cn_ptrs).subspan(2), 1, {}, {});
  std::vector<double> first(4);
  std::vector<int> first_bits(4);
  graph_state_step(std::vector<double>(4, 0.5), part.vn_ptrs, part.cn_ptrs, 0, first, first_bits);
  EXPECT_EQ(first, std::vector<double>(output.begin(), output.begin() + 4));
  for (int v = 0; v < 4; ++v) EXPECT_EQ(part.vn[v], whole.vn[v]) << "bit " << v;
  EXPECT_NE(part.vn[5], whole.vn[5]);

  std::vector<double> seven(7);
  std::vector<int> seven_bits(7);
  EXPECT_THROW(graph_state_step(seven, part.vn_ptrs, part.cn_ptrs, 3, seven, seven_bits),
               std::invalid_argument);
  EXPECT_THROW(graph_state_step({}, part.vn_ptrs, part.cn_ptrs, 4, {}, {}), std::invalid_argument);
}

TEST(GraphStateStep, RefusesIndicesAndSocketsOutsideTheState) {
  State s(kChecks, kBits);
  setup(s, {1, -1, 2, -2, 3, -3});
  std::vector<double> output(6);
  std::vector<int> bits(6);
  const std::vector<double> input(6, 0.5);
  const auto expect_refusal = [&](const std::string& message) {
    const std::vector<VnState> vn_before = s.vn;
    const std::vector<CnState> cn_before = s.cn;
    try {
      graph_state_step(input, s.vn_ptrs, s.cn_ptrs, s.cn_ptrs.size(), output, bits);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(s.vn == vn_before && s.cn == cn_before) << message;
  };
  s.vn[2].checks[1] = 3;
  expect_refusal("edge 1 of vn_state[2] leads to cn_state[3], outside 0..2");
  s.vn[2].checks[1] = 1;
  s.vn[2].sockets[1] = 3;
  expect_refusal("edge 1 of vn_state[2] has socket 3, but cn_state[1] has 3 edges");
  s.vn[2].sockets[1] = 0;
  s.cn[1].bits[0] = -1;
  expect_refusal("edge 0 of cn_state[1] leads to vn_state[-1], outside 0..5");
  s.cn[1].bits[0] = 1;
  expect_refusal("edge 0 of cn_state[1] has socket 1, but vn_state[1] has 1 edges");
  s.cn[1].bits[0] = 2;
  s.cn[1].sockets[0] = 2;
  expect_refusal("edge 0 of cn_state[1] has socket 2, but vn_state[2] has 2 edges");
  s.cn[1].sockets[0] = 1;
  graph_state_step(input, s.vn_ptrs, s.cn_ptrs, s.cn_ptrs.size(), output, bits);
  EXPECT_THROW(graph_state_step(std::vector<double>(5), s.vn_ptrs, s.cn_ptrs, 3, output, bits),
               std::invalid_argument);
}

TEST(GraphState, RecordsRefuseArraysShorterThanTheDegree) {
  std::vector<VnState> vn = make_vn_state(std::vector<int>{2});
  vn[0].q_sign.resize(1);
  std::vector<VnPtrs> records(1);
  EXPECT_THROW(GetVnPtrs(vn, records), std::invalid_argument);
  std::vector<CnState> cn = make_cn_state(std::vector<int>{1});
  std::vector<CnPtrs> cn_records(2);
  EXPECT_THROW(GetCnPtrs(cn, cn_records), std::invalid_argument);
  EXPECT_THROW(make_vn_state(std::vector<int>{-1}), std::invalid_argument);
}

}  // namespace
}  // namespace linkforge::ldpc
