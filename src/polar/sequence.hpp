// The NR reliability sequence inside the polar subsystem, and its refusals of sizes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/error.hpp"

namespace linkforge::polar_detail {

// Positions 0..1023 from the least reliable to the most, generated from
// data/standards/nr_polar_sequence.csv.
extern const std::uint16_t nr_polar_sequence[1024];

// The sorted positions of the (up to) K most reliable entries below N that `excluded`
// (N flags, or empty for none) does not mark.
std::vector<std::uint32_t> most_reliable(std::size_t K, std::size_t N,
                                         std::span<const std::uint8_t> excluded = {});

// Throws the refusal of `argument` = value for a size fault (kNotPowerOfTwo or
// kOutOfRange) with the bounds low..high.
[[noreturn]] inline void refuse_size(Fault fault, const char* argument, std::size_t value,
                                     std::size_t low, std::size_t high) {
  Refusal r;
  r.fault = fault;
  r.argument = argument;
  r.value = static_cast<std::int64_t>(std::min<std::size_t>(value, INT64_MAX));
  r.extra = static_cast<std::int64_t>(low);
  r.limit = static_cast<std::int64_t>(high);
  throw ArgumentError(r);
}

}  // namespace linkforge::polar_detail
