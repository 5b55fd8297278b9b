// [output] = RelayFrequencyMetrics(input, EsNo, csi_flag, a1, a2, sqE1, sqE2, csi1switch)
//
// Pair log-likelihoods at the relay of a two-way relay channel where two users send
// M-ary orthogonal frequency-shift keying at once: for every symbol the M*M values of
// (user one's tone p, user two's tone q) at offset p*M + q of a 1 x M*M*N row.
// csi_flag 1 uses both users' fading coefficients a1 and a2 (csi1switch 0: on a shared
// tone the coefficients add; otherwise their energies add); csi_flag 2 uses the energy
// parameters sqE1 and sqE2 only; other values give zeros. All eight arguments are needed.
#include <cmath>

#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/modem.hpp"
#include "modem_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output] = RelayFrequencyMetrics( input, EsNo,                csi_flag,          "
    "       a1,                 a2,                 sqE1,                 sqE2,              "
    "   csi1switch)";

constexpr const char* kShortFading = "Fading process must be same length as received signal";

void relay_frequency_metrics_gateway(Call& call) {
  if (call.nargin() < 8) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t M = input.rows();
  const std::size_t N = input.cols();
  RelayToneParams params;
  params.es_no = read_es_no(call.arg(1));
  params.csi = relay_csi_from_flag(scalar_int(call.arg(2), "csi_flag"));
  const Matrix a1(call.arg(3), "a1");
  if (a1.cols() != N) fail(kShortFading);
  const Matrix a2(call.arg(4), "a2");
  if (a2.size() < N) fail(kShortFading);
  params.e1 = static_cast<float>(scalar_double(call.arg(5), "sqE1"));
  params.e2 = static_cast<float>(scalar_double(call.arg(6), "sqE2"));
  params.shared_tone = scalar_int(call.arg(7), "csi1switch") == 0 ? SharedTone::kAddCoefficients
                                                                  : SharedTone::kAddEnergies;
  check_relay_tone_params(params, N);

  const std::uint64_t count = mul_sat(mul_sat(M, M), N);
  MemoryEstimate()
      .values<float>(mul_sat(input.size(), 2))  // tone outputs
      .values<float>(mul_sat(N, 4))             // both users' coefficients
      .values<float>(mul_sat(M, 3))             // energies and single-user metrics
      .output(1, count)
      .require("the relay demodulator");
  const SingleComplex y = read_single_complex(input, input.size());
  const SingleComplex c1 = read_single_complex(a1, N);
  const SingleComplex c2 = read_single_complex(a2, N);
  Output output = Output::real(1, count);
  relay_frequency_metrics({y.re, y.im}, M, {c1.re, c1.im}, {c2.re, c2.im}, params, output.real(),
                          host_interrupt());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("RelayFrequencyMetrics", relay_frequency_metrics_gateway, nlhs, plhs, nrhs, prhs);
}
