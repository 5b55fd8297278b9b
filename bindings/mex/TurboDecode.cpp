// [app, app_all, iterations_run] = TurboDecode(ys, yp1, yp2, ytail, g, alpha, iterations,
//                                               decoder_type, threads, early_stop)
//
// The whole iterative decoder of a rate-1/3 turbo code for F frames at once, one frame
// per row: two TrellisPosterior decoders of the recursive systematic code g exchange
// extrinsic values through the permutation alpha. Every row's result is, bit for bit,
// the one the per-call path (TrellisPosterior, Interleave and Deinterleave, with the
// extrinsic values formed in double precision) gives for that frame.
#include <string>
#include <utility>

#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/turbo.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [app, app_all, iterations_run] = TurboDecode(ys, yp1, yp2, ytail, g, alpha, "
    "iterations, decoder_type, threads, early_stop)";

// early_stop: 0 (never), 1 (once the decisions repeat) or the name of the CRC the
// decisions must pass, as text ('24A', '24B', ...).
void read_early_stop(const mxArray* array, TurboDecodeParams& params) {
  if (mxIsChar(array)) {
    char* text = mxArrayToString(array);
    const std::string label = text != nullptr ? text : "";
    mxFree(text);
    const auto name = crc_name(label);
    if (!name) {
      fail("early_stop '" + label + "' is not a CRC: use 0, 1 or one of " + crc_name_list());
    }
    params.early_stop = EarlyStop::kCrc;
    params.crc = name;
    return;
  }
  const int stop = scalar_int(array, "early_stop");
  if (stop != 0 && stop != 1) fail("early_stop must be 0 or 1");
  params.early_stop = stop != 0 ? EarlyStop::kUnchangedDecisions : EarlyStop::kNever;
}

void turbo_decode_gateway(Call& call) {
  if (call.nargin() < 8 || call.nargin() > 10 || call.nargout() > 3) fail(kUsage);
  const Matrix ys(call.arg(0), "ys");
  const Matrix yp1(call.arg(1), "yp1");
  const Matrix yp2(call.arg(2), "yp2");
  const Matrix ytail(call.arg(3), "ytail");
  const GeneratorArg code = read_generator(call.arg(4));
  if (code.n != 2) fail("g must have two rows: the feedback and the parity polynomial");
  const Matrix alpha_arg(call.arg(5), "alpha");
  const std::size_t F = ys.rows(), L = ys.cols();
  const auto m = static_cast<std::size_t>(code.K - 1);
  if (yp1.rows() != F || yp1.cols() != L || yp2.rows() != F || yp2.cols() != L) {
    fail("ys, yp1 and yp2 must have the same size, one frame per row");
  }
  if (ytail.rows() != F || ytail.cols() != 4 * m) {
    fail("ytail must have one row per frame and 4*(K - 1) = " + std::to_string(4 * m) +
         " columns");
  }
  if (alpha_arg.rows() != 1 || alpha_arg.cols() != L) {
    fail("alpha must be a 1 x L row, L the columns of ys");
  }
  TurboDecodeParams params;
  params.iterations = scalar_int(call.arg(6), "iterations");
  if (params.iterations < 1) fail("iterations must be at least 1");
  const int decoder_type = scalar_int(call.arg(7), "decoder_type");
  if (!is_max_star_type(decoder_type)) fail("decoder_type must be 0 through 4");
  params.max_star = static_cast<MaxStar>(decoder_type);
  if (call.nargin() >= 9) {
    params.threads = scalar_int(call.arg(8), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  if (call.nargin() >= 10) read_early_stop(call.arg(9), params);
  const std::pair<const Matrix*, const char*> channel[] = {
      {&ys, "ys"}, {&yp1, "yp1"}, {&yp2, "yp2"}, {&ytail, "ytail"}};
  for (const auto& [values, name] : channel) refuse_bad_soft_values(values->real(), name);
  const std::vector<int> alpha = read_positions(alpha_arg.row(), "alpha");
  const bool all_pages = call.nargout() >= 2;
  const auto pages = static_cast<std::size_t>(params.iterations);
  MemoryEstimate()
      .call(turbo_decode_memory(L, code.K, params, F, all_pages ? pages : 0))
      .require("the decoder");

  const Trellis trellis = make_trellis(code.g, code.K, true);
  Output app = Output::real(F, L);
  Output app_all = Output::real_pages(F, L, all_pages ? pages : 0);
  Output runs = Output::real(F, 1);
  std::vector<int> iterations_run(F);
  const auto view = [F](const Matrix& x, std::size_t cols) {
    return FrameView<const double>::column_major(x.real().data(), F, cols);
  };
  TurboResults results;
  results.app = FrameView<double>::column_major(app.real().data(), F, L);
  if (all_pages) {
    results.app_all = {FrameView<double>::column_major(app_all.real().data(), F, L), pages,
                       static_cast<std::ptrdiff_t>(F * L)};
  }
  results.iterations_run = iterations_run;
  turbo_decode({view(ys, L), view(yp1, L), view(yp2, L), view(ytail, 4 * m)}, trellis, alpha,
               params, results, host_interrupt());
  runs.assign(iterations_run);
  call.set_output(0, std::move(app));
  call.set_output(1, std::move(app_all));
  call.set_output(2, std::move(runs));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("TurboDecode", turbo_decode_gateway, nlhs, plhs, nrhs, prhs);
}
