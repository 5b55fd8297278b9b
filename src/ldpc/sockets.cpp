#include "sockets.hpp"

#include <cstddef>
#include <vector>

namespace linkforge::ldpc::detail {

void first_positions(std::span<const int> a_offset, std::span<const int> a_lists,
                     std::span<const int> b_offset, std::span<const int> b_lists,
                     std::span<int> found) {
  const std::size_t na = a_offset.size() - 1;
  const std::size_t nb = b_offset.size() - 1;
  const std::size_t edges = a_lists.size();

  // A edges grouped by partner (a counting sort), each with its node.
  std::vector<int> group_start(nb + 1, 0);
  for (const int b : a_lists) ++group_start[static_cast<std::size_t>(b) + 1];
  for (std::size_t b = 0; b < nb; ++b) group_start[b + 1] += group_start[b];
  std::vector<int> fill(group_start.begin(), group_start.end() - 1);
  std::vector<int> grouped_edge(edges);
  std::vector<int> grouped_node(edges);
  for (std::size_t a = 0; a < na; ++a) {
    for (int e = a_offset[a]; e < a_offset[a + 1]; ++e) {
      const auto slot = static_cast<std::size_t>(fill[static_cast<std::size_t>(a_lists[e])]++);
      grouped_edge[slot] = e;
      grouped_node[slot] = static_cast<int>(a);
    }
  }

  // For each B node, mark the first position of every A node in its list (walking the list
  // backwards so the first occurrence wins), then answer its group.
  std::vector<int> marked_by(na, -1);
  std::vector<int> position(na, 0);
  for (std::size_t b = 0; b < nb; ++b) {
    const int begin = b_offset[b];
    for (int pos = b_offset[b + 1] - 1; pos >= begin; --pos) {
      const int a = b_lists[static_cast<std::size_t>(pos)];
      if (a < 0 || static_cast<std::size_t>(a) >= na) continue;
      marked_by[static_cast<std::size_t>(a)] = static_cast<int>(b);
      position[static_cast<std::size_t>(a)] = pos - begin;
    }
    for (int slot = group_start[b]; slot < group_start[b + 1]; ++slot) {
      const auto a = static_cast<std::size_t>(grouped_node[static_cast<std::size_t>(slot)]);
      found[static_cast<std::size_t>(grouped_edge[static_cast<std::size_t>(slot)])] =
          marked_by[a] == static_cast<int>(b) ? position[a] : -1;
    }
  }
}

}  // namespace linkforge::ldpc::detail
