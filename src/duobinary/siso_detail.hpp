// What the scalar circular decoder and its SIMD form share: the lap rule, the
// renormalisation and the grouping of the trellis transitions.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "linkforge/duobinary.hpp"
#include "linkforge/interrupt.hpp"

namespace linkforge::duobinary_detail {

inline constexpr int kLaps = 4;
inline constexpr int kSymbols = 4;
// Two renormalised metrics repeat when they differ by at most this much.
inline constexpr double kRepeatTolerance = 1e-7;

// The transitions of each key value (successor state or parity symbol), every group in
// increasing transition order: the order in which a loop over i = 0..31 meets them, so
// folding a group into its accumulator repeats that loop's roundings and ties exactly.
struct Groups {
  std::array<int, kDuobinaryTransitions> order{};
  std::array<int, kDuobinaryStates + 1> start{};  // group k is order[start[k]..start[k+1])

  // Whether every one of the first `keys` groups has `size` members.
  bool all_of_size(int keys, int size) const noexcept {
    for (int k = 0; k < keys; ++k) {
      if (start[k + 1] - start[k] != size) return false;
    }
    return true;
  }
};

inline Groups group_by(const int* key, int keys) {
  Groups groups;
  int filled = 0;
  for (int k = 0; k < keys; ++k) {
    groups.start[k] = filled;
    for (int i = 0; i < kDuobinaryTransitions; ++i) {
      if (key[i] == k) groups.order[filled++] = i;
    }
  }
  groups.start[keys] = filled;
  return groups;
}

// Writes the metrics acc[k] - acc[0] (state 0 renormalised to 0) over `row` and
// reports whether every one of them repeats the value it replaces within the
// tolerance: the difference is formed in single precision and compared with 1e-7 at
// double precision. NaN never repeats.
inline bool store_renormalised(const float* acc, float* row) {
  bool repeats = true;
  for (int k = 1; k < kDuobinaryStates; ++k) {
    const float d = acc[k] - acc[0];
    if (!(std::fabs(d - row[k]) <= kRepeatTolerance)) repeats = false;
    row[k] = d;
  }
  row[0] = 0.0f;
  return repeats;
}

// One recursion of the circular decoder: steps t = N-1 down to 0 (backward) or 0 up to
// N-1, lap after lap, at most kLaps laps. step(t, lap) runs step t and tells whether the
// recursion ends there; after every lap it completes, wrap() carries the far end of the
// block onto the start of the next. Returns the steps run.
template <class Step, class Wrap>
std::size_t round_the_block(std::size_t N, bool backward, Step&& step, Wrap&& wrap) {
  std::size_t steps = 0;
  for (int lap = 0; lap < kLaps; ++lap) {
    for (std::size_t i = 0; i < N; ++i) {
      ++steps;
      if (step(backward ? N - 1 - i : i, lap)) return steps;
    }
    wrap();
  }
  return steps;
}

// The circular decoder with the states, and then the symbols, of each step in SIMD
// lanes, on the best target the CPU runs. Needs a trellis whose every state has four
// incoming transitions and whose every parity symbol labels eight; `into` and `emit`
// are those groups. alpha and beta hold (N + 1) rows of 8 floats each, all zero.
// Results and step counts are the scalar decoder's bit for bit.
DuobinaryRecursionSteps circular_siso_lanes(int dec_type, const float* inx, const float* inz,
                                            float* outx, float* outz, float* soft, std::size_t N,
                                            const int* next, const int* word, const Groups& into,
                                            const Groups& emit, float* alpha, float* beta,
                                            const Interrupt& interrupt);

}  // namespace linkforge::duobinary_detail
