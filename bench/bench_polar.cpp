// Throughput of the polar decoders in information bits per second (items) on the
// (1024, 512) code over 64 noisy frames per call (also 1024 for successive cancellation):
// successive cancellation, and the list decoder with 8 paths, plain and CRC-aided (CRC-11 on 501
// data bits); and the 5G rate matching and recovery of a control-channel size in bits sent per
// second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "linkforge/crc.hpp"
#include "linkforge/polar.hpp"
#include "linkforge/polar_rate.hpp"

namespace {

using namespace linkforge;

// The LLRs of the F frames of data (K bits each) encoded into N bits and sent over
// BPSK at Eb/N0 = 2 dB.
std::vector<float> noisy_llrs(const std::vector<std::uint8_t>& data, std::size_t F, std::size_t K,
                              std::size_t N, std::mt19937& rng) {
  std::vector<std::uint8_t> code(F * N);
  polar_encode_frames(FrameView<const std::uint8_t>::row_major(data.data(), F, K), N,
                      FrameView<std::uint8_t>::row_major(code.data(), F, N));
  const float sigma = std::sqrt(1.0f / (2.0f * 0.5f * std::pow(10.0f, 0.2f)));
  std::normal_distribution<float> noise(0.0f, sigma);
  std::vector<float> llr(F * N);
  for (std::size_t i = 0; i < F * N; ++i)
    llr[i] = 2.0f * ((code[i] ? 1.0f : -1.0f) + noise(rng)) / (sigma * sigma);
  return llr;
}

// Arguments: threads (1: one core, 0: all, -1: the one-frame decoder frame by frame);
// frames per call.
void BM_PolarDecodeSc(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const std::size_t K = 512, N = 1024, F = static_cast<std::size_t>(state.range(1));
  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(F * K), decoded(F * K);
  for (auto& b : data) b = rng() & 1u;
  const std::vector<float> llr = noisy_llrs(data, F, K, N, rng);
  const auto info = polar_construct(K, N);
  for (auto _ : state) {
    if (threads < 0) {
      for (std::size_t f = 0; f < F; ++f)
        polar_decode_sc_scalar(std::span<const float>(llr.data() + f * N, N), info,
                               std::span<std::uint8_t>(decoded.data() + f * K, K));
    } else {
      polar_decode_sc_frames(FrameView<const float>::row_major(llr.data(), F, N), K,
                             FrameView<std::uint8_t>::row_major(decoded.data(), F, K), threads);
    }
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * K));
}
BENCHMARK(BM_PolarDecodeSc)
    ->Args({-1, 64})
    ->Args({1, 64})
    ->Args({0, 64})
    ->Args({1, 1024})
    ->Args({0, 1024})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Arguments: 1 for the CRC aid; threads (1: one core, 0: all). CPU and wall time both
// reported.
void BM_PolarDecodeList8(benchmark::State& state) {
  const bool aided = state.range(0) != 0;
  const int threads = static_cast<int>(state.range(1));
  const std::size_t K = 512, N = 1024, F = 64, Lc = 11;
  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(F * K), decoded(F * K);
  for (std::size_t f = 0; f < F; ++f) {
    std::uint8_t* row = data.data() + f * K;
    for (std::size_t k = 0; k < K - Lc; ++k) row[k] = rng() & 1u;
    const std::uint32_t p = crc_parity(CrcName::k11, std::span<const std::uint8_t>(row, K - Lc));
    for (std::size_t i = 0; i < Lc; ++i) row[K - Lc + i] = (p >> (Lc - 1 - i)) & 1u;
  }
  const std::vector<float> llr = noisy_llrs(data, F, K, N, rng);
  PolarDecodeParams params;
  params.list_size = 8;
  params.threads = threads;
  if (aided) params.crc = CrcName::k11;
  for (auto _ : state) {
    polar_decode_frames(FrameView<const float>::row_major(llr.data(), F, N), K, params,
                        FrameView<std::uint8_t>::row_major(decoded.data(), F, K));
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * K));
}
BENCHMARK(BM_PolarDecodeList8)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Rate matching (0) or recovery (1) of K = 64 bits sent as E = 432 (N = 512, shortening)
// with the coded-bit interleaver, 256 frames per call; the positions are worked out in
// every call, as the hosts' modules do.
void BM_PolarRate(benchmark::State& state) {
  const bool recover = state.range(0) != 0;
  const std::size_t F = 256;
  const PolarRateParams params{64, 432, polar_code_length(64, 432, PolarLink::kUplink), true};
  std::mt19937 rng(5);
  std::vector<double> code(F * params.N), sent(F * params.E), back(F * params.N);
  for (auto& v : code) v = rng() & 1u;
  for (auto& v : sent) v = static_cast<double>(rng() % 2001) / 100.0 - 10.0;
  for (auto _ : state) {
    if (recover)
      polar_rate_recover(params, FrameView<const double>::row_major(sent.data(), F, params.E),
                         FrameView<double>::row_major(back.data(), F, params.N));
    else
      polar_rate_match(params, FrameView<const double>::row_major(code.data(), F, params.N),
                       FrameView<double>::row_major(sent.data(), F, params.E));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * params.E));
}
BENCHMARK(BM_PolarRate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
