// The NR LDPC tables as the build reads them from data/standards (generate_tables.cmake).
#pragma once

#include <cstddef>
#include <cstdint>

namespace linkforge::nr_ldpc_detail {

// One nonzero entry of a base graph: its row i and column j (0-based) and V_{i,j} for
// the set indices 0..7.
struct TableEntry {
  std::uint16_t row, col;
  std::uint16_t shift[8];
};

// One lifting size Z = a * 2^j of set index iLS.
struct LiftingEntry {
  std::uint16_t set_index, a, j, z;
};

extern const TableEntry kBaseGraph1[];
extern const std::size_t kBaseGraph1Entries;
extern const TableEntry kBaseGraph2[];
extern const std::size_t kBaseGraph2Entries;
extern const LiftingEntry kLiftingSizes[];
extern const std::size_t kLiftingSizeCount;

}  // namespace linkforge::nr_ldpc_detail
