// word = CrcAttach(data, name)
//
// Appends the parity bits of the 3GPP CRC `name` to every row of data bits.
#include "gateway.hpp"
#include "linkforge/crc.hpp"
#include "standards_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: word = CrcAttach(data, name)";

void crc_attach_module(Call& call) {
  if (call.nargin() != 2 || call.nargout() > 1) fail(kUsage);
  const Matrix data(call.arg(0), "data");
  const CrcName name = read_crc_name(call.arg(1));
  refuse_nan(data.real(), "data");
  const std::size_t F = data.rows(), A = data.cols();
  const auto L = static_cast<std::size_t>(crc_polynomial(name).length);
  MemoryEstimate().output(F, A + L).require("the output");
  Output word = Output::real_uninit(F, A + L);
  crc_attach(name, FrameView<const double>::column_major(data.real().data(), F, A),
             FrameView<double>::column_major(word.real().data(), F, A + L));
  call.set_output(0, std::move(word));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("CrcAttach", crc_attach_module, nlhs, plhs, nrhs, prhs);
}
