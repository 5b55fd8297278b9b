// Rate matching of the NR LDPC codes: the starting points of the redundancy versions,
// bit selection round the circular buffer past the filler bits, the bit interleaver,
// the soft inverse, and a whole link through them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "golden.hpp"
#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace linkforge::nr_ldpc {
namespace {

std::vector<double> match(const Code& code, const RateMatchParams& p, const std::vector<double>& word) {
  std::vector<double> out(static_cast<std::size_t>(p.e));
  rate_match(code, p, FrameView<const double>::row_major(word.data(), 1, word.size()),
             FrameView<double>::row_major(out.data(), 1, out.size()));
  return out;
}

std::vector<double> recover(const Code& code, const RateMatchParams& p, const std::vector<double>& llr) {
  std::vector<double> out(code.code_length(), 99.0);
  rate_recover(code, p, FrameView<const double>::row_major(llr.data(), 1, llr.size()),
               FrameView<double>::row_major(out.data(), 1, out.size()));
  return out;
}

// A "codeword" whose values are their own positions shows where every bit comes from.
std::vector<double> positions(const Code& code) {
  std::vector<double> word(code.code_length());
  for (std::size_t v = 0; v < word.size(); ++v) word[v] = static_cast<double>(v);
  return word;
}

TEST(NrRateMatch, RedundancyVersionsStartWhereTheTableSays) {
  // Table 5.4.2.1-2 at Z = 384 with the whole buffer: k0 / Z = 0, 17, 33, 56 (BG1) and
  // 0, 13, 25, 43 (BG2); a limited buffer scales them down to whole multiples of Z.
  const Code bg1 = make_code(1, 384), bg2 = make_code(2, 384);
  const std::size_t expect1[4] = {0, 17, 33, 56}, expect2[4] = {0, 13, 25, 43};
  for (int rv = 0; rv < 4; ++rv) {
    EXPECT_EQ(rate_match_start(bg1, 66 * 384, rv), expect1[rv] * 384);
    EXPECT_EQ(rate_match_start(bg2, 50 * 384, rv), expect2[rv] * 384);
  }
  EXPECT_EQ(rate_match_start(bg1, 10000, 1), 6u * 384);  // floor(17 * 10000 / 25344) = 6
  RateMatchParams p;
  p.limited_buffer = 10000;
  EXPECT_EQ(circular_buffer_length(bg1, p), 10000u);
  p.limited_buffer = 1 << 20;
  EXPECT_EQ(circular_buffer_length(bg1, p), 66u * 384);
}

TEST(NrRateMatch, SelectsRoundTheBufferPastFillerBitsAndInterleaves) {
  const Code code = make_code(2, 4);  // K = 40, N = 200 buffer bits from c_8 on
  const std::vector<double> word = positions(code);
  RateMatchParams p;
  p.e = 12;
  p.rv = 3;  // k0 = floor(43 * 200 / 200) * 4 = 172
  p.filler_start = 36;  // c_36..c_39 are filler bits
  std::vector<double> expected;
  for (int k = 0; k < 12; ++k) expected.push_back(8 + (172 + k) % 200);
  EXPECT_EQ(match(code, p, word), expected);
  // Round the end, past the filler bits: rv 0 of a buffer limited to 32 bits.
  p.rv = 0;
  p.limited_buffer = 32;
  p.e = 34;
  expected.clear();
  for (int lap = 0; lap < 2; ++lap) {
    for (int d = 0; d < 32 && expected.size() < 34; ++d) {
      if (d + 8 < 36) expected.push_back(8 + d);
    }
  }
  EXPECT_EQ(match(code, p, word), expected);
  // Qm = 4, E = 8: rows e0 e1 | e2 e3 | e4 e5 | e6 e7 read by columns.
  p = RateMatchParams{};
  p.e = 8;
  p.modulation_order = 4;
  EXPECT_EQ(match(code, p, word), (std::vector<double>{8, 10, 12, 14, 9, 11, 13, 15}));
}

TEST(NrRateMatch, RecoveryPutsEveryValueBackAndAddsRepetitions) {
  const Code code = make_code(1, 2);  // K = 44, N = 132 buffer bits from c_4 on
  RateMatchParams p;
  p.e = 2 * (132 - 6) + 4;  // every bit sent twice, four of them three times
  p.rv = 2;
  p.modulation_order = 2;
  p.filler_start = 38;  // c_38..c_43
  const std::vector<double> sent = match(code, p, positions(code));
  const std::vector<double> back = recover(code, p, sent);
  std::vector<int> times(code.code_length(), 0);
  for (const double v : sent) ++times[static_cast<std::size_t>(v)];
  int thrice = 0;
  for (std::size_t v = 0; v < back.size(); ++v) {
    if (v >= 38 && v < 44) {
      EXPECT_EQ(times[v], 0) << v;
      EXPECT_EQ(back[v], -kAppLimit) << v;
    } else {
      EXPECT_EQ(times[v], v < 4 ? 0 : times[v] == 3 ? 3 : 2) << v;
      EXPECT_EQ(back[v], static_cast<double>(v) * times[v]) << v;
      thrice += times[v] == 3;
    }
  }
  EXPECT_EQ(thrice, 4);
}

TEST(NrRateMatch, ALinkThroughRateMatchingDecodes) {
  // BG2, Z = 16: K = 160 with 10 filler bits, rate 1/2 on 16-QAM rows, rv 0 then rv 2
  // combined, 2 dB below what rv 0 alone needs.
  const Code code = make_code(2, 16);
  const std::size_t k = code.data_length(), n = code.code_length();
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 1.0);
  constexpr std::size_t F = 8;
  std::vector<double> data(F * k), word(F * n);
  for (std::size_t f = 0; f < F; ++f) {
    for (std::size_t v = 0; v < 150; ++v) data[f * k + v] = static_cast<double>(rng() & 1u);
  }
  encode(code, FrameView<const double>::row_major(data.data(), F, k),
         FrameView<double>::row_major(word.data(), F, n));
  std::vector<double> llr(F * n, 0.0);
  for (const int rv : {0, 2}) {
    RateMatchParams p;
    p.e = 300;
    p.rv = rv;
    p.modulation_order = 4;
    p.filler_start = 150;
    std::vector<double> sent(F * 300), received(F * n);
    rate_match(code, p, FrameView<const double>::row_major(word.data(), F, n),
               FrameView<double>::row_major(sent.data(), F, 300));
    const double sigma = 0.8;
    for (double& x : sent) x = 2.0 * ((2.0 * x - 1.0) + sigma * noise(rng)) / (sigma * sigma);
    rate_recover(code, p, FrameView<const double>::row_major(sent.data(), F, 300),
                 FrameView<double>::row_major(received.data(), F, n));
    for (std::size_t i = 0; i < F * n; ++i) {
      llr[i] = rv == 0 ? received[i] : (i % n >= 150 && i % n < 160 ? llr[i] : llr[i] + received[i]);
    }
  }
  std::vector<double> bits(F * n);
  DecodeParams params;
  params.algorithm = Algorithm::kNormalizedMinSum;
  decode(code, FrameView<const double>::row_major(llr.data(), F, n), params,
         {FrameView<double>::row_major(bits.data(), F, n), {}, {}});
  EXPECT_EQ(bits, word);
}

TEST(NrRateMatch, RefusesBadParameters) {
  const Code code = make_code(2, 4);
  const auto refused = [&](auto change) {
    RateMatchParams p;
    p.e = 8;
    change(p);
    try {
      check_rate_match(code, p);
    } catch (const ArgumentError&) {
      return true;
    }
    return false;
  };
  EXPECT_FALSE(refused([](RateMatchParams&) {}));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.e = 9, p.modulation_order = 2; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.rv = 4; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.modulation_order = 9; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.modulation_order = 0; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.filler_start = 41; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.limited_buffer = -1; }));
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.e = -8; }));
  // A buffer of filler bits only: K' = 8 (= 2Z) and Ncb = 32 = K - 2Z.
  EXPECT_TRUE(refused([](RateMatchParams& p) { p.filler_start = 8, p.limited_buffer = 32; }));
}

// Worked cases of the selection and segmentation rules, one per branch.
TEST(NrSegment, ChoosesTheGraphLiftingSizeAndCodeBlocks) {
  const golden::Set g("nr_segment");
  for (std::size_t i = 0; i < g.cases("A"); ++i) {
    const auto A = static_cast<long long>(g.scalar("A", i));
    const Segmentation s = segment(A, g.scalar("R", i), static_cast<long long>(g.scalar("G", i)),
                                   static_cast<int>(g.scalar("Qm", i)));
    EXPECT_EQ(s.bg, g.scalar("bg", i)) << A;
    EXPECT_EQ(s.z, g.scalar("Z", i)) << A;
    EXPECT_EQ(s.tb_crc, g.scalar("tb_crc", i)) << A;
    EXPECT_EQ(s.cb_crc, g.scalar("cb_crc", i)) << A;
    EXPECT_EQ(s.code_blocks, g.scalar("C", i)) << A;
    EXPECT_EQ(s.k_prime, g.scalar("K_prime", i)) << A;
    EXPECT_EQ(s.k, g.scalar("K", i)) << A;
    EXPECT_EQ(s.e, g.row<long long>("E", i)) << A;
  }
  // Two layers: 3000 symbols of 2 x 2 bits, 1000 per block.
  EXPECT_EQ(segment(10008, 0.2, 12000, 2, 2).e, (std::vector<long long>{4000, 4000, 4000}));
  EXPECT_THROW(segment(0, 0.5), ArgumentError);
  EXPECT_THROW(segment(100, 0.0), ArgumentError);
  EXPECT_THROW(segment(100, 1.5), ArgumentError);
  EXPECT_THROW(segment(100, 0.5, 10, 4), ArgumentError);  // not a multiple of Qm
  EXPECT_THROW(segment(100, 0.5, 16, 9), ArgumentError);
}

}  // namespace
}  // namespace linkforge::nr_ldpc
