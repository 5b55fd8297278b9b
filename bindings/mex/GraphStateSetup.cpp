// GraphStateSetup(input, check_index, var_index, vn_state, cn_state)
//
// Fills a caller-held sum-product decoder state for one received block, in place: the
// bit lists of the checks (check_index, one row per check, 0-based), the check lists and
// sockets of the bits (var_index, one row per bit, 0-based), the sockets of the checks,
// the channel values and the starting q messages. input holds log-likelihood ratios
// ln(P(0) / P(1)), positive favouring 0. Degrees come from the state; cells beyond a
// node's degree are not read.
#include "gateway.hpp"
#include "ldpc_args.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: GraphStateSetup(input, check_index, var_index, vn_state, cn_state)";

void graph_state_setup(Call& call) {
  if (call.nargin() != 5 || call.nargout() > 0) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix check_index(call.arg(1), "check_index");
  const Matrix var_index(call.arg(2), "var_index");
  const std::span<const double> received = input.row();
  refuse_bad_soft_values(received, "input");
  const GraphStateArgs state = read_graph_state(call.arg(3), received.size(), call.arg(4),
                                                check_index.rows(), StateUse::kSetup);
  MemoryEstimate()
      .call(ldpc::graph_state_setup_memory(check_index.size(), var_index.size(), received.size(),
                                           check_index.rows()))
      .require("the set-up");
  const std::vector<int> check_cells = index_cells(check_index);
  const std::vector<int> var_cells = index_cells(var_index);
  ldpc::graph_state_setup(received, {check_cells, check_index.rows(), check_index.cols()},
                          {var_cells, var_index.rows(), var_index.cols()}, state.vn, state.cn);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("GraphStateSetup", graph_state_setup, nlhs, plhs, nrhs, prhs);
}
