// [output] = Modulate(input, S_matrix)
//
// Maps a row of code bits onto the points of a signal set. Groups of m = floor(log2 M)
// bits, the first most significant, name the points; the last group is padded with 0
// bits. S_matrix with one column holds M one-dimensional points; otherwise each of its M
// columns is one point. The output is always complex: one column per symbol.
#include "gateway.hpp"
#include "linkforge/modem.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: [output] = Modulate( input, S_matrix )";

void modulate_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix set(call.arg(1), "S_matrix");
  const bool one_column = set.cols() == 1;
  const std::size_t M = one_column ? set.rows() : set.cols();
  const std::size_t D = one_column ? 1 : set.rows();
  if (M < 2) fail("S_matrix must hold at least 2 signal points");

  // A value names a bit when it truncates to 0 or 1; anything else (NaN included) would
  // name a point outside the set.
  const std::span<const double> values = input.row();
  const std::size_t n = modulate_length(values.size(), compute_bits_per_symbol(M));
  MemoryEstimate().values<int>(values.size()).output(D, n, true).require("the modulator");
  std::vector<int> bits(values.size());
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (!(values[k] > -1.0 && values[k] < 2.0)) fail("input must hold bits of 0 or 1");
    bits[k] = static_cast<int>(values[k]);
  }
  Output output = Output::complex(D, n);
  modulate(bits, {set.real(), set.imag()}, M, D, output.real(), output.imag());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("Modulate", modulate_gateway, nlhs, plhs, nrhs, prhs);
}
