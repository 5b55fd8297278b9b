// app = CircularTurboDecode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type, threads)
//
// The whole iterative decoder of a double-binary circular turbo code for F frames at
// once, one frame per row: two CircularPairPosterior decoders exchange extrinsic symbol
// values through the pair permutation (alpha, swap). Every row's result is, bit for bit,
// the one the per-call path (CircularPairPosterior, Interleave and Deinterleave, the
// extrinsic values formed in double precision) gives for that frame.
#include <utility>

#include "duobinary_args.hpp"
#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/duobinary_turbo.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr int kMaxIterations = 1000;

constexpr const char* kUsage =
    "Usage: app = CircularTurboDecode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, "
    "dec_type, threads)";

void circular_turbo_decode(Call& call) {
  if (call.nargin() < 8 || call.nargin() > 9 || call.nargout() > 1) fail(kUsage);
  const Matrix lx(call.arg(0), "Lx");
  const Matrix lz1(call.arg(1), "Lz1");
  const Matrix lz2(call.arg(2), "Lz2");
  const Matrix poly(call.arg(3), "poly");
  require_poly_shape(poly);
  const DuobinaryTrellis trellis = parity_trellis(poly);
  const Matrix alpha_arg(call.arg(4), "alpha");
  const Matrix swap_arg(call.arg(5), "swap");
  const std::size_t F = lx.rows(), values = lx.cols();
  if (values % 3 != 0) fail("Lx must have 3*N columns: three symbol values per pair");
  const std::size_t N = values / 3;
  if (lz1.rows() != F || lz1.cols() != values || lz2.rows() != F || lz2.cols() != values) {
    fail("Lx, Lz1 and Lz2 must have the same size, one frame per row");
  }
  if (alpha_arg.rows() != 1 || alpha_arg.cols() != N) fail("alpha must be a 1 x N row, N = columns(Lx)/3");
  if (swap_arg.rows() != 1 || swap_arg.cols() != N) fail("swap must be a 1 x N row, N = columns(Lx)/3");
  DuobinaryTurboParams params;
  params.iterations = scalar_int(call.arg(6), "iterations");
  // Decoders converge within tens of iterations; the bound keeps a mistyped count from
  // running for hours.
  if (params.iterations < 1 || params.iterations > kMaxIterations) {
    fail("iterations must be 1 to 1000");
  }
  const int dec_type = scalar_int(call.arg(7), "dec_type");
  if (!is_max_star_type(dec_type)) fail("dec_type must be 0 through 4");
  params.max_star = static_cast<MaxStar>(dec_type);
  if (call.nargin() >= 9) {
    params.threads = scalar_int(call.arg(8), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  const std::pair<const Matrix*, const char*> channel[] = {{&lx, "Lx"}, {&lz1, "Lz1"}, {&lz2, "Lz2"}};
  for (const auto& [v, name] : channel) refuse_bad_soft_values(v->real(), name);
  refuse_nan(swap_arg.real(), "swap");
  const std::vector<int> alpha = read_positions(alpha_arg.row(), "alpha");
  std::vector<std::uint8_t> swap(N);
  for (std::size_t j = 0; j < N; ++j) swap[j] = swap_arg.row()[j] != 0.0 ? 1 : 0;
  MemoryEstimate()
      .bytes(duobinary_turbo_decode_bytes(N, params.threads, F))
      .output(F, values)
      .require("the decoder");

  Output app = Output::real_uninit(F, values);
  const auto view = [F, values](const Matrix& x) {
    return FrameView<const double>::column_major(x.real().data(), F, values);
  };
  duobinary_turbo_decode({view(lx), view(lz1), view(lz2)}, trellis, {alpha, swap}, params,
                         FrameView<double>::column_major(app.real().data(), F, values),
                         host_interrupt());
  call.set_output(0, std::move(app));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("CircularTurboDecode", circular_turbo_decode, nlhs, plhs, nrhs, prhs);
}
