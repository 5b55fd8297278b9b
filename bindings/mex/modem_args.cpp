#include "modem_args.hpp"

#include <cmath>

#include "linkforge/checked.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge::mex {

float read_es_no(const mxArray* array) {
  const auto es_no = static_cast<float>(scalar_double(array, "EsNo"));
  if (!(es_no > 0.0f) || !std::isfinite(es_no)) {
    fail("EsNo must be a positive number (a linear ratio, not dB)");
  }
  return es_no;
}

int read_demod_type(const mxArray* array) {
  const int type = scalar_int(array, "demod_type");
  if (!is_max_star_type(type)) fail("demod_type must be be 0 through 4");
  return type;
}

std::size_t read_extrinsic_info_length(const mxArray* array) {
  return Matrix(array, "extrinsic_info").cols();
}

std::vector<float> read_extrinsic_info(const mxArray* array, std::uint64_t total, std::size_t n) {
  if (n > total) fail("Too many a prior LLR inputs");
  const Matrix values(array, "extrinsic_info");
  const std::span<const double> given = values.first(n);
  refuse_bad_soft_values(given, "extrinsic_info");
  std::vector<float> prior(static_cast<std::size_t>(total), 0.0f);
  for (std::size_t b = 0; b < n; ++b) prior[b] = static_cast<float>(given[b]);
  return prior;
}

SingleComplex read_single_complex(const Matrix& values, std::size_t count) {
  return {to_single(values.first(count)), to_single(values.imag_first(count))};
}

}  // namespace linkforge::mex
