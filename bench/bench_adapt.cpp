// Throughput of puncturing and rate matching, in code bits (elements of the un-punctured
// block) per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "linkforge/adapt.hpp"

namespace {

using namespace linkforge;

// Rate-1/3 turbo code stream of a 5114-bit block (rows: systematic, parity 1, parity 2;
// 4 tail steps) punctured to rate 1/2 by alternating the parities: [1 1; 1 0; 0 1].
struct TurboStream {
  static constexpr std::size_t e = 3;
  static constexpr std::size_t steps = 5114 + 4;
  std::vector<int> pun = {1, 1, 0, 1, 0, 1};
  std::vector<int> tail = std::vector<int>(3 * 4, 1);
  std::vector<double> code;
  std::vector<double> sent;

  TurboStream() : code(e * steps) {
    std::mt19937 rng(8);
    std::normal_distribution<double> soft(0.0, 2.0);
    for (double& v : code) v = soft(rng);
    sent.resize(punctured_length(e, steps, pun, tail).produced);
    puncture(sent, code, e, pun, tail);
  }
};

void BM_Puncture(benchmark::State& state) {
  TurboStream s;
  std::vector<double> out(s.sent.size());
  for (auto _ : state) {
    puncture(out, s.code, s.e, s.pun, s.tail);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.code.size()));
  state.SetLabel("rate 1/3 -> 1/2");
}
BENCHMARK(BM_Puncture)->Unit(benchmark::kMicrosecond);

void BM_Depuncture(benchmark::State& state) {
  TurboStream s;
  std::vector<double> out(s.code.size());
  for (auto _ : state) {
    depuncture(out, s.sent, s.e, s.pun, s.tail);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * s.code.size()));
  state.SetLabel("rate 1/2 -> 1/3");
}
BENCHMARK(BM_Depuncture)->Unit(benchmark::kMicrosecond);

// The same block to rate 1/2 by the error accumulator: 3*5118 bits to 2*5118.
void BM_BitCount(benchmark::State& state) {
  const bool restore = state.range(0) != 0;
  const int X = 3 * 5118;
  const int removed = 5118;
  const BitCountPattern p{X, X, 2 * X, 2 * removed};
  std::vector<double> x(X), y(bit_count_kept(p));
  for (auto _ : state) {
    if (restore) {
      bit_count_restore(x, y, p);
    } else {
      bit_count_adapt(y, x, p);
    }
    benchmark::DoNotOptimize(x.data());
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * X);
  state.SetLabel(restore ? "restore" : "adapt");
}
BENCHMARK(BM_BitCount)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
