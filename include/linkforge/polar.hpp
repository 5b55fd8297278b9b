// 5G polar codes: construction from the NR reliability sequence (3GPP TS 38.212
// Table 5.3.1.2-1), the encoder x = u F^{(x)n} in natural order with F = [1 0; 1 1], and
// the successive-cancellation decoder.
//
// LLRs follow the library's convention ln(P(1)/P(0)): positive favours 1. Inside, the
// decoder works with ln(P(0)/P(1)) and the min-sum forms
//   f(a, b) = sign(a) sign(b) min(|a|, |b|),  g(a, b, u) = b + (1 - 2u) a.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/frames.hpp"

namespace linkforge {

// Refuses N that is not a power of two in 32..1024 and K outside 1..N.
void check_polar_code(std::size_t K, std::size_t N);

// The sorted 0-based positions of the K information bits of the length-N code: the K
// most reliable entries below N of the NR sequence.
std::vector<std::uint32_t> polar_construct(std::size_t K, std::size_t N);

// One frame: data holds K bits (0/1), code receives N bits.
void polar_encode(std::span<const std::uint8_t> data, std::size_t N, std::span<std::uint8_t> code);

// One frame of N LLRs decoded by successive cancellation; data receives the K bits at
// the information positions. Refuses NaN.
void polar_decode_sc(std::span<const float> llr, std::size_t K, std::span<std::uint8_t> data);

// Many frames, one per row: data is F x K, code F x N.
void polar_encode_frames(FrameView<const std::uint8_t> data, std::size_t N,
                         FrameView<std::uint8_t> code);
// llr is F x N, data F x K; frames run over threads (0: every core).
void polar_decode_sc_frames(FrameView<const float> llr, std::size_t K,
                            FrameView<std::uint8_t> data, int threads = 0);

}  // namespace linkforge
