#include <algorithm>
#include <bit>
#include <cstdint>
#include <stdexcept>

#include "linkforge/capacity.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

void check_table(std::span<const double> E, std::span<const double> C, std::span<const double> D) {
  if (E.empty() || C.size() != E.size() || D.size() + 1 != E.size()) {
    throw ArgumentError("info_rate_table: table sizes disagree");
  }
}

// Segment of the ratio r when E[0] < r < E[T-1]: the first k with r <= E[k], at most T-1.
std::size_t scan(std::span<const double> E, double r) {
  std::size_t k = 1;
  while (k < E.size() - 1 && !(r <= E[k])) ++k;
  return k;
}

// The same for a nondecreasing table without NaN: the first k with E[k] >= r.
std::size_t bisect(std::span<const double> E, double r) {
  return static_cast<std::size_t>(std::lower_bound(E.begin(), E.end(), r) - E.begin());
}

template <bool Sorted>
double lookup(std::span<const double> E, std::span<const double> C, std::span<const double> D,
              double r) {
  const std::size_t last = E.size() - 1;
  if (r >= E[last]) return C[last];
  if (!(r > E[0])) return 0.0;
  const std::size_t k = Sorted ? bisect(E, r) : scan(E, r);
  return (r - E[k - 1]) * D[k - 1] + C[k - 1];
}

bool increasing(std::span<const double> E) {
  for (std::size_t k = 0; k + 1 < E.size(); ++k) {
    if (!(E[k] <= E[k + 1])) return false;  // also false for NaN
  }
  return true;
}

template <bool Sorted>
void row_sums(std::span<const double> E, std::span<const double> C, std::span<const double> D,
              std::span<const double> gamma, std::span<double> out, const Interrupt& interrupt) {
  const std::size_t R = out.size();
  const std::size_t K = R == 0 ? 0 : gamma.size() / R;
  std::fill(out.begin(), out.end(), 0.0);
  // Column by column, so every row still adds its ratios in column order.
  InterruptPacer pacer(interrupt);
  // A lookup scans the table, or bisects it when it is sorted.
  const std::uint64_t per_lookup = Sorted ? 1 + std::bit_width(E.size()) : E.size();
  for (std::size_t j = 0; j < K; ++j) {
    const double* column = gamma.data() + j * R;
    for (std::size_t i = 0; i < R; ++i) {
      pacer.add(per_lookup);
      out[i] += lookup<Sorted>(E, C, D, column[i]);
    }
  }
}

}  // namespace

double info_rate_lookup(std::span<const double> E, std::span<const double> C,
                        std::span<const double> D, double r) {
  check_table(E, C, D);
  return lookup<false>(E, C, D, r);
}

void info_rate_table(std::span<const double> E, std::span<const double> C,
                     std::span<const double> D, std::span<const double> gamma,
                     std::span<double> out, const Interrupt& interrupt) {
  check_table(E, C, D);
  if (out.empty() ? !gamma.empty() : gamma.size() % out.size() != 0) {
    throw ArgumentError("info_rate_table: ratios do not fill whole rows");
  }
  if (increasing(E)) {
    row_sums<true>(E, C, D, gamma, out, interrupt);
  } else {
    row_sums<false>(E, C, D, gamma, out, interrupt);
  }
}

}  // namespace linkforge
