// Throughput of the NR LDPC kernels in information bits per second (items): the layered
// decoder over many frames per call, one frame per SIMD lane, and the encoder.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "linkforge/nr_ldpc.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::nr_ldpc;

// F noisy codewords of BG1 (rate 1/3 after the 2Z unsent bits) at Eb/N0 = 1.5 dB,
// column-major as a host holds them.
std::vector<double> noisy_frames(const Code& code, std::size_t F) {
  const std::size_t k = code.data_length(), n = code.code_length();
  std::mt19937 rng(7);
  std::vector<double> data(F * k), word(F * n), llr(F * n);
  for (double& b : data) b = static_cast<double>(rng() & 1u);
  encode(code, FrameView<const double>::column_major(data.data(), F, k),
         FrameView<double>::column_major(word.data(), F, n));
  const double rate = static_cast<double>(code.data_cols) / (code.cols - 2);
  const double sigma = std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, 0.15)));
  std::normal_distribution<double> noise(0.0, sigma);
  for (std::size_t i = 0; i < F * n; ++i) {
    llr[i] = 2.0 * ((word[i] != 0.0 ? 1.0 : -1.0) + noise(rng)) / (sigma * sigma);
  }
  for (std::size_t i = 0; i < F * 2 * static_cast<std::size_t>(code.z); ++i) llr[i] = 0.0;
  return llr;
}

// 10 iterations without early stop. Arguments: algorithm (0..3), threads (0: all), Z.
void BM_NrLdpcDecode(benchmark::State& state) {
  const auto kind = static_cast<Algorithm>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const Code code = make_code(1, state.range(2));
  const std::size_t F = 4 * decode_frames_per_pass();
  const std::size_t n = code.code_length();
  const std::vector<double> llr = noisy_frames(code, F);
  std::vector<double> bits(F * n);
  DecodeParams params;
  params.algorithm = kind;
  params.max_iterations = 10;
  params.early_stop = false;
  params.threads = threads;
  for (auto _ : state) {
    decode(code, FrameView<const double>::column_major(llr.data(), F, n), params,
           {FrameView<double>::column_major(bits.data(), F, n), {}, {}});
    benchmark::DoNotOptimize(bits.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * code.data_length()));
  static const char* const kNames[] = {"sum-product", "min-sum", "normalized min-sum",
                                       "offset min-sum"};
  state.SetLabel("BG1 Z " + std::to_string(code.z) + ", " + kNames[state.range(0)] + ", " +
                 (threads == 0 ? std::string("all threads") : std::to_string(threads) + " thread"));
}
BENCHMARK(BM_NrLdpcDecode)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 0}, {384}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_NrLdpcEncode(benchmark::State& state) {
  const Code code = make_code(1, 384);
  const std::size_t F = 16, k = code.data_length(), n = code.code_length();
  std::vector<double> data(F * k, 1.0), word(F * n);
  for (auto _ : state) {
    encode(code, FrameView<const double>::column_major(data.data(), F, k),
           FrameView<double>::column_major(word.data(), F, n));
    benchmark::DoNotOptimize(word.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * k));
}
BENCHMARK(BM_NrLdpcEncode)->Unit(benchmark::kMillisecond);

}  // namespace
