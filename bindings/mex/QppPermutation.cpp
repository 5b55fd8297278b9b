// [alpha] = QppPermutation(K)
//
// The internal interleaver of the LTE turbo code (3GPP TS 36.212 5.1.3.2.3) for one of
// its 188 block sizes K, as a row of 0-based source positions: interleaved(k) =
// data(alpha(k)).
#include <vector>

#include "gateway.hpp"
#include "linkforge/qpp.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: alpha = QppPermutation(K)";

void qpp_permutation_module(Call& call) {
  if (call.nargin() != 1 || call.nargout() > 1) fail(kUsage);
  // NaN, infinities and values beyond the int range are refused as such; any other K
  // that is not a size gets the message naming the sizes next to it.
  const QppParams& p = lte_qpp(scalar_int(call.arg(0), "K"));
  const auto K = static_cast<std::size_t>(p.K);
  MemoryEstimate().values<int>(K).output(1, K).require("the permutation");
  std::vector<int> alpha(K);
  qpp_permutation(p.K, alpha);
  Output out = Output::real_uninit(1, K);
  out.assign(alpha);
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("QppPermutation", qpp_permutation_module, nlhs, plhs, nrhs, prhs);
}
