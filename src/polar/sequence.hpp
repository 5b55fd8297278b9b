// The NR reliability sequence inside the polar subsystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace linkforge::polar_detail {

// Positions 0..1023 from the least reliable to the most, generated from
// data/standards/nr_polar_sequence.csv.
extern const std::uint16_t nr_polar_sequence[1024];

// The sorted positions of the (up to) K most reliable entries below N that `excluded`
// (N flags, or empty for none) does not mark.
std::vector<std::uint32_t> most_reliable(std::size_t K, std::size_t N,
                                         std::span<const std::uint8_t> excluded = {});

}  // namespace linkforge::polar_detail
