// [outx, outz, soft_bits] = CircularPairPosterior(inx, inz, poly, dec_type)
//
// Symbol-level soft-in/soft-out decoding of a circular double-binary block. Column t of
// the 3 x N inputs holds ln(P(k) / P(0)), k = 1..3, for the data symbol 2A + B and the
// parity symbol 2 z0 + z1 of step t. Returns the a-posteriori values of both symbols
// (3 x N each) and of the bits A and B (2 x N), all including the inputs. dec_type 0..4
// selects the max-star operator.
#include "duobinary_args.hpp"
#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/max_star.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    " [outx, outz, soft_bits]= CircularPairPosterior( inx, inz, poly, dec_type)";

void circular_pair_posterior(Call& call) {
  if (call.nargin() != 4 || call.nargout() > 3) fail(kUsage);
  const int dec_type = scalar_int(call.arg(3), "dec_type");
  const Matrix inx(call.arg(0), "inx");
  const Matrix inz(call.arg(1), "inz");
  if (inx.rows() != 3 || inz.rows() != 3) fail(" The input llrs should have 3*N form");
  if (inx.cols() != inz.cols()) {
    fail(" The systematic llrs and parity llrs should have the same length");
  }
  const Matrix poly(call.arg(2), "poly");
  require_poly_shape(poly);
  if (!is_max_star_type(dec_type)) fail("dec_type must be 0 through 4");
  const DuobinaryTrellis trellis = parity_trellis(poly);

  const std::size_t N = inx.cols();
  MemoryEstimate()
      .bytes(duobinary_siso_bytes(N))
      .values<float>(mul_sat(N, 14))  // as floats: 3N + 3N in, 3N + 3N + 2N out
      .output(3, N)
      .output(3, N)
      .output(2, N)
      .require("the decoder");
  const SingleArray x = single_soft(inx.first(3 * N), "inx");
  const SingleArray z = single_soft(inz.first(3 * N), "inz");
  const SingleArray out_x = single_array(3 * N);
  const SingleArray out_z = single_array(3 * N);
  const SingleArray soft = single_array(2 * N);
  Output outx = Output::real_uninit(3, N);
  Output outz = Output::real_uninit(3, N);
  Output soft_bits = Output::real_uninit(2, N);
  duobinary_siso(x.values, z.values, out_x.values, out_z.values, soft.values, trellis,
                 static_cast<MaxStar>(dec_type), host_interrupt());
  outx.assign(out_x.values);
  outz.assign(out_z.values);
  soft_bits.assign(soft.values);
  call.set_output(0, std::move(outx));
  call.set_output(1, std::move(outz));
  call.set_output(2, std::move(soft_bits));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("CircularPairPosterior", circular_pair_posterior, nlhs, plhs, nrhs, prhs);
}
