// The internal interleaver of the LTE turbo code (3GPP TS 36.212 5.1.3.2.3): for each of
// the 188 block sizes K of Table 5.1.3-3 (40..6144) the quadratic permutation polynomial
//   alpha(j) = (f1 j + f2 j^2) mod K,  j = 0..K-1,
// 0-based as the other permutations (interleave.hpp): interleaved(j) = data(alpha(j)).
// The table is built into the library from data/standards/lte_qpp.csv when it is
// configured.
#pragma once

#include <span>

namespace linkforge {

struct QppParams {
  int K;
  int f1;
  int f2;
};

// The 188 rows of the table, K ascending.
std::span<const QppParams> lte_qpp_table() noexcept;

// The row of block size K; nullptr for any other K.
const QppParams* find_lte_qpp(long long K) noexcept;

// The row of block size K. Throws ArgumentError for any other K, naming the sizes next to
// it: "K = 1000 is not an LTE interleaver size; the nearest are 992 and 1008" (or "the
// nearest is 40" below the table, "6144" above it).
const QppParams& lte_qpp(long long K);

// Fills alpha (K entries) with the permutation of block size K. Throws ArgumentError as
// lte_qpp does, and when alpha does not hold K entries.
void qpp_permutation(long long K, std::span<int> alpha);

}  // namespace linkforge
