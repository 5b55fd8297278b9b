#include "nrldpc_args.hpp"

#include <cmath>

namespace linkforge::mex {

nr_ldpc::Code read_nr_code(const mxArray* bg, const mxArray* z) {
  const int base = scalar_int(bg, "bg");
  const double lifting = scalar_double(z, "Z");
  if (std::isnan(lifting)) fail("Z must not be NaN");
  const long long size = lifting >= 1e9    ? 1000000000LL
                         : lifting <= -1e9 ? -1000000000LL
                                           : static_cast<long long>(lifting);
  return nr_ldpc::make_code(base, size);
}

nr_ldpc::RateMatchParams read_rate_match(const Call& call, int first, const nr_ldpc::Code& code) {
  nr_ldpc::RateMatchParams p;
  const auto given = [&](int i) { return call.nargin() > first + i && !mxIsEmpty(call.arg(first + i)); };
  if (given(0)) p.rv = scalar_int(call.arg(first), "rv");
  if (given(1)) p.modulation_order = scalar_int(call.arg(first + 1), "Qm");
  p.filler_start = given(2) ? scalar_int(call.arg(first + 2), "K_prime")
                            : static_cast<long long>(code.data_length());
  if (given(3)) p.limited_buffer = scalar_int(call.arg(first + 3), "N_ref");
  return p;
}

}  // namespace linkforge::mex
