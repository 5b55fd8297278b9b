// Whole turbo decoder over many frames: SIMD lanes across frames, and threads.
//
// The code: two rate-1/2 recursive systematic constituent codes of the same trellis
// (code bit 0 the data bit, code bit 1 the parity), the second fed with the data
// interleaved by alpha (interleaved(k) = data(alpha(k))), each terminated by its own m
// tail steps. Per frame the decoder runs, for every iteration,
//   u1 = a-posteriori data values of decoder 1 (a-priori: apriori)
//   extrinsic(k) = u1(alpha(k)) - apriori(alpha(k)) - ys(alpha(k))
//   u2 = a-posteriori data values of decoder 2 (a-priori: extrinsic)
//   apriori(alpha(k)) = u2(k) - extrinsic(k) - ys(alpha(k)),  app(alpha(k)) = u2(k)
// with a-priori values starting at 0. The a-posteriori values are single-precision
// results of trellis_posterior (the same operations, lane by lane), the differences are
// formed in double precision and rounded to single precision where a decoder takes them,
// and positions that alpha does not name are 0: every frame's result is, bit for bit,
// what trellis_posterior called twice per iteration with those steps gives. Soft values
// are log-likelihood ratios ln(P(1)/P(0)).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "linkforge/crc.hpp"
#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/trellis.hpp"

namespace linkforge {

// When a frame may stop before the last iteration.
enum class EarlyStop {
  kNever,
  kUnchangedDecisions,  // after an iteration whose hard decisions (app > 0) equal the
                        // previous iteration's
  kCrc,                 // after an iteration whose hard decisions pass the CRC `crc`: the
                        // last L of the frame's decided bits are the parity bits of the
                        // others (L the CRC's length)
};

struct TurboDecodeParams {
  int iterations = 8;
  MaxStar max_star = MaxStar::kExact;
  EarlyStop early_stop = EarlyStop::kNever;
  std::optional<CrcName> crc;  // the CRC of kCrc (given exactly when early_stop is kCrc)
  int threads = 0;             // 0: every hardware thread
};

// Channel values of the frames, F x L (ys, yp1, yp2: systematic and parity streams, 0
// where punctured) and F x 4m (ytail: the 2m tail values of decoder 1, code bit 0 and 1
// of each tail step, then the 2m of decoder 2).
struct TurboChannel {
  FrameView<const double> ys, yp1, yp2, ytail;
};

// Where the results go: app (F x L) after each frame's last iteration; app_all, when
// given, after every iteration (P = iterations pages; a frame that stopped early repeats
// its last result on the remaining pages); iterations_run, when not empty, the number
// of iterations each frame ran.
struct TurboResults {
  FrameView<double> app;
  FramePages<double> app_all;
  std::span<int> iterations_run;
};

// Decodes every frame. The trellis must be recursive with n = 2 (make_trellis(g, K,
// true) of a 2 x K generator); alpha holds L indices in 0..L-1 (repeats allowed). Throws
// ArgumentError on shapes that disagree, on a crc given without kCrc or kCrc without
// one, and on frames shorter than the CRC's parity bits; Interrupted when `interrupt`
// asks to stop (polled every few milliseconds).
void turbo_decode(const TurboChannel& channel, const Trellis& trellis,
                  std::span<const int> alpha, const TurboDecodeParams& params,
                  const TurboResults& results, const Interrupt& interrupt = {});

// Bytes of working memory turbo_decode takes for `frames` blocks of L bits, K the
// constraint length, on `threads` threads (saturating); outputs excluded. Only the
// threads that have a group of frames to decode count.
std::uint64_t turbo_decode_bytes(std::size_t L, int K, int threads,
                                 std::uint64_t frames = kFramesUnknown) noexcept;

// What a call of turbo_decode needs for `frames` blocks of L bits (the tables, the
// working memory and the iteration counts; results: the frames x L values of app, of
// `pages` pages of app_all and the frames' iteration counts).
CallMemory turbo_decode_memory(std::size_t L, int K, const TurboDecodeParams& params,
                               std::uint64_t frames, std::size_t pages) noexcept;

// Frames that share one pass of the decoder on this machine (the SIMD lanes of single
// precision of the best target the CPU runs).
std::size_t turbo_frames_per_pass();

}  // namespace linkforge
