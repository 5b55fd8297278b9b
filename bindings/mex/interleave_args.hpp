// Shared pieces of the permutation generators and permuters.
#pragma once

#include <span>

#include "gateway.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge::mex {

// Hands a permutation to the host as a 1 x N row of doubles in output slot 0.
void set_alpha(Call& call, std::span<const int> alpha);

// SpreadPermutation and SeededSpreadPermutation: reads Length and S from arguments 0
// and 1, draws the permutation with `generator` and hands it to output slot 0. Refuses
// lengths that cannot be a block (NaN, negative, beyond the int range, or more than
// the memory budget allows), pairs of Length and S that admit no transposition, and an
// S that the draw bound shows to be out of reach.
void draw_spread_permutation(Call& call, Ran2State& generator);

// Interleave and Deinterleave: checks the arguments in the order both modules share,
// then applies `permute` (linkforge::interleave or linkforge::deinterleave) to the
// first N values of input, N being its column count.
using Permuter = void (*)(std::span<double>, std::span<const double>, std::span<const int>);
void permute_gateway(Call& call, const char* usage, const char* length_message, Permuter permute);

}  // namespace linkforge::mex
