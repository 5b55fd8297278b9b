// The double-binary turbo decoder over a group of frames, one frame per SIMD lane.
#pragma once

#include <cstddef>
#include <span>

#include "duobinary/siso_detail.hpp"
#include "linkforge/duobinary_turbo.hpp"
#include "linkforge/scratch.hpp"

namespace linkforge::duobinary_detail {

// What every group of a call shares.
struct TurboJob {
  const DuobinaryTurboChannel* channel;
  const PairPermutation* permutation;
  const FrameView<double>* app;
  const int* next;  // 32 successors
  const int* word;  // 32 parity symbols
  Groups into;      // the transitions into each state, four each
  std::size_t N;    // pairs
  int iterations;
  int dec_type;
};

// Working arrays of one group of W frames, lane fastest: row r of an array holds value
// r of every frame of the group. They share one zero-filled block from the scratch pool
// (a call's arrays, taken fresh, would be faulted in page by page every call), each
// array at a multiple of 64 bytes.
struct TurboSpace {
  std::size_t W = 0;
  ScratchBlock block;
  std::span<double> x, x2, apriori, in1, in2;  // 3N rows each
  std::span<float> z1, z2, in, out;            // 3N rows each
  std::span<float> alpha, beta;                // (N + 1) * 8 rows each

  TurboSpace(std::size_t pairs, std::size_t lanes);
  static std::uint64_t bytes(std::size_t pairs, std::size_t lanes) noexcept;
};

// Frames per group on the best target the CPU runs.
std::size_t turbo_lanes();

// Decodes frames first..first+W-1 of the job (those that exist) into job.app.
void turbo_group(const TurboJob& job, std::size_t first, TurboSpace& w,
                 const Interrupt& interrupt);

}  // namespace linkforge::duobinary_detail
