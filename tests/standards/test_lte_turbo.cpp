// The LTE turbo code through the whole turbo decoder: the constituent code of
// TS 36.212 5.1.3.2.1 (feedback 1 + D^2 + D^3, parity 1 + D + D^3) and the QPP
// permutation of K = 6144, taken by turbo_decode as it is.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "linkforge/conv.hpp"
#include "linkforge/qpp.hpp"
#include "linkforge/turbo.hpp"

namespace linkforge {
namespace {

constexpr int kK = 6144;

// Encodes F random blocks with the permutation `sent` and returns the number of bit
// errors the decoder makes with the permutation `assumed`, over BPSK/AWGN at eb_n0_db.
struct Link {
  std::size_t F;
  double eb_n0_db;
  std::uint32_t seed;

  std::size_t bit_errors(const std::vector<int>& sent, const std::vector<int>& assumed,
                         MaxStar max_star) const {
    const Trellis t = make_trellis(std::vector<int>{0b1011, 0b1101}, 4, true);
    const EncoderTail tail = encoder_tail(t, CodeType::kRecursive);
    const std::size_t L = kK, m = 3;
    const double rate = static_cast<double>(L) / static_cast<double>(3 * L + 4 * m);
    const double sigma = std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, eb_n0_db / 10.0)));
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    const auto llr = [&](int bit) { return 2.0 * ((2.0 * bit - 1.0) + noise(rng)) / (sigma * sigma); };
    std::vector<int> data(F * L), block(L), interleaved(L), c1(2 * (L + m)), c2(2 * (L + m));
    std::vector<double> ys(F * L), yp1(F * L), yp2(F * L), ytail(F * 4 * m);
    for (int& bit : data) bit = static_cast<int>(rng() & 1u);
    for (std::size_t f = 0; f < F; ++f) {
      for (std::size_t k = 0; k < L; ++k) {
        block[k] = data[f * L + k];
        interleaved[k] = data[f * L + sent[k]];
      }
      trellis_encode(c1, block, t, tail);
      trellis_encode(c2, interleaved, t, tail);
      for (std::size_t k = 0; k < L; ++k) {
        ys[f * L + k] = llr(c1[2 * k]);
        yp1[f * L + k] = llr(c1[2 * k + 1]);
        yp2[f * L + k] = llr(c2[2 * k + 1]);
      }
      for (std::size_t i = 0; i < 2 * m; ++i) {
        ytail[f * 4 * m + i] = llr(c1[2 * L + i]);
        ytail[f * 4 * m + 2 * m + i] = llr(c2[2 * L + i]);
      }
    }
    std::vector<double> app(F * L);
    TurboDecodeParams params;
    params.iterations = 8;
    params.max_star = max_star;
    TurboResults results;
    results.app = FrameView<double>::row_major(app.data(), F, L);
    turbo_decode({FrameView<const double>::row_major(ys.data(), F, L),
                  FrameView<const double>::row_major(yp1.data(), F, L),
                  FrameView<const double>::row_major(yp2.data(), F, L),
                  FrameView<const double>::row_major(ytail.data(), F, 4 * m)},
                 t, assumed, params, results);
    std::size_t errors = 0;
    for (std::size_t i = 0; i < F * L; ++i) errors += (app[i] > 0.0 ? 1 : 0) != data[i];
    return errors;
  }
};

TEST(LteTurbo, DecodesTheQppPermutationOfTheLargestBlockWithoutErrors) {
  std::vector<int> alpha(kK), inverse(kK);
  qpp_permutation(kK, alpha);
  for (int k = 0; k < kK; ++k) inverse[alpha[k]] = k;
  // At 1.5 dB the code of K = 6144 leaves no error after 8 iterations, with either
  // operator; the constituent codes alone, or the wrong permutation, leave many.
  const Link link{4, 1.5, 3621};
  EXPECT_EQ(link.bit_errors(alpha, alpha, MaxStar::kExact), 0u);
  EXPECT_EQ(link.bit_errors(alpha, alpha, MaxStar::kMaxLog), 0u);
  EXPECT_GT(link.bit_errors(alpha, inverse, MaxStar::kExact), link.F * kK / 100);
}

}  // namespace
}  // namespace linkforge
