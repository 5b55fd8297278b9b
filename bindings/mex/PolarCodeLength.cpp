// N = PolarCodeLength(K, E, link)
//
// The length of the 5G polar code that carries K bits sent as E (3GPP TS 38.212 5.3.1).
#include "gateway.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: N = PolarCodeLength(K, E, link)";

void polar_code_length_module(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 3 || call.nargout() > 1) fail(kUsage);
  const std::size_t K = read_polar_size(call.arg(0), "K");
  const std::size_t E = read_polar_size(call.arg(1), "E");
  const PolarLink link = call.nargin() >= 3 ? read_polar_link(call.arg(2)) : PolarLink::kDownlink;
  Output out = Output::real_uninit(1, 1);
  out.real()[0] = static_cast<double>(polar_code_length(K, E, link));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarCodeLength", polar_code_length_module, nlhs, plhs, nrhs, prhs);
}
