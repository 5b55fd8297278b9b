// Whole double-binary circular turbo decoder over many frames: one frame per SIMD lane
// (16 with AVX-512, chosen at run time), groups of frames across threads.
//
// Two circular symbol-level decoders (duobinary_siso) of the same code exchange
// extrinsic symbol values through a pair permutation, as a host loop over
// CircularPairPosterior, Interleave and Deinterleave does: the values a decoder takes
// are formed in double precision and rounded to single precision as it takes them, its
// outputs are widened back, and every extrinsic value is its output minus its input, in
// double precision. Each frame's result therefore equals that loop's bit for bit,
// whatever the processor or the thread count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "linkforge/parallel.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge {

// The pair permutation of the second code: the pair at interleaved position j is pair
// alpha[j] of the data, with its bits A and B exchanged where swap[j] is nonzero (so the
// symbol values of u = 1 and u = 2 change places there).
struct PairPermutation {
  std::span<const int> alpha;
  std::span<const std::uint8_t> swap;
};

struct DuobinaryTurboParams {
  int iterations = 8;
  MaxStar max_star = MaxStar::kExact;
  int threads = 0;  // 0: every hardware thread
};

// Symbol values of F frames of N pairs, F x 3N each, element 3t + k - 1 of a frame
// holding ln(P(u = k) / P(u = 0)), k = 1..3, of step t: x of the data pairs in natural
// order, z1 and z2 of the parity symbols of the first and the second code.
struct DuobinaryTurboChannel {
  FrameView<const double> x, z1, z2;
};

// Decodes every frame with `iterations` rounds of both decoders and writes the
// a-posteriori symbol values of the data pairs after the last round, in natural order,
// to app (F x 3N, layout as x), both decoders on `trellis`. Throws std::invalid_argument on shapes that disagree, a
// permutation that is not one, or fewer than one iteration; Interrupted when
// `interrupt` asks to stop (outputs then unspecified).
void duobinary_turbo_decode(const DuobinaryTurboChannel& channel,
                            const DuobinaryTrellis& trellis, const PairPermutation& permutation, const DuobinaryTurboParams& params,
                            const FrameView<double>& app, const Interrupt& interrupt = {});

// Bytes of working memory duobinary_turbo_decode takes for `frames` frames of N pairs on
// `threads` threads (saturating); inputs and outputs excluded. Only the threads that
// have a group of frames to decode count.
std::uint64_t duobinary_turbo_decode_bytes(std::size_t pairs, int threads,
                                           std::uint64_t frames = kFramesUnknown) noexcept;

}  // namespace linkforge
