// Throughput of the double-binary circular code kernels, in information bits per second
// (two per pair), on the DVB-RCS block sizes of 212 pairs (ATM cells) and 752 pairs
// (MPEG packets).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "linkforge/duobinary.hpp"
#include "linkforge/duobinary_turbo.hpp"

namespace {

using namespace linkforge;

const std::vector<double> kPoly = {1, 1, 0, 0, 1, 0, 1, 1};  // DVB-RCS: 1011, 1001

struct Block {
  std::vector<double> x;
  std::vector<float> inx, inz;
};

// A noisy codeword: BPSK bit values 2y / sigma^2 at Eb/N0 = 2 dB and rate 1/3, turned
// into symbol values (u = 1: B, u = 2: A, u = 3: A + B).
Block noisy_block(std::size_t N, unsigned seed) {
  std::mt19937 rng(seed);
  Block b{std::vector<double>(2 * N), std::vector<float>(3 * N), std::vector<float>(3 * N)};
  for (double& v : b.x) v = std::uniform_int_distribution<int>(0, 1)(rng);
  const DuobinaryTrellis trellis(duobinary_generators(kPoly));
  std::vector<double> z(2 * N);
  duobinary_encode(b.x, z, trellis, find_circular_state(b.x));
  const float sigma = 0.8f;
  std::normal_distribution<float> noise(0.0f, sigma);
  const auto value = [&](double bit) {
    return 2.0f * ((bit != 0 ? 1.0f : -1.0f) + noise(rng)) / (sigma * sigma);
  };
  for (std::size_t k = 0; k < N; ++k) {
    const float la = value(b.x[2 * k]), lb = value(b.x[2 * k + 1]);
    const float l0 = value(z[2 * k]), l1 = value(z[2 * k + 1]);
    b.inx[3 * k] = lb;
    b.inx[3 * k + 1] = la;
    b.inx[3 * k + 2] = la + lb;
    b.inz[3 * k] = l1;
    b.inz[3 * k + 1] = l0;
    b.inz[3 * k + 2] = l0 + l1;
  }
  return b;
}

void BM_CircularPairPosterior(benchmark::State& state) {
  const auto N = static_cast<std::size_t>(state.range(0));
  const int dec_type = static_cast<int>(state.range(1));
  const Block b = noisy_block(N, 7);
  const DuobinaryTrellis trellis(duobinary_generators(kPoly));
  const auto max_star = static_cast<MaxStar>(dec_type);
  std::vector<float> outx(3 * N), outz(3 * N), soft(2 * N);
  const bool lanes = state.range(2) != 0;
  DuobinaryRecursionSteps steps;
  for (auto _ : state) {
    steps = lanes ? duobinary_siso(b.inx, b.inz, outx, outz, soft, trellis, max_star)
                  : duobinary_siso_reference(b.inx, b.inz, outx, outz, soft, trellis, max_star);
    benchmark::DoNotOptimize(soft.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 2 * N));
  state.counters["laps"] = static_cast<double>(steps.backward + steps.forward) / (2.0 * N);
  state.SetLabel(lanes ? "lanes" : "scalar reference");
}
BENCHMARK(BM_CircularPairPosterior)
    ->ArgsProduct({{212, 752}, {1, 4}, {1, 0}})
    ->ArgNames({"N", "dec_type", "lanes"})
    ->Unit(benchmark::kMicrosecond);

void BM_CircularPairCoder(benchmark::State& state) {
  const auto N = static_cast<std::size_t>(state.range(0));
  const Block b = noisy_block(N, 8);
  const DuobinaryTrellis trellis(duobinary_generators(kPoly));
  std::vector<double> z(2 * N);
  for (auto _ : state) {
    duobinary_encode(b.x, z, trellis, find_circular_state(b.x));
    benchmark::DoNotOptimize(z.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 2 * N));
}
BENCHMARK(BM_CircularPairCoder)->Arg(212)->Arg(752)->ArgName("N");

// The whole turbo decoder, 8 iterations over 64 frames of N pairs, on one thread or all.
// The second code's parity values come from another block, so the frames do not
// converge; the work per iteration is the same.
void BM_CircularTurboDecode(benchmark::State& state) {
  const auto N = static_cast<std::size_t>(state.range(0));
  const auto max_star = static_cast<MaxStar>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  constexpr std::size_t F = 64;
  std::vector<double> x(F * 3 * N), z1(F * 3 * N), z2(F * 3 * N), app(F * 3 * N);
  for (std::size_t f = 0; f < F; ++f) {
    const Block b = noisy_block(N, 100 + static_cast<unsigned>(f));
    const Block other = noisy_block(N, 200 + static_cast<unsigned>(f));
    std::copy(b.inx.begin(), b.inx.end(), x.begin() + static_cast<std::ptrdiff_t>(f * 3 * N));
    std::copy(b.inz.begin(), b.inz.end(), z1.begin() + static_cast<std::ptrdiff_t>(f * 3 * N));
    std::copy(other.inz.begin(), other.inz.end(),
              z2.begin() + static_cast<std::ptrdiff_t>(f * 3 * N));
  }
  std::vector<int> alpha(N);
  std::vector<std::uint8_t> swap(N);
  for (std::size_t j = 0; j < N; ++j) {
    alpha[j] = static_cast<int>((17 * j + 1) % N);  // 17 is prime to both block sizes
    swap[j] = static_cast<std::uint8_t>(j % 2);
  }
  const auto rows = [N](const std::vector<double>& v) {
    return FrameView<const double>::row_major(v.data(), F, 3 * N);
  };
  const DuobinaryTrellis trellis(duobinary_generators(kPoly));
  DuobinaryTurboParams params;
  params.iterations = 8;
  params.max_star = max_star;
  params.threads = threads;
  for (auto _ : state) {
    duobinary_turbo_decode({rows(x), rows(z1), rows(z2)}, trellis, {alpha, swap}, params,
                           FrameView<double>::row_major(app.data(), F, 3 * N));
    benchmark::DoNotOptimize(app.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * 2 * N));
}
BENCHMARK(BM_CircularTurboDecode)
    ->ArgsProduct({{752}, {1, 4}, {1, 0}})
    ->ArgNames({"N", "dec_type", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
