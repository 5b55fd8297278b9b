// The max-star operators on SIMD lanes of single-precision values, once per target.
//
// Every lane runs the operations of the scalar operator of max_star.hpp in the same
// order and at the same precision (double-precision steps in double lanes, no fused
// multiply-add), so each lane's result is the scalar result bit for bit. The exact
// operator needs the exponential and the logarithm; see LaneMaxStar<4> for how lanes
// keep to the library's results.
//
// Included by the per-target sources (those that include hwy/foreach_target.h); the
// guard below lets it be compiled once per target.
#if defined(LINKFORGE_CORE_MAX_STAR_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef LINKFORGE_CORE_MAX_STAR_INL_H_
#undef LINKFORGE_CORE_MAX_STAR_INL_H_
#else
#define LINKFORGE_CORE_MAX_STAR_INL_H_
#endif

#include <cstddef>
#include <cstdint>
#include <utility>

#include "hwy/contrib/math/math-inl.h"
#include "hwy/highway.h"
#include "linkforge/max_star.hpp"

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Double lanes rounded to single precision as static_cast rounds them. The scalar
// target's DemoteTo clamps to the finite range instead of overflowing to infinity.
template <class DH, class VD>
HWY_INLINE hn::Vec<DH> RoundToSingle(DH dh, VD v) {
#if HWY_TARGET == HWY_SCALAR
  return hn::Set(dh, static_cast<float>(hn::GetLane(v)));
#else
  return hn::DemoteTo(dh, v);
#endif
}

// Double lanes for float lanes: half as many per vector, or on single-lane targets
// one. per_double_lanes widens the float lanes, passes them through fn (double vectors
// in, a pair of double vectors out, lane by lane) and narrows both results back.
#if HWY_TARGET == HWY_SCALAR
template <class DF>
using DoubleLanes = hn::Rebind<double, DF>;
#else
template <class DF>
using DoubleLanes = hn::Repartition<double, DF>;
#endif

template <class DF, class Fn>
HWY_INLINE std::pair<hn::Vec<DF>, hn::Vec<DF>> per_double_lanes(DF df, Fn&& fn) {
  const DoubleLanes<DF> dd;
#if HWY_TARGET == HWY_SCALAR
  const auto r = fn(dd, [&](hn::Vec<DF> v) { return hn::PromoteTo(dd, v); });
  return {RoundToSingle(df, r.first), RoundToSingle(df, r.second)};
#else
  const hn::Half<DF> dh;
  const auto lo = fn(dd, [&](hn::Vec<DF> v) { return hn::PromoteTo(dd, hn::LowerHalf(dh, v)); });
  const auto hi = fn(dd, [&](hn::Vec<DF> v) { return hn::PromoteTo(dd, hn::UpperHalf(dh, v)); });
  return {hn::Combine(df, RoundToSingle(dh, hi.first), RoundToSingle(dh, lo.first)),
          hn::Combine(df, RoundToSingle(dh, hi.second), RoundToSingle(dh, lo.second))};
#endif
}

// The same for one result.
template <class DF, class Fn>
HWY_INLINE hn::Vec<DF> per_double_lane(DF df, Fn&& fn) {
  return per_double_lanes(df, [&](auto dd, auto widen) {
           const auto r = fn(dd, widen);
           return std::make_pair(r, r);
         }).first;
}

template <int Type>
struct LaneMaxStar;

// Type 1, max-log: a > b ? a : b (equal arguments and NaN give b). On x86 that is what
// the max instruction computes, operands in this order, signed zeros and NaN included;
// it takes one operation where a comparison and a selection take two, one after the
// other, in every chain of folds.
template <>
struct LaneMaxStar<1> {
  template <class DF, class V>
  static HWY_INLINE V apply(DF, V a, V b) {
#if HWY_ARCH_X86 && HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
    return hn::Max(a, b);
#else
    return hn::IfThenElse(a > b, a, b);
#endif
  }
};

// Type 0, linear correction: m + S (T - |d|) in double, or m beyond |d| > T.
template <>
struct LaneMaxStar<0> {
  template <class DF, class V>
  static HWY_INLINE V apply(DF df, V a, V b) {
    const V d = b - a;
    const V m = hn::IfThenElse(d > hn::Zero(df), b, a);
    const V x = hn::Abs(d);
    return per_double_lane(df, [&](auto dd, auto widen) {
      const auto dm = widen(m);
      const auto dx = widen(x);
      const auto T = hn::Set(dd, 2.50681740420944);
      const auto corrected = dm + hn::Set(dd, 0.24904163195436) * (T - dx);
      return hn::IfThenElse(dx > T, dm, corrected);
    });
  }
};

// Type 2, constant correction 0.5 within |d| <= 1.5.
template <>
struct LaneMaxStar<2> {
  template <class DF, class V>
  static HWY_INLINE V apply(DF df, V a, V b) {
    const V d = b - a;
    const V m = hn::IfThenElse(d > hn::Zero(df), b, a);
    return hn::IfThenElse(hn::Abs(d) > hn::Set(df, 1.5f), m, m + hn::Set(df, 0.5f));
  }
};

// The segments of type 3: ends, starts, offsets and slopes.
// clang-format off
inline constexpr double kPiecewiseEnds[7] = {0.42, 0.85, 1.31, 1.83, 2.41, 3.13, 4.08};
inline constexpr double kPiecewiseStart[8] = {0.00, 0.42, 0.85, 1.31, 1.83, 2.41, 3.13, 4.08};
inline constexpr double kPiecewiseOffset[8] = {
    0.68954718055995, 0.50153699381775, 0.35256506844219, 0.23567520254575,
    0.14607646552283, 0.08360822736113, 0.04088914377547, 0.01516612536801};
inline constexpr double kPiecewiseSlope[8] = {
    -0.44788139700522, -0.34691145436176, -0.25432579542705, -0.17326680196715,
    -0.10822110027877, -0.06002650498009, -0.02739265095522, -0.0086020275928};
// clang-format on

// Type 3, eight-segment piecewise-linear correction. The segment of x is the number of
// segment ends below it; with increasing ends that is the last end below it, so the
// segment's constants are picked by a chain of selections.
template <>
struct LaneMaxStar<3> {
  template <class DF, class V>
  static HWY_INLINE V apply(DF df, V a, V b) {
    const V x = hn::Abs(b - a);
    const V m = hn::IfThenElse(a > b, a, b);
    return per_double_lane(df, [&](auto dd, auto widen) {
      const auto dm = widen(m);
      const auto dx = widen(x);
      auto start = hn::Set(dd, kPiecewiseStart[0]);
      auto offset = hn::Set(dd, kPiecewiseOffset[0]);
      auto slope = hn::Set(dd, kPiecewiseSlope[0]);
      for (int i = 0; i < 7; ++i) {
        const auto above = dx > hn::Set(dd, kPiecewiseEnds[i]);
        start = hn::IfThenElse(above, hn::Set(dd, kPiecewiseStart[i + 1]), start);
        offset = hn::IfThenElse(above, hn::Set(dd, kPiecewiseOffset[i + 1]), offset);
        slope = hn::IfThenElse(above, hn::Set(dd, kPiecewiseSlope[i + 1]), slope);
      }
      const auto corrected = (dm + offset) + slope * (dx - start);
      return hn::IfThenElse(dx <= hn::Set(dd, 5.6), corrected, dm);
    });
  }
};

// Type 4, exact: m + ln(e^d + 1), d = -|a - b|, in double and rounded to single.
//
// The scalar operator calls the library's exp and log; lanes use Highway's (within 1
// and 4 units in the last place). Either way the correction c = ln(e^d + 1) in (0, ln 2]
// is within 2^-50 of its true value: up to 2^-52 from the exponential (e^d <= 1), 2^-52
// from rounding e^d + 1 in [1, 2], and 2^-51 from the logarithm of a value below 1. So
// the library's c lies within delta = 2^-48 of the lanes' c (twice the sum of both
// bounds, which also covers the rounding of c +- delta). The result is
// R(c) = single(double(m + c)), which never decreases as c grows; where
// R(c - delta) = R(c + delta) the library's c gives that same float, and the lane keeps
// it. Elsewhere the lane's pair is recomputed with the scalar operator. A lane's result
// is therefore always the scalar result; the recomputation happens about once in 2^23
// calls for results near 1 (the window is 2^-47 wide against a spacing of 2^-23), and
// for every NaN.
//
// Where the correction provably vanishes (detail::log_correction_vanishes) the scalar
// operator returns m + 0 without the library calls, and so do the lanes.
template <>
struct LaneMaxStar<4> {
  template <class DF, class V>
  static HWY_INLINE V apply(DF df, V a, V b) {
    const V m = hn::IfThenElse(a > b, a, b);
    const V d = hn::Neg(hn::Abs(a - b));
    const auto vanishes = correction_vanishes(df, m, d);
    const V kept = m + hn::Zero(df);
    if (hn::AllTrue(df, vanishes)) return kept;

    // R(c - delta) and R(c + delta).
    const auto [low, high] = per_double_lanes(df, [&](auto dd, auto widen) {
      const auto delta = hn::Set(dd, 0x1p-48);
      const auto dm = widen(m);
      // A NaN difference is settled by the scalar operator below; Highway's exponential
      // must not see it (on the scalar target it converts its argument to an integer).
      const auto finite_d = hn::IfThenElse(d == d, d, hn::Zero(df));
      const auto c = hn::Log(dd, hn::Exp(dd, widen(finite_d)) + hn::Set(dd, 1.0));
      return std::make_pair(dm + (c - delta), dm + (c + delta));
    });
    const V out = hn::IfThenElse(vanishes, kept, low);
    // A NaN difference (from two infinities of one sign, or a NaN operand) always goes
    // to the scalar operator: the lanes' exp and log need not keep NaN as NaN.
    const auto settled = hn::Or(vanishes, hn::And(low == high, d == d));
    if (hn::AllTrue(df, settled)) return out;
    return recompute(df, a, b, settled, out);
  }

 private:
  // The lanes of detail::log_correction_vanishes(m, d).
  template <class DF, class V>
  static HWY_INLINE hn::Mask<DF> correction_vanishes(DF df, V m, V d) {
    const hn::RebindToSigned<DF> di;
    const auto biased = hn::ShiftRight<23>(hn::BitCast(di, m)) & hn::Set(di, 0xFF);
    const V threshold =
        hn::ConvertTo(df, biased - hn::Set(di, 127 + 27)) * hn::Set(df, 0.69314720f);
    // 127 - 24 <= biased < 255: a normal value whose exponent is at least -24.
    const auto normal = hn::RebindMask(
        df, hn::And(biased > hn::Set(di, 127 - 25), biased < hn::Set(di, 255)));
    return hn::Or(d < hn::Set(df, -37.5f), hn::And(normal, d <= threshold));
  }

  template <class DF, class V>
  static HWY_NOINLINE V recompute(DF df, V a, V b, hn::Mask<DF> settled, V out) {
    constexpr std::size_t kMax = HWY_MAX_BYTES / sizeof(float);
    alignas(64) float lane_a[kMax], lane_b[kMax], lane_out[kMax];
    alignas(64) std::int32_t done[kMax];
    const hn::RebindToSigned<DF> di;
    hn::Store(a, df, lane_a);
    hn::Store(b, df, lane_b);
    hn::Store(out, df, lane_out);
    hn::Store(hn::VecFromMask(di, hn::RebindMask(di, settled)), di, done);
    for (std::size_t i = 0; i < hn::Lanes(df); ++i) {
      if (done[i] == 0) lane_out[i] = max_star4(lane_a[i], lane_b[i]);
    }
    return hn::Load(df, lane_out);
  }
};

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#endif  // LINKFORGE_CORE_MAX_STAR_INL_H_
