// Binary convolutional codes: encoder, soft-in/soft-out decoder and Viterbi decoder.
//
// Code-bit streams are step-major (element k*n + i is code bit i of step k) and soft
// values are log-likelihood ratios ln(P(bit = 1) / P(bit = 0)): positive favours 1.
// All soft arithmetic is single precision in a fixed order, so results are
// reproducible bit for bit; "minus infinity" is the finite value -1e7. The decoders
// poll their Interrupt (interrupt.hpp) every few milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/trellis.hpp"

namespace linkforge {

inline constexpr float kTrellisMinusInfinity = -10000000.0f;

// ---------------------------------------------------------------------------------
// Encoder

// How the encoder ends a block of a code of the given type: terminated codes append m
// tail steps whose inputs bring the register to state 0 (`inputs`, one per state: the
// feedback bit of the state for a recursive code, zeros for a feed-forward one);
// tail-biting blocks have no tail.
struct EncoderTail {
  CodeType type = CodeType::kFeedForward;
  std::vector<int> inputs;
};

EncoderTail encoder_tail(const Trellis& trellis, CodeType type);

// Number of code bits for L data bits: n*(L + m), or n*L for tail-biting blocks.
std::size_t trellis_encode_length(const Trellis& trellis, std::size_t L, CodeType type);

// The code bits of a block of L data bits of a code of constraint length K with n code
// bits per step and the given type. Throws ArgumentError (Fault::kShorterThanTail on
// `input`) for a tail-biting block of fewer than K - 1 data bits.
std::size_t trellis_coder_length(std::size_t L, int K, int n, CodeType type);

// What encoding `frames` blocks of L data bits one after the other needs (the tables,
// the tail inputs, the data and code bits of a frame; results: frames x
// trellis_coder_length).
CallMemory trellis_coder_memory(std::size_t L, int K, int n, CodeType type,
                                std::uint64_t frames) noexcept;

// Encodes data bits (0 or 1) into output (trellis_encode_length values of 0 or 1).
// A tail-biting block: the encoder first passes the last m data bits through the state
// tables to find the state where the block ends, and starts there. Otherwise it starts
// in state 0 and appends m tail steps whose inputs come from tail.inputs. Throws
// ArgumentError on wrong sizes or a tail-biting block shorter than m.
void trellis_encode(std::span<int> output, std::span<const int> data, const Trellis& trellis,
                    const EncoderTail& tail);

// ---------------------------------------------------------------------------------
// Soft-in/soft-out decoder (forward-backward algorithm) of terminated codes

// input_u: L a-priori values of the data bits; input_c: (L + m)*n channel values.
// output_u, output_c: full a-posteriori values of the same layout (they include the
// inputs; subtract them for extrinsic values). An empty output_c asks for the data bits
// only, which saves the code-bit work; output_u is the same either way. decoder_type
// 0..4 selects the max-star operator. The trellis starts and ends in state 0; tail
// steps carry no data bit. Codes of 4 states or more run with the states of a step in
// SIMD lanes on the best target the CPU runs. Throws std::invalid_argument on wrong
// sizes or a type outside 0..4.
void trellis_posterior(std::span<const float> input_u, std::span<const float> input_c,
                       const Trellis& trellis, MaxStar op, std::span<float> output_u,
                       std::span<float> output_c, const Interrupt& interrupt = {});

// The same decoder one state at a time: the reference for trellis_posterior, whose
// results it gives bit for bit.
void trellis_posterior_scalar(std::span<const float> input_u, std::span<const float> input_c,
                              const Trellis& trellis, MaxStar op, std::span<float> output_u,
                              std::span<float> output_c, const Interrupt& interrupt = {});

// Bytes of working memory trellis_posterior takes for a code of constraint length K
// with n code bits per step and L data bits, tables excluded (saturating).
std::uint64_t trellis_posterior_bytes(int K, int n, std::size_t L) noexcept;

// What decoding `frames` blocks of L data bits one after the other needs (the tables,
// the working memory, single-precision inputs and outputs of a frame; results: frames x
// L data values, plus frames x (L + K - 1)*n code values when `code_bits`).
CallMemory trellis_posterior_memory(int K, int n, std::size_t L, bool code_bits,
                                    std::uint64_t frames) noexcept;

// ---------------------------------------------------------------------------------
// Viterbi decoder (correlation metric, traceback from the end of the block)

// Terminated block: input_c holds (L + m)*n values, output_u receives L decisions of
// the best path from state 0 to state 0. Ties keep the lower previous state and bit 0.
void trellis_best_path(std::span<int> output_u, std::span<const float> input_c,
                       const Trellis& trellis, const Interrupt& interrupt = {});

// Tail-biting block: input_c holds L*n values (L >= 1); the block is decoded as a ring
// with `depth_steps` (D >= 0) steps of wrap-around before and after it. The start of
// the traceback is the best state after the lead-out, the lowest on ties.
void trellis_best_path_circular(std::span<int> output_u, std::span<const float> input_c,
                                const Trellis& trellis, std::size_t depth_steps,
                                const Interrupt& interrupt = {});

// The same two decoders one state at a time: the reference for the decoders above,
// whose add-compare-select runs the states of a step in SIMD lanes with the same
// results.
void trellis_best_path_scalar(std::span<int> output_u, std::span<const float> input_c,
                              const Trellis& trellis, const Interrupt& interrupt = {});
void trellis_best_path_circular_scalar(std::span<int> output_u, std::span<const float> input_c,
                                       const Trellis& trellis, std::size_t depth_steps,
                                       const Interrupt& interrupt = {});

// Bytes of working memory of a Viterbi run over `steps` recorded trellis steps, tables
// excluded (saturating).
std::uint64_t trellis_best_path_bytes(int K, int n, std::size_t steps) noexcept;

}  // namespace linkforge
