// [output] = Interleave(input, alpha_code)
//
// output(k) = input(alpha_code(k)) for a row of N values and N 0-based indices.
#include "linkforge/interleave.hpp"

#include "gateway.hpp"
#include "interleave_args.hpp"

namespace {

void interleave_gateway(linkforge::mex::Call& call) {
  linkforge::mex::permute_gateway(call, "Usage: [output] = Interleave(input, alpha_code )",
                                  "Interleave: Error input and alpha_code must be same length",
                                  linkforge::interleave);
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  linkforge::mex::run("Interleave", interleave_gateway, nlhs, plhs, nrhs, prhs);
}
