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
#include <optional>
#include <span>
#include <vector>

#include "linkforge/crc.hpp"
#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"

namespace linkforge {

// Refuses N that is not a power of two in 32..1024 and K outside 1..N.
void check_polar_code(std::size_t K, std::size_t N);

// Refuses an information set that is not K = info.size() sorted, distinct 0-based
// positions below N with K in 1..N (and N as check_polar_code refuses it). Any such set
// is a code: polar_construct's, or a rate-matched one with more bits frozen.
void check_polar_info(std::span<const std::uint32_t> info, std::size_t N);

// The sorted 0-based positions of the K information bits of the length-N code: the K
// most reliable entries below N of the NR sequence.
std::vector<std::uint32_t> polar_construct(std::size_t K, std::size_t N);

// One frame: data holds K bits (0/1), code receives N bits.
void polar_encode(std::span<const std::uint8_t> data, std::size_t N, std::span<std::uint8_t> code);

// One frame of N LLRs decoded by successive cancellation; data receives the K bits at
// the information positions. Refuses NaN.
void polar_decode_sc(std::span<const float> llr, std::size_t K, std::span<std::uint8_t> data);

// The one-frame successive-cancellation decoder at the information positions info, the
// reference the frame-parallel decoder (frames in SIMD lanes) matches bit for bit.
void polar_decode_sc_scalar(std::span<const float> llr, std::span<const std::uint32_t> info,
                            std::span<std::uint8_t> data);

// Many frames, one per row: data is F x K, code F x N; the K bits go to the positions
// info (checked by check_polar_info), every other u bit is 0.
void polar_encode_frames(FrameView<const std::uint8_t> data, std::span<const std::uint32_t> info,
                         std::size_t N, FrameView<std::uint8_t> code);
// The same with info = polar_construct(K, N), K = data.length.
void polar_encode_frames(FrameView<const std::uint8_t> data, std::size_t N,
                         FrameView<std::uint8_t> code);
// llr is F x N, data F x K; frames run over threads (0: every core).
void polar_decode_sc_frames(FrameView<const float> llr, std::size_t K, FrameView<std::uint8_t> data,
                            int threads = 0, const Interrupt& interrupt = {});

// Successive-cancellation list decoding. Each of up to list_size paths carries a path
// metric in the log domain, PM = sum over its decided bits of |lambda| where the bit
// disagrees with the sign of the bit's min-sum LLR lambda (u = 0 while lambda favours 1,
// or u = 1 while it favours 0); frozen bits are 0 on every path and count alike. At each
// information bit the 2L extensions are ranked by metric, then by the extension's own
// penalty, then by path order (bit 0 before bit 1), and the first L kept. The paths
// share their per-stage LLR and partial-sum arrays through reference counts and copy one
// only when they write to it. With crc, the last Lc of the K bits are the CRC parity of
// the first K - Lc, and the decoder returns the path of least metric whose CRC holds, or
// the path of least metric when none does; without it, the path of least metric.
struct PolarDecodeParams {
  int list_size = 1;           // 1 (successive cancellation), 2, 4, 8, 16 or 32
  std::optional<CrcName> crc;  // CRC aid; K must exceed its length
  int threads = 0;             // 0: every core
};

// llr is F x N, data F x K with K = info.size(): the bits decided at the positions info
// (checked by check_polar_info), the others frozen to 0. list_size 1 without crc is the
// successive-cancellation decoder; with crc it runs the list decoder with one path,
// which decides the same bits. Refuses other list sizes, K not above the CRC length,
// shapes that disagree and NaN (before decoding anything).
// Frames run over params.threads threads, each with working arrays of its own; the
// decoder polls `interrupt` before every frame.
void polar_decode_frames(FrameView<const float> llr, std::span<const std::uint32_t> info,
                         const PolarDecodeParams& params, FrameView<std::uint8_t> data,
                         const Interrupt& interrupt = {});
// The same with info = polar_construct(K, N), N = llr.length.
void polar_decode_frames(FrameView<const float> llr, std::size_t K, const PolarDecodeParams& params,
                         FrameView<std::uint8_t> data, const Interrupt& interrupt = {});

// What a call of polar_decode_frames needs for `frames` frames of a length-N code with K
// information bits: the LLRs and bits in the kernel's types, each thread's working
// arrays; results: the frames x K decided bits.
CallMemory polar_decode_memory(std::size_t frames, std::size_t N, std::size_t K,
                               const PolarDecodeParams& params) noexcept;

}  // namespace linkforge
