// [output] = SymbolBitMetrics(input, demod_type, extrinsic_info)
//
// Soft demapping: extrinsic log-likelihood ratios of the m = log2(M) bits of every
// symbol from an M x N symbol log-likelihood matrix (M a power of two) and optional
// a-priori ratios of the m*N bits, summed over the labels with the max-star operator
// demod_type (0..4, default 0).
#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/modem.hpp"
#include "modem_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output] = SymbolBitMetrics( input, [demod_type], [extrinsic_info] )";

void symbol_bit_metrics_gateway(Call& call) {
  if (call.nargin() < 1) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t M = input.rows();
  const std::size_t N = input.cols();
  const int demod_type = call.nargin() >= 2 ? read_demod_type(call.arg(1)) : 0;
  if (M == 0 || (M & (M - 1)) != 0) fail("Number of symbols M must be a power of 2");
  const std::uint64_t total = compute_total_number_of_bits(N, compute_bits_per_symbol(M));
  refuse_bad_soft_values(input.real(), "input");
  MemoryEstimate()
      .values<float>(call.nargin() >= 3 ? total : 0)  // a-priori values
      .bytes(symbol_bit_metrics_bytes(M, N))
      .output(1, total)
      .require("the demapper");
  std::vector<float> prior;
  if (call.nargin() >= 3) {
    prior = read_extrinsic_info(call.arg(2), total, read_extrinsic_info_length(call.arg(2)));
  }

  Output output = Output::real(1, total);
  symbol_bit_metrics(input.real(), M, static_cast<MaxStar>(demod_type), prior, output.real(),
                     host_interrupt());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SymbolBitMetrics", symbol_bit_metrics_gateway, nlhs, plhs, nrhs, prhs);
}
