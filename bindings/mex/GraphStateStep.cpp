// [output, bits] = GraphStateStep(input, vn_state, cn_state, m)
//
// One flooding sum-product iteration over a caller-held decoder state, in place: new
// check-to-bit messages from the stored bit-to-check messages, then the output values,
// hard decisions and new bit-to-check messages. input holds this call's channel values
// positive favouring 1 (the negated values given to GraphStateSetup); output(v) is
// input(v) minus the sum of the messages into bit v, and bits(v) = output(v) > 0.
#include "gateway.hpp"
#include "ldpc_args.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output, bits] = GraphStateStep(input, vn_state, cn_state, m)";

void graph_state_step(Call& call) {
  if (call.nargin() != 4 || call.nargout() > 2) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::span<const double> received = input.row();
  refuse_bad_soft_values(received, "input");
  const int m = scalar_int(call.arg(3), "m");
  if (m < 0) fail("m must not be negative");
  const GraphStateArgs state = read_graph_state(call.arg(1), received.size(), call.arg(2),
                                                static_cast<std::size_t>(m), StateUse::kStep);
  MemoryEstimate()
      .call(ldpc::graph_state_step_memory(state.vn, state.cn, received.size(),
                                          static_cast<std::size_t>(m)))
      .require("the step");
  Output output = Output::real(1, received.size());
  Output bits = Output::real(1, received.size());
  std::vector<int> decisions(received.size());
  ldpc::graph_state_step(received, state.vn, state.cn, static_cast<std::size_t>(m),
                         output.real(), decisions, host_interrupt());
  bits.assign(decisions);
  call.set_output(0, std::move(output));
  call.set_output(1, std::move(bits));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("GraphStateStep", graph_state_step, nlhs, plhs, nrhs, prhs);
}
