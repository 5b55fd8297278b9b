// codeword = ParityCheckCoder(data, H_rows, P)
//
// Systematic encoder of parity-check codes with a staircase parity part: the data bits
// followed by the parity bits, found by back-substitution through the dual-diagonal part.
// P (z x z) selects the block-staircase layout of block size z; absent or without rows,
// the staircase layout.
#include <optional>

#include "gateway.hpp"
#include "linkforge/ldpc.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = " Usage:    codeword    = ParityCheckCoder( data, H_rows, [P]) \n";

void parity_check_coder(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 3) fail(kUsage);
  if (call.nargout() > 1) fail(" only 1 output ");
  const Matrix data(call.arg(0), "data");
  const Matrix h_rows(call.arg(1), "H_rows");
  std::optional<Matrix> p;
  if (call.nargin() == 3) p.emplace(call.arg(2), "P");
  const std::size_t z = p ? p->rows() : 0;
  if (z > 0 && p->cols() != z) {
    fail("P must be square, z x z (it is " + std::to_string(z) + " x " + std::to_string(p->cols()) +
         ")");
  }
  const ldpc::MatrixView<const double> p_view =
      z > 0 ? ldpc::MatrixView<const double>{p->real(), z, z} : ldpc::MatrixView<const double>{};

  const std::span<const double> bits = data.row();
  Output codeword = Output::real(1, bits.size() + h_rows.rows());
  ldpc::encode(bits, {h_rows.real(), h_rows.rows(), h_rows.cols()}, p_view, codeword.real());
  call.set_output(0, std::move(codeword));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("ParityCheckCoder", parity_check_coder, nlhs, plhs, nrhs, prhs);
}
