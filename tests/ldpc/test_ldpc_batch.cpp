// The batch decoder against the per-frame decoder it stands for: every frame's decisions,
// error counts and iteration count must equal decode's bit for bit on every SIMD target
// this CPU runs, for both decoder kinds, every layout, frame count and thread count.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hwy/targets.h"
#include "ldpc/ldpc_codes.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "peak_allocation.hpp"
#include "hwy_targets.hpp"

namespace linkforge::ldpc {
namespace {

using testing::TestCode;

std::uint32_t bits_of(float x) {
  return std::bit_cast<std::uint32_t>(x);
}

// ---------------------------------------------------------------------------------
// phi0 in lanes

// Floats first..last (bit patterns, increasing) through phi0_lanes, every `step`-th,
// against phi0; the first difference is reported.
void expect_phi0_lanes_equal(std::uint32_t first, std::uint32_t last, std::uint32_t step,
                             const std::string& target) {
  constexpr std::size_t kBlock = 1 << 16;
  std::vector<float> x(kBlock), out(kBlock);
  std::uint64_t u = first;
  while (u <= last) {
    std::size_t count = 0;
    for (; count < kBlock && u <= last; ++count, u += step) {
      x[count] = std::bit_cast<float>(static_cast<std::uint32_t>(u));
    }
    phi0_lanes(std::span(x).first(count), std::span(out).first(count));
    for (std::size_t i = 0; i < count; ++i) {
      const float expected = phi0(x[i]);
      if (bits_of(out[i]) != bits_of(expected) && !(std::isnan(out[i]) && std::isnan(expected))) {
        FAIL() << target << ": phi0(" << x[i] << " = 0x" << std::hex << bits_of(x[i])
               << ") is " << out[i] << " in lanes, " << expected << " in scalar";
      }
    }
  }
}

// Every float of the range where phi0 takes the library's exponential and logarithm,
// and of the table, on the best target (a few hundred million values: the lanes and the
// scalar phi0 each take about a second); every 61st float on the other targets.
TEST(Phi0Lanes, EqualsPhi0OnEveryFloatOfItsRange) {
  const std::uint32_t low = bits_of(8e-5f);
  const std::uint32_t high = bits_of(11.0f);
  for_each_target([&](const std::string& target, bool best) {
    expect_phi0_lanes_equal(low, high, best ? 1 : 61, target);
  });
}

TEST(Phi0Lanes, ClipsNegativeZeroInfinityAndNaNAsPhi0Does) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> x = {0.0f,   -0.0f, -1.0f, -inf, inf,   1e30f,  5.0f,  10.0f,
                                10.5f,  6.0f,  1e-30f, std::numeric_limits<float>::denorm_min(),
                                9.08e-5f, std::numeric_limits<float>::quiet_NaN(), 2.5f};
  for_each_target([&](const std::string& target, bool) {
    std::vector<float> out(x.size());
    phi0_lanes(x, out);
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (std::isnan(x[i])) {
        EXPECT_TRUE(std::isnan(out[i])) << target;
      } else {
        EXPECT_EQ(bits_of(out[i]), bits_of(phi0(x[i]))) << target << ", x = " << x[i];
      }
    }
  });
}

// ---------------------------------------------------------------------------------
// Batch decoder against decode

struct Frames {
  std::size_t F = 0, n = 0, k = 0;
  std::vector<double> channel;  // F x n, row-major
  std::vector<int> data;        // F x k, row-major
};

// F noisy codewords of random data; every third frame is noiseless (it stops after one
// iteration), and one frame holds a punctured bit and values that are not floats.
Frames random_frames(const TestCode& code, std::size_t F, double sigma, unsigned seed) {
  Frames fr{F, static_cast<std::size_t>(code.n), static_cast<std::size_t>(code.k), {}, {}};
  for (std::size_t f = 0; f < F; ++f) {
    const std::vector<double> bits = testing::random_bits(fr.k, seed + 3 * f);
    const std::vector<double> word = testing::codeword_of(code, bits);
    std::mt19937 rng(seed + 3 * f + 1);
    std::normal_distribution<double> noise(0.0, sigma);
    const double amount = f % 3 == 2 ? 0.0 : 1.0;
    for (std::size_t v = 0; v < fr.n; ++v) {
      const double y = (word[v] ? -1.0 : 1.0) + amount * noise(rng);
      fr.channel.push_back(-2.0 * y / (sigma * sigma));  // ln(P(1)/P(0))
    }
    fr.data.insert(fr.data.end(), bits.begin(), bits.end());
  }
  if (F > 1) {
    fr.channel[fr.n + 1] = 0.0;
    fr.channel[fr.n + 2] = -0.0;
    fr.data[fr.k] = 2;  // a reference that matches no decision
  }
  return fr;
}

struct Expected {
  std::vector<std::uint8_t> decisions;  // F x n
  std::vector<int> errors;              // F x max_iter
  std::vector<int> runs;
};

Expected per_frame(const SparseGraph& g, const Frames& fr, const BatchDecodeParams& bp,
                   bool shared_data) {
  Expected e;
  const auto iterations = static_cast<std::size_t>(bp.max_iter);
  const DecodeParams params{bp.max_iter, bp.kind, bp.r_scale, bp.q_scale, bp.early_stop};
  for (std::size_t f = 0; f < fr.F; ++f) {
    std::vector<float> llr(fr.n);
    for (std::size_t v = 0; v < fr.n; ++v) llr[v] = -static_cast<float>(fr.channel[f * fr.n + v]);
    const std::size_t row = shared_data ? 0 : f;
    const std::vector<int> data(fr.data.begin() + row * fr.k, fr.data.begin() + (row + 1) * fr.k);
    std::vector<std::uint8_t> decisions(iterations * fr.n);
    std::vector<int> errors(iterations);
    const int run = decode(g, llr, params, data, decisions, errors);
    if (run > 0) {
      const auto last = decisions.begin() + static_cast<std::ptrdiff_t>((run - 1) * fr.n);
      e.decisions.insert(e.decisions.end(), last, last + static_cast<std::ptrdiff_t>(fr.n));
    } else {
      e.decisions.insert(e.decisions.end(), fr.n, 0);
    }
    e.errors.insert(e.errors.end(), errors.begin(), errors.end());
    e.runs.push_back(run);
  }
  return e;
}

Expected batch(const SparseGraph& g, const Frames& fr, const BatchDecodeParams& bp,
               bool shared_data, const Interrupt& interrupt = {}) {
  Expected out;
  const auto iterations = static_cast<std::size_t>(bp.max_iter);
  out.decisions.assign(fr.F * fr.n, 7);
  out.errors.assign(fr.F * iterations, -1);
  out.runs.assign(fr.F, -1);
  FrameView<const int> data = FrameView<const int>::row_major(fr.data.data(), fr.F, fr.k);
  if (shared_data) data.frame_stride = 0;
  BatchResults results{FrameView<std::uint8_t>::row_major(out.decisions.data(), fr.F, fr.n),
                       FrameView<int>::row_major(out.errors.data(), fr.F, iterations), out.runs};
  decode_batch(g, FrameView<const double>::row_major(fr.channel.data(), fr.F, fr.n), data, bp,
               results, interrupt);
  return out;
}

struct Case {
  const char* layout;
  DecoderKind kind;
  float r_scale, q_scale;
  double sigma;
  bool early_stop;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.layout << (c.kind == DecoderKind::kMinSum ? " min-sum" : " sum-product") << " r*"
      << c.r_scale << " q*" << c.q_scale << " sigma " << c.sigma
      << (c.early_stop ? " early stop" : "");
}

class BatchAgainstDecode : public ::testing::TestWithParam<Case> {};

TEST_P(BatchAgainstDecode, EveryFrameBitForBitOnEveryTargetAndThreadCount) {
  const Case& cs = GetParam();
  const std::string layout = cs.layout;
  const TestCode base = testing::random_code(90, 60, layout == "block" ? 6 : 0, 3, 31);
  const TestCode code = layout == "full" ? testing::as_full(base) : base;
  const SparseGraph g = testing::graph_of(code);
  BatchDecodeParams params;
  params.max_iter = 12;
  params.kind = cs.kind;
  params.r_scale = cs.r_scale;
  params.q_scale = cs.q_scale;
  params.early_stop = cs.early_stop;
  for (const std::size_t F : {1, 2, 16, 37}) {
    const Frames fr = random_frames(base, F, cs.sigma, static_cast<unsigned>(100 + F));
    for (const bool shared : {false, true}) {
      const Expected expected = per_frame(g, fr, params, shared);
      for_each_target([&](const std::string& target, bool) {
        for (const int threads : {1, 2, 3}) {
          params.threads = threads;
          const Expected got = batch(g, fr, params, shared);
          const std::string where = target + ", F " + std::to_string(F) + ", threads " +
                                    std::to_string(threads) + (shared ? ", shared data" : "");
          ASSERT_EQ(got.runs, expected.runs) << where;
          ASSERT_EQ(got.errors, expected.errors) << where;
          ASSERT_EQ(got.decisions, expected.decisions) << where;
        }
      });
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BatchAgainstDecode,
    ::testing::Values(Case{"staircase", DecoderKind::kSumProduct, 1.0f, 1.0f, 0.8, true},
                      Case{"staircase", DecoderKind::kMinSum, 0.75f, 1.0f, 0.8, true},
                      Case{"block", DecoderKind::kSumProduct, 0.9f, 1.1f, 0.85, false},
                      Case{"block", DecoderKind::kMinSum, 1.0f, 0.8f, 1.0, true},
                      Case{"full", DecoderKind::kSumProduct, 1.0f, 1.0f, 1.1, false},
                      Case{"full", DecoderKind::kMinSum, 0.8f, 0.9f, 0.7, false},
                      Case{"staircase", DecoderKind::kSumProduct, -0.7f, 1.3f, 0.9, true},
                      Case{"block", DecoderKind::kMinSum, 1.5f, -0.5f, 0.9, false}));

// Octave hands column-major F x n matrices; the results are the same as row-major ones.
TEST(DecodeBatch, ReadsAndWritesColumnMajorFrames) {
  const TestCode code = testing::random_code(60, 40, 0, 3, 5);
  const SparseGraph g = testing::graph_of(code);
  const Frames fr = random_frames(code, 21, 0.9, 17);
  BatchDecodeParams params;
  params.max_iter = 6;
  params.kind = DecoderKind::kMinSum;
  const Expected rows = batch(g, fr, params, false);
  const auto transpose = [](const auto& values, std::size_t F, std::size_t n) {
    std::remove_cvref_t<decltype(values)> out(values.size());
    for (std::size_t f = 0; f < F; ++f) {
      for (std::size_t v = 0; v < n; ++v) out[v * F + f] = values[f * n + v];
    }
    return out;
  };
  const std::vector<double> channel = transpose(fr.channel, fr.F, fr.n);
  const std::vector<int> data = transpose(fr.data, fr.F, fr.k);
  std::vector<std::uint8_t> decisions(fr.F * fr.n);
  std::vector<int> errors(fr.F * 6);
  decode_batch(g, FrameView<const double>::column_major(channel.data(), fr.F, fr.n),
               FrameView<const int>::column_major(data.data(), fr.F, fr.k), params,
               {FrameView<std::uint8_t>::column_major(decisions.data(), fr.F, fr.n),
                FrameView<int>::column_major(errors.data(), fr.F, 6),
                {}});
  EXPECT_EQ(decisions, transpose(rows.decisions, fr.F, fr.n));
  EXPECT_EQ(errors, transpose(rows.errors, fr.F, 6));
}

TEST(DecodeBatch, NoIterationsGiveZeroDecisionsAndTheAllZeroWordIsTheDefaultReference) {
  const TestCode code = testing::random_code(30, 20, 0, 3, 9);
  const SparseGraph g = testing::graph_of(code);
  const std::size_t F = 3, n = 50;
  std::vector<double> channel(F * n, -4.0);  // every bit decides 0 in every iteration
  std::vector<std::uint8_t> decisions(F * n, 7);
  std::vector<int> errors(F * 2, -1), runs(F, -1);
  BatchDecodeParams params;
  params.max_iter = 0;
  const auto view = FrameView<const double>::row_major(channel.data(), F, n);
  const auto run = [&](FrameView<const int> data) {
    decode_batch(g, view, data, params,
                 {FrameView<std::uint8_t>::row_major(decisions.data(), F, n),
                  FrameView<int>::row_major(errors.data(), F, params.max_iter), runs});
  };
  channel[5] = 4.0;
  run({});
  EXPECT_EQ(decisions, std::vector<std::uint8_t>(F * n, 0));
  EXPECT_EQ(runs, std::vector<int>(F, 0));
  channel[5] = -4.0;
  params.max_iter = 2;
  run({});
  EXPECT_EQ(runs, std::vector<int>(F, 1));
  EXPECT_EQ(errors, std::vector<int>(F * 2, 0));
  EXPECT_EQ(decisions, std::vector<std::uint8_t>(F * n, 0));
  const std::vector<int> ones(30, 1);
  run({ones.data(), F, 30, 0, 1});  // one reference row for every frame
  EXPECT_EQ(runs, std::vector<int>(F, 2));
  EXPECT_EQ(errors, std::vector<int>(F * 2, 30));
}

TEST(DecodeBatch, RefusesShapesThatDisagreeAndStopsWhenInterrupted) {
  const TestCode code = testing::random_code(40, 20, 0, 3, 7);
  const SparseGraph g = testing::graph_of(code);
  const Frames fr = random_frames(code, 40, 1.5, 3);
  BatchDecodeParams params;
  params.max_iter = 4;
  std::vector<int> errors(40 * 4);
  const auto channel = FrameView<const double>::row_major(fr.channel.data(), 40, 60);
  const auto data = FrameView<const int>::row_major(fr.data.data(), 40, 40);
  const BatchResults results{{}, FrameView<int>::row_major(errors.data(), 40, 4), {}};
  EXPECT_NO_THROW(decode_batch(g, channel, data, params, results));
  EXPECT_THROW(decode_batch(g, FrameView<const double>::row_major(fr.channel.data(), 40, 59),
                            data, params, results),
               std::invalid_argument);
  EXPECT_THROW(decode_batch(g, channel, FrameView<const int>::row_major(fr.data.data(), 39, 40),
                            params, results),
               std::invalid_argument);
  EXPECT_THROW(decode_batch(g, channel, data, params,
                            {{}, FrameView<int>::row_major(errors.data(), 40, 3), {}}),
               std::invalid_argument);
  params.max_iter = -1;
  EXPECT_THROW(decode_batch(g, channel, data, params, results), std::invalid_argument);
  params.max_iter = 100000;
  params.early_stop = false;
  std::vector<int> many(40 * 100000);
  for (const DecoderKind kind : {DecoderKind::kSumProduct, DecoderKind::kMinSum}) {
    for (const int threads : {1, 2}) {
      params.kind = kind;
      params.threads = threads;
      EXPECT_THROW(decode_batch(g, channel, data, params,
                                {{}, FrameView<int>::row_major(many.data(), 40, 100000), {}},
                                Interrupt([](void*) noexcept { return true; })),
                   Interrupted);
    }
  }
}

TEST(DecodeBatch, MemoryEstimateBoundsWhatOneThreadAllocates) {
  using heap_count::peak_allocation;
  for (const auto& [k, m, z] : {std::array<int, 3>{40, 20, 0}, {60, 40, 10}, {8, 4, 0}}) {
    const TestCode code = testing::random_code(k, m, z, 3, 11);
    const SparseGraph g = testing::graph_of(code);
    const Frames fr = random_frames(code, 20, 0.9, 5);
    std::size_t largest = 0;
    for (int i = 0; i < g.m; ++i) {
      largest = std::max(largest, static_cast<std::size_t>(g.check_offset[i + 1] - g.check_offset[i]));
    }
    std::vector<int> errors(20 * 5);
    std::vector<std::uint8_t> decisions(20 * fr.n);
    BatchDecodeParams params;
    params.max_iter = 5;
    params.threads = 1;
    for (const DecoderKind kind : {DecoderKind::kSumProduct, DecoderKind::kMinSum}) {
      params.kind = kind;
      const std::size_t peak = peak_allocation([&] {
        decode_batch(g, FrameView<const double>::row_major(fr.channel.data(), 20, fr.n),
                     FrameView<const int>::row_major(fr.data.data(), 20, fr.k), params,
                     {FrameView<std::uint8_t>::row_major(decisions.data(), 20, fr.n),
                      FrameView<int>::row_major(errors.data(), 20, 5), {}});
      });
      const std::uint64_t estimate = decode_batch_bytes(fr.n, fr.k, g.edges(), largest, 1);
      EXPECT_LE(peak, estimate) << "k " << k;
      EXPECT_LE(estimate, peak + 4096) << "k " << k;
    }
    // A host's whole call: the index cells, the graph, then the decoder and its results.
    const testing::Cells rows = testing::to_cells(code.rows), cols = testing::to_cells(code.cols);
    const std::size_t peak = peak_allocation([&] {
      const testing::Cells r = rows, c = cols;
      const SparseGraph built = make_sparse_graph(code.n, r.view(), c.view());
      std::vector<std::uint8_t> d(20 * fr.n);
      std::vector<int> e(20 * 5), runs(20);
      decode_batch(built, FrameView<const double>::row_major(fr.channel.data(), 20, fr.n),
                   FrameView<const int>::row_major(fr.data.data(), 20, fr.k), params,
                   {FrameView<std::uint8_t>::row_major(d.data(), 20, fr.n),
                    FrameView<int>::row_major(e.data(), 20, 5), runs});
    });
    const SparseGraphShape shape{fr.n, rows.rows, rows.cols, cols.cells.size()};
    EXPECT_LE(peak, sparse_graph_decode_memory(shape, params, 20, 20).working) << "k " << k;
  }
}

}  // namespace
}  // namespace linkforge::ldpc
