#include "linkforge/bits.hpp"

#include <bit>
#include <cstdint>

namespace linkforge {

void itob(std::span<int> bits, int value) {
  const std::size_t length = bits.size();
  for (std::size_t k = 0; k < length; ++k) {
    bits[length - 1 - k] = value & 1;
    value >>= 1;  // arithmetic shift: the sign bit fills in from the left
  }
}

int parity_counter(int value, int length) {
  if (length <= 0) return 0;
  const auto word = static_cast<std::uint32_t>(value);
  const std::uint32_t mask = length >= 32 ? ~0u : (1u << length) - 1u;
  int parity = std::popcount(word & mask) & 1;
  // Each position past bit 31 repeats the sign bit.
  if (length > 32 && value < 0) parity ^= (length - 32) & 1;
  return parity;
}

}  // namespace linkforge
