// Shared pieces of the permutation generators and permuters.
#pragma once

#include <span>

#include "gateway.hpp"

namespace linkforge::mex {

// Hands a permutation to the host as a 1 x N row of doubles in output slot 0.
void set_alpha(Call& call, std::span<const int> alpha);

// Interleave and Deinterleave: checks the arguments in the order both modules share,
// then applies `permute` (linkforge::interleave or linkforge::deinterleave) to the
// first N values of input, N being its column count.
using Permuter = void (*)(std::span<double>, std::span<const double>, std::span<const int>);
void permute_gateway(Call& call, const char* usage, const char* length_message, Permuter permute);

}  // namespace linkforge::mex
