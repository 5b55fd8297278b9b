// The LTE turbo interleaver: a table lookup, then the permutation polynomial evaluated
// by its differences, alpha(j + 1) = alpha(j) + g(j) and g(j + 1) = g(j) + 2 f2 (mod K),
// which keeps every sum below 2K.
#include <algorithm>
#include <string>

#include "linkforge/error.hpp"
#include "linkforge/qpp.hpp"

namespace linkforge {

namespace {

constexpr QppParams kTable[] = {
#include "lte_qpp.inc"
};

constexpr bool ascending() {
  for (std::size_t i = 1; i < std::size(kTable); ++i) {
    if (kTable[i].K <= kTable[i - 1].K) return false;
  }
  return true;
}
static_assert(ascending(), "lte_qpp.csv must list K in ascending order");

}  // namespace

std::span<const QppParams> lte_qpp_table() noexcept {
  return kTable;
}

const QppParams* find_lte_qpp(long long K) noexcept {
  const auto* it = std::lower_bound(std::begin(kTable), std::end(kTable), K,
                                    [](const QppParams& p, long long k) { return p.K < k; });
  return it != std::end(kTable) && it->K == K ? it : nullptr;
}

const QppParams& lte_qpp(long long K) {
  if (const QppParams* p = find_lte_qpp(K)) return *p;
  const auto* above = std::lower_bound(std::begin(kTable), std::end(kTable), K,
                                       [](const QppParams& p, long long k) { return p.K < k; });
  std::string nearest;
  if (above == std::begin(kTable)) {
    nearest = "the nearest is " + std::to_string(above->K);
  } else if (above == std::end(kTable)) {
    nearest = "the nearest is " + std::to_string((above - 1)->K);
  } else {
    nearest = "the nearest are " + std::to_string((above - 1)->K) + " and " +
              std::to_string(above->K);
  }
  throw ArgumentError("K = " + std::to_string(K) + " is not an LTE interleaver size; " + nearest);
}

void qpp_permutation(long long K, std::span<int> alpha) {
  const QppParams& p = lte_qpp(K);
  if (alpha.size() != static_cast<std::size_t>(p.K)) {
    throw ArgumentError("qpp_permutation: alpha must hold K = " + std::to_string(p.K) + " entries");
  }
  // g(j) = alpha(j + 1) - alpha(j) = f1 + f2 (2j + 1), all mod K.
  const int step = (2 * p.f2) % p.K;
  int value = 0;
  int g = (p.f1 + p.f2) % p.K;
  for (int j = 0; j < p.K; ++j) {
    alpha[j] = value;
    value += g;
    if (value >= p.K) value -= p.K;
    g += step;
    if (g >= p.K) g -= p.K;
  }
}

}  // namespace linkforge
