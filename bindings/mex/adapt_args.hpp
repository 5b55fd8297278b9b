// Reading the count patterns of Puncture and Depuncture and the error-accumulator
// scalars of BitCountAdapt and BitCountRestore.
#pragma once

#include <vector>

#include "gateway.hpp"
#include "linkforge/adapt.hpp"

namespace linkforge::mex {

// Every element of a pattern, column-major, truncated toward zero to an int count.
// Refuses NaN, infinities and values outside the int range with a message naming
// `name`.
std::vector<int> read_counts(const Matrix& pattern, const char* name);

// Sum of the counts, 64-bit so that it cannot overflow.
long long count_sum(const std::vector<int>& counts);

// X_i, e_ini, e_plus and e_minus from arguments 1 to 4, each its first element
// truncated toward zero (refused when empty, not finite or beyond the int range).
BitCountPattern read_bit_count_pattern(const Call& call);

}  // namespace linkforge::mex
