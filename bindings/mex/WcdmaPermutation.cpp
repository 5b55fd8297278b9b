// [alpha] = WcdmaPermutation(K)
//
// The 3GPP TS 25.212 turbo code internal interleaver for a block of K = 40..5114 bits,
// as a row of 0-based source positions: interleaved(k) = data(alpha(k)).
#include <numeric>
#include <vector>

#include "gateway.hpp"
#include "interleave_args.hpp"
#include "linkforge/interleave.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "[alpha] = WcdmaPermutation( K )";

void wcdma_permutation(Call& call) {
  if (call.nargin() < 1 || call.nargout() > 2) fail(kUsage);
  // Any value outside the range, NaN and infinities included, gets the range message.
  const int K = trunc_to_int(scalar_double(call.arg(0), "K"));
  if (K < kWcdmaMinLength || K > kWcdmaMaxLength) {
    fail("WcdmaPermutation: Input must be between 40 and 5114");
  }
  std::vector<int> input(static_cast<std::size_t>(K));
  std::iota(input.begin(), input.end(), 0);
  std::vector<int> alpha(input.size());
  WcdmaPermutation(K, input, alpha);
  set_alpha(call, alpha);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("WcdmaPermutation", wcdma_permutation, nlhs, plhs, nrhs, prhs);
}
