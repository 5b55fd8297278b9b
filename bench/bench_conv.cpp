// Throughput of the binary convolutional code kernels, in information bits per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "linkforge/conv.hpp"

namespace {

using namespace linkforge;

std::vector<float> noisy_code_values(const Trellis& t, CodeType type, std::size_t L,
                                     float snr_scale, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> data(L);
  for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
  std::vector<int> bits(trellis_encode_length(t, L, type == CodeType::kTailBiting));
  trellis_encode(bits, data, t, tail_inputs(t, type));
  std::normal_distribution<float> noise(0.0f, 1.0f);
  std::vector<float> values(bits.size());
  for (std::size_t i = 0; i < bits.size(); ++i) {
    values[i] = snr_scale * ((bits[i] ? 1.0f : -1.0f) + 0.8f * noise(rng));
  }
  return values;
}

// One constituent decode of the 8-state turbo code (feedback 13, parity 15) on a
// block of the cellular standard's largest size.
void BM_TrellisPosterior(benchmark::State& state) {
  const int decoder_type = static_cast<int>(state.range(0));
  const std::size_t L = 5114;
  const Trellis t = make_trellis(std::vector<int>{013, 015}, 4, true);
  const std::vector<float> c = noisy_code_values(t, CodeType::kRecursive, L, 2.5f, 1);
  const std::vector<float> u(L, 0.0f);
  std::vector<float> out_u(L), out_c(c.size());
  for (auto _ : state) {
    trellis_posterior(u, c, t, decoder_type, out_u, out_c);
    benchmark::DoNotOptimize(out_u.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
  state.SetLabel("decoder_type " + std::to_string(decoder_type));
}
BENCHMARK(BM_TrellisPosterior)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// Viterbi decoding of the K = 7 (133, 171) code, terminated and tail-biting.
void BM_TrellisBestPath(benchmark::State& state) {
  const bool tail_biting = state.range(0) != 0;
  const std::size_t L = 4096;
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  const CodeType type = tail_biting ? CodeType::kTailBiting : CodeType::kFeedForward;
  const std::vector<float> c = noisy_code_values(t, type, L, 2.0f, 2);
  std::vector<int> out(L);
  for (auto _ : state) {
    if (tail_biting) {
      trellis_best_path_circular(out, c, t, 6 * 7);
    } else {
      trellis_best_path(out, c, t);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
  state.SetLabel(tail_biting ? "tail-biting" : "terminated");
}
BENCHMARK(BM_TrellisBestPath)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TrellisEncode(benchmark::State& state) {
  const std::size_t L = 4096;
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  std::vector<int> data(L, 1);
  std::vector<int> out(trellis_encode_length(t, L, false));
  const std::vector<int> tail = tail_inputs(t, CodeType::kFeedForward);
  for (auto _ : state) {
    trellis_encode(out, data, t, tail);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
}
BENCHMARK(BM_TrellisEncode);

}  // namespace
