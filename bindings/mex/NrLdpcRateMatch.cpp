// out = NrLdpcRateMatch(codeword, bg, Z, E, rv, Qm, K_prime, N_ref)
//
// The E bits sent of each NR LDPC codeword row: bit selection from the circular buffer
// from the redundancy version's start, past the filler bits, then bit interleaving.
#include <cmath>
#include <string>

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "nrldpc_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: out = NrLdpcRateMatch(codeword, bg, Z, E, rv, Qm, K_prime, N_ref)";

void nr_ldpc_rate_match(Call& call) {
  if (call.nargin() < 4 || call.nargin() > 8 || call.nargout() > 1) fail(kUsage);
  const Matrix word(call.arg(0), "codeword");
  const nr_ldpc::Code code = read_nr_code(call.arg(1), call.arg(2));
  nr_ldpc::RateMatchParams params = read_rate_match(call, 4, code);
  params.e = scalar_int(call.arg(3), "E");
  nr_ldpc::check_rate_match(code, params);
  const std::size_t F = word.rows(), n = code.code_length();
  if (word.cols() != n) {
    fail("codeword must have " + std::to_string(code.cols) + "*Z = " + std::to_string(n) +
         " columns, not " + std::to_string(word.cols()));
  }
  refuse_nan(word.real(), "codeword");
  const auto E = static_cast<std::size_t>(params.e);
  MemoryEstimate().values<std::size_t>(E).output(F, E).require("rate matching");
  Output out = Output::real_uninit(F, E);
  nr_ldpc::rate_match(code, params, FrameView<const double>::column_major(word.real().data(), F, n),
                      FrameView<double>::column_major(out.real().data(), F, E));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("NrLdpcRateMatch", nr_ldpc_rate_match, nlhs, plhs, nrhs, prhs);
}
