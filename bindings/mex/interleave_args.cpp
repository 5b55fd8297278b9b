#include "interleave_args.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

namespace linkforge::mex {

void set_alpha(Call& call, std::span<const int> alpha) {
  Output output = Output::real(1, alpha.size());
  output.assign(alpha);
  call.set_output(0, std::move(output));
}

namespace {

// Truncates each entry toward zero; refuses entries (NaN included) that do not name a
// position 0..N-1 of the block.
std::vector<int> read_alpha_code(std::span<const double> entries) {
  const std::size_t N = entries.size();
  std::vector<int> alpha(N);
  for (std::size_t k = 0; k < N; ++k) {
    const double a = entries[k];
    if (!(a > -1.0 && a < static_cast<double>(N))) {
      // Spelled as the host prints them.
      char value[32];
      if (std::isnan(a)) {
        std::snprintf(value, sizeof value, "NaN");
      } else if (std::isinf(a)) {
        std::snprintf(value, sizeof value, a > 0 ? "Inf" : "-Inf");
      } else {
        std::snprintf(value, sizeof value, "%g", a);
      }
      char message[160];
      std::snprintf(message, sizeof message,
                    "alpha_code(%zu) = %s is not a 0-based index from 0 to %zu", k + 1, value,
                    N - 1);
      fail(message);
    }
    alpha[k] = static_cast<int>(a);
  }
  return alpha;
}

}  // namespace

void permute_gateway(Call& call, const char* usage, const char* length_message, Permuter permute) {
  if (call.nargin() < 2 || call.nargout() > 1) fail(usage);
  const Matrix input(call.arg(0), "input");
  const Matrix alpha_code(call.arg(1), "alpha_code");
  const std::size_t N = input.cols();
  if (alpha_code.cols() != N) fail(length_message);
  const std::span<const double> values = input.row();
  const std::vector<int> alpha = read_alpha_code(alpha_code.row());

  Output output = Output::real(1, N);
  permute(output.real(), values, alpha);
  call.set_output(0, std::move(output));
}

}  // namespace linkforge::mex
