// [alpha] = SpreadPermutation(Length, S)
//
// A spread (S-random) permutation of 0..Length-1: random transpositions of a
// row-column start, each accepted only when the two values it moves lie at least S
// apart from every value within S positions of their new places. The random stream
// continues from call to call for as long as the module stays loaded; it is seeded
// from the local time at the first draw after loading.
#include <cmath>
#include <string>
#include <vector>

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
  const double length = scalar_double(call.arg(0), "Length");
  if (std::isnan(length)) fail("Length must be a number");
  if (length <= -1.0) fail("Length must not be negative");
  if (length >= kMaxSpreadLength + 1.0) {
    fail("Length must not exceed " + std::to_string(kMaxSpreadLength));
  }
  const int Length = static_cast<int>(length);
  const int S = scalar_int(call.arg(1), "S");
  // Positions at most S apart are never exchanged when S >= 1, and a block of one
  // position has no pair at all.
  if (Length == 1 || (Length > 1 && S >= Length - 1)) {
    fail("no transposition can be accepted: Length must be at least 2 and S below Length - 1");
  }

  std::vector<int> alpha(static_cast<std::size_t>(Length));
  const std::int64_t draws = spread_draw_limit(Length);
  const std::int64_t accepted = SpreadPermutation(Length, S, alpha, g_generator, draws);
  if (accepted < 10 * std::int64_t{Length}) {
    fail("S is too large for Length: only " + std::to_string(accepted) + " of the " +
         std::to_string(10 * std::int64_t{Length}) + " transpositions were accepted in " +
         std::to_string(draws) + " draws");
  }
  set_alpha(call, alpha);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SpreadPermutation", spread_permutation, nlhs, plhs, nrhs, prhs);
}
