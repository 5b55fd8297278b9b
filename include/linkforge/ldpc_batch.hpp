// Whole LDPC decoder over many frames: SIMD lanes across frames, and threads.
//
// Each frame runs the flooding decoder of ldpc.hpp (decode) with the same graph and
// parameters: the same messages in the same order and precision, lane by lane, so every
// frame's decisions and error counts are, bit for bit, what decode gives for that frame,
// whatever the SIMD target, the group the frame falls in or the thread count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "linkforge/parallel.hpp"
#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/ldpc.hpp"

namespace linkforge::ldpc {

struct BatchDecodeParams {
  int max_iter = 30;
  DecoderKind kind = DecoderKind::kSumProduct;
  float r_scale = 1.0f;    // multiplies every check-to-bit message
  float q_scale = 1.0f;    // multiplies every bit-to-check magnitude an iteration computes
  bool early_stop = true;  // a frame stops after its first iteration without a data-bit error
  int threads = 0;         // 0: every hardware thread
};

// Where the results go, one row per frame:
//   decisions       F x n hard decisions (0 or 1) after the frame's last iteration run;
//                   all 0 when max_iter = 0;
//   errors          F x max_iter: data bits (0..k-1) whose decision differs from the
//                   frame's reference after each iteration, 0 after the last one run;
//   iterations_run  F counts, when not empty.
// A frame that stops early keeps its results while the other frames of its group run
// on. decisions may be empty when only the counts are wanted.
struct BatchResults {
  FrameView<std::uint8_t> decisions;
  FrameView<int> errors;
  std::span<int> iterations_run;
};

// Decodes F frames of log-likelihood ratios ln(P(1) / P(0)) (F x n; positive favours 1,
// the toolbox's convention: decode takes the negated values, and each is rounded to
// single precision as decode rounds it). data: F x k reference bits, or one row shared by
// every frame (frame_stride 0), or empty for the all-zero word; a value other than 0
// and 1 never matches a decision. Throws std::invalid_argument on shapes that disagree
// with the graph or each other or a negative max_iter, Interrupted when `interrupt`
// asks to stop (polled every few milliseconds).
void decode_batch(const SparseGraph& graph, FrameView<const double> channel,
                  FrameView<const int> data, const BatchDecodeParams& params,
                  const BatchResults& results, const Interrupt& interrupt = {});

// Bytes of working memory decode_batch takes for a graph of n bits, k data bits and the
// given edge count and largest check degree, on `threads` threads (saturating); the
// graph and the outputs excluded. Only the threads that have a group of the call's
// `frames` count.
std::uint64_t decode_batch_bytes(std::size_t n, std::size_t k, std::size_t edges,
                                 std::size_t max_check_degree, int threads,
                                 std::uint64_t frames = kFramesUnknown) noexcept;

// What a call of decode_batch on `frames` frames of a code of this shape needs, with
// `data_rows` rows of reference bits (one shared row, one per frame, or none): the index
// cells, the graph, the working memory, the reference bits and the kernel's results
// (results: frames x n decisions, frames x max_iter error counts and frames counts).
CallMemory sparse_graph_decode_memory(const SparseGraphShape& shape,
                                      const BatchDecodeParams& params, std::uint64_t frames,
                                      std::uint64_t data_rows) noexcept;

// Frames that share one pass of the decoder on this machine (the single-precision lanes
// of the best target the CPU runs).
std::size_t decode_batch_frames_per_pass();

// phi0 of every element of x, lane by lane as the batch decoder evaluates it; equal to
// phi0 element by element. x and out must have the same size (they may be the same
// span).
void phi0_lanes(std::span<const float> x, std::span<float> out);

}  // namespace linkforge::ldpc
