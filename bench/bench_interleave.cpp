// Throughput of the permutation generators and permuters, in elements per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "linkforge/interleave.hpp"

namespace {

using namespace linkforge;

void BM_WcdmaPermutation(benchmark::State& state) {
  const int K = static_cast<int>(state.range(0));
  std::vector<int> input(static_cast<std::size_t>(K));
  std::iota(input.begin(), input.end(), 0);
  std::vector<int> alpha(input.size());
  for (auto _ : state) {
    WcdmaPermutation(K, input, alpha);
    benchmark::DoNotOptimize(alpha.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * K);
}
BENCHMARK(BM_WcdmaPermutation)->Arg(40)->Arg(5114)->Unit(benchmark::kMicrosecond);

void BM_SpaceLinkPermutation(benchmark::State& state) {
  const int K = static_cast<int>(state.range(0));
  std::vector<int> alpha(static_cast<std::size_t>(K));
  for (auto _ : state) {
    SpaceLinkPermutation(K, alpha);
    benchmark::DoNotOptimize(alpha.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * K);
}
BENCHMARK(BM_SpaceLinkPermutation)->Arg(8920)->Unit(benchmark::kMicrosecond);

// A spread permutation of the largest cellular block with S well inside the feasible
// range (about 0.7*sqrt(Length/2)).
void BM_SpreadPermutation(benchmark::State& state) {
  const int Length = 5114;
  const int S = static_cast<int>(state.range(0));
  std::vector<int> alpha(Length);
  for (auto _ : state) {
    Ran2State generator;
    seed_ran2(generator, -1);
    benchmark::DoNotOptimize(
        SpreadPermutation(Length, S, alpha, generator, spread_draw_limit(Length)));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * Length);
  state.SetLabel("S " + std::to_string(S));
}
BENCHMARK(BM_SpreadPermutation)->Arg(0)->Arg(35)->Unit(benchmark::kMillisecond);

// Soft values through a permutation of 10^5 positions (random, so reads or writes
// scatter over the block as a large interleaver's do).
template <void (*Permute)(std::span<double>, std::span<const double>, std::span<const int>)>
void BM_Permute(benchmark::State& state) {
  const std::size_t N = static_cast<std::size_t>(state.range(0));
  std::vector<int> alpha(N);
  std::iota(alpha.begin(), alpha.end(), 0);
  std::shuffle(alpha.begin(), alpha.end(), std::mt19937(5));
  std::vector<double> input(N), output(N);
  std::normal_distribution<double> soft(0.0, 2.0);
  std::mt19937 rng(6);
  for (double& v : input) v = soft(rng);
  for (auto _ : state) {
    Permute(output, input, alpha);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * N));
}
BENCHMARK(BM_Permute<interleave>)
    ->Name("BM_Interleave")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Permute<deinterleave>)
    ->Name("BM_Deinterleave")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
