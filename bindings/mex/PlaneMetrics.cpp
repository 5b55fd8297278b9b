// [output] = PlaneMetrics(input, S_matrix, EsNo, fade_coef)
//
// Symbol log-likelihoods of received samples against a signal set in the complex plane:
// output(k, i) = -EsNo * |y_i - a_i*s_k|^2, with EsNo in single precision and the
// optional fading coefficients a_i (all 1 when absent).
#include <optional>

#include "gateway.hpp"
#include "linkforge/modem.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output] = PlaneMetrics( input, S_matrix, EsNo, [fade_coef] )";

void plane_metrics_gateway(Call& call) {
  if (call.nargin() < 3) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t N = input.cols();
  const Matrix set(call.arg(1), "S_matrix");
  if (set.rows() > 1 && set.cols() > 1) fail("S_matrix should only have one column or row");
  const auto es_no = static_cast<float>(scalar_double(call.arg(2), "EsNo"));
  std::optional<Matrix> fade_coef;
  ComplexSpan<double> fade;
  if (call.nargin() >= 4) {
    fade_coef.emplace(call.arg(3), "fade_coef");
    if (fade_coef->cols() != N) fail("Fading process must be same length as received signal");
    fade = {fade_coef->row(), fade_coef->imag_first(N)};
  }
  const ComplexSpan<double> y{input.row(), input.imag_first(N)};

  Output output = Output::real(set.size(), N);
  plane_metrics(y, {set.real(), set.imag()}, es_no, fade, output.real(), host_interrupt());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("PlaneMetrics", plane_metrics_gateway, nlhs, plhs, nrhs, prhs);
}
