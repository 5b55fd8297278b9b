// [output] = Capacity(input, data)
//
// Constellation-constrained capacity estimated from the likelihoods of known data,
// normalised so that 1 is the maximum. A 1 x N input holds one bit log-likelihood ratio
// per bit of data (binary form); an M x N input (M >= 2) is a symbol log-likelihood
// matrix whose N symbols carry m = floor(log2 M) bits of data each, most significant
// first (symbol form).
#include "linkforge/capacity.hpp"

#include "gateway.hpp"
#include "linkforge/modem.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: [output] = capacity( input, data )";

void capacity_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix data(call.arg(1), "data");
  if (data.rows() != 1) fail("data must be a row vector");
  const std::size_t M = input.rows();
  const std::size_t N = input.cols();
  if (M == 0) fail("input must have at least one row");
  const std::size_t B = data.cols();
  const std::span<const double> bits = data.row();
  if (N == 0) fail("input must hold at least one symbol");
  refuse_bad_soft_values(input.real(), "input");

  double estimate = 0;
  if (M == 1) {
    if (B != N) fail("Number of bits inconsistent with number of symbols");
    estimate = capacity_binary(input.real(), bits, host_interrupt());
  } else {
    const auto m = static_cast<std::size_t>(compute_bits_per_symbol(M));
    if (B % m != 0) fail("Number of bits does not divide log_2(M)");
    if (B / m != N) fail("Number of bits inconsistent with number of symbols");
    for (std::size_t j = 0; j < N; ++j) {
      const double g = capacity_label(bits.subspan(j * m, m));
      if (!(g >= 0 && g < static_cast<double>(M))) fail("data bits give a label outside 0 to M-1");
    }
    estimate = capacity_symbol(input.real(), M, bits, host_interrupt());
  }
  Output output = Output::real(1, 1);
  output.real()[0] = estimate;
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("Capacity", capacity_gateway, nlhs, plhs, nrhs, prhs);
}
