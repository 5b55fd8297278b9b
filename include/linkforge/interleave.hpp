// Interleaver permutations and the permuters that apply them.
//
// A permutation vector `alpha` of N entries holds 0-based source positions:
// interleaved(k) = natural(alpha[k]) for k = 0..N-1. The generators below always
// return each of 0..N-1 exactly once.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "linkforge/interrupt.hpp"

namespace linkforge {

// ---------------------------------------------------------------------------------
// 3GPP TS 25.212 turbo code internal interleaver (section 4.2.3.2.3)

inline constexpr int kWcdmaMinLength = 40;
inline constexpr int kWcdmaMaxLength = 5114;

// Greatest common divisor of a prime a and b: 1 when b mod a is not 0, else a.
// Requires a > 0.
int gcd(int a, int b);

// Writes the K input values (each >= 0; the interleaver marks padding with -1) to
// output in interleaved order. K must lie in 40..5114 and both spans hold K values;
// throws std::invalid_argument otherwise.
void WcdmaPermutation(int K, std::span<const int> input, std::span<int> output);

// ---------------------------------------------------------------------------------
// CCSDS 131.0-B turbo code permutation (K = k1*k2 with k1 = 8)

// True for the four information block lengths 1784, 3568, 7136 and 8920.
bool is_space_link_length(int K) noexcept;

// Fills alpha (K entries) with the 0-based permutation of block length K. For any other
// K it writes nothing. Throws std::invalid_argument when alpha does not hold K entries.
void SpaceLinkPermutation(int K, std::span<int> alpha);

// ---------------------------------------------------------------------------------
// Spread (S-random) permutations

// State of L'Ecuyer's combined multiplicative congruential generator with a Bays-Durham
// shuffle of 32 entries ("ran2"). The default value is the state before seeding; a copy
// of a state reproduces the stream that follows it.
struct Ran2State {
  int first = 1;                      // set until the generator has been seeded
  std::int32_t idum = 0;              // first generator; a value <= 0 asks for (re)seeding
  std::int32_t idum2 = 123456789;     // second generator
  std::int32_t iy = 0;                // last output before scaling; selects the shuffle slot
  std::array<std::int32_t, 32> iv{};  // shuffle table
};

// Advances the generator and returns a double in [1/2147483563, 1 - 1.2e-7]. While
// `first` is set the second generator and the shuffle table restart from their initial
// values; an idum <= 0 reseeds the first generator from -idum (1 when that is below 1)
// and refills the table. Throws std::invalid_argument when iy selects no table slot
// (a state that ran2 never produces).
double ran2(Ran2State& state);

// Seeds as the first draw of genrand does: idum = seed (a value <= 0), one draw
// discarded, `first` cleared.
void seed_ran2(Ran2State& state, std::int32_t seed);

// The clock seed: -(month 0..11 + day of month + hour + minute + second) of the local
// time now, a value in -1..-185.
std::int32_t clock_seed();

// Next number of the generator; a state with `first` set is seeded from clock_seed().
double genrand(Ran2State& state);

// Draws (pairs of positions) the transposition loop may make for a block of `Length`:
// 10000 per transposition it needs (10*Length of them), at most 2^29 in all, but never
// fewer than 100 per transposition, so that very long blocks can still finish. Spread
// permutations at the edge of what this construction reaches need up to about 6000
// draws per transposition (Length 5114 with S = 47, Length 1000 with S = 21, Length 100
// with S = 8). An S beyond that edge is given up after the bound: about a minute for
// Length 5114, a few minutes at most for the longer blocks, whose windows are longer.
inline constexpr std::int64_t kMaxSpreadDraws = std::int64_t{1} << 29;
std::int64_t spread_draw_limit(int Length) noexcept;

// Fills out (Length >= 0 entries) with a spread permutation: the row-column
// permutation with e = floor(sqrt(Length)) columns, then random transpositions of
// positions i1 != i2 drawn with genrand, each accepted only when both moved values
// differ by at least S from every value at positions j with i - S <= j < i + S around
// their new place i. Stops after 10*Length accepted transpositions or `max_draws` drawn
// pairs, whichever comes first, and returns the number accepted; out is a permutation
// of 0..Length-1 either way. With S <= 0 every pair of distinct positions is accepted.
// Polls `interrupt` every few milliseconds (the generator has then advanced by the
// draws made). Throws std::invalid_argument on a negative Length or a span of another
// size.
std::int64_t SpreadPermutation(int Length, int S, std::span<int> out, Ran2State& state,
                               std::int64_t max_draws, const Interrupt& interrupt = {});

// ---------------------------------------------------------------------------------
// Permuters. alpha holds N indices in 0..N-1 (repeats allowed); every span holds N
// values. Throw std::invalid_argument on other sizes or an index outside 0..N-1.

// output[k] = input[alpha[k]].
void interleave(std::span<double> output, std::span<const double> input,
                std::span<const int> alpha);

// output[alpha[k]] = input[k] for k in increasing order, so the later k wins where an
// index repeats; positions that no entry names are left as they were.
void deinterleave(std::span<double> output, std::span<const double> input,
                  std::span<const int> alpha);

}  // namespace linkforge
