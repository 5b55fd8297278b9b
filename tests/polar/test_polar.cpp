#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/polar.hpp"

namespace {

using linkforge::ArgumentError;

std::vector<std::uint32_t> read_sequence() {
  std::ifstream in(std::string(LINKFORGE_STANDARDS_DIR) + "/nr_polar_sequence.csv");
  std::string line;
  std::getline(in, line);
  std::vector<std::uint32_t> q;
  while (std::getline(in, line)) q.push_back(std::stoul(line.substr(line.find(',') + 1)));
  return q;
}

TEST(PolarConstruct, MatchesTheSequenceFile) {
  const auto q = read_sequence();
  ASSERT_EQ(q.size(), 1024u);
  for (auto [K, N] : {std::pair<std::size_t, std::size_t>{1, 32}, {16, 32}, {32, 32}, {40, 64},
                      {100, 256}, {512, 1024}, {1000, 1024}}) {
    std::vector<std::uint32_t> below;
    for (auto v : q)
      if (v < N) below.push_back(v);
    std::vector<std::uint32_t> expected(below.end() - static_cast<std::ptrdiff_t>(K), below.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(linkforge::polar_construct(K, N), expected) << K << ", " << N;
  }
}

// The generator matrix row by row: x = u G with G = F^{(x)n}, G(i, j) = 1 when the bits
// of j are a subset of those of i.
std::vector<std::uint8_t> encode_by_matrix(const std::vector<std::uint8_t>& data, std::size_t N) {
  const auto info = linkforge::polar_construct(data.size(), N);
  std::vector<std::uint8_t> x(N, 0);
  for (std::size_t k = 0; k < info.size(); ++k)
    if (data[k])
      for (std::size_t j = 0; j < N; ++j)
        if ((j & info[k]) == j) x[j] ^= 1;
  return x;
}

TEST(PolarEncode, EqualsTheGeneratorMatrixAndDecodesWithoutNoise) {
  std::mt19937 rng(3);
  for (auto [K, N] : {std::pair<std::size_t, std::size_t>{12, 32}, {56, 128}, {512, 1024}}) {
    const std::size_t F = 5;
    std::vector<std::uint8_t> data(F * K), code(F * N), decoded(F * K);
    for (auto& b : data) b = rng() & 1;
    linkforge::polar_encode_frames(
        linkforge::FrameView<const std::uint8_t>::row_major(data.data(), F, K), N,
        linkforge::FrameView<std::uint8_t>::row_major(code.data(), F, N));
    std::vector<float> llr(F * N);
    for (std::size_t f = 0; f < F; ++f) {
      std::vector<std::uint8_t> row(data.begin() + f * K, data.begin() + (f + 1) * K);
      const auto x = encode_by_matrix(row, N);
      ASSERT_TRUE(std::equal(x.begin(), x.end(), code.begin() + f * N));
    }
    for (std::size_t i = 0; i < F * N; ++i) llr[i] = code[i] ? 2.5f : -2.5f;
    linkforge::polar_decode_sc_frames(
        linkforge::FrameView<const float>::row_major(llr.data(), F, N), K,
        linkforge::FrameView<std::uint8_t>::row_major(decoded.data(), F, K), 2);
    EXPECT_EQ(decoded, data) << K << ", " << N;
  }
}

TEST(PolarDecode, ManyFramesEqualOneAtATimeOnNoisyFrames) {
  const std::size_t K = 64, N = 128, F = 40;
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 0.6f);
  std::vector<std::uint8_t> data(F * K), code(F * N), batch(F * K), single(K);
  for (auto& b : data) b = rng() & 1;
  linkforge::polar_encode_frames(
      linkforge::FrameView<const std::uint8_t>::column_major(data.data(), F, K), N,
      linkforge::FrameView<std::uint8_t>::column_major(code.data(), F, N));
  std::vector<float> llr(F * N);
  for (std::size_t i = 0; i < F * N; ++i) llr[i] = 2.0f * ((code[i] ? 1.0f : -1.0f) + noise(rng)) / 0.36f;
  linkforge::polar_decode_sc_frames(
      linkforge::FrameView<const float>::column_major(llr.data(), F, N), K,
      linkforge::FrameView<std::uint8_t>::column_major(batch.data(), F, K), 0);
  std::size_t errors = 0;
  for (std::size_t f = 0; f < F; ++f) {
    std::vector<float> row(N);
    for (std::size_t i = 0; i < N; ++i) row[i] = llr[f + i * F];
    linkforge::polar_decode_sc(row, K, single);
    for (std::size_t k = 0; k < K; ++k) {
      EXPECT_EQ(single[k], batch[f + k * F]);
      errors += single[k] != data[f + k * F];
    }
  }
  // Rate 1/2 at Eb/N0 = 1/(2 R sigma^2), 4.4 dB: SC gets nearly every frame right.
  EXPECT_LT(errors, F * K / 50);
}

TEST(PolarRefusals, BadCodesAndInputs) {
  EXPECT_THROW(linkforge::polar_construct(10, 48), ArgumentError);
  EXPECT_THROW(linkforge::polar_construct(10, 16), ArgumentError);
  EXPECT_THROW(linkforge::polar_construct(10, 2048), ArgumentError);
  EXPECT_THROW(linkforge::polar_construct(0, 64), ArgumentError);
  EXPECT_THROW(linkforge::polar_construct(65, 64), ArgumentError);
  std::vector<float> llr(64, 1.0f);
  std::vector<std::uint8_t> out(8), code(64), wrong(63);
  llr[5] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_THROW(linkforge::polar_decode_sc(llr, 8, out), ArgumentError);
  llr[5] = 1.0f;
  EXPECT_THROW(linkforge::polar_decode_sc(llr, 9, out), ArgumentError);
  std::vector<std::uint8_t> data(8, 2);
  EXPECT_THROW(linkforge::polar_encode(data, 64, code), ArgumentError);
  data.assign(8, 1);
  EXPECT_THROW(linkforge::polar_encode(data, 64, wrong), ArgumentError);
}

}  // namespace
