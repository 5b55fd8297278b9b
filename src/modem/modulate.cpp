#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {

std::size_t modulate_length(std::size_t K, int m) {
  if (m < 1) throw ArgumentError("modulate_length: no bits per symbol");
  const auto bits = static_cast<std::size_t>(m);
  return K / bits + (K % bits > 0 ? 1 : 0);
}

void modulate(std::span<const int> bits, ComplexSpan<double> points, std::size_t count,
              std::size_t dim, std::span<double> out_re, std::span<double> out_im) {
  if (count < 2) throw ArgumentError("modulate: a signal set needs at least 2 points");
  const std::uint64_t coordinates = mul_sat(count, dim);
  if (points.re.size() != coordinates ||
      (!points.im.empty() && points.im.size() != points.re.size())) {
    throw ArgumentError("modulate: signal set size disagrees with its shape");
  }
  const int m = compute_bits_per_symbol(count);
  const std::size_t n = modulate_length(bits.size(), m);
  if (out_re.size() != mul_sat(n, dim) || out_im.size() != out_re.size()) {
    throw ArgumentError("modulate: output size disagrees with the bit count");
  }
  for (const int b : bits) {
    if (b != 0 && b != 1) throw ArgumentError("modulate: bits must be 0 or 1");
  }

  const std::size_t K = bits.size();
  for (std::size_t j = 0; j < n; ++j) {
    std::size_t label = 0;
    for (std::size_t k = j * m; k < (j + 1) * m; ++k) {
      label = 2 * label + static_cast<std::size_t>(k < K ? bits[k] : 0);
    }
    // label < 2^m <= count: the point exists.
    const std::size_t from = label * dim;
    for (std::size_t d = 0; d < dim; ++d) {
      out_re[j * dim + d] = points.re[from + d];
      out_im[j * dim + d] = points.imag(from + d);
    }
  }
}

}  // namespace linkforge
