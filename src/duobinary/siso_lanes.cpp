// The circular double-binary decoder with the trellis in SIMD lanes, once per target.
//
// Each step of the recursions folds, for each of the eight states, its four candidates
// in the scalar decoder's order; here the eight states are lanes and the four folds run
// side by side. The outputs fold the eight states of each data symbol and the eight
// transitions of each parity symbol with the four symbols in lanes. Every lane adds and
// folds exactly as the scalar decoder does (the lane operators of max_star-inl.h equal
// the scalar ones bit for bit), so outputs and step counts are the same.
#include <algorithm>
#include <cstdint>

#include "duobinary/siso_detail.hpp"
#include "linkforge/max_star.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "duobinary/siso_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_DUOBINARY_SISO_LANES_SHARED
#define LINKFORGE_DUOBINARY_SISO_LANES_SHARED
namespace linkforge::duobinary_detail {

// Index tables of one trellis, as 32-bit lanes.
struct DuobinaryLaneTables {
  alignas(64) std::int32_t symbol[kDuobinaryTransitions];  // i & 3
  alignas(64) std::int32_t word[kDuobinaryTransitions];    // parity symbol of i
  alignas(64) std::int32_t prev[kDuobinaryTransitions];    // i >> 2
  alignas(64) std::int32_t next[kDuobinaryTransitions];    // successor of i
  // Candidate j of state s: backward transition 4s + j, forward the j-th into s.
  alignas(64) std::int32_t back[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t back_next[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t back_word[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t fwd[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t fwd_prev[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t fwd_symbol[kSymbols][kDuobinaryStates];
  alignas(64) std::int32_t fwd_word[kSymbols][kDuobinaryStates];
  // Member j of the group of parity symbol z.
  alignas(64) std::int32_t emit[kDuobinaryStates][kSymbols];
};

}  // namespace linkforge::duobinary_detail
#endif  // LINKFORGE_DUOBINARY_SISO_LANES_SHARED

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {

using namespace duobinary_detail;


template <int kOp>
class DuobinaryLaneSiso {
  using DS = hn::CappedTag<float, kDuobinaryStates>;  // states (or transitions) in lanes
  using DU = hn::CappedTag<float, kSymbols>;          // symbols in lanes
  using Op = MaxStarOp<kOp>;
  // With all eight states in one vector, the values a step needs are picked from
  // vectors by lane permutations; narrower targets gather them from memory.
  static constexpr bool kWhole = hn::MaxLanes(DS()) == kDuobinaryStates;

 public:
  DuobinaryLaneSiso(const DuobinaryLaneTables& t, const float* inx, const float* inz)
      : t_(t), inx_(inx), inz_(inz) {}

  // The symbol values of step t, symbol 0 contributing 0, and where the states are not
  // in one vector the branch metrics gamma_[i] = x[i & 3] + z[word[i]].
  HWY_INLINE void branch_metrics(std::size_t step) {
    for (int k = 1; k < kSymbols; ++k) {
      x_[k] = inx_[3 * step + k - 1];
      z_[k] = inz_[3 * step + k - 1];
    }
    if constexpr (!kWhole) {
      const DS ds;
      const hn::RebindToSigned<DS> di;
      for (int i = 0; i < kDuobinaryTransitions; i += static_cast<int>(hn::Lanes(ds))) {
        const auto xv = hn::GatherIndex(ds, x_, hn::Load(di, t_.symbol + i));
        const auto zv = hn::GatherIndex(ds, z_, hn::Load(di, t_.word + i));
        hn::Store(hn::Add(xv, zv), ds, gamma_ + i);
      }
    }
  }

  // acc[s] folds gamma(4s + j) + b1[next(4s + j)] over j.
  HWY_INLINE void backward_step(const float* b1) {
    if constexpr (kWhole) {
      const DS ds;
      const auto zv = hn::Load(ds, z_);
      const auto bv = hn::LoadU(ds, b1);
      auto a = hn::Set(ds, kDuobinaryMinusInfinity);
      for (int j = 0; j < kSymbols; ++j) {
        const auto g = hn::Add(hn::Set(ds, x_[j]), pick(zv, t_.back_word[j]));
        a = LaneMaxStar<kOp>::apply(ds, a, hn::Add(g, pick(bv, t_.back_next[j])));
      }
      hn::Store(a, ds, acc_);
    } else {
      fold_states(t_.back, t_.back_next, b1);
    }
  }

  // acc[s] folds gamma(i) + a0[i >> 2] over the transitions i into s.
  HWY_INLINE void forward_step(const float* a0) {
    if constexpr (kWhole) {
      const DS ds;
      const auto xv = hn::Load(ds, x_);
      const auto zv = hn::Load(ds, z_);
      const auto av = hn::LoadU(ds, a0);
      auto a = hn::Set(ds, kDuobinaryMinusInfinity);
      for (int j = 0; j < kSymbols; ++j) {
        const auto g = hn::Add(pick(xv, t_.fwd_symbol[j]), pick(zv, t_.fwd_word[j]));
        a = LaneMaxStar<kOp>::apply(ds, a, hn::Add(g, pick(av, t_.fwd_prev[j])));
      }
      hn::Store(a, ds, acc_);
    } else {
      fold_states(t_.fwd, t_.fwd_prev, a0);
    }
  }

  const float* acc() const { return acc_; }

  // The outputs of step t from the metrics either side of it.
  HWY_INLINE void outputs(std::size_t step, const float* a0, const float* b1, float* outx,
                          float* outz, float* soft) {
    const DS ds;
    const hn::RebindToSigned<DS> di;
    // alpha + beta first, then the branch: the scalar decoder's rounding order.
    for (int i = 0; i < kDuobinaryTransitions; i += static_cast<int>(hn::Lanes(ds))) {
      if constexpr (kWhole) {
        const auto g = hn::Add(pick(hn::Load(ds, x_), t_.symbol + i),
                               pick(hn::Load(ds, z_), t_.word + i));
        const auto ab = hn::Add(pick(hn::LoadU(ds, a0), t_.prev + i),
                                pick(hn::LoadU(ds, b1), t_.next + i));
        hn::Store(hn::Add(g, ab), ds, metric_ + i);
      } else {
        const auto ab = hn::Add(hn::GatherIndex(ds, a0, hn::Load(di, t_.prev + i)),
                                hn::GatherIndex(ds, b1, hn::Load(di, t_.next + i)));
        hn::Store(hn::Add(hn::Load(ds, gamma_ + i), ab), ds, metric_ + i);
      }
    }
    const DU du;
    const hn::RebindToSigned<DU> dui;
    alignas(64) float p[kSymbols];
    alignas(64) float q[kSymbols];
    for (int u = 0; u < kSymbols; u += static_cast<int>(hn::Lanes(du))) {
      auto a = hn::Set(du, kDuobinaryMinusInfinity);
      for (int s = 0; s < kDuobinaryStates; ++s) {
        a = LaneMaxStar<kOp>::apply(du, a, hn::LoadU(du, metric_ + 4 * s + u));
      }
      hn::Store(a, du, p + u);
      auto b = hn::Set(du, kDuobinaryMinusInfinity);
      for (int j = 0; j < kDuobinaryStates; ++j) {
        b = LaneMaxStar<kOp>::apply(du, b,
                                    hn::GatherIndex(du, metric_, hn::LoadU(dui, t_.emit[j] + u)));
      }
      hn::Store(b, du, q + u);
    }
    for (int k = 1; k < kSymbols; ++k) outx[3 * step + k - 1] = p[k] - p[0];
    soft[2 * step] = Op::apply(p[2], p[3]) - Op::apply(p[0], p[1]);
    soft[2 * step + 1] = Op::apply(p[1], p[3]) - Op::apply(p[0], p[2]);
    for (int k = 1; k < kSymbols; ++k) outz[3 * step + k - 1] = q[k] - q[0];
  }

 private:
  // Lane s of the result is lane index[s] of v.
  template <class V>
  static HWY_INLINE V pick(V v, const std::int32_t* index) {
    const DS ds;
    const hn::RebindToSigned<DS> di;
    return hn::TableLookupLanes(v, hn::IndicesFromVec(ds, hn::Load(di, index)));
  }

  HWY_INLINE void fold_states(const std::int32_t (*branch)[kDuobinaryStates],
                              const std::int32_t (*state)[kDuobinaryStates], const float* row) {
    const DS ds;
    const hn::RebindToSigned<DS> di;
    for (int s = 0; s < kDuobinaryStates; s += static_cast<int>(hn::Lanes(ds))) {
      auto a = hn::Set(ds, kDuobinaryMinusInfinity);
      for (int j = 0; j < kSymbols; ++j) {
        const auto g = hn::GatherIndex(ds, gamma_, hn::Load(di, branch[j] + s));
        const auto m = hn::GatherIndex(ds, row, hn::Load(di, state[j] + s));
        a = LaneMaxStar<kOp>::apply(ds, a, hn::Add(g, m));
      }
      hn::Store(a, ds, acc_ + s);
    }
  }

  const DuobinaryLaneTables& t_;
  const float* inx_;
  const float* inz_;
  alignas(64) float x_[kDuobinaryStates] = {};  // lanes 4..7 stay 0
  alignas(64) float z_[kDuobinaryStates] = {};
  alignas(64) float gamma_[kDuobinaryTransitions];
  alignas(64) float metric_[kDuobinaryTransitions];
  alignas(64) float acc_[kDuobinaryStates];
};

// The scalar decoder's laps and stopping rule over the lane steps.
template <int kOp>
DuobinaryRecursionSteps RunLaneSiso(const DuobinaryLaneTables& t, const float* inx,
                                    const float* inz, float* outx, float* outz, float* soft,
                                    std::size_t N, float* alpha, float* beta,
                                    const Interrupt& interrupt) {
  constexpr int S = kDuobinaryStates;
  DuobinaryRecursionSteps steps;
  DuobinaryLaneSiso<kOp> siso(t, inx, inz);
  InterruptPacer pacer(interrupt);

  steps.backward = round_the_block(
      N, true,
      [&](std::size_t step, int lap) {
        pacer.add(kDuobinaryTransitions);
        siso.branch_metrics(step);
        siso.backward_step(beta + (step + 1) * S);
        return store_renormalised(siso.acc(), beta + step * S) && lap >= 1;
      },
      [&] { std::copy_n(beta, S, beta + N * S); });

  steps.forward = round_the_block(
      N, false,
      [&](std::size_t step, int lap) {
        pacer.add(kDuobinaryTransitions);
        siso.branch_metrics(step);
        siso.forward_step(alpha + step * S);
        return store_renormalised(siso.acc(), alpha + (step + 1) * S) && lap >= 1;
      },
      [&] { std::copy_n(alpha + N * S, S, alpha); });

  for (std::size_t step = 0; step < N; ++step) {
    pacer.add(2 * kDuobinaryTransitions);
    siso.branch_metrics(step);
    siso.outputs(step, alpha + step * S, beta + (step + 1) * S, outx, outz, soft);
  }
  return steps;
}

DuobinaryRecursionSteps CircularSisoLanes(int dec_type, const DuobinaryLaneTables& t,
                                          const float* inx, const float* inz, float* outx,
                                          float* outz, float* soft, std::size_t N, float* alpha,
                                          float* beta, const Interrupt& interrupt) {
  switch (dec_type) {
    case 0: return RunLaneSiso<0>(t, inx, inz, outx, outz, soft, N, alpha, beta, interrupt);
    case 1: return RunLaneSiso<1>(t, inx, inz, outx, outz, soft, N, alpha, beta, interrupt);
    case 2: return RunLaneSiso<2>(t, inx, inz, outx, outz, soft, N, alpha, beta, interrupt);
    case 3: return RunLaneSiso<3>(t, inx, inz, outx, outz, soft, N, alpha, beta, interrupt);
    default: return RunLaneSiso<4>(t, inx, inz, outx, outz, soft, N, alpha, beta, interrupt);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

HWY_EXPORT(CircularSisoLanes);

namespace duobinary_detail {

DuobinaryRecursionSteps circular_siso_lanes(int dec_type, const float* inx, const float* inz,
                                            float* outx, float* outz, float* soft, std::size_t N,
                                            const int* next, const int* word, const Groups& into,
                                            const Groups& emit, float* alpha, float* beta,
                                            const Interrupt& interrupt) {
  DuobinaryLaneTables t;
  for (int i = 0; i < kDuobinaryTransitions; ++i) {
    t.symbol[i] = i & 3;
    t.word[i] = word[i];
    t.prev[i] = i >> 2;
    t.next[i] = next[i];
  }
  for (int j = 0; j < kSymbols; ++j) {
    for (int s = 0; s < kDuobinaryStates; ++s) {
      t.back[j][s] = 4 * s + j;
      t.back_next[j][s] = next[4 * s + j];
      t.fwd[j][s] = into.order[static_cast<std::size_t>(4 * s + j)];
      t.fwd_prev[j][s] = t.fwd[j][s] >> 2;
      t.back_word[j][s] = word[4 * s + j];
      t.fwd_symbol[j][s] = t.fwd[j][s] & 3;
      t.fwd_word[j][s] = word[t.fwd[j][s]];
    }
  }
  for (int j = 0; j < kDuobinaryStates; ++j) {
    for (int z = 0; z < kSymbols; ++z) {
      t.emit[j][z] = emit.order[static_cast<std::size_t>(8 * z + j)];
    }
  }
  return HWY_DYNAMIC_DISPATCH(CircularSisoLanes)(dec_type, t, inx, inz, outx, outz, soft, N,
                                                 alpha, beta, interrupt);
}

}  // namespace duobinary_detail
}  // namespace linkforge
#endif  // HWY_ONCE
