// [bits, app, iterations] = NrLdpcDecode(llr, bg, Z, max_iterations, algorithm,
//                                        scale_or_offset, threads)
//
// The layered NR LDPC decoder for many frames at once, one frame per row of llr: frames
// share SIMD lanes and threads, each with its own early stop.
#include <cmath>
#include <string>

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "nrldpc_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [bits, app, iterations] = NrLdpcDecode(llr, bg, Z, max_iterations, algorithm, "
    "scale_or_offset, threads)";

nr_ldpc::Algorithm read_algorithm(const mxArray* array) {
  if (mxIsChar(array)) {
    char* text = mxArrayToString(array);
    const std::string name = text != nullptr ? text : "";
    mxFree(text);
    if (name == "sum-product") return nr_ldpc::Algorithm::kSumProduct;
    if (name == "min-sum") return nr_ldpc::Algorithm::kMinSum;
    if (name == "normalized-min-sum" || name == "normalised-min-sum") {
      return nr_ldpc::Algorithm::kNormalizedMinSum;
    }
    if (name == "offset-min-sum") return nr_ldpc::Algorithm::kOffsetMinSum;
    fail("algorithm '" + name +
         "' is not one of 'sum-product', 'min-sum', 'normalized-min-sum', 'offset-min-sum'");
  }
  const int kind = scalar_int(array, "algorithm");
  if (kind < 0 || kind > 3) fail("algorithm must be 0 to 3 or its name");
  return static_cast<nr_ldpc::Algorithm>(kind);
}

void nr_ldpc_decode(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 7 || call.nargout() > 3) fail(kUsage);
  const Matrix llr(call.arg(0), "llr");
  const nr_ldpc::Code code = read_nr_code(call.arg(1), call.arg(2));
  nr_ldpc::DecodeParams params;
  if (call.nargin() >= 4) params.max_iterations = scalar_int(call.arg(3), "max_iterations");
  if (params.max_iterations < 0) fail("max_iterations must not be negative");
  if (call.nargin() >= 5) params.algorithm = read_algorithm(call.arg(4));
  if (call.nargin() >= 6 && !mxIsEmpty(call.arg(5))) {
    const auto value = static_cast<float>(scalar_double(call.arg(5), "scale_or_offset"));
    if (params.algorithm == nr_ldpc::Algorithm::kNormalizedMinSum) {
      if (!(value > 0.0f && std::isfinite(value))) {
        fail("scale_or_offset, the scale of normalized min-sum, must be positive and finite");
      }
      params.scale = value;
    } else if (params.algorithm == nr_ldpc::Algorithm::kOffsetMinSum) {
      if (!(value >= 0.0f && std::isfinite(value))) {
        fail("scale_or_offset, the offset of offset min-sum, must be finite, 0 or more");
      }
      params.offset = value;
    }
  }
  if (call.nargin() >= 7) {
    params.threads = scalar_int(call.arg(6), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  const std::size_t F = llr.rows();
  const std::size_t n = code.code_length();
  if (llr.cols() != n) {
    fail("llr must have " + std::to_string(code.cols) + "*Z = " + std::to_string(n) +
         " columns, not " + std::to_string(llr.cols()));
  }
  refuse_bad_soft_values(llr.real(), "llr");
  const bool with_app = call.nargout() >= 2;
  MemoryEstimate()
      .call(nr_ldpc::decode_memory(code.bg, code.z, params, F, with_app))
      .require("the decoder");
  Output bits = Output::real_uninit(F, n);
  Output app = Output::real_uninit(with_app ? F : 0, with_app ? n : 0);
  std::vector<int> runs(F);
  nr_ldpc::decode(code, FrameView<const double>::column_major(llr.real().data(), F, n), params,
                  {FrameView<double>::column_major(bits.real().data(), F, n),
                   with_app ? FrameView<double>::column_major(app.real().data(), F, n)
                            : FrameView<double>{},
                   runs},
                  host_interrupt());
  call.set_output(0, std::move(bits));
  if (with_app) call.set_output(1, std::move(app));
  if (call.nargout() >= 3) {
    Output count = Output::real(F, 1);
    count.assign(runs);
    call.set_output(2, std::move(count));
  }
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("NrLdpcDecode", nr_ldpc_decode, nlhs, plhs, nrhs, prhs);
}
