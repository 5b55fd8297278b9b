// Arguments shared by the polar modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gateway.hpp"
#include "linkforge/polar_rate.hpp"

namespace linkforge::mex {

// A size argument (K, N, E): an integer of 1 or more.
std::size_t read_polar_size(const mxArray* array, const char* name);

// The optional coded-bit interleaving flag at argument `index`: 0 (default) or 1.
bool read_polar_interleave(const Call& call, int index);

// The information positions of the (K, N) code: PolarConstruct's, or the rate-matched
// code's when argument `index` gives E (absent or empty: none).
std::vector<std::uint32_t> read_polar_info(const Call& call, int index, std::size_t K,
                                           std::size_t N);

// 'downlink' or 'uplink'.
PolarLink read_polar_link(const mxArray* array);

}  // namespace linkforge::mex
