// The add-compare-select step of the Viterbi decoder with the states in SIMD lanes,
// once per target. Every lane adds, compares and selects as the scalar step does, so
// path metrics and survivor choices are the same bit for bit.
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conv/acs_lanes.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "conv/acs_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void AcsStepLanes(const float* HWY_RESTRICT metric, const float* HWY_RESTRICT branch,
                  const acs_detail::WordBranches* words, float* HWY_RESTRICT next_metric,
                  std::uint8_t* HWY_RESTRICT choice, std::size_t half) {
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const hn::Rebind<std::uint8_t, decltype(df)> d8;
  const std::size_t N = hn::Lanes(df);
  const auto floor = hn::Set(df, acs_detail::kStartMetric);
  const auto first_flag = hn::Set(di, acs_detail::kFirstTaken);
  const auto second_flag = hn::Set(di, acs_detail::kSecondTaken);
  // Branch values by output word: picked from one vector where the words fit in it,
  // else gathered.
  alignas(64) float word_lanes[HWY_MAX_BYTES / sizeof(float)] = {};
  const bool by_word = words != nullptr;
  const bool in_vector = by_word && words->count <= N;
  if (in_vector) {
    for (std::size_t w = 0; w < words->count; ++w) word_lanes[w] = words->value[w];
  }
  const auto word_vector = hn::Load(df, word_lanes);
  const auto pick = [&](const std::int32_t* index) {
    const auto i = hn::LoadU(di, index);
    return in_vector ? hn::TableLookupLanes(word_vector, hn::IndicesFromVec(df, i))
                     : hn::GatherIndex(df, words->value, i);
  };
  for (std::size_t base = 0; base < 2 * half; base += half) {
    std::size_t p = 0;
    for (; p + N <= half; p += N) {
      hn::Vec<decltype(df)> m0, m1, b0, b1;
      hn::LoadInterleaved2(df, metric + 2 * p, m0, m1);
      if (by_word) {
        b0 = pick(words->first + base + p);
        b1 = pick(words->second + base + p);
      } else {
        hn::LoadInterleaved2(df, branch + 2 * (base + p), b0, b1);
      }
      const auto c0 = hn::Add(m0, b0);
      const auto c1 = hn::Add(m1, b1);
      const auto take0 = hn::Gt(c0, floor);
      auto best = hn::IfThenElse(take0, c0, floor);
      const auto take1 = hn::Gt(c1, best);
      best = hn::IfThenElse(take1, c1, best);
      hn::StoreU(best, df, next_metric + base + p);
      const auto flags = hn::Or(hn::IfThenElseZero(hn::RebindMask(di, take0), first_flag),
                                hn::IfThenElseZero(hn::RebindMask(di, take1), second_flag));
      hn::StoreU(hn::DemoteTo(d8, flags), d8, choice + base + p);
    }
    for (; p < half; ++p) {
      const std::size_t to = base + p;
      const float b0 = by_word ? words->value[words->first[to]] : branch[2 * to];
      const float b1 = by_word ? words->value[words->second[to]] : branch[2 * to + 1];
      acs_detail::select_pair(metric[2 * p], b0, metric[2 * p + 1], b1, next_metric, choice, to);
    }
  }
}

void AcsStepsLanes(const acs_detail::StepRun& run) {
  const hn::ScalableTag<float> df;
  const std::size_t N = hn::Lanes(df);
  const std::size_t S = 2 * run.half;
  const std::size_t n = run.n;
  const std::size_t words = std::size_t{1} << n;
  const acs_detail::WordBranches by_word{run.word_value, words, run.first, run.second};
  for (std::size_t k = 0; k < run.count; ++k) {
    // Branch values by output word: bit 0 of the word first, each channel value where
    // the word has a 1 and +0.0 where it has a 0 (the value masked to zero bits).
    const float* values = run.values + k * n;
    for (std::size_t w = 0; w < words; ++w) {
      float sum = 0.0f;
      for (std::size_t b = 0; b < n; ++b) {
        const std::uint32_t v = std::bit_cast<std::uint32_t>(values[n - 1 - b]);
        sum += std::bit_cast<float>((w >> b) & 1 ? v : 0u);
      }
      run.word_value[w] = sum;
    }
    std::uint8_t* choice = run.choice + (run.record ? k * S : 0);
    AcsStepLanes(run.metric, nullptr, &by_word, run.next_metric, choice, run.half);
    // Renormalise by the larger of 0 and the best metric: starting from +0.0 the maximum
    // does not depend on the order of the comparisons (NaN never wins, -0.0 never beats
    // +0.0), so lanes may take it side by side.
    const float* next = run.next_metric;
    auto top_lanes = hn::Zero(df);
    std::size_t s = 0;
    for (; s + N <= S; s += N) {
      const auto v = hn::LoadU(df, next + s);
      top_lanes = hn::IfThenElse(hn::Gt(v, top_lanes), v, top_lanes);
    }
    float top = hn::GetLane(hn::MaxOfLanes(df, top_lanes));
    for (; s < S; ++s) top = next[s] > top ? next[s] : top;
    const auto top_vector = hn::Set(df, top);
    s = 0;
    for (; s + N <= S; s += N) hn::StoreU(hn::Sub(hn::LoadU(df, next + s), top_vector), df, run.metric + s);
    for (; s < S; ++s) run.metric[s] = next[s] - top;
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge::acs_detail {

HWY_EXPORT(AcsStepLanes);
HWY_EXPORT(AcsStepsLanes);

void acs_steps_lanes(const StepRun& run) {
  HWY_DYNAMIC_DISPATCH(AcsStepsLanes)(run);
}

void acs_step_lanes(const float* metric, const float* branch, const WordBranches* words,
                    float* next_metric, std::uint8_t* choice, std::size_t half) {
  HWY_DYNAMIC_DISPATCH(AcsStepLanes)(metric, branch, words, next_metric, choice, half);
}

}  // namespace linkforge::acs_detail
#endif  // HWY_ONCE
