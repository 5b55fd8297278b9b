// Reading the count patterns of Puncture and Depuncture.
#pragma once

#include <vector>

#include "gateway.hpp"

namespace linkforge::mex {

// Every element of a pattern, column-major, truncated toward zero to an int count.
// Refuses NaN, infinities and values outside the int range with a message naming
// `name`.
std::vector<int> read_counts(const Matrix& pattern, const char* name);

// Sum of the counts, 64-bit so that it cannot overflow.
long long count_sum(const std::vector<int>& counts);

}  // namespace linkforge::mex
