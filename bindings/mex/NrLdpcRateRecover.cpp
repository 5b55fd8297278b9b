// llr_code = NrLdpcRateRecover(llr, bg, Z, rv, Qm, K_prime, N_ref)
//
// The soft inverse of NrLdpcRateMatch: received LLRs deinterleaved and put back into
// whole codeword rows for NrLdpcDecode, repetitions added up.
#include <cmath>
#include <string>

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "nrldpc_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: llr_code = NrLdpcRateRecover(llr, bg, Z, rv, Qm, K_prime, N_ref)";

void nr_ldpc_rate_recover(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 7 || call.nargout() > 1) fail(kUsage);
  const Matrix llr(call.arg(0), "llr");
  const nr_ldpc::Code code = read_nr_code(call.arg(1), call.arg(2));
  nr_ldpc::RateMatchParams params = read_rate_match(call, 3, code);
  params.e = static_cast<long long>(llr.cols());
  nr_ldpc::check_rate_match(code, params);
  refuse_bad_soft_values(llr.real(), "llr");
  const std::size_t F = llr.rows(), n = code.code_length(), E = llr.cols();
  MemoryEstimate().values<std::size_t>(E).output(F, n).require("rate recovery");
  Output out = Output::real_uninit(F, n);
  nr_ldpc::rate_recover(code, params, FrameView<const double>::column_major(llr.real().data(), F, E),
                        FrameView<double>::column_major(out.real().data(), F, n));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("NrLdpcRateRecover", nr_ldpc_rate_recover, nlhs, plhs, nrhs, prhs);
}
