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

// A run of consecutive steps whose branch values are read by output word: for each
// step, the values of the 2^n output words (summed from the step's n channel values
// exactly as the one-step decoder sums them), the add-compare-select of every state, and
// the renormalisation by the larger of 0 and the best metric.
struct StepRun {
  const float* values;       // count * n channel values, step by step
  std::size_t count, n;      // steps, code bits per step
  std::size_t half;          // half the states (at least 1)
  const std::int32_t* first;   // word of each state's first incoming branch
  const std::int32_t* second;  // and of its second
  float* metric;               // 2 * half path metrics: in, and out after the last step
  float* next_metric;          // 2 * half floats of scratch
  float* word_value;           // 2^n floats of scratch
  std::uint8_t* choice;        // count rows of 2 * half choices, or one row reused
  bool record;                 // false: every step writes the one row
};

// Runs the steps of `run` on the best target the CPU runs, with the states in lanes:
// the same metrics and choices as as many one-step calls.
void acs_steps_lanes(const StepRun& run);

}  // namespace linkforge::acs_detail
