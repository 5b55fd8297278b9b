#include <cmath>
#include <stdexcept>
#include <string>

#include "linkforge/bits.hpp"
#include "linkforge/duobinary.hpp"

namespace linkforge {

namespace {

// Circulation states of ETSI EN 301 790 (DVB-RCS turbo code): row N mod 7 - 1, column
// the state reached after encoding the block from state 0. N mod 7 = 0 has no row.
// clang-format off
constexpr int kCirculationState[6][kDuobinaryStates] = {
    {0, 6, 4, 2, 7, 1, 3, 5},
    {0, 3, 7, 4, 5, 6, 2, 1},
    {0, 5, 3, 6, 2, 7, 1, 4},
    {0, 4, 1, 5, 6, 2, 7, 3},
    {0, 2, 5, 7, 1, 3, 4, 6},
    {0, 7, 6, 1, 3, 4, 5, 2},
};
// clang-format on

struct Transition {
  int feedback;
  int next;
};

// One trellis step from state s (0..7) with data bits a and b (0 or 1).
Transition transition(int s, int a, int b) {
  const int s2 = (s >> 2) & 1;
  const int s1 = (s >> 1) & 1;
  const int f = a ^ b ^ parity_counter(s & 5, 3);  // s0 ^ s2
  return {f, 4 * f + 2 * (s2 ^ b) + (s1 ^ b)};
}

// Parity bit of a transition: the parity of the register word 8f + s under a 4-bit
// generator.
int parity_bit(int feedback, int s, int g) {
  return parity_counter((8 * feedback + s) & g, 4);
}

std::size_t pair_count(std::span<const double> x) {
  if (x.size() % 2 != 0) throw std::invalid_argument("pair data must have an even length");
  return x.size() / 2;
}

}  // namespace

int low_bit(double value) noexcept {
  // Also false for NaN. From 2^53 up every double is an even integer.
  if (!(std::fabs(value) < 9007199254740992.0)) return 0;
  return static_cast<int>(static_cast<std::int64_t>(value) & 1);  // two's complement: -1 is odd
}

std::array<int, kDuobinaryGenerators> duobinary_generators(std::span<const double> poly) {
  if (poly.size() != 2 * 4) {
    throw std::invalid_argument("parity generators must be a 2 x 4 matrix");
  }
  std::array<int, kDuobinaryGenerators> g{};
  for (int j = 0; j < kDuobinaryGenerators; ++j) {
    for (int k = 0; k < 4; ++k) g[j] += low_bit(poly[j + 2 * k]) << (3 - k);
  }
  return g;
}

int find_circular_state(std::span<const double> x) {
  const std::size_t N = pair_count(x);
  if (!has_circulation_state(N)) {
    throw std::invalid_argument("a block of " + std::to_string(N) +
                                " pairs (a multiple of 7) has no circulation state");
  }
  int s = 0;
  for (std::size_t t = 0; t < N; ++t)
    s = transition(s, low_bit(x[2 * t]), low_bit(x[2 * t + 1])).next;
  return kCirculationState[N % 7 - 1][s];
}

void Duobinary_Encode_wSc(std::span<const double> x, std::span<double> outz, std::span<const int> g,
                          int start_state) {
  const std::size_t N = pair_count(x);
  const std::size_t G = g.size();
  if (outz.size() != G * N) throw std::invalid_argument("parity output must hold G * N values");
  if (start_state < 0 || start_state >= kDuobinaryStates) {
    throw std::invalid_argument("start state " + std::to_string(start_state) +
                                " is not 0 through 7");
  }
  int s = start_state;
  for (std::size_t t = 0; t < N; ++t) {
    const Transition step = transition(s, low_bit(x[2 * t]), low_bit(x[2 * t + 1]));
    for (std::size_t j = 0; j < G; ++j) outz[t * G + j] = parity_bit(step.feedback, s, g[j]);
    s = step.next;
  }
}

void find_Duobinary_trellis(std::span<int> next, std::span<int> word, std::span<const int> g) {
  if (next.size() != kDuobinaryTransitions || word.size() != kDuobinaryTransitions ||
      g.size() != kDuobinaryGenerators) {
    throw std::invalid_argument("double-binary trellis needs 32-entry tables and two generators");
  }
  for (int i = 0; i < kDuobinaryTransitions; ++i) {
    const int s = i / 4;
    const Transition step = transition(s, (i >> 1) & 1, i & 1);
    next[i] = step.next;
    word[i] = 2 * parity_bit(step.feedback, s, g[0]) + parity_bit(step.feedback, s, g[1]);
  }
}

}  // namespace linkforge
