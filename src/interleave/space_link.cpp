// CCSDS 131.0-B turbo code permutation: a closed formula in the position, for the
// information block lengths K = 8 * k2 with k2 = 223, 446, 892 or 1115.
#include <stdexcept>

#include "linkforge/error.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge {

namespace {

// p1..p8 of the standard; t below is 0..3, so only p1..p4 are reached.
constexpr int kPrimes[8] = {31, 37, 43, 47, 53, 59, 61, 67};

}  // namespace

bool is_space_link_length(int K) noexcept {
  return K == 1784 || K == 3568 || K == 7136 || K == 8920;
}

void SpaceLinkPermutation(int K, std::span<int> alpha) {
  if (!is_space_link_length(K)) return;
  if (alpha.size() != static_cast<std::size_t>(K)) {
    throw ArgumentError("SpaceLinkPermutation: alpha must hold K entries");
  }
  const int k2 = K / 8;
  // Position i is the standard's s = i + 1; every product stays below 47 * 1115.
  for (int i = 0; i < K; ++i) {
    const int m = i % 2;
    const int a = i / (2 * k2);
    const int j = i / 2 - a * k2;
    const int t = (19 * a + 1) % 4;
    const int q = t % 8 + 1;
    const int h = (kPrimes[q - 1] * j + 21 * m) % k2;
    alpha[i] = 2 * (t + h * 4 + 1) - m - 1;
  }
}

}  // namespace linkforge
