// [output] = ToneMetrics(input, EsNo, csi_flag, fade_coef)
//
// Symbol log-likelihoods of M-ary orthogonal frequency-shift keying from the M x N
// matched-filter outputs: csi_flag 0 (default) coherent with the fading coefficients
// known, 1 with their amplitudes known, 2 without channel knowledge; other values give
// zeros. Computed in single precision.
#include <optional>

#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/modem.hpp"
#include "modem_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output] = ToneMetrics( input, EsNo, [csi_flag], [fade_coef] )";

void tone_metrics_gateway(Call& call) {
  if (call.nargin() < 2) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t M = input.rows();
  const std::size_t N = input.cols();
  const float es_no = read_es_no(call.arg(1));
  const int csi_flag = call.nargin() >= 3 ? scalar_int(call.arg(2), "csi_flag") : 0;
  std::optional<Matrix> fade_coef;
  if (call.nargin() >= 4) {
    fade_coef.emplace(call.arg(3), "fade_coef");
    if (fade_coef->cols() != N) fail("Fading process must be same length as received signal");
  }

  MemoryEstimate()
      .values<float>(mul_sat(input.size(), 3))  // tone outputs (real and imaginary), metrics
      .values<float>(2 * N)                     // fading coefficients
      .output(M, N)
      .require("the demodulator");
  const SingleComplex y = read_single_complex(input, input.size());
  SingleComplex fade;
  if (fade_coef) fade = read_single_complex(*fade_coef, N);
  std::vector<float> metrics(input.size());
  Output output = Output::real(M, N);
  tone_metrics({y.re, y.im}, M, es_no, tone_csi_from_flag(csi_flag), {fade.re, fade.im}, metrics,
               host_interrupt());
  output.assign(metrics);
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("ToneMetrics", tone_metrics_gateway, nlhs, plhs, nrhs, prhs);
}
