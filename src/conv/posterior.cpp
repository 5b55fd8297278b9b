#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge {

namespace {

// For every code bit i, the branches (index 2s + data bit) whose output word has bit i
// set, then those where it is clear, each group in increasing branch order: the order in
// which a loop over states, branch 0 before branch 1, meets them.
struct CodeBitPlan {
  std::size_t branches;          // 2S
  std::vector<int> ones_count;   // per code bit
  std::vector<int> order;        // n rows of 2S branch indices
};

CodeBitPlan plan_code_bits(const Trellis& t) {
  const auto S = static_cast<std::size_t>(t.num_states);
  const auto n = static_cast<std::size_t>(t.n);
  CodeBitPlan plan{2 * S, std::vector<int>(n, 0), std::vector<int>(n * 2 * S)};
  for (std::size_t i = 0; i < n; ++i) {
    int* row = plan.order.data() + i * 2 * S;
    std::size_t ones = 0;
    for (const bool want_one : {true, false}) {
      for (std::size_t branch = 0; branch < 2 * S; ++branch) {
        const int word = branch & 1 ? t.out1[branch / 2] : t.out0[branch / 2];
        if ((((word >> (n - 1 - i)) & 1) != 0) == want_one) row[ones++] = static_cast<int>(branch);
      }
      if (want_one) plan.ones_count[i] = static_cast<int>(ones);
    }
  }
  return plan;
}

// Forward-backward recursion over a terminated trellis in the log domain.
//
//   beta        (L + m + 1) rows of S backward metrics; row k: state before step k
//   alpha       S forward metrics of the current step; alpha_next of the next step
//   gamma       O branch metrics of the current step, by output word
//   metric      2S branch metrics of the step, by branch 2s + data bit
//   branch      2S sums alpha + gamma + beta of the step's branches
//
// Every state's forward metric folds its two incoming branches in the order of the
// per-branch loop, Op(second, Op(first, -1e7)); the data and code-bit accumulators fold
// their branches in increasing branch order, Op(new, accumulator). With the sums
// formed in the same order this reproduces the branch-by-branch recursion bit for bit
// while reading each table once per state. Metrics are renormalised every step (state 0
// set to 0). The a-priori value `a` of a data bit enters only branches of data bit 1.
template <class Op>
void forward_backward(const float* input_u, const float* input_c, const Trellis& t,
                      std::size_t L, float* output_u, float* output_c) {
  const auto S = static_cast<std::size_t>(t.num_states);
  const auto n = static_cast<std::size_t>(t.n);
  const std::size_t steps = L + static_cast<std::size_t>(t.m);
  const CodeBitPlan plan = plan_code_bits(t);

  // Per-branch tables (index 2s + bit): output word and successor; per-state incoming
  // branch indices in visiting order.
  std::vector<int> word(2 * S), next(2 * S), incoming(2 * S);
  for (std::size_t s = 0; s < S; ++s) {
    word[2 * s] = t.out0[s];
    word[2 * s + 1] = t.out1[s];
    next[2 * s] = t.next0[s];
    next[2 * s + 1] = t.next1[s];
  }
  for (std::size_t j = 0; j < 2 * S; ++j) incoming[j] = 2 * t.in_state[j] + t.in_bit[j];

  std::vector<float> beta((steps + 1) * S);
  std::vector<float> gamma(static_cast<std::size_t>(t.num_words));
  std::vector<float> metric(2 * S);
  std::vector<float> alpha(S, kTrellisMinusInfinity);
  std::vector<float> alpha_next(S);
  std::vector<float> branch(2 * S);
  float* g = metric.data();

  float* b = beta.data() + steps * S;
  for (std::size_t s = 0; s < S; ++s) b[s] = kTrellisMinusInfinity;
  b[0] = 0.0f;
  for (std::size_t k = steps; k-- > 0;) {
    const float a = k < L ? input_u[k] : 0.0f;
    branch_metrics({input_c + k * n, n}, gamma.data());
    for (std::size_t j = 0; j < 2 * S; ++j) g[j] = gamma[word[j]];
    float* bk = beta.data() + k * S;
    const float* bk1 = bk + S;
    for (std::size_t s = 0; s < S; ++s) {
      bk[s] = Op::apply(g[2 * s] + bk1[next[2 * s]], g[2 * s + 1] + bk1[next[2 * s + 1]] + a);
    }
    const float b0 = bk[0];
    for (std::size_t s = 1; s < S; ++s) bk[s] -= b0;
    bk[0] = 0.0f;
  }

  alpha[0] = 0.0f;
  for (std::size_t k = 0; k < steps; ++k) {
    const float a = k < L ? input_u[k] : 0.0f;
    branch_metrics({input_c + k * n, n}, gamma.data());
    for (std::size_t j = 0; j < 2 * S; ++j) g[j] = gamma[word[j]];
    for (std::size_t to = 0; to < S; ++to) {
      const int first = incoming[2 * to];
      const int second = incoming[2 * to + 1];
      float c0 = g[first] + alpha[first >> 1];
      if (first & 1) c0 += a;
      float c1 = g[second] + alpha[second >> 1];
      if (second & 1) c1 += a;
      alpha_next[to] = Op::apply(c1, Op::apply(c0, kTrellisMinusInfinity));
    }

    const float* bk1 = beta.data() + (k + 1) * S;
    float* p = branch.data();
    for (std::size_t s = 0; s < S; ++s) {
      p[2 * s] = g[2 * s] + alpha[s] + bk1[next[2 * s]];
      p[2 * s + 1] = g[2 * s + 1] + alpha[s] + bk1[next[2 * s + 1]] + a;
    }
    float den_u = kTrellisMinusInfinity;
    float num_u = kTrellisMinusInfinity;
    for (std::size_t s = 0; s < S; ++s) {
      den_u = Op::apply(p[2 * s], den_u);
      num_u = Op::apply(p[2 * s + 1], num_u);
    }
    if (k < L) output_u[k] = num_u - den_u;
    for (std::size_t i = 0; i < n; ++i) {
      const int* order = plan.order.data() + i * plan.branches;
      const auto ones = static_cast<std::size_t>(plan.ones_count[i]);
      float num = kTrellisMinusInfinity;
      float den = kTrellisMinusInfinity;
      for (std::size_t j = 0; j < ones; ++j) num = Op::apply(p[order[j]], num);
      for (std::size_t j = ones; j < plan.branches; ++j) den = Op::apply(p[order[j]], den);
      output_c[k * n + i] = num - den;
    }
    for (std::size_t s = 0; s < S; ++s) alpha[s] = alpha_next[s] - alpha_next[0];
  }
}

}  // namespace

void trellis_posterior(std::span<const float> input_u, std::span<const float> input_c,
                       const Trellis& trellis, int decoder_type, std::span<float> output_u,
                       std::span<float> output_c) {
  const std::size_t L = input_u.size();
  const std::size_t coded = (L + static_cast<std::size_t>(trellis.m)) * trellis.n;
  if (input_c.size() != coded || output_u.size() != L || output_c.size() != coded) {
    throw std::invalid_argument("trellis_posterior: lengths of data and code values disagree");
  }
  with_max_star(decoder_type, [&]<class Op>(Op) {
    forward_backward<Op>(input_u.data(), input_c.data(), trellis, L, output_u.data(),
                         output_c.data());
  });
}

std::uint64_t trellis_posterior_bytes(int K, int n, std::size_t L) noexcept {
  if (!trellis_fits(K, n)) return kSizeSaturated;
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  const std::uint64_t rows = add_sat(L, static_cast<std::uint64_t>(K));  // L + m + 1
  std::uint64_t words = mul_sat(rows, S);                                 // beta
  words = add_sat(words, std::uint64_t{1} << n);                          // gamma
  words = add_sat(words, 4 * S);                                          // alpha, branches
  words = add_sat(words, mul_sat(2 * S + 1, static_cast<std::uint64_t>(n)));  // code-bit plan
  return mul_sat(words, sizeof(float));
}

}  // namespace linkforge
