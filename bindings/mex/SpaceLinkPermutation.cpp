// [alpha] = SpaceLinkPermutation(K)
//
// The CCSDS 131.0-B turbo code permutation for K = 1784, 3568, 7136 or 8920, as a row of
// 0-based source positions: interleaved(k) = data(alpha(k)).
#include <vector>

#include "gateway.hpp"
#include "interleave_args.hpp"
#include "linkforge/interleave.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "[alpha] = SpaceLinkPermutation( K )";

void space_link_permutation(Call& call) {
  if (call.nargin() < 1 || call.nargout() > 1) fail(kUsage);
  const int K = trunc_to_int(scalar_double(call.arg(0), "K"));
  if (!is_space_link_length(K)) {
    fail("SpaceLinkPermutation: K must be one of 1784, 3568, 7136 and 8920");
  }
  std::vector<int> alpha(static_cast<std::size_t>(K));
  SpaceLinkPermutation(K, alpha);
  set_alpha(call, alpha);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SpaceLinkPermutation", space_link_permutation, nlhs, plhs, nrhs, prhs);
}
