// [output_u] = TrellisBestPath(input_c, g_encoder, code_type, depth)
//
// Viterbi decoding of a binary convolutional code: terminated blocks (code_type 0
// recursive, 1 and below feed-forward) or tail-biting feed-forward blocks (code_type 2
// and above), the latter decoded as a ring with depth*K steps of wrap-around.
#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output_u] = TrellisBestPath( input_c, g_encoder, [code_type], [depth] )";

void trellis_best_path_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix input_c(call.arg(0), "input_c");
  const GeneratorArg code = read_generator(call.arg(1));
  const std::size_t CL = input_c.cols();
  const auto n = static_cast<std::size_t>(code.n);
  const auto m = static_cast<std::size_t>(code.K - 1);
  if (CL % n != 0) fail("Length of input_c must be a multiple of n, the number of rows in g");

  const int code_type = call.nargin() >= 3 ? scalar_int(call.arg(2), "code_type") : 0;
  const bool tail_biting = code_type > 1;
  std::size_t L = 0;
  std::size_t depth_steps = 0;
  if (tail_biting) {
    L = CL / n;
    const int depth = call.nargin() >= 4 ? scalar_int(call.arg(3), "depth") : 6;
    if (depth < 0) fail("depth must not be negative");
    if (L < 1) fail("a tail-biting block needs at least one trellis step");
    depth_steps = static_cast<std::size_t>(depth) * static_cast<std::size_t>(code.K);
  } else {
    if (CL / n < m) fail("input_c is shorter than the K - 1 tail steps of a terminated code");
    L = CL / n - m;
  }
  if (call.nargout() > 1) fail(kUsage);

  const std::size_t recorded = tail_biting ? add_sat(L, depth_steps) : L + m;
  MemoryEstimate()
      .bytes(trellis_table_bytes(code.K))
      .bytes(trellis_best_path_bytes(code.K, code.n, recorded))
      .values<float>(CL)  // single-precision inputs
      .values<int>(L)     // decisions
      .output(1, L)
      .require("the decoder");

  const SingleArray c = single_soft(input_c.row(), "input_c");
  const ScratchBlock decision_block(L * sizeof(int));
  const std::span<int> decisions = decision_block.as<int>(L);
  Output output_u = Output::real_uninit(1, L);
  const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
  if (tail_biting) {
    trellis_best_path_circular(decisions, c.values, trellis, depth_steps, host_interrupt());
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
