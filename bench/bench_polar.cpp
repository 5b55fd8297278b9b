// Throughput of the polar decoder in information bits per second (items): successive
// cancellation of the (1024, 512) code over 64 noisy frames per call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "linkforge/polar.hpp"

namespace {

using namespace linkforge;

// Argument: threads (1: one core, 0: all).
void BM_PolarDecodeSc(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const std::size_t K = 512, N = 1024, F = 64;
  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(F * K), code(F * N), decoded(F * K);
  for (auto& b : data) b = rng() & 1u;
  polar_encode_frames(FrameView<const std::uint8_t>::row_major(data.data(), F, K), N,
                      FrameView<std::uint8_t>::row_major(code.data(), F, N));
  const float sigma = std::sqrt(1.0f / (2.0f * 0.5f * std::pow(10.0f, 0.2f)));  // 2 dB
  std::normal_distribution<float> noise(0.0f, sigma);
  std::vector<float> llr(F * N);
  for (std::size_t i = 0; i < F * N; ++i)
    llr[i] = 2.0f * ((code[i] ? 1.0f : -1.0f) + noise(rng)) / (sigma * sigma);
  for (auto _ : state) {
    polar_decode_sc_frames(FrameView<const float>::row_major(llr.data(), F, N), K,
                           FrameView<std::uint8_t>::row_major(decoded.data(), F, K), threads);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * K));
}
BENCHMARK(BM_PolarDecodeSc)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
