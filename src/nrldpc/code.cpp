// The lifted NR base graphs, built from the generated tables (tables.hpp).
#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "nrldpc/tables.hpp"

namespace linkforge::nr_ldpc {

namespace {

using nr_ldpc_detail::kLiftingSizeCount;
using nr_ldpc_detail::kLiftingSizes;

struct Sizes {
  std::array<int, 51> z{};
  std::array<int, 385> set{};  // set index by Z, -1 for others
};

const Sizes& sizes() {
  static const Sizes s = [] {
    Sizes out;
    out.set.fill(-1);
    std::vector<int> all;
    for (std::size_t i = 0; i < kLiftingSizeCount; ++i) {
      all.push_back(kLiftingSizes[i].z);
      out.set[kLiftingSizes[i].z] = kLiftingSizes[i].set_index;
    }
    std::sort(all.begin(), all.end());
    std::copy_n(all.begin(), std::min(all.size(), out.z.size()), out.z.begin());
    return out;
  }();
  return s;
}

}  // namespace

std::span<const int> lifting_sizes() noexcept {
  return sizes().z;
}

int set_index(int z) noexcept {
  return z >= 0 && z <= 384 ? sizes().set[static_cast<std::size_t>(z)] : -1;
}

int nearest_lifting_size(long long z) noexcept {
  int best = sizes().z.front();
  for (const int candidate : sizes().z) {
    const long long d = std::llabs(static_cast<long long>(candidate) - z);
    if (d < std::llabs(static_cast<long long>(best) - z)) best = candidate;
  }
  return best;
}

std::vector<TableEntry> base_graph_table(int bg) {
  if (bg != 1 && bg != 2) throw ArgumentError("base_graph_table: bg must be 1 or 2");
  const nr_ldpc_detail::TableEntry* table =
      bg == 1 ? nr_ldpc_detail::kBaseGraph1 : nr_ldpc_detail::kBaseGraph2;
  const std::size_t count =
      bg == 1 ? nr_ldpc_detail::kBaseGraph1Entries : nr_ldpc_detail::kBaseGraph2Entries;
  std::vector<TableEntry> out(count);
  for (std::size_t e = 0; e < count; ++e) {
    out[e].row = table[e].row;
    out[e].col = table[e].col;
    for (int s = 0; s < 8; ++s) out[e].shift[s] = table[e].shift[s];
  }
  return out;
}

Code make_code(int bg, long long z) {
  if (bg != 1 && bg != 2) {
    throw ArgumentError("bg = " + std::to_string(bg) + " is not a base graph: use 1 or 2");
  }
  const int set = z >= 0 && z <= 384 ? set_index(static_cast<int>(z)) : -1;
  if (set < 0) {
    throw ArgumentError("Z = " + std::to_string(z) +
                        " is not an NR lifting size; the nearest is " +
                        std::to_string(nearest_lifting_size(z)));
  }
  Code code;
  code.bg = bg;
  code.z = static_cast<int>(z);
  code.set_index = set;
  code.rows = bg == 1 ? 46 : 42;
  code.cols = bg == 1 ? 68 : 52;
  code.data_cols = bg == 1 ? 22 : 10;
  const std::vector<TableEntry> table = base_graph_table(bg);
  code.row_offset.assign(static_cast<std::size_t>(code.rows) + 1, 0);
  code.entries.reserve(table.size());
  // The table is sorted by (row, col).
  for (const TableEntry& e : table) {
    code.entries.push_back({e.col, e.shift[set] % code.z});
    ++code.row_offset[static_cast<std::size_t>(e.row) + 1];
  }
  for (int i = 0; i < code.rows; ++i) code.row_offset[i + 1] += code.row_offset[i];
  return code;
}

int Code::max_row_degree() const noexcept {
  int largest = 0;
  for (int i = 0; i < rows; ++i) largest = std::max(largest, row_offset[i + 1] - row_offset[i]);
  return largest;
}

std::size_t failed_checks(const Code& code, std::span<const std::uint8_t> bits) {
  if (bits.size() != code.code_length()) {
    throw ArgumentError("failed_checks: bits must hold code_length() values");
  }
  const auto Z = static_cast<std::size_t>(code.z);
  std::size_t failed = 0;
  for (int i = 0; i < code.rows; ++i) {
    for (std::size_t r = 0; r < Z; ++r) {
      unsigned parity = 0;
      for (int e = code.row_offset[i]; e < code.row_offset[i + 1]; ++e) {
        const Entry& entry = code.entries[static_cast<std::size_t>(e)];
        parity ^= bits[static_cast<std::size_t>(entry.col) * Z +
                       (r + static_cast<std::size_t>(entry.shift)) % Z];
      }
      failed += parity & 1u;
    }
  }
  return failed;
}

namespace {

// Bytes of a lifted code: its offsets and entries.
std::uint64_t code_bytes(int bg) noexcept {
  const std::uint64_t entries = bg == 1 ? 316 : 197;
  return add_sat(mul_sat(entries, sizeof(Entry)), mul_sat(47, sizeof(int)) + sizeof(Code));
}

}  // namespace

CallMemory encode_memory(int bg, int z, std::uint64_t frames) noexcept {
  const std::uint64_t n = mul_sat(bg == 1 ? 68 : 52, static_cast<std::uint64_t>(z));
  CallMemory need;
  need.working = add_sat(code_bytes(bg), mul_sat(n, 2));  // a frame of bytes, a lifted row
  need.results = mul_sat(frames, n);
  return need;
}

}  // namespace linkforge::nr_ldpc
