// Throughput of the modulation and soft demapping kernels, in symbols per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "linkforge/modem.hpp"
#include "linkforge/soft_demap.hpp"

namespace {

using namespace linkforge;

constexpr std::size_t kSymbols = 4096;

// Square QAM of M = 2^m points (m even), unit average energy, Gray labelled: the first
// m/2 bits of a label Gray-code the in-phase level, the last m/2 the quadrature level.
struct Constellation {
  std::vector<double> re, im;
};

Constellation gray_qam(int m) {
  const int half = m / 2;
  const int levels = 1 << half;
  const std::size_t M = std::size_t{1} << m;
  const double scale = 1.0 / std::sqrt(2.0 * (static_cast<double>(M) - 1.0) / 3.0);
  const auto level = [&](int gray) {
    int index = 0;
    for (int g = gray; g != 0; g >>= 1) index ^= g;
    return (2 * index - (levels - 1)) * scale;
  };
  Constellation c{std::vector<double>(M), std::vector<double>(M)};
  for (std::size_t l = 0; l < M; ++l) {
    c.re[l] = level(static_cast<int>(l) >> half);
    c.im[l] = level(static_cast<int>(l) & (levels - 1));
  }
  return c;
}

std::vector<int> random_bits(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> bits(count);
  for (int& b : bits) b = std::uniform_int_distribution<int>(0, 1)(rng);
  return bits;
}

// Noisy samples of random symbols at Es/N0 = es_no.
struct Received {
  std::vector<double> re, im;
};

Received transmit(const Constellation& c, int m, float es_no, unsigned seed) {
  const std::vector<int> bits = random_bits(kSymbols * static_cast<std::size_t>(m), seed);
  Received r{std::vector<double>(kSymbols), std::vector<double>(kSymbols)};
  modulate(bits, {c.re, c.im}, c.re.size(), 1, r.re, r.im);
  std::mt19937 rng(seed + 1);
  std::normal_distribution<double> noise(0.0, std::sqrt(0.5 / es_no));
  for (std::size_t i = 0; i < kSymbols; ++i) {
    r.re[i] += noise(rng);
    r.im[i] += noise(rng);
  }
  return r;
}

std::vector<double> symbol_metrics(const Constellation& c, int m, float es_no) {
  const Received r = transmit(c, m, es_no, 7);
  std::vector<double> metrics(c.re.size() * kSymbols);
  plane_metrics({r.re, r.im}, {c.re, c.im}, es_no, {}, metrics);
  return metrics;
}

void BM_Modulate(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const Constellation c = gray_qam(m);
  const std::vector<int> bits = random_bits(kSymbols * static_cast<std::size_t>(m), 3);
  std::vector<double> re(kSymbols), im(kSymbols);
  for (auto _ : state) {
    modulate(bits, {c.re, c.im}, c.re.size(), 1, re, im);
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel(std::to_string(1 << m) + "-QAM");
}
BENCHMARK(BM_Modulate)->Arg(4)->Arg(6);

void BM_PlaneMetrics(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const bool faded = state.range(1) != 0;
  const Constellation c = gray_qam(m);
  const Received r = transmit(c, m, 10.0f, 5);
  const std::vector<double> fade_re(kSymbols, 0.8), fade_im(kSymbols, 0.6);
  std::vector<double> out(c.re.size() * kSymbols);
  const ComplexSpan<double> fade =
      faded ? ComplexSpan<double>{fade_re, fade_im} : ComplexSpan<double>{};
  for (auto _ : state) {
    plane_metrics({r.re, r.im}, {c.re, c.im}, 10.0f, fade, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel(std::to_string(1 << m) + "-QAM" + (faded ? ", faded" : ""));
}
BENCHMARK(BM_PlaneMetrics)->ArgsProduct({{4, 6}, {0, 1}});

void BM_SymbolBitMetrics(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int demod_type = static_cast<int>(state.range(1));
  const bool with_prior = state.range(2) != 0;
  const Constellation c = gray_qam(m);
  const std::vector<double> metrics = symbol_metrics(c, m, 10.0f);
  const std::size_t total = kSymbols * static_cast<std::size_t>(m);
  std::vector<float> prior;
  if (with_prior) {
    std::mt19937 rng(9);
    std::normal_distribution<float> llr(0.0f, 2.0f);
    prior.resize(total);
    for (float& a : prior) a = llr(rng);
  }
  std::vector<double> out(total);
  for (auto _ : state) {
    symbol_bit_metrics(metrics, c.re.size(), static_cast<MaxStar>(demod_type), prior, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel(std::to_string(1 << m) + "-QAM, demod_type " + std::to_string(demod_type) +
                 (with_prior ? ", a-priori" : ""));
}
BENCHMARK(BM_SymbolBitMetrics)->ArgsProduct({{4, 6}, {1, 4}, {0, 1}});

// The whole demapper: 16 frames of kSymbols received samples per call, samples in,
// bit ratios out. Arguments: bits per symbol, demod_type, faded (0/1) and threads (0:
// all).
void BM_SoftDemap(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const auto op = static_cast<MaxStar>(state.range(1));
  const bool faded = state.range(2) != 0;
  const int threads = static_cast<int>(state.range(3));
  constexpr std::size_t F = 16;
  const Constellation c = gray_qam(m);
  std::vector<double> y_re, y_im;
  for (std::size_t f = 0; f < F; ++f) {
    const Received r = transmit(c, m, 10.0f, 11 + static_cast<unsigned>(f));
    y_re.insert(y_re.end(), r.re.begin(), r.re.end());
    y_im.insert(y_im.end(), r.im.begin(), r.im.end());
  }
  const std::vector<double> a_re(F * kSymbols, 0.8), a_im(F * kSymbols, 0.6);
  const std::size_t coded = kSymbols * static_cast<std::size_t>(m);
  std::vector<double> out(F * coded);
  using View = FrameView<const double>;
  const ComplexFrames y{View::row_major(y_re.data(), F, kSymbols),
                        View::row_major(y_im.data(), F, kSymbols)};
  const ComplexFrames fade = faded ? ComplexFrames{View::row_major(a_re.data(), F, kSymbols),
                                                   View::row_major(a_im.data(), F, kSymbols)}
                                   : ComplexFrames{};
  const SoftDemapParams params{op, 10.0f, threads};
  for (auto _ : state) {
    soft_demap(y, {c.re, c.im}, fade, {}, params,
               FrameView<double>::row_major(out.data(), F, coded));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * kSymbols));
  state.SetLabel(std::to_string(1 << m) + "-QAM, demod_type " +
                 std::to_string(static_cast<int>(op)) + (faded ? ", faded, " : ", ") +
                 (threads == 0 ? std::string("all threads") : std::to_string(threads) + " thread"));
}
BENCHMARK(BM_SoftDemap)
    ->ArgsProduct({{4, 6}, {1, 4}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Matched-filter outputs of orthogonal 16-FSK over a Rayleigh channel.
void BM_ToneMetrics(benchmark::State& state) {
  const int csi_flag = static_cast<int>(state.range(0));
  const std::size_t M = 16;
  const float es_no = 10.0f;
  std::mt19937 rng(13);
  std::normal_distribution<float> gauss(0.0f, 1.0f);
  std::vector<float> y_re(M * kSymbols), y_im(M * kSymbols), a_re(kSymbols), a_im(kSymbols);
  const float sigma = std::sqrt(0.5f / es_no);
  for (std::size_t i = 0; i < kSymbols; ++i) {
    a_re[i] = gauss(rng) * std::sqrt(0.5f);
    a_im[i] = gauss(rng) * std::sqrt(0.5f);
    const std::size_t sent = std::uniform_int_distribution<std::size_t>(0, M - 1)(rng);
    for (std::size_t k = 0; k < M; ++k) {
      y_re[i * M + k] = (k == sent ? a_re[i] : 0.0f) + sigma * gauss(rng);
      y_im[i * M + k] = (k == sent ? a_im[i] : 0.0f) + sigma * gauss(rng);
    }
  }
  std::vector<float> out(M * kSymbols);
  for (auto _ : state) {
    tone_metrics({y_re, y_im}, M, es_no, tone_csi_from_flag(csi_flag), {a_re, a_im}, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel("16-FSK, csi_flag " + std::to_string(csi_flag));
}
BENCHMARK(BM_ToneMetrics)->DenseRange(0, 2);

}  // namespace
