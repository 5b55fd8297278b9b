#include "duobinary_args.hpp"

namespace linkforge::mex {

void require_poly_shape(const Matrix& poly) {
  if (poly.rows() != 2 || poly.cols() != 4) {
    fail(" Parity generator has two polynomials. Each has 4 elements");
  }
}

DuobinaryTrellis parity_trellis(const Matrix& poly) {
  require_poly_shape(poly);
  const std::span<const double> entries = poly.first(8);
  refuse_non_finite(entries, "poly");
  return DuobinaryTrellis(duobinary_generators(entries));
}

}  // namespace linkforge::mex
