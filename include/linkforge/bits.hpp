// Bit helpers shared by the trellis codes.
#pragma once

#include <span>

namespace linkforge {

// Writes the low bits.size() bits of `value` into `bits`, most significant first:
// bits[size-1-k] = bit k of value. The value is shifted right arithmetically, so
// positions beyond bit 31 repeat the sign bit. An empty span writes nothing.
void itob(std::span<int> bits, int value);

// Exclusive-or (0 or 1) of the low `length` bits of `value`; 0 when length <= 0.
// Lengths above 32 count the sign bit again for every extra position, as repeated
// arithmetic shifts would.
int parity_counter(int value, int length);

}  // namespace linkforge
