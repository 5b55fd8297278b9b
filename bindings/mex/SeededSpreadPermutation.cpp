// [alpha] = SeededSpreadPermutation(Length, S, seed)
//
// The spread (S-random) permutation that SpreadPermutation draws in a freshly loaded
// module whose clock seed is `seed`, from a generator of its own: a pure function of its
// arguments, so that a simulation can draw its permutation from its own seed.
#include "gateway.hpp"
#include "interleave_args.hpp"
#include "linkforge/interleave.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "[alpha] = SeededSpreadPermutation( Length, S, seed )";

void seeded_spread_permutation(Call& call) {
  if (call.nargin() != 3 || call.nargout() > 1) fail(kUsage);
  const int seed = scalar_int(call.arg(2), "seed");
  if (seed < 1 || seed > 2147483562) fail("seed must be a whole number from 1 to 2147483562");
  Ran2State generator;
  seed_ran2(generator, -seed);
  draw_spread_permutation(call, generator);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SeededSpreadPermutation", seeded_spread_permutation, nlhs, plhs, nrhs, prhs);
}
