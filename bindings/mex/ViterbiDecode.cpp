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
  const auto n = static_cast<std::size_t>(code.n);
  const auto m = static_cast<std::size_t>(code.K - 1);
  if (CL % n != 0) fail("Length of input_c must be a multiple of n, the number of rows in g");

  const int code_type = call.nargin() >= 3 ? scalar_int(call.arg(2), "code_type") : 0;
  ViterbiParams params;
  params.block_end = block_end_from_code_type(code_type);
  std::size_t L = 0;
  if (params.block_end == BlockEnd::kTailBiting) {
    L = CL / n;
    const int depth = call.nargin() >= 4 ? scalar_int(call.arg(3), "depth") : 6;
    if (depth < 0) fail("depth must not be negative");
    if (L < 1) fail("a tail-biting block needs at least one trellis step");
    params.depth_steps = static_cast<std::size_t>(depth) * static_cast<std::size_t>(code.K);
  } else {
    if (CL / n < m) fail("input_c is shorter than the K - 1 tail steps of a terminated code");
    L = CL / n - m;
  }
  if (call.nargin() >= 5) {
    params.threads = scalar_int(call.arg(4), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  refuse_bad_soft_values(input_c.real(), "input_c");
  MemoryEstimate()
      .bytes(trellis_table_bytes(code.K))
      .bytes(viterbi_decode_bytes(code.K, code.n, L, params, F))
      .output(F, L)
      .require("the decoder");

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
