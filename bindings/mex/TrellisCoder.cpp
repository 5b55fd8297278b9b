// [output] = TrellisCoder(input, g_encoder, code_type)
//
// Encodes a row of data bits with a binary convolutional code: recursive systematic
// (code_type 0), feed-forward terminated (1 and below) or feed-forward tail-biting
// (2 and above). code_type is read only when exactly three arguments are given.
#include "gateway.hpp"
#include "generator_arg.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: [output] = TrellisCoder(input, g_encoder, code_type )";

void trellis_coder(Call& call) {
  if (call.nargin() < 2 || call.nargout() > 1) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t L = input.cols();
  const GeneratorArg code = read_generator(call.arg(1));
  const int code_type = call.nargin() == 3 ? scalar_int(call.arg(2), "code_type") : 0;
  const CodeType type = code_type_from_int(code_type);
  const std::size_t N = trellis_coder_length(L, code.K, code.n, type);

  const std::span<const double> values = input.row();
  refuse_nan(values, "input");
  MemoryEstimate().call(trellis_coder_memory(L, code.K, code.n, type, 1)).require("the encoder");
  std::vector<int> data(L);
  for (std::size_t k = 0; k < L; ++k) data[k] = trunc_to_int(values[k]) != 0;

  Output output = Output::real(1, N);
  const Trellis trellis = make_trellis(code.g, code.K, type == CodeType::kRecursive);
  std::vector<int> bits(N);
  trellis_encode(bits, data, trellis, encoder_tail(trellis, type));
  output.assign(bits);
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("TrellisCoder", trellis_coder, nlhs, plhs, nrhs, prhs);
}
