// y = BitCountAdapt(x, X_i, e_ini, e_plus, e_minus)
//
// Removes bits of a row of X_i values at the positions the rate-matching error
// accumulator picks (e = e - e_minus per position; removed when e <= 0, then
// e = e + e_plus), keeping the others in order.
#include "adapt_args.hpp"
#include "gateway.hpp"
#include "linkforge/adapt.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: y = BitCountAdapt( x, X_i, e_ini, e_plus, e_minus )";

void bit_count_adapt_gateway(Call& call) {
  if (call.nargin() < 5 || call.nargout() > 1) fail(kUsage);
  const Matrix x(call.arg(0), "x");
  const BitCountPattern pattern = read_bit_count_pattern(call);
  if (pattern.X_i < 0 || x.cols() != static_cast<std::size_t>(pattern.X_i)) {
    fail("Input length is not consistent with X_i");
  }
  const std::span<const double> values = x.row();
  Output y = Output::real(1, bit_count_kept(pattern));
  bit_count_adapt(y.real(), values, pattern);
  call.set_output(0, std::move(y));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("BitCountAdapt", bit_count_adapt_gateway, nlhs, plhs, nrhs, prhs);
}
