// The whole turbo decoder against the per-call path it stands for: trellis_posterior
// twice per iteration with the extrinsic values formed in double precision. Results
// must agree bit for bit on every SIMD target this CPU runs, for every operator, frame
// count, block length and thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "hwy/targets.h"
#include "hwy_targets.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"
#include "linkforge/turbo.hpp"

namespace linkforge {
namespace {

// F frames of channel values, row-major.
struct Channel {
  std::size_t F = 0, L = 0, m = 0;
  std::vector<double> ys, yp1, yp2, ytail;

  TurboChannel view() const {
    return {FrameView<const double>::row_major(ys.data(), F, L),
            FrameView<const double>::row_major(yp1.data(), F, L),
            FrameView<const double>::row_major(yp2.data(), F, L),
            FrameView<const double>::row_major(ytail.data(), F, 4 * m)};
  }
};

Channel random_channel(std::size_t F, std::size_t L, std::size_t m, std::mt19937& rng) {
  Channel c{F,
            L,
            m,
            std::vector<double>(F * L),
            std::vector<double>(F * L),
            std::vector<double>(F * L),
            std::vector<double>(F * 4 * m)};
  std::normal_distribution<double> noise(0.0, 1.5);
  std::bernoulli_distribution bit(0.5);
  for (auto* v : {&c.ys, &c.yp1, &c.yp2, &c.ytail}) {
    for (double& x : *v) x = (bit(rng) ? 2.0 : -2.0) + noise(rng);
  }
  // Punctured positions, and values at the ends of the useful range.
  for (std::size_t i = 0; i < c.yp1.size(); i += 3) c.yp1[i] = 0.0;
  if (!c.ys.empty()) c.ys[0] = -0.0;
  if (c.ys.size() > 1) c.ys[1] = 400.0;
  return c;
}

// a-posteriori values after every iteration (iterations x L) of frame f, as the
// per-call path gives them.
std::vector<double> reference(const Channel& c, std::size_t f, const Trellis& t,
                              const std::vector<int>& alpha, int iterations, int type) {
  const std::size_t L = c.L, m = c.m;
  const double* ys = &c.ys[f * L];
  std::vector<float> input1, input2;
  for (std::size_t k = 0; k < L; ++k) {
    input1.push_back(static_cast<float>(ys[k]));
    input1.push_back(static_cast<float>(c.yp1[f * L + k]));
    input2.push_back(static_cast<float>(ys[alpha[k]]));
    input2.push_back(static_cast<float>(c.yp2[f * L + k]));
  }
  for (std::size_t i = 0; i < 2 * m; ++i) {
    input1.push_back(static_cast<float>(c.ytail[f * 4 * m + i]));
    input2.push_back(static_cast<float>(c.ytail[f * 4 * m + 2 * m + i]));
  }
  std::vector<double> apriori(L, 0.0), extrinsic(L), app_all;
  std::vector<float> soft(L), u(L), out_c(input1.size());
  for (int it = 0; it < iterations; ++it) {
    for (std::size_t k = 0; k < L; ++k) soft[k] = static_cast<float>(apriori[k]);
    trellis_posterior(soft, input1, t, static_cast<MaxStar>(type), u, out_c);
    for (std::size_t k = 0; k < L; ++k) {
      const auto a = static_cast<std::size_t>(alpha[k]);
      extrinsic[k] = (static_cast<double>(u[a]) - apriori[a]) - ys[a];
      soft[k] = static_cast<float>(extrinsic[k]);
    }
    trellis_posterior(soft, input2, t, static_cast<MaxStar>(type), u, out_c);
    std::vector<double> app(L, 0.0);
    std::fill(apriori.begin(), apriori.end(), 0.0);
    for (std::size_t k = 0; k < L; ++k) {
      const auto a = static_cast<std::size_t>(alpha[k]);
      apriori[a] = (static_cast<double>(u[k]) - extrinsic[k]) - ys[a];
      app[a] = u[k];
    }
    app_all.insert(app_all.end(), app.begin(), app.end());
  }
  return app_all;
}

// Equal as bit patterns, so that -0.0 and 0.0 differ and NaN equals NaN.
bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

struct Case {
  int K;  // 0: the cellular code, g = [1 0 1 1; 1 1 0 1]
  std::size_t F, L;
  int iterations;
};

TEST(TurboDecode, MatchesThePerCallPathOnEveryTarget) {
  std::mt19937 rng(2024);
  const Case cases[] = {{0, 35, 70, 3}, {4, 37, 40, 3}, {3, 16, 13, 2}, {5, 2, 29, 2},
                        {1, 5, 7, 2},   {2, 1, 1, 3},   {6, 17, 11, 2}};
  for (Case cs : cases) {
    // A random recursive code: feedback row 0 with its top tap, parity row 1.
    std::vector<double> g(2 * static_cast<std::size_t>(std::max(cs.K, 4)));
    for (double& tap : g) tap = rng() % 2;
    g[0] = 1;
    if (cs.K == 0) {
      g = {1, 1, 0, 1, 1, 0, 1, 1};  // column-major [1 0 1 1; 1 1 0 1]
      cs.K = 4;
    }
    const Trellis t = make_trellis(generator_polynomials(g, 2, cs.K), cs.K, true);
    const std::size_t m = static_cast<std::size_t>(cs.K - 1);
    const Channel c = random_channel(cs.F, cs.L, m, rng);
    std::vector<int> alpha(cs.L);
    std::iota(alpha.begin(), alpha.end(), 0);
    std::shuffle(alpha.begin(), alpha.end(), rng);
    if (cs.L > 3 && cs.K == 5) alpha[2] = alpha[3];  // a repeat leaves a position unnamed
    for (int type = 0; type < kMaxStarTypes; ++type) {
      std::vector<std::vector<double>> expected;
      for (std::size_t f = 0; f < cs.F; ++f) {
        expected.push_back(reference(c, f, t, alpha, cs.iterations, type));
      }
      for_each_target([&](const std::string& target, bool) {
        for (const int threads : {1, 2, 3}) {
          std::vector<double> app(cs.F * cs.L, -1.0), all(cs.iterations * cs.F * cs.L, -1.0);
          TurboDecodeParams params;
          params.iterations = cs.iterations;
          params.max_star = static_cast<MaxStar>(type);
          params.threads = threads;
          TurboResults results;
          results.app = FrameView<double>::row_major(app.data(), cs.F, cs.L);
          results.app_all = {results.app, static_cast<std::size_t>(cs.iterations), 0};
          results.app_all.first.data = all.data();
          results.app_all.page_stride = static_cast<std::ptrdiff_t>(cs.F * cs.L);
          turbo_decode(c.view(), t, alpha, params, results);
          for (std::size_t f = 0; f < cs.F; ++f) {
            for (std::size_t k = 0; k < cs.L; ++k) {
              const std::size_t last = (cs.iterations - 1) * cs.L + k;
              ASSERT_TRUE(same_bits(app[f * cs.L + k], expected[f][last]))
                  << target << ", K " << cs.K << ", type " << type << ", threads " << threads
                  << ", frame " << f << ", bit " << k << ": " << app[f * cs.L + k] << " vs "
                  << expected[f][last];
              for (int it = 0; it < cs.iterations; ++it) {
                ASSERT_TRUE(same_bits(all[(it * cs.F + f) * cs.L + k], expected[f][it * cs.L + k]))
                    << target << ", iteration " << it;
              }
            }
          }
        }
      });
    }
  }
}

// Blocks long enough that a group of frames keeps only every 32nd backward row and
// recomputes the others (the tests above keep every row): the same results.
TEST(TurboDecode, RecomputedBackwardRowsGiveTheSameResults) {
  std::mt19937 rng(77);
  const std::size_t F = 3, L = 20000;
  // The cellular code (its own unrolled recursion) and a 16-state code.
  const std::vector<double> cellular = {1, 1, 0, 1, 1, 0, 1, 1};  // [1 0 1 1; 1 1 0 1]
  const std::vector<double> sixteen = {1, 1, 0, 1, 1, 0, 1, 1, 1, 0};
  for (const int K : {4, 5}) {
    const Trellis t =
        make_trellis(generator_polynomials(K == 4 ? cellular : sixteen, 2, K), K, true);
    const Channel c = random_channel(F, L, static_cast<std::size_t>(K - 1), rng);
    std::vector<int> alpha(L);
    std::iota(alpha.begin(), alpha.end(), 0);
    std::shuffle(alpha.begin(), alpha.end(), rng);
    for (const int type : {1, 3}) {
      std::vector<double> app(F * L);
      TurboDecodeParams params;
      params.iterations = 2;
      params.max_star = static_cast<MaxStar>(type);
      TurboResults results;
      results.app = FrameView<double>::row_major(app.data(), F, L);
      turbo_decode(c.view(), t, alpha, params, results);
      for (std::size_t f = 0; f < F; ++f) {
        const std::vector<double> expected = reference(c, f, t, alpha, 2, type);
        for (std::size_t k = 0; k < L; ++k) {
          ASSERT_TRUE(same_bits(app[f * L + k], expected[L + k])) << "K " << K << " type " << type;
        }
      }
    }
  }
}

// The estimate holds at least the backward metrics of a group as wide as the widest
// target the CPU runs (a group of W frames keeps (L + 4) rows of 8 x W floats), and
// counts only the threads that get a group of frames.
TEST(TurboDecode, EstimatesWorkingMemoryForTheLanesAndThreadsItUses) {
  const std::size_t L = 5114, W = turbo_frames_per_pass();
  EXPECT_GE(turbo_decode_bytes(L, 4, 1, W), (L + 4) * 8 * W * sizeof(float));
  EXPECT_EQ(turbo_decode_bytes(L, 4, 64, W), turbo_decode_bytes(L, 4, 1, W));
  EXPECT_EQ(turbo_decode_bytes(L, 4, 64, 2 * W + 1), turbo_decode_bytes(L, 4, 3, 3 * W));
  EXPECT_LT(turbo_decode_bytes(L, 4, 64, 1), turbo_decode_bytes(L, 4, 64));
}

// Host layouts: an Octave F x L matrix is column-major; the results are the same.
TEST(TurboDecode, ReadsAndWritesColumnMajorFrames) {
  std::mt19937 rng(7);
  const Trellis t = make_trellis(std::vector<int>{13, 15}, 4, true);
  const std::size_t F = 19, L = 24, m = 3;
  const Channel c = random_channel(F, L, m, rng);
  std::vector<int> alpha(L);
  std::iota(alpha.rbegin(), alpha.rend(), 0);
  Channel col = c;
  const auto transpose = [](const std::vector<double>& rows, std::size_t F, std::size_t n) {
    std::vector<double> out(rows.size());
    for (std::size_t f = 0; f < F; ++f) {
      for (std::size_t k = 0; k < n; ++k) out[k * F + f] = rows[f * n + k];
    }
    return out;
  };
  col.ys = transpose(c.ys, F, L);
  col.yp1 = transpose(c.yp1, F, L);
  col.yp2 = transpose(c.yp2, F, L);
  col.ytail = transpose(c.ytail, F, 4 * m);
  const TurboChannel view{FrameView<const double>::column_major(col.ys.data(), F, L),
                          FrameView<const double>::column_major(col.yp1.data(), F, L),
                          FrameView<const double>::column_major(col.yp2.data(), F, L),
                          FrameView<const double>::column_major(col.ytail.data(), F, 4 * m)};
  TurboDecodeParams params;
  params.iterations = 4;
  params.max_star = MaxStar::kMaxLog;
  std::vector<double> rows(F * L), cols(F * L);
  TurboResults by_row, by_col;
  by_row.app = FrameView<double>::row_major(rows.data(), F, L);
  by_col.app = FrameView<double>::column_major(cols.data(), F, L);
  turbo_decode(c.view(), t, alpha, params, by_row);
  turbo_decode(view, t, alpha, params, by_col);
  EXPECT_EQ(transpose(rows, F, L), cols);
}

// With early stopping a frame ends after the first iteration whose decisions repeat the
// previous one's, keeping that iteration's values; the others run on unchanged.
TEST(TurboDecode, StopsEachFrameWhenItsDecisionsRepeat) {
  std::mt19937 rng(11);
  const Trellis t = make_trellis(std::vector<int>{13, 15}, 4, true);
  const std::size_t F = 21, L = 50, m = 3;
  Channel c = random_channel(F, L, m, rng);
  for (std::size_t i = 0; i < L; ++i) c.ys[5 * L + i] *= 0.1;  // a frame that needs longer
  std::vector<int> alpha(L);
  std::iota(alpha.begin(), alpha.end(), 0);
  std::shuffle(alpha.begin(), alpha.end(), rng);
  const int iterations = 8;
  TurboDecodeParams params;
  params.iterations = iterations;
  params.max_star = MaxStar::kExact;
  params.early_stop = EarlyStop::kUnchangedDecisions;
  std::vector<double> app(F * L), all(iterations * F * L);
  std::vector<int> runs(F);
  TurboResults results;
  results.app = FrameView<double>::row_major(app.data(), F, L);
  results.app_all = {FrameView<double>::row_major(all.data(), F, L), iterations,
                     static_cast<std::ptrdiff_t>(F * L)};
  results.iterations_run = runs;
  turbo_decode(c.view(), t, alpha, params, results);
  for (std::size_t f = 0; f < F; ++f) {
    const std::vector<double> expected = reference(c, f, t, alpha, iterations, 4);
    int stop = iterations;
    for (int it = 1; it < iterations && stop == iterations; ++it) {
      bool same = true;
      for (std::size_t k = 0; k < L; ++k) {
        same &= (expected[it * L + k] > 0) == (expected[(it - 1) * L + k] > 0);
      }
      if (same) stop = it + 1;
    }
    EXPECT_EQ(runs[f], stop) << "frame " << f;
    for (std::size_t k = 0; k < L; ++k) {
      ASSERT_EQ(app[f * L + k], expected[(stop - 1) * L + k]) << "frame " << f;
      for (int it = 0; it < iterations; ++it) {
        ASSERT_EQ(all[(it * F + f) * L + k], expected[std::min(it, stop - 1) * L + k]);
      }
    }
  }
}

// Turbo-encoded blocks that end in their CRC-24A parity bits, each frame with noise of
// its own strength. With the CRC stop a frame ends at the first iteration whose decisions
// pass crc_check in the run without a stop, keeping that iteration's values; the counts
// and values agree on every target and thread count, and with the frame decoded alone
// (one frame of the exact operator goes through trellis_posterior itself).
TEST(TurboDecode, StopsEachFrameAtTheFirstIterationWhoseDecisionsPassTheCrc) {
  std::mt19937 rng(5);
  const Trellis t = make_trellis(std::vector<int>{13, 15}, 4, true);
  const CrcName name = CrcName::k24A;
  const std::size_t F = 21, L = 120, m = 3, P = 24;
  const int iterations = 8;
  std::vector<int> alpha(L);
  std::iota(alpha.begin(), alpha.end(), 0);
  std::shuffle(alpha.begin(), alpha.end(), rng);
  Channel c = random_channel(F, L, m, rng);
  std::bernoulli_distribution bit(0.5);
  std::normal_distribution<double> noise(0.0, 1.0);
  const EncoderTail tail = encoder_tail(t, CodeType::kRecursive);
  for (std::size_t f = 0; f < F; ++f) {
    std::vector<std::uint8_t> block(L);
    for (std::size_t k = 0; k < L - P; ++k) block[k] = bit(rng) ? 1 : 0;
    const std::uint32_t parity = crc_parity(name, std::span(block).first(L - P));
    for (std::size_t i = 0; i < P; ++i) block[L - P + i] = (parity >> (P - 1 - i)) & 1;
    std::vector<int> data(block.begin(), block.end()), permuted(L);
    for (std::size_t k = 0; k < L; ++k) permuted[k] = data[static_cast<std::size_t>(alpha[k])];
    std::vector<int> c1(trellis_encode_length(t, L, CodeType::kRecursive)), c2(c1.size());
    trellis_encode(c1, data, t, tail);
    trellis_encode(c2, permuted, t, tail);
    const double sigma = 0.8 + 0.03 * static_cast<double>(f);
    const auto llr = [&](int b) {
      return 2 * ((2.0 * b - 1) + sigma * noise(rng)) / (sigma * sigma);
    };
    for (std::size_t k = 0; k < L; ++k) {
      c.ys[f * L + k] = llr(c1[2 * k]);
      c.yp1[f * L + k] = llr(c1[2 * k + 1]);
      c.yp2[f * L + k] = llr(c2[2 * k + 1]);
    }
    for (std::size_t i = 0; i < 2 * m; ++i) {
      c.ytail[f * 4 * m + i] = llr(c1[2 * L + i]);
      c.ytail[f * 4 * m + 2 * m + i] = llr(c2[2 * L + i]);
    }
  }
  const auto decode = [&](const Channel& ch, EarlyStop stop, MaxStar type, int threads,
                          std::vector<double>& app, std::vector<double>& all,
                          std::vector<int>& runs) {
    TurboDecodeParams params;
    params.iterations = iterations;
    params.max_star = type;
    params.early_stop = stop;
    if (stop == EarlyStop::kCrc) params.crc = name;
    params.threads = threads;
    app.assign(ch.F * L, -1.0);
    all.assign(iterations * ch.F * L, -1.0);
    runs.assign(ch.F, -1);
    TurboResults results;
    results.app = FrameView<double>::row_major(app.data(), ch.F, L);
    results.app_all = {FrameView<double>::row_major(all.data(), ch.F, L), iterations,
                       static_cast<std::ptrdiff_t>(ch.F * L)};
    results.iterations_run = runs;
    turbo_decode(ch.view(), t, alpha, params, results);
  };
  for (const MaxStar type : {MaxStar::kExact, MaxStar::kMaxLog}) {
    std::vector<double> app, all, stopped_app, stopped_all;
    std::vector<int> runs, stopped_runs;
    decode(c, EarlyStop::kNever, type, 0, app, all, runs);
    std::vector<int> stop(F, iterations);
    for (int it = iterations - 1; it >= 0; --it) {
      std::vector<double> decisions(F * L);
      for (std::size_t i = 0; i < F * L; ++i) decisions[i] = all[it * F * L + i] > 0 ? 1 : 0;
      std::vector<std::uint8_t> ok(F);
      crc_check(name, FrameView<const double>::row_major(decisions.data(), F, L), {}, ok);
      for (std::size_t f = 0; f < F; ++f) stop[f] = ok[f] != 0 ? it + 1 : stop[f];
    }
    // The noise spreads the frames over early, late and no stops.
    EXPECT_GT(std::count(stop.begin(), stop.end(), 1), 0);
    EXPECT_GT(std::count_if(stop.begin(), stop.end(), [](int s) { return s > 1; }), 0);
    EXPECT_GT(std::count(stop.begin(), stop.end(), iterations), 0);
    const auto expect_stops = [&](std::size_t first, std::size_t count, const std::string& where) {
      for (std::size_t g = 0; g < count; ++g) {
        const std::size_t f = first + g;
        ASSERT_EQ(stopped_runs[g], stop[f]) << where << ", frame " << f;
        for (std::size_t k = 0; k < L; ++k) {
          const std::size_t last = (static_cast<std::size_t>(stop[f]) - 1) * F * L + f * L + k;
          ASSERT_TRUE(same_bits(stopped_app[g * L + k], all[last])) << where << ", frame " << f;
          for (int it = 0; it < iterations; ++it) {
            const auto page = static_cast<std::size_t>(std::min(it, stop[f] - 1));
            ASSERT_TRUE(
                same_bits(stopped_all[(it * count + g) * L + k], all[(page * F + f) * L + k]))
                << where << ", frame " << f << ", iteration " << it;
          }
        }
      }
    };
    for_each_target([&](const std::string& target, bool) {
      for (const int threads : {1, 2}) {
        decode(c, EarlyStop::kCrc, type, threads, stopped_app, stopped_all, stopped_runs);
        expect_stops(0, F, target + ", threads " + std::to_string(threads));
      }
    });
    for (std::size_t f = 0; f < F; ++f) {
      Channel one{1, L, m, {}, {}, {}, {}};
      one.ys.assign(c.ys.begin() + f * L, c.ys.begin() + (f + 1) * L);
      one.yp1.assign(c.yp1.begin() + f * L, c.yp1.begin() + (f + 1) * L);
      one.yp2.assign(c.yp2.begin() + f * L, c.yp2.begin() + (f + 1) * L);
      one.ytail.assign(c.ytail.begin() + f * 4 * m, c.ytail.begin() + (f + 1) * 4 * m);
      decode(one, EarlyStop::kCrc, type, 1, stopped_app, stopped_all, stopped_runs);
      expect_stops(f, 1, "alone");
    }
  }
}

TEST(TurboDecode, RefusesShapesThatDisagreeAndStopsWhenInterrupted) {
  const Trellis t = make_trellis(std::vector<int>{13, 15}, 4, true);
  std::mt19937 rng(3);
  const Channel c = random_channel(40, 100, 3, rng);
  std::vector<int> alpha(100);
  std::iota(alpha.begin(), alpha.end(), 0);
  std::vector<double> app(40 * 100);
  TurboResults results;
  results.app = FrameView<double>::row_major(app.data(), 40, 100);
  TurboDecodeParams params;
  std::vector<int> bad = alpha;
  bad[7] = 100;
  EXPECT_THROW(turbo_decode(c.view(), t, bad, params, results), std::invalid_argument);
  EXPECT_THROW(turbo_decode(c.view(), t, std::span(alpha).first(99), params, results),
               std::invalid_argument);
  const Trellis rate_third = make_trellis(std::vector<int>{13, 15, 17}, 4, true);
  EXPECT_THROW(turbo_decode(c.view(), rate_third, alpha, params, results), std::invalid_argument);
  // The CRC stop needs its CRC, and only it takes one; a frame must hold the parity bits.
  params.early_stop = EarlyStop::kCrc;
  EXPECT_THROW(turbo_decode(c.view(), t, alpha, params, results), ArgumentError);
  params.crc = static_cast<CrcName>(kCrcNameCount);
  EXPECT_THROW(turbo_decode(c.view(), t, alpha, params, results), ArgumentError);
  params.crc = CrcName::k24B;
  const Channel short_frames = random_channel(2, 23, 3, rng);
  std::vector<double> short_app(2 * 23);
  TurboResults short_results;
  short_results.app = FrameView<double>::row_major(short_app.data(), 2, 23);
  try {
    turbo_decode(short_frames.view(), t, std::span(alpha).first(23), params, short_results);
    ADD_FAILURE() << "23-bit frames passed for a 24-bit CRC";
  } catch (const ArgumentError& e) {
    EXPECT_EQ(e.refusal().fault, Fault::kShorterThanCrc);
    EXPECT_EQ(e.refusal().value, 23);
    EXPECT_EQ(e.refusal().limit, 24);
    EXPECT_STREQ(e.refusal().other, "24B");
  }
  params.early_stop = EarlyStop::kUnchangedDecisions;
  EXPECT_THROW(turbo_decode(c.view(), t, alpha, params, results), ArgumentError);
  params.crc.reset();
  params.iterations = 0;
  EXPECT_THROW(turbo_decode(c.view(), t, alpha, params, results), std::invalid_argument);
  params.iterations = 100;
  for (const int threads : {1, 2}) {
    params.threads = threads;
    EXPECT_THROW(turbo_decode(c.view(), t, alpha, params, results,
                              Interrupt([](void*) noexcept { return true; })),
                 Interrupted);
  }
}

}  // namespace
}  // namespace linkforge
