// Jacobian logarithm max*(a, b) = ln(e^a + e^b) = max(a, b) + ln(1 + e^-|a - b|),
// exact and approximate.
//
// Numeric contract, shared by all five operators: arguments and result are single
// precision; differences of the arguments are formed in single precision; the
// constants are decimal literals used at double precision; the correction is added
// in double precision and the sum is rounded once to single precision. NaN
// arguments never trap: they fall through the comparisons as documented per
// operator. A huge negative argument (the decoders' -1e7 "minus infinity") leaves the
// other argument unchanged.
//
// Soft-output kernels are templated on the operator types below so that the chosen
// operator is inlined into their innermost loops; `max_star_table` holds the same five
// operators as plain functions, indexed by the type number 0..4 that callers pass as
// decoder_type, dec_type or demod_type.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace linkforge {

// The approximations are written without branches on the data (both candidates are
// formed and one is selected), which keeps the decoders' loops free of mispredicted
// jumps; every selected value is the one the case-by-case definition returns.

// Type 0: linear correction, zero beyond |b - a| > T:
//   d = b - a; d > T: b; d < -T: a; d > 0: b + S (T - d); otherwise a + S (T + d).
inline float max_star0(float a, float b) {
  constexpr double T = 2.50681740420944;
  constexpr double S = 0.24904163195436;
  const float d = b - a;
  const float m = d > 0 ? b : a;
  const float x = std::fabs(d);  // T + d for d <= 0 is exactly T - x
  const auto corrected = static_cast<float>(m + S * (T - x));
  return x > T ? m : corrected;
}

// Type 1: max-log, no correction. Equal arguments (and NaN) give b.
inline float max_star1(float a, float b) {
  return a > b ? a : b;
}

// Type 2: constant correction 0.5 for |b - a| <= 1.5:
//   d = b - a; d > 1.5: b; d < -1.5: a; d > 0: b + 0.5; otherwise a + 0.5.
inline float max_star2(float a, float b) {
  const float d = b - a;
  const float m = d > 0 ? b : a;
  // m + 0.5 is exact in double for every |m| < 2^52 and rounds to m beyond, so adding
  // in single precision gives the same float.
  const float corrected = m + 0.5f;
  return std::fabs(d) > 1.5f ? m : corrected;
}

// Type 3: eight-segment piecewise-linear correction of x = |b - a|, zero beyond
// x > 5.6; each segment is closed at its upper end, and its index is the number of
// upper ends below x. A NaN difference lies in no segment and gives the larger argument.
inline float max_star3(float a, float b) {
  struct Segment {
    double start, offset, slope;
  };
  // clang-format off
  static constexpr double kEnds[7] = {0.42, 0.85, 1.31, 1.83, 2.41, 3.13, 4.08};
  static constexpr Segment kSegments[8] = {
      {0.00, 0.68954718055995, -0.44788139700522},
      {0.42, 0.50153699381775, -0.34691145436176},
      {0.85, 0.35256506844219, -0.25432579542705},
      {1.31, 0.23567520254575, -0.17326680196715},
      {1.83, 0.14607646552283, -0.10822110027877},
      {2.41, 0.08360822736113, -0.06002650498009},
      {3.13, 0.04088914377547, -0.02739265095522},
      {4.08, 0.01516612536801, -0.0086020275928},
  };
  // clang-format on
  const float x = std::fabs(b - a);
  const float m = a > b ? a : b;
  int segment = 0;
  for (const double end : kEnds) segment += x > end;
  const Segment& s = kSegments[segment];
  const auto corrected = static_cast<float>(m + s.offset + s.slope * (x - s.start));
  return x <= 5.6 ? corrected : m;
}

namespace detail {

// True when adding the correction c = ln(1 + e^d), d <= 0, to m and rounding to single
// precision must give m itself, so the exponential and logarithm can be skipped without
// changing a bit. In double precision c is at most e^d (1 + 2^-51) + 2^-52 (the last
// term from rounding 1 + e^d).
// - d < -37.5: e^d < 2^-54, so 1 + e^d rounds to 1 and c is exactly 0.
// - m normal with exponent E >= -24 (|m| >= 2^E) and e^d <= 2^(E-27): then c is below
//   2^(E-26), under half the spacing of single-precision values next to m (the spacing
//   below a power of two being the smaller, 2^(E-24)), so m + c rounds back to m. The
//   threshold (E - 27) ln 2 is formed in single precision; its rounding moves e^d by
//   far less than the factor of two kept in reserve. For E >= 27 every c <= ln 2
//   vanishes anyway.
// Zeros, subnormals, infinities and NaN m, and NaN d, take the full computation.
inline bool log_correction_vanishes(float m, float d) {
  if (d < -37.5f) return true;
  const int biased = static_cast<int>((std::bit_cast<std::uint32_t>(m) >> 23) & 0xFF);
  if (biased < 127 - 24 || biased == 255) return false;
  return d <= static_cast<float>(biased - 127 - 27) * 0.69314720f;
}

}  // namespace detail

namespace detail {}  // namespace detail

// Type 4: exact log-MAP, max + log(exp(-|a - b|) + 1) with the double-precision
// exponential and logarithm, rounded to single precision. The library calls are skipped
// where they provably cannot change that float.
inline float max_star4(float a, float b) {
  // -|a - b| equals b - a when a > b and a - b otherwise, bit for bit (negation is exact
  // and rounding is symmetric), NaN included.
  const float m = a > b ? a : b;
  const float d = -std::fabs(a - b);
  // A vanishing correction still adds +0.0, which turns -0.0 into +0.0.
  if (detail::log_correction_vanishes(m, d)) return m + 0.0f;
  return static_cast<float>(m + std::log(std::exp(static_cast<double>(d)) + 1.0));
}

using MaxStarFn = float (*)(float, float);

// The five operators, indexed by type number.
inline constexpr std::array<MaxStarFn, 5> max_star_table = {max_star0, max_star1, max_star2,
                                                            max_star3, max_star4};

// Operator types for templated kernels: MaxStarOp<k>::apply is max_star_table[k].
template <int Type>
struct MaxStarOp;
template <>
struct MaxStarOp<0> {
  static float apply(float a, float b) { return max_star0(a, b); }
};
template <>
struct MaxStarOp<1> {
  static float apply(float a, float b) { return max_star1(a, b); }
};
template <>
struct MaxStarOp<2> {
  static float apply(float a, float b) { return max_star2(a, b); }
};
template <>
struct MaxStarOp<3> {
  static float apply(float a, float b) { return max_star3(a, b); }
};
template <>
struct MaxStarOp<4> {
  static float apply(float a, float b) { return max_star4(a, b); }
};

inline constexpr int kMaxStarTypes = 5;

// The operators by name; the value is the type number.
enum class MaxStar : int {
  kLinear = 0,     // linear correction
  kMaxLog = 1,     // no correction
  kConstant = 2,   // constant correction
  kPiecewise = 3,  // eight-segment piecewise-linear correction
  kExact = 4,      // exact log-MAP
};

// out[i] = the operator op of a[i] and b[i], computed as the whole decoders compute it:
// many values side by side in the SIMD lanes of the best target the CPU runs. Equal to
// the scalar operator value by value (max_star-inl.h tells how the exact operator keeps
// to it). The three spans must have the same size.
void max_star_lanes(MaxStar op, std::span<const float> a, std::span<const float> b,
                    std::span<float> out);

// True for the type numbers 0..4 that name an operator.
constexpr bool is_max_star_type(int type) noexcept {
  return type >= 0 && type < kMaxStarTypes;
}

[[noreturn]] void throw_bad_max_star_type(int type);

// Calls fn(MaxStarOp<type>{}) for a valid type number. The kernels use this to turn the
// caller's type number into one instantiation of their templated loop. Throws
// std::invalid_argument for a type outside 0..4.
template <class Fn>
decltype(auto) with_max_star(int type, Fn&& fn) {
  switch (type) {
    case 0:
      return fn(MaxStarOp<0>{});
    case 1:
      return fn(MaxStarOp<1>{});
    case 2:
      return fn(MaxStarOp<2>{});
    case 3:
      return fn(MaxStarOp<3>{});
    case 4:
      return fn(MaxStarOp<4>{});
    default:
      break;
  }
  throw_bad_max_star_type(type);
}

}  // namespace linkforge
