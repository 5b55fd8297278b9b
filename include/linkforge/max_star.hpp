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
#include <cmath>
#include <stdexcept>

namespace linkforge {

// Type 0: linear correction, zero beyond |b - a| > T.
inline float max_star0(float a, float b) {
  constexpr double T = 2.50681740420944;
  constexpr double S = 0.24904163195436;
  const float d = b - a;
  if (d > T) return b;
  if (d < -T) return a;
  if (d > 0) return static_cast<float>(b + S * (T - d));
  return static_cast<float>(a + S * (T + d));
}

// Type 1: max-log, no correction. Equal arguments (and NaN) give b.
inline float max_star1(float a, float b) {
  return a > b ? a : b;
}

// Type 2: constant correction 0.5 for |b - a| <= 1.5.
inline float max_star2(float a, float b) {
  const float d = b - a;
  if (d > 1.5) return b;
  if (d < -1.5) return a;
  if (d > 0) return static_cast<float>(b + 0.5);
  return static_cast<float>(a + 0.5);
}

// Type 3: eight-segment piecewise-linear correction, zero beyond |b - a| > 5.6.
// Each segment is closed at its upper end.
inline float max_star3(float a, float b) {
  struct Segment {
    double end, start, offset, slope;
  };
  // clang-format off
  static constexpr Segment kSegments[8] = {
      {0.42, 0.00, 0.68954718055995, -0.44788139700522},
      {0.85, 0.42, 0.50153699381775, -0.34691145436176},
      {1.31, 0.85, 0.35256506844219, -0.25432579542705},
      {1.83, 1.31, 0.23567520254575, -0.17326680196715},
      {2.41, 1.83, 0.14607646552283, -0.10822110027877},
      {3.13, 2.41, 0.08360822736113, -0.06002650498009},
      {4.08, 3.13, 0.04088914377547, -0.02739265095522},
      {5.60, 4.08, 0.01516612536801, -0.0086020275928},
  };
  // clang-format on
  const float x = std::fabs(b - a);
  const float m = a > b ? a : b;
  if (x > 5.6) return m;
  for (const Segment& s : kSegments) {
    if (x <= s.end) return static_cast<float>(m + s.offset + s.slope * (x - s.start));
  }
  return m;  // NaN difference: no segment holds it
}

// Type 4: exact log-MAP with the double-precision exponential and logarithm.
inline float max_star4(float a, float b) {
  if (a > b) return static_cast<float>(a + std::log(std::exp(static_cast<double>(b - a)) + 1.0));
  return static_cast<float>(b + std::log(std::exp(static_cast<double>(a - b)) + 1.0));
}

using MaxStarFn = float (*)(float, float);

// The five operators, indexed by type number.
inline constexpr std::array<MaxStarFn, 5> max_star_table = {max_star0, max_star1, max_star2,
                                                            max_star3, max_star4};

// Operator types for templated kernels: MaxStar<k>::apply is max_star_table[k].
template <int Type>
struct MaxStar;
template <>
struct MaxStar<0> {
  static float apply(float a, float b) { return max_star0(a, b); }
};
template <>
struct MaxStar<1> {
  static float apply(float a, float b) { return max_star1(a, b); }
};
template <>
struct MaxStar<2> {
  static float apply(float a, float b) { return max_star2(a, b); }
};
template <>
struct MaxStar<3> {
  static float apply(float a, float b) { return max_star3(a, b); }
};
template <>
struct MaxStar<4> {
  static float apply(float a, float b) { return max_star4(a, b); }
};

inline constexpr int kMaxStarTypes = 5;

// True for the type numbers 0..4 that name an operator.
constexpr bool is_max_star_type(int type) noexcept {
  return type >= 0 && type < kMaxStarTypes;
}

[[noreturn]] void throw_bad_max_star_type(int type);

// Calls fn(MaxStar<type>{}) for a valid type number. The kernels use this to turn the
// caller's type number into one instantiation of their templated loop. Throws
// std::invalid_argument for a type outside 0..4.
template <class Fn>
decltype(auto) with_max_star(int type, Fn&& fn) {
  switch (type) {
    case 0:
      return fn(MaxStar<0>{});
    case 1:
      return fn(MaxStar<1>{});
    case 2:
      return fn(MaxStar<2>{});
    case 3:
      return fn(MaxStar<3>{});
    case 4:
      return fn(MaxStar<4>{});
    default:
      break;
  }
  throw_bad_max_star_type(type);
}

}  // namespace linkforge
