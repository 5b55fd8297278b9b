// Rate adaptation: periodic puncturing and repetition by pattern, and puncturing to an
// exact bit count by an error accumulator, each with its soft inverse.
//
// Values are copied or summed as doubles and never inspected, so hard bits and soft
// values (log-likelihood ratios) are treated alike. Positions that were not sent come
// back as 0, no information; a position sent k times comes back as the sum of its k
// received values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace linkforge {

// ---------------------------------------------------------------------------------
// Puncturing by pattern
//
// The code matrix has e rows (code-bit streams) and N columns (time steps), stored
// column-major: element j is row j mod e of column j div e. The puncturing pattern
// holds e x P counts and the tail pattern e x T counts, column-major; a count k > 0
// sends the value k times in a row, 0 (or less) not at all. Pattern column h covers
// the data columns t < D = N - T with t mod P = h; the tail pattern covers the last T
// columns once. The tail is read column by column, except with e = 4 rows: rows 0-1
// of every tail column first, then rows 2-3 of every tail column (the two constituent
// encoders' tails of a turbo code, one after the other).

struct PuncturedLength {
  // Q*S + S_R + U from the pattern sums (Q = D / P whole periods, S the sum of the
  // pattern, S_R the sum of its first D mod P columns, U the sum of the tail).
  std::int64_t expected;
  // Values the walk produces: the same sums over the positive counts only. It differs
  // from `expected` exactly when a negative count is used.
  std::uint64_t produced;
};

// Both sums saturate at the int64 ends instead of overflowing. Requires e >= 1, a pattern of P >= 1
// whole columns, a tail of whole columns and T <= N; throws std::invalid_argument
// otherwise.
PuncturedLength punctured_length(std::size_t e, std::size_t N, std::span<const int> pun_pattern,
                                 std::span<const int> tail_pattern);

// Walks the e x N input and writes its values as the patterns say. output must hold
// punctured_length(...).produced values; throws std::invalid_argument otherwise or on
// the shapes punctured_length refuses.
void puncture(std::span<double> output, std::span<const double> input, std::size_t e,
              std::span<const int> pun_pattern, std::span<const int> tail_pattern);

struct DepuncturedShape {
  // False when the values left after the whole periods and the tail stop inside a
  // pattern column; the other fields are then 0.
  bool complete;
  std::uint64_t periods;           // Q = (L - U) / S
  std::uint64_t leftover_columns;  // K: the fewest pattern columns that take the rest
  std::uint64_t columns;           // Q*P + K + T, saturating
};

// Shape of the matrix rebuilt from a row of L received values. Requires e >= 1, a
// pattern of P >= 1 whole columns whose counts are >= 0 and sum to S >= 1, a tail of
// whole columns with counts >= 0 summing to U <= L; throws std::invalid_argument
// otherwise.
DepuncturedShape depunctured_shape(std::size_t L, std::size_t e, std::span<const int> pun_pattern,
                                   std::span<const int> tail_pattern);

// Rebuilds the e x columns matrix (column-major, every element written) from the L
// received values in input, reading them in the order puncture wrote them. Throws
// std::invalid_argument when depunctured_shape does, when the shape is incomplete, or
// when output does not hold e*columns values.
void depuncture(std::span<double> output, std::span<const double> input, std::size_t e,
                std::span<const int> pun_pattern, std::span<const int> tail_pattern);

// ---------------------------------------------------------------------------------
// Puncturing to a bit count (3GPP TS 25.212 rate matching pattern, puncturing form)
//
// For positions m = 1..X_i: e = e - e_minus; the position stays when e > 0, otherwise
// it is removed and e = e + e_plus, starting from e = e_ini. The accumulator is 64-bit,
// so no choice of the four integers overflows it.

struct BitCountPattern {
  int X_i = 0;  // positions before puncturing; none when X_i < 1
  int e_ini = 0;
  int e_plus = 0;
  int e_minus = 0;
};

// Y, the number of positions kept.
std::size_t bit_count_kept(const BitCountPattern& pattern) noexcept;

// y = the values of x (X_i >= 0 values) at the kept positions, in order (Y values).
// Throws std::invalid_argument on other sizes.
void bit_count_adapt(std::span<double> y, std::span<const double> x,
                     const BitCountPattern& pattern);

// y (X_i >= 0 values) = the values of x (Y values) at the kept positions and 0 at the
// removed ones. Throws std::invalid_argument on other sizes or a negative X_i.
void bit_count_restore(std::span<double> y, std::span<const double> x,
                       const BitCountPattern& pattern);

}  // namespace linkforge
