// Whole Viterbi decoder: the frames of a call run in groups of W, one frame per SIMD lane
// (W = the single-precision lanes of the target), and the groups run on several threads.
// Within a lane every operation is the one trellis_best_path (or its circular form)
// performs for that frame, in the same order and precision, so each frame's decisions do
// not depend on the target, the group it falls in or the thread count.
//
// Working arrays of a group, lane fastest (row r holds value r of the W frames):
//   input      in_steps x n   channel values, single precision
//   values     2^n or 2S      branch values of the current step, by output word or, when
//                             there are more words than branches, by incoming branch
//   metric     2 x S          path metrics before renormalisation, this step and the next
//   survivors  rows x S x 2   per recorded step and state two lane masks (W bits each):
//                             whether the first incoming branch beat the start value
//                             -1e7, and whether the second beat what was stored
//   sure       rows           per recorded step: 1 when every first branch of every lane
//                             is known to have beaten -1e7 (its masks are then not stored)
//
// Renormalisation: the per-frame decoder subtracts the larger of 0 and the best metric
// from every metric after each step. Here a step keeps its metrics as they come out of
// add-compare-select with that maximum beside them, and the next step subtracts it as it
// loads them: the same subtraction of the same operands, one pass fewer.
//
// Sure steps: a first branch loses to the start value only when its candidate metric is
// at most -1e7, which after the first steps of a block takes channel values of enormous
// magnitude. Every lane carries a lower bound of its path metrics (metrics after
// renormalisation are never below fl(lowest best - maximum), and candidates never below
// fl(bound + least branch value), rounding being monotonic). When the bound plus every
// branch value of the step exceeds -1e7 in every lane, the first comparison cannot fail
// and the step skips it, with results identical to the full step. The bound is set to
// the exact lowest metric every kBoundPeriod steps, so that it stays tight.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "hwy/aligned_allocator.h"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/viterbi.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "conv/best_path_batch.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"

#ifndef LINKFORGE_CONV_BEST_PATH_BATCH_SHARED
#define LINKFORGE_CONV_BEST_PATH_BATCH_SHARED
namespace linkforge::viterbi_detail {

// Floats at an address aligned for any target's vectors, held in a std::vector (so
// that the allocation is an ordinary one).
class Floats {
 public:
  static constexpr std::size_t kPad = HWY_ALIGNMENT / sizeof(float);

  Floats() = default;
  explicit Floats(std::size_t count) : storage_(count + kPad) {
    void* p = storage_.data();
    std::size_t space = storage_.size() * sizeof(float);
    data_ = static_cast<float*>(std::align(HWY_ALIGNMENT, count * sizeof(float), p, space));
  }
  float* get() const noexcept { return data_; }

 private:
  std::vector<float> storage_;
  float* data_ = nullptr;
};

struct Workspace {
  Floats input, values, metric, next;
  std::vector<std::uint8_t> survivors, sure;
  std::vector<int> state;  // traceback state of each lane
};

struct Job {
  const FrameView<const double>* input;
  const FrameView<double>* output;
  const Trellis* trellis;
  bool ring;
  std::size_t F, L, n, S;
  std::size_t depth;      // ring: wrap-around steps before and after the block
  std::size_t in_steps;   // steps of channel values per frame
  std::size_t rows;       // recorded steps
  std::size_t W, mask_bytes, row_bytes;
  bool by_word;           // branch values per output word (else per incoming branch)
  std::size_t value_rows;
  std::vector<std::uint32_t> value_row;  // incoming branch j: its row of branch values
  int threads;
};

// Steps between two exact lower bounds of the path metrics.
constexpr std::size_t kBoundPeriod = 32;

// Sizes shared by the job and the memory estimate.
struct Sizes {
  std::size_t in_steps, rows, value_rows;
  bool by_word;
};

inline Sizes sizes(int K, int n, std::size_t L, const ViterbiParams& p) {
  const auto m = static_cast<std::size_t>(K - 1);
  const std::size_t S = std::size_t{1} << m;
  Sizes s{};
  const bool ring = p.block_end == BlockEnd::kTailBiting;
  s.in_steps = ring ? L : L + m;
  s.rows = ring ? L + p.depth_steps : L + m;
  // Branch values by word while there are no more words than incoming branches.
  s.by_word = static_cast<std::size_t>(n) < 63 && (std::uint64_t{1} << n) <= 2 * S;
  s.value_rows = s.by_word ? std::size_t{1} << n : 2 * S;
  return s;
}

}  // namespace linkforge::viterbi_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace viterbi_detail;

using DF = hn::ScalableTag<float>;
using V = hn::Vec<DF>;

// c > b ? c : b in every lane, the survivor rule of the per-frame decoder (a NaN c never
// wins). The x86 maximum instructions are defined as exactly that.
HWY_INLINE V Larger(V c, V b) {
#if HWY_ARCH_X86 && HWY_TARGET != HWY_EMU128 && HWY_TARGET != HWY_SCALAR
  return hn::Max(c, b);
#else
  return hn::IfThenElse(hn::Gt(c, b), c, b);
#endif
}

// The lesser of two values that are not NaN.
HWY_INLINE V Lesser(V a, V b) {
  return hn::IfThenElse(hn::Lt(a, b), a, b);
}

// Elements 0..count-1 of frames first..first+W-1 into rows of W floats (row k holds
// element k of each frame), zeros beyond the last frame. The loops run along the view's
// shorter stride.
void gather(const FrameView<const double>& v, std::size_t first, std::size_t W,
            std::size_t count, float* HWY_RESTRICT rows) {
  const std::size_t valid = std::min(W, v.frames - first);
  if (valid < W) std::fill_n(rows, count * W, 0.0f);
  if (std::abs(v.frame_stride) <= std::abs(v.element_stride)) {
    for (std::size_t k = 0; k < count; ++k) {
      const double* in = &v(first, k);
      for (std::size_t j = 0; j < valid; ++j) {
        rows[k * W + j] = static_cast<float>(in[static_cast<std::ptrdiff_t>(j) * v.frame_stride]);
      }
    }
  } else {
    for (std::size_t j = 0; j < valid; ++j) {
      const double* in = &v(first + j, 0);
      for (std::size_t k = 0; k < count; ++k) {
        rows[k * W + j] = static_cast<float>(in[static_cast<std::ptrdiff_t>(k) * v.element_stride]);
      }
    }
  }
}

class ViterbiGroupDecoder {
 public:
  ViterbiGroupDecoder(const Job& job, Workspace& w)
      : job_(job),
        t_(*job.trellis),
        w_(w),
        S_(job.S),
        W_(hn::Lanes(DF())),
        value_row_(job.value_row.data()) {}

  void run(std::size_t group, const Interrupt& interrupt) {
    const DF df;
    const std::size_t first = group * W_;
    const std::size_t valid = std::min(W_, job_.F - first);
    InterruptPacer pacer(interrupt);
    gather(*job_.input, first, W_, job_.in_steps * job_.n, w_.input.get());
    float* metric = w_.metric.get();
    float* next = w_.next.get();
    const V minus = hn::Set(df, kTrellisMinusInfinity);
    // Metrics before the first step; subtracting +0.0 leaves them as they are.
    for (std::size_t s = 0; s < S_; ++s) {
      hn::Store(job_.ring || s == 0 ? hn::Zero(df) : minus, df, metric + s * W_);
    }
    V top = hn::Zero(df);
    bound_ = job_.ring ? hn::Zero(df) : minus;
    std::size_t since_exact = 0;
    const auto ring = static_cast<std::ptrdiff_t>(job_.L);
    const auto lead = static_cast<std::ptrdiff_t>(job_.ring ? job_.depth : 0);
    const auto end = static_cast<std::ptrdiff_t>(job_.rows);
    for (std::ptrdiff_t t = -lead; t < end; ++t) {
      pacer.add(2 * static_cast<std::uint64_t>(S_));
      std::ptrdiff_t k = t;
      if (job_.ring) {
        k = t % ring;
        if (k < 0) k += ring;
      }
      if (++since_exact == kBoundPeriod) {
        since_exact = 0;
        tighten_bound(metric, top);
      }
      branch_values(w_.input.get() + static_cast<std::size_t>(k) * job_.n * W_);
      std::uint8_t* row = t >= 0 ? w_.survivors.data() + static_cast<std::size_t>(t) * job_.row_bytes
                                 : nullptr;
      const bool sure = sure_step();
      V low;
      if (sure) {
        low = step<true>(metric, top, next, row);
      } else {
        low = step<false>(metric, top, next, row);
      }
      const V new_top = maximum(next);
      bound_ = hn::Sub(low, new_top);
      top = new_top;
      if (t >= 0) w_.sure[static_cast<std::size_t>(t)] = sure ? 1 : 0;
      std::swap(metric, next);
    }
    // Start of the traceback: state 0 for terminated blocks; for tail-biting ones the
    // best state after the lead-out, the lowest on ties.
    int* state = w_.state.data();
    std::fill_n(state, W_, 0);
    if (job_.ring) {
      alignas(HWY_ALIGNMENT) float lane[HWY_MAX_BYTES / sizeof(float)] = {};
      alignas(HWY_ALIGNMENT) float best[HWY_MAX_BYTES / sizeof(float)] = {};
      hn::Store(hn::Sub(hn::Load(df, metric), top), df, best);
      for (std::size_t s = 1; s < S_; ++s) {
        hn::Store(hn::Sub(hn::Load(df, metric + s * W_), top), df, lane);
        for (std::size_t j = 0; j < W_; ++j) {
          if (lane[j] > best[j]) {
            best[j] = lane[j];
            state[j] = static_cast<int>(s);
          }
        }
      }
    }
    traceback(first, valid, pacer);
  }

 private:
  // Branch values of one step from its n channel values, each formed as
  // trellis_best_path forms it: channel values added, bit 0 of the word (code bit n-1)
  // first, starting from +0.0 (the zero bits' +0.0 terms change nothing).
  HWY_INLINE void branch_values(const float* HWY_RESTRICT in) {
    const DF df;
    float* HWY_RESTRICT values = w_.values.get();
    const std::size_t n = job_.n;
    if (job_.by_word) {
      hn::Store(hn::Zero(df), df, values);
      for (std::size_t b = 0; b < n; ++b) {
        const std::size_t high = std::size_t{1} << b;
        const V v = hn::Load(df, in + (n - 1 - b) * W_);
        for (std::size_t word = high; word < 2 * high; ++word) {
          hn::Store(hn::Add(hn::Load(df, values + (word - high) * W_), v), df, values + word * W_);
        }
      }
      return;
    }
    for (std::size_t j = 0; j < 2 * S_; ++j) {
      const auto word = static_cast<std::uint32_t>(t_.in_word[j]);
      V sum = hn::Zero(df);
      for (std::size_t b = 0; b < n; ++b) {
        if ((word >> b) & 1) sum = hn::Add(sum, hn::Load(df, in + (n - 1 - b) * W_));
      }
      hn::Store(sum, df, values + j * W_);
    }
  }

  // True when in every lane the metric bound plus each branch value of the step exceeds
  // -1e7 (false for a NaN), so that every first branch beats the start value.
  HWY_INLINE bool sure_step() {
    const DF df;
    const V minus = hn::Set(df, kTrellisMinusInfinity);
    const float* values = w_.values.get();
    auto ok = hn::Eq(hn::Zero(df), hn::Zero(df));
    V low = hn::Set(df, 0.0f);
    for (std::size_t r = 0; r < job_.value_rows; ++r) {
      const V c = hn::Add(bound_, hn::Load(df, values + r * W_));
      ok = hn::And(ok, hn::Gt(c, minus));
      low = r == 0 ? c : Lesser(low, c);
    }
    low_candidate_ = low;
    return hn::AllTrue(df, ok);
  }

  // One add-compare-select step: metric (before renormalisation by top) in, next out,
  // survivors into row unless it is null. Returns a lower bound of the next metrics.
  template <bool kSure>
  HWY_INLINE V step(const float* HWY_RESTRICT metric, V top, float* HWY_RESTRICT next,
                    std::uint8_t* HWY_RESTRICT row) {
    const DF df;
    const V minus = hn::Set(df, kTrellisMinusInfinity);
    const float* HWY_RESTRICT values = w_.values.get();
    const std::size_t mb = job_.mask_bytes;
    const auto select = [&](std::size_t to, V m0, V m1) {
      const V c0 = hn::Add(m0, hn::Load(df, values + value_row_[2 * to]));
      const V c1 = hn::Add(m1, hn::Load(df, values + value_row_[2 * to + 1]));
      V first = c0;
      if constexpr (!kSure) {
        if (row != nullptr) hn::StoreMaskBits(df, hn::Gt(c0, minus), row + 2 * to * mb);
        first = Larger(c0, minus);
      }
      if (row != nullptr) hn::StoreMaskBits(df, hn::Gt(c1, first), row + (2 * to + 1) * mb);
      hn::Store(Larger(c1, first), df, next + to * W_);
    };
    const std::size_t half = S_ / 2;
    if (half == 0) {
      const V m = hn::Sub(hn::Load(df, metric), top);
      select(0, m, m);
    } else {
      for (std::size_t p = 0; p < half; ++p) {
        const V m0 = hn::Sub(hn::Load(df, metric + 2 * p * W_), top);
        const V m1 = hn::Sub(hn::Load(df, metric + (2 * p + 1) * W_), top);
        select(p, m0, m1);
        select(p + half, m0, m1);
      }
    }
    // Every survivor is at least -1e7, and on a sure step at least the lowest candidate.
    return kSure ? Larger(low_candidate_, minus) : minus;
  }

  // The larger of 0 and the best of the S metrics in `next`. The maximum of values that
  // are never NaN (survivors are not), starting from +0.0, does not depend on the order
  // of the comparisons, so it is taken in four independent chains.
  HWY_INLINE V maximum(const float* HWY_RESTRICT next) const {
    const DF df;
    V top[4] = {hn::Zero(df), hn::Zero(df), hn::Zero(df), hn::Zero(df)};
    std::size_t s = 0;
    for (; s + 4 <= S_; s += 4) {
      for (std::size_t i = 0; i < 4; ++i) top[i] = Larger(hn::Load(df, next + (s + i) * W_), top[i]);
    }
    for (; s < S_; ++s) top[0] = Larger(hn::Load(df, next + s * W_), top[0]);
    return Larger(Larger(top[0], top[1]), Larger(top[2], top[3]));
  }

  // Sets the bound to the lowest metric after renormalisation, in lanes where no metric
  // can be NaN (a NaN metric needs an infinite maximum).
  HWY_INLINE void tighten_bound(const float* HWY_RESTRICT metric, V top) {
    const DF df;
    V low = hn::Sub(hn::Load(df, metric), top);
    for (std::size_t s = 1; s < S_; ++s) low = Lesser(low, hn::Sub(hn::Load(df, metric + s * W_), top));
    const auto finite = hn::Le(top, hn::Set(df, hwy::HighestValue<float>()));
    bound_ = hn::IfThenElse(finite, low, bound_);
  }

  // Follows every lane's survivors back from its start state through all recorded rows,
  // writing the decisions of rows L-1..0.
  void traceback(std::size_t first, std::size_t valid, InterruptPacer& pacer) {
    const FrameView<double>& out = *job_.output;
    const std::size_t mb = job_.mask_bytes;
    const int* in_state = t_.in_state.data();
    const int* in_bit = t_.in_bit.data();
    int* state = w_.state.data();
    for (std::size_t r = job_.rows; r-- > 0;) {
      pacer.add(valid);
      const std::uint8_t* row = w_.survivors.data() + r * job_.row_bytes;
      const int sure = w_.sure[r];
      for (std::size_t j = 0; j < valid; ++j) {
        const std::size_t s = static_cast<std::size_t>(state[j]);
        const std::uint8_t* slot = row + 2 * s * mb + (j >> 3);
        const int bit = static_cast<int>(j & 7);
        const int second = (slot[mb] >> bit) & 1;
        const int reached = sure | second | ((slot[0] >> bit) & 1);
        const std::size_t branch = 2 * s + static_cast<std::size_t>(second);
        if (r < job_.L) out(first + j, r) = static_cast<double>(reached & in_bit[branch]);
        state[j] = reached ? in_state[branch] : 0;
      }
    }
  }

  const Job& job_;
  const Trellis& t_;
  Workspace& w_;
  std::size_t S_, W_;
  const std::uint32_t* value_row_;
  V bound_;          // lower bound of the path metrics after renormalisation
  V low_candidate_;  // lowest candidate of a sure step
};

Workspace make_workspace(const Job& job) {
  const std::size_t W = job.W;
  Workspace w;
  w.input = Floats(job.in_steps * job.n * W);
  w.values = Floats(job.value_rows * W);
  w.metric = Floats(job.S * W);
  w.next = Floats(job.S * W);
  w.survivors.resize(job.rows * job.row_bytes);
  w.sure.resize(job.rows);
  w.state.resize(W);
  return w;
}

void ViterbiDecode(const Job& job, const Interrupt& interrupt) {
  const std::size_t groups = (job.F + job.W - 1) / job.W;
  const std::size_t workers = parallel_workers(groups, job.threads);
  std::vector<Workspace> spaces;
  spaces.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) spaces.push_back(make_workspace(job));
  parallel_for(
      groups, job.threads,
      [&](std::size_t group, std::size_t worker, const Interrupt& stop) {
        ViterbiGroupDecoder(job, spaces[worker]).run(group, stop);
      },
      interrupt);
}

std::size_t ViterbiLanes() {
  return hn::Lanes(DF());
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

using viterbi_detail::Job;

HWY_EXPORT(ViterbiDecode);
HWY_EXPORT(ViterbiLanes);

std::size_t viterbi_input_length(const Trellis& trellis, std::size_t L, BlockEnd end) noexcept {
  const auto n = static_cast<std::size_t>(trellis.n);
  const std::size_t steps = end == BlockEnd::kTailBiting ? L : L + static_cast<std::size_t>(trellis.m);
  return steps * n;
}

void viterbi_decode(const FrameView<const double>& input_c, const Trellis& trellis,
                    const ViterbiParams& params, const FrameView<double>& output_u,
                    const Interrupt& interrupt) {
  const std::size_t F = input_c.frames;
  const std::size_t L = output_u.length;
  const bool ring = params.block_end == BlockEnd::kTailBiting;
  if (output_u.frames != F) {
    throw ArgumentError("viterbi_decode: input and output frame counts differ");
  }
  if (input_c.length != viterbi_input_length(trellis, L, params.block_end)) {
    throw ArgumentError("viterbi_decode: code values do not match the block");
  }
  if (ring && L == 0) throw ArgumentError("viterbi_decode: empty tail-biting block");
  if (F == 0) return;
  if ((input_c.data == nullptr && input_c.length != 0) || (output_u.data == nullptr && L != 0)) {
    throw ArgumentError("viterbi_decode: missing data");
  }
  const viterbi_detail::Sizes sz = viterbi_detail::sizes(trellis.K, trellis.n, L, params);
  Job job;
  job.input = &input_c;
  job.output = &output_u;
  job.trellis = &trellis;
  job.ring = ring;
  job.F = F;
  job.L = L;
  job.n = static_cast<std::size_t>(trellis.n);
  job.S = static_cast<std::size_t>(trellis.num_states);
  job.depth = ring ? params.depth_steps : 0;
  job.in_steps = sz.in_steps;
  job.rows = sz.rows;
  job.W = HWY_DYNAMIC_DISPATCH(ViterbiLanes)();
  job.mask_bytes = (job.W + 7) / 8;
  job.row_bytes = 2 * job.S * job.mask_bytes;
  job.by_word = sz.by_word;
  job.value_rows = sz.value_rows;
  job.value_row.resize(2 * job.S);
  for (std::size_t j = 0; j < 2 * job.S; ++j) {
    const std::size_t r = job.by_word ? static_cast<std::size_t>(trellis.in_word[j]) : j;
    job.value_row[j] = static_cast<std::uint32_t>(r * job.W);
  }
  job.threads = params.threads;
  if (job.rows == 0) return;  // K = 1 and L = 0: no step, no decision
  HWY_DYNAMIC_DISPATCH(ViterbiDecode)(job, interrupt);
}

std::size_t viterbi_frames_per_pass() {
  return HWY_DYNAMIC_DISPATCH(ViterbiLanes)();
}

std::uint64_t viterbi_decode_bytes(int K, int n, std::size_t L, const ViterbiParams& params,
                                   std::uint64_t frames) noexcept {
  if (!trellis_fits(K, n)) return kSizeSaturated;
  const std::uint64_t W = viterbi_frames_per_pass();
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  const std::uint64_t m = static_cast<std::uint64_t>(K - 1);
  const bool ring = params.block_end == BlockEnd::kTailBiting;
  const std::uint64_t in_steps = ring ? L : add_sat(L, m);
  const std::uint64_t rows = ring ? add_sat(L, params.depth_steps) : add_sat(L, m);
  const bool by_word = (std::uint64_t{1} << n) <= 2 * S;
  const std::uint64_t value_rows = by_word ? std::uint64_t{1} << n : 2 * S;
  // Floats: input, branch values and two rows of metrics, each padded for alignment.
  std::uint64_t floats = mul_sat(add_sat(mul_sat(in_steps, static_cast<std::uint64_t>(n)),
                                         add_sat(value_rows, 2 * S)),
                                 W);
  floats = add_sat(floats, 4 * viterbi_detail::Floats::kPad);
  // Survivors: two masks of W bits per state and recorded step, a flag per step.
  const std::uint64_t survivors = mul_sat(rows, add_sat(mul_sat(2 * S, (W + 7) / 8), 1));
  std::uint64_t per_thread = add_sat(mul_sat(floats, sizeof(float)), survivors);
  per_thread = add_sat(per_thread, W * sizeof(int) + sizeof(viterbi_detail::Workspace));
  const std::uint64_t shared = mul_sat(2 * S, sizeof(std::uint32_t));
  const std::size_t workers = workers_for_frames(frames, static_cast<std::size_t>(W), params.threads);
  return add_sat(add_sat(mul_sat(per_thread, static_cast<std::uint64_t>(workers)), shared),
                 parallel_for_bytes(thread_count(params.threads)));
}

}  // namespace linkforge
#endif  // HWY_ONCE
