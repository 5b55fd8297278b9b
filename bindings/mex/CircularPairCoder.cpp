// [outz, Sc] = CircularPairCoder(x, poly)
//
// Encodes pairs of data bits with the eight-state double-binary circular recursive
// systematic code of DVB-RCS (ETSI EN 301 790). Elements 2t and 2t + 1 of x, in storage
// order, form pair (A, B) of step t; only the lowest bit of each truncated element
// counts. Returns the 2 x N parity bits (row j from row j of poly) and the circulation
// state Sc in which the block starts and ends.
#include "duobinary_args.hpp"
#include "gateway.hpp"
#include "linkforge/duobinary.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = " Usage: [outz,Sc]= CircularPairCoder(x, poly);";

void circular_pair_coder(Call& call) {
  if (call.nargin() != 2 || call.nargout() > 2) fail(kUsage);
  const Matrix poly(call.arg(1), "poly");
  require_poly_shape(poly);
  const Matrix x(call.arg(0), "x");
  if (x.size() % 2 != 0) fail(" Input must have even length. ");
  const std::size_t N = x.size() / 2;
  if (!has_circulation_state(N)) {
    fail(
        "the number of pairs in x is a multiple of 7 (or 0): such a block has no circulation "
        "state");
  }
  refuse_non_finite(x.real(), "x");  // no lowest bit
  const DuobinaryTrellis trellis = parity_trellis(poly);

  Output outz = Output::real(2, N);
  Output sc = Output::real(1, 1);
  const int state = find_circular_state(x.real());
  sc.real()[0] = state;
  duobinary_encode(x.real(), outz.real(), trellis, state);
  call.set_output(0, std::move(outz));
  call.set_output(1, std::move(sc));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("CircularPairCoder", circular_pair_coder, nlhs, plhs, nrhs, prhs);
}
