#include "duobinary_args.hpp"

#include <cmath>
#include <string>

namespace linkforge::mex {

void require_poly_shape(const Matrix& poly) {
  if (poly.rows() != 2 || poly.cols() != 4) {
    fail(" Parity generator has two polynomials. Each has 4 elements");
  }
}

std::array<int, kDuobinaryGenerators> parity_generators(const Matrix& poly) {
  require_poly_shape(poly);
  const std::span<const double> entries = poly.first(8);
  require_finite(entries, "poly");
  return duobinary_generators(entries);
}

void require_finite(std::span<const double> values, const char* name) {
  for (const double v : values) {
    if (!std::isfinite(v)) fail(std::string(name) + " must not contain NaN or Inf");
  }
}

}  // namespace linkforge::mex
