// Arguments shared by the modulation and soft demapping modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gateway.hpp"

namespace linkforge::mex {

// A linear Es/N0 that the demodulators divide by, in single precision: refuses zero,
// negative (e.g. a value given in dB), NaN and overflowing values.
float read_es_no(const mxArray* array);

// The max-star operator number of a demapper, truncated toward zero; refuses values
// outside 0..4 with "demod_type must be be 0 through 4".
int read_demod_type(const mxArray* array);

// Number of a-priori values a caller passes: the column count of the argument.
std::size_t read_extrinsic_info_length(const mxArray* array);

// A zero-filled array of `total` single-precision a-priori values holding the first
// `n` values of the argument; refuses n > total with "Too many a prior LLR inputs", and
// NaN and overflowing values as soft values. The caller counts the array in its memory
// estimate.
std::vector<float> read_extrinsic_info(const mxArray* array, std::uint64_t total, std::size_t n);

// Single-precision copies of the first `count` values of a complex argument; `im` is
// empty for a real argument.
struct SingleComplex {
  std::vector<float> re, im;
};
SingleComplex read_single_complex(const Matrix& values, std::size_t count);

}  // namespace linkforge::mex
