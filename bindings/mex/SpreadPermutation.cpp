// [alpha] = SpreadPermutation(Length, S)
//
// A spread (S-random) permutation of 0..Length-1: random transpositions of a
// row-column start, each accepted only when the two values it moves lie at least S
// apart from every value within S positions of their new places. The random stream
// continues from call to call for as long as the module stays loaded; it is seeded
// from the local time at the first draw after loading.
#include "gateway.hpp"
#include "interleave_args.hpp"
#include "linkforge/interleave.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "[alpha] = SpreadPermutation( Length, S )";

// The module's generator, from load to unload.
Ran2State g_generator;

void spread_permutation(Call& call) {
  if (call.nargin() != 2 || call.nargout() > 1) fail(kUsage);
  draw_spread_permutation(call, g_generator);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SpreadPermutation", spread_permutation, nlhs, plhs, nrhs, prhs);
}
