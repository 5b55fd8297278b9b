// The Viterbi decoder's add-compare-select, one state at a time and with the states in
// SIMD lanes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "linkforge/conv.hpp"

namespace linkforge::acs_detail {

// Survivor choice of a state in one recorded step, as two flags: bit 0 set when the
// first incoming branch (in the trellis's visiting order) beat the start value, bit 1
// when the second beat what was stored. Bit 1 means the second survived, bit 0 alone
// the first, neither that no path reached the state (it keeps previous state 0 and bit
// 0, as a zero-filled table would).
inline constexpr std::uint8_t kFirstTaken = 1;
inline constexpr std::uint8_t kSecondTaken = 2;
inline constexpr float kStartMetric = kTrellisMinusInfinity;

// Survivor of state `to` from its two candidates, path metric plus branch value: the
// first is stored when it beats the start value -1e7, the second when it beats what is
// stored.
inline void select_pair(float first_metric, float first_branch, float second_metric,
                        float second_branch, float* next_metric, std::uint8_t* choice,
                        std::size_t to) {
  const float c0 = first_metric + first_branch;
  const float c1 = second_metric + second_branch;
  const bool take0 = c0 > kStartMetric;
  float best = take0 ? c0 : kStartMetric;
  const bool take1 = c1 > best;
  best = take1 ? c1 : best;
  next_metric[to] = best;
  choice[to] = static_cast<std::uint8_t>(take0 * kFirstTaken + take1 * kSecondTaken);
}

// The same with the branch values of incoming branches 2 * to and 2 * to + 1.
inline void select(float first_metric, float second_metric, const float* branch,
                   float* next_metric, std::uint8_t* choice, std::size_t to) {
  select_pair(first_metric, branch[2 * to], second_metric, branch[2 * to + 1], next_metric,
              choice, to);
}

// The branch values of a step by output word: value[w] for each of `count` words, and
// the words of the first and the second incoming branch of every state.
struct WordBranches {
  const float* value;
  std::size_t count;
  const std::int32_t* first;
  const std::int32_t* second;
};

// select for every state of a trellis of 2 * half states (half >= 1): states p and
// p + half both come from states 2p (first) and 2p + 1 (second), the branch values read
// from `branch` (by incoming branch 2 * to + slot) or, where `words` is given, from
// there. Runs on the best target the CPU runs, with the states in lanes.
void acs_step_lanes(const float* metric, const float* branch, const WordBranches* words,
                    float* next_metric, std::uint8_t* choice, std::size_t half);

}  // namespace linkforge::acs_detail
