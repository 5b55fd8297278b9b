// Throughput of the capacity kernels: symbols per second for the estimates, ratios per
// second for the table lookup.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "linkforge/capacity.hpp"

namespace {

using namespace linkforge;

constexpr std::size_t kSymbols = 8192;

// Symbol log-likelihoods of an M-ary set: the transmitted label's entry raised above
// Gaussian entries, and the data bits of those labels.
void BM_CapacitySymbol(benchmark::State& state) {
  const auto M = static_cast<std::size_t>(state.range(0));
  int m = 0;
  while ((std::size_t{1} << m) < M) ++m;
  std::mt19937 rng(1);
  std::normal_distribution<double> g(0.0, 2.0);
  std::vector<double> input(M * kSymbols), bits;
  for (std::size_t j = 0; j < kSymbols; ++j) {
    const std::size_t label = rng() % M;
    for (std::size_t l = 0; l < M; ++l) input[j * M + l] = g(rng) + (l == label ? 4.0 : 0.0);
    for (int k = m - 1; k >= 0; --k) bits.push_back(static_cast<double>((label >> k) & 1));
  }
  for (auto _ : state) benchmark::DoNotOptimize(capacity_symbol(input, M, bits));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel(std::to_string(M) + " labels");
}
BENCHMARK(BM_CapacitySymbol)->Arg(2)->Arg(4)->Arg(8)->Arg(16);

void BM_CapacityBinary(benchmark::State& state) {
  std::mt19937 rng(2);
  std::normal_distribution<double> g(2.0, 2.0);
  std::vector<double> llr(kSymbols), bits(kSymbols);
  for (std::size_t j = 0; j < kSymbols; ++j) {
    bits[j] = static_cast<double>(rng() % 2);
    llr[j] = bits[j] > 0 ? g(rng) : -g(rng);
  }
  for (auto _ : state) benchmark::DoNotOptimize(capacity_binary(llr, bits));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
}
BENCHMARK(BM_CapacityBinary);

// A table of T points; an increasing table is bisected, one with two points out of
// order is scanned.
void BM_InfoRateTable(benchmark::State& state) {
  const auto T = static_cast<std::size_t>(state.range(0));
  const bool increasing = state.range(1) != 0;
  std::vector<double> E(T), C(T), D(T - 1);
  for (std::size_t k = 0; k < T; ++k) {
    E[k] = -10.0 + 40.0 * static_cast<double>(k) / static_cast<double>(T - 1);
    C[k] = 1.0 - std::exp(-std::pow(10.0, E[k] / 10.0));
  }
  for (std::size_t k = 0; k + 1 < T; ++k) D[k] = (C[k + 1] - C[k]) / (E[k + 1] - E[k]);
  if (!increasing) std::swap(E[T / 2], E[T / 2 + 1]);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-12.0, 32.0);
  std::vector<double> gamma(kSymbols);
  for (double& r : gamma) r = u(rng);
  std::vector<double> out(kSymbols / 16);
  for (auto _ : state) {
    info_rate_table(E, C, D, gamma, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSymbols));
  state.SetLabel(std::to_string(T) + " points, " + (increasing ? "bisected" : "scanned"));
}
BENCHMARK(BM_InfoRateTable)->ArgsProduct({{16, 256}, {1, 0}});

}  // namespace
