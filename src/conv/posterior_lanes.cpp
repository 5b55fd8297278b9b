// The forward-backward recursion of trellis_posterior with the states in SIMD lanes,
// once per target.
//
// The backward and forward steps compute every state's metric exactly as the scalar
// decoder does (same operands, same order of additions, same operator), states side by
// side. The outputs of a step fold the branch sums p(2s + b) into 2 + 2n accumulators,
// each a sequential fold over its branches in rising order that cannot be reordered;
// here each accumulator is a lane, and position t of every lane folds the t-th branch
// of that accumulator, so every lane still folds its own branches in the scalar order.
// Accumulators with the same branches (a systematic code's first code bit is the data
// bit) share a lane, and the operators computed in double precision fold the
// accumulators of several steps side by side. The lane operators of max_star-inl.h
// equal the scalar ones bit for bit, so all outputs are the scalar decoder's.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "conv/posterior_lanes.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/scratch.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "conv/posterior_lanes.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_CONV_POSTERIOR_LANES_SHARED
#define LINKFORGE_CONV_POSTERIOR_LANES_SHARED
namespace linkforge::posterior_detail {

// One call: sizes, index tables (32-bit lanes), inputs, outputs and working rows.
struct LanePlan {
  std::size_t S = 0;      // states
  std::size_t n = 0;      // code bits per step
  std::size_t words = 0;  // output words, 2^n
  std::size_t L = 0;      // data bits
  std::size_t steps = 0;  // L + m
  // By state s: output word and successor of its branch of data bit 0 and of data bit 1.
  const std::int32_t* word0 = nullptr;
  const std::int32_t* word1 = nullptr;
  const std::int32_t* next0 = nullptr;
  const std::int32_t* next1 = nullptr;
  // By state: output word, source state and data bit (all ones for 1) of its first and
  // second incoming branch.
  const std::int32_t* in_word[2] = {};
  const std::int32_t* in_prev[2] = {};
  const std::int32_t* in_bit[2] = {};
  // Output folds: `positions` rows of kFoldLanes branch indices; lane c of row t is the
  // t-th branch accumulator c folds, or the index 2S of a value that leaves a lane's
  // work small (an accumulator that has fewer branches, a lane beyond the `folds`
  // accumulators). `uneven` when the accumulators' branch counts differ; then
  // fold_length holds the count of each lane, and lanes past their count keep their
  // value.
  std::size_t folds = 0;
  std::size_t positions = 0;
  bool uneven = false;
  const std::int32_t* fold_branch = nullptr;
  const std::int32_t* fold_length = nullptr;
  // The same for the folds of several steps at once, filled by the lanes code.
  std::int32_t* batch_branch = nullptr;
  std::int32_t* batch_length = nullptr;
  // Accumulators of the outputs: the data bit's and, with code-bit outputs, code bit i's.
  std::int32_t num_u = 0, den_u = 0;
  const std::int32_t* num_c = nullptr;
  const std::int32_t* den_c = nullptr;

  const float* input_u = nullptr;
  const float* input_c = nullptr;
  float* output_u = nullptr;
  float* output_c = nullptr;  // null: no code-bit outputs

  float* beta = nullptr;        // (steps + 1) rows of S backward metrics
  float* gamma = nullptr;       // branch metrics by output word, zero-padded to a vector
  float* branch = nullptr;      // 2 kFoldLanes rows of 2S branch sums of a step and an
                                // extra value (-1e30)
  float* alpha = nullptr;       // S forward metrics
  float* alpha_next = nullptr;  // S
  float* acc = nullptr;         // kFoldLanes accumulators
};

}  // namespace linkforge::posterior_detail
#endif  // LINKFORGE_CONV_POSTERIOR_LANES_SHARED

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using posterior_detail::kFoldLanes;
using posterior_detail::LanePlan;

// Folds rows [begin, end) of an index table (rows of kFoldLanes) into the accumulators
// at acc, one lane each, reading the branch sums from `sums`; row 0 starts from -1e7.
// Where `uneven`, lanes past their length keep their value.
template <int kOp, class DC>
HWY_NOINLINE void Fold(const std::int32_t* index, const std::int32_t* length, bool uneven,
                       const float* sums, std::size_t begin, std::size_t end, float* acc) {
  const DC dc;
  const hn::RebindToSigned<DC> di;
  auto a = begin == 0 ? hn::Set(dc, kTrellisMinusInfinity) : hn::LoadU(dc, acc);
  const auto lanes_length = hn::LoadU(di, length);
  for (std::size_t t = begin; t < end; ++t) {
    const auto v = hn::GatherIndex(dc, sums, hn::LoadU(di, index + t * kFoldLanes));
    const auto folded = LaneMaxStar<kOp>::apply(dc, v, a);
    if (!uneven) {
      a = folded;
    } else {
      const auto active = hn::Lt(hn::Set(di, static_cast<std::int32_t>(t)), lanes_length);
      a = hn::IfThenElse(hn::RebindMask(dc, active), folded, a);
    }
  }
  hn::StoreU(a, dc, acc);
}

// The branch sums of one step (p.branch) into p.acc, fold vectors of DC at a time.
template <int kOp, class DC>
HWY_NOINLINE void FoldBranches(const LanePlan& p) {
  const std::size_t W = hn::Lanes(DC());
  for (std::size_t q = 0; q < p.folds; q += W) {
    Fold<kOp, DC>(p.fold_branch + q, p.fold_length + q, p.uneven, p.branch, 0, p.positions,
                  p.acc + q);
  }
}

// The whole recursion with the states in vectors of D; S is a multiple of Lanes(D).
template <int kOp, class D>
HWY_NOINLINE void RunPosterior(const LanePlan& p, const Interrupt& interrupt) {
  using V = hn::Vec<D>;
  const D d;
  const hn::RebindToSigned<D> di;
  const std::size_t N = hn::Lanes(d);
  const std::size_t S = p.S, n = p.n, L = p.L, steps = p.steps;
  // Where the words fit in a vector, the branch metrics are formed in one and picked
  // from it; otherwise they are formed in memory and gathered.
  const bool words_in_vector = p.words <= N;
  // Where a row of states is one vector, the rows stay in registers from step to step,
  // values of the other side of a step are picked by lane permutations, and so are the
  // branch sums of the output folds if the accumulators fit in a vector.
  const bool states_in_vector = S == N;
  const bool folds_in_vector = states_in_vector && p.folds <= N;
  const auto op = [d](V a, V b) { return LaneMaxStar<kOp>::apply(d, a, b); };
  const auto indices = [&](const std::int32_t* index) {
    return hn::IndicesFromVec(d, hn::LoadU(di, index));
  };
  const auto bit_one = [&](const std::int32_t* mask) {
    return hn::MaskFromVec(hn::BitCast(d, hn::LoadU(di, mask)));
  };
  // Branch metrics of step k by output word, added in the order of branch_metrics: a
  // word's values from its lowest set bit up, starting from 0.
  const auto word_values = [&](std::size_t k) {
    const float* values = p.input_c + k * n;
    if (!words_in_vector) {
      branch_metrics({values, n}, p.gamma);
      return hn::Zero(d);
    }
    const auto lane = hn::Iota(di, 0);
    V g = hn::Zero(d);
    for (std::size_t b = 0; b < n; ++b) {
      const auto has_bit =
          hn::RebindMask(d, hn::TestBit(lane, hn::Set(di, static_cast<std::int32_t>(1) << b)));
      g = hn::IfThenElse(has_bit, g + hn::Set(d, values[n - 1 - b]), g);
    }
    return g;
  };
  const auto pick_word = [&](V word_vector, const std::int32_t* index) {
    return words_in_vector ? hn::TableLookupLanes(word_vector, indices(index))
                           : hn::GatherIndex(d, p.gamma, hn::LoadU(di, index));
  };
  const auto pick_state = [&](V row_vector, const float* row, const std::int32_t* index) {
    return states_in_vector ? hn::TableLookupLanes(row_vector, indices(index))
                            : hn::GatherIndex(d, row, hn::LoadU(di, index));
  };
  void (*const fold)(const LanePlan&) = p.folds <= 4 ? &FoldBranches<kOp, hn::CappedTag<float, 4>>
                                                     : &FoldBranches<kOp, hn::CappedTag<float, 8>>;
  // The outputs of step k from its accumulators.
  const auto write_outputs = [&](std::size_t k, const float* acc) {
    if (k < L) p.output_u[k] = acc[p.num_u] - acc[p.den_u];
    if (p.output_c != nullptr) {
      for (std::size_t i = 0; i < n; ++i) p.output_c[k * n + i] = acc[p.num_c[i]] - acc[p.den_c[i]];
    }
  };
  // The operators with a correction in double precision, whose vector operations cost
  // about the same however many lanes are needed, fold `batch` steps at once (lane
  // g * folds + c: accumulator c of the g-th step), from rows of 2S + 1 branch sums in
  // one of two sets of rows. While the steps of one set are computed, the fold of the
  // other advances a few rows per step, in the shadow of the recursion.
  using DB = hn::CappedTag<float, kFoldLanes>;
  constexpr bool kCostly = kOp == 0 || kOp == 3 || kOp == 4;
  const std::size_t row_size = 2 * S + 1;
  const std::size_t batch = kCostly && p.folds <= hn::Lanes(DB()) ? hn::Lanes(DB()) / p.folds : 0;
  if (batch != 0) {
    for (std::size_t lane = 0; lane < kFoldLanes; ++lane) {
      const std::size_t g = lane / p.folds, c = lane % p.folds;
      const bool used = g < batch;
      p.batch_length[lane] = used ? p.fold_length[c] : 0;
      for (std::size_t t = 0; t < p.positions; ++t) {
        p.batch_branch[t * kFoldLanes + lane] =
            used ? static_cast<std::int32_t>(g * row_size) + p.fold_branch[t * kFoldLanes + c]
                 : static_cast<std::int32_t>(2 * S);
      }
    }
  }
  std::size_t filling = 0;     // steps whose sums are in the set being filled
  std::size_t folding = 0;     // steps of the other set, 0 when it has none
  std::size_t folded = 0;      // rows of the table its fold has done
  std::size_t fold_first = 0;  // its first step
  float* fill_rows = p.branch;
  float* fold_rows = p.branch + kFoldLanes * row_size;
  const auto fold_rows_to = [&](std::size_t end) {
    Fold<kOp, DB>(p.batch_branch, p.batch_length, p.uneven, fold_rows, folded, end, p.acc);
    folded = end;
  };
  const auto finish_fold = [&] {
    if (folding == 0) return;
    fold_rows_to(p.positions);
    for (std::size_t g = 0; g < folding; ++g) write_outputs(fold_first + g, p.acc + g * p.folds);
    folding = 0;
  };
  InterruptPacer pacer(interrupt);
  const auto first_lane = hn::FirstN(d, 1);

  float* b = p.beta + steps * S;
  std::fill_n(b, S, kTrellisMinusInfinity);
  b[0] = 0.0f;
  V row = hn::LoadU(d, b);  // the row after the step, where it is one vector
  for (std::size_t k = steps; k-- > 0;) {
    pacer.add(2 * S);
    const V a = hn::Set(d, k < L ? p.input_u[k] : 0.0f);
    const V gv = word_values(k);
    float* bk = p.beta + k * S;
    const float* bk1 = bk + S;
    if (states_in_vector) {
      const V x0 = pick_word(gv, p.word0) + pick_state(row, bk1, p.next0);
      const V x1 = (pick_word(gv, p.word1) + pick_state(row, bk1, p.next1)) + a;
      const V r = op(x0, x1);
      row = hn::IfThenElseZero(hn::Not(first_lane), r - hn::Set(d, hn::GetLane(r)));
      hn::StoreU(row, d, bk);
      continue;
    }
    for (std::size_t s = 0; s < S; s += N) {
      const V x0 = pick_word(gv, p.word0 + s) + pick_state(row, bk1, p.next0 + s);
      const V x1 = (pick_word(gv, p.word1 + s) + pick_state(row, bk1, p.next1 + s)) + a;
      hn::StoreU(op(x0, x1), d, bk + s);
    }
    const V b0 = hn::Set(d, bk[0]);
    for (std::size_t s = 0; s < S; s += N) hn::StoreU(hn::LoadU(d, bk + s) - b0, d, bk + s);
    bk[0] = 0.0f;
  }

  const V minus_infinity = hn::Set(d, kTrellisMinusInfinity);
  std::fill_n(p.alpha, S, kTrellisMinusInfinity);
  p.alpha[0] = 0.0f;
  V alpha = hn::LoadU(d, p.alpha);  // the row before the step, where it is one vector
  // Without code-bit outputs the tail steps have nothing to give.
  const std::size_t last = p.output_c != nullptr ? steps : L;
  for (std::size_t k = 0; k < last; ++k) {
    pacer.add(4 * S);
    const V a = hn::Set(d, k < L ? p.input_u[k] : 0.0f);
    const V gv = word_values(k);
    for (std::size_t to = 0; to < S; to += N) {
      V c0 = pick_word(gv, p.in_word[0] + to) + pick_state(alpha, p.alpha, p.in_prev[0] + to);
      c0 = hn::IfThenElse(bit_one(p.in_bit[0] + to), c0 + a, c0);
      V c1 = pick_word(gv, p.in_word[1] + to) + pick_state(alpha, p.alpha, p.in_prev[1] + to);
      c1 = hn::IfThenElse(bit_one(p.in_bit[1] + to), c1 + a, c1);
      hn::StoreU(op(c1, op(c0, minus_infinity)), d, p.alpha_next + to);
    }

    const float* bk1 = p.beta + (k + 1) * S;
    const V after = states_in_vector ? hn::LoadU(d, bk1) : hn::Zero(d);
    if (batch != 0) {
      float* sums = fill_rows + filling * row_size;
      for (std::size_t s = 0; s < S; s += N) {
        const V al = states_in_vector ? alpha : hn::LoadU(d, p.alpha + s);
        const V p0 = (pick_word(gv, p.word0 + s) + al) + pick_state(after, bk1, p.next0 + s);
        const V p1 = ((pick_word(gv, p.word1 + s) + al) + pick_state(after, bk1, p.next1 + s)) + a;
        hn::StoreInterleaved2(p0, p1, d, sums + 2 * s);
      }
      ++filling;
      if (folding != 0) fold_rows_to(std::max(folded, p.positions * filling / batch));
      if (filling == batch || k + 1 == last) {
        finish_fold();
        std::swap(fill_rows, fold_rows);
        folding = filling;
        fold_first = k + 1 - filling;
        folded = 0;
        filling = 0;
      }
    } else if (folds_in_vector) {
      const V p0 = (pick_word(gv, p.word0) + alpha) + pick_state(after, bk1, p.next0);
      const V p1 = ((pick_word(gv, p.word1) + alpha) + pick_state(after, bk1, p.next1)) + a;
      // Lane c of position t: branch j of the t-th row, p0 or p1 of state j / 2.
      V acc = minus_infinity;
      const std::int32_t* index = p.fold_branch;
      const auto length = hn::LoadU(di, p.fold_length);
      const auto state_bits = hn::Set(di, static_cast<std::int32_t>(N - 1));
      for (std::size_t t = 0; t < p.positions; ++t, index += kFoldLanes) {
        const auto j = hn::LoadU(di, index);
        const auto state = hn::IndicesFromVec(d, hn::And(hn::ShiftRight<1>(j), state_bits));
        const auto odd = hn::RebindMask(d, hn::TestBit(j, hn::Set(di, 1)));
        const V v =
            hn::IfThenElse(odd, hn::TableLookupLanes(p1, state), hn::TableLookupLanes(p0, state));
        const V folded = op(v, acc);
        acc =
            p.uneven
                ? hn::IfThenElse(
                      hn::RebindMask(d, hn::Lt(hn::Set(di, static_cast<std::int32_t>(t)), length)),
                      folded, acc)
                : folded;
      }
      hn::StoreU(acc, d, p.acc);
    } else {
      for (std::size_t s = 0; s < S; s += N) {
        const V al = hn::LoadU(d, p.alpha + s);
        const V p0 = (pick_word(gv, p.word0 + s) + al) + pick_state(after, bk1, p.next0 + s);
        const V p1 = ((pick_word(gv, p.word1 + s) + al) + pick_state(after, bk1, p.next1 + s)) + a;
        hn::StoreInterleaved2(p0, p1, d, p.branch + 2 * s);
      }
      fold(p);
    }
    if (batch == 0) write_outputs(k, p.acc);
    if (states_in_vector) {
      const V next = hn::LoadU(d, p.alpha_next);
      alpha = next - hn::Set(d, hn::GetLane(next));
      hn::StoreU(alpha, d, p.alpha);
      continue;
    }
    const V a0 = hn::Set(d, p.alpha_next[0]);
    for (std::size_t s = 0; s < S; s += N) {
      hn::StoreU(hn::LoadU(d, p.alpha_next + s) - a0, d, p.alpha + s);
    }
  }
  finish_fold();
}

template <int kOp>
void RunWithOperator(const LanePlan& p, const Interrupt& interrupt) {
  // The widest state vectors that a row fills (S >= 4 always fills four lanes).
  if (p.S >= hn::Lanes(hn::ScalableTag<float>())) {
    return RunPosterior<kOp, hn::ScalableTag<float>>(p, interrupt);
  }
  if (p.S >= hn::Lanes(hn::CappedTag<float, 8>())) {
    return RunPosterior<kOp, hn::CappedTag<float, 8>>(p, interrupt);
  }
  return RunPosterior<kOp, hn::CappedTag<float, 4>>(p, interrupt);
}

void PosteriorLanes(int type, const LanePlan& p, const Interrupt& interrupt) {
  switch (type) {
    case 0:
      return RunWithOperator<0>(p, interrupt);
    case 1:
      return RunWithOperator<1>(p, interrupt);
    case 2:
      return RunWithOperator<2>(p, interrupt);
    case 3:
      return RunWithOperator<3>(p, interrupt);
    default:
      return RunWithOperator<4>(p, interrupt);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge::posterior_detail {

HWY_EXPORT(PosteriorLanes);

void posterior_lanes(const float* input_u, const float* input_c, std::size_t L, const Trellis& t,
                     int decoder_type, float* output_u, float* output_c,
                     const Interrupt& interrupt) {
  LanePlan p;
  const std::size_t S = static_cast<std::size_t>(t.num_states);
  const std::size_t n = static_cast<std::size_t>(t.n);
  p.S = S;
  p.n = n;
  p.words = static_cast<std::size_t>(t.num_words);
  p.L = L;
  p.steps = L + static_cast<std::size_t>(t.m);

  // The accumulators: the branches of data bit 0 and of data bit 1 and, per code bit
  // i, the branches whose word sets it and those whose word does not, each folded in
  // rising order. Accumulator a of the 2 + 2n takes branch j when member(a, j);
  // accumulators of the same branches share a lane.
  const auto member = [&](std::size_t a, std::size_t j) {
    if (a < 2) return j % 2 == a;
    const std::size_t bit = n - 1 - (a - 2) % n;
    const int word = j % 2 != 0 ? t.out1[j / 2] : t.out0[j / 2];
    return (((word >> bit) & 1) != 0) == (a < 2 + n);
  };
  const std::size_t accumulators = output_c != nullptr ? 2 + 2 * n : 2;
  std::int32_t lane_of[2 + 2 * kFoldLanes] = {};
  std::size_t first_of_lane[kFoldLanes] = {};
  std::int32_t length[kFoldLanes] = {};
  for (std::size_t a = 0; a < accumulators; ++a) {
    std::size_t lane = 0;
    while (lane < p.folds) {
      bool same = true;
      for (std::size_t j = 0; j < 2 * S && same; ++j) {
        same = member(a, j) == member(first_of_lane[lane], j);
      }
      if (same) break;
      ++lane;
    }
    if (lane == p.folds) {
      first_of_lane[p.folds++] = a;
      for (std::size_t j = 0; j < 2 * S; ++j) length[lane] += member(a, j);
      p.positions = std::max(p.positions, static_cast<std::size_t>(length[lane]));
      p.uneven = p.uneven || length[lane] != length[0];
    }
    lane_of[a] = static_cast<std::int32_t>(lane);
  }

  // Index tables, one allocation: 10 rows of S, the fold tables and their lengths.
  std::vector<std::int32_t> tables(10 * S + 2 * (p.positions + 1) * kFoldLanes,
                                   static_cast<std::int32_t>(2 * S));
  std::int32_t* row = tables.data();
  const auto next_row = [&] {
    std::int32_t* r = row;
    row += S;
    return r;
  };
  std::int32_t* word0 = next_row();
  std::int32_t* word1 = next_row();
  std::int32_t* next0 = next_row();
  std::int32_t* next1 = next_row();
  std::int32_t* in_word[2] = {next_row(), next_row()};
  std::int32_t* in_prev[2] = {next_row(), next_row()};
  std::int32_t* in_bit[2] = {next_row(), next_row()};
  for (std::size_t s = 0; s < S; ++s) {
    word0[s] = t.out0[s];
    word1[s] = t.out1[s];
    next0[s] = t.next0[s];
    next1[s] = t.next1[s];
    for (std::size_t j = 0; j < 2; ++j) {
      in_word[j][s] = t.in_word[2 * s + j];
      in_prev[j][s] = t.in_state[2 * s + j];
      in_bit[j][s] = t.in_bit[2 * s + j] != 0 ? -1 : 0;
    }
  }
  std::int32_t* fold_branch = row;
  std::int32_t* fold_length = row + p.positions * kFoldLanes;
  std::copy_n(length, kFoldLanes, fold_length);
  for (std::size_t lane = 0; lane < p.folds; ++lane) {
    std::size_t position = 0;
    for (std::size_t j = 0; j < 2 * S; ++j) {
      if (member(first_of_lane[lane], j)) {
        fold_branch[position++ * kFoldLanes + lane] = static_cast<std::int32_t>(j);
      }
    }
  }
  p.word0 = word0;
  p.word1 = word1;
  p.next0 = next0;
  p.next1 = next1;
  for (std::size_t j = 0; j < 2; ++j) {
    p.in_word[j] = in_word[j];
    p.in_prev[j] = in_prev[j];
    p.in_bit[j] = in_bit[j];
  }
  p.fold_branch = fold_branch;
  p.fold_length = fold_length;
  p.batch_branch = fold_length + kFoldLanes;
  p.batch_length = p.batch_branch + p.positions * kFoldLanes;
  p.den_u = lane_of[0];
  p.num_u = lane_of[1];
  p.num_c = lane_of + 2;
  p.den_c = lane_of + 2 + n;

  // Float rows, one allocation: branch metrics by word (padded to the widest vector),
  // the branch sums and their extra value, two state rows and the accumulators.
  const std::size_t gamma_size = std::max(p.words, HWY_MAX_BYTES / sizeof(float));
  const std::size_t branch_rows = 2 * kFoldLanes;
  std::vector<float> rows(gamma_size + branch_rows * (2 * S + 1) + 2 * S + kFoldLanes, 0.0f);
  p.gamma = rows.data();
  p.branch = p.gamma + gamma_size;
  // The extra value of every row, read by lanes that have no branch to fold (they keep
  // their value by a mask, or are not read): far below any accumulator, it keeps the
  // exact operator on its shortcut.
  for (std::size_t g = 0; g < branch_rows; ++g) p.branch[g * (2 * S + 1) + 2 * S] = -1e30f;
  p.alpha = p.branch + branch_rows * (2 * S + 1);
  p.alpha_next = p.alpha + S;
  p.acc = p.alpha_next + S;

  // The largest array, reused from call to call; every row is written before it is read.
  const ScratchBlock beta_block((p.steps + 1) * S * sizeof(float));
  p.beta = beta_block.as<float>((p.steps + 1) * S).data();
  p.input_u = input_u;
  p.input_c = input_c;
  p.output_u = output_u;
  p.output_c = output_c;
  HWY_DYNAMIC_DISPATCH(PosteriorLanes)(decoder_type, p, interrupt);
}

}  // namespace linkforge::posterior_detail
#endif  // HWY_ONCE
