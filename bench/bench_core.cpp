// Throughput of the max-star operators in SIMD lanes (max_star_lanes), in values per
// second: what one operation of the decoders' and demappers' folds costs. Arguments: the
// operator type and the spread of the arguments' difference (0: |a - b| < 1, where the
// exact operator can never skip its exponential and logarithm; 1: |a - b| up to 40).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "linkforge/max_star.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bench_core.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace bench_core {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// `rounds` rounds of twelve independent additions or maxima of full vectors; returns
// the lanes per vector.
HWY_NOINLINE std::size_t PeakRounds(std::int64_t rounds) {
  const hn::ScalableTag<float> df;
  hn::Vec<decltype(df)> acc[12];
  for (int i = 0; i < 12; ++i) acc[i] = hn::Set(df, 1.0f + static_cast<float>(i));
  const auto step = hn::Set(df, 1e-9f);
  for (std::int64_t r = 0; r < rounds; ++r) {
    for (int i = 0; i < 12; ++i) acc[i] = (i & 1) != 0 ? hn::Add(acc[i], step) : hn::Max(acc[i], step);
  }
  float sink = 0.0f;
  for (int i = 0; i < 12; ++i) sink += hn::GetLane(acc[i]);
  benchmark::DoNotOptimize(sink);
  return hn::Lanes(df);
}

}  // namespace HWY_NAMESPACE
}  // namespace bench_core
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace bench_core {
HWY_EXPORT(PeakRounds);
}  // namespace bench_core

namespace {

using namespace bench_core;

using namespace linkforge;

void BM_MaxStarLanes(benchmark::State& state) {
  const auto op = static_cast<MaxStar>(state.range(0));
  const bool wide = state.range(1) != 0;
  constexpr std::size_t kValues = 4096;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> base(-200.0f, 200.0f);
  std::uniform_real_distribution<float> spread(wide ? -40.0f : -1.0f, wide ? 40.0f : 1.0f);
  std::vector<float> a(kValues), b(kValues), out(kValues);
  for (std::size_t i = 0; i < kValues; ++i) {
    a[i] = base(rng);
    b[i] = a[i] + spread(rng);
  }
  for (auto _ : state) {
    max_star_lanes(op, a, b, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
  state.SetLabel("type " + std::to_string(static_cast<int>(op)) +
                 (wide ? ", |a - b| < 40" : ", |a - b| < 1"));
}
BENCHMARK(BM_MaxStarLanes)->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}});

// The scalar operators, one value at a time, for comparison.
void BM_MaxStarScalar(benchmark::State& state) {
  const MaxStarFn fn = max_star_table[static_cast<std::size_t>(state.range(0))];
  constexpr std::size_t kValues = 4096;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> base(-200.0f, 200.0f);
  std::uniform_real_distribution<float> spread(-1.0f, 1.0f);
  std::vector<float> a(kValues), b(kValues), out(kValues);
  for (std::size_t i = 0; i < kValues; ++i) {
    a[i] = base(rng);
    b[i] = a[i] + spread(rng);
  }
  for (auto _ : state) {
    for (std::size_t i = 0; i < kValues; ++i) out[i] = fn(a[i], b[i]);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
  state.SetLabel("type " + std::to_string(state.range(0)) + ", |a - b| < 1");
}
BENCHMARK(BM_MaxStarScalar)->DenseRange(0, 4);

// The machine's ceiling for the decoders' arithmetic: independent single-precision
// additions and maxima on full vectors of the best target the CPU runs (as the
// library picks it), twelve chains side by side, in lane operations per second.
void BM_LaneArithmeticPeak(benchmark::State& state) {
  constexpr std::int64_t kRounds = 1 << 16;
  std::size_t lanes = 0;
  for (auto _ : state) lanes = HWY_DYNAMIC_DISPATCH(PeakRounds)(kRounds);
  state.SetItemsProcessed(state.iterations() * kRounds * 12 * static_cast<std::int64_t>(lanes));
  state.SetLabel(std::to_string(lanes) + " lanes");
}
BENCHMARK(BM_LaneArithmeticPeak);

}  // namespace
#endif  // HWY_ONCE
