#include <cstdint>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"

namespace linkforge {

namespace {

// Path metrics and survivor memory of one Viterbi run.
//
//   metric       S path metrics entering the current step
//   next_metric  S metrics being formed; -1e7 between steps
//   gamma        O branch metrics of the current step
//   prev, bit    per recorded step and state: the survivor's previous state and its
//                data bit, zero for states no path reached
class ViterbiRun {
 public:
  ViterbiRun(const Trellis& t, std::size_t recorded_steps)
      : t_(t),
        S_(static_cast<std::size_t>(t.num_states)),
        metric_(S_, kTrellisMinusInfinity),
        next_metric_(S_, kTrellisMinusInfinity),
        gamma_(static_cast<std::size_t>(t.num_words)),
        prev_(recorded_steps * S_, 0),
        bit_(recorded_steps * S_, 0) {}

  std::span<float> metric() { return metric_; }

  // One add-compare-select step on the n channel values at `values`; records survivors
  // in row `row` unless row is negative. A candidate replaces the stored one only when
  // strictly greater, so ties keep the lower previous state and bit 0 before bit 1.
  void step(const float* values, std::ptrdiff_t row) {
    branch_metrics({values, static_cast<std::size_t>(t_.n)}, gamma_.data());
    const int* out0 = t_.out0.data();
    const int* out1 = t_.out1.data();
    const int* next0 = t_.next0.data();
    const int* next1 = t_.next1.data();
    float* next_metric = next_metric_.data();
    const float* metric = metric_.data();
    const float* gamma = gamma_.data();
    int* prev = row >= 0 ? prev_.data() + static_cast<std::size_t>(row) * S_ : nullptr;
    std::uint8_t* bit = row >= 0 ? bit_.data() + static_cast<std::size_t>(row) * S_ : nullptr;
    for (std::size_t s = 0; s < S_; ++s) {
      const float c0 = metric[s] + gamma[out0[s]];
      const int to0 = next0[s];
      if (c0 > next_metric[to0]) {
        next_metric[to0] = c0;
        if (prev) {
          prev[to0] = static_cast<int>(s);
          bit[to0] = 0;
        }
      }
      const float c1 = metric[s] + gamma[out1[s]];
      const int to1 = next1[s];
      if (c1 > next_metric[to1]) {
        next_metric[to1] = c1;
        if (prev) {
          prev[to1] = static_cast<int>(s);
          bit[to1] = 1;
        }
      }
    }
    // Renormalise by the larger of 0 and the best metric.
    float best = 0.0f;
    for (std::size_t s = 0; s < S_; ++s) {
      if (next_metric[s] > best) best = next_metric[s];
    }
    for (std::size_t s = 0; s < S_; ++s) {
      metric_[s] = next_metric[s] - best;
      next_metric[s] = kTrellisMinusInfinity;
    }
  }

  // Follows survivors from `state` back through rows last..first+1 without output, then
  // writes the decisions of rows first..0 into out.
  void traceback(int state, std::size_t last_row, std::span<int> out) const {
    const std::size_t L = out.size();
    for (std::size_t row = last_row + 1; row-- > L;) state = prev_[row * S_ + state];
    for (std::size_t row = L; row-- > 0;) {
      out[row] = bit_[row * S_ + state];
      state = prev_[row * S_ + state];
    }
  }

 private:
  const Trellis& t_;
  std::size_t S_;
  std::vector<float> metric_;
  std::vector<float> next_metric_;
  std::vector<float> gamma_;
  std::vector<int> prev_;
  std::vector<std::uint8_t> bit_;
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
  const std::uint64_t survivors = mul_sat(mul_sat(steps, S), sizeof(int) + sizeof(std::uint8_t));
  const std::uint64_t metrics = mul_sat(add_sat(2 * S, std::uint64_t{1} << n), sizeof(float));
  return add_sat(survivors, metrics);
}

}  // namespace linkforge
