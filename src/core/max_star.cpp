#include "linkforge/max_star.hpp"

#include <cmath>
#include <string>

namespace linkforge {

namespace detail {

// Taylor coefficients of s(d) = ln(1 + e^d) around each interval centre d0. With the
// sigmoid q = 1 / (1 + e^-d), s' = q and every further derivative is a polynomial in q:
// if q^(k) = P_k(q) then q^(k+1) = P_k'(q) (q - q^2). Evaluated in long double.
const SoftplusCoefficients& build_softplus_table() {
  static const SoftplusCoefficients table = [] {
    constexpr int N = kSoftplusDegree;
    SoftplusCoefficients coefficients{};
    // poly[k][j]: coefficient of q^j in P_k.
    std::array<std::array<long double, N + 2>, N> poly{};
    poly[0][1] = 1.0L;
    for (int k = 0; k + 1 < N; ++k) {
      for (int j = 1; j <= k + 1; ++j) {
        const long double c = poly[k][j] * j;
        poly[k + 1][j] += c;
        poly[k + 1][j + 1] -= c;
      }
    }
    for (int i = 0; i < kSoftplusIntervals; ++i) {
      const long double d0 = -(i + 0.5L) * 0.25L;
      const long double q = 1.0L / (1.0L + std::exp(-d0));
      auto& c = coefficients[static_cast<std::size_t>(i)];
      c[0] = static_cast<double>(std::log1p(std::exp(d0)));
      long double factorial = 1.0L;
      for (int k = 1; k <= N; ++k) {
        factorial *= k;
        long double derivative = 0.0L;
        long double power = 1.0L;
        for (int j = 0; j <= k; ++j) {
          derivative += poly[k - 1][j] * power;
          power *= q;
        }
        c[static_cast<std::size_t>(k)] = static_cast<double>(derivative / factorial);
      }
    }
    return coefficients;
  }();
  return table;
}

}  // namespace detail

void throw_bad_max_star_type(int type) {
  throw std::invalid_argument("max-star type " + std::to_string(type) + " is not 0 through 4");
}

}  // namespace linkforge
