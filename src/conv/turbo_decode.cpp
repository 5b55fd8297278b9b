// Whole turbo decoder: the frames of a call run in groups of W, one frame per SIMD lane
// (W = the single-precision lanes of the target), and the groups run on several threads.
// Within a lane every operation is the one trellis_posterior and the host's extrinsic
// arithmetic perform for that frame, in the same order and precision, so each frame's
// result does not depend on the target, the group it falls in or the thread count.
//
// Working arrays of a group, lane fastest (row r holds value r of the W frames):
//   input1, input2  (L + m) x 2   channel values of decoder 1 and 2, single precision
//   ys              L             systematic values, double
//   apriori         L             a-priori values of decoder 1, double
//   extrinsic       L             a-priori values of decoder 2, double
//   soft            L             the decoder's a-priori input, single precision
//   u               L             a decoder's a-posteriori output
//   app, final      L             this iteration's and each lane's last result
//   bits            L             one lane's hard decisions, bytes, for the CRC stop
//   checkpoints     every 32nd row of the backward metrics (S each), and the last
//   stretch         33 rows of backward metrics recomputed for the forward pass
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "hwy/aligned_allocator.h"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/turbo.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "conv/turbo_decode.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_CONV_TURBO_DECODE_SHARED
#define LINKFORGE_CONV_TURBO_DECODE_SHARED
namespace linkforge::turbo_detail {

// Branch tables of the trellis, index 2s + bit: output word and successor; per state
// its two incoming branches in the visiting order of trellis_posterior.
struct Tables {
  std::vector<int> word, next, incoming;
};

template <class T>
using Buffer = hwy::AlignedFreeUniquePtr<T[]>;

// Steps between two stored rows of backward metrics. Where all the rows of a group of
// frames fit in kWholeRowsBytes, the backward pass keeps every row and the forward pass
// reads them back. Beyond, it keeps only every kCheckpoint-th row, and the forward pass
// recomputes the rows of each stretch from the row that ends it, into a buffer that
// stays in the first-level cache. Recomputing repeats the same operations on the same
// values, so the rows are the same bit for bit; it costs a fifth more arithmetic, which
// on the machines measured outweighs the traffic of rows kept in the outer caches.
constexpr std::size_t kCheckpoint = 32;
constexpr std::size_t kWholeRowsBytes = std::size_t{4} << 20;

inline std::size_t checkpoint_interval(std::size_t steps, std::size_t S, std::size_t W) {
  return (steps + 2) * S * W * sizeof(float) <= kWholeRowsBytes ? 1 : kCheckpoint;
}

// The sizes a workspace is made for: lanes, block length, trellis steps, states.
struct Shape {
  std::size_t W = 0, L = 0, steps = 0, S = 0, m = 0;
  std::size_t interval() const { return checkpoint_interval(steps, S, W); }
  bool fits(const Shape& need) const {
    return W == need.W && L >= need.L && steps >= need.steps && S >= need.S && m >= need.m &&
           interval() == need.interval();
  }
};

struct Workspace {
  Shape shape;
  std::size_t bytes = 0;
  Buffer<float> input1, input2, soft, u, app, final_app, prev_app, checkpoints, stretch, alpha,
      next_alpha;
  Buffer<double> ys, apriori, extrinsic;
  Buffer<std::uint8_t> bits;
};

inline std::unique_ptr<Workspace> make_workspace(const Shape& shape) {
  const std::size_t W = shape.W;
  const std::size_t L = std::max<std::size_t>(shape.L, 1);
  auto w = std::make_unique<Workspace>();
  w->shape = shape;
  const auto floats = [&](std::size_t n) {
    w->bytes += n * sizeof(float);
    return hwy::AllocateAligned<float>(n);
  };
  const auto doubles = [&](std::size_t n) {
    w->bytes += n * sizeof(double);
    return hwy::AllocateAligned<double>(n);
  };
  w->input1 = floats(2 * shape.steps * W);
  w->input2 = floats(2 * shape.steps * W);
  w->soft = floats(L * W);
  w->u = floats(L * W);
  w->app = floats(L * W);
  w->final_app = floats(L * W);
  w->prev_app = floats(L * W);
  w->checkpoints = floats((shape.steps / shape.interval() + 2) * shape.S * W);
  w->stretch = floats((shape.interval() + 1) * shape.S * W);
  w->alpha = floats(shape.S * W);
  w->next_alpha = floats(shape.S * W);
  w->ys = doubles(L * W);
  w->apriori = doubles(L * W);
  w->extrinsic = doubles(std::max(L, 2 * shape.m) * W);  // also scratch for the inputs
  w->bits = hwy::AllocateAligned<std::uint8_t>(L);
  w->bytes += L;
  if (!w->input1 || !w->input2 || !w->soft || !w->u || !w->app || !w->final_app || !w->prev_app ||
      !w->checkpoints || !w->stretch || !w->alpha || !w->next_alpha || !w->ys || !w->apriori ||
      !w->extrinsic || !w->bits) {
    throw std::bad_alloc();
  }
  return w;
}

// Workspaces kept from one call to the next, so that calls on blocks of the same size
// do not take fresh pages from the system every time: at most kKept of them and kKeptBytes
// in all, freed with the library (a host frees them when it unloads the module).
class WorkspacePool {
 public:
  static constexpr std::size_t kKept = 16;
  static constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

  std::unique_ptr<Workspace> take(const Shape& shape) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if ((*it)->shape.fits(shape)) {
          std::unique_ptr<Workspace> w = std::move(*it);
          kept_.erase(it);
          bytes_ -= w->bytes;
          return w;
        }
      }
    }
    return make_workspace(shape);
  }

  void give(std::unique_ptr<Workspace> w) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (kept_.size() >= kKept || bytes_ + w->bytes > kKeptBytes) return;  // freed here
    bytes_ += w->bytes;
    kept_.push_back(std::move(w));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Workspace>> kept_;
  std::size_t bytes_ = 0;
};

inline WorkspacePool& workspace_pool() {
  static WorkspacePool pool;
  return pool;
}

struct Job {
  const TurboChannel* channel;
  const Trellis* trellis;
  std::span<const int> alpha;
  bool permutation;  // alpha names every position once
  const TurboDecodeParams* params;
  const TurboResults* results;
  Tables tables;
  std::size_t L, m, S, steps, W;
};

// The tables of a recursive systematic code with n = 2 as make_trellis builds them,
// at compile time: generator G0 (feedback) and G1 (parity), constraint length K.
template <int G0, int G1, int K>
struct FixedCode {
  static constexpr int kStates = 1 << (K - 1);
  struct Tables {
    int word[2 * kStates];
    int next[2 * kStates];
    int incoming[2 * kStates];
  };
  static constexpr int parity(int x) {
    int p = 0;
    for (int i = 0; i < K; ++i) p ^= (x >> i) & 1;
    return p;
  }
  static constexpr Tables make() {
    Tables t{};
    const int m = K - 1;
    int filled[kStates] = {};
    for (int s = 0; s < kStates; ++s) {
      for (int bit = 0; bit < 2; ++bit) {
        const int w = s ^ ((bit ^ parity(s & G0)) << m);
        t.word[2 * s + bit] = 2 * bit + parity(w & G1);
        t.next[2 * s + bit] = w >> 1;
      }
    }
    for (int s = 0; s < kStates; ++s) {
      for (int bit = 0; bit < 2; ++bit) {
        const int to = t.next[2 * s + bit];
        t.incoming[2 * to + filled[to]++] = 2 * s + bit;
      }
    }
    return t;
  }
  static constexpr Tables kTables = make();

  static bool matches(const Trellis& trellis) {
    if (trellis.K != K || trellis.n != 2 || trellis.g[0] != G0 || trellis.g[1] != G1) return false;
    for (int j = 0; j < 2 * kStates; ++j) {
      const int s = j / 2;
      const bool one = j % 2 != 0;
      if ((one ? trellis.out1[s] : trellis.out0[s]) != kTables.word[j]) return false;
      if ((one ? trellis.next1[s] : trellis.next0[s]) != kTables.next[j]) return false;
      if (2 * trellis.in_state[j] + trellis.in_bit[j] != kTables.incoming[j]) return false;
    }
    return true;
  }
};

// The constituent code of the cellular turbo codes (feedback 13, parity 15 in octal).
using CellularCode = FixedCode<013, 015, 4>;

// Whether a frame's hard decisions (each 0 or 1) pass the CRC: their last L bits are the
// parity bits of the others.
inline bool passes_crc(CrcName name, std::span<const std::uint8_t> bits) {
  const auto parity = static_cast<std::size_t>(crc_polynomial(name).length);
  const std::size_t data = bits.size() - parity;
  std::uint32_t received = 0;
  for (std::size_t k = data; k < bits.size(); ++k) received = (received << 1) | bits[k];
  return crc_parity(name, bits.first(data)) == received;
}

// One frame through trellis_posterior itself. A group of the exact operator costs about
// as much as as many frames as it has lanes (a lane's correction is computed wherever
// any lane needs it), so a group of a few frames runs them one by one instead.
inline void decode_frame(const Job& job, std::size_t f, const Interrupt& interrupt) {
  const TurboChannel& ch = *job.channel;
  const TurboDecodeParams& params = *job.params;
  const TurboResults& results = *job.results;
  const std::size_t L = job.L, m = job.m;
  std::vector<double> ys(L), apriori(L, 0.0), extrinsic(L);
  std::vector<float> input1, input2, soft(L), u(L), app(L, 0.0f), previous(L, 0.0f);
  std::vector<std::uint8_t> bits(params.early_stop == EarlyStop::kCrc ? L : 0);
  for (std::size_t k = 0; k < L; ++k) {
    ys[k] = ch.ys(f, k);
    input1.push_back(static_cast<float>(ys[k]));
    input1.push_back(static_cast<float>(ch.yp1(f, k)));
  }
  for (std::size_t k = 0; k < L; ++k) {
    input2.push_back(input1[2 * static_cast<std::size_t>(job.alpha[k])]);
    input2.push_back(static_cast<float>(ch.yp2(f, k)));
  }
  for (std::size_t t = 0; t < 2 * m; ++t) {
    input1.push_back(static_cast<float>(ch.ytail(f, t)));
    input2.push_back(static_cast<float>(ch.ytail(f, 2 * m + t)));
  }
  int it = 0;
  const auto write = [&](FrameView<double> out) {
    for (std::size_t k = 0; k < L; ++k) out(f, k) = app[k];
  };
  for (; it < params.iterations; ++it) {
    for (std::size_t k = 0; k < L; ++k) soft[k] = static_cast<float>(apriori[k]);
    trellis_posterior(soft, input1, *job.trellis, params.max_star, u, {},
                      interrupt);  // data bits only
    for (std::size_t k = 0; k < L; ++k) {
      const auto a = static_cast<std::size_t>(job.alpha[k]);
      extrinsic[k] = (static_cast<double>(u[a]) - apriori[a]) - ys[a];
      soft[k] = static_cast<float>(extrinsic[k]);
    }
    trellis_posterior(soft, input2, *job.trellis, params.max_star, u, {}, interrupt);
    if (!job.permutation) {
      std::fill(apriori.begin(), apriori.end(), 0.0);
      std::fill(app.begin(), app.end(), 0.0f);
    }
    for (std::size_t k = 0; k < L; ++k) {
      const auto a = static_cast<std::size_t>(job.alpha[k]);
      apriori[a] = (static_cast<double>(u[k]) - extrinsic[k]) - ys[a];
      app[a] = u[k];
    }
    if (!results.app_all.empty()) write(results.app_all.page(static_cast<std::size_t>(it)));
    bool repeated = it > 0;
    for (std::size_t k = 0; k < L && repeated; ++k) repeated = (app[k] > 0) == (previous[k] > 0);
    previous = app;
    bool stop = params.early_stop == EarlyStop::kUnchangedDecisions && repeated;
    if (params.early_stop == EarlyStop::kCrc) {
      for (std::size_t k = 0; k < L; ++k) bits[k] = app[k] > 0 ? 1 : 0;
      stop = passes_crc(*params.crc, bits);
    }
    if (stop) {
      ++it;
      break;
    }
  }
  for (int rest = it; rest < params.iterations && !results.app_all.empty(); ++rest) {
    write(results.app_all.page(static_cast<std::size_t>(rest)));
  }
  if (!results.app.empty()) write(results.app);
  if (!results.iterations_run.empty()) results.iterations_run[f] = it;
}

}  // namespace linkforge::turbo_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace turbo_detail;

using DF = hn::ScalableTag<float>;
using DD = DoubleLanes<DF>;


// The kStates value that selects FixedPosteriorLanes of the cellular code.
constexpr std::size_t kCellular = ~std::size_t{0};

// One pass of trellis_posterior's forward-backward recursion per lane, data outputs
// only. kStates fixes S at compile time for the common codes (the arithmetic is the
// same).
template <class Op, std::size_t kStates>
class PosteriorLanes {
 public:
  PosteriorLanes(const Tables& tab, std::size_t S, std::size_t steps, std::size_t L,
                 const float* HWY_RESTRICT apriori, const float* HWY_RESTRICT input)
      : word_(tab.word.data()),
        next_(tab.next.data()),
        incoming_(tab.incoming.data()),
        S_(kStates != 0 ? kStates : S),
        steps_(steps),
        L_(L),
        C_(checkpoint_interval(steps, S_, W())),
        apriori_(apriori),
        input_(input) {}

  // checkpoints: rows 0, C, 2C, ... and the last row; stretch: C + 1 rows; alpha,
  // next_alpha: one row each. A row holds S x W floats.
  void run(float* HWY_RESTRICT checkpoints, float* HWY_RESTRICT stretch,
           float* HWY_RESTRICT alpha, float* HWY_RESTRICT next_alpha, float* HWY_RESTRICT out_u,
           InterruptPacer& pacer) const {
    const std::size_t row = S_ * W();
    const std::size_t last = (steps_ + C_ - 1) / C_;  // checkpoint of row steps
    // Backward: ping-pong between two rows of the stretch buffer, storing checkpoints.
    float* b = checkpoint_row(checkpoints, last, steps_);
    end_row(b);
    for (std::size_t k = steps_; k-- > 0;) {
      pacer.add(2 * S_);
      float* bk = k % C_ == 0 ? checkpoints + (k / C_) * row : stretch + (k % 2) * row;
      backward_step(k, b, bk);
      b = bk;
    }
    // Forward, one stretch [s0, s1) at a time: rows s0 + 1 .. s1 are recomputed from
    // row s1 into stretch row (k - s0) before the stretch's steps run; with every row
    // kept, they are read where they are.
    start_row(alpha);
    for (std::size_t s0 = 0; s0 < steps_; s0 += C_) {
      const std::size_t s1 = std::min(s0 + C_, steps_);
      const float* end =
          s1 == steps_ ? checkpoint_row(checkpoints, last, steps_) : checkpoints + (s1 / C_) * row;
      if (C_ == 1) {
        pacer.add(4 * S_);
        forward_step(s0, end, alpha, next_alpha, out_u);
        continue;
      }
      std::copy_n(end, row, stretch + (s1 - s0) * row);
      for (std::size_t k = s1 - 1; k > s0; --k) {
        pacer.add(2 * S_);
        backward_step(k, stretch + (k + 1 - s0) * row, stretch + (k - s0) * row);
      }
      for (std::size_t k = s0; k < s1; ++k) {
        pacer.add(4 * S_);
        forward_step(k, stretch + (k + 1 - s0) * row, alpha, next_alpha, out_u);
      }
    }
  }

 private:
  static std::size_t W() { return hn::Lanes(DF()); }

  float* checkpoint_row(float* checkpoints, std::size_t last, std::size_t steps) const {
    return checkpoints + (steps % C_ == 0 ? steps / C_ : last) * S_ * W();
  }

  void end_row(float* b) const {
    const DF df;
    hn::Store(hn::Zero(df), df, b);
    for (std::size_t s = 1; s < S_; ++s) hn::Store(hn::Set(df, kTrellisMinusInfinity), df, b + s * W());
  }
  void start_row(float* alpha) const { end_row(alpha); }

  // Branch metrics of step k by output word (n = 2): 0, v1, v0, v1 + v0, each formed
  // as branch_metrics forms it.
  HWY_INLINE void gammas(std::size_t k, hn::Vec<DF>* gamma) const {
    const DF df;
    const auto v0 = hn::Load(df, input_ + (2 * k) * W());
    const auto v1 = hn::Load(df, input_ + (2 * k + 1) * W());
    gamma[0] = hn::Zero(df);
    gamma[1] = gamma[0] + v1;
    gamma[2] = gamma[0] + v0;
    gamma[3] = gamma[1] + v0;
  }

  HWY_INLINE hn::Vec<DF> apriori(std::size_t k) const {
    const DF df;
    return k < L_ ? hn::Load(df, apriori_ + k * W()) : hn::Zero(df);
  }

  // Row k of the backward metrics from row k + 1, renormalised to state 0.
  HWY_INLINE void backward_step(std::size_t k, const float* HWY_RESTRICT bk1,
                                float* HWY_RESTRICT bk) const {
    const DF df;
    const std::size_t W = this->W();
    const auto a = apriori(k);
    hn::Vec<DF> gamma[4];
    gammas(k, gamma);
    const int* word = word_;
    const int* next = next_;
    const auto c0 = gamma[word[0]] + hn::Load(df, bk1 + next[0] * W);
    const auto c1 = (gamma[word[1]] + hn::Load(df, bk1 + next[1] * W)) + a;
    const auto b0 = Op::apply(df, c0, c1);
    hn::Store(hn::Zero(df), df, bk);
    for (std::size_t s = 1; s < S_; ++s) {
      const auto first = gamma[word[2 * s]] + hn::Load(df, bk1 + next[2 * s] * W);
      const auto second = (gamma[word[2 * s + 1]] + hn::Load(df, bk1 + next[2 * s + 1] * W)) + a;
      hn::Store(Op::apply(df, first, second) - b0, df, bk + s * W);
    }
  }

  // Step k forward: the data output (k < L) from alpha and backward row k + 1, then
  // alpha of step k + 1, renormalised to state 0.
  HWY_INLINE void forward_step(std::size_t k, const float* HWY_RESTRICT bk1,
                               float* HWY_RESTRICT alpha, float* HWY_RESTRICT next_alpha,
                               float* HWY_RESTRICT out_u) const {
    const DF df;
    const std::size_t W = this->W();
    const auto minus = hn::Set(df, kTrellisMinusInfinity);
    const auto a = apriori(k);
    hn::Vec<DF> gamma[4];
    gammas(k, gamma);
    const int* word = word_;
    const int* next = next_;
    for (std::size_t to = 0; to < S_; ++to) {
      const int first = incoming_[2 * to];
      const int second = incoming_[2 * to + 1];
      auto c0 = gamma[word[first]] + hn::Load(df, alpha + (first >> 1) * W);
      if (first & 1) c0 = c0 + a;
      auto c1 = gamma[word[second]] + hn::Load(df, alpha + (second >> 1) * W);
      if (second & 1) c1 = c1 + a;
      hn::Store(Op::apply(df, c1, Op::apply(df, c0, minus)), df, next_alpha + to * W);
    }
    if (k < L_) {
      auto den = minus;
      auto num = minus;
      for (std::size_t s = 0; s < S_; ++s) {
        const auto alpha_s = hn::Load(df, alpha + s * W);
        const auto p0 = (gamma[word[2 * s]] + alpha_s) + hn::Load(df, bk1 + next[2 * s] * W);
        den = Op::apply(df, p0, den);
        const auto p1 =
            ((gamma[word[2 * s + 1]] + alpha_s) + hn::Load(df, bk1 + next[2 * s + 1] * W)) + a;
        num = Op::apply(df, p1, num);
      }
      hn::Store(num - den, df, out_u + k * W);
    }
    const auto a0 = hn::Load(df, next_alpha);
    hn::Store(hn::Zero(df), df, alpha);
    for (std::size_t s = 1; s < S_; ++s) {
      hn::Store(hn::Load(df, next_alpha + s * W) - a0, df, alpha + s * W);
    }
  }

  const int* word_;
  const int* next_;
  const int* incoming_;
  std::size_t S_, steps_, L_, C_;
  const float* apriori_;
  const float* input_;
};

// The same recursion for a code whose tables are known at compile time: every index is
// a constant, so a step's metrics stay in registers. The operations and their order are
// those of PosteriorLanes.
template <class Op, class Code>
class FixedPosteriorLanes {
  static constexpr std::size_t S = Code::kStates;
  static constexpr const auto& kTab = Code::kTables;
  using V = hn::Vec<DF>;

 public:
  FixedPosteriorLanes(std::size_t steps, std::size_t L, const float* HWY_RESTRICT apriori,
                      const float* HWY_RESTRICT input)
      : steps_(steps), L_(L), C_(checkpoint_interval(steps, S, hn::Lanes(DF()))),
        apriori_(apriori), input_(input) {}

  void run(float* HWY_RESTRICT checkpoints, float* HWY_RESTRICT stretch, float*, float*,
           float* HWY_RESTRICT out_u, InterruptPacer& pacer) const {
    const DF df;
    const std::size_t W = hn::Lanes(df);
    const std::size_t row = S * W;
    const std::size_t last = (steps_ + C_ - 1) / C_;
    float* end = checkpoints + (steps_ % C_ == 0 ? steps_ / C_ : last) * row;
    V b[S];
    start(b);
    store_row(b, end);
    for (std::size_t k = steps_; k-- > 0;) {
      pacer.add(2 * S);
      backward_step(k, b);
      if (k % C_ == 0) store_row(b, checkpoints + (k / C_) * row);
    }
    V alpha[S];
    start(alpha);
    if (C_ == 1) {
      // Every row kept: read them where they are.
      for (std::size_t k = 0; k < steps_; ++k) {
        pacer.add(4 * S);
        forward_step(k, k + 1 == steps_ ? end : checkpoints + (k + 1) * row, alpha, out_u);
      }
      return;
    }
    for (std::size_t s0 = 0; s0 < steps_; s0 += C_) {
      const std::size_t s1 = std::min(s0 + C_, steps_);
      load_row(s1 == steps_ ? end : checkpoints + (s1 / C_) * row, b);
      store_row(b, stretch + (s1 - s0) * row);
      for (std::size_t k = s1 - 1; k > s0; --k) {
        pacer.add(2 * S);
        backward_step(k, b);
        store_row(b, stretch + (k - s0) * row);
      }
      for (std::size_t k = s0; k < s1; ++k) {
        pacer.add(4 * S);
        forward_step(k, stretch + (k + 1 - s0) * row, alpha, out_u);
      }
    }
  }

 private:
  static void start(V* x) {
    const DF df;
    x[0] = hn::Zero(df);
    #pragma GCC unroll 16
    for (std::size_t s = 1; s < S; ++s) x[s] = hn::Set(df, kTrellisMinusInfinity);
  }
  static void store_row(const V* x, float* HWY_RESTRICT out) {
    const DF df;
    #pragma GCC unroll 16
    for (std::size_t s = 0; s < S; ++s) hn::Store(x[s], df, out + s * hn::Lanes(df));
  }
  static void load_row(const float* HWY_RESTRICT in, V* x) {
    const DF df;
    #pragma GCC unroll 16
    for (std::size_t s = 0; s < S; ++s) x[s] = hn::Load(df, in + s * hn::Lanes(df));
  }

  HWY_INLINE void gammas(std::size_t k, V* gamma) const {
    const DF df;
    const std::size_t W = hn::Lanes(df);
    const V v0 = hn::Load(df, input_ + (2 * k) * W);
    const V v1 = hn::Load(df, input_ + (2 * k + 1) * W);
    gamma[0] = hn::Zero(df);
    gamma[1] = gamma[0] + v1;
    gamma[2] = gamma[0] + v0;
    gamma[3] = gamma[1] + v0;
  }

  HWY_INLINE V apriori(std::size_t k) const {
    const DF df;
    return k < L_ ? hn::Load(df, apriori_ + k * hn::Lanes(df)) : hn::Zero(df);
  }

  // b: row k + 1 in, row k out.
  HWY_INLINE void backward_step(std::size_t k, V* b) const {
    const DF df;
    const V a = apriori(k);
    V gamma[4];
    gammas(k, gamma);
    V r[S];
    #pragma GCC unroll 16
    for (std::size_t s = 0; s < S; ++s) {
      const V first = gamma[kTab.word[2 * s]] + b[kTab.next[2 * s]];
      const V second = (gamma[kTab.word[2 * s + 1]] + b[kTab.next[2 * s + 1]]) + a;
      r[s] = Op::apply(df, first, second);
    }
    b[0] = hn::Zero(df);
    #pragma GCC unroll 16
    for (std::size_t s = 1; s < S; ++s) b[s] = r[s] - r[0];
  }

  HWY_INLINE void forward_step(std::size_t k, const float* HWY_RESTRICT bk1, V* alpha,
                               float* HWY_RESTRICT out_u) const {
    const DF df;
    const std::size_t W = hn::Lanes(df);
    const V minus = hn::Set(df, kTrellisMinusInfinity);
    const V a = apriori(k);
    V gamma[4];
    gammas(k, gamma);
    V next_alpha[S];
    #pragma GCC unroll 16
    for (std::size_t to = 0; to < S; ++to) {
      const int first = kTab.incoming[2 * to];
      const int second = kTab.incoming[2 * to + 1];
      V c0 = gamma[kTab.word[first]] + alpha[first >> 1];
      if (first & 1) c0 = c0 + a;
      V c1 = gamma[kTab.word[second]] + alpha[second >> 1];
      if (second & 1) c1 = c1 + a;
      next_alpha[to] = Op::apply(df, c1, Op::apply(df, c0, minus));
    }
    if (k < L_) {
      V den = minus;
      V num = minus;
      #pragma GCC unroll 16
      for (std::size_t s = 0; s < S; ++s) {
        const V p0 = (gamma[kTab.word[2 * s]] + alpha[s]) + hn::Load(df, bk1 + kTab.next[2 * s] * W);
        den = Op::apply(df, p0, den);
        const V p1 = ((gamma[kTab.word[2 * s + 1]] + alpha[s]) +
                      hn::Load(df, bk1 + kTab.next[2 * s + 1] * W)) +
                     a;
        num = Op::apply(df, p1, num);
      }
      hn::Store(num - den, df, out_u + k * W);
    }
    alpha[0] = hn::Zero(df);
    #pragma GCC unroll 16
    for (std::size_t s = 1; s < S; ++s) alpha[s] = next_alpha[s] - next_alpha[0];
  }

  std::size_t steps_, L_, C_;
  const float* apriori_;
  const float* input_;
};

// Elements 0..count-1 of frames first..first+W-1 of a view into rows of W doubles (row
// k holds element k of each frame), zeros beyond the last frame. The loops run along the
// view's shorter stride.
void gather(const FrameView<const double>& v, std::size_t first, std::size_t W,
            std::size_t count, double* HWY_RESTRICT rows, std::size_t offset = 0) {
  const std::size_t valid = std::min(W, v.frames - first);
  if (valid < W) std::fill_n(rows, count * W, 0.0);
  if (std::abs(v.frame_stride) <= std::abs(v.element_stride)) {
    for (std::size_t k = 0; k < count; ++k) {
      const double* in = &v(first, offset + k);
      for (std::size_t j = 0; j < valid; ++j) rows[k * W + j] = in[j * v.frame_stride];
    }
  } else {
    for (std::size_t j = 0; j < valid; ++j) {
      const double* in = &v(first + j, offset);
      for (std::size_t k = 0; k < count; ++k) rows[k * W + j] = in[k * v.element_stride];
    }
  }
}

// Rows of doubles rounded into every other row of floats: row k to row 2k + column.
void round_rows(const double* HWY_RESTRICT rows, std::size_t count, std::size_t W,
                float* HWY_RESTRICT out, std::size_t column) {
  const DD dd;
  const hn::Rebind<float, DD> dh;
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t h = 0; h < W; h += hn::Lanes(dd)) {
      hn::StoreU(RoundToSingle(dh, hn::LoadU(dd, rows + k * W + h)), dh,
                 out + (2 * k + column) * W + h);
    }
  }
}

// Channel values of frames first..first+W-1 into lanes: the systematic values in double
// and every decoder input in single precision. Lanes beyond the last frame hold zeros
// (they are decoded and dropped). Decoder 2's systematic row k is decoder 1's row
// alpha(k), rounded the same way.
void load_group(const Job& job, std::size_t first, Workspace& w) {
  const TurboChannel& ch = *job.channel;
  const std::size_t W = job.W, L = job.L, m = job.m;
  double* scratch = w.extrinsic.get();
  gather(ch.ys, first, W, L, w.ys.get());
  round_rows(w.ys.get(), L, W, w.input1.get(), 0);
  gather(ch.yp1, first, W, L, scratch);
  round_rows(scratch, L, W, w.input1.get(), 1);
  gather(ch.yp2, first, W, L, scratch);
  round_rows(scratch, L, W, w.input2.get(), 1);
  for (std::size_t k = 0; k < L; ++k) {
    std::copy_n(w.input1.get() + 2 * static_cast<std::size_t>(job.alpha[k]) * W, W,
                w.input2.get() + 2 * k * W);
  }
  gather(ch.ytail, first, W, 2 * m, scratch);
  for (std::size_t t = 0; t < 2 * m; ++t) {
    for (std::size_t j = 0; j < W; ++j) {
      w.input1[(2 * L + t) * W + j] = static_cast<float>(scratch[t * W + j]);
    }
  }
  gather(ch.ytail, first, W, 2 * m, scratch, 2 * m);
  for (std::size_t t = 0; t < 2 * m; ++t) {
    for (std::size_t j = 0; j < W; ++j) {
      w.input2[(2 * L + t) * W + j] = static_cast<float>(scratch[t * W + j]);
    }
  }
}

// rows [k*W, k*W + W) of doubles: one float row widened and combined with two double
// rows by fn, lane by lane, in two halves.
template <class Fn>
HWY_INLINE void double_rows(std::size_t W, Fn&& fn) {
  const DD dd;
  for (std::size_t h = 0; h < W; h += hn::Lanes(dd)) fn(dd, h);
}

void write_page(const Job& job, std::size_t first, const float* values, FrameView<double> out) {
  const std::size_t W = job.W;
  const std::size_t valid = std::min(W, out.frames - first);
  for (std::size_t j = 0; j < valid; ++j) {
    for (std::size_t k = 0; k < job.L; ++k) out(first + j, k) = values[k * W + j];
  }
}

template <class Op, std::size_t kStates>
void decode_group(const Job& job, std::size_t group, Workspace& w, const Interrupt& interrupt) {
  const DF df;
  const std::size_t W = job.W, L = job.L;
  const std::size_t first = group * W;
  const std::size_t valid = std::min(W, job.channel->ys.frames - first);
  if (job.params->max_star == MaxStar::kExact && 4 * valid <= W) {
    for (std::size_t f = first; f < first + valid; ++f) decode_frame(job, f, interrupt);
    return;
  }
  const TurboDecodeParams& params = *job.params;
  const TurboResults& results = *job.results;
  InterruptPacer pacer(interrupt);
  load_group(job, first, w);
  std::fill_n(w.apriori.get(), L * W, 0.0);
  // Lanes beyond the last frame never take a result; give them defined values.
  if (first + W > job.channel->ys.frames) std::fill_n(w.final_app.get(), L * W, 0.0f);

  const auto siso = [&](const float* input) {
    if constexpr (kStates == kCellular) {
      FixedPosteriorLanes<Op, CellularCode>(job.steps, L, w.soft.get(), input)
          .run(w.checkpoints.get(), w.stretch.get(), w.alpha.get(), w.next_alpha.get(),
               w.u.get(), pacer);
    } else {
      PosteriorLanes<Op, kStates>(job.tables, job.S, job.steps, L, w.soft.get(), input)
          .run(w.checkpoints.get(), w.stretch.get(), w.alpha.get(), w.next_alpha.get(),
               w.u.get(), pacer);
    }
  };
  const int* alpha = job.alpha.data();
  const hn::RebindToSigned<DF> di;
  auto active = hn::FirstN(df, std::min(W, job.channel->ys.frames - first));
  std::vector<int> runs(W, 0);
  for (int it = 0; it < params.iterations; ++it) {
    // Decoder 1, then extrinsic(k) = u1(alpha(k)) - apriori(alpha(k)) - ys(alpha(k)).
    for (std::size_t k = 0; k < L; ++k) {
      double_rows(W, [&](auto dd, std::size_t h) {
        const hn::Rebind<float, decltype(dd)> dh;
        hn::StoreU(RoundToSingle(dh, hn::LoadU(dd, w.apriori.get() + k * W + h)), dh,
                   w.soft.get() + k * W + h);
      });
    }
    siso(w.input1.get());
    for (std::size_t k = 0; k < L; ++k) {
      const std::size_t src = static_cast<std::size_t>(alpha[k]) * W;
      double_rows(W, [&](auto dd, std::size_t h) {
        const hn::Rebind<float, decltype(dd)> dh;
        const auto e = (hn::PromoteTo(dd, hn::LoadU(dh, w.u.get() + src + h)) -
                        hn::LoadU(dd, w.apriori.get() + src + h)) -
                       hn::LoadU(dd, w.ys.get() + src + h);
        hn::StoreU(e, dd, w.extrinsic.get() + k * W + h);
        hn::StoreU(RoundToSingle(dh, e), dh, w.soft.get() + k * W + h);
      });
    }
    // Decoder 2, then apriori(alpha(k)) = u2(k) - extrinsic(k) - ys(alpha(k)) and
    // app(alpha(k)) = u2(k); positions alpha does not name are 0.
    siso(w.input2.get());
    if (!job.permutation) {
      std::fill_n(w.apriori.get(), L * W, 0.0);
      std::fill_n(w.app.get(), L * W, 0.0f);
    }
    for (std::size_t k = 0; k < L; ++k) {
      const std::size_t dst = static_cast<std::size_t>(alpha[k]) * W;
      double_rows(W, [&](auto dd, std::size_t h) {
        const hn::Rebind<float, decltype(dd)> dh;
        const auto u2 = hn::LoadU(dh, w.u.get() + k * W + h);
        const auto a = (hn::PromoteTo(dd, u2) - hn::LoadU(dd, w.extrinsic.get() + k * W + h)) -
                       hn::LoadU(dd, w.ys.get() + dst + h);
        hn::StoreU(a, dd, w.apriori.get() + dst + h);
        hn::StoreU(u2, dh, w.app.get() + dst + h);
      });
    }

    // Lanes still running take this iteration's result; an early stop ends a lane once
    // its decisions repeat or pass the CRC.
    auto changed = hn::Zero(df) < hn::Zero(df);  // no lane has changed yet
    for (std::size_t k = 0; k < L; ++k) {
      const auto app = hn::Load(df, w.app.get() + k * W);
      const auto last = hn::Load(df, w.final_app.get() + k * W);
      hn::Store(hn::IfThenElse(active, app, last), df, w.final_app.get() + k * W);
      if (params.early_stop == EarlyStop::kUnchangedDecisions) {
        if (it > 0) {
          const auto prev = hn::Load(df, w.prev_app.get() + k * W);
          changed = hn::Or(changed, hn::Xor(app > hn::Zero(df), prev > hn::Zero(df)));
        }
        hn::Store(app, df, w.prev_app.get() + k * W);
      }
    }
    alignas(64) std::int32_t running[HWY_MAX_BYTES / sizeof(float)] = {};
    hn::Store(hn::VecFromMask(di, hn::RebindMask(di, active)), di, running);
    for (std::size_t j = 0; j < W; ++j) runs[j] += running[j] != 0 ? 1 : 0;
    if (!results.app_all.empty()) {
      write_page(job, first, w.final_app.get(), results.app_all.page(static_cast<std::size_t>(it)));
    }
    if (params.early_stop == EarlyStop::kCrc) {
      // A lane whose decisions pass the CRC stops.
      alignas(64) std::int32_t failed[HWY_MAX_BYTES / sizeof(float)] = {};
      const std::span<std::uint8_t> bits(w.bits.get(), L);
      for (std::size_t j = 0; j < W; ++j) {
        if (running[j] == 0) continue;
        for (std::size_t k = 0; k < L; ++k) bits[k] = w.app[k * W + j] > 0 ? 1 : 0;
        failed[j] = passes_crc(*params.crc, bits) ? 0 : -1;
      }
      active = hn::And(active, hn::RebindMask(df, hn::Ne(hn::Load(di, failed), hn::Zero(di))));
    } else if (params.early_stop == EarlyStop::kUnchangedDecisions && it > 0) {
      active = hn::And(active, changed);  // a lane whose decisions repeat stops
    }
    if (params.early_stop != EarlyStop::kNever) {
      if (hn::AllFalse(df, active)) {
        for (int rest = it + 1; rest < params.iterations && !results.app_all.empty(); ++rest) {
          write_page(job, first, w.final_app.get(), results.app_all.page(static_cast<std::size_t>(rest)));
        }
        break;
      }
    }
  }
  if (!results.app.empty()) write_page(job, first, w.final_app.get(), results.app);
  if (!results.iterations_run.empty()) {
    const std::size_t valid = std::min(W, job.channel->ys.frames - first);
    for (std::size_t j = 0; j < valid; ++j) results.iterations_run[first + j] = runs[j];
  }
}

template <class Op>
void decode_with(Job& job, const Interrupt& interrupt) {
  const std::size_t groups = (job.channel->ys.frames + job.W - 1) / job.W;
  const std::size_t workers = parallel_workers(groups, job.params->threads);
  // Every workspace goes back to the pool however the run ends.
  struct Lease {
    std::vector<std::unique_ptr<Workspace>> spaces;
    ~Lease() {
      for (auto& w : spaces) workspace_pool().give(std::move(w));
    }
  } lease;
  const Shape shape{job.W, job.L, job.steps, job.S, job.m};
  for (std::size_t i = 0; i < workers; ++i) lease.spaces.push_back(workspace_pool().take(shape));
  auto& spaces = lease.spaces;
  const auto run = [&]<std::size_t kStates>() {
    parallel_for(
        groups, job.params->threads,
        [&](std::size_t group, std::size_t worker, const Interrupt& stop) {
          decode_group<Op, kStates>(job, group, *spaces[worker], stop);
        },
        interrupt);
  };
  if (CellularCode::matches(*job.trellis)) return run.template operator()<kCellular>();
  if (job.S == 8) return run.template operator()<8>();
  return run.template operator()<0>();
}

void TurboDecode(Job& job, const Interrupt& interrupt) {
  job.W = hn::Lanes(DF());
  switch (job.params->max_star) {
    case MaxStar::kLinear:
      return decode_with<LaneMaxStar<0>>(job, interrupt);
    case MaxStar::kMaxLog:
      return decode_with<LaneMaxStar<1>>(job, interrupt);
    case MaxStar::kConstant:
      return decode_with<LaneMaxStar<2>>(job, interrupt);
    case MaxStar::kPiecewise:
      return decode_with<LaneMaxStar<3>>(job, interrupt);
    case MaxStar::kExact:
      return decode_with<LaneMaxStar<4>>(job, interrupt);
  }
}

std::size_t FloatLanes() {
  return hn::Lanes(DF());
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

using turbo_detail::Job;

HWY_EXPORT(TurboDecode);
HWY_EXPORT(FloatLanes);

namespace {

void require_view(const FrameView<const double>& v, std::size_t frames, std::size_t length,
                  const char* what) {
  if (v.data == nullptr && frames * length != 0) {
    throw ArgumentError(std::string("turbo_decode: ") + what + " is missing");
  }
  if (v.frames != frames || v.length != length) {
    throw ArgumentError(std::string("turbo_decode: ") + what + " has the wrong shape");
  }
}

}  // namespace

void turbo_decode(const TurboChannel& channel, const Trellis& trellis, std::span<const int> alpha,
                  const TurboDecodeParams& params, const TurboResults& results,
                  const Interrupt& interrupt) {
  const std::size_t F = channel.ys.frames;
  const std::size_t L = channel.ys.length;
  const auto m = static_cast<std::size_t>(trellis.m);
  if (trellis.n != 2) throw ArgumentError("turbo_decode: the constituent code needs n = 2");
  require_view(channel.ys, F, L, "ys");
  require_view(channel.yp1, F, L, "yp1");
  require_view(channel.yp2, F, L, "yp2");
  require_view(channel.ytail, F, 4 * m, "ytail");
  if (alpha.size() != L) throw ArgumentError("turbo_decode: alpha must hold L indices");
  std::vector<int> named(L, 0);
  for (const int a : alpha) {
    if (a < 0 || static_cast<std::size_t>(a) >= L) {
      throw ArgumentError("turbo_decode: alpha holds an index outside 0..L-1");
    }
    named[static_cast<std::size_t>(a)] = 1;
  }
  if (params.iterations < 1) throw ArgumentError("turbo_decode: iterations must be >= 1");
  if (params.early_stop != EarlyStop::kNever &&
      params.early_stop != EarlyStop::kUnchangedDecisions && params.early_stop != EarlyStop::kCrc) {
    throw ArgumentError("turbo_decode: early_stop is not an EarlyStop");
  }
  if (params.crc && static_cast<int>(*params.crc) >= kCrcNameCount) {
    throw ArgumentError("turbo_decode: crc is not a CrcName");
  }
  if (params.crc.has_value() != (params.early_stop == EarlyStop::kCrc)) {
    throw ArgumentError(params.crc ? "turbo_decode: a crc is given, but early_stop is not kCrc"
                                   : "turbo_decode: early_stop kCrc needs the crc to check");
  }
  if (params.crc && L < static_cast<std::size_t>(crc_polynomial(*params.crc).length)) {
    const CrcPolynomial& crc = crc_polynomial(*params.crc);
    Refusal r{Fault::kShorterThanCrc, "ys", crc.label};
    r.value = static_cast<std::int64_t>(L);
    r.limit = crc.length;
    throw ArgumentError(r);
  }
  if (!is_max_star_type(static_cast<int>(params.max_star))) {
    throw_bad_max_star_type(static_cast<int>(params.max_star));
  }
  const auto check_out = [&](const FrameView<double>& v) {
    if (!v.empty() && (v.frames != F || v.length != L)) {
      throw ArgumentError("turbo_decode: an output has the wrong shape");
    }
  };
  check_out(results.app);
  check_out(results.app_all.first);
  if (!results.app_all.empty() &&
      results.app_all.pages != static_cast<std::size_t>(params.iterations)) {
    throw ArgumentError("turbo_decode: app_all needs one page per iteration");
  }
  if (!results.iterations_run.empty() && results.iterations_run.size() != F) {
    throw ArgumentError("turbo_decode: iterations_run needs one count per frame");
  }
  if (F == 0) return;

  Job job;
  job.channel = &channel;
  job.trellis = &trellis;
  job.alpha = alpha;
  job.permutation = std::all_of(named.begin(), named.end(), [](int x) { return x != 0; });
  job.params = &params;
  job.results = &results;
  job.L = L;
  job.m = m;
  job.S = static_cast<std::size_t>(trellis.num_states);
  job.steps = L + m;
  job.W = HWY_DYNAMIC_DISPATCH(FloatLanes)();
  job.tables.word.resize(2 * job.S);
  job.tables.next.resize(2 * job.S);
  job.tables.incoming.resize(2 * job.S);
  for (std::size_t s = 0; s < job.S; ++s) {
    job.tables.word[2 * s] = trellis.out0[s];
    job.tables.word[2 * s + 1] = trellis.out1[s];
    job.tables.next[2 * s] = trellis.next0[s];
    job.tables.next[2 * s + 1] = trellis.next1[s];
  }
  for (std::size_t j = 0; j < 2 * job.S; ++j) {
    job.tables.incoming[j] = 2 * trellis.in_state[j] + trellis.in_bit[j];
  }
  HWY_DYNAMIC_DISPATCH(TurboDecode)(job, interrupt);
}

std::size_t turbo_frames_per_pass() {
  return HWY_DYNAMIC_DISPATCH(FloatLanes)();
}

std::uint64_t turbo_decode_bytes(std::size_t L, int K, int threads, std::uint64_t frames) noexcept {
  if (!trellis_fits(K, 2)) return kSizeSaturated;
  // Frames per group on this machine. (HWY_MAX_BYTES here, outside the per-target code,
  // is the baseline target's width, not the widest.)
  const std::uint64_t W = turbo_frames_per_pass();
  const std::uint64_t S = std::uint64_t{1} << (K - 1);
  const std::uint64_t steps = add_sat(L, static_cast<std::uint64_t>(K - 1));
  // Floats: two channel inputs, five rows of L, the backward metrics and two state rows;
  // doubles: three rows of L.
  std::uint64_t floats = add_sat(mul_sat(4, steps), mul_sat(5, L));
  floats = add_sat(floats, add_sat(mul_sat(add_sat(steps, 1), S), mul_sat(2, S)));
  std::uint64_t per_thread = add_sat(mul_sat(floats, 4), mul_sat(mul_sat(3, L), 8));
  per_thread = add_sat(mul_sat(per_thread, W), L);  // and one lane's decisions, bytes
  const std::uint64_t tables = add_sat(mul_sat(6 * sizeof(int), S), mul_sat(sizeof(int), L));
  const std::size_t workers = workers_for_frames(frames, static_cast<std::size_t>(W), threads);
  return add_sat(mul_sat(per_thread, static_cast<std::uint64_t>(workers)), tables);
}

}  // namespace linkforge
#endif  // HWY_ONCE
