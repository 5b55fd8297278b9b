#include "interleave_args.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace linkforge::mex {

void set_alpha(Call& call, std::span<const int> alpha) {
  Output output = Output::real(1, alpha.size());
  output.assign(alpha);
  call.set_output(0, std::move(output));
}

void draw_spread_permutation(Call& call, Ran2State& generator) {
  const double length = scalar_double(call.arg(0), "Length");
  if (std::isnan(length)) fail("Length must be a number");
  if (length <= -1.0) fail("Length must not be negative");
  if (length >= 2147483648.0) fail("Length is out of range");
  const int Length = static_cast<int>(length);
  const int S = scalar_int(call.arg(1), "S");
  // Positions at most S apart are never exchanged when S >= 1, and a block of one
  // position has no pair at all.
  if (Length == 1 || (Length > 1 && S >= Length - 1)) {
    fail("no transposition can be accepted: Length must be at least 2 and S below Length - 1");
  }
  MemoryEstimate().values<int>(static_cast<std::size_t>(Length)).output(1, Length).require(
      "the permutation");

  std::vector<int> alpha(static_cast<std::size_t>(Length));
  const std::int64_t draws = spread_draw_limit(Length);
  const std::int64_t accepted =
      SpreadPermutation(Length, S, alpha, generator, draws, host_interrupt());
  if (accepted < 10 * std::int64_t{Length}) {
    fail("S is too large for Length: only " + std::to_string(accepted) + " of the " +
         std::to_string(10 * std::int64_t{Length}) + " transpositions were accepted in " +
         std::to_string(draws) + " draws");
  }
  set_alpha(call, alpha);
}

void permute_gateway(Call& call, const char* usage, const char* length_message, Permuter permute) {
  if (call.nargin() < 2 || call.nargout() > 1) fail(usage);
  const Matrix input(call.arg(0), "input");
  const Matrix alpha_code(call.arg(1), "alpha_code");
  const std::size_t N = input.cols();
  if (alpha_code.cols() != N) fail(length_message);
  const std::span<const double> values = input.row();
  MemoryEstimate().values<int>(N).output(1, N).require("the permutation");
  const std::vector<int> alpha = read_positions(alpha_code.row(), "alpha_code");

  Output output = Output::real(1, N);
  permute(output.real(), values, alpha);
  call.set_output(0, std::move(output));
}

}  // namespace linkforge::mex
