// Whole soft demapper over many frames: received samples in, bit log-likelihood ratios
// out, symbols side by side in SIMD lanes and on several threads.
//
// Frame f, symbol j is demapped exactly as plane_metrics then symbol_bit_metrics demap
// it: the metric -es_no*|y - a*s_k|^2 of every point in double precision, rounded to
// single precision, the a-priori values of the label's set bits added in bit order, and
// the labels folded per bit with the chosen max-star operator in increasing label
// order. Every output is therefore that of the two per-frame kernels bit for bit,
// whatever the SIMD target or the thread count. Outputs are ln(P(1)/P(0)): positive
// favours 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/modem.hpp"
#include "linkforge/parallel.hpp"

namespace linkforge {

// F x N complex values, one frame per row. An empty `im` view stands for all imaginary
// parts 0.
struct ComplexFrames {
  FrameView<const double> re;
  FrameView<const double> im;
};

struct SoftDemapParams {
  MaxStar op = MaxStar::kMaxLog;
  float es_no = 1.0f;  // linear Es/N0, positive and finite
  int threads = 0;     // 0: every hardware thread
};

// Demaps the F x N samples y against the M points (M a power of two, at least 2) under
// fading `fade` (F x N, or an empty `fade.re` view: every coefficient 1) with a-priori
// ratios `apriori` (F x m*N, m = log2 M, rounded to single precision; an empty view: all
// 0) into `out` (F x m*N; bit k of symbol j at column j*m + k, most significant first).
// Throws std::invalid_argument on shapes that disagree, M not a power of two, a non-
// positive or non-finite es_no, or an a-priori value beyond single precision;
// std::domain_error when a metric is NaN or beyond single precision (the outputs are
// then unspecified); Interrupted when `interrupt` asks to stop.
void soft_demap(const ComplexFrames& y, ComplexSpan<double> points, const ComplexFrames& fade,
                const FrameView<const double>& apriori, const SoftDemapParams& params,
                const FrameView<double>& out, const Interrupt& interrupt = {});

// Bytes of working memory soft_demap takes for M points and `symbols` symbols in all
// (saturating), outputs excluded; only the threads that have symbols to demap count.
std::uint64_t soft_demap_bytes(std::uint64_t M, int threads,
                               std::uint64_t symbols = kFramesUnknown) noexcept;

// What a call of soft_demap needs for `frames` frames of N symbols of an M-point set:
// its working memory (results: frames x N*compute_bits_per_symbol(M) values).
CallMemory soft_demap_memory(std::uint64_t M, std::uint64_t N, int threads,
                             std::uint64_t frames) noexcept;

// Symbols that share one pass of the demapper on this machine.
std::size_t soft_demap_lanes();

}  // namespace linkforge
