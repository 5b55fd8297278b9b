// Reading the parity generator matrix `poly` of the double-binary circular code.
#pragma once

#include "gateway.hpp"
#include "linkforge/duobinary.hpp"

namespace linkforge::mex {

// Refuses a poly that is not 2 x 4 with the message both double-binary modules give.
void require_poly_shape(const Matrix& poly);

// Refuses a 2 x 4 poly holding NaN or Inf and builds the trellis of its two 4-bit
// generators (bit 0 of each truncated entry is a tap).
DuobinaryTrellis parity_trellis(const Matrix& poly);

}  // namespace linkforge::mex
