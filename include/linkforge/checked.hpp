// Saturating size arithmetic for working-memory estimates.
//
// Sizes are products of user-controlled dimensions; a product that overflows would
// make a huge request look small. These saturate at the largest value instead, so an
// estimate is never below the true need.
#pragma once

#include <cstdint>
#include <limits>

namespace linkforge {

inline constexpr std::uint64_t kSizeSaturated = std::numeric_limits<std::uint64_t>::max();

constexpr std::uint64_t mul_sat(std::uint64_t a, std::uint64_t b) noexcept {
  if (a != 0 && b > kSizeSaturated / a) return kSizeSaturated;
  return a * b;
}

constexpr std::uint64_t add_sat(std::uint64_t a, std::uint64_t b) noexcept {
  return b > kSizeSaturated - a ? kSizeSaturated : a + b;
}

}  // namespace linkforge
