// [output_u] = TrellisBestPath(input_c, g_encoder, code_type, depth)
//
// Viterbi decoding of a binary convolutional code: terminated blocks (code_type 0
// recursive, 1 and below feed-forward) or tail-biting feed-forward blocks (code_type 2
// and above), the latter decoded as a ring with depth*K steps of wrap-around.
#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/viterbi.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output_u] = TrellisBestPath( input_c, g_encoder, [code_type], [depth] )";

void trellis_best_path_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix input_c(call.arg(0), "input_c");
  const GeneratorArg code = read_generator(call.arg(1));
  const int code_type = call.nargin() >= 3 ? scalar_int(call.arg(2), "code_type") : 0;
  ViterbiParams params;
  params.block_end = block_end_from_code_type(code_type);
  const bool tail_biting = params.block_end == BlockEnd::kTailBiting;
  if (tail_biting) {
    const int depth = call.nargin() >= 4 ? scalar_int(call.arg(3), "depth") : 6;
    if (depth < 0) fail("depth must not be negative");
    params.depth_steps = static_cast<std::size_t>(depth) * static_cast<std::size_t>(code.K);
  }
  const std::size_t L = viterbi_block_steps(input_c.cols(), code.K, code.n, params.block_end);
  if (call.nargout() > 1) fail(kUsage);
  MemoryEstimate()
      .call(trellis_best_path_memory(code.K, code.n, L, params, 1))
      .require("the decoder");

  const SingleArray c = single_soft(input_c.row(), "input_c");
  const ScratchBlock decision_block(L * sizeof(int));
  const std::span<int> decisions = decision_block.as<int>(L);
  Output output_u = Output::real_uninit(1, L);
  const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
  if (tail_biting) {
    trellis_best_path_circular(decisions, c.values, trellis, params.depth_steps, host_interrupt());
  } else {
    trellis_best_path(decisions, c.values, trellis, host_interrupt());
  }
  output_u.assign(decisions);
  call.set_output(0, std::move(output_u));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("TrellisBestPath", trellis_best_path_gateway, nlhs, plhs, nrhs, prhs);
}
