// The polar decoders' SIMD steps, once per target. The successive-cancellation decoder
// runs frames in lanes; the list decoder runs the values of one wide node in lanes.
//
// Successive cancellation. Every
// value of stage i of a group's node sits at [i * lanes + frame], so each f, g and
// partial-sum step runs on all the group's frames at once. Each lane computes what the
// one-frame decoder computes, with the same operations and comparisons (also for
// zeros, signed zeros and infinities), so the decisions are the same bit for bit.
// Subtrees whose bits are all frozen decide zeros without computing their LLRs, as the
// one-frame decoder would.
#include "polar/lanes.hpp"

#include <cstddef>
#include <cstdint>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "polar/lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// f(a, b) = sign(a) sign(b) min(|a|, |b|), the minimum and the signs taken as the
// one-value form takes them: (|b| < |a|) ? |b| : |a|, negated where exactly one of a
// and b is below zero.
template <class D, class V>
HWY_INLINE V FLanes(D df, V va, V vb) {
  const auto fzero = hn::Zero(df);
  const auto fa = hn::Abs(va);
  const auto fb = hn::Abs(vb);
  const auto m = hn::IfThenElse(hn::Lt(fb, fa), fb, fa);
  const auto differ =
      hn::Xor(hn::VecFromMask(df, hn::Lt(va, fzero)), hn::VecFromMask(df, hn::Lt(vb, fzero)));
  return hn::IfThenElse(hn::MaskFromVec(differ), hn::Neg(m), m);
}

// g(a, b, u) = u ? b - a : b + a.
template <class V, class M>
HWY_INLINE V GLanes(V va, V vb, M u) {
  return hn::IfThenElse(u, hn::Sub(vb, va), hn::Add(vb, va));
}

struct ScGroup {
  const std::uint32_t* info_before;  // information bits before each position, N + 1
  std::size_t G;                     // lanes
};

// The node of n positions from `first`, whose LLRs are at a (n x G); its partial sums
// go to x and its decisions to u + first * G. work and xwork hold n x G free values
// below the node's level.
template <class D>
void Node(D df, const ScGroup& g, const float* HWY_RESTRICT a, std::size_t n, std::size_t first,
          float* HWY_RESTRICT work, std::uint32_t* HWY_RESTRICT x,
          std::uint32_t* HWY_RESTRICT xwork, std::uint32_t* HWY_RESTRICT u) {
  const hn::RebindToUnsigned<D> du;
  const std::size_t G = g.G;
  if (g.info_before[first + n] == g.info_before[first]) {
    const auto zero = hn::Zero(du);
    for (std::size_t i = 0; i < n * G; i += G) {
      hn::Store(zero, du, x + i);
      hn::Store(zero, du, u + first * G + i);
    }
    return;
  }
  const auto fzero = hn::Zero(df);
  if (n == 1) {
    const auto bit = hn::VecFromMask(du, hn::RebindMask(du, hn::Lt(hn::Load(df, a), fzero)));
    hn::Store(bit, du, x);
    hn::Store(bit, du, u + first * G);
    return;
  }
  const std::size_t h = n / 2;
  float* HWY_RESTRICT child = work;
  for (std::size_t i = 0; i < h * G; i += G)
    hn::Store(FLanes(df, hn::Load(df, a + i), hn::Load(df, a + h * G + i)), df, child + i);
  std::uint32_t* HWY_RESTRICT xl = xwork;
  Node(df, g, child, h, first, work + h * G, xl, xwork + h * G, u);
  for (std::size_t i = 0; i < h * G; i += G) {
    const auto ul = hn::RebindMask(df, hn::MaskFromVec(hn::Load(du, xl + i)));
    hn::Store(GLanes(hn::Load(df, a + i), hn::Load(df, a + h * G + i), ul), df, child + i);
  }
  Node(df, g, child, h, first + h, work + h * G, x + h * G, xwork + h * G, u);
  for (std::size_t i = 0; i < h * G; i += G)
    hn::Store(hn::Xor(hn::Load(du, xl + i), hn::Load(du, x + h * G + i)), du, x + i);
}

// The list decoder's node steps over n values (unaligned): out = f(a, a + n), and
// out = g(a, a + n, u) with partial sums u of 0 or 1; the count is a multiple of the
// target's lanes.
void StageF(const float* HWY_RESTRICT a, std::size_t n, float* HWY_RESTRICT out) {
  const hn::ScalableTag<float> df;
  for (std::size_t i = 0; i < n; i += hn::Lanes(df))
    hn::StoreU(FLanes(df, hn::LoadU(df, a + i), hn::LoadU(df, a + n + i)), df, out + i);
}

void StageG(const float* HWY_RESTRICT a, const std::uint8_t* HWY_RESTRICT u, std::size_t n,
            float* HWY_RESTRICT out) {
  const hn::ScalableTag<float> df;
  const hn::RebindToUnsigned<decltype(df)> du;
  const hn::Rebind<std::uint8_t, decltype(df)> d8;
  for (std::size_t i = 0; i < n; i += hn::Lanes(df)) {
    const auto ul =
        hn::RebindMask(df, hn::Ne(hn::PromoteTo(du, hn::LoadU(d8, u + i)), hn::Zero(du)));
    hn::StoreU(GLanes(hn::LoadU(df, a + i), hn::LoadU(df, a + n + i), ul), df, out + i);
  }
}

// kept[c] = 1 for the `keep` first of the C keys in the order (key, c), else 0: a key
// is kept when fewer than `keep` keys come before it. The keys run on to a multiple of
// kSelectPad with keys above every real one.
void SelectFirst(const std::uint64_t* HWY_RESTRICT key, std::size_t C, std::size_t keep,
                 std::uint8_t* HWY_RESTRICT kept) {
  const hn::ScalableTag<std::uint64_t> d;
  const std::size_t N = hn::Lanes(d);
  const std::size_t padded =
      (C + polar_detail::kSelectPad - 1) / polar_detail::kSelectPad * polar_detail::kSelectPad;
  const auto iota = hn::Iota(d, 0);
  for (std::size_t c = 0; c < C; ++c) {
    const auto kc = hn::Set(d, key[c]);
    const auto index = hn::Set(d, c);
    std::size_t before = 0;
    for (std::size_t j = 0; j < padded; j += N) {
      const auto v = hn::LoadU(d, key + j);
      const auto earlier = hn::Lt(hn::Add(iota, hn::Set(d, j)), index);
      before += hn::CountTrue(d, hn::Or(hn::Lt(v, kc), hn::And(hn::Eq(v, kc), earlier)));
    }
    kept[c] = before < keep ? 1 : 0;
  }
}

std::size_t ScLanes() {
  return hn::Lanes(hn::ScalableTag<float>());
}

void ScDecodeGroup(const float* top, std::size_t N, const std::uint32_t* info_before, float* work,
                   std::uint32_t* sums, std::uint32_t* u) {
  const hn::ScalableTag<float> df;
  const ScGroup g{info_before, hn::Lanes(df)};
  Node(df, g, top, N, 0, work, sums, sums + N * g.G, u);
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge::polar_detail {

HWY_EXPORT(ScLanes);
HWY_EXPORT(ScDecodeGroup);
HWY_EXPORT(StageF);
HWY_EXPORT(StageG);
HWY_EXPORT(SelectFirst);

std::size_t sc_lanes() {
  return HWY_DYNAMIC_DISPATCH(ScLanes)();
}

void sc_decode_group(const float* top, std::size_t N, const std::uint32_t* info_before, float* work,
                     std::uint32_t* sums, std::uint32_t* u) {
  HWY_DYNAMIC_DISPATCH(ScDecodeGroup)(top, N, info_before, work, sums, u);
}

void StageLanes::choose() {
  lanes = sc_lanes();  // chooses the target first if none is yet
  f = &HWY_DYNAMIC_DISPATCH(StageF);
  g = &HWY_DYNAMIC_DISPATCH(StageG);
  select = &HWY_DYNAMIC_DISPATCH(SelectFirst);
}

}  // namespace linkforge::polar_detail
#endif  // HWY_ONCE
