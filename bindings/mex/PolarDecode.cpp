// data = PolarDecode(llr, K, N, L, crc, threads, E)
//
// Successive-cancellation (L = 1) and list decoding (L = 2..32, CRC-aided with a CRC
// name) of rows of N log-likelihood ratios of the polar code of PolarConstruct(K, N, E).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gateway.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/polar.hpp"
#include "linkforge/polar_rate.hpp"
#include "polar_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: data = PolarDecode(llr, K, N, L, crc, threads, E)";

std::optional<CrcName> read_crc(const mxArray* array) {
  if (mxIsEmpty(array)) return std::nullopt;
  if (!mxIsChar(array)) fail("crc must be a CRC name such as '11', or '' for none");
  char* text = mxArrayToString(array);
  const std::string label = text != nullptr ? text : "";
  mxFree(text);
  const auto name = crc_name(label);
  if (!name) fail("crc '" + label + "' is not a CRC: use '' or one of " + crc_name_list());
  return name;
}

void polar_decode_module(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 7 || call.nargout() > 1) fail(kUsage);
  const Matrix llr(call.arg(0), "llr");
  const std::size_t F = llr.rows(), k = read_polar_size(call.arg(1), "K"),
                    n = read_polar_size(call.arg(2), "N");
  check_polar_code(k, n);
  PolarDecodeParams params;
  if (call.nargin() >= 4 && !mxIsEmpty(call.arg(3)))
    params.list_size = scalar_int(call.arg(3), "L");
  if (call.nargin() >= 5) params.crc = read_crc(call.arg(4));
  if (call.nargin() >= 6 && !mxIsEmpty(call.arg(5))) {
    params.threads = scalar_int(call.arg(5), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  const std::vector<std::uint32_t> info = read_polar_info(call, 6, k, n);
  if (llr.cols() != n) {
    fail("llr must have N = " + std::to_string(n) + " columns, not " + std::to_string(llr.cols()));
  }
  MemoryEstimate().call(polar_decode_memory(F, n, k, params)).require("the decoder");
  const std::vector<float> values = soft_to_single(llr.real(), "llr");
  std::vector<std::uint8_t> bits(F * k);
  polar_decode_frames(FrameView<const float>::column_major(values.data(), F, n), info, params,
                      FrameView<std::uint8_t>::column_major(bits.data(), F, k), host_interrupt());
  Output out = Output::real_uninit(F, k);
  out.assign(bits);
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PolarDecode", polar_decode_module, nlhs, plhs, nrhs, prhs);
}
