// The lane operators of max_star-inl.h over whole arrays, dispatched to the best target
// the CPU runs: what the whole decoders compute, as one call that can be compared with
// the scalar operators value by value.
#include <stdexcept>

#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/max_star_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {

template <int kOp>
void ApplyLanes(const float* a, const float* b, float* out, std::size_t count) {
  const hn::ScalableTag<float> df;
  const std::size_t N = hn::Lanes(df);
  std::size_t i = 0;
  for (; i + N <= count; i += N) {
    hn::StoreU(LaneMaxStar<kOp>::apply(df, hn::LoadU(df, a + i), hn::LoadU(df, b + i)), df,
               out + i);
  }
  if (i < count) {
    alignas(64) float x[HWY_MAX_BYTES / sizeof(float)] = {};
    alignas(64) float y[HWY_MAX_BYTES / sizeof(float)] = {};
    for (std::size_t j = 0; j < count - i; ++j) {
      x[j] = a[i + j];
      y[j] = b[i + j];
    }
    hn::Store(LaneMaxStar<kOp>::apply(df, hn::Load(df, x), hn::Load(df, y)), df, x);
    for (std::size_t j = 0; j < count - i; ++j) out[i + j] = x[j];
  }
}

void MaxStarLanes(int op, const float* a, const float* b, float* out, std::size_t count) {
  switch (op) {
    case 0: return ApplyLanes<0>(a, b, out, count);
    case 1: return ApplyLanes<1>(a, b, out, count);
    case 2: return ApplyLanes<2>(a, b, out, count);
    case 3: return ApplyLanes<3>(a, b, out, count);
    default: return ApplyLanes<4>(a, b, out, count);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

HWY_EXPORT(MaxStarLanes);

void max_star_lanes(MaxStar op, std::span<const float> a, std::span<const float> b,
                    std::span<float> out) {
  if (a.size() != b.size() || a.size() != out.size()) {
    throw ArgumentError("max_star_lanes: sizes differ");
  }
  HWY_DYNAMIC_DISPATCH(MaxStarLanes)(static_cast<int>(op), a.data(), b.data(), out.data(),
                                     a.size());
}

}  // namespace linkforge
#endif  // HWY_ONCE
