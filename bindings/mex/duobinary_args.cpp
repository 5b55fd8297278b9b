#include "duobinary_args.hpp"

namespace linkforge::mex {

void require_poly_shape(const Matrix& poly) {
  if (poly.rows() != 2 || poly.cols() != 4) {
    fail(" Parity generator has two polynomials. Each has 4 elements");
  }
}

std::array<int, kDuobinaryGenerators> parity_generators(const Matrix& poly) {
  require_poly_shape(poly);
  const std::span<const double> entries = poly.first(8);
  refuse_non_finite(entries, "poly");
  return duobinary_generators(entries);
}

}  // namespace linkforge::mex
