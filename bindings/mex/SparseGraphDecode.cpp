// [output, errors, iterations_run] = SparseGraphDecode(input, H_rows, H_cols, max_iter,
//                                     dec_type, r_scale_factor, q_scale_factor, data, threads)
//
// The flooding LDPC decoder of SparseGraphSolve for F frames at once, one frame per row
// of input: frames share SIMD lanes and threads. It takes log-likelihood ratios that
// favour 1 when positive, so row f of the outputs is, bit for bit, what
// SparseGraphSolve gives for -input(f, :): its decisions after the frame's last
// iteration, its error counts and the number of iterations it ran.
#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "gateway.hpp"
#include "ldpc_args.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output, errors, iterations_run] = SparseGraphDecode(input, H_rows, H_cols, "
    "max_iter, dec_type, r_scale_factor, q_scale_factor, data, threads)";

void sparse_graph_decode(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 9 || call.nargout() > 3) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix h_rows(call.arg(1), "H_rows");
  const Matrix h_cols(call.arg(2), "H_cols");
  const std::size_t F = input.rows();
  const std::size_t n_cols = input.cols();
  refuse_bad_soft_values(input.real(), "input");
  if (n_cols > static_cast<std::size_t>(INT_MAX)) fail("input has too many columns");
  const int n = static_cast<int>(n_cols);

  ldpc::BatchDecodeParams params;
  if (call.nargin() >= 4) params.max_iter = scalar_int(call.arg(3), "max_iter");
  if (params.max_iter < 0) fail("Error: max_iter must not be negative");
  const int dec_type = call.nargin() >= 5 ? scalar_int(call.arg(4), "dec_type") : 0;
  if (dec_type == 2) fail("dec_type = 2 not currently supported");
  params.kind = dec_type == 1 ? ldpc::DecoderKind::kMinSum : ldpc::DecoderKind::kSumProduct;
  if (call.nargin() >= 6) params.r_scale = read_scale_factor(call.arg(5), "r_scale_factor");
  if (call.nargin() >= 7) params.q_scale = read_scale_factor(call.arg(6), "q_scale_factor");
  if (call.nargin() >= 9) {
    params.threads = scalar_int(call.arg(8), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }

  const auto iterations = static_cast<std::size_t>(params.max_iter);
  const std::size_t data_rows = call.nargin() >= 8 ? mxGetM(call.arg(7)) : 0;
  MemoryEstimate()
      .call(ldpc::sparse_graph_decode_memory(code_shape(n_cols, h_rows, h_cols), params, F,
                                             data_rows))
      .require("the decoder");
  const ldpc::SparseGraph graph = make_code_graph(n, h_rows, h_cols);

  // The reference: one row for every frame, or one row per frame.
  const auto k = static_cast<std::size_t>(graph.k);
  std::vector<int> data;
  FrameView<const int> reference;
  if (call.nargin() >= 8) {
    const Matrix bits(call.arg(7), "data");
    if (bits.cols() != k) fail("Error: Incorrect number of data bits");
    if (bits.rows() != 1 && bits.rows() != F) {
      fail("data must have one row, or one row per row of input");
    }
    refuse_nan(bits.real(), "data");
    data.resize(bits.size());
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = trunc_to_int(bits[i]);
    reference = bits.rows() == 1 && F != 1
                    ? FrameView<const int>{data.data(), F, k, 0, 1}
                    : FrameView<const int>::column_major(data.data(), F, k);
  }

  std::vector<std::uint8_t> decisions(F * n_cols);
  std::vector<int> errors(F * iterations);
  std::vector<int> runs(F);
  ldpc::decode_batch(
      graph, FrameView<const double>::column_major(input.real().data(), F, n_cols), reference,
      params,
      {FrameView<std::uint8_t>::column_major(decisions.data(), F, n_cols),
       FrameView<int>::column_major(errors.data(), F, iterations), runs},
      host_interrupt());

  Output output = Output::real(F, n_cols);
  output.assign(decisions);
  call.set_output(0, std::move(output));
  if (call.nargout() >= 2) {
    Output counts = Output::real(F, iterations);
    counts.assign(errors);
    call.set_output(1, std::move(counts));
  }
  if (call.nargout() >= 3) {
    Output run = Output::real(F, 1);
    run.assign(runs);
    call.set_output(2, std::move(run));
  }
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SparseGraphDecode", sparse_graph_decode, nlhs, plhs, nrhs, prhs);
}
