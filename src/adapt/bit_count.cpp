// Puncturing to an exact bit count by the error accumulator of the 3GPP TS 25.212 rate
// matching pattern determination, and its inverse.
#include <stdexcept>

#include "linkforge/adapt.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

// Calls keep(m) for every kept position m (0-based) in increasing order.
template <class Keep>
void walk_pattern(const BitCountPattern& p, Keep&& keep) {
  std::int64_t e = p.e_ini;
  for (int m = 0; m < p.X_i; ++m) {
    e -= p.e_minus;
    if (e > 0) {
      keep(static_cast<std::size_t>(m));
    } else {
      e += p.e_plus;
    }
  }
}

}  // namespace

std::size_t bit_count_kept(const BitCountPattern& pattern) noexcept {
  std::size_t Y = 0;
  walk_pattern(pattern, [&](std::size_t) { ++Y; });
  return Y;
}

void bit_count_adapt(std::span<double> y, std::span<const double> x,
                     const BitCountPattern& pattern) {
  if (pattern.X_i < 0 || x.size() != static_cast<std::size_t>(pattern.X_i)) {
    throw ArgumentError("bit_count_adapt: x must hold X_i >= 0 values");
  }
  if (y.size() != bit_count_kept(pattern)) {
    throw ArgumentError("bit_count_adapt: y must hold the Y kept values");
  }
  std::size_t j = 0;
  walk_pattern(pattern, [&](std::size_t m) { y[j++] = x[m]; });
}

void bit_count_restore(std::span<double> y, std::span<const double> x,
                       const BitCountPattern& pattern) {
  if (pattern.X_i < 0 || y.size() != static_cast<std::size_t>(pattern.X_i)) {
    throw ArgumentError("bit_count_restore: y must hold X_i >= 0 values");
  }
  if (x.size() != bit_count_kept(pattern)) {
    throw ArgumentError("bit_count_restore: x must hold the Y kept values");
  }
  for (double& value : y) value = 0.0;
  std::size_t j = 0;
  walk_pattern(pattern, [&](std::size_t m) { y[m] = x[j++]; });
}

}  // namespace linkforge
