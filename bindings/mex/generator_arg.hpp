// Reading the generator matrix `g_encoder` of a binary convolutional code.
#pragma once

#include <vector>

#include "gateway.hpp"

namespace linkforge::mex {

struct GeneratorArg {
  int n = 0;  // rows: code bits per step
  int K = 0;  // columns: constraint length
  std::vector<int> g;
};

// Refuses an empty matrix and codes whose states or words do not fit the int tables
// (K - 1 or n of 31 and up), and codes whose tables would not fit in memory.
GeneratorArg read_generator(const mxArray* array);

}  // namespace linkforge::mex
