#include <climits>
#include <stdexcept>
#include <string>

#include "linkforge/checked.hpp"
#include "linkforge/ldpc.hpp"
#include "sockets.hpp"

namespace linkforge::ldpc {

namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw std::invalid_argument(message);
}

std::string num(std::size_t value) {
  return std::to_string(value);
}

// Degrees of the rows of an index matrix, after checking that every row lists positions
// in 0..limit-1 first and nothing after an empty cell. `name` is the matrix's name in
// messages, which count rows, columns and positions from 1.
std::vector<int> listed_degrees(MatrixView<const int> h, std::size_t limit, const char* name) {
  std::vector<int> degree(h.rows, 0);
  for (std::size_t row = 0; row < h.rows; ++row) {
    std::size_t d = 0;
    for (std::size_t col = 0; col < h.cols; ++col) d += h(row, col) >= 0;
    for (std::size_t col = 0; col < d; ++col) {
      const int cell = h(row, col);
      if (cell >= 0 && static_cast<std::size_t>(cell) < limit) continue;
      const std::string where = std::string(name) + "(" + num(row + 1) + "," + num(col + 1) + ")";
      if (cell < 0) {
        refuse(where + " is empty but later cells of row " + num(row + 1) +
               " list positions; list the positions first, then zeros");
      }
      if (static_cast<std::size_t>(cell) >= limit) {
        refuse(where + " is not a position in 1.." + num(limit));
      }
    }
    if (d > static_cast<std::size_t>(INT_MAX)) refuse(std::string(name) + " has too many entries");
    degree[row] = static_cast<int>(d);
  }
  return degree;
}

std::vector<int> offsets(const std::vector<int>& degree) {
  std::vector<int> offset(degree.size() + 1, 0);
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < degree.size(); ++i) {
    total += static_cast<std::uint64_t>(degree[i]);
    if (total > static_cast<std::uint64_t>(INT_MAX)) refuse("the graph has too many edges");
    offset[i + 1] = static_cast<int>(total);
  }
  return offset;
}

}  // namespace

SparseGraph make_sparse_graph(int n, MatrixView<const int> h_rows, MatrixView<const int> h_cols) {
  if (n < 0) refuse("the number of code bits must not be negative");
  if (h_rows.values.size() != h_rows.rows * h_rows.cols ||
      h_cols.values.size() != h_cols.rows * h_cols.cols) {
    refuse("index matrix sizes do not match their cells");
  }
  if (h_rows.rows > static_cast<std::size_t>(n)) {
    refuse("Number of rows in H_rows must not exceed number of received bits");
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
    refuse("Number of rows in H_cols must equal number of received bits or number of data bits");
  } else if (e == uk) {
    g.layout = Layout::kStaircase;
  } else {
    g.layout = Layout::kBlockStaircase;
    g.z = static_cast<int>(e - uk);
    if (g.m % g.z != 0 || g.m / g.z < 2) {
      refuse("Block staircase layout: z = " + num(e - uk) + " (rows of H_cols beyond the " +
             num(uk) + " data columns) must split the " + num(um) +
             " parity bits into at least two blocks");
    }
  }
  const int k = g.k;
  const int m = g.m;
  const int z = g.z;

  const std::vector<int> row_listed = listed_degrees(h_rows, e, "H_rows");
  const std::vector<int> col_listed = listed_degrees(h_cols, um, "H_cols");
  for (int i = 0; i < m; ++i) {
    if (row_listed[static_cast<std::size_t>(i)] > 0) continue;
    if (g.layout == Layout::kStaircase && i == 0) {
      refuse(
          "Row 1 of H_rows lists no position; the first check of the staircase layout "
          "needs one");
    }
    if (g.layout == Layout::kBlockStaircase && (i < z || i >= m - z)) {
      refuse("Row " + num(static_cast<std::size_t>(i) + 1) +
             " of H_rows lists no position; every check of the first and last blocks of the "
             "block staircase layout needs one");
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
        const std::string row = num(static_cast<std::size_t>(i) + 1);
        const std::string pos = num(static_cast<std::size_t>(v) + 1);
        if (b < 0) {
          refuse("H_rows and H_cols disagree: row " + row + " of H_rows lists position " + pos +
                 ", but row " + pos + " of H_cols does not list " + row);
        }
        refuse("Row " + row + " of H_rows lists position " + pos + " twice");
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
        const std::string row = num(static_cast<std::size_t>(v) + 1);
        const std::string pos = num(static_cast<std::size_t>(i) + 1);
        if (c < 0) {
          refuse("H_rows and H_cols disagree: row " + row + " of H_cols lists position " + pos +
                 ", but row " + pos + " of H_rows does not list " + row);
        }
        refuse("Row " + row + " of H_cols lists position " + pos + " twice");
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
