#include <cmath>
#include <cstdint>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/ldpc.hpp"

namespace linkforge::ldpc {

namespace {

[[noreturn]] void refuse(const Refusal& refusal) {
  throw ArgumentError(refusal);
}

auto i64(std::size_t value) {
  return static_cast<std::int64_t>(value);
}

void validate(std::span<const double> data, MatrixView<const double> h_rows,
              MatrixView<const double> p, std::span<double> codeword) {
  const std::size_t k = data.size();
  const std::size_t m = h_rows.rows;
  const std::size_t z = p.rows;
  if (h_rows.values.size() != m * h_rows.cols || p.values.size() != z * p.cols) {
    throw ArgumentError("encode: matrix sizes do not match their values");
  }
  if (codeword.size() != k + m) throw ArgumentError("encode: the codeword must hold k + m values");
  if (p.cols != z) {
    refuse({.fault = Fault::kNotSquare, .argument = "p", .value = i64(z), .limit = i64(p.cols)});
  }
  for (std::size_t i = 0; i < k; ++i) {
    if (data[i] != 0.0 && data[i] != 1.0) {
      refuse({.fault = Fault::kNotBinary, .argument = "data", .row = i64(i), .real = data[i]});
    }
  }
  // Every non-zero cell is listed; truncated toward zero it must name a codeword position.
  const double limit = static_cast<double>(k + m) + 1.0;
  for (std::size_t col = 0; col < h_rows.cols; ++col) {
    for (std::size_t row = 0; row < m; ++row) {
      const double v = h_rows(row, col);
      if (v != 0.0 && !(v >= 1.0 && v < limit)) {
        refuse({.fault = Fault::kNotPositionValue,
                .argument = "h_rows",
                .row = i64(row),
                .col = i64(col),
                .limit = i64(k + m),
                .real = v});
      }
    }
  }
  if (z > 0 && (k % z != 0 || m % z != 0 || m < z)) {
    refuse({.fault = Fault::kNoDivide,
            .argument = "p",
            .value = i64(z),
            .limit = i64(k),
            .extra = i64(m)});
  }
  for (const double v : p.values) {
    if (!(v > -1.0 && v < 2.0)) refuse({.fault = Fault::kNotBinary, .argument = "p", .real = v});
  }
}

}  // namespace

void encode(std::span<const double> data, MatrixView<const double> h_rows,
            MatrixView<const double> p, std::span<double> codeword) {
  validate(data, h_rows, p, codeword);
  const std::size_t k = data.size();
  const std::size_t m = h_rows.rows;
  const std::size_t z = p.rows;

  for (std::size_t i = 0; i < k; ++i) codeword[i] = data[i];
  for (std::size_t i = k; i < k + m; ++i) codeword[i] = 0.0;

  // Exclusive-or of the codeword bits at the listed positions of row i, cells in column
  // order; a parity position not yet computed reads 0.
  const auto row_sum = [&](std::size_t row) {
    int sum = 0;
    for (std::size_t col = 0; col < h_rows.cols; ++col) {
      const double v = h_rows(row, col);
      if (v != 0.0) sum ^= static_cast<int>(codeword[static_cast<std::size_t>(v) - 1]);
    }
    return sum;
  };

  if (z == 0) {
    int previous = 0;
    for (std::size_t i = 0; i < m; ++i) {
      previous ^= row_sum(i);
      codeword[k + i] = previous;
    }
    return;
  }

  // lambda_t: data bits of the rows of residue t (the sum of all row blocks, in which the
  // staircase blocks cancel); parity columns and other positions above k add nothing.
  std::vector<int> lambda(z, 0);
  for (std::size_t row = 0; row < m; ++row) {
    for (std::size_t col = 0; col < h_rows.cols; ++col) {
      const double v = h_rows(row, col);
      if (v != 0.0 && static_cast<std::size_t>(v) <= k) {
        lambda[row % z] ^= static_cast<int>(codeword[static_cast<std::size_t>(v) - 1]);
      }
    }
  }
  for (std::size_t i = 0; i < z; ++i) {
    int bit = 0;
    for (std::size_t j = 0; j < z; ++j) bit ^= static_cast<int>(p(i, j)) & lambda[j];
    codeword[k + i] = bit;
  }
  // The remaining blocks by back-substitution: p_(z+i) = row sum of row i XOR p_i.
  std::vector<int> last(z, 0);
  for (std::size_t i = 0; i + z < m; ++i) {
    const int bit = row_sum(i) ^ last[i % z];
    codeword[k + z + i] = bit;
    last[i % z] = bit;
  }
}

}  // namespace linkforge::ldpc
