#include "linkforge/trellis.hpp"

#include <stdexcept>
#include <string>

#include "linkforge/bits.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

void require_fits(int K, int n) {
  if (!trellis_fits(K, n)) {
    throw ArgumentError("trellis with K = " + std::to_string(K) + " and n = " + std::to_string(n) +
                        " does not fit the int tables");
  }
}

void require_table(std::span<int> output, std::span<int> next_state, int K) {
  const std::size_t states = std::size_t{1} << (K - 1);
  if (output.size() < states || next_state.size() < states) {
    throw ArgumentError("trellis table shorter than the number of states");
  }
}

}  // namespace

std::vector<int> generator_polynomials(std::span<const double> g_matrix, int n, int K) {
  require_fits(K, n);
  if (g_matrix.size() < static_cast<std::size_t>(n) * static_cast<std::size_t>(K)) {
    throw ArgumentError("generator matrix smaller than n x K");
  }
  std::vector<int> g(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < K; ++j) {
      const double entry = g_matrix[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n];
      if (!(entry == 0.0)) g[i] += 1 << (K - 1 - j);  // NaN counts as a tap
    }
  }
  return g;
}

void nsc_transit(std::span<int> output, std::span<int> next_state, int input,
                 std::span<const int> g, int K) {
  require_fits(K, static_cast<int>(g.size()));
  require_table(output, next_state, K);
  const int m = K - 1;
  const int states = 1 << m;
  for (int s = 0; s < states; ++s) {
    const int w = (input << m) ^ s;
    int word = 0;
    for (const int gi : g) word = 2 * word + parity_counter(w & gi, K);
    output[s] = word;
    next_state[s] = w >> 1;
  }
}

void rsc_transit(std::span<int> output, std::span<int> next_state, int input,
                 std::span<const int> g, int K) {
  require_fits(K, static_cast<int>(g.size()));
  require_table(output, next_state, K);
  const int m = K - 1;
  const int states = 1 << m;
  for (int s = 0; s < states; ++s) {
    const int feedback = parity_counter(s & g[0], K);
    const int w = s ^ ((input ^ feedback) << m);
    int word = input;
    for (std::size_t i = 1; i < g.size(); ++i) word = 2 * word + parity_counter(w & g[i], K);
    output[s] = word;
    next_state[s] = w >> 1;
  }
}

float Gamma(std::span<const float> values, int word) {
  const int n = static_cast<int>(values.size());
  float sum = 0.0f;
  for (int i = n - 1; i >= 0; --i) {
    if ((word >> (n - 1 - i)) & 1) sum += values[i];
  }
  return sum;
}

Trellis make_trellis(std::span<const int> g, int K, bool recursive) {
  const int n = static_cast<int>(g.size());
  require_fits(K, n);
  Trellis t;
  t.K = K;
  t.n = n;
  t.m = K - 1;
  t.num_states = 1 << t.m;
  t.num_words = 1 << n;
  t.g.assign(g.begin(), g.end());
  const auto states = static_cast<std::size_t>(t.num_states);
  t.out0.assign(states, 0);
  t.next0.assign(states, 0);
  t.out1.assign(states, 0);
  t.next1.assign(states, 0);
  const auto transit = recursive ? rsc_transit : nsc_transit;
  transit(t.out0, t.next0, 0, g, K);
  transit(t.out1, t.next1, 1, g, K);

  // Both transit functions shift the register by one, so every state has exactly two
  // predecessors, 2p and 2p + 1 with p the state's low m - 1 bits (or state 0 twice
  // when m = 0).
  t.in_state.assign(2 * states, 0);
  t.in_bit.assign(2 * states, 0);
  t.in_word.assign(2 * states, 0);
  std::vector<int> filled(states, 0);
  for (std::size_t s = 0; s < states; ++s) {
    for (int bit = 0; bit < 2; ++bit) {
      const auto to = static_cast<std::size_t>(bit ? t.next1[s] : t.next0[s]);
      if (filled[to] == 2) throw std::logic_error("trellis state with more than two predecessors");
      const std::size_t slot = 2 * to + static_cast<std::size_t>(filled[to]++);
      t.in_state[slot] = static_cast<int>(s);
      t.in_bit[slot] = bit;
      t.in_word[slot] = bit ? t.out1[s] : t.out0[s];
    }
  }
  return t;
}

std::uint64_t trellis_table_bytes(int K) noexcept {
  if (K < 1 || K - 1 >= 63) return kSizeSaturated;
  // out0, next0, out1, next1 (S each), in_state, in_bit, in_word (2S each), S
  // predecessor counters while they are built, and the generator polynomials.
  return add_sat(mul_sat(std::uint64_t{1} << (K - 1), 11 * sizeof(int)),
                 kMaxTrellisOutputs * sizeof(int));
}

}  // namespace linkforge
