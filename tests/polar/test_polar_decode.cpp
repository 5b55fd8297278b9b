// The polar decoders on any information set, bit for bit against a plain list decoder
// written here: every path keeps all its bits and every leaf LLR is computed afresh
// from the channel, so nothing is shared between paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "hwy_targets.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"
#include "linkforge/polar.hpp"
#include "polar_reference.hpp"

namespace {

using namespace linkforge;

float ref_f(float a, float b) {
  const float m = std::min(std::fabs(a), std::fabs(b));
  return ((a < 0.0f) != (b < 0.0f)) ? -m : m;
}

// The ln(P(0)/P(1)) of bit phi of a node with LLRs a (same domain) given its bits u[0..phi).
float ref_leaf(std::vector<float> a, const std::uint8_t* u, std::size_t phi) {
  while (a.size() > 1) {
    const std::size_t h = a.size() / 2;
    std::vector<float> c(h);
    if (phi < h) {
      for (std::size_t i = 0; i < h; ++i) c[i] = ref_f(a[i], a[i + h]);
    } else {
      std::vector<std::uint8_t> x(u, u + h);
      for (std::size_t s = 1; s < h; s *= 2)
        for (std::size_t b = 0; b < h; b += 2 * s)
          for (std::size_t i = b; i < b + s; ++i) x[i] ^= x[i + s];
      for (std::size_t i = 0; i < h; ++i) c[i] = x[i] ? a[i + h] - a[i] : a[i + h] + a[i];
      u += h;
      phi -= h;
    }
    a = std::move(c);
  }
  return a[0];
}

bool crc_holds(CrcName crc, const std::vector<std::uint8_t>& w) {
  const std::size_t Lc = static_cast<std::size_t>(crc_polynomial(crc).length);
  std::uint32_t tail = 0;
  for (std::size_t i = w.size() - Lc; i < w.size(); ++i) tail = (tail << 1) | w[i];
  return crc_parity(crc, std::span<const std::uint8_t>(w.data(), w.size() - Lc)) == tail;
}

// One frame of LLRs ln(P(1)/P(0)); the decoder's metric, ranking and tie rules.
std::vector<std::uint8_t> ref_decode(const std::vector<float>& llr,
                                     const std::vector<std::uint32_t>& info, std::size_t L,
                                     std::optional<CrcName> crc) {
  const std::size_t N = llr.size();
  std::vector<float> top(N);
  for (std::size_t i = 0; i < N; ++i) top[i] = -llr[i];
  std::vector<std::uint8_t> frozen(N, 1);
  for (auto p : info) frozen[p] = 0;
  std::vector<std::vector<std::uint8_t>> u(1, std::vector<std::uint8_t>(N, 0));
  std::vector<float> pm(1, 0.0f);
  for (std::size_t phi = 0; phi < N; ++phi) {
    const std::size_t A = u.size();
    std::vector<float> lam(A);
    for (std::size_t p = 0; p < A; ++p) lam[p] = ref_leaf(top, u[p].data(), phi);
    if (frozen[phi]) {
      for (std::size_t p = 0; p < A; ++p)
        if (lam[p] < 0.0f) pm[p] += -lam[p];
      continue;
    }
    std::vector<float> cand(2 * A), pen(2 * A);
    for (std::size_t p = 0; p < A; ++p) {
      pen[2 * p] = lam[p] < 0.0f ? -lam[p] : 0.0f;
      pen[2 * p + 1] = lam[p] > 0.0f ? lam[p] : 0.0f;
      cand[2 * p] = pm[p] + pen[2 * p];
      cand[2 * p + 1] = pm[p] + pen[2 * p + 1];
    }
    std::vector<std::size_t> rank(2 * A);
    std::iota(rank.begin(), rank.end(), 0);
    std::stable_sort(rank.begin(), rank.end(), [&](std::size_t x, std::size_t y) {
      return cand[x] != cand[y] ? cand[x] < cand[y] : pen[x] < pen[y];
    });
    std::vector<bool> kept(2 * A, false);
    for (std::size_t r = 0; r < std::min(L, 2 * A); ++r) kept[rank[r]] = true;
    std::vector<std::vector<std::uint8_t>> nu;
    std::vector<float> npm;
    for (std::size_t c = 0; c < 2 * A; ++c)
      if (kept[c]) {
        nu.push_back(u[c / 2]);
        nu.back()[phi] = static_cast<std::uint8_t>(c & 1u);
        npm.push_back(cand[c]);
      }
    u = std::move(nu);
    pm = std::move(npm);
  }
  std::vector<std::size_t> rank(u.size());
  std::iota(rank.begin(), rank.end(), 0);
  std::stable_sort(rank.begin(), rank.end(),
                   [&](std::size_t x, std::size_t y) { return pm[x] < pm[y]; });
  std::vector<std::vector<std::uint8_t>> words;
  for (std::size_t r : rank) {
    words.emplace_back();
    for (auto p : info) words.back().push_back(u[r][p]);
    if (crc && crc_holds(*crc, words.back())) return words.back();
  }
  return words.front();
}

// A rate-matched-like set: the K + 8 most reliable positions less 8 of them.
std::vector<std::uint32_t> thinned_info(std::size_t K, std::size_t N, std::mt19937& rng) {
  auto info = polar_construct(std::min(K + 8, N), N);
  while (info.size() > K)
    info.erase(info.begin() + static_cast<std::ptrdiff_t>(rng() % info.size()));
  return info;
}

// Noisy frames (some LLRs rounded to halves, so that metrics tie), every list size, with
// and without CRC aid, on every SIMD target and 1 and 2 threads: the decoder's bits equal the plain
// decoder's.
TEST(PolarDecodeInfo, EqualsAPlainListDecoderBitForBit) {
  std::mt19937 rng(41);
  std::size_t list_differs = 0, crc_differs = 0;  // frames where the list or the aid matters
  struct Case {
    std::size_t K, N;
    float sigma;
    bool rounded;
  };
  for (const Case c :
       {Case{20, 32, 0.9f, false}, Case{40, 64, 0.8f, true}, Case{72, 128, 0.75f, false},
        Case{64, 128, 0.8f, true}, Case{140, 256, 0.7f, false}}) {
    const std::size_t F = c.N == 256 ? 6 : 12;
    const auto info = thinned_info(c.K, c.N, rng);
    std::vector<std::uint8_t> data(F * c.K), code(F * c.N);
    for (auto& b : data) b = rng() & 1u;
    polar_encode_frames(FrameView<const std::uint8_t>::row_major(data.data(), F, c.K), info, c.N,
                        FrameView<std::uint8_t>::row_major(code.data(), F, c.N));
    std::normal_distribution<float> noise(0.0f, c.sigma);
    std::vector<float> llr(F * c.N);
    for (std::size_t i = 0; i < F * c.N; ++i) {
      llr[i] = 2.0f * ((code[i] ? 1.0f : -1.0f) + noise(rng)) / (c.sigma * c.sigma);
      if (c.rounded) llr[i] = std::round(2.0f * llr[i]) / 2.0f;
    }
    std::vector<std::uint8_t> sc, plain;
    for (const int L : {1, 2, 4, 8, 32})
      for (const auto crc : {std::optional<CrcName>{}, std::optional<CrcName>{CrcName::k6}}) {
        std::vector<std::uint8_t> out(F * c.K, 9);
        std::vector<std::vector<std::uint8_t>> refs;
        for (std::size_t f = 0; f < F; ++f) {
          const std::vector<float> row(llr.begin() + f * c.N, llr.begin() + (f + 1) * c.N);
          refs.push_back(ref_decode(row, info, static_cast<std::size_t>(L), crc));
        }
        for_each_target([&](const std::string& target, bool) {
          for (const int threads : {1, 2}) {
            polar_decode_frames(FrameView<const float>::row_major(llr.data(), F, c.N), info,
                                {L, crc, threads},
                                FrameView<std::uint8_t>::row_major(out.data(), F, c.K));
            for (std::size_t f = 0; f < F; ++f)
              ASSERT_TRUE(std::equal(refs[f].begin(), refs[f].end(), out.begin() + f * c.K))
                  << target << ", N " << c.N << ", L " << L << ", crc " << crc.has_value()
                  << ", frame " << f;
          }
        });
        if (L == 1 && !crc) sc = out;
        if (!crc) plain = out;
        for (std::size_t f = 0; f < F; ++f) {
          const auto at = [&](const std::vector<std::uint8_t>& v) { return v.begin() + f * c.K; };
          list_differs += !crc && !std::equal(at(out), at(out) + c.K, at(sc));
          crc_differs += crc && !std::equal(at(out), at(out) + c.K, at(plain));
        }
      }
  }
  EXPECT_GE(list_differs, 5u);
  EXPECT_GE(crc_differs, 5u);
}

// Encoding places the bits at info; without noise any list size gets them back.
TEST(PolarDecodeInfo, EncodesAtTheGivenPositionsAndDecodesWithoutNoise) {
  std::mt19937 rng(5);
  const std::size_t N = 64, F = 3;
  const auto info = thinned_info(30, N, rng);
  std::vector<std::uint8_t> data(F * 30), code(F * N), out(F * 30);
  for (auto& b : data) b = rng() & 1u;
  polar_encode_frames(FrameView<const std::uint8_t>::column_major(data.data(), F, 30), info, N,
                      FrameView<std::uint8_t>::column_major(code.data(), F, N));
  for (std::size_t f = 0; f < F; ++f) {
    std::vector<std::uint8_t> u(30), x(N);
    for (std::size_t k = 0; k < 30; ++k) u[k] = data[f + k * F];
    for (std::size_t j = 0; j < N; ++j) x[j] = code[f + j * F];
    ASSERT_EQ(x, linkforge::testing::encode_at(u, info, N)) << f;
  }
  std::vector<float> llr(F * N);
  for (std::size_t i = 0; i < F * N; ++i) llr[i] = code[i] ? 1.5f : -1.5f;
  for (const int L : {1, 4, 16}) {
    polar_decode_frames(FrameView<const float>::column_major(llr.data(), F, N), info,
                        {L, std::nullopt, 0},
                        FrameView<std::uint8_t>::column_major(out.data(), F, 30));
    EXPECT_EQ(out, data) << L;
  }
}

TEST(PolarDecodeInfo, RefusesBadInformationSets) {
  const std::vector<std::uint32_t> good{1, 3, 7, 31};
  EXPECT_NO_THROW(check_polar_info(good, 32));
  EXPECT_THROW(check_polar_info(good, 48), ArgumentError);
  EXPECT_THROW(check_polar_info({}, 32), ArgumentError);
  EXPECT_THROW(check_polar_info(std::vector<std::uint32_t>{1, 3, 32}, 32), ArgumentError);
  EXPECT_THROW(check_polar_info(std::vector<std::uint32_t>{1, 3, 3}, 32), ArgumentError);
  EXPECT_THROW(check_polar_info(std::vector<std::uint32_t>{3, 1}, 32), ArgumentError);
  std::vector<std::uint32_t> all(33);
  std::iota(all.begin(), all.end(), 0u);
  EXPECT_THROW(check_polar_info(all, 32), ArgumentError);
  std::vector<float> llr(2 * 32, 1.0f);
  std::vector<std::uint8_t> out(2 * 4), bits(2 * 4, 0), code(2 * 32);
  const auto in = FrameView<const float>::row_major(llr.data(), 2, 32);
  const auto o = FrameView<std::uint8_t>::row_major(out.data(), 2, 4);
  const std::vector<std::uint32_t> bad{1, 3, 40, 41};
  EXPECT_THROW(polar_decode_frames(in, bad, {}, o), ArgumentError);
  EXPECT_THROW(polar_encode_frames(FrameView<const std::uint8_t>::row_major(bits.data(), 2, 4), bad,
                                   32, FrameView<std::uint8_t>::row_major(code.data(), 2, 32)),
               ArgumentError);
  // Five positions for four bits a frame; four bits can carry no CRC 6.
  const std::vector<std::uint32_t> five{1, 3, 7, 30, 31};
  EXPECT_THROW(polar_decode_frames(in, five, {}, o), ArgumentError);
  EXPECT_THROW(polar_decode_frames(in, good, {2, CrcName::k6, 0}, o), ArgumentError);
  llr[33] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_THROW(polar_decode_frames(in, good, {}, o), ArgumentError);
  EXPECT_THROW(polar_decode_frames(in, good, {4, std::nullopt, 0}, o), ArgumentError);
}

}  // namespace
