// positions = PolarConstruct(K, N)
//
// The sorted 0-based positions of the K information bits of the length-N polar code:
// the K most reliable entries below N of the NR reliability sequence.
#include <string>

#include "gateway.hpp"
#include "linkforge/polar.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: positions = PolarConstruct(K, N)";

void polar_construct_module(Call& call) {
  if (call.nargin() != 2 || call.nargout() > 1) fail(kUsage);
  const int K = scalar_int(call.arg(0), "K");
  const int N = scalar_int(call.arg(1), "N");
  if (K < 1) fail("K must be a positive integer");
  if (N < 1) fail("N must be a positive integer");
  const auto info = polar_construct(static_cast<std::size_t>(K), static_cast<std::size_t>(N));
  Output out = Output::real_uninit(1, info.size());
  out.assign(info);
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarConstruct", polar_construct_module, nlhs, plhs, nrhs, prhs);
}
