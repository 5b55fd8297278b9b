// positions = PolarConstruct(K, N, E)
//
// The sorted 0-based positions of the K information bits of the length-N polar code:
// the K most reliable entries below N of the NR reliability sequence, leaving out, with
// E, the positions that rate matching to E bits does not send.
#include <cstdint>
#include <string>
#include <vector>

#include "gateway.hpp"
#include "linkforge/polar.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: positions = PolarConstruct(K, N, E)";

void polar_construct_module(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 3 || call.nargout() > 1) fail(kUsage);
  const std::size_t K = read_polar_size(call.arg(0), "K");
  const std::size_t N = read_polar_size(call.arg(1), "N");
  const std::vector<std::uint32_t> info = read_polar_info(call, 2, K, N);
  Output out = Output::real_uninit(1, info.size());
  out.assign(info);
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarConstruct", polar_construct_module, nlhs, plhs, nrhs, prhs);
}
