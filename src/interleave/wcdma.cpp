// 3GPP TS 25.212 turbo code internal interleaver: the block is written row by row into
// an R x W matrix padded with dummies, each row is permuted by a prime-based sequence,
// the rows are permuted by a fixed pattern, and the matrix is read column by column
// with the dummies pruned.
#include <stdexcept>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge {

namespace {

constexpr int kDummy = -1;

struct PrimeRoot {
  int p;  // prime
  int v;  // its primitive root
};

// clang-format off
// TS 25.212 table 2: primes and associated primitive roots.
constexpr PrimeRoot kPrimes[52] = {
    {7, 3},    {11, 2},   {13, 2},   {17, 3},   {19, 2},   {23, 5},   {29, 2},
    {31, 3},   {37, 2},   {41, 6},   {43, 3},   {47, 5},   {53, 2},   {59, 2},
    {61, 2},   {67, 2},   {71, 7},   {73, 5},   {79, 3},   {83, 2},   {89, 3},
    {97, 5},   {101, 2},  {103, 5},  {107, 2},  {109, 6},  {113, 3},  {127, 3},
    {131, 2},  {137, 3},  {139, 2},  {149, 2},  {151, 6},  {157, 5},  {163, 2},
    {167, 5},  {173, 2},  {179, 2},  {181, 2},  {191, 19}, {193, 5},  {197, 2},
    {199, 3},  {211, 2},  {223, 3},  {227, 2},  {229, 6},  {233, 3},  {239, 7},
    {241, 7},  {251, 6},  {257, 3}};

// TS 25.212 table 3: inter-row permutation patterns, T(i) = row of the intra-row
// permuted matrix that becomes row i.
constexpr int kFiveRows[5] = {4, 3, 2, 1, 0};
constexpr int kTenRows[10] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
constexpr int kTwentyRowsA[20] = {19, 9, 14, 4, 0, 2, 5, 7, 12, 18,
                                  16, 13, 17, 15, 3, 1, 6, 11, 8, 10};
constexpr int kTwentyRowsB[20] = {19, 9, 14, 4, 0, 2, 5, 7, 12, 18,
                                  10, 8, 13, 17, 3, 1, 16, 6, 15, 11};
// clang-format on

const int* inter_row_pattern(int R, int K) {
  if (R == 5) return kFiveRows;
  if (R == 10) return kTenRows;
  if ((2281 <= K && K <= 2480) || (3161 <= K && K <= 3210)) return kTwentyRowsA;
  return kTwentyRowsB;
}

}  // namespace

int gcd(int a, int b) {
  if (a <= 0) throw ArgumentError("gcd: a must be positive");
  return b % a != 0 ? 1 : a;
}

void WcdmaPermutation(int K, std::span<const int> input, std::span<int> output) {
  if (K < kWcdmaMinLength || K > kWcdmaMaxLength) {
    throw ArgumentError("WcdmaPermutation: K must lie in 40..5114");
  }
  const auto size = static_cast<std::size_t>(K);
  if (input.size() != size || output.size() != size) {
    throw ArgumentError("WcdmaPermutation: input and output must hold K values");
  }
  for (const int value : input) {
    if (value < 0) throw ArgumentError("WcdmaPermutation: input values must be >= 0");
  }

  // Rows, prime, primitive root and columns.
  const int R = (K <= 159) ? 5 : ((K <= 200) || (481 <= K && K <= 530)) ? 10 : 20;
  int p = 53;
  int v = 2;
  int W = 53;
  if (!(481 <= K && K <= 530)) {
    int i = 0;
    while (K > R * (kPrimes[i].p + 1)) ++i;  // ends by i = 51: 20 * 258 >= 5114
    p = kPrimes[i].p;
    v = kPrimes[i].v;
    W = (K <= R * (p - 1)) ? p - 1 : (K <= R * p) ? p : p + 1;
  }
  const int* T = inter_row_pattern(R, K);

  // Row-major R x W matrices; y holds the padded input.
  const auto cells = static_cast<std::size_t>(R) * static_cast<std::size_t>(W);
  std::vector<int> y(cells);
  std::vector<int> z(cells);
  for (int n = 0; n < R * W; ++n) y[n] = n < K ? input[n] : kDummy;

  // Base sequence of the intra-row permutation.
  std::vector<int> s(static_cast<std::size_t>(p - 1));
  s[0] = 1;
  for (int j = 1; j <= p - 2; ++j) s[j] = (v * s[j - 1]) % p;

  // Prime sequence q: the walk through the prime table is never reset.
  int q[20] = {1};
  int walk = 0;
  for (int i = 1; i < R; ++i) {
    while (gcd(kPrimes[walk].p, p - 1) != 1 || kPrimes[walk].p <= q[i - 1]) ++walk;
    q[i] = kPrimes[walk].p;
  }
  int r[20] = {};
  for (int i = 0; i < R; ++i) r[T[i]] = q[i];

  // Intra-row permutations: z(i, j) = y(i, U_i(j)).
  for (int i = 0; i < R; ++i) {
    const int* y_row = &y[static_cast<std::size_t>(i) * W];
    int* z_row = &z[static_cast<std::size_t>(i) * W];
    const int shift = W == p - 1 ? 1 : 0;
    for (int j = 0; j <= p - 2; ++j) z_row[j] = y_row[s[(j * r[i]) % (p - 1)] - shift];
    if (W >= p) z_row[p - 1] = y_row[0];
    if (W == p + 1) z_row[p] = y_row[p];
  }
  if (W == p + 1 && K == R * W) {
    int* last = &z[static_cast<std::size_t>(R - 1) * W];
    const int first = last[0];
    last[0] = last[p];
    last[p] = first;
  }

  // Inter-row permutation folded into the column-by-column read-out: row i of the
  // result is row T(i) of z.
  std::size_t out = 0;
  for (int j = 0; j < W; ++j) {
    for (int i = 0; i < R; ++i) {
      const int value = z[static_cast<std::size_t>(T[i]) * W + j];
      if (value >= 0) output[out++] = value;
    }
  }
}

}  // namespace linkforge
