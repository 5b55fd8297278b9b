// [data, ok] = CrcCheck(word, name)
//
// Strips the parity bits of the 3GPP CRC `name` from every row of word and tells for
// each row whether they are those of its data.
#include <string>
#include <vector>

#include "gateway.hpp"
#include "linkforge/crc.hpp"
#include "standards_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: [data, ok] = CrcCheck(word, name)";

void crc_check_module(Call& call) {
  if (call.nargin() != 2 || call.nargout() > 2) fail(kUsage);
  const Matrix word(call.arg(0), "word");
  const CrcName name = read_crc_name(call.arg(1));
  refuse_nan(word.real(), "word");
  const std::size_t F = word.rows(), N = word.cols();
  const auto L = static_cast<std::size_t>(crc_polynomial(name).length);
  if (N < L) {
    fail("word must have at least the " + std::to_string(L) + " columns of the parity bits of CRC '" +
         crc_polynomial(name).label + "', not " + std::to_string(N));
  }
  MemoryEstimate().values<std::uint8_t>(F).output(F, N - L).output(F, 1).require("the check");
  std::vector<std::uint8_t> flags(F);
  Output data = Output::real_uninit(F, N - L);
  Output ok = Output::real_uninit(F, 1);
  crc_check(name, FrameView<const double>::column_major(word.real().data(), F, N),
            FrameView<double>::column_major(data.real().data(), F, N - L), flags);
  ok.assign(flags);
  call.set_output(0, std::move(data));
  call.set_output(1, std::move(ok));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("CrcCheck", crc_check_module, nlhs, plhs, nrhs, prhs);
  // ok goes back logical, to select rows with: the gateway hands over doubles, and run()
  // returns only when the call succeeded.
  if (nlhs >= 2 && plhs[1] != nullptr && mxIsDouble(plhs[1])) {
    const std::size_t rows = mxGetM(plhs[1]);
    mxArray* logical = mxCreateLogicalMatrix(rows, 1);
    const double* flags = mxGetPr(plhs[1]);
    mxLogical* out = mxGetLogicals(logical);
    for (std::size_t i = 0; i < rows; ++i) out[i] = flags[i] != 0.0;
    mxDestroyArray(plhs[1]);
    plhs[1] = logical;
  }
}
