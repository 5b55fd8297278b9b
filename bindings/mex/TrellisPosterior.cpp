// [output_u, output_c] = TrellisPosterior(input_u, input_c, g_encoder, code_type,
//                                         decoder_type)
//
// Soft-in/soft-out decoding of a terminated binary convolutional code: a-posteriori
// log-likelihood ratios of the data bits and the code bits, positive favouring 1.
#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/max_star.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output_u, output_c] = TrellisPosterior(input_u, input_c, g_encoder, code_type, "
    "decoder_type )";

void trellis_posterior_gateway(Call& call) {
  if (call.nargin() < 3) fail(kUsage);
  const Matrix input_u(call.arg(0), "input_u");
  const Matrix input_c(call.arg(1), "input_c");
  const GeneratorArg code = read_generator(call.arg(2));
  const std::size_t L = input_u.cols();
  const std::size_t coded = trellis_coder_length(L, code.K, code.n, CodeType::kFeedForward);
  if (input_c.cols() != coded) fail("TrellisPosterior: Length of input_u and input_c don't agree");
  const int code_type = call.nargin() >= 4 ? scalar_int(call.arg(3), "code_type") : 0;
  const int decoder_type = call.nargin() >= 5 ? scalar_int(call.arg(4), "decoder_type") : 0;
  if (!is_max_star_type(decoder_type)) fail("decoder_type must be 0 through 4");
  if (call.nargout() > 2) fail(kUsage);

  // The code-bit outputs are computed only for a caller who takes them.
  const bool code_bits = call.nargout() >= 2;
  const std::size_t coded_out = code_bits ? coded : 0;
  MemoryEstimate()
      .call(trellis_posterior_memory(code.K, code.n, L, code_bits, 1))
      .require("the decoder");

  const SingleArray u = single_soft(input_u.row(), "input_u");
  const SingleArray c = single_soft(input_c.row(), "input_c");
  const SingleArray out_u = single_array(L);
  const SingleArray out_c = single_array(coded_out);
  Output output_u = Output::real_uninit(1, L);
  const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
  trellis_posterior(u.values, c.values, trellis, static_cast<MaxStar>(decoder_type), out_u.values,
                    out_c.values, host_interrupt());
  output_u.assign(out_u.values);
  call.set_output(0, std::move(output_u));
  if (code_bits) {
    Output output_c = Output::real_uninit(1, coded);
    output_c.assign(out_c.values);
    call.set_output(1, std::move(output_c));
  }
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("TrellisPosterior", trellis_posterior_gateway, nlhs, plhs, nrhs, prhs);
}
