// The successive-cancellation decoder over a group of frames in SIMD lanes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "linkforge/parallel.hpp"

namespace linkforge::polar_detail {

// Frames per group on the target the CPU runs.
std::size_t sc_lanes();

// The threads for `groups` groups of frames: starting a thread costs about as much as
// decoding a few groups, so each thread takes 4 at least.
inline int sc_threads(std::size_t groups, int threads) {
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(thread_count(threads)),
                                                std::max<std::size_t>(groups / 4, 1)));
}

// Decodes sc_lanes() frames of a length-N code at once. top holds their LLRs as
// ln(P(0)/P(1)), value i of frame l at [i * lanes + l]; info_before[i] counts the
// information positions below i (N + 1 entries). work (N x lanes floats) and sums
// (2N x lanes) are working arrays; u receives the decisions, N x lanes, each 0 or
// all ones. Every array is aligned to the target's vectors.
void sc_decode_group(const float* top, std::size_t N, const std::uint32_t* info_before, float* work,
                     std::uint32_t* sums, std::uint32_t* u);

// The list decoder's node steps on the target the CPU runs, for nodes of a multiple of
// `lanes` values: out[i] = f(a[i], a[n + i]) and out[i] = g(a[i], a[n + i], u[i]) for
// i < n, the same values as the one-value forms.
// `select` marks the `keep` first of C keys in the order (key, index): kept[c] = 1 when
// fewer than `keep` keys precede key c, where key c' precedes it when it is smaller, or
// equal and c' < c. The key array runs on to a multiple of kSelectPad with values above
// every real key.
inline constexpr std::size_t kSelectPad = 8;
struct StageLanes {
  std::size_t lanes = 0;
  void (*f)(const float* a, std::size_t n, float* out) = nullptr;
  void (*g)(const float* a, const std::uint8_t* u, std::size_t n, float* out) = nullptr;
  void (*select)(const std::uint64_t* key, std::size_t C, std::size_t keep,
                 std::uint8_t* kept) = nullptr;
  void choose();
};

}  // namespace linkforge::polar_detail
