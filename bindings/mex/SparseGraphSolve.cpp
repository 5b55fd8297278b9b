// [output, errors] = SparseGraphSolve(input, H_rows, H_cols, max_iter, dec_type,
//                                     r_scale_factor, q_scale_factor, data)
//
// Flooding message-passing decoder of LDPC codes: sum-product in the phi domain, or
// scaled min-sum (dec_type 1). input holds log-likelihood ratios ln(P(0) / P(1)),
// positive favouring 0. Row t of output holds the decisions after iteration t and
// errors(t) the data bits they get wrong; decoding stops at the first iteration without
// such an error (the reference is the all-zero word when data is absent).
#include <climits>
#include <cmath>
#include <stdexcept>

#include "gateway.hpp"
#include "ldpc_args.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/ldpc.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output, errors] = SparseGraphSolve(input, H_rows, H_cols, max_iter, dec_type, "
    "r_scale_factor, q_scale_factor, data )";

void sparse_graph_solve(Call& call) {
  if (call.nargin() < 3 || call.nargout() > 2) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix h_rows(call.arg(1), "H_rows");
  const Matrix h_cols(call.arg(2), "H_cols");
  const std::span<const double> received = input.row();
  refuse_bad_soft_values(received, "input");
  if (received.size() > static_cast<std::size_t>(INT_MAX)) fail("input is too long");
  const int n = static_cast<int>(received.size());

  ldpc::DecodeParams params;
  if (call.nargin() >= 4) params.max_iter = scalar_int(call.arg(3), "max_iter");
  if (params.max_iter < 0) fail("Error: max_iter must not be negative");
  const int dec_type = call.nargin() >= 5 ? scalar_int(call.arg(4), "dec_type") : 0;
  if (call.nargin() >= 6) params.r_scale = read_scale_factor(call.arg(5), "r_scale_factor");
  if (call.nargin() >= 7) params.q_scale = read_scale_factor(call.arg(6), "q_scale_factor");

  const auto iterations = static_cast<std::size_t>(params.max_iter);
  MemoryEstimate()
      .call(ldpc::sparse_graph_solve_memory(code_shape(received.size(), h_rows, h_cols),
                                            params.max_iter))
      .require("the decoder");
  const ldpc::SparseGraph graph = make_code_graph(n, h_rows, h_cols);

  const auto k = static_cast<std::size_t>(graph.k);
  std::vector<int> data(k, 0);
  if (call.nargin() >= 8) {
    const Matrix reference(call.arg(7), "data");
    if (reference.cols() != k) fail("Error: Incorrect number of data bits");
    const std::span<const double> bits = reference.row();
    refuse_nan(bits, "data");
    for (std::size_t v = 0; v < k; ++v) data[v] = trunc_to_int(bits[v]);
  }

  Output output = Output::real(iterations, received.size());
  if (dec_type == 2) fail("dec_type = 2 not currently supported");
  params.kind = dec_type == 1 ? ldpc::DecoderKind::kMinSum : ldpc::DecoderKind::kSumProduct;

  const std::vector<float> channel = to_single(received);
  std::vector<std::uint8_t> decisions(iterations * received.size());
  std::vector<int> errors(iterations);
  ldpc::decode(graph, channel, params, data, decisions, errors, host_interrupt());

  // Decisions are iteration-major; output row t holds iteration t + 1.
  const std::span<double> out = output.real();
  for (std::size_t t = 0; t < iterations; ++t) {
    for (std::size_t v = 0; v < received.size(); ++v) {
      out[t + v * iterations] = decisions[t * received.size() + v];
    }
  }
  call.set_output(0, std::move(output));
  if (call.nargout() >= 2) {
    Output error_counts = Output::real(iterations, 1);
    error_counts.assign(errors);
    call.set_output(1, std::move(error_counts));
  }
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SparseGraphSolve", sparse_graph_solve, nlhs, plhs, nrhs, prhs);
}
