#include <climits>
#include <cstdint>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/ldpc.hpp"
#include "sockets.hpp"

namespace linkforge::ldpc {

namespace {

[[noreturn]] void refuse(const Refusal& refusal) {
  throw ArgumentError(refusal);
}

auto i64(std::size_t value) {
  return static_cast<std::int64_t>(value);
}

// Degrees of the rows of an index matrix, after checking that every row lists positions
// in 0..limit-1 first and nothing after an empty cell. `name` is the matrix's parameter
// name.
std::vector<int> listed_degrees(MatrixView<const int> h, std::size_t limit, const char* name) {
  std::vector<int> degree(h.rows, 0);
  for (std::size_t row = 0; row < h.rows; ++row) {
    std::size_t d = 0;
    for (std::size_t col = 0; col < h.cols; ++col) d += h(row, col) >= 0;
    for (std::size_t col = 0; col < d; ++col) {
      const int cell = h(row, col);
      if (cell >= 0 && static_cast<std::size_t>(cell) < limit) continue;
      const Fault fault = cell < 0 ? Fault::kCellAfterEmpty : Fault::kNotPosition;
      refuse({.fault = fault,
              .argument = name,
              .row = i64(row),
              .col = i64(col),
              .value = cell,
              .limit = i64(limit)});
    }
    if (d > static_cast<std::size_t>(INT_MAX)) {
      refuse({.fault = Fault::kTooManyEntries, .argument = name});
    }
    degree[row] = static_cast<int>(d);
  }
  return degree;
}

std::vector<int> offsets(const std::vector<int>& degree) {
  std::vector<int> offset(degree.size() + 1, 0);
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < degree.size(); ++i) {
    total += static_cast<std::uint64_t>(degree[i]);
    if (total > static_cast<std::uint64_t>(INT_MAX)) refuse({.fault = Fault::kTooManyEdges});
    offset[i + 1] = static_cast<int>(total);
  }
  return offset;
}

}  // namespace

SparseGraph make_sparse_graph(int n, MatrixView<const int> h_rows, MatrixView<const int> h_cols) {
  if (n < 0) throw ArgumentError("make_sparse_graph: the number of code bits must not be negative");
  if (h_rows.values.size() != h_rows.rows * h_rows.cols ||
      h_cols.values.size() != h_cols.rows * h_cols.cols) {
    throw ArgumentError("make_sparse_graph: index matrix sizes do not match their cells");
  }
  if (h_rows.rows > static_cast<std::size_t>(n)) {
    refuse({.fault = Fault::kTooManyRows,
            .argument = "h_rows",
            .value = i64(h_rows.rows),
            .limit = n});
  }
  SparseGraph g;
  g.n = n;
  g.m = static_cast<int>(h_rows.rows);
  g.k = n - g.m;
  const auto e = h_cols.rows;
  const auto un = static_cast<std::size_t>(n);
  const auto um = static_cast<std::size_t>(g.m);
  const auto uk = static_cast<std::size_t>(g.k);
  if (e == un) {
    g.layout = Layout::kFull;
  } else if (e < uk || e > un) {
    refuse({.fault = Fault::kBadRowCount,
            .argument = "h_cols",
            .value = i64(e),
            .limit = n,
            .extra = g.k});
  } else if (e == uk) {
    g.layout = Layout::kStaircase;
  } else {
    g.layout = Layout::kBlockStaircase;
    g.z = static_cast<int>(e - uk);
    if (g.m % g.z != 0 || g.m / g.z < 2) {
      refuse({.fault = Fault::kBlockSplit,
              .argument = "h_cols",
              .value = i64(e - uk),
              .limit = g.m,
              .extra = g.k});
    }
  }
  const int k = g.k;
  const int m = g.m;
  const int z = g.z;

  const std::vector<int> row_listed = listed_degrees(h_rows, e, "h_rows");
  const std::vector<int> col_listed = listed_degrees(h_cols, um, "h_cols");
  for (int i = 0; i < m; ++i) {
    if (row_listed[static_cast<std::size_t>(i)] > 0) continue;
    if (g.layout == Layout::kStaircase && i == 0) {
      refuse({.fault = Fault::kEmptyRow, .argument = "h_rows", .row = 0, .value = 0});
    }
    if (g.layout == Layout::kBlockStaircase && (i < z || i >= m - z)) {
      refuse({.fault = Fault::kEmptyRow, .argument = "h_rows", .row = i, .value = 1});
    }
  }

  // Degrees: listed edges plus the parity part the layout adds.
  std::vector<int> check_degree(row_listed);
  std::vector<int> bit_degree(un, 0);
  for (std::size_t v = 0; v < e; ++v) bit_degree[v] = col_listed[v];
  if (g.layout == Layout::kStaircase) {
    for (int i = 0; i < m; ++i) check_degree[static_cast<std::size_t>(i)] += i == 0 ? 1 : 2;
    for (int v = k; v < n; ++v) bit_degree[static_cast<std::size_t>(v)] = v == n - 1 ? 1 : 2;
  } else if (g.layout == Layout::kBlockStaircase) {
    for (int i = 0; i < m; ++i) {
      check_degree[static_cast<std::size_t>(i)] += i < z || i >= m - z ? 1 : 2;
    }
    for (int v = k + z; v < n; ++v) bit_degree[static_cast<std::size_t>(v)] = 2;
  }
  g.check_offset = offsets(check_degree);
  g.bit_offset = offsets(bit_degree);
  // The two sides may list different numbers of edges until the consistency check below.
  const auto check_edges = static_cast<std::size_t>(g.check_offset.back());
  const auto bit_edges = static_cast<std::size_t>(g.bit_offset.back());

  g.check_bits.resize(check_edges);
  for (int i = 0; i < m; ++i) {
    const auto row = static_cast<std::size_t>(i);
    int* list = g.check_bits.data() + g.check_offset[row];
    int d = row_listed[row];
    for (int j = 0; j < d; ++j) list[j] = h_rows(row, static_cast<std::size_t>(j));
    if (g.layout == Layout::kStaircase) {
      if (i > 0) list[d++] = k + i - 1;
      list[d++] = k + i;
    } else if (g.layout == Layout::kBlockStaircase) {
      if (i >= z) list[d++] = k + i;
      if (i < m - z) list[d++] = k + i + z;
    }
  }
  g.bit_checks.resize(bit_edges);
  for (int v = 0; v < n; ++v) {
    const auto col = static_cast<std::size_t>(v);
    int* list = g.bit_checks.data() + g.bit_offset[col];
    if (col < e) {
      for (int j = 0; j < col_listed[col]; ++j) list[j] = h_cols(col, static_cast<std::size_t>(j));
    } else if (g.layout == Layout::kStaircase) {
      const int i = v - k;
      list[0] = i;
      if (v < n - 1) list[1] = i + 1;
    } else {
      const int i = v - k;
      list[0] = i - z;
      list[1] = i;
    }
  }

  g.check_sockets.resize(check_edges);
  g.bit_sockets.resize(bit_edges);
  detail::first_positions(g.check_offset, g.check_bits, g.bit_offset, g.bit_checks,
                          g.check_sockets);
  detail::first_positions(g.bit_offset, g.bit_checks, g.check_offset, g.check_bits, g.bit_sockets);

  // Every edge must lead back to itself from the other side; then the edges of the two
  // sides correspond one to one. The parity part is consistent by construction and listed
  // positions stay below it, so a failure names listed cells.
  g.check_q_edge.resize(check_edges);
  g.bit_r_edge.resize(bit_edges);
  for (int i = 0; i < m; ++i) {
    const int begin = g.check_offset[static_cast<std::size_t>(i)];
    for (int c = begin; c < g.check_offset[static_cast<std::size_t>(i) + 1]; ++c) {
      const auto uc = static_cast<std::size_t>(c);
      const int v = g.check_bits[uc];
      const int s = g.check_sockets[uc];
      const int b = s < 0 ? -1 : g.bit_offset[static_cast<std::size_t>(v)] + s;
      if (b < 0 || g.bit_sockets[static_cast<std::size_t>(b)] != c - begin) {
        refuse({.fault = b < 0 ? Fault::kUnmatched : Fault::kRepeated,
                .argument = "h_rows",
                .other = "h_cols",
                .row = i,
                .value = v});
      }
      g.check_q_edge[uc] = b;
    }
  }
  for (int v = 0; v < n; ++v) {
    const int begin = g.bit_offset[static_cast<std::size_t>(v)];
    for (int b = begin; b < g.bit_offset[static_cast<std::size_t>(v) + 1]; ++b) {
      const auto ub = static_cast<std::size_t>(b);
      const int i = g.bit_checks[ub];
      const int s = g.bit_sockets[ub];
      const int c = s < 0 ? -1 : g.check_offset[static_cast<std::size_t>(i)] + s;
      if (c < 0 || g.check_sockets[static_cast<std::size_t>(c)] != b - begin) {
        refuse({.fault = c < 0 ? Fault::kUnmatched : Fault::kRepeated,
                .argument = "h_cols",
                .other = "h_rows",
                .row = v,
                .value = i});
      }
      g.bit_r_edge[ub] = c;
    }
  }
  return g;
}

std::uint64_t sparse_graph_bytes(std::size_t n, std::size_t m, std::size_t edges) noexcept {
  // Offsets, six per-edge arrays and the socket search's working arrays.
  const std::uint64_t nodes = add_sat(add_sat(n, m), 2);
  return mul_sat(sizeof(int), add_sat(mul_sat(3, nodes), mul_sat(9, edges)));
}

}  // namespace linkforge::ldpc
