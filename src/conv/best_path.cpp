#include <algorithm>
#include <bit>
#include <cstdint>
#include <stdexcept>

#include "conv/acs_lanes.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

using acs_detail::kFirstTaken;
using acs_detail::kSecondTaken;

// Path metrics and survivor memory of one Viterbi run.
//
//   metric       S path metrics entering the current step
//   branch       2S branch metrics of the current step, by incoming branch
//   choice       per recorded step and state, which incoming branch survived
//
// Each state takes the better of its two incoming branches, first then second in the
// order a loop over states (bit 0 before bit 1) meets them, each compared strictly
// against the best so far starting from -1e7. Ties therefore keep the lower previous
// state, and bit 0 before bit 1 from the same state, exactly as that loop would. With
// `lanes` the states of a step run side by side in SIMD lanes, with the same results.
class ViterbiRun {
 public:
  ViterbiRun(const Trellis& t, std::size_t recorded_steps, bool lanes)
      : t_(t),
        lanes_(lanes),
        S_(static_cast<std::size_t>(t.num_states)),
        metric_(S_, kTrellisMinusInfinity),
        next_metric_(S_),
        choice_(recorded_steps * S_, 0),
        scratch_(S_) {
    // The lanes read branch values by output word while there are no more words than
    // incoming branches; otherwise the branch values are summed per incoming branch.
    if (lanes && S_ > 1 && t.n < 31 && (std::size_t{1} << t.n) <= 2 * S_) {
      word_value_.resize(std::size_t{1} << t.n);
      first_word_.resize(S_);
      second_word_.resize(S_);
      for (std::size_t to = 0; to < S_; ++to) {
        first_word_[to] = t.in_word[2 * to];
        second_word_[to] = t.in_word[2 * to + 1];
      }
      return;
    }
    branch_.resize(2 * S_);
    // word_bit_[b][j]: all ones when bit b of the output word of incoming branch j is set.
    word_bit_.resize(static_cast<std::size_t>(t.n) * 2 * S_);
    for (std::size_t b = 0; b < static_cast<std::size_t>(t.n); ++b) {
      for (std::size_t j = 0; j < 2 * S_; ++j) {
        word_bit_[b * 2 * S_ + j] = (t.in_word[j] >> b) & 1 ? ~std::uint32_t{0} : 0;
      }
    }
  }

  std::span<float> metric() { return metric_; }

  // One add-compare-select step on the n channel values at `values`, recording the
  // survivors in row `row` unless row is negative.
  //
  // Branch metrics are formed per incoming branch (index 2 * state + slot) by adding,
  // bit 0 of the word first, each channel value where the word has a 1 and +0.0 where
  // it has a 0 (the value masked to zero bits, which holds for infinities too); Gamma's
  // sums never reach -0.0, so the +0.0 terms change nothing.
  void step(const float* values, std::ptrdiff_t row) {
    const auto n = static_cast<std::size_t>(t_.n);
    float* branch = branch_.data();
    const bool by_word = !word_value_.empty();
    if (by_word) {
      // The same sums once per output word, which the lanes pick by branch.
      for (std::size_t w = 0; w < word_value_.size(); ++w) {
        float sum = 0.0f;
        for (std::size_t b = 0; b < n; ++b) {
          const std::uint32_t v = std::bit_cast<std::uint32_t>(values[n - 1 - b]);
          sum += std::bit_cast<float>((w >> b) & 1 ? v : 0u);
        }
        word_value_[w] = sum;
      }
    } else {
      for (std::size_t j = 0; j < 2 * S_; ++j) branch[j] = 0.0f;
      for (std::size_t b = 0; b < n; ++b) {
        const std::uint32_t v = std::bit_cast<std::uint32_t>(values[n - 1 - b]);
        const std::uint32_t* mask = word_bit_.data() + b * 2 * S_;
        for (std::size_t j = 0; j < 2 * S_; ++j) branch[j] += std::bit_cast<float>(v & mask[j]);
      }
    }
    const float* metric = metric_.data();
    float* next_metric = next_metric_.data();
    std::uint8_t* choice =
        row >= 0 ? choice_.data() + static_cast<std::size_t>(row) * S_ : scratch_.data();
    // States p and p + S/2 both come from states 2p (first) and 2p + 1 (second); with
    // one state, state 0 reaches itself twice.
    const std::size_t half = S_ / 2;
    if (half == 0) {
      acs_detail::select(metric[0], metric[0], branch, next_metric, choice, 0);
    } else if (lanes_) {
      const acs_detail::WordBranches words{word_value_.data(), word_value_.size(),
                                           first_word_.data(), second_word_.data()};
      acs_detail::acs_step_lanes(metric, branch, by_word ? &words : nullptr, next_metric, choice,
                                 half);
    } else {
      for (std::size_t base = 0; base < S_; base += half) {
        for (std::size_t p = 0; p < half; ++p) {
          acs_detail::select(metric[2 * p], metric[2 * p + 1], branch, next_metric, choice,
                             base + p);
        }
      }
    }
    // Renormalise by the larger of 0 and the best metric. Starting from +0.0, the
    // maximum does not depend on the order of the comparisons (NaN never wins, -0.0
    // never beats +0.0), so it is taken in independent lanes.
    constexpr std::size_t kLanes = 8;
    float lane[kLanes] = {};
    std::size_t s = 0;
    for (; s + kLanes <= S_; s += kLanes) {
      for (std::size_t k = 0; k < kLanes; ++k) {
        lane[k] = next_metric[s + k] > lane[k] ? next_metric[s + k] : lane[k];
      }
    }
    float top = 0.0f;
    for (; s < S_; ++s) top = next_metric[s] > top ? next_metric[s] : top;
    for (const float v : lane) top = v > top ? v : top;
    for (std::size_t k = 0; k < S_; ++k) metric_[k] = next_metric[k] - top;
  }

  // `count` steps on consecutive channel values from `values` on, recording rows
  // first_row, first_row + 1, ... (none when first_row is negative). The lanes run them
  // in one call where branch values are read by output word.
  void steps(const float* values, std::size_t count, std::ptrdiff_t first_row) {
    const auto n = static_cast<std::size_t>(t_.n);
    if (!lanes_ || word_value_.empty() || S_ < 2) {
      for (std::size_t k = 0; k < count; ++k) {
        step(values + k * n, first_row < 0 ? -1 : first_row + static_cast<std::ptrdiff_t>(k));
      }
      return;
    }
    const bool record = first_row >= 0;
    acs_detail::StepRun run{values,
                            count,
                            n,
                            S_ / 2,
                            first_word_.data(),
                            second_word_.data(),
                            metric_.data(),
                            next_metric_.data(),
                            word_value_.data(),
                            record ? choice_.data() + static_cast<std::size_t>(first_row) * S_
                                   : scratch_.data(),
                            record};
    acs_detail::acs_steps_lanes(run);
  }

  // Follows survivors from `state` back through rows last..L without output, then
  // writes the decisions of rows L-1..0 into out (L = out.size()).
  void traceback(int state, std::size_t last_row, std::span<int> out) const {
    const std::size_t L = out.size();
    for (std::size_t row = last_row + 1; row-- > 0;) {
      const std::uint8_t won = choice_[row * S_ + static_cast<std::size_t>(state)];
      const bool second = (won & kSecondTaken) != 0;
      const std::size_t branch = 2 * static_cast<std::size_t>(state) + (second ? 1 : 0);
      const bool reached = won != 0;
      if (row < L) out[row] = reached ? t_.in_bit[branch] : 0;
      state = reached ? t_.in_state[branch] : 0;
    }
  }

 private:
  const Trellis& t_;
  bool lanes_;
  std::size_t S_;
  std::vector<float> metric_;
  std::vector<float> next_metric_;
  std::vector<float> branch_;
  std::vector<std::uint32_t> word_bit_;
  std::vector<float> word_value_;  // lanes: branch value of each output word
  std::vector<std::int32_t> first_word_, second_word_;
  std::vector<std::uint8_t> choice_;
  std::vector<std::uint8_t> scratch_;  // choices of unrecorded steps
};

// Steps per call of the lanes: enough to pay for the call, few enough to poll often.
constexpr std::size_t kStepsPerRun = 256;

void best_path(std::span<int> output_u, std::span<const float> input_c, const Trellis& trellis,
               const Interrupt& interrupt, bool lanes) {
  const std::size_t L = output_u.size();
  const auto n = static_cast<std::size_t>(trellis.n);
  const std::size_t steps = L + static_cast<std::size_t>(trellis.m);
  if (input_c.size() != steps * n) {
    throw ArgumentError("trellis_best_path: code values do not match the block");
  }
  ViterbiRun run(trellis, steps, lanes);
  run.metric()[0] = 0.0f;
  InterruptPacer pacer(interrupt);
  for (std::size_t k = 0; k < steps; k += kStepsPerRun) {
    const std::size_t count = std::min(kStepsPerRun, steps - k);
    pacer.add(2 * static_cast<std::uint64_t>(trellis.num_states) * count);
    run.steps(input_c.data() + k * n, count, static_cast<std::ptrdiff_t>(k));
  }
  if (steps > 0) run.traceback(0, steps - 1, output_u);  // terminated: ends in state 0
}

void best_path_circular(std::span<int> output_u, std::span<const float> input_c,
                        const Trellis& trellis, std::size_t depth_steps,
                        const Interrupt& interrupt, bool lanes) {
  const std::size_t L = output_u.size();
  const auto n = static_cast<std::size_t>(trellis.n);
  if (L == 0) throw ArgumentError("trellis_best_path_circular: empty block");
  if (input_c.size() != L * n) {
    throw ArgumentError("trellis_best_path_circular: code values do not match the block");
  }
  const auto D = static_cast<std::ptrdiff_t>(depth_steps);
  const auto ring = static_cast<std::ptrdiff_t>(L);
  ViterbiRun run(trellis, L + depth_steps, lanes);
  for (float& metric : run.metric()) metric = 0.0f;  // every start state equally likely
  // D steps of the block's end lead in, then the block, then D steps of its start.
  // Runs of steps end where the values wrap around the ring and where recording starts.
  InterruptPacer pacer(interrupt);
  for (std::ptrdiff_t t = -D; t < ring + D;) {
    std::ptrdiff_t k = t % ring;
    if (k < 0) k += ring;
    std::ptrdiff_t count = std::min({ring - k, ring + D - t,
                                     static_cast<std::ptrdiff_t>(kStepsPerRun)});
    if (t < 0) count = std::min(count, -t);
    pacer.add(2 * static_cast<std::uint64_t>(trellis.num_states) * static_cast<std::uint64_t>(count));
    run.steps(input_c.data() + static_cast<std::size_t>(k) * n, static_cast<std::size_t>(count),
              t >= 0 ? t : -1);
    t += count;
  }
  const std::span<float> metric = run.metric();
  int best = 0;
  for (std::size_t s = 1; s < metric.size(); ++s) {
    if (metric[s] > metric[best]) best = static_cast<int>(s);
  }
  run.traceback(best, L + depth_steps - 1, output_u);
}

}  // namespace

void trellis_best_path(std::span<int> output_u, std::span<const float> input_c,
                       const Trellis& trellis, const Interrupt& interrupt) {
  best_path(output_u, input_c, trellis, interrupt, true);
}

void trellis_best_path_scalar(std::span<int> output_u, std::span<const float> input_c,
                              const Trellis& trellis, const Interrupt& interrupt) {
  best_path(output_u, input_c, trellis, interrupt, false);
}

void trellis_best_path_circular(std::span<int> output_u, std::span<const float> input_c,
                                const Trellis& trellis, std::size_t depth_steps,
                                const Interrupt& interrupt) {
  best_path_circular(output_u, input_c, trellis, depth_steps, interrupt, true);
}

void trellis_best_path_circular_scalar(std::span<int> output_u, std::span<const float> input_c,
                                       const Trellis& trellis, std::size_t depth_steps,
                                       const Interrupt& interrupt) {
  best_path_circular(output_u, input_c, trellis, depth_steps, interrupt, false);
}

std::uint64_t trellis_best_path_bytes(int K, int n, std::size_t steps) noexcept {
  if (!trellis_fits(K, n)) return kSizeSaturated;
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  // One choice byte per state and recorded step, and one row for the unrecorded ones.
  const std::uint64_t survivors = mul_sat(add_sat(steps, 1), S);
  // Path metrics (2S), branch metrics (2S), word-bit masks (2nS), and for the lanes the
  // values by output word (at most 2S) and the two words of each state (2S), four bytes
  // each.
  const std::uint64_t words = mul_sat(8 + 2 * static_cast<std::uint64_t>(n), S);
  return add_sat(survivors, mul_sat(words, sizeof(float)));
}

}  // namespace linkforge
