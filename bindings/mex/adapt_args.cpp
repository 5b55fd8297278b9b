#include "adapt_args.hpp"

#include <cmath>
#include <string>

namespace linkforge::mex {

std::vector<int> read_counts(const Matrix& pattern, const char* name) {
  const std::span<const double> values = pattern.real();
  std::vector<int> counts(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (!std::isfinite(v)) fail(std::string(name) + " must hold finite counts");
    if (!(v > -2147483649.0 && v < 2147483648.0)) {
      fail(std::string(name) + " holds a count outside the int range");
    }
    counts[i] = static_cast<int>(v);
  }
  return counts;
}

long long count_sum(const std::vector<int>& counts) {
  long long total = 0;
  for (const int c : counts) total += c;
  return total;
}

BitCountPattern read_bit_count_pattern(const Call& call) {
  BitCountPattern pattern;
  pattern.X_i = scalar_int(call.arg(1), "X_i");
  pattern.e_ini = scalar_int(call.arg(2), "e_ini");
  pattern.e_plus = scalar_int(call.arg(3), "e_plus");
  pattern.e_minus = scalar_int(call.arg(4), "e_minus");
  return pattern;
}

}  // namespace linkforge::mex
