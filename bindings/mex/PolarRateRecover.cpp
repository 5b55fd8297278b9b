// llr_code = PolarRateRecover(llr, K, N, interleave)
//
// The soft inverse of PolarRateMatch: rows of E received LLRs back to rows of N for
// PolarDecode, repetitions added up, punctured bits 0 and shortened bits a certain 0.
#include <string>

#include "gateway.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: llr_code = PolarRateRecover(llr, K, N, interleave)";

void polar_rate_recover_module(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 4 || call.nargout() > 1) fail(kUsage);
  const Matrix llr(call.arg(0), "llr");
  PolarRateParams params;
  params.K = read_polar_size(call.arg(1), "K");
  params.N = read_polar_size(call.arg(2), "N");
  params.E = llr.cols();
  params.interleave_coded_bits = read_polar_interleave(call, 3);
  check_polar_rate(params);
  refuse_bad_soft_values(llr.real(), "llr");
  const std::size_t F = llr.rows();
  MemoryEstimate()
      .values<std::uint32_t>(params.E + params.N)
      .output(F, params.N)
      .require("rate recovery");
  Output out = Output::real_uninit(F, params.N);
  polar_rate_recover(params, FrameView<const double>::column_major(llr.real().data(), F, params.E),
                     FrameView<double>::column_major(out.real().data(), F, params.N));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarRateRecover", polar_rate_recover_module, nlhs, plhs, nrhs, prhs);
}
