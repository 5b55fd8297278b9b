// The amplitude-only tone metrics in SIMD lanes: the tones of a symbol side by side.
// Every lane squares, adds and takes the square root in single precision (the square
// root is correctly rounded in lanes as in the library) and evaluates tone_log_i0's
// pieces in double lanes in the scalar order, so each value is the scalar one bit for
// bit.
#include "modem/tone_lanes.hpp"

#include <algorithm>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "modem/tone_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_MODEM_TONE_LANES_ONCE
#define LINKFORGE_MODEM_TONE_LANES_ONCE
namespace linkforge::tone_detail {
// tone_log_i0's pieces: bounds, and a, b, c of a*x*x + b*x - c.
inline constexpr double kBound[4] = {1.0, 2.0, 5.0, 20.0};
inline constexpr double kA[5] = {0.226, 0.1245, 0.0288, 0.002, 0.0};
inline constexpr double kB[5] = {0.0125, 0.2177, 0.6314, 0.9048, 0.9867};
inline constexpr double kC[5] = {0.0012, 0.108, 0.5645, 1.2997, 2.2053};
}  // namespace linkforge::tone_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {

// tone_log_i0 of every lane: the piece is the number of bounds (1, 2, 5, 20) the value
// is not below, so NaN takes the last and a negative value the first; the last piece
// has no square term.
template <class DF, class V>
HWY_INLINE V ToneLogI0Lanes(DF df, V x) {
  using namespace tone_detail;
  return per_double_lane(df, [&](auto dd, auto widen) {
    const auto v = widen(x);
    auto a = hn::Set(dd, kA[0]);
    auto b = hn::Set(dd, kB[0]);
    auto c = hn::Set(dd, kC[0]);
    auto last = hn::Not(hn::Lt(v, hn::Set(dd, kBound[3])));
    for (int i = 0; i < 4; ++i) {
      const auto not_below = hn::Not(hn::Lt(v, hn::Set(dd, kBound[i])));
      a = hn::IfThenElse(not_below, hn::Set(dd, kA[i + 1]), a);
      b = hn::IfThenElse(not_below, hn::Set(dd, kB[i + 1]), b);
      c = hn::IfThenElse(not_below, hn::Set(dd, kC[i + 1]), c);
    }
    const auto square = hn::IfThenElse(last, hn::Zero(dd), hn::Mul(hn::Mul(a, v), v));
    return hn::Sub(hn::Add(square, hn::Mul(b, v)), c);
  });
}

void AmplitudeMetrics(const float* y_re, const float* y_im, std::size_t M, std::size_t N,
                      const float* scale, float* out) {
  const hn::ScalableTag<float> df;
  const std::size_t NL = hn::Lanes(df);
  const auto zero = hn::Zero(df);
  const auto one_value = [&](auto re, auto im, float s) {
    const auto magnitude = hn::Sqrt(hn::Add(hn::Mul(re, re), hn::Mul(im, im)));
    return ToneLogI0Lanes(df, hn::Mul(hn::Set(df, s), magnitude));
  };
  for (std::size_t i = 0; i < N; ++i) {
    const float* re = y_re + i * M;
    const float* im = y_im != nullptr ? y_im + i * M : nullptr;
    float* column = out + i * M;
    std::size_t k = 0;
    for (; k + NL <= M; k += NL) {
      const auto vi = im != nullptr ? hn::LoadU(df, im + k) : zero;
      hn::StoreU(one_value(hn::LoadU(df, re + k), vi, scale[i]), df, column + k);
    }
    if (k < M) {
      alignas(64) float r[HWY_MAX_BYTES / sizeof(float)] = {};
      alignas(64) float q[HWY_MAX_BYTES / sizeof(float)] = {};
      std::copy(re + k, re + M, r);
      if (im != nullptr) std::copy(im + k, im + M, q);
      hn::Store(one_value(hn::Load(df, r), hn::Load(df, q), scale[i]), df, r);
      std::copy(r, r + (M - k), column + k);
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge::tone_detail {

HWY_EXPORT(AmplitudeMetrics);

void amplitude_metrics(const float* y_re, const float* y_im, std::size_t M, std::size_t N,
                       const float* scale, float* out) {
  HWY_DYNAMIC_DISPATCH(AmplitudeMetrics)(y_re, y_im, M, N, scale, out);
}

}  // namespace linkforge::tone_detail
#endif  // HWY_ONCE
