// The whole Viterbi decoder against the per-frame decoders it stands for,
// trellis_best_path and trellis_best_path_circular: every frame's decisions must agree
// bit for bit on every SIMD target this CPU runs, for every code shape, block end, frame
// count, block length and thread count, ties and extreme channel values included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hwy/targets.h"
#include "hwy_targets.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"
#include "linkforge/viterbi.hpp"
#include "peak_allocation.hpp"

namespace linkforge {
namespace {

// How a frame's channel values are drawn.
enum class Values {
  kNoisy,    // a codeword through Gaussian noise
  kTies,     // small integers and zeros: many equal metrics
  kZeros,    // all zero: every comparison a tie
  kHuge,     // magnitudes up to 1e9: candidates at or below -1e7 in the middle of a block
  kExtreme,  // near the single-precision limit: sums overflow to infinities
};

std::vector<double> frame_values(const Trellis& t, bool recursive, std::size_t L, BlockEnd end,
                                 Values kind, std::mt19937& rng) {
  const bool ring = end == BlockEnd::kTailBiting;
  std::vector<double> y(viterbi_input_length(t, L, end));
  std::normal_distribution<double> noise(0.0, 1.0);
  switch (kind) {
    case Values::kNoisy: {
      std::vector<int> data(L);
      for (int& b : data) b = static_cast<int>(rng() % 2);
      std::vector<int> code(y.size());
      if (!ring || L >= static_cast<std::size_t>(t.m)) {
        const CodeType type = ring        ? CodeType::kTailBiting
                              : recursive ? CodeType::kRecursive
                                          : CodeType::kFeedForward;
        trellis_encode(code, data, t, encoder_tail(t, type));
      }
      for (std::size_t i = 0; i < y.size(); ++i) y[i] = 2.0 * (2 * code[i] - 1) + 1.2 * noise(rng);
      break;
    }
    case Values::kTies:
      for (double& v : y) v = static_cast<double>(static_cast<int>(rng() % 5) - 2);
      break;
    case Values::kZeros:
      std::fill(y.begin(), y.end(), 0.0);
      break;
    case Values::kHuge:
      for (std::size_t i = 0; i < y.size(); ++i) {
        const double scale = (i / 7) % 3 == 0 ? 1e9 : ((i / 7) % 3 == 1 ? 3e6 : 1.0);
        y[i] = scale * noise(rng);
      }
      break;
    case Values::kExtreme:
      for (double& v : y) {
        const int r = static_cast<int>(rng() % 6);
        v = r == 0 ? 3e38 : r == 1 ? -3e38 : r == 2 ? 1e38 : 4.0 * noise(rng);
      }
      break;
  }
  if (!y.empty() && kind != Values::kZeros) y[0] = -0.0;
  return y;
}

// Decisions of the per-frame decoder for one frame's values.
std::vector<int> reference(const Trellis& t, const std::vector<double>& y, std::size_t L,
                           BlockEnd end, std::size_t depth_steps) {
  std::vector<float> c(y.size());
  for (std::size_t i = 0; i < y.size(); ++i) c[i] = static_cast<float>(y[i]);
  std::vector<int> out(L);
  if (end == BlockEnd::kTailBiting) {
    trellis_best_path_circular(out, c, t, depth_steps);
  } else {
    trellis_best_path(out, c, t);
  }
  return out;
}

struct Case {
  int K, n;
  bool recursive;
  BlockEnd end;
  std::size_t F, L, depth_steps;
};

// A random code of K columns and n rows; the first row of a recursive code keeps its
// top tap (the feedback), and every code taps its newest bit somewhere.
Trellis random_code(int K, int n, bool recursive, std::mt19937& rng) {
  std::vector<int> g(static_cast<std::size_t>(n));
  for (int& gi : g) gi = static_cast<int>(rng() % (1u << K));
  g[0] |= 1 << (K - 1);
  return make_trellis(g, K, recursive);
}

TEST(ViterbiDecode, MatchesThePerFrameDecoderOnEveryTarget) {
  std::mt19937 rng(2025);
  const BlockEnd T = BlockEnd::kTerminated, R = BlockEnd::kTailBiting;
  const Case cases[] = {
      {7, 2, false, T, 35, 61, 0},  {7, 2, false, R, 17, 45, 42}, {3, 2, true, T, 16, 33, 0},
      {1, 1, false, T, 3, 9, 0},    {1, 3, false, R, 2, 5, 3},    {2, 4, true, T, 18, 1, 0},
      {9, 2, false, R, 5, 30, 9},   {9, 3, true, T, 4, 21, 0},    {5, 4, false, T, 1, 70, 0},
      {4, 1, true, R, 19, 7, 40},   {6, 3, false, R, 33, 12, 0},  {8, 4, true, T, 2, 13, 0},
      {5, 2, true, R, 7, 1, 5},     {7, 2, false, T, 5, 0, 0},    {2, 1, false, R, 9, 3, 2},
  };
  const Values kinds[] = {Values::kNoisy, Values::kTies, Values::kZeros, Values::kHuge,
                          Values::kExtreme};
  for (const Case& cs : cases) {
    const Trellis t = random_code(cs.K, cs.n, cs.recursive, rng);
    const std::size_t CL = viterbi_input_length(t, cs.L, cs.end);
    std::vector<double> input(cs.F * CL);  // row-major: frame f at f * CL
    std::vector<std::vector<int>> expected;
    for (std::size_t f = 0; f < cs.F; ++f) {
      const std::vector<double> y = frame_values(t, cs.recursive, cs.L, cs.end, kinds[f % 5], rng);
      std::copy(y.begin(), y.end(), input.begin() + static_cast<std::ptrdiff_t>(f * CL));
      expected.push_back(reference(t, y, cs.L, cs.end, cs.depth_steps));
    }
    ViterbiParams params;
    params.block_end = cs.end;
    params.depth_steps = cs.depth_steps;
    for_each_target([&](const std::string& target, bool) {
      for (const int threads : {1, 2, 3}) {
        params.threads = threads;
        std::vector<double> out(cs.F * cs.L, -1.0);
        viterbi_decode(FrameView<const double>::row_major(input.data(), cs.F, CL), t, params,
                       FrameView<double>::row_major(out.data(), cs.F, cs.L));
        for (std::size_t f = 0; f < cs.F; ++f) {
          for (std::size_t k = 0; k < cs.L; ++k) {
            ASSERT_EQ(out[f * cs.L + k], expected[f][k])
                << target << ", K " << cs.K << ", n " << cs.n << (cs.recursive ? " recursive" : "")
                << (cs.end == R ? " tail-biting" : " terminated") << ", threads " << threads
                << ", frame " << f << " (values " << f % 5 << "), bit " << k;
          }
        }
      }
    });
  }
}

// Long blocks whose metrics come close to the start value -1e7 now and then (bursts of
// huge values between long quiet stretches): the decoder switches between its steps with
// and without the first comparison, and must agree with the per-frame decoder across
// every switch.
TEST(ViterbiDecode, MatchesAcrossBurstsOfHugeValues) {
  std::mt19937 rng(99);
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  for (const BlockEnd end : {BlockEnd::kTerminated, BlockEnd::kTailBiting}) {
    const std::size_t F = 20, L = 1500;
    const std::size_t CL = viterbi_input_length(t, L, end);
    std::vector<double> input(F * CL);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<std::vector<int>> expected;
    for (std::size_t f = 0; f < F; ++f) {
      std::vector<double> y(CL);
      const double burst = f % 4 == 0 ? 0.0 : std::pow(10.0, 4.0 + static_cast<double>(f % 5));
      for (std::size_t i = 0; i < CL; ++i) {
        const bool in_burst = (i / 50) % 9 == static_cast<std::size_t>(f % 9);
        y[i] = (in_burst ? burst : 3.0) * noise(rng);
      }
      std::copy(y.begin(), y.end(), input.begin() + static_cast<std::ptrdiff_t>(f * CL));
      expected.push_back(reference(t, y, L, end, 42));
    }
    ViterbiParams params;
    params.block_end = end;
    params.depth_steps = 42;
    for_each_target([&](const std::string& target, bool) {
      std::vector<double> out(F * L);
      params.threads = 2;
      viterbi_decode(FrameView<const double>::row_major(input.data(), F, CL), t, params,
                     FrameView<double>::row_major(out.data(), F, L));
      for (std::size_t f = 0; f < F; ++f) {
        for (std::size_t k = 0; k < L; ++k) {
          ASSERT_EQ(out[f * L + k], expected[f][k]) << target << ", frame " << f << ", bit " << k;
        }
      }
    });
  }
}

// Host layouts: an Octave F x CL matrix is column-major; the decisions are the same as
// from row-major frames, and a noiseless codeword decodes to its data.
TEST(ViterbiDecode, ReadsAndWritesColumnMajorFrames) {
  std::mt19937 rng(7);
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  const std::size_t F = 23, L = 100;
  const std::size_t CL = viterbi_input_length(t, L, BlockEnd::kTerminated);
  std::vector<double> rows(F * CL), cols(F * CL);
  std::vector<std::vector<int>> data(F, std::vector<int>(L));
  for (std::size_t f = 0; f < F; ++f) {
    for (int& b : data[f]) b = static_cast<int>(rng() % 2);
    std::vector<int> code(CL);
    trellis_encode(code, data[f], t, encoder_tail(t, CodeType::kFeedForward));
    for (std::size_t i = 0; i < CL; ++i) {
      rows[f * CL + i] = cols[i * F + f] = 3.0 * (2 * code[i] - 1);
    }
  }
  std::vector<double> by_row(F * L), by_col(F * L);
  const ViterbiParams params;
  viterbi_decode(FrameView<const double>::row_major(rows.data(), F, CL), t, params,
                 FrameView<double>::row_major(by_row.data(), F, L));
  viterbi_decode(FrameView<const double>::column_major(cols.data(), F, CL), t, params,
                 FrameView<double>::column_major(by_col.data(), F, L));
  for (std::size_t f = 0; f < F; ++f) {
    for (std::size_t k = 0; k < L; ++k) {
      ASSERT_EQ(by_row[f * L + k], data[f][k]);
      ASSERT_EQ(by_col[k * F + f], data[f][k]);
    }
  }
}

TEST(ViterbiDecode, RefusesShapesThatDisagreeAndStopsWhenInterrupted) {
  const Trellis t = make_trellis(std::vector<int>{7, 5}, 3, false);
  const std::size_t F = 40, L = 20000;
  std::vector<double> in(F * (L + 2) * 2, 1.0), out(F * L);
  const auto input = FrameView<const double>::row_major(in.data(), F, (L + 2) * 2);
  const auto output = FrameView<double>::row_major(out.data(), F, L);
  ViterbiParams params;
  EXPECT_THROW(viterbi_decode(input, t, params, FrameView<double>::row_major(out.data(), F, L - 1)),
               std::invalid_argument);
  EXPECT_THROW(viterbi_decode(input, t, params, FrameView<double>::row_major(out.data(), F - 1, L)),
               std::invalid_argument);
  params.block_end = BlockEnd::kTailBiting;
  EXPECT_THROW(viterbi_decode(input, t, params, output), std::invalid_argument);
  EXPECT_THROW(viterbi_decode(FrameView<const double>::row_major(in.data(), F, 0), t, params,
                              FrameView<double>::row_major(out.data(), F, 0)),
               std::invalid_argument);
  params.block_end = BlockEnd::kTerminated;
  for (const int threads : {1, 2}) {
    params.threads = threads;
    EXPECT_THROW(viterbi_decode(input, t, params, output,
                                Interrupt([](void*) noexcept { return true; })),
                 Interrupted);
  }
  viterbi_decode(input, t, params, output, Interrupt([](void*) noexcept { return false; }));
}

// The hosts read a block's steps from its channel values: the inverse of
// viterbi_input_length, naming what is wrong with input_c otherwise.
TEST(ViterbiDecode, BlockStepsInvertTheInputLength) {
  const Trellis t = make_trellis(std::vector<int>{7, 5}, 3, false);
  for (const BlockEnd end : {BlockEnd::kTerminated, BlockEnd::kTailBiting}) {
    for (const std::size_t L : {1, 7, 500}) {
      EXPECT_EQ(viterbi_block_steps(viterbi_input_length(t, L, end), 3, 2, end), L);
    }
  }
  const auto fault = [](std::size_t coded, BlockEnd end) {
    try {
      viterbi_block_steps(coded, 3, 2, end);
    } catch (const ArgumentError& e) {
      return e.refusal().fault;
    }
    return Fault::kOther;
  };
  EXPECT_EQ(fault(5, BlockEnd::kTerminated), Fault::kNotMultiple);
  EXPECT_EQ(fault(2, BlockEnd::kTerminated), Fault::kShorterThanTail);
  EXPECT_EQ(fault(4, BlockEnd::kTerminated), Fault::kOther);  // L = 0 is a block
  EXPECT_EQ(fault(0, BlockEnd::kTailBiting), Fault::kEmptyBlock);
}

// The working-memory estimate bounds what a call allocates, and by little more: a call
// refused for memory must really have needed it.
TEST(ViterbiDecode, MemoryEstimateBoundsTheAllocations) {
  using heap_count::peak_allocation;
  const auto within = [](std::size_t peak, std::uint64_t estimate) {
    return peak <= estimate && estimate <= peak + peak / 4 + 1024;
  };
  std::mt19937 rng(5);
  for (const auto& [K, n, L, ring] : {std::array<int, 4>{1, 1, 10, 0}, {3, 2, 500, 1},
                                      {7, 2, 2000, 0}, {9, 4, 300, 1}, {5, 3, 1, 0}, {2, 6, 40, 0}}) {
    const Trellis t = random_code(K, n, false, rng);
    ViterbiParams params;
    params.block_end = ring ? BlockEnd::kTailBiting : BlockEnd::kTerminated;
    params.depth_steps = 6 * static_cast<std::size_t>(K);
    params.threads = 1;
    const std::size_t F = 3 * viterbi_frames_per_pass() + 1;
    const std::size_t CL = viterbi_input_length(t, static_cast<std::size_t>(L), params.block_end);
    const std::vector<double> in(F * CL, 0.5);
    std::vector<double> out(F * static_cast<std::size_t>(L));
    const std::size_t peak = peak_allocation([&] {
      viterbi_decode(FrameView<const double>::row_major(in.data(), F, CL), t, params,
                     FrameView<double>::row_major(out.data(), F, static_cast<std::size_t>(L)));
    });
    const std::uint64_t estimate = viterbi_decode_bytes(K, n, static_cast<std::size_t>(L), params);
    EXPECT_TRUE(within(peak, estimate)) << "K " << K << ", n " << n << ": " << peak
                                        << " bytes, estimate " << estimate;
    params.threads = 2;
    EXPECT_LE(peak_allocation([&] {
                viterbi_decode(FrameView<const double>::row_major(in.data(), F, CL), t, params,
                               FrameView<double>::row_major(out.data(), F, static_cast<std::size_t>(L)));
              }),
              viterbi_decode_bytes(K, n, static_cast<std::size_t>(L), params));
  }
  EXPECT_EQ(viterbi_decode_bytes(40, 2, 10, ViterbiParams{}), kSizeSaturated);
}

}  // namespace
}  // namespace linkforge
