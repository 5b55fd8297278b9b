// Whole Viterbi decoder over many frames: SIMD lanes across frames, and threads.
//
// Every frame is one block of a binary convolutional code, decoded as trellis_best_path
// (terminated blocks) or trellis_best_path_circular (tail-biting blocks) decodes it:
// the same single-precision additions, the same comparisons against the start value
// -1e7, the same renormalisation and the same traceback, lane by lane. Each frame's
// decisions are therefore those of the per-frame decoder bit for bit, ties included,
// whatever the SIMD target, the group of frames it shares lanes with or the thread
// count. Soft values are log-likelihood ratios ln(P(1)/P(0)): positive favours 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/trellis.hpp"

namespace linkforge {

// How the blocks of a call end.
enum class BlockEnd {
  kTerminated,  // K - 1 tail steps bring the encoder back to state 0 (input (L + K - 1)*n)
  kTailBiting,  // no tail: the block ends in the state it started in (input L*n)
};

struct ViterbiParams {
  BlockEnd block_end = BlockEnd::kTerminated;
  // Tail-biting blocks are decoded as a ring with this many steps of wrap-around before
  // and after the block (trellis_best_path_circular's depth_steps); ignored otherwise.
  std::size_t depth_steps = 0;
  int threads = 0;  // 0: every hardware thread
};

// The block end the Viterbi module reads from a code type number (code_type_from_int):
// 2 and above tail-biting, everything else terminated.
constexpr BlockEnd block_end_from_code_type(int code_type) noexcept {
  return code_type_from_int(code_type) == CodeType::kTailBiting ? BlockEnd::kTailBiting
                                                                : BlockEnd::kTerminated;
}

// Channel values per frame: (L + m)*n for terminated blocks, L*n for tail-biting ones
// (m = K - 1, step-major: element k*n + i is code bit i of step k).
std::size_t viterbi_input_length(const Trellis& trellis, std::size_t L, BlockEnd end) noexcept;

// Decodes every frame of input_c (F x viterbi_input_length values) into output_u (F x L
// decisions, 0.0 or 1.0). Values are rounded to single precision as the per-frame
// decoder takes them. Throws std::invalid_argument on shapes that disagree or an empty
// tail-biting block, Interrupted when `interrupt` asks to stop (polled every few
// milliseconds; the outputs are then unspecified).
void viterbi_decode(const FrameView<const double>& input_c, const Trellis& trellis,
                    const ViterbiParams& params, const FrameView<double>& output_u,
                    const Interrupt& interrupt = {});

// Bytes of working memory viterbi_decode takes for blocks of L data bits of a code of
// constraint length K with n code bits per step, tables of the trellis and outputs
// excluded (saturating). Each thread keeps two survivor bits per state and recorded step
// for each frame of its group; only the threads that have a group of the call's `frames`
// count.
std::uint64_t viterbi_decode_bytes(int K, int n, std::size_t L, const ViterbiParams& params,
                                   std::uint64_t frames = kFramesUnknown) noexcept;

// The data steps L of blocks of `coded` channel values (the inverse of
// viterbi_input_length), for a code of constraint length K with n code bits per step.
// Throws ArgumentError on input_c: Fault::kNotMultiple when coded is not a multiple of
// n, Fault::kShorterThanTail for a terminated block shorter than its K - 1 tail steps,
// Fault::kEmptyBlock for a tail-biting block without a step.
std::size_t viterbi_block_steps(std::size_t coded, int K, int n, BlockEnd end);

// What a call needs for `frames` blocks of L data bits: viterbi_decode over all of them
// at once, or trellis_best_path(_circular) one frame after the other with single-precision
// inputs and int decisions (both with the trellis tables; results: frames x L).
CallMemory viterbi_decode_memory(int K, int n, std::size_t L, const ViterbiParams& params,
                                 std::uint64_t frames) noexcept;
CallMemory trellis_best_path_memory(int K, int n, std::size_t L, const ViterbiParams& params,
                                    std::uint64_t frames) noexcept;

// Frames that share one pass of the decoder on this machine (the SIMD lanes of single
// precision of the best target the CPU runs).
std::size_t viterbi_frames_per_pass();

}  // namespace linkforge
