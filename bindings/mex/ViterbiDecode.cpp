// [output_u] = ViterbiDecode(input_c, g_encoder, code_type, depth, threads)
//
// Viterbi decoding of F blocks of a binary convolutional code at once, one block per
// row: frames share SIMD lanes and threads. Row f of the output is, bit for bit, what
// TrellisBestPath gives for row f of input_c with the same code_type and depth.
#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/viterbi.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output_u] = ViterbiDecode(input_c, g_encoder, code_type, depth, threads)";

void viterbi_decode_gateway(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 5 || call.nargout() > 1) fail(kUsage);
  const Matrix input_c(call.arg(0), "input_c");
  const GeneratorArg code = read_generator(call.arg(1));
  const std::size_t F = input_c.rows(), CL = input_c.cols();
  const int code_type = call.nargin() >= 3 ? scalar_int(call.arg(2), "code_type") : 0;
  ViterbiParams params;
  params.block_end = block_end_from_code_type(code_type);
  if (params.block_end == BlockEnd::kTailBiting) {
    const int depth = call.nargin() >= 4 ? scalar_int(call.arg(3), "depth") : 6;
    if (depth < 0) fail("depth must not be negative");
    params.depth_steps = static_cast<std::size_t>(depth) * static_cast<std::size_t>(code.K);
  }
  const std::size_t L = viterbi_block_steps(CL, code.K, code.n, params.block_end);
  if (call.nargin() >= 5) {
    params.threads = scalar_int(call.arg(4), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  refuse_bad_soft_values(input_c.real(), "input_c");
  MemoryEstimate().call(viterbi_decode_memory(code.K, code.n, L, params, F)).require("the decoder");

  const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
  Output output_u = Output::real_uninit(F, L);
  viterbi_decode(FrameView<const double>::column_major(input_c.real().data(), F, CL), trellis,
                 params, FrameView<double>::column_major(output_u.real().data(), F, L),
                 host_interrupt());
  call.set_output(0, std::move(output_u));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("ViterbiDecode", viterbi_decode_gateway, nlhs, plhs, nrhs, prhs);
}
