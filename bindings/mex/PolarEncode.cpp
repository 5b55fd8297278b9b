// code = PolarEncode(data, N, E)
//
// Encodes rows of K data bits with the length-N polar code of PolarConstruct(K, N, E):
// the bits at the information positions, zeros elsewhere, times the polar transform.
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

constexpr const char* kUsage = "Usage: code = PolarEncode(data, N, E)";

void polar_encode_module(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 3 || call.nargout() > 1) fail(kUsage);
  const Matrix data(call.arg(0), "data");
  const std::size_t F = data.rows(), K = data.cols(), n = read_polar_size(call.arg(1), "N");
  check_polar_code(K, n);
  const std::vector<std::uint32_t> info = read_polar_info(call, 2, K, n);
  for (const double v : data.real()) {
    if (v != 0.0 && v != 1.0) fail("data must hold only 0 and 1");
  }
  MemoryEstimate().values<std::uint8_t>(F * (K + n)).output(F, n).require("the encoder");
  std::vector<std::uint8_t> bits(data.real().begin(), data.real().end());
  std::vector<std::uint8_t> code(F * n);
  polar_encode_frames(FrameView<const std::uint8_t>::column_major(bits.data(), F, K), info, n,
                      FrameView<std::uint8_t>::column_major(code.data(), F, n));
  Output out = Output::real_uninit(F, n);
  out.assign(code);
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarEncode", polar_encode_module, nlhs, plhs, nrhs, prhs);
}
