// [output] = Deinterleave(input, alpha_code)
//
// output(alpha_code(k)) = input(k) for a row of N values and N 0-based indices: the
// inverse of Interleave with the same vector.
#include "gateway.hpp"
#include "interleave_args.hpp"
#include "linkforge/interleave.hpp"

namespace {

void deinterleave_gateway(linkforge::mex::Call& call) {
  linkforge::mex::permute_gateway(call, "Usage: [output] = Deinterleave(input, alpha_code )",
                                  "Deinterleave: Error input and alpha_code must be same length",
                                  linkforge::deinterleave);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  linkforge::mex::run("Deinterleave", deinterleave_gateway, nlhs, plhs, nrhs, prhs);
}
