// [output] = Depuncture(input, pun_pattern, tail_pattern)
//
// Rebuilds the e x (Q*P + K + T) code matrix from a row of received soft values, read in
// the order Puncture sent them: 0 where a value was not sent, the sum of the received
// copies where it was sent one or more times.
#include "adapt_args.hpp"
#include "gateway.hpp"
#include "linkforge/adapt.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

// Puncture's usage line: the two modules share it.
constexpr const char* kUsage = "Usage: [output] = Puncture(input, pun_pattern, tail_pattern )";

void depuncture_gateway(Call& call) {
  if (call.nargin() < 3 || call.nargout() > 1) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix pun(call.arg(1), "pun_pattern");
  const Matrix tail(call.arg(2), "tail_pattern");
  if (input.rows() != 1) fail("Input must be a row vector");
  const std::size_t e = pun.rows();
  const bool has_tail = tail.cols() > 0;
  if (has_tail && tail.rows() != e) {
    fail("Number rows in tail_pattern must match the number in pun_pattern");
  }
  if (pun.empty()) fail("pun_pattern must not be empty");
  MemoryEstimate().values<int>(add_sat(pun.size(), tail.size())).require("the patterns");
  const std::vector<int> pun_counts = read_counts(pun, "pun_pattern");
  const std::vector<int> tail_counts =
      has_tail ? read_counts(tail, "tail_pattern") : std::vector<int>();
  for (const int c : pun_counts) {
    if (c < 0) fail("pun_pattern must not hold negative counts");
  }
  for (const int c : tail_counts) {
    if (c < 0) fail("tail_pattern must not hold negative counts");
  }
  if (count_sum(pun_counts) == 0) fail("the counts of pun_pattern must not sum to 0");
  const std::size_t L = input.cols();
  if (count_sum(tail_counts) > static_cast<long long>(L)) {
    fail("input holds fewer values than tail_pattern takes");
  }

  const DepuncturedShape shape = depunctured_shape(L, e, pun_counts, tail_counts);
  if (!shape.complete) fail("Incomplete column of puncturing pattern");
  Output output = Output::real(e, shape.columns);
  depuncture(output.real(), input.real(), e, pun_counts, tail_counts);
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("Depuncture", depuncture_gateway, nlhs, plhs, nrhs, prhs);
}
