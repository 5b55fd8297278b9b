// codeword = NrLdpcEncode(data, bg, Z)
//
// Encodes rows of data bits with the NR LDPC code of base graph bg lifted by Z: each
// row of Kb*Z bits (Kb = 22 for BG1, 10 for BG2) becomes a row of 68*Z or 52*Z code
// bits, the data first (the 2Z bits a transmitter leaves out included).
#include <cmath>
#include <string>

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "nrldpc_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: codeword = NrLdpcEncode(data, bg, Z)";

void nr_ldpc_encode(Call& call) {
  if (call.nargin() != 3 || call.nargout() > 1) fail(kUsage);
  const Matrix data(call.arg(0), "data");
  const nr_ldpc::Code code = read_nr_code(call.arg(1), call.arg(2));
  const std::size_t F = data.rows();
  const std::size_t k = code.data_length(), n = code.code_length();
  if (data.cols() != k) {
    fail("data must have Kb*Z = " + std::to_string(code.data_cols) + "*" +
         std::to_string(code.z) + " = " + std::to_string(k) + " columns, not " +
         std::to_string(data.cols()));
  }
  refuse_nan(data.real(), "data");
  MemoryEstimate().call(nr_ldpc::encode_memory(code.bg, code.z, F)).require("the encoder");
  Output out = Output::real_uninit(F, n);
  nr_ldpc::encode(code, FrameView<const double>::column_major(data.real().data(), F, k),
                  FrameView<double>::column_major(out.real().data(), F, n));
  call.set_output(0, std::move(out));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("NrLdpcEncode", nr_ldpc_encode, nlhs, plhs, nrhs, prhs);
}
