#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/polar.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_reference.hpp"

namespace {

using linkforge::ArgumentError;
using linkforge::FrameView;
using linkforge::PolarLink;
using linkforge::PolarRateParams;
using linkforge::PolarSelection;

TEST(PolarRate, CodeLengthWorkedByHand) {
  struct Case {
    std::size_t K, E;
    PolarLink link;
    std::size_t N;
  };
  // n1 = ceil(log2 E) (less one when E is just past a power of two and K/E < 9/16),
  // n2 = ceil(log2 8K), n = max(min(n1, n2, n_max), 5).
  for (const Case c :
       {Case{64, 432, PolarLink::kDownlink, 512},   // n1 = 9, n2 = 9
        Case{30, 140, PolarLink::kDownlink, 128},   // 140 <= 144: n1 = 7
        Case{100, 140, PolarLink::kDownlink, 256},  // K/E >= 9/16: n1 = 8
        Case{20, 100, PolarLink::kDownlink, 128},   // n1 = 7, n2 = 8
        Case{20, 400, PolarLink::kDownlink, 256},   // n2 = 8
        Case{2, 20, PolarLink::kDownlink, 32},      // n2 = 4: n_min
        Case{200, 2000, PolarLink::kDownlink, 512}, Case{200, 2000, PolarLink::kUplink, 1024},
        Case{600, 700, PolarLink::kUplink, 1024}})
    EXPECT_EQ(linkforge::polar_code_length(c.K, c.E, c.link), c.N) << c.K << ", " << c.E;
  EXPECT_THROW(linkforge::polar_code_length(600, 700, PolarLink::kDownlink), ArgumentError);
  EXPECT_THROW(linkforge::polar_code_length(0, 10, PolarLink::kDownlink), ArgumentError);
  EXPECT_THROW(linkforge::polar_code_length(20, 19, PolarLink::kDownlink), ArgumentError);
  EXPECT_THROW(linkforge::polar_code_length(20, linkforge::kPolarMaxE + 1, PolarLink::kUplink),
               ArgumentError);
}

TEST(PolarRate, InterleaversWorkedByHand) {
  const auto j32 = linkforge::polar_subblock_interleaver(32);
  EXPECT_EQ(std::vector<std::uint32_t>(j32.begin(), j32.begin() + 12),
            (std::vector<std::uint32_t>{0, 1, 2, 4, 3, 5, 6, 7, 8, 16, 9, 17}));
  const auto j64 = linkforge::polar_subblock_interleaver(64);
  EXPECT_EQ(std::vector<std::uint32_t>(j64.begin(), j64.begin() + 10),
            (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 8, 9, 6, 7}));
  // K = 1, E = 5 of N = 32 punctures: e = y_27..y_31 = d_28 d_27 d_29 d_30 d_31. The
  // triangle (T = 3) holds rows e0 e1 e2 / e3 e4 / -, read by columns: e0 e3 e1 e4 e2.
  PolarRateParams p{1, 5, 32, false};
  EXPECT_EQ(linkforge::polar_rate_positions(p), (std::vector<std::uint32_t>{28, 27, 29, 30, 31}));
  p.interleave_coded_bits = true;
  EXPECT_EQ(linkforge::polar_rate_positions(p), (std::vector<std::uint32_t>{28, 30, 27, 31, 29}));
}

// Each codeword position sent, how many times: matching the row of positions gives the
// positions, and recovering it adds each position up once per time it was sent.
TEST(PolarRate, RecoverAddsEverySentValueAndFillsTheRest) {
  for (const PolarRateParams p :
       {PolarRateParams{20, 600, 256, false}, PolarRateParams{20, 600, 256, true},
        PolarRateParams{64, 432, 512, true}, PolarRateParams{100, 140, 256, false},
        PolarRateParams{100, 140, 256, true}, PolarRateParams{32, 32, 32, false}}) {
    const std::size_t N = p.N, E = p.E, F = 2;
    std::vector<double> code(F * N), sent(F * E), back(F * N);
    for (std::size_t i = 0; i < F * N; ++i) code[i] = static_cast<double>(i);
    linkforge::polar_rate_match(p, FrameView<const double>::row_major(code.data(), F, N),
                                FrameView<double>::row_major(sent.data(), F, E));
    linkforge::polar_rate_recover(p, FrameView<const double>::row_major(sent.data(), F, E),
                                  FrameView<double>::column_major(back.data(), F, N));
    const auto J = linkforge::polar_subblock_interleaver(N);
    const auto mode = linkforge::polar_selection(p);
    for (std::size_t n = 0; n < N; ++n) {
      // y_n is sent floor(E/N) times, once more for n < E mod N; puncturing leaves out
      // y_0..y_{N-E-1}, shortening y_E..y_{N-1}.
      std::size_t times = E / N + (n < E % N);
      if (mode == PolarSelection::kPuncturing) times = n >= N - E;
      for (std::size_t f = 0; f < F; ++f) {
        const double value = static_cast<double>(f * N + J[n]);
        const double expected = times > 0 ? static_cast<double>(times) * value
                                : mode == PolarSelection::kShortening
                                    ? linkforge::kPolarShortenedLlr
                                    : 0.0;
        EXPECT_EQ(back[f + F * J[n]], expected) << "E " << E << " n " << n << " f " << f;
      }
    }
  }
}

using linkforge::testing::encode_at;

TEST(PolarRate, ConstructionFreezesWhatIsNotSent) {
  std::mt19937 rng(5);
  // Shortening: every codeword of the adjusted code is 0 on the bits left out.
  for (const PolarRateParams p :
       {PolarRateParams{100, 140, 256, false}, PolarRateParams{300, 500, 512, false},
        PolarRateParams{20, 40, 64, false}}) {
    ASSERT_EQ(linkforge::polar_selection(p), PolarSelection::kShortening);
    const auto info = linkforge::polar_rate_construct(p);
    ASSERT_EQ(info.size(), p.K);
    const auto J = linkforge::polar_subblock_interleaver(p.N);
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<std::uint8_t> data(p.K);
      for (auto& b : data) b = static_cast<std::uint8_t>(rng() & 1);
      const auto x = encode_at(data, info, p.N);
      for (std::size_t n = p.E; n < p.N; ++n) ASSERT_EQ(x[J[n]], 0) << p.E << " " << n;
    }
  }
  // Puncturing: no information bit on a punctured position nor below
  // ceil(3N/4 - E/2) (E >= 3N/4) or ceil(9N/16 - E/4).
  struct Case {
    PolarRateParams p;
    std::uint32_t below;
  };
  for (const Case c : {Case{{64, 432, 512, false}, 168}, Case{{30, 150, 256, false}, 107}}) {
    ASSERT_EQ(linkforge::polar_selection(c.p), PolarSelection::kPuncturing);
    const auto info = linkforge::polar_rate_construct(c.p);
    ASSERT_EQ(info.size(), c.p.K);
    EXPECT_GE(info.front(), c.below);
    const auto J = linkforge::polar_subblock_interleaver(c.p.N);
    for (std::size_t n = 0; n < c.p.N - c.p.E; ++n)
      EXPECT_FALSE(std::binary_search(info.begin(), info.end(), J[n]));
  }
  EXPECT_EQ(linkforge::polar_rate_construct({20, 600, 256, false}),
            linkforge::polar_construct(20, 256));
}

// Encode at the adjusted positions, match, BPSK, recover, decode: the data come back,
// shortened bits included as certain zeros.
TEST(PolarRate, NoiselessChainDecodes) {
  std::mt19937 rng(7);
  for (const PolarRateParams p :
       {PolarRateParams{64, 432, 512, false}, PolarRateParams{20, 600, 256, true},
        PolarRateParams{100, 140, 256, true}, PolarRateParams{30, 150, 256, false},
        PolarRateParams{20, 40, 64, false}}) {
    const auto info = linkforge::polar_rate_construct(p);
    const std::size_t F = 3, N = p.N, E = p.E, K = p.K;
    std::vector<std::uint8_t> data(F * K), code(F * N), decoded(F * K);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() & 1);
    linkforge::polar_encode_frames(FrameView<const std::uint8_t>::row_major(data.data(), F, K),
                                   info, N, FrameView<std::uint8_t>::row_major(code.data(), F, N));
    std::vector<double> bits(code.begin(), code.end()), sent(F * E), back(F * N);
    linkforge::polar_rate_match(p, FrameView<const double>::row_major(bits.data(), F, N),
                                FrameView<double>::row_major(sent.data(), F, E));
    for (auto& v : sent) v = v > 0.5 ? 2.0 : -2.0;
    linkforge::polar_rate_recover(p, FrameView<const double>::row_major(sent.data(), F, E),
                                  FrameView<double>::row_major(back.data(), F, N));
    std::vector<float> llr(back.begin(), back.end());
    linkforge::PolarDecodeParams dp;
    dp.list_size = 4;
    linkforge::polar_decode_frames(FrameView<const float>::row_major(llr.data(), F, N), info, dp,
                                   FrameView<std::uint8_t>::row_major(decoded.data(), F, K));
    EXPECT_EQ(decoded, data) << E;
  }
}

TEST(PolarRate, Refusals) {
  EXPECT_THROW(linkforge::polar_rate_positions({10, 100, 48, false}), ArgumentError);  // N
  EXPECT_THROW(linkforge::polar_rate_positions({0, 100, 64, false}), ArgumentError);
  EXPECT_THROW(linkforge::polar_rate_positions({65, 200, 64, false}), ArgumentError);  // K > N
  EXPECT_THROW(linkforge::polar_rate_positions({40, 39, 64, false}), ArgumentError);   // E < K
  EXPECT_THROW(linkforge::polar_subblock_interleaver(2048), ArgumentError);
  std::vector<double> a(2 * 64), b(2 * 100);
  const PolarRateParams p{10, 100, 64, false};
  EXPECT_THROW(linkforge::polar_rate_match(p, FrameView<const double>::row_major(a.data(), 2, 63),
                                           FrameView<double>::row_major(b.data(), 2, 100)),
               ArgumentError);
  EXPECT_THROW(linkforge::polar_rate_recover(p, FrameView<const double>::row_major(b.data(), 2, 99),
                                             FrameView<double>::row_major(a.data(), 2, 64)),
               ArgumentError);
}

}  // namespace
