// [output] = Puncture(input, pun_pattern, tail_pattern)
//
// Sends each value of an e x N code matrix as many times as its count in the periodic
// pattern (e x P) or, for the last T columns, in the tail pattern (e x T) says, as one
// row. With four rows the tail goes out as rows 0-1 of every tail column, then rows 2-3.
#include "adapt_args.hpp"
#include "gateway.hpp"
#include "linkforge/adapt.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage = "Usage: [output] = Puncture(input, pun_pattern, tail_pattern )";

void puncture_gateway(Call& call) {
  if (call.nargin() < 3 || call.nargout() > 1) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const Matrix pun(call.arg(1), "pun_pattern");
  const Matrix tail(call.arg(2), "tail_pattern");
  const std::size_t e = input.rows();
  const std::size_t N = input.cols();
  if (pun.rows() != e) fail("Number rows in pun_pattern must match the number in input");
  const bool has_tail = tail.cols() > 0;
  if (has_tail && tail.rows() != e) {
    fail("Number rows in tail_pattern must match the number in input");
  }
  if (pun.empty()) fail("pun_pattern must not be empty");
  if (tail.cols() > N) fail("tail_pattern must not have more columns than input");
  MemoryEstimate().values<int>(add_sat(pun.size(), tail.size())).require("the patterns");
  const std::vector<int> pun_counts = read_counts(pun, "pun_pattern");
  const std::vector<int> tail_counts =
      has_tail ? read_counts(tail, "tail_pattern") : std::vector<int>();
  if (count_sum(pun_counts) == 0) fail("the counts of pun_pattern must not sum to 0");

  // Only negative counts make the walk produce another number of values than the
  // pattern sums promise; that is reported before anything is written.
  const PuncturedLength L = punctured_length(e, N, pun_counts, tail_counts);
  if (L.expected < 0 || static_cast<std::uint64_t>(L.expected) != L.produced) {
    mexPrintf("Calculated punctured bits = %lld but actual = %llu",
              static_cast<long long>(L.expected), static_cast<unsigned long long>(L.produced));
    fail("Error!");
  }
  Output output = Output::real(1, L.produced);
  puncture(output.real(), input.real(), e, pun_counts, tail_counts);
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("Puncture", puncture_gateway, nlhs, plhs, nrhs, prhs);
}
