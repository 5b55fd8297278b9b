// The whole soft demapper against the two per-frame kernels it stands for,
// plane_metrics then symbol_bit_metrics: every output must agree bit for bit on every
// SIMD target this CPU runs, for every operator, signal-set size, layout, frame count,
// symbol count (not multiples of the lane count) and thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "hwy_targets.hpp"
#include "linkforge/soft_demap.hpp"

namespace linkforge {
namespace {

struct Case {
  std::size_t M, F, N;
  bool complex_samples, faded, prior;
  float es_no;
};

// F x L values stored row by row or column by column.
struct Frames {
  std::vector<double> data;
  std::size_t F, L;
  bool rows;
  double& at(std::size_t f, std::size_t k) { return data[rows ? f * L + k : f + k * F]; }
  FrameView<const double> view() const {
    return rows ? FrameView<const double>::row_major(data.data(), F, L)
                : FrameView<const double>::column_major(data.data(), F, L);
  }
  FrameView<double> out() {
    return rows ? FrameView<double>::row_major(data.data(), F, L)
                : FrameView<double>::column_major(data.data(), F, L);
  }
};

Frames random_frames(std::size_t F, std::size_t L, bool rows, std::mt19937& rng, double sd) {
  Frames x{std::vector<double>(F * L), F, L, rows};
  std::normal_distribution<double> g(0.0, sd);
  for (double& v : x.data) v = g(rng);
  return x;
}

// Bit patterns equal (so -0 differs from +0 and NaN payloads count).
void expect_same(double got, double want, const std::string& where) {
  std::uint64_t a, b;
  std::memcpy(&a, &got, sizeof a);
  std::memcpy(&b, &want, sizeof b);
  ASSERT_EQ(a, b) << where << ": " << got << " vs " << want;
}

void check_case(const Case& c, MaxStar op, bool rows, int threads, std::mt19937& rng,
                const std::string& target) {
  const std::size_t m = static_cast<std::size_t>(compute_bits_per_symbol(c.M));
  std::vector<double> s_re(c.M), s_im(c.M);
  std::normal_distribution<double> g(0.0, 1.0);
  for (std::size_t i = 0; i < c.M; ++i) {
    s_re[i] = g(rng);
    s_im[i] = c.complex_samples ? g(rng) : 0.0;
  }
  // Some samples sit exactly on a point: zero distances give signed zeros.
  Frames y_re = random_frames(c.F, c.N, rows, rng, 1.0);
  Frames y_im = random_frames(c.F, c.N, rows, rng, 1.0);
  for (std::size_t f = 0; f < c.F; ++f) {
    for (std::size_t j = 0; j < c.N; j += 5) {
      y_re.at(f, j) = s_re[j % c.M];
      y_im.at(f, j) = s_im[j % c.M];
    }
  }
  Frames a_re = random_frames(c.F, c.N, rows, rng, 1.0);
  Frames a_im = random_frames(c.F, c.N, rows, rng, 1.0);
  Frames prior = random_frames(c.F, c.N * m, rows, rng, 3.0);
  Frames out{std::vector<double>(c.F * c.N * m), c.F, c.N * m, rows};

  const ComplexFrames y{y_re.view(), c.complex_samples ? y_im.view() : FrameView<const double>{}};
  const ComplexFrames fade{c.faded ? a_re.view() : FrameView<const double>{},
                           c.faded ? a_im.view() : FrameView<const double>{}};
  const SoftDemapParams params{op, c.es_no, threads};
  soft_demap(y, {s_re, c.complex_samples ? std::span<const double>(s_im) : std::span<const double>()},
             fade, c.prior ? prior.view() : FrameView<const double>{}, params, out.out());

  for (std::size_t f = 0; f < c.F; ++f) {
    std::vector<double> yr(c.N), yi(c.N), ar(c.N), ai(c.N), metrics(c.M * c.N), want(c.N * m);
    std::vector<float> pf(c.prior ? c.N * m : 0);
    for (std::size_t j = 0; j < c.N; ++j) {
      yr[j] = y_re.at(f, j);
      yi[j] = y_im.at(f, j);
      ar[j] = a_re.at(f, j);
      ai[j] = a_im.at(f, j);
    }
    for (std::size_t b = 0; b < pf.size(); ++b) pf[b] = static_cast<float>(prior.at(f, b));
    const std::span<const double> none;
    plane_metrics({yr, c.complex_samples ? std::span<const double>(yi) : none},
                  {s_re, c.complex_samples ? std::span<const double>(s_im) : none}, c.es_no,
                  {c.faded ? std::span<const double>(ar) : none,
                   c.faded ? std::span<const double>(ai) : none},
                  metrics);
    symbol_bit_metrics(metrics, c.M, static_cast<MaxStar>(static_cast<int>(op)), pf, want);
    for (std::size_t b = 0; b < want.size(); ++b) {
      expect_same(out.at(f, b), want[b],
                  target + " M=" + std::to_string(c.M) + " op=" + std::to_string(static_cast<int>(op)) +
                      " F=" + std::to_string(c.F) + " N=" + std::to_string(c.N) +
                      " threads=" + std::to_string(threads) + " frame " + std::to_string(f) +
                      " value " + std::to_string(b));
    }
  }
}

TEST(SoftDemap, EqualsPerFrameKernelsOnEveryTarget) {
  const Case cases[] = {
      {2, 1, 1, false, false, false, 1.0f},  {4, 2, 7, true, false, true, 3.0f},
      {16, 16, 33, true, true, true, 10.0f}, {16, 3, 17, true, false, false, 0.3f},
      {64, 2, 21, true, true, false, 25.0f}, {8, 5, 9, false, true, true, 2.0f},
  };
  std::mt19937 rng(2026);
  for_each_target([&](const std::string& target, bool) {
    for (const Case& c : cases) {
      for (int op = 0; op < kMaxStarTypes; ++op) {
        check_case(c, static_cast<MaxStar>(op), (c.N % 2) == 1, 1, rng, target);
      }
    }
  });
  // Thread counts and the other layout on the best target; many tasks per call.
  for (const int threads : {1, 2, 3}) {
    check_case({16, 7, 1500, true, true, true, 5.0f}, MaxStar::kExact, false, threads, rng, "best");
    check_case({4, 40, 130, true, false, false, 5.0f}, MaxStar::kMaxLog, true, threads, rng, "best");
  }
}

TEST(SoftDemap, RefusesWhatThePerFrameKernelsRefuse) {
  std::vector<double> s_re = {-1, 1}, y = {0.5, 1e200, -0.5}, out(3);
  const auto run = [&](float es_no, std::size_t M) {
    soft_demap({FrameView<const double>::row_major(y.data(), 1, 3), {}},
               {std::span<const double>(s_re).first(M), {}}, {}, {}, {MaxStar::kMaxLog, es_no, 1},
               FrameView<double>::row_major(out.data(), 1, 3));
  };
  EXPECT_THROW(run(1.0f, 2), std::domain_error);  // a metric beyond single precision
  y[1] = 0.0;
  EXPECT_NO_THROW(run(1.0f, 2));
  EXPECT_THROW(run(0.0f, 2), std::invalid_argument);
  EXPECT_THROW(run(NAN, 2), std::invalid_argument);
  EXPECT_THROW(run(1.0f, 1), std::invalid_argument);
  std::vector<double> short_out(2);
  EXPECT_THROW(soft_demap({FrameView<const double>::row_major(y.data(), 1, 3), {}},
                          {s_re, {}}, {}, {}, {},
                          FrameView<double>::row_major(short_out.data(), 1, 2)),
               std::invalid_argument);
}

}  // namespace
}  // namespace linkforge
