// The double-binary turbo decoder with one frame per SIMD lane, once per target.
//
// A group of W frames runs through the iterations together. Every value of the
// per-frame decoder becomes a row of W lanes, and every lane does what the per-frame
// decoder does for its frame, operation for operation: the extrinsic values in double
// precision, the decoder inputs rounded to single precision, the recursions folding the
// same candidates in the same order with the lane operators of max_star-inl.h (equal to
// the scalar operators bit for bit). A recursion of the circular decoder stops at a
// different step in each frame; a lane that has stopped keeps computing, but writes
// nothing more, so its rows hold what the per-frame decoder leaves in them.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "duobinary/turbo_lanes.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/max_star.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "duobinary/turbo_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_DUOBINARY_TURBO_LANES_SHARED
#define LINKFORGE_DUOBINARY_TURBO_LANES_SHARED
namespace linkforge::duobinary_detail {

// The largest float whose double value is at most the repeat tolerance: for a float d,
// d <= it exactly when double(d) <= 1e-7.
inline float repeat_limit() noexcept {
  float t = static_cast<float>(kRepeatTolerance);
  while (static_cast<double>(t) > kRepeatTolerance) t = std::nextafter(t, 0.0f);
  while (static_cast<double>(std::nextafter(t, 1.0f)) <= kRepeatTolerance) {
    t = std::nextafter(t, 1.0f);
  }
  return t;
}

// Rows of W values in pair order into the second code's order: row 3j + c takes row
// 3 alpha[j] + c, rows of u = 1 and u = 2 exchanged where swap[j] is set.
inline void interleave_rows(const PairPermutation& p, const double* from, double* to,
                            std::size_t W) {
  for (std::size_t j = 0; j < p.alpha.size(); ++j) {
    const std::size_t t = static_cast<std::size_t>(p.alpha[j]);
    const bool swapped = p.swap[j] != 0;
    std::copy_n(from + (3 * t + (swapped ? 1 : 0)) * W, W, to + 3 * j * W);
    std::copy_n(from + (3 * t + (swapped ? 0 : 1)) * W, W, to + (3 * j + 1) * W);
    std::copy_n(from + (3 * t + 2) * W, W, to + (3 * j + 2) * W);
  }
}

// The inverse.
inline void deinterleave_rows(const PairPermutation& p, const double* from, double* to,
                              std::size_t W) {
  for (std::size_t j = 0; j < p.alpha.size(); ++j) {
    const std::size_t t = static_cast<std::size_t>(p.alpha[j]);
    const bool swapped = p.swap[j] != 0;
    std::copy_n(from + 3 * j * W, W, to + (3 * t + (swapped ? 1 : 0)) * W);
    std::copy_n(from + (3 * j + 1) * W, W, to + (3 * t + (swapped ? 0 : 1)) * W);
    std::copy_n(from + (3 * j + 2) * W, W, to + (3 * t + 2) * W);
  }
}

}  // namespace linkforge::duobinary_detail
#endif  // LINKFORGE_DUOBINARY_TURBO_LANES_SHARED

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace duobinary_detail;

template <int kOp>
class FrameLaneSiso {
  using DF = hn::ScalableTag<float>;
  using V = hn::Vec<DF>;
  using M = hn::Mask<DF>;
  static constexpr int S = kDuobinaryStates;

 public:
  FrameLaneSiso(const TurboJob& job, TurboSpace& w, InterruptPacer& pacer)
      : job_(job), w_(w), pacer_(pacer), W_(hn::Lanes(DF())), limit_(repeat_limit()) {}

  // outx of the circular decoder for every lane: inputs `in` and `z`, 3N rows each.
  void run(const float* in, const float* z, float* out) {
    const DF df;
    const std::size_t N = job_.N;
    const std::size_t row = S * W_;  // one step's metrics
    float* alpha = w_.alpha.data();
    float* beta = w_.beta.data();
    std::fill(w_.alpha.begin(), w_.alpha.end(), 0.0f);
    std::fill(w_.beta.begin(), w_.beta.end(), 0.0f);
    V g[kDuobinaryTransitions];
    V acc[S];

    // A lane ends where its recursion would end; the recursion runs while any goes on.
    M active = hn::FirstN(df, W_);
    const auto ends = [&](M repeats, int lap) {
      if (lap >= 1) active = hn::AndNot(repeats, active);
      return hn::AllFalse(df, active);
    };
    round_the_block(
        N, true,
        [&](std::size_t t, int lap) {
          pacer_.add(kDuobinaryTransitions * W_);
          branch_metrics(in, z, t, g);
          const float* b1 = beta + (t + 1) * row;
          for (int s = 0; s < S; ++s) {
            V a = hn::Set(df, kDuobinaryMinusInfinity);
            for (int i = 4 * s; i < 4 * s + 4; ++i) {
              a = LaneMaxStar<kOp>::apply(df, a, hn::Add(g[i], load_state(b1, job_.next[i])));
            }
            acc[s] = a;
          }
          return ends(store_renormalised(acc, beta + t * row, active), lap);
        },
        [&] { copy_row(beta, beta + N * row, active); });

    active = hn::FirstN(df, W_);
    round_the_block(
        N, false,
        [&](std::size_t t, int lap) {
          pacer_.add(kDuobinaryTransitions * W_);
          branch_metrics(in, z, t, g);
          const float* a0 = alpha + t * row;
          for (int s = 0; s < S; ++s) {
            V a = hn::Set(df, kDuobinaryMinusInfinity);
            for (int j = job_.into.start[s]; j < job_.into.start[s + 1]; ++j) {
              const int i = job_.into.order[static_cast<std::size_t>(j)];
              a = LaneMaxStar<kOp>::apply(df, a, hn::Add(g[i], load_state(a0, i >> 2)));
            }
            acc[s] = a;
          }
          return ends(store_renormalised(acc, alpha + (t + 1) * row, active), lap);
        },
        [&] { copy_row(alpha + N * row, alpha, active); });

    for (std::size_t t = 0; t < N; ++t) {
      pacer_.add(kDuobinaryTransitions * W_);
      branch_metrics(in, z, t, g);
      const float* a0 = alpha + t * row;
      const float* b1 = beta + (t + 1) * row;
      // alpha + beta first, then the branch: the per-frame decoder's rounding order.
      V p[kSymbols];
      for (int u = 0; u < kSymbols; ++u) p[u] = hn::Set(df, kDuobinaryMinusInfinity);
      for (int s = 0; s < S; ++s) {
        for (int u = 0; u < kSymbols; ++u) {
          const int i = 4 * s + u;
          const V ab = hn::Add(load_state(a0, s), load_state(b1, job_.next[i]));
          p[u] = LaneMaxStar<kOp>::apply(df, p[u], hn::Add(g[i], ab));
        }
      }
      for (int k = 1; k < kSymbols; ++k) {
        hn::StoreU(hn::Sub(p[k], p[0]), df, out + (3 * t + k - 1) * W_);
      }
    }
  }

 private:
  V load_state(const float* metrics, int state) const {
    return hn::LoadU(DF(), metrics + static_cast<std::size_t>(state) * W_);
  }

  // gamma[i] = x[i & 3] + z[word[i]] of step t, symbol 0 contributing +0.
  void branch_metrics(const float* in, const float* z, std::size_t t, V* g) const {
    const DF df;
    const V zero = hn::Zero(df);
    const V x[kSymbols] = {zero, hn::LoadU(df, in + 3 * t * W_), hn::LoadU(df, in + (3 * t + 1) * W_),
                           hn::LoadU(df, in + (3 * t + 2) * W_)};
    const V zz[kSymbols] = {zero, hn::LoadU(df, z + 3 * t * W_), hn::LoadU(df, z + (3 * t + 1) * W_),
                            hn::LoadU(df, z + (3 * t + 2) * W_)};
    for (int i = 0; i < kDuobinaryTransitions; ++i) g[i] = hn::Add(x[i & 3], zz[job_.word[i]]);
  }

  // acc[k] - acc[0] into the active lanes of `row` (state 0: 0), and the lanes where
  // every one of them repeats the value it replaces within the tolerance.
  M store_renormalised(const V* acc, float* row, M active) const {
    const DF df;
    M repeats = hn::FirstN(df, W_);
    const V limit = hn::Set(df, limit_);
    for (int k = 1; k < S; ++k) {
      const V d = hn::Sub(acc[k], acc[0]);
      const V old = hn::LoadU(df, row + static_cast<std::size_t>(k) * W_);
      repeats = hn::And(repeats, hn::Le(hn::Abs(hn::Sub(d, old)), limit));
      hn::StoreU(hn::IfThenElse(active, d, old), df, row + static_cast<std::size_t>(k) * W_);
    }
    hn::StoreU(hn::Zero(df), df, row);
    return repeats;
  }

  // The step's metrics of `from` onto `to` in the active lanes.
  void copy_row(const float* from, float* to, M active) const {
    const DF df;
    for (int k = 0; k < S; ++k) {
      const std::size_t at = static_cast<std::size_t>(k) * W_;
      hn::StoreU(hn::IfThenElse(active, hn::LoadU(df, from + at), hn::LoadU(df, to + at)), df,
                to + at);
    }
  }

  const TurboJob& job_;
  TurboSpace& w_;
  InterruptPacer& pacer_;
  std::size_t W_;
  float limit_;
};

template <int kOp>
void DecodeGroup(const TurboJob& job, std::size_t first, TurboSpace& w,
                 const Interrupt& interrupt) {
  const DuobinaryTurboChannel& ch = *job.channel;
  const std::size_t W = w.W, values = 3 * job.N;
  const std::size_t valid = std::min(W, ch.x.frames - first);
  for (std::size_t r = 0; r < values; ++r) {
    for (std::size_t lane = 0; lane < W; ++lane) {
      const bool frame = lane < valid;
      w.x[r * W + lane] = frame ? ch.x(first + lane, r) : 0.0;
      w.z1[r * W + lane] = frame ? static_cast<float>(ch.z1(first + lane, r)) : 0.0f;
      w.z2[r * W + lane] = frame ? static_cast<float>(ch.z2(first + lane, r)) : 0.0f;
    }
  }
  interleave_rows(*job.permutation, w.x.data(), w.x2.data(), W);
  std::fill(w.apriori.begin(), w.apriori.end(), 0.0);
  InterruptPacer pacer(interrupt);
  FrameLaneSiso<kOp> siso(job, w, pacer);
  const std::size_t n = values * W;
  for (int it = 0; it < job.iterations; ++it) {
    for (std::size_t i = 0; i < n; ++i) {
      w.in1[i] = w.x[i] + w.apriori[i];
      w.in[i] = static_cast<float>(w.in1[i]);
    }
    siso.run(w.in.data(), w.z1.data(), w.out.data());
    // Extrinsic values of the first code (held in apriori), into the second's order.
    for (std::size_t i = 0; i < n; ++i) w.apriori[i] = static_cast<double>(w.out[i]) - w.in1[i];
    interleave_rows(*job.permutation, w.apriori.data(), w.in2.data(), W);
    for (std::size_t i = 0; i < n; ++i) {
      w.in2[i] = w.x2[i] + w.in2[i];
      w.in[i] = static_cast<float>(w.in2[i]);
    }
    siso.run(w.in.data(), w.z2.data(), w.out.data());
    // Extrinsic values of the second code (held in in1), back into pair order.
    for (std::size_t i = 0; i < n; ++i) w.in1[i] = static_cast<double>(w.out[i]) - w.in2[i];
    deinterleave_rows(*job.permutation, w.in1.data(), w.apriori.data(), W);
  }
  for (std::size_t i = 0; i < n; ++i) w.in1[i] = static_cast<double>(w.out[i]);
  deinterleave_rows(*job.permutation, w.in1.data(), w.in2.data(), W);
  for (std::size_t r = 0; r < values; ++r) {
    for (std::size_t lane = 0; lane < valid; ++lane) (*job.app)(first + lane, r) = w.in2[r * W + lane];
  }
}

void TurboGroup(const TurboJob& job, std::size_t first, TurboSpace& w,
                const Interrupt& interrupt) {
  switch (job.dec_type) {
    case 0: return DecodeGroup<0>(job, first, w, interrupt);
    case 1: return DecodeGroup<1>(job, first, w, interrupt);
    case 2: return DecodeGroup<2>(job, first, w, interrupt);
    case 3: return DecodeGroup<3>(job, first, w, interrupt);
    default: return DecodeGroup<4>(job, first, w, interrupt);
  }
}

std::size_t TurboLanes() { return hn::Lanes(hn::ScalableTag<float>()); }

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge::duobinary_detail {

HWY_EXPORT(TurboGroup);
HWY_EXPORT(TurboLanes);

namespace {

constexpr std::size_t kArrayAlign = 64;

std::size_t rounded(std::size_t bytes) {
  return (bytes + kArrayAlign - 1) / kArrayAlign * kArrayAlign;
}

}  // namespace

TurboSpace::TurboSpace(std::size_t pairs, std::size_t lanes) : W(lanes) {
  const std::size_t values = 3 * pairs * lanes;
  const std::size_t metrics = (pairs + 1) * kDuobinaryStates * lanes;
  const std::size_t bytes = 5 * rounded(values * sizeof(double)) +
                            4 * rounded(values * sizeof(float)) +
                            2 * rounded(metrics * sizeof(float)) + kArrayAlign;
  block = ScratchBlock(bytes);
  const std::span<std::byte> all = block.as<std::byte>(bytes);
  std::fill(all.begin(), all.end(), std::byte{0});
  const auto start = reinterpret_cast<std::uintptr_t>(all.data());
  std::byte* at = all.data() + (kArrayAlign - start % kArrayAlign) % kArrayAlign;
  const auto carve = [&at]<class T>(std::span<T>& array, std::size_t count) {
    array = std::span<T>(reinterpret_cast<T*>(at), count);
    at += rounded(count * sizeof(T));
  };
  for (std::span<double>* a : {&x, &x2, &apriori, &in1, &in2}) carve(*a, values);
  for (std::span<float>* a : {&z1, &z2, &in, &out}) carve(*a, values);
  carve(alpha, metrics);
  carve(beta, metrics);
}

std::uint64_t TurboSpace::bytes(std::size_t pairs, std::size_t lanes) noexcept {
  const std::uint64_t values = mul_sat(mul_sat(3, pairs), lanes);
  const std::uint64_t metrics = mul_sat(mul_sat(add_sat(pairs, 1), kDuobinaryStates), lanes);
  // Five rows of doubles and four of floats per value, two of floats per metric, and
  // each array's alignment.
  return add_sat(add_sat(mul_sat(values, 5 * sizeof(double) + 4 * sizeof(float)),
                         mul_sat(metrics, 2 * sizeof(float))),
                 sizeof(TurboSpace) + 12 * kArrayAlign);
}

std::size_t turbo_lanes() { return HWY_DYNAMIC_DISPATCH(TurboLanes)(); }

void turbo_group(const TurboJob& job, std::size_t first, TurboSpace& w,
                 const Interrupt& interrupt) {
  HWY_DYNAMIC_DISPATCH(TurboGroup)(job, first, w, interrupt);
}

}  // namespace linkforge::duobinary_detail
#endif  // HWY_ONCE
