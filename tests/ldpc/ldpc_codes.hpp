// Random parity-check codes in the three layouts of the flooding decoder, for the LDPC
// kernel tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "linkforge/ldpc.hpp"

namespace linkforge::ldpc::testing {

// A code of n = k + m bits: `rows` and `cols` list the explicit part (0-based), `dense`
// is all of H (m x n, row-major) including the parity part the layout adds.
struct TestCode {
  int n = 0, m = 0, k = 0, z = 0;
  Layout layout = Layout::kFull;
  std::vector<std::vector<int>> rows;  // m checks: explicit columns, in listed order
  std::vector<std::vector<int>> cols;  // explicit columns: checks, in listed order
  std::vector<double> p;               // z x z column-major inverse of the block sum
  std::vector<std::uint8_t> dense;

  std::uint8_t h(int i, int v) const { return dense[static_cast<std::size_t>(i * n + v)]; }
};

// An index matrix of lists: 0-based cells, -1 padding.
struct Cells {
  std::vector<int> cells;
  std::size_t rows = 0, cols = 0;
  MatrixView<const int> view() const { return {cells, rows, cols}; }
};

inline Cells to_cells(const std::vector<std::vector<int>>& lists) {
  Cells c;
  c.rows = lists.size();
  for (const auto& l : lists) c.cols = std::max(c.cols, l.size());
  c.cells.assign(c.rows * c.cols, -1);
  for (std::size_t r = 0; r < c.rows; ++r) {
    for (std::size_t j = 0; j < lists[r].size(); ++j) c.cells[r + j * c.rows] = lists[r][j];
  }
  return c;
}

// The same lists as the encoder reads them: 1-based doubles, 0 padding.
inline std::vector<double> to_positions(const Cells& c) {
  std::vector<double> out(c.cells.size());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = c.cells[i] + 1.0;
  return out;
}

// Inverse over GF(2) of a z x z row-major 0/1 matrix, or nothing when it is singular.
inline std::optional<std::vector<std::uint8_t>> gf2_inverse(std::vector<std::uint8_t> a, int z) {
  std::vector<std::uint8_t> inv(static_cast<std::size_t>(z * z), 0);
  for (int i = 0; i < z; ++i) inv[static_cast<std::size_t>(i * z + i)] = 1;
  for (int col = 0; col < z; ++col) {
    int pivot = col;
    while (pivot < z && !a[static_cast<std::size_t>(pivot * z + col)]) ++pivot;
    if (pivot == z) return std::nullopt;
    for (int j = 0; j < z; ++j) {
      std::swap(a[static_cast<std::size_t>(col * z + j)],
                a[static_cast<std::size_t>(pivot * z + j)]);
      std::swap(inv[static_cast<std::size_t>(col * z + j)],
                inv[static_cast<std::size_t>(pivot * z + j)]);
    }
    for (int row = 0; row < z; ++row) {
      if (row == col || !a[static_cast<std::size_t>(row * z + col)]) continue;
      for (int j = 0; j < z; ++j) {
        a[static_cast<std::size_t>(row * z + j)] ^= a[static_cast<std::size_t>(col * z + j)];
        inv[static_cast<std::size_t>(row * z + j)] ^= inv[static_cast<std::size_t>(col * z + j)];
      }
    }
  }
  return inv;
}

// k data columns of `weight` distinct random rows each; z = 0 gives the staircase layout,
// z > 0 the block staircase with a random first parity block column whose block sum is
// invertible. Every check that the layout needs to list something does.
inline TestCode random_code(int k, int m, int z, int weight, unsigned seed) {
  std::mt19937 rng(seed);
  TestCode c;
  c.k = k;
  c.m = m;
  c.z = z;
  c.n = k + m;
  c.layout = z == 0 ? Layout::kStaircase : Layout::kBlockStaircase;
  const int explicit_cols = k + z;
  std::vector<std::vector<std::uint8_t>> H(static_cast<std::size_t>(m),
                                           std::vector<std::uint8_t>(c.n, 0));
  for (int v = 0; v < k; ++v) {
    std::vector<int> all(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) all[static_cast<std::size_t>(i)] = i;
    std::shuffle(all.begin(), all.end(), rng);
    for (int j = 0; j < weight && j < m; ++j) H[static_cast<std::size_t>(all[j])][v] = 1;
  }
  if (z == 0) {
    H[0][0] = 1;  // the first staircase check must list a column
  } else {
    // The first block is a permutation; the others are sparse and random, with a one
    // added to any last-block row that would list nothing. The sum of the blocks must be
    // invertible (a sum of two permutations never is: it maps all ones to zero).
    for (int attempt = 0;; ++attempt) {
      if (attempt == 1000) throw std::runtime_error("no invertible block sum found");
      std::vector<int> perm(static_cast<std::size_t>(z));
      for (int j = 0; j < z; ++j) perm[static_cast<std::size_t>(j)] = j;
      std::shuffle(perm.begin(), perm.end(), rng);
      for (int i = 0; i < m; ++i) {
        auto& row = H[static_cast<std::size_t>(i)];
        for (int j = 0; j < z; ++j) {
          row[k + j] = i < z ? perm[static_cast<std::size_t>(i)] == j
                             : static_cast<std::uint8_t>(rng() % 4 == 0);
        }
        if (i >= m - z && std::find(row.begin(), row.begin() + k + z, 1) == row.begin() + k + z) {
          row[k + static_cast<int>(rng() % static_cast<unsigned>(z))] = 1;
        }
      }
      std::vector<std::uint8_t> sum(static_cast<std::size_t>(z * z), 0);
      for (int i = 0; i < m; ++i) {
        for (int j = 0; j < z; ++j) {
          sum[static_cast<std::size_t>((i % z) * z + j)] ^= H[static_cast<std::size_t>(i)][k + j];
        }
      }
      const auto inverse = gf2_inverse(sum, z);
      if (!inverse) continue;
      c.p.assign(static_cast<std::size_t>(z * z), 0.0);
      for (int i = 0; i < z; ++i) {
        for (int j = 0; j < z; ++j) {
          c.p[static_cast<std::size_t>(i + j * z)] =
              (*inverse)[static_cast<std::size_t>(i * z + j)];
        }
      }
      break;
    }
  }
  c.rows.assign(static_cast<std::size_t>(m), {});
  c.cols.assign(static_cast<std::size_t>(explicit_cols), {});
  for (int i = 0; i < m; ++i) {
    for (int v = 0; v < explicit_cols; ++v) {
      if (H[static_cast<std::size_t>(i)][v]) {
        c.rows[static_cast<std::size_t>(i)].push_back(v);
        c.cols[static_cast<std::size_t>(v)].push_back(i);
      }
    }
  }
  // The parity part the decoder adds.
  for (int i = z; i < m; ++i) {
    const int v = k + i;
    if (z == 0) {
      H[static_cast<std::size_t>(i)][v] = 1;
      if (i + 1 < m) H[static_cast<std::size_t>(i + 1)][v] = 1;
    } else {
      H[static_cast<std::size_t>(i - z)][v] = 1;
      H[static_cast<std::size_t>(i)][v] = 1;
    }
  }
  c.dense.reserve(static_cast<std::size_t>(m * c.n));
  for (const auto& row : H) c.dense.insert(c.dense.end(), row.begin(), row.end());
  return c;
}

// The same code described in full: every column listed, in increasing order.
inline TestCode as_full(const TestCode& code) {
  TestCode c = code;
  c.layout = Layout::kFull;
  c.z = 0;
  c.p.clear();
  c.rows.assign(static_cast<std::size_t>(c.m), {});
  c.cols.assign(static_cast<std::size_t>(c.n), {});
  for (int i = 0; i < c.m; ++i) {
    for (int v = 0; v < c.n; ++v) {
      if (c.h(i, v)) {
        c.rows[static_cast<std::size_t>(i)].push_back(v);
        c.cols[static_cast<std::size_t>(v)].push_back(i);
      }
    }
  }
  return c;
}

inline SparseGraph graph_of(const TestCode& c) {
  return make_sparse_graph(c.n, to_cells(c.rows).view(), to_cells(c.cols).view());
}

inline std::vector<double> codeword_of(const TestCode& c, const std::vector<double>& data) {
  const Cells cells = to_cells(c.rows);
  const std::vector<double> positions = to_positions(cells);
  std::vector<double> codeword(static_cast<std::size_t>(c.n));
  encode(data, {positions, cells.rows, cells.cols},
         {c.p, static_cast<std::size_t>(c.z), static_cast<std::size_t>(c.z)}, codeword);
  return codeword;
}

inline bool satisfies_every_check(const TestCode& c, const std::vector<double>& codeword) {
  for (int i = 0; i < c.m; ++i) {
    int parity = 0;
    for (int v = 0; v < c.n; ++v) parity ^= c.h(i, v) & static_cast<int>(codeword[v]);
    if (parity) return false;
  }
  return true;
}

inline std::vector<double> random_bits(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<double> bits(count);
  for (double& b : bits) b = static_cast<double>(rng() & 1);
  return bits;
}

// Channel values L = ln(P(0) / P(1)) of BPSK over Gaussian noise of deviation sigma.
inline std::vector<float> noisy_llr(const std::vector<double>& codeword, double sigma,
                                    unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<float> llr(codeword.size());
  for (std::size_t i = 0; i < codeword.size(); ++i) {
    const double y = (codeword[i] ? -1.0 : 1.0) + noise(rng);
    llr[i] = static_cast<float>(2.0 * y / (sigma * sigma));
  }
  return llr;
}

}  // namespace linkforge::ldpc::testing
