// out = PolarRateMatch(code, K, E, interleave)
//
// The E bits sent of each row of N polar code bits: sub-block interleaving, then
// repetition, puncturing or shortening, then optionally the triangular interleaver.
#include <string>

#include "gateway.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: out = PolarRateMatch(code, K, E, interleave)";

void polar_rate_match_module(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 4 || call.nargout() > 1) fail(kUsage);
  const Matrix code(call.arg(0), "code");
  PolarRateParams params;
  params.K = read_polar_size(call.arg(1), "K");
  params.E = read_polar_size(call.arg(2), "E");
  params.N = code.cols();
  if (params.N < 32 || params.N > 1024 || (params.N & (params.N - 1)) != 0) {
    fail("code must have N columns, a power of two from 32 to 1024, not " +
         std::to_string(params.N));
  }
  params.interleave_coded_bits = read_polar_interleave(call, 3);
  check_polar_rate(params);
  refuse_nan(code.real(), "code");
  const std::size_t F = code.rows();
  MemoryEstimate().values<std::uint32_t>(params.E).output(F, params.E).require("rate matching");
  Output out = Output::real_uninit(F, params.E);
  polar_rate_match(params, FrameView<const double>::column_major(code.real().data(), F, params.N),
                   FrameView<double>::column_major(out.real().data(), F, params.E));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarRateMatch", polar_rate_match_module, nlhs, plhs, nrhs, prhs);
}
