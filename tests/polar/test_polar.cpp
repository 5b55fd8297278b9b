#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "hwy_targets.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"
#include "linkforge/polar.hpp"
#include "peak_allocation.hpp"
#include "polar_reference.hpp"

namespace {

using linkforge::ArgumentError;
using linkforge::for_each_target;

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
  for (auto [K, N] : {std::pair<std::size_t, std::size_t>{1, 32},
                      {16, 32},
                      {32, 32},
                      {40, 64},
                      {100, 256},
                      {512, 1024},
                      {1000, 1024}}) {
    std::vector<std::uint32_t> below;
    for (auto v : q)
      if (v < N) below.push_back(v);
    std::vector<std::uint32_t> expected(below.end() - static_cast<std::ptrdiff_t>(K), below.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(linkforge::polar_construct(K, N), expected) << K << ", " << N;
  }
}

// The generator matrix row by row at the constructed positions.
std::vector<std::uint8_t> encode_by_matrix(const std::vector<std::uint8_t>& data, std::size_t N) {
  return linkforge::testing::encode_at(data, linkforge::polar_construct(data.size(), N), N);
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

// Frames in SIMD lanes against the one-frame decoder, on every target: noisy frames of
// codes from 32 to 1024 bits (one with a rate-matched information set), frame counts that
// leave a partial group (and give two threads groups enough to share), and LLRs of 0,
// -0, +-infinity and huge values.
TEST(PolarDecode, FramesInLanesEqualTheOneFrameDecoder) {
  struct Case {
    std::size_t K, N, F;
    float sigma;
  };
  for (const Case c : {Case{20, 32, 5, 0.8f}, Case{64, 128, 140, 0.6f}, Case{512, 1024, 33, 0.9f}}) {
    std::mt19937 rng(static_cast<unsigned>(c.N));
    std::normal_distribution<float> noise(0.0f, c.sigma);
    auto info = linkforge::polar_construct(c.K, c.N);
    if (c.N == 128) info.erase(info.begin() + 3);  // another information set
    const std::size_t K = info.size(), N = c.N, F = c.F;
    std::vector<std::uint8_t> data(F * K), code(F * N);
    for (auto& b : data) b = rng() & 1;
    linkforge::polar_encode_frames(
        linkforge::FrameView<const std::uint8_t>::row_major(data.data(), F, K), info, N,
        linkforge::FrameView<std::uint8_t>::row_major(code.data(), F, N));
    std::vector<float> llr(F * N);
    const float special[] = {0.0f,
                             -0.0f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             3e38f,
                             -3e38f};
    for (std::size_t i = 0; i < F * N; ++i)
      llr[i] = i % 17 == 3 ? special[(i / 17) % 6]
                           : 2.0f * ((code[i] ? 1.0f : -1.0f) + noise(rng)) / (c.sigma * c.sigma);
    std::vector<std::uint8_t> expected(F * K);
    for (std::size_t f = 0; f < F; ++f)
      linkforge::polar_decode_sc_scalar(std::span<const float>(llr.data() + f * N, N), info,
                                        std::span<std::uint8_t>(expected.data() + f * K, K));
    for_each_target([&](const std::string& target, bool) {
      for (const int threads : {1, 2}) {
        std::vector<std::uint8_t> batch(F * K, 7);
        linkforge::PolarDecodeParams params;
        params.threads = threads;
        linkforge::polar_decode_frames(
            linkforge::FrameView<const float>::row_major(llr.data(), F, N), info, params,
            linkforge::FrameView<std::uint8_t>::row_major(batch.data(), F, K));
        EXPECT_EQ(batch, expected) << target << ", N = " << N << ", threads = " << threads;
      }
    });
  }
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

// F frames of random data (the last bits a CRC of the rest when crc is given), their
// code words and the LLRs of BPSK over AWGN at Eb/N0 = ebno_db with R = K / N.
struct NoisyBatch {
  std::size_t F, K, N;
  std::vector<std::uint8_t> data, code;
  std::vector<float> llr;
};

NoisyBatch noisy_batch(std::size_t F, std::size_t K, std::size_t N, float ebno_db,
                       std::optional<linkforge::CrcName> crc, unsigned seed) {
  NoisyBatch b{F,
               K,
               N,
               std::vector<std::uint8_t>(F * K),
               std::vector<std::uint8_t>(F * N),
               std::vector<float>(F * N)};
  std::mt19937 rng(seed);
  const std::size_t Lc = crc ? static_cast<std::size_t>(linkforge::crc_polynomial(*crc).length) : 0;
  for (std::size_t f = 0; f < F; ++f) {
    std::uint8_t* row = b.data.data() + f * K;
    for (std::size_t k = 0; k < K - Lc; ++k) row[k] = rng() & 1u;
    if (crc) {
      const std::uint32_t p =
          linkforge::crc_parity(*crc, std::span<const std::uint8_t>(row, K - Lc));
      for (std::size_t i = 0; i < Lc; ++i) row[K - Lc + i] = (p >> (Lc - 1 - i)) & 1u;
    }
  }
  linkforge::polar_encode_frames(
      linkforge::FrameView<const std::uint8_t>::row_major(b.data.data(), F, K), N,
      linkforge::FrameView<std::uint8_t>::row_major(b.code.data(), F, N));
  const float rate = static_cast<float>(K) / static_cast<float>(N);
  const float sigma = std::sqrt(1.0f / (2.0f * rate * std::pow(10.0f, ebno_db / 10.0f)));
  std::normal_distribution<float> noise(0.0f, sigma);
  for (std::size_t i = 0; i < F * N; ++i)
    b.llr[i] = 2.0f * ((b.code[i] ? 1.0f : -1.0f) + noise(rng)) / (sigma * sigma);
  return b;
}

std::vector<std::uint8_t> decode(const NoisyBatch& b, const linkforge::PolarDecodeParams& p) {
  std::vector<std::uint8_t> out(b.F * b.K, 7);
  linkforge::polar_decode_frames(
      linkforge::FrameView<const float>::row_major(b.llr.data(), b.F, b.N), b.K, p,
      linkforge::FrameView<std::uint8_t>::row_major(out.data(), b.F, b.K));
  return out;
}

std::size_t frame_errors(const NoisyBatch& b, const std::vector<std::uint8_t>& out) {
  std::size_t errors = 0;
  for (std::size_t f = 0; f < b.F; ++f)
    errors +=
        !std::equal(out.begin() + f * b.K, out.begin() + (f + 1) * b.K, b.data.begin() + f * b.K);
  return errors;
}

// One path through the list machinery (CRC aid on, which cannot change a single path's
// bits) decides what successive cancellation decides, errors included.
TEST(PolarList, OnePathEqualsSuccessiveCancellation) {
  for (auto [K, N, ebno] : {std::tuple<std::size_t, std::size_t, float>{20, 32, 1.0f},
                            {64, 128, 0.5f},
                            {300, 512, 1.5f},
                            {512, 1024, 1.0f}}) {
    const auto b = noisy_batch(30, K, N, ebno, std::nullopt, 11);
    std::vector<std::uint8_t> sc(b.F * K);
    linkforge::polar_decode_sc_frames(
        linkforge::FrameView<const float>::row_major(b.llr.data(), b.F, N), K,
        linkforge::FrameView<std::uint8_t>::row_major(sc.data(), b.F, K), 1);
    EXPECT_GT(frame_errors(b, sc), 0u) << K << ", " << N;
    EXPECT_EQ(decode(b, {1, linkforge::CrcName::k6, 2}), sc) << K << ", " << N;
    EXPECT_EQ(decode(b, {1, std::nullopt, 2}), sc) << K << ", " << N;
  }
}

TEST(PolarList, DecodesWithoutNoise) {
  for (auto [K, N] : {std::pair<std::size_t, std::size_t>{40, 64}, {512, 1024}}) {
    auto b = noisy_batch(6, K, N, 0.0f, linkforge::CrcName::k11, 5);
    for (std::size_t i = 0; i < b.F * N; ++i) b.llr[i] = b.code[i] ? 3.0f : -3.0f;
    for (int L : {2, 8, 32}) {
      EXPECT_EQ(decode(b, {L, std::nullopt, 0}), b.data) << K << ", " << N << ", L " << L;
      EXPECT_EQ(decode(b, {L, linkforge::CrcName::k11, 0}), b.data) << K << ", " << N;
    }
  }
}

// (1024, 512) at 1.75 dB: the list beats successive cancellation, the CRC aid beats the
// plain list, and the threads do not change a bit.
TEST(PolarList, ListAndCrcAidLowerTheFrameErrors) {
  const auto b = noisy_batch(200, 512, 1024, 1.75f, linkforge::CrcName::k11, 2024);
  const auto sc = decode(b, {1, std::nullopt, 0});
  const auto scl = decode(b, {8, std::nullopt, 0});
  const auto ca = decode(b, {8, linkforge::CrcName::k11, 0});
  const std::size_t e_sc = frame_errors(b, sc), e_scl = frame_errors(b, scl),
                    e_ca = frame_errors(b, ca);
  std::printf("frame errors of 200: SC %zu, SCL 8 %zu, CA-SCL 8 %zu\n", e_sc, e_scl, e_ca);
  EXPECT_GE(e_sc, 10u);
  EXPECT_LE(e_scl, e_sc);
  EXPECT_LE(e_ca, e_scl);
  EXPECT_LT(e_ca, e_sc);
  // Where the aid changes a frame, it trades a path whose CRC fails for one whose holds.
  const auto crc_holds = [&](const std::vector<std::uint8_t>& out, std::size_t f) {
    const std::uint8_t* row = out.data() + f * b.K;
    const std::uint32_t p = linkforge::crc_parity(linkforge::CrcName::k11,
                                                  std::span<const std::uint8_t>(row, b.K - 11));
    std::uint32_t tail = 0;
    for (std::size_t i = b.K - 11; i < b.K; ++i) tail = (tail << 1) | row[i];
    return p == tail;
  };
  std::size_t changed = 0;
  for (std::size_t f = 0; f < b.F; ++f)
    if (!std::equal(ca.begin() + f * b.K, ca.begin() + (f + 1) * b.K, scl.begin() + f * b.K)) {
      ++changed;
      EXPECT_TRUE(crc_holds(ca, f)) << f;
      EXPECT_FALSE(crc_holds(scl, f)) << f;
    }
  EXPECT_GE(changed, 1u);
  EXPECT_EQ(decode(b, {8, std::nullopt, 1}), scl);
  EXPECT_EQ(decode(b, {8, linkforge::CrcName::k11, 3}), ca);
  EXPECT_LE(frame_errors(b, decode(b, {32, linkforge::CrcName::k11, 0})), e_ca);
}

TEST(PolarList, Refusals) {
  const auto b = noisy_batch(2, 12, 32, 2.0f, std::nullopt, 1);
  for (int L : {0, 3, 6, 64, -8}) EXPECT_THROW(decode(b, {L, std::nullopt, 0}), ArgumentError) << L;
  EXPECT_THROW(decode(b, {4, linkforge::CrcName::k16, 0}), ArgumentError);
  const auto c = noisy_batch(2, 11, 32, 2.0f, std::nullopt, 1);
  EXPECT_THROW(decode(c, {4, linkforge::CrcName::k11, 0}), ArgumentError);
  EXPECT_THROW(decode(c, {1, linkforge::CrcName::k11, 0}), ArgumentError);
  EXPECT_NO_THROW(decode(c, {4, linkforge::CrcName::k6, 0}));
  auto n = b;
  n.llr[40] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_THROW(decode(n, {4, std::nullopt, 0}), ArgumentError);
  EXPECT_THROW(decode(n, {1, std::nullopt, 0}), ArgumentError);
  EXPECT_THROW(decode(b, {1, std::nullopt, -1}), ArgumentError);
  // The typed refusals the hosts word: which fault, which argument, where.
  const auto refusal = [](auto&& call) {
    try {
      call();
    } catch (const ArgumentError& e) {
      const auto& r = e.refusal();
      return std::string(describe(r)) + " | " + r.argument;
    }
    return std::string("no refusal");
  };
  EXPECT_EQ(refusal([&] { decode(n, {1, std::nullopt, 0}); }), "llr[1, 8] is NaN | llr");
  EXPECT_EQ(refusal([&] {
              decode(b, {3, std::nullopt, 0});
            }),
            "list_size must be a power of two from 1 to 32, got 3 | list_size");
  EXPECT_EQ(refusal([&] {
              decode(c, {4, linkforge::CrcName::k11, 0});
            }),
            "K = 11 leaves no data before the 11 parity bits of CRC 11 | K");
  EXPECT_EQ(refusal([&] { linkforge::polar_construct(10, 48); }),
            "N must be a power of two from 32 to 1024, got 48 | N");
  EXPECT_EQ(refusal([&] { linkforge::polar_construct(65, 64); }),
            "K must be from 1 to 64, got 65 | K");
  std::vector<std::uint8_t> out(2 * 11);
  EXPECT_THROW(
      linkforge::polar_decode_frames(
          linkforge::FrameView<const float>::row_major(b.llr.data(), 2, 32), 12,
          {4, std::nullopt, 0}, linkforge::FrameView<std::uint8_t>::row_major(out.data(), 2, 11)),
      ArgumentError);
}

}  // namespace

namespace {

bool always_stop(void*) noexcept {
  return true;
}

}  // namespace

// The estimate covers what a call allocates on 1 and 2 threads, for SC and lists, and
// an interrupt stops either decoder.
TEST(PolarDecode, FitsItsMemoryEstimateAndStopsWhenInterrupted) {
  using namespace linkforge;
  const std::size_t F = 4, N = 1024, K = 512;
  std::vector<float> llr(F * N, 1.0f);
  std::vector<std::uint8_t> bits(F * K);
  const auto in = FrameView<const float>::row_major(llr.data(), F, N);
  const auto out = FrameView<std::uint8_t>::row_major(bits.data(), F, K);
  for (const int L : {1, 8, 32}) {
    for (const int threads : {1, 2}) {
      PolarDecodeParams params;
      params.list_size = L;
      params.threads = threads;
      const std::size_t peak =
          heap_count::peak_allocation([&] { polar_decode_frames(in, K, params, out); });
      const std::uint64_t working = polar_decode_memory(F, N, K, params).working;
      EXPECT_LE(peak, working) << "L = " << L << ", threads = " << threads;
      EXPECT_GT(peak, working / 4) << "L = " << L << ", threads = " << threads;
      EXPECT_THROW(polar_decode_frames(in, K, params, out, Interrupt(always_stop)), Interrupted);
    }
  }
}
