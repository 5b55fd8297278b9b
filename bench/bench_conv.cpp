// Throughput of the binary convolutional code kernels, in information bits per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "linkforge/conv.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"

namespace {

using namespace linkforge;

std::vector<float> noisy_code_values(const Trellis& t, CodeType type, std::size_t L,
                                     float snr_scale, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> data(L);
  for (int& b : data) b = std::uniform_int_distribution<int>(0, 1)(rng);
  std::vector<int> bits(trellis_encode_length(t, L, type));
  trellis_encode(bits, data, t, encoder_tail(t, type));
  std::normal_distribution<float> noise(0.0f, 1.0f);
  std::vector<float> values(bits.size());
  for (std::size_t i = 0; i < bits.size(); ++i) {
    values[i] = snr_scale * ((bits[i] ? 1.0f : -1.0f) + 0.8f * noise(rng));
  }
  return values;
}

// One constituent decode of the 8-state turbo code (feedback 13, parity 15) on a
// block of the cellular standard's largest size: arguments decoder_type, lanes (1: the
// states in SIMD lanes as trellis_posterior dispatches, 0: the scalar reference) and
// code_bits (0: data-bit outputs only, as a turbo decoder needs them).
void BM_TrellisPosterior(benchmark::State& state) {
  const int decoder_type = static_cast<int>(state.range(0));
  const bool lanes = state.range(1) != 0;
  const bool code_bits = state.range(2) != 0;
  const std::size_t L = 5114;
  const Trellis t = make_trellis(std::vector<int>{013, 015}, 4, true);
  const std::vector<float> c = noisy_code_values(t, CodeType::kRecursive, L, 2.5f, 1);
  const std::vector<float> u(L, 0.0f);
  std::vector<float> out_u(L), out_c(code_bits ? c.size() : 0);
  for (auto _ : state) {
    (lanes ? trellis_posterior : trellis_posterior_scalar)(
        u, c, t, static_cast<MaxStar>(decoder_type), out_u, out_c, Interrupt{});
    benchmark::DoNotOptimize(out_u.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
  state.SetLabel("decoder_type " + std::to_string(decoder_type) +
                 (lanes ? ", states in lanes" : ", scalar reference") +
                 (code_bits ? "" : ", data bits only"));
}
BENCHMARK(BM_TrellisPosterior)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0}, {1, 0}})
    ->ArgNames({"decoder_type", "lanes", "code_bits"})
    ->Unit(benchmark::kMicrosecond);

// Viterbi decoding of the K = 7 (133, 171) code, terminated and tail-biting.
void BM_TrellisBestPath(benchmark::State& state) {
  const bool tail_biting = state.range(0) != 0;
  const bool lanes = state.range(1) != 0;
  const std::size_t L = 4096;
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  const CodeType type = tail_biting ? CodeType::kTailBiting : CodeType::kFeedForward;
  const std::vector<float> c = noisy_code_values(t, type, L, 2.0f, 2);
  std::vector<int> out(L);
  for (auto _ : state) {
    if (tail_biting) {
      (lanes ? trellis_best_path_circular : trellis_best_path_circular_scalar)(out, c, t, 6 * 7,
                                                                               Interrupt{});
    } else {
      (lanes ? trellis_best_path : trellis_best_path_scalar)(out, c, t, Interrupt{});
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
  state.SetLabel(std::string(tail_biting ? "tail-biting" : "terminated") +
                 (lanes ? ", states in lanes" : ", scalar reference"));
}
BENCHMARK(BM_TrellisBestPath)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"tail_biting", "lanes"})
    ->Unit(benchmark::kMicrosecond);

// The whole turbo decoder of the cellular code (8 iterations) over 64 frames per call,
// one frame per SIMD lane: arguments decoder_type, threads (0: all) and the block length
// (5114; 1024, whose working arrays fit in the second-level cache, for comparison).
void BM_TurboDecode(benchmark::State& state) {
  const int decoder_type = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const auto L = static_cast<std::size_t>(state.range(2));
  const std::size_t F = 64, m = 3;
  const Trellis t = make_trellis(std::vector<int>{013, 015}, 4, true);
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> ys(F * L), yp1(F * L), yp2(F * L), ytail(F * 4 * m), app(F * L);
  for (auto* v : {&ys, &yp1, &yp2, &ytail}) {
    for (double& x : *v) x = 1.5 * ((rng() % 2 != 0 ? 1.0 : -1.0) + 0.9 * noise(rng));
  }
  std::vector<int> alpha(L);
  for (std::size_t k = 0; k < L; ++k) alpha[k] = static_cast<int>((k * 1129) % L);
  const TurboChannel channel{FrameView<const double>::column_major(ys.data(), F, L),
                             FrameView<const double>::column_major(yp1.data(), F, L),
                             FrameView<const double>::column_major(yp2.data(), F, L),
                             FrameView<const double>::column_major(ytail.data(), F, 4 * m)};
  TurboDecodeParams params;
  params.iterations = 8;
  params.max_star = static_cast<MaxStar>(decoder_type);
  params.threads = threads;
  TurboResults results;
  results.app = FrameView<double>::column_major(app.data(), F, L);
  for (auto _ : state) {
    turbo_decode(channel, t, alpha, params, results);
    benchmark::DoNotOptimize(app.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * L));
  state.SetLabel("decoder_type " + std::to_string(decoder_type) + ", " +
                 (threads == 0 ? std::string("all threads") : std::to_string(threads) + " thread") +
                 ", K = " + std::to_string(L));
}
BENCHMARK(BM_TurboDecode)
    ->ArgsProduct({{1, 4}, {1, 0}, {5114}})
    ->Args({1, 1, 1024})
    ->Args({4, 1, 1024})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The whole Viterbi decoder of the K = 7 (133, 171) code over 256 frames of 4096 bits
// per call, frames in SIMD lanes: arguments tail-biting (0/1) and threads (0: all).
void BM_ViterbiDecode(benchmark::State& state) {
  const bool tail_biting = state.range(0) != 0;
  const int threads = static_cast<int>(state.range(1));
  const std::size_t F = 256, L = 4096;
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  ViterbiParams params;
  params.block_end = tail_biting ? BlockEnd::kTailBiting : BlockEnd::kTerminated;
  params.depth_steps = 6 * 7;
  params.threads = threads;
  const std::size_t CL = viterbi_input_length(t, L, params.block_end);
  std::vector<double> in(F * CL);
  for (std::size_t f = 0; f < F; ++f) {
    const CodeType type = tail_biting ? CodeType::kTailBiting : CodeType::kFeedForward;
    const std::vector<float> c = noisy_code_values(t, type, L, 2.0f, 10 + static_cast<unsigned>(f));
    for (std::size_t i = 0; i < CL; ++i) in[f + i * F] = c[i];  // column-major, as a host
  }
  std::vector<double> out(F * L);
  for (auto _ : state) {
    viterbi_decode(FrameView<const double>::column_major(in.data(), F, CL), t, params,
                   FrameView<double>::column_major(out.data(), F, L));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * L));
  state.SetLabel(std::string(tail_biting ? "tail-biting, " : "terminated, ") +
                 (threads == 0 ? std::string("all threads") : std::to_string(threads) + " thread"));
}
BENCHMARK(BM_ViterbiDecode)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_TrellisEncode(benchmark::State& state) {
  const std::size_t L = 4096;
  const Trellis t = make_trellis(std::vector<int>{0133, 0171}, 7, false);
  std::vector<int> data(L, 1);
  std::vector<int> out(trellis_encode_length(t, L, CodeType::kFeedForward));
  const EncoderTail tail = encoder_tail(t, CodeType::kFeedForward);
  for (auto _ : state) {
    trellis_encode(out, data, t, tail);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * L));
}
BENCHMARK(BM_TrellisEncode);

}  // namespace
