#include <cstdint>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"

namespace linkforge {

namespace {

// Survivor choice of a state in one recorded step: no candidate beat the start value
// (the entry keeps previous state 0 and bit 0, as a zero-filled table would), or the
// first or second incoming branch in the trellis's visiting order won.
enum Choice : std::uint8_t { kNone = 0, kFirst = 1, kSecond = 2 };

// Path metrics and survivor memory of one Viterbi run.
//
//   metric       S path metrics entering the current step
//   gamma        O branch metrics of the current step
//   choice       per recorded step and state, which incoming branch survived
//
// Each state takes the better of its two incoming branches, first then second in the
// order a loop over states (bit 0 before bit 1) meets them, each compared strictly
// against the best so far starting from -1e7. Ties therefore keep the lower previous
// state, and bit 0 before bit 1 from the same state, exactly as that loop would.
class ViterbiRun {
 public:
  ViterbiRun(const Trellis& t, std::size_t recorded_steps)
      : t_(t),
        S_(static_cast<std::size_t>(t.num_states)),
        metric_(S_, kTrellisMinusInfinity),
        next_metric_(S_),
        gamma_(static_cast<std::size_t>(t.num_words)),
        choice_(recorded_steps * S_, kNone) {}

  std::span<float> metric() { return metric_; }

  // One add-compare-select step on the n channel values at `values`, recording the
  // survivors in row `row` unless row is negative.
  void step(const float* values, std::ptrdiff_t row) {
    branch_metrics({values, static_cast<std::size_t>(t_.n)}, gamma_.data());
    const int* in_state = t_.in_state.data();
    const int* in_word = t_.in_word.data();
    const float* metric = metric_.data();
    const float* gamma = gamma_.data();
    float* next_metric = next_metric_.data();
    std::uint8_t* choice =
        row >= 0 ? choice_.data() + static_cast<std::size_t>(row) * S_ : nullptr;
    for (std::size_t to = 0; to < S_; ++to) {
      const float c0 = metric[in_state[2 * to]] + gamma[in_word[2 * to]];
      const float c1 = metric[in_state[2 * to + 1]] + gamma[in_word[2 * to + 1]];
      float best = kTrellisMinusInfinity;
      std::uint8_t won = kNone;
      if (c0 > best) {
        best = c0;
        won = kFirst;
      }
      if (c1 > best) {
        best = c1;
        won = kSecond;
      }
      next_metric[to] = best;
      if (choice != nullptr) choice[to] = won;
    }
    // Renormalise by the larger of 0 and the best metric.
    float top = 0.0f;
    for (std::size_t s = 0; s < S_; ++s) top = next_metric[s] > top ? next_metric[s] : top;
    for (std::size_t s = 0; s < S_; ++s) metric_[s] = next_metric[s] - top;
  }

  // Follows survivors from `state` back through rows last..L without output, then
  // writes the decisions of rows L-1..0 into out (L = out.size()).
  void traceback(int state, std::size_t last_row, std::span<int> out) const {
    const std::size_t L = out.size();
    for (std::size_t row = last_row + 1; row-- > 0;) {
      const std::uint8_t won = choice_[row * S_ + static_cast<std::size_t>(state)];
      const std::size_t branch = 2 * static_cast<std::size_t>(state) + (won == kSecond ? 1 : 0);
      const int bit = won == kNone ? 0 : t_.in_bit[branch];
      if (row < L) out[row] = bit;
      state = won == kNone ? 0 : t_.in_state[branch];
    }
  }

 private:
  const Trellis& t_;
  std::size_t S_;
  std::vector<float> metric_;
  std::vector<float> next_metric_;
  std::vector<float> gamma_;
  std::vector<std::uint8_t> choice_;
};

}  // namespace

void trellis_best_path(std::span<int> output_u, std::span<const float> input_c,
                       const Trellis& trellis) {
  const std::size_t L = output_u.size();
  const auto n = static_cast<std::size_t>(trellis.n);
  const std::size_t steps = L + static_cast<std::size_t>(trellis.m);
  if (input_c.size() != steps * n) {
    throw std::invalid_argument("trellis_best_path: code values do not match the block");
  }
  ViterbiRun run(trellis, steps);
  run.metric()[0] = 0.0f;
  for (std::size_t k = 0; k < steps; ++k) {
    run.step(input_c.data() + k * n, static_cast<std::ptrdiff_t>(k));
  }
  if (steps > 0) run.traceback(0, steps - 1, output_u);  // terminated: ends in state 0
}

void trellis_best_path_circular(std::span<int> output_u, std::span<const float> input_c,
                                const Trellis& trellis, std::size_t depth_steps) {
  const std::size_t L = output_u.size();
  const auto n = static_cast<std::size_t>(trellis.n);
  if (L == 0) throw std::invalid_argument("trellis_best_path_circular: empty block");
  if (input_c.size() != L * n) {
    throw std::invalid_argument("trellis_best_path_circular: code values do not match the block");
  }
  const auto D = static_cast<std::ptrdiff_t>(depth_steps);
  const auto ring = static_cast<std::ptrdiff_t>(L);
  ViterbiRun run(trellis, L + depth_steps);
  for (float& metric : run.metric()) metric = 0.0f;  // every start state equally likely
  // D steps of the block's end lead in, then the block, then D steps of its start.
  for (std::ptrdiff_t t = -D; t < ring + D; ++t) {
    std::ptrdiff_t k = t % ring;
    if (k < 0) k += ring;
    run.step(input_c.data() + static_cast<std::size_t>(k) * n, t >= 0 ? t : -1);
  }
  const std::span<float> metric = run.metric();
  int best = 0;
  for (std::size_t s = 1; s < metric.size(); ++s) {
    if (metric[s] > metric[best]) best = static_cast<int>(s);
  }
  run.traceback(best, L + depth_steps - 1, output_u);
}

std::uint64_t trellis_best_path_bytes(int K, int n, std::size_t steps) noexcept {
  if (!trellis_fits(K, n)) return kSizeSaturated;
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  const std::uint64_t survivors = mul_sat(steps, S);  // one choice byte per state and step
  const std::uint64_t metrics = mul_sat(add_sat(2 * S, std::uint64_t{1} << n), sizeof(float));
  return add_sat(survivors, metrics);
}

}  // namespace linkforge
