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

DuobinaryTrellis::DuobinaryTrellis(const std::array<int, kDuobinaryGenerators>& generators)
    : g_(generators) {
  for (const int g : g_) {
    if (g < 0 || g > 15) {
      throw std::invalid_argument("parity generator " + std::to_string(g) +
                                  " is not a 4-bit value 0 through 15");
    }
  }
  for (int i = 0; i < kDuobinaryTransitions; ++i) {
    const int s = i / 4;
    const Transition step = transition(s, (i >> 1) & 1, i & 1);
    next_[i] = step.next;
    word_[i] = 2 * parity_bit(step.feedback, s, g_[0]) + parity_bit(step.feedback, s, g_[1]);
  }
}

void duobinary_encode(std::span<const double> x, std::span<double> outz,
                      const DuobinaryTrellis& trellis, int start_state) {
  const std::size_t N = pair_count(x);
  if (outz.size() != 2 * N) throw std::invalid_argument("parity output must hold 2N values");
  if (start_state < 0 || start_state >= kDuobinaryStates) {
    throw std::invalid_argument("start state " + std::to_string(start_state) +
                                " is not 0 through 7");
  }
  int s = start_state;
  for (std::size_t t = 0; t < N; ++t) {
    const int i = 4 * s + 2 * low_bit(x[2 * t]) + low_bit(x[2 * t + 1]);
    const int z = trellis.word()[i];
    outz[2 * t] = z >> 1;
    outz[2 * t + 1] = z & 1;
    s = trellis.next()[i];
  }
}

}  // namespace linkforge
