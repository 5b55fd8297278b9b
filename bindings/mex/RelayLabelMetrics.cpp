// [bit_llr] = RelayLabelMetrics(sym_log_likelihood, mod_order, demod_type, extrinsic_info)
//
// Soft demapping at a two-way relay with physical-layer network coding: extrinsic
// log-likelihood ratios of the bits of the exclusive-or of the two users' labels, from
// M*M pair log-likelihoods per symbol (pair (p, q) at offset p*M + q; leftover values
// after the last whole symbol are ignored) and optional a-priori ratios, summed with the
// max-star operator demod_type (0..4, default 0).
#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/modem.hpp"
#include "modem_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [bit_llr] = RelayLabelMetrics( [sym_log_likelihood], [mod_order],  [demod_type], "
    "[extrinsic_info] )";

Matrix read_symbol_likelihoods(const mxArray* array) {
  return Matrix(array, "sym_log_likelihood");
}

// M labels per user; M = 1 has no bits and gives an empty row, M = 0 no symbol count.
std::size_t read_modulation_order(const mxArray* array) {
  const int M = scalar_int(array, "mod_order");
  if (M < 1) fail("mod_order must be at least 1");
  return static_cast<std::size_t>(M);
}

// Whole symbols of M*M values; M < 2^31, so M*M fits.
std::uint64_t read_symbol_likelihood_length(const Matrix& values, std::uint64_t M) {
  return values.cols() / (M * M);
}

void relay_label_metrics_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix values = read_symbol_likelihoods(call.arg(0));
  const std::size_t M = read_modulation_order(call.arg(1));
  const std::uint64_t N = read_symbol_likelihood_length(values, M);
  const int m = compute_bits_per_symbol(M);
  const std::uint64_t total = compute_total_number_of_bits(N, m);
  const int demod_type = call.nargin() >= 3 ? read_demod_type(call.arg(2)) : 0;
  const std::span<const double> pairs = values.first(M * M * N);
  refuse_bad_soft_values(pairs, "sym_log_likelihood");
  MemoryEstimate()
      .values<float>(call.nargin() >= 4 ? total : 0)  // a-priori values
      .bytes(relay_label_metrics_bytes(M, N))
      .output(1, total)
      .require("the relay demapper");
  std::vector<float> prior;
  if (call.nargin() >= 4) {
    prior = read_extrinsic_info(call.arg(3), total, read_extrinsic_info_length(call.arg(3)));
  }

  Output output = Output::real(1, total);
  relay_label_metrics(pairs, M, static_cast<MaxStar>(demod_type), prior, output.real(),
                      host_interrupt());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("RelayLabelMetrics", relay_label_metrics_gateway, nlhs, plhs, nrhs, prhs);
}
