// The forward-backward recursion of trellis_posterior with the states in SIMD lanes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "linkforge/conv.hpp"

namespace linkforge::posterior_detail {

// Width of a row of the output-fold table: one lane per accumulator (at most 2 + 2n of
// them), rounded up to the fold vectors.
inline constexpr std::size_t kFoldLanes = 16;

// The codes the lanes path takes: at least four states (fewer do not fill the narrowest
// vectors it uses) and at most seven code bits per step (2 + 2n accumulators).
constexpr bool posterior_in_lanes(int num_states, int n) noexcept {
  return num_states >= 4 && n >= 1 && 2 + 2 * static_cast<std::size_t>(n) <= kFoldLanes;
}

// trellis_posterior for a code that posterior_in_lanes accepts, on the best target the
// CPU runs. Sizes are checked by the caller; output_c may be null (no code-bit
// outputs).
void posterior_lanes(const float* input_u, const float* input_c, std::size_t L,
                     const Trellis& trellis, int decoder_type, float* output_u, float* output_c,
                     const Interrupt& interrupt);

// Working memory of posterior_lanes besides the backward metrics, in 4-byte words, for
// S states and n code bits per step: index tables, the output-fold table at its
// largest (a code bit that no branch sets makes an accumulator of all 2S branches) and
// the float rows.
constexpr std::uint64_t posterior_lanes_words(std::uint64_t S, int n) noexcept {
  const std::uint64_t words = std::uint64_t{1} << n;
  const std::uint64_t tables = 10 * S + 2 * (2 * S + 1) * kFoldLanes;
  const std::uint64_t floats =
      (words > kFoldLanes ? words : kFoldLanes) + 2 * kFoldLanes * (2 * S + 1) + 2 * S + kFoldLanes;
  return tables + floats;
}

}  // namespace linkforge::posterior_detail
