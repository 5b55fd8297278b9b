// Eight-state double-binary circular recursive systematic codes: the constituent code
// of the DVB-RCS turbo code (ETSI EN 301 790).
//
// Data enter as pairs (A, B), one pair per trellis step; data symbol u = 2A + B. A
// state s holds bits s2 s1 s0. From state s a pair gives the feedback bit
// f = A ^ B ^ s0 ^ s2 and the successor (f, s2 ^ B, s1 ^ B) as bits 2, 1, 0. Parity bit j
// of the step is the parity of (8f + s) & g_j, g_j a 4-bit generator whose bit 3 taps f
// and bits 2, 1, 0 tap s2, s1, s0; parity symbol z = 2 z0 + z1.
//
// Blocks are circular: the encoder starts in the circulation state Sc and ends there.
// Sc exists only when the number of pairs N is not a multiple of 7.
//
// Soft values are natural-log ratios against value 0: ln(P(u = k) / P(u = 0)) for
// symbols, ln(P(bit = 1) / P(bit = 0)) for bits. All soft arithmetic is single precision
// in a fixed order, so results are reproducible bit for bit; "minus infinity" is the
// finite value -1e7.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge {

inline constexpr int kDuobinaryStates = 8;
inline constexpr int kDuobinaryTransitions = 32;  // index i = 4s + u
inline constexpr int kDuobinaryGenerators = 2;
inline constexpr float kDuobinaryMinusInfinity = -10000000.0f;

// Bit 0 of a double truncated toward zero: 2 and 2.9 give 0, 3 and -1 give 1. Exact for
// every finite double (all magnitudes from 2^53 up are even); NaN and infinities give 0.
int low_bit(double value) noexcept;

// Packs a column-major 2 x 4 parity generator matrix: entry (j, k) contributes
// low_bit(entry) * 2^(3-k) to g_j, so column 0 taps the feedback bit. Throws
// std::invalid_argument unless poly holds exactly 8 values.
std::array<int, kDuobinaryGenerators> duobinary_generators(std::span<const double> poly);

// True when a block of N pairs has a circulation state.
constexpr bool has_circulation_state(std::size_t pairs) noexcept {
  return pairs % 7 != 0;
}

// Circulation state of the block whose pair t is (low_bit(x[2t]), low_bit(x[2t+1])):
// the state reached by encoding from state 0, mapped through the circulation-state
// table of ETSI EN 301 790 at row N mod 7. Throws std::invalid_argument for an odd
// x.size() or when the number of pairs is a multiple of 7 (0 included).
int find_circular_state(std::span<const double> x);

// The trellis of the code with two given parity generators, built and checked once and
// then read by the encoder and the decoders: next()[i], the successor of state i / 4
// under symbol i % 4, and word()[i], the parity symbol 2 z0 + z1 of that transition
// (generator 0 in bit 1).
class DuobinaryTrellis {
 public:
  using Table = std::array<int, kDuobinaryTransitions>;

  // Throws std::invalid_argument unless both generators are 4-bit values (0..15).
  explicit DuobinaryTrellis(const std::array<int, kDuobinaryGenerators>& generators);

  const std::array<int, kDuobinaryGenerators>& generators() const noexcept { return g_; }
  const Table& next() const noexcept { return next_; }
  const Table& word() const noexcept { return word_; }

 private:
  std::array<int, kDuobinaryGenerators> g_;
  Table next_{}, word_{};
};

// Encodes the pairs of x (read as in find_circular_state) from start_state (0..7) and
// writes parity bit j of step t, 0.0 or 1.0, to outz[2t + j]. Starting in the
// circulation state makes the block end where it started. Throws std::invalid_argument
// for an odd x.size(), outz.size() != x.size() or a start state outside 0..7.
void duobinary_encode(std::span<const double> x, std::span<double> outz,
                      const DuobinaryTrellis& trellis, int start_state);

// Trellis steps run by each recursion of one decode: N per completed lap, at most 4N.
struct DuobinaryRecursionSteps {
  std::size_t backward = 0;
  std::size_t forward = 0;
};

// Symbol-level soft-in/soft-out decoder of a circular block of N pairs, with the
// max-star operator max_star.
//
//   inx   3N  ln(P(u = k) / P(u = 0)), element 3t + k - 1 for step t, k = 1..3
//   inz   3N  the same for the parity symbol of step t
//   outx  3N  a-posteriori values of the data symbols (they include inx)
//   outz  3N  a-posteriori values of the parity symbols (they include inz)
//   soft  2N  a-posteriori bit values: 2t holds bit A of step t, 2t + 1 bit B
//
// Both recursions start from equal state metrics and run round the block in laps, at
// most four; from the second lap on a recursion stops at the first step whose
// renormalised metrics all repeat those of the previous lap within 1e-7. The backward
// recursion runs first, then the forward one, then the outputs. The states of each step
// run in SIMD lanes on the best target the CPU runs, with the results of
// duobinary_siso_reference bit for bit. Allocates its state
// metrics, 16 (N + 1) floats. Throws std::invalid_argument on sizes that disagree or a
// max_star outside the five operators; polls `interrupt` every few milliseconds.
DuobinaryRecursionSteps duobinary_siso(std::span<const float> inx, std::span<const float> inz,
                                       std::span<float> outx, std::span<float> outz,
                                       std::span<float> soft, const DuobinaryTrellis& trellis,
                                       MaxStar max_star, const Interrupt& interrupt = {});

// The same decoder one state and one symbol at a time: the reference the lanes are
// tested against.
DuobinaryRecursionSteps duobinary_siso_reference(std::span<const float> inx,
                                                 std::span<const float> inz,
                                                 std::span<float> outx, std::span<float> outz,
                                                 std::span<float> soft,
                                                 const DuobinaryTrellis& trellis,
                                                 MaxStar max_star,
                                                 const Interrupt& interrupt = {});

// Bytes of working memory duobinary_siso takes for N pairs (saturating).
std::uint64_t duobinary_siso_bytes(std::size_t pairs) noexcept;

}  // namespace linkforge
