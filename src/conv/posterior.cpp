#include <stdexcept>

#include "conv/posterior_lanes.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/scratch.hpp"

namespace linkforge {

namespace {

// Folds a branch metric into the code-bit accumulators: num[i] for the code bits its
// output word sets, den[i] for the others (bit n-1-i of the word is code bit i).
template <class Op>
inline void fold_code_bits(int word, float metric, std::size_t n, float* num, float* den) {
  for (std::size_t i = 0; i < n; ++i) {
    float& acc = (word >> (n - 1 - i)) & 1 ? num[i] : den[i];
    acc = Op::apply(metric, acc);
  }
}

// Forward-backward recursion over a terminated trellis in the log domain.
//
//   beta        (L + m + 1) rows of S backward metrics; row k: state before step k
//   alpha       S forward metrics of the current step; alpha_next of the next step
//   gamma       O branch metrics of the current step, by output word
//   metric      2S branch metrics of the step, by branch 2s + data bit
//   num/den     per code bit, max* over branches whose word has that bit 1 / 0
//
// Every state's forward metric folds its two incoming branches in the order of the
// per-branch loop, Op(second, Op(first, -1e7)); the data and code-bit accumulators fold
// the branches state by state, bit 0 before bit 1, Op(new, accumulator). With the sums
// formed in the same order this reproduces the branch-by-branch recursion bit for bit. Metrics are
// renormalised every step (state 0 set to 0). The a-priori value `a` of a data bit enters only
// branches of data bit 1. Without code-bit outputs (output_c null) the code-bit
// accumulators and the forward steps of the tail are skipped.
//
// kStates and kBits, when not 0, fix S and n at compile time for the common codes, so
// that the per-state loops unroll; the arithmetic is the same either way.
template <class Op, std::size_t kStates, std::size_t kBits>
void forward_backward(const float* input_u, const float* input_c, const Trellis& t, std::size_t L,
                      float* output_u, float* output_c, const Interrupt& interrupt) {
  const std::size_t S = kStates != 0 ? kStates : static_cast<std::size_t>(t.num_states);
  const std::size_t n = kBits != 0 ? kBits : static_cast<std::size_t>(t.n);
  const std::size_t steps = L + static_cast<std::size_t>(t.m);

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

  // The largest array, reused from call to call; every row is written before it is read.
  const ScratchBlock beta_block((steps + 1) * S * sizeof(float));
  const std::span<float> beta = beta_block.as<float>((steps + 1) * S);
  std::vector<float> gamma(static_cast<std::size_t>(t.num_words));
  std::vector<float> metric(2 * S);
  std::vector<float> alpha(S, kTrellisMinusInfinity);
  std::vector<float> alpha_next(S);
  std::vector<float> num(n);
  std::vector<float> den(n);
  float* g = metric.data();
  InterruptPacer pacer(interrupt);

  float* b = beta.data() + steps * S;
  for (std::size_t s = 0; s < S; ++s) b[s] = kTrellisMinusInfinity;
  b[0] = 0.0f;
  for (std::size_t k = steps; k-- > 0;) {
    pacer.add(2 * S);
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
  const bool code_bits = output_c != nullptr;
  for (std::size_t k = 0; k < (code_bits ? steps : L); ++k) {
    pacer.add(4 * S);
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
    float den_u = kTrellisMinusInfinity;
    float num_u = kTrellisMinusInfinity;
    for (std::size_t i = 0; i < n; ++i) num[i] = den[i] = kTrellisMinusInfinity;
    for (std::size_t s = 0; s < S; ++s) {
      const float p0 = g[2 * s] + alpha[s] + bk1[next[2 * s]];
      den_u = Op::apply(p0, den_u);
      if (code_bits) fold_code_bits<Op>(word[2 * s], p0, n, num.data(), den.data());
      const float p1 = g[2 * s + 1] + alpha[s] + bk1[next[2 * s + 1]] + a;
      num_u = Op::apply(p1, num_u);
      if (code_bits) fold_code_bits<Op>(word[2 * s + 1], p1, n, num.data(), den.data());
    }
    if (k < L) output_u[k] = num_u - den_u;
    if (code_bits) {
      for (std::size_t i = 0; i < n; ++i) output_c[k * n + i] = num[i] - den[i];
    }
    for (std::size_t s = 0; s < S; ++s) alpha[s] = alpha_next[s] - alpha_next[0];
  }
}

// The sizes trellis_posterior accepts, and whether code-bit outputs are wanted.
bool check_posterior_sizes(std::span<const float> input_u, std::span<const float> input_c,
                           const Trellis& trellis, std::span<float> output_u,
                           std::span<float> output_c) {
  const std::size_t L = input_u.size();
  const std::size_t coded = (L + static_cast<std::size_t>(trellis.m)) * trellis.n;
  if (input_c.size() != coded || output_u.size() != L ||
      (output_c.size() != coded && !output_c.empty())) {
    throw ArgumentError("trellis_posterior: lengths of data and code values disagree");
  }
  return !output_c.empty();
}

}  // namespace

void trellis_posterior_scalar(std::span<const float> input_u, std::span<const float> input_c,
                              const Trellis& trellis, MaxStar op, std::span<float> output_u,
                              std::span<float> output_c, const Interrupt& interrupt) {
  const std::size_t L = input_u.size();
  float* code_out = check_posterior_sizes(input_u, input_c, trellis, output_u, output_c)
                        ? output_c.data()
                        : nullptr;
  with_max_star(static_cast<int>(op), [&]<class Op>(Op) {
    const auto run = [&]<std::size_t kStates, std::size_t kBits>() {
      forward_backward<Op, kStates, kBits>(input_u.data(), input_c.data(), trellis, L,
                                           output_u.data(), code_out, interrupt);
    };
    // Rate-1/2 codes of 4, 8 (turbo constituents), 16 and 64 (K = 7) states.
    const int S = trellis.num_states;
    if (trellis.n == 2 && S == 8) return run.template operator()<8, 2>();
    if (trellis.n == 2 && S == 4) return run.template operator()<4, 2>();
    if (trellis.n == 2 && S == 16) return run.template operator()<16, 2>();
    if (trellis.n == 2 && S == 64) return run.template operator()<64, 2>();
    return run.template operator()<0, 0>();
  });
}

void trellis_posterior(std::span<const float> input_u, std::span<const float> input_c,
                       const Trellis& trellis, MaxStar op, std::span<float> output_u,
                       std::span<float> output_c, const Interrupt& interrupt) {
  if (!posterior_detail::posterior_in_lanes(trellis.num_states, trellis.n)) {
    return trellis_posterior_scalar(input_u, input_c, trellis, op, output_u, output_c, interrupt);
  }
  const bool code_bits = check_posterior_sizes(input_u, input_c, trellis, output_u, output_c);
  const int type = static_cast<int>(op);
  if (!is_max_star_type(type)) throw_bad_max_star_type(type);
  posterior_detail::posterior_lanes(input_u.data(), input_c.data(), input_u.size(), trellis, type,
                                    output_u.data(), code_bits ? output_c.data() : nullptr,
                                    interrupt);
}

std::uint64_t trellis_posterior_bytes(int K, int n, std::size_t L) noexcept {
  if (!trellis_fits(K, n)) return kSizeSaturated;
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  const std::uint64_t rows = add_sat(L, static_cast<std::uint64_t>(K));  // L + m + 1
  std::uint64_t words = mul_sat(rows, S);                                // beta
  words = add_sat(words, std::uint64_t{1} << n);                         // gamma
  words = add_sat(words, 4 * S);                                         // alpha, branches
  words = add_sat(words, 2 * static_cast<std::uint64_t>(n));             // num, den
  words = add_sat(words, 6 * S);  // per-branch words, successors and incoming branches
  if (posterior_detail::posterior_in_lanes(static_cast<int>(S), n)) {
    // The lanes path: the same backward metrics, its own tables and rows.
    words = add_sat(mul_sat(rows, S), posterior_detail::posterior_lanes_words(S, n));
  }
  return mul_sat(words, sizeof(float));
}

}  // namespace linkforge
