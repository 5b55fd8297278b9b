// y = BitCountRestore(x, X_i, e_ini, e_plus, e_minus)
//
// Puts the Y received values of x back at the positions BitCountAdapt kept from a block
// of X_i, and 0 (no information) at the removed ones.
#include "adapt_args.hpp"
#include "gateway.hpp"
#include "linkforge/adapt.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: y = BitCountRestore( x, X_i, e_ini, e_plus, e_minus )";

void bit_count_restore_gateway(Call& call) {
  if (call.nargin() < 5 || call.nargout() > 1) fail(kUsage);
  const Matrix x(call.arg(0), "x");
  const BitCountPattern pattern = read_bit_count_pattern(call);
  if (pattern.X_i < 0) fail("X_i must not be negative");
  if (x.cols() != bit_count_kept(pattern)) fail("Input length is invalid");
  const std::span<const double> values = x.row();
  Output y = Output::real(1, static_cast<std::size_t>(pattern.X_i));
  bit_count_restore(y.real(), values, pattern);
  call.set_output(0, std::move(y));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("BitCountRestore", bit_count_restore_gateway, nlhs, plhs, nrhs, prhs);
}
