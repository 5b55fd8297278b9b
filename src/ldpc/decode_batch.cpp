// Whole LDPC decoder: the frames of a call run in groups of W, one frame per SIMD lane
// (W = the single-precision lanes of the target), and the groups run on several threads.
// Within a lane every message is formed by the operations decode performs for that
// frame, in the same order and precision, so each frame's result does not depend on the
// target, the group it falls in or the thread count.
//
// decode keeps a bit-to-check message per edge (magnitude and sign) and a check-to-bit
// message r per edge. Here only r is kept: the message a bit sends a check is
// D = T - r (its total T minus that check's message of the previous iteration) scaled
// by q_scale, and it is formed where the check reads it, from the totals of the previous
// iteration, with the operations the bit update of decode performs, so it is the same
// value. The first iteration reads the channel values instead (unscaled, sign of L < 0),
// as decode's starting messages are.
//
// Callers pass log-likelihood ratios ln(P(1)/P(0)), the toolbox's convention; decode
// takes ln(P(0)/P(1)). The loads negate them as they round them to single precision,
// which is exact, so the lanes start from the values decode starts from.
//
// Working arrays of a group, lane fastest (row v holds value v of the W frames):
//   channel   n rows    channel values ln(P(0)/P(1)), single precision
//   total     n rows    totals T of the last iteration each lane ran
//   r         e rows    check-to-bit messages, in check edge order
//   magnitude, sign, other   one row per edge of the check being updated
//   expected  k rows    data bits as bytes: 0, 1, or 2 where the reference is neither
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/parallel.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "ldpc/decode_batch.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/contrib/math/math-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_LDPC_DECODE_BATCH_SHARED
#define LINKFORGE_LDPC_DECODE_BATCH_SHARED
namespace linkforge::ldpc_detail {

using ldpc::BatchDecodeParams;
using ldpc::BatchResults;
using ldpc::SparseGraph;

// The widest vector of any target, in bytes: arrays are aligned to it.
constexpr std::size_t kAlign = 64;

// An array of `count` values whose data starts on a kAlign boundary, held in a standard
// container (so that the working memory is freed as an exception unwinds).
template <class T>
class LaneArray {
 public:
  void resize(std::size_t count) {
    storage_.assign(count + kAlign / sizeof(T), T{});
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    data_ = storage_.data() + ((kAlign - address % kAlign) % kAlign) / sizeof(T);
  }
  T* get() const noexcept { return data_; }

 private:
  std::vector<T> storage_;
  T* data_ = nullptr;
};

struct Workspace {
  LaneArray<float> channel, total, r, magnitude, sign, other, fixup_x, fixup_y;
  LaneArray<std::uint8_t> expected;
  LaneArray<std::int32_t> active, counts;
  LaneArray<std::uint32_t> formula;  // lanes of a row batch that need the logarithm
};

struct Job {
  const SparseGraph* graph;
  FrameView<const double> channel;
  FrameView<const int> data;
  const BatchDecodeParams* params;
  const BatchResults* results;
  std::size_t W, max_degree;
  bool logf_model;  // logf_follows_model()
};

// The smallest float whose double value is at least phi0's lower clip 9.08e-5: for a
// float x, static_cast<double>(x) < 9.08e-5 exactly when x is below it.
inline float phi0_small_limit() noexcept {
  float t = static_cast<float>(9.08e-5);
  while (static_cast<double>(t) < 9.08e-5) t = std::nextafter(t, 1.0f);
  while (static_cast<double>(std::nextafter(t, 0.0f)) >= 9.08e-5) t = std::nextafter(t, 0.0f);
  return t;
}

// The formula of glibc's logf and its constants: its table of 1/c and log c for the
// sixteen subranges of [0.7, 1.4) that start at kOffset, its polynomial coefficients
// and ln 2 (the phi0 lane comment tells how the lanes use them).
struct LogfModel {
  static constexpr std::uint32_t kOffset = 0x3F330000u;
  // clang-format off
  alignas(64) static constexpr double kInvC[16] = {
      0x1.661ec79f8f3bep+0, 0x1.571ed4aaf883dp+0, 0x1.49539f0f010bp+0,  0x1.3c995b0b80385p+0,
      0x1.30d190c8864a5p+0, 0x1.25e227b0b8eap+0,  0x1.1bb4a4a1a343fp+0, 0x1.12358f08ae5bap+0,
      0x1.0953f419900a7p+0, 0x1p+0,               0x1.e608cfd9a47acp-1, 0x1.ca4b31f026aap-1,
      0x1.b2036576afce6p-1, 0x1.9c2d163a1aa2dp-1, 0x1.886e6037841edp-1, 0x1.767dcf5534862p-1};
  alignas(64) static constexpr double kLogC[16] = {
      -0x1.57bf7808caadep-2, -0x1.2bef0a7c06ddbp-2, -0x1.01eae7f513a67p-2, -0x1.b31d8a68224e9p-3,
      -0x1.6574f0ac07758p-3, -0x1.1aa2bc79c81p-3,   -0x1.a4e76ce8c0e5ep-4, -0x1.1973c5a611cccp-4,
      -0x1.252f438e10c1ep-5, 0x0p+0,                0x1.aa5aa5df25984p-5,  0x1.c5e53aa362eb4p-4,
      0x1.526e57720db08p-3,  0x1.bc2860d22477p-3,   0x1.1058bc8a07ee1p-2,  0x1.4043057b6ee09p-2};
  static constexpr double kA[3] = {-0x1.00ea348b88334p-2, 0x1.5575b0be00b6ap-2,
                                   -0x1.ffffef20a4123p-2};
  // clang-format on
  static constexpr double kLn2 = 0x1.62e42fefa39efp-1;

  // The model's value of log q for a positive normal float q, and its window (the same
  // operations as the lanes).
  static double value(float q, double& window) noexcept {
    const auto ix = std::bit_cast<std::uint32_t>(q);
    const std::uint32_t tmp = ix - kOffset;
    const std::uint32_t i = (tmp >> 19) % 16;
    const int k = static_cast<std::int32_t>(tmp) >> 23;
    const double z = std::bit_cast<float>(ix - (tmp & 0xFF800000u));
    const double r = z * kInvC[i] - 1.0;
    const double y0 = kLogC[i] + static_cast<double>(k) * kLn2;
    const double r2 = r * r;
    double y = kA[1] * r + kA[2];
    y = kA[0] * r2 + y;
    y = y * r2 + (y0 + r);
    window = (std::fabs(y0) + std::fabs(r)) * 0x1p-47;
    return y;
  }
};

// Whether the library's logf rounds the model's value, checked once on some 29000
// arguments spread over [1, 22528), the quotients phi0 takes logarithms of (a libm
// that rounds otherwise, a correctly rounding one included, differs on about 130).
inline bool logf_follows_model() {
  static const bool follows = [] {
    for (std::uint32_t u = 0x3F800101u; u < 0x46B00000u; u += 0x1011u) {
      const float q = std::bit_cast<float>(u);
      double window = 0.0;
      const double y = LogfModel::value(q, window);
      const auto low = static_cast<float>(y - window);
      if (low == static_cast<float>(y + window) && low != std::log(q)) return false;
    }
    return true;
  }();
  return follows;
}

// Per-worker working memory for a graph and W lanes.
inline Workspace make_workspace(const Job& job) {
  const SparseGraph& g = *job.graph;
  const std::size_t W = job.W;
  const auto n = static_cast<std::size_t>(g.n);
  const auto k = static_cast<std::size_t>(g.k);
  Workspace w;
  w.channel.resize(n * W);
  w.total.resize(n * W);
  w.r.resize(g.edges() * W);
  w.magnitude.resize(job.max_degree * W);
  w.sign.resize(job.max_degree * W);
  w.other.resize(job.max_degree * W);
  w.formula.resize(job.max_degree * W);
  w.fixup_x.resize(W);
  w.fixup_y.resize(W);
  w.expected.resize(k * W);
  w.active.resize(W);
  w.counts.resize(W);
  return w;
}

}  // namespace linkforge::ldpc_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace ldpc_detail;

using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using DU = hn::RebindToUnsigned<DF>;
using V = hn::Vec<DF>;
using M = hn::Mask<DF>;

// ---------------------------------------------------------------------------------
// phi0 in lanes
//
// The clips and the coarse table are comparisons and selections. On [9.08e-5, 5] phi0
// is y = expf(x), then q = (y + 1) / (y - 1) in single precision, then logf(q); the
// quotient is the same IEEE operations in lanes.
//
// expf: glibc evaluates e^x in double precision and rounds once to single; before that
// rounding its value lies within 2^-32 of e^x, relative (its polynomial is good to
// 1.69 * 2^-34; over every argument phi0 gives it, the result differs from the
// correctly rounded e^x only where e^x lies within 0.0016 units in the last place of a
// midpoint between two floats, 2^-32.3 relative). The lanes evaluate e^x with Highway's
// double-precision Exp, within 2^-51 relative (1 unit in the last place, a few with the
// rounding of the fused steps a target without them splits). So glibc's value lies in
// [E (1 - 2^-30), E (1 + 2^-30)] around the lanes' E, with a margin of four over both
// errors together; rounding to single never decreases as its argument grows, so where
// both ends round to the same float, glibc's value does too and the lane keeps it.
// Elsewhere (about 2 lanes in 100 near y = 1, fewer above, and every NaN) the lane takes
// std::exp itself. The unit test checks every float of [9.08e-5, 5] against phi0.
//
// logf: glibc also evaluates in double and rounds once, but its value before that
// rounding carries up to 0.32 units in the last place of error on the quotients phi0
// gives it (its result differs from the correctly rounded logarithm for 0.47% of them,
// some 0.318 units from a midpoint), so no accurate logarithm tells which float it
// rounds to. The lanes therefore evaluate glibc's own formula: q = 2^k z with z in
// [0.7, 1.4), c the centre of the sixteenth of that range z falls in,
//   r = z / c - 1,  log q = k ln 2 + log c + r + A2 r^2 + A1 r^3 + A0 r^4,
// with its table of 1/c and log c and its coefficients (LogfModel below). glibc
// evaluates the polynomial with fused multiply-adds on processors that have them; the
// lanes never fuse, and each of the five fusable steps then differs by at most one
// rounding, 2^-53 relative to the larger of its terms, all of them below |k ln 2| +
// |log c| + |r| + 1. Their sum, with the lanes' own roundings, stays below
// 2^-49 (|y0| + |r|) where y0 = k ln 2 + log c (r alone is computed exactly when
// c = 1, the only entry with y0 = 0 and k = 0). The lanes take the window
// 2^-47 (|y0| + |r|), four times that: where both of its ends round to the same float,
// glibc's value does too. Elsewhere (a few lanes in ten million) the lane takes
// std::log itself. Whether the library's logf is this one is checked once per process
// on a spread of arguments (logf_follows_model); where it is not, every lane takes
// std::log. The unit test checks every float of [9.08e-5, 5] against phi0.
// ---------------------------------------------------------------------------------

// Coarse values of (5, 10], as phi0 holds them.
constexpr float kCoarse[5] = {0.0092168f, 0.0033906f, 0.0012473f, 0.00045887f, 0.00016881f};

// 1 + 2^-30 and 1 - 2^-30: the ends of the error interval of e^x, relative.
constexpr double kExpUp = 1.0 + 0x1p-30;
constexpr double kExpDown = 1.0 - 0x1p-30;

// Bounds R(y - w) and R(y + w) of the single-precision rounding of glibc's logf value
// for each lane of q (positive normal floats), y the model's value and w its window.
HWY_INLINE std::pair<V, V> LogfBounds(DF df, V q) {
  const DU du;
  const DI di;
  const auto ix = hn::BitCast(du, q);
  const auto tmp = ix - hn::Set(du, LogfModel::kOffset);
  const V index = hn::ConvertTo(df, hn::BitCast(di, hn::ShiftRight<19>(tmp) & hn::Set(du, 15u)));
  const V k = hn::ConvertTo(df, hn::ShiftRight<23>(hn::BitCast(di, tmp)));
  const V z = hn::BitCast(df, ix - (tmp & hn::Set(du, 0xFF800000u)));
  return per_double_lanes(df, [&](auto dd, auto widen) {
    const hn::RebindToSigned<decltype(dd)> d64;
    const auto entry = hn::ConvertTo(d64, widen(index));
    const auto inv_c = hn::GatherIndex(dd, LogfModel::kInvC, entry);
    const auto log_c = hn::GatherIndex(dd, LogfModel::kLogC, entry);
    const auto r = widen(z) * inv_c - hn::Set(dd, 1.0);
    const auto y0 = log_c + widen(k) * hn::Set(dd, LogfModel::kLn2);
    const auto r2 = r * r;
    auto y = hn::Set(dd, LogfModel::kA[1]) * r + hn::Set(dd, LogfModel::kA[2]);
    y = hn::Set(dd, LogfModel::kA[0]) * r2 + y;
    y = y * r2 + (y0 + r);
    const auto w = (hn::Abs(y0) + hn::Abs(r)) * hn::Set(dd, 0x1p-47);
    return std::make_pair(y - w, y + w);
  });
}

// Channel values of frames first..first+W-1 into rows of W floats (row v holds bit v
// of each frame), rounded to single precision and negated; zeros beyond the last frame. Frames
// adjacent in memory (a host's column-major matrix) are read a vector at a time.
void load_channel(const FrameView<const double>& view, std::size_t first, std::size_t W,
                  std::size_t n, float* HWY_RESTRICT rows) {
  const std::size_t valid = std::min(W, view.frames - first);
  if (valid == W && view.frame_stride == 1) {
    const DF df;
    const DoubleLanes<DF> dd;
    const hn::Rebind<float, DoubleLanes<DF>> dh;
    const std::size_t half = hn::Lanes(dd);
    for (std::size_t v = 0; v < n; ++v) {
      const double* in = &view(first, v);
      for (std::size_t h = 0; h < W; h += half) {
        hn::StoreU(hn::Neg(RoundToSingle(dh, hn::LoadU(dd, in + h))), dh, rows + v * W + h);
      }
    }
    (void)df;
    return;
  }
  if (valid < W) std::fill_n(rows, n * W, 0.0f);
  for (std::size_t j = 0; j < valid; ++j) {
    const double* in = &view(first + j, 0);
    const std::ptrdiff_t stride = view.element_stride;
    for (std::size_t v = 0; v < n; ++v) {
      rows[v * W + j] = -static_cast<float>(in[static_cast<std::ptrdiff_t>(v) * stride]);
    }
  }
}

// The reference bits of the frames as bytes: 0 and 1, and 2 for any other value.
void load_expected(const FrameView<const int>& view, std::size_t first, std::size_t W,
                   std::size_t k, std::uint8_t* HWY_RESTRICT rows) {
  const std::size_t valid = std::min(W, view.frames - first);
  if (view.empty() || valid < W) std::fill_n(rows, k * W, std::uint8_t{0});
  if (view.empty()) return;
  const auto code = [](int bit) { return static_cast<std::uint8_t>(bit == 0 ? 0 : bit == 1 ? 1 : 2); };
  for (std::size_t j = 0; j < valid; ++j) {
    for (std::size_t v = 0; v < k; ++v) rows[v * W + j] = code(view(first + j, v));
  }
}

// phi0 of `rows` rows of W lanes in place. Lanes outside `care` (a row-independent lane
// mask) may hold anything afterwards; their logarithms are not taken. `formula` holds
// rows x W indices.
void Phi0Rows(float* HWY_RESTRICT values, std::size_t rows, std::size_t W, float small, M care,
              bool model, std::uint32_t* HWY_RESTRICT formula, float* HWY_RESTRICT fix_x,
              float* HWY_RESTRICT fix_y) {
  const DF df;
  const DU du;
  const std::size_t N = hn::Lanes(df);
  const V five = hn::Set(df, 5.0f);
  const V ten = hn::Set(df, 10.0f);
  const V one = hn::Set(df, 1.0f);
  std::size_t pending = 0;
  for (std::size_t i = 0; i < rows * W; i += N) {
    const V x = hn::Load(df, values + i);
    V coarse = hn::Set(df, kCoarse[0]);
    for (int e = 1; e < 5; ++e) {
      coarse = hn::IfThenElse(x > hn::Set(df, 5.0f + static_cast<float>(e)),
                              hn::Set(df, kCoarse[e]), coarse);
    }
    coarse = hn::IfThenZeroElse(x > ten, coarse);
    const M big = x > five;
    const M tiny = x < hn::Set(df, small);
    V out = hn::IfThenElse(big, coarse, ten);
    const M needed = hn::AndNot(hn::Or(big, tiny), care);
    if (!hn::AllFalse(df, needed)) {
      // y = e^x where R(E (1 - d)) = R(E (1 + d)).
      const auto [low, high] = per_double_lanes(df, [&](auto dd, auto widen) {
        // NaN lanes go to the library below; Highway's exponential must not see them (on
        // the scalar target it converts its argument to an integer).
        const auto e = hn::Exp(dd, widen(hn::IfThenElse(x == x, x, hn::Zero(df))));
        return std::make_pair(e * hn::Set(dd, kExpDown), e * hn::Set(dd, kExpUp));
      });
      V y = low;
      const M settled = hn::And(low == high, x == x);
      const M unsettled = hn::AndNot(settled, needed);
      if (!hn::AllFalse(df, unsettled)) {
        hn::Store(x, df, fix_x);
        hn::Store(y, df, fix_y);
        alignas(64) std::int32_t flag[HWY_MAX_BYTES / sizeof(float)];
        const DI di;
        hn::Store(hn::VecFromMask(di, hn::RebindMask(di, unsettled)), di, flag);
        for (std::size_t j = 0; j < N; ++j) {
          if (flag[j] != 0) fix_y[j] = std::exp(fix_x[j]);
        }
        y = hn::Load(df, fix_y);
      }
      const V quotient = (y + one) / (y - one);
      M unsettled_log = needed;
      out = hn::IfThenElse(needed, quotient, out);
      if (model) {
        const auto [low_log, high_log] = LogfBounds(df, quotient);
        // The model works on the bits of its operand: a NaN quotient (from a NaN x) is
        // left to the library's logarithm, which keeps it NaN.
        const M settled_log = hn::And(low_log == high_log, quotient == quotient);
        unsettled_log = hn::AndNot(settled_log, needed);
        out = hn::IfThenElse(hn::And(needed, settled_log), low_log, out);
      }
      if (!hn::AllFalse(df, unsettled_log)) {
        const auto index = hn::Iota(du, static_cast<std::uint32_t>(i));
        pending +=
            hn::CompressStore(index, hn::RebindMask(du, unsettled_log), du, formula + pending);
      }
    }
    hn::Store(out, df, values + i);
  }
  for (std::size_t p = 0; p < pending; ++p) {
    const std::uint32_t at = formula[p];
    values[at] = std::log(values[at]);
  }
}

// ---------------------------------------------------------------------------------
// One group

class LdpcGroupDecoder {
 public:
  LdpcGroupDecoder(const Job& job, Workspace& w) : job_(job), g_(*job.graph), w_(w) {}

  void run(std::size_t group, const Interrupt& interrupt) {
    const DF df;
    const DI di;
    const std::size_t W = job_.W;
    const BatchDecodeParams& params = *job_.params;
    const BatchResults& results = *job_.results;
    const std::size_t first = group * W;
    const std::size_t valid = std::min(W, job_.channel.frames - first);
    const auto n = static_cast<std::size_t>(g_.n);
    const auto k = static_cast<std::size_t>(g_.k);
    const auto iterations = static_cast<std::size_t>(params.max_iter);

    load_channel(job_.channel, first, W, n, w_.channel.get());
    std::fill_n(w_.total.get(), n * W, 0.0f);
    load_expected(job_.data, first, W, k, w_.expected.get());
    for (std::size_t j = 0; j < W; ++j) w_.active.get()[j] = j < valid ? -1 : 0;
    for (std::size_t j = 0; j < valid; ++j) {
      for (std::size_t t = 0; t < iterations; ++t) results.errors(first + j, t) = 0;
    }
    std::vector<int> runs(W, 0);

    InterruptPacer pacer(interrupt);
    for (std::size_t t = 0; t < iterations; ++t) {
      const M active = hn::RebindMask(df, hn::Load(di, w_.active.get()) != hn::Zero(di));
      if (params.kind == ldpc::DecoderKind::kMinSum) {
        if (t == 0) {
          checks_min_sum<true>(pacer);
        } else {
          checks_min_sum<false>(pacer);
        }
      } else {
        if (t == 0) {
          checks_sum_product<true>(active, pacer);
        } else {
          checks_sum_product<false>(active, pacer);
        }
      }
      bits(active, pacer);
      bool any = false;
      for (std::size_t j = 0; j < valid; ++j) {
        if (w_.active.get()[j] == 0) continue;
        const int count = w_.counts.get()[j];
        results.errors(first + j, t) = count;
        runs[j] = static_cast<int>(t + 1);
        if (params.early_stop && count == 0) {
          w_.active.get()[j] = 0;
        } else {
          any = true;
        }
      }
      if (!any) break;
    }

    if (!results.iterations_run.empty()) {
      for (std::size_t j = 0; j < valid; ++j) results.iterations_run[first + j] = runs[j];
    }
    if (!results.decisions.empty()) write_decisions(first, valid, iterations > 0);
  }

 private:
  // Every check: the messages its bits send (from the channel values in the first
  // iteration), then its messages r, written over the previous iteration's. Checks of
  // up to kFixedDegrees edges keep their messages in registers.
  static constexpr int kFixedDegrees = 12;

  template <bool kFirst>
  void checks_min_sum(InterruptPacer& pacer) {
    const DF df;
    const BatchDecodeParams& params = *job_.params;
    const V q_scale = hn::Set(df, params.q_scale);
    const V r_scale = hn::Set(df, params.r_scale);
    const int* offset = g_.check_offset.data();
    const int* bit = g_.check_bits.data();
    const float* HWY_RESTRICT source = kFirst ? w_.channel.get() : w_.total.get();
    float* HWY_RESTRICT r = w_.r.get();
    float* HWY_RESTRICT sign = w_.sign.get();
    for (std::size_t i = 0; i < static_cast<std::size_t>(g_.m); ++i) {
      const int begin = offset[i];
      const int degree = offset[i + 1] - begin;
      pacer.add(static_cast<std::uint64_t>(degree));
      const auto run = [&]<int kDegree>() {
        min_sum_check<kFirst, kDegree>(degree, static_cast<std::size_t>(begin), bit, source, r,
                                       sign, q_scale, r_scale);
      };
      switch (degree) {
        // clang-format off
        case 1: run.template operator()<1>(); break;
        case 2: run.template operator()<2>(); break;
        case 3: run.template operator()<3>(); break;
        case 4: run.template operator()<4>(); break;
        case 5: run.template operator()<5>(); break;
        case 6: run.template operator()<6>(); break;
        case 7: run.template operator()<7>(); break;
        case 8: run.template operator()<8>(); break;
        case 9: run.template operator()<9>(); break;
        case 10: run.template operator()<10>(); break;
        case 11: run.template operator()<11>(); break;
        case 12: run.template operator()<12>(); break;
        default: run.template operator()<0>(); break;
          // clang-format on
      }
    }
  }

  // One min-sum check of `degree` edges from edge `begin` on; kDegree > 0 is the degree
  // fixed at compile time. Each edge's magnitude is compared with the two smallest so
  // far in edge order, as decode does, and the edge of the smallest is remembered.
  template <bool kFirst, int kDegree>
  static HWY_INLINE void min_sum_check(int degree_arg, std::size_t begin,
                                       const int* HWY_RESTRICT bit,
                                       const float* HWY_RESTRICT source, float* HWY_RESTRICT r,
                                       float* HWY_RESTRICT sign_rows, V q_scale, V r_scale) {
    const DF df;
    const DI di;
    const std::size_t W = hn::Lanes(df);
    const int degree = kDegree > 0 ? kDegree : degree_arg;
    const V sign_bit = hn::Set(df, -0.0f);
    V signs[kDegree > 0 ? kDegree : 1];
    V X = hn::Zero(df);
    V min1 = hn::Set(df, 1000.0f);
    V min2 = min1;
    auto min1_edge = hn::Set(di, -1);
    for (int j = 0; j < degree; ++j) {
      const std::size_t c = begin + static_cast<std::size_t>(j);
      const V from = hn::Load(df, source + static_cast<std::size_t>(bit[c]) * W);
      V value, s;
      if constexpr (kFirst) {
        value = hn::Abs(from);
        s = hn::IfThenElseZero(from < hn::Zero(df), sign_bit);
      } else {
        const V D = from - hn::Load(df, r + c * W);
        value = q_scale * hn::Abs(D);
        s = hn::IfThenZeroElse(D > hn::Zero(df), sign_bit);
      }
      if constexpr (kDegree > 0) {
        signs[j] = s;
      } else {
        hn::Store(s, df, sign_rows + static_cast<std::size_t>(j) * W);
      }
      X = hn::Xor(X, s);
      const M below1 = value < min1;
      const M below2 = value < min2;
      min2 = hn::IfThenElse(below1, min1, hn::IfThenElse(below2, value, min2));
      min1 = hn::IfThenElse(below1, value, min1);
      min1_edge = hn::IfThenElse(hn::RebindMask(di, below1), hn::Set(di, j), min1_edge);
    }
    const V out1 = r_scale * min1;
    const V out2 = r_scale * min2;
    for (int j = 0; j < degree; ++j) {
      const std::size_t c = begin + static_cast<std::size_t>(j);
      const M own = hn::RebindMask(df, min1_edge == hn::Set(di, j));
      const V magnitude = hn::IfThenElse(own, out2, out1);
      V s;
      if constexpr (kDegree > 0) {
        s = signs[j];
      } else {
        s = hn::Load(df, sign_rows + static_cast<std::size_t>(j) * W);
      }
      hn::Store(hn::Xor(magnitude, hn::Xor(s, X)), df, r + c * W);
    }
  }

  template <bool kFirst>
  void checks_sum_product(M active, InterruptPacer& pacer) {
    const DF df;
    const std::size_t W = job_.W;
    const std::size_t N = hn::Lanes(df);
    const BatchDecodeParams& params = *job_.params;
    const float small = small_;
    const V q_scale = hn::Set(df, params.q_scale);
    const V r_scale = hn::Set(df, params.r_scale);
    const V sign_bit = hn::Set(df, -0.0f);
    const int* offset = g_.check_offset.data();
    const int* bit = g_.check_bits.data();
    const float* HWY_RESTRICT source = kFirst ? w_.channel.get() : w_.total.get();
    float* HWY_RESTRICT r = w_.r.get();
    float* HWY_RESTRICT magnitude = w_.magnitude.get();
    float* HWY_RESTRICT sign = w_.sign.get();
    float* HWY_RESTRICT other = w_.other.get();
    for (std::size_t i = 0; i < static_cast<std::size_t>(g_.m); ++i) {
      const int begin = offset[i];
      const auto degree = static_cast<std::size_t>(offset[i + 1] - begin);
      pacer.add(degree * 2 * W);
      for (std::size_t j = 0; j < degree; ++j) {
        const std::size_t c = static_cast<std::size_t>(begin) + j;
        const V from = hn::Load(df, source + static_cast<std::size_t>(bit[c]) * W);
        if constexpr (kFirst) {
          hn::Store(hn::Abs(from), df, magnitude + j * W);
          hn::Store(hn::IfThenElseZero(from < hn::Zero(df), sign_bit), df, sign + j * W);
        } else {
          const V D = from - hn::Load(df, r + c * W);
          hn::Store(hn::Abs(D), df, magnitude + j * W);
          hn::Store(hn::IfThenZeroElse(D > hn::Zero(df), sign_bit), df, sign + j * W);
        }
      }
      Phi0Rows(magnitude, degree, W, small, active, job_.logf_model, w_.formula.get(),
               w_.fixup_x.get(), w_.fixup_y.get());
      for (std::size_t h = 0; h < W; h += N) {
        V S = hn::Zero(df);
        V X = hn::Zero(df);
        for (std::size_t j = 0; j < degree; ++j) {
          V q = hn::Load(df, magnitude + j * W + h);
          if constexpr (!kFirst) {
            q = q_scale * q;
            hn::Store(q, df, magnitude + j * W + h);
          }
          S = S + q;
          X = hn::Xor(X, hn::Load(df, sign + j * W + h));
        }
        for (std::size_t j = 0; j < degree; ++j) {
          hn::Store(S - hn::Load(df, magnitude + j * W + h), df, other + j * W + h);
          hn::Store(hn::Xor(hn::Load(df, sign + j * W + h), X), df, sign + j * W + h);
        }
      }
      Phi0Rows(other, degree, W, small, active, job_.logf_model, w_.formula.get(),
               w_.fixup_x.get(), w_.fixup_y.get());
      for (std::size_t j = 0; j < degree; ++j) {
        const std::size_t c = static_cast<std::size_t>(begin) + j;
        for (std::size_t h = 0; h < W; h += N) {
          const V m = hn::Load(df, other + j * W + h) * r_scale;
          hn::Store(hn::Xor(m, hn::Load(df, sign + j * W + h)), df, r + c * W + h);
        }
      }
    }
  }

  // Every bit: T = L + its messages r in list order; lanes still running keep T, and
  // count the data bits whose decision (T < 0) differs from the reference.
  void bits(M active, InterruptPacer& pacer) {
    const DF df;
    if (hn::AllTrue(df, active)) {
      bits_with<true>(active, pacer);
    } else {
      bits_with<false>(active, pacer);
    }
  }

  template <bool kAllActive>
  void bits_with(M active, InterruptPacer& pacer) {
    const DF df;
    const DI di;
    const hn::Rebind<std::uint8_t, DI> d8;
    const std::size_t W = job_.W;
    const int* offset = g_.bit_offset.data();
    const int* r_edge = g_.bit_r_edge.data();
    const float* HWY_RESTRICT channel = w_.channel.get();
    const float* HWY_RESTRICT r = w_.r.get();
    float* HWY_RESTRICT total = w_.total.get();
    const std::uint8_t* HWY_RESTRICT expected = w_.expected.get();
    const auto n = static_cast<std::size_t>(g_.n);
    const auto k = static_cast<std::size_t>(g_.k);
    const auto update = [&](std::size_t v) HWY_ATTR {
      V T = hn::Load(df, channel + v * W);
      for (int b = offset[v]; b < offset[v + 1]; ++b) {
        T = T + hn::Load(df, r + static_cast<std::size_t>(r_edge[b]) * W);
      }
      if constexpr (kAllActive) {
        hn::Store(T, df, total + v * W);
      } else {
        hn::Store(hn::IfThenElse(active, T, hn::Load(df, total + v * W)), df, total + v * W);
      }
      return T;
    };
    auto count = hn::Zero(di);
    for (std::size_t v0 = 0; v0 < n; v0 += kPaceBits) {
      const std::size_t v1 = std::min(n, v0 + kPaceBits);
      pacer.add(static_cast<std::uint64_t>(offset[v1] - offset[v0]) + (v1 - v0));
      std::size_t v = v0;
      for (; v < std::min(v1, k); ++v) {
        const V T = update(v);
        const auto decision =
            hn::IfThenElseZero(hn::RebindMask(di, T < hn::Zero(df)), hn::Set(di, 1));
        const auto reference = hn::PromoteTo(di, hn::LoadU(d8, expected + v * W));
        count = count - hn::VecFromMask(di, decision != reference);
      }
      for (; v < v1; ++v) update(v);
    }
    hn::Store(count, di, w_.counts.get());
  }

  // Bits between two counts of work for the interrupt pacer.
  static constexpr std::size_t kPaceBits = 256;

  // Decisions T < 0 of the lanes' last iterations (0 when none ran). Frames adjacent in
  // memory are written a vector at a time.
  void write_decisions(std::size_t first, std::size_t valid, bool ran) {
    const FrameView<std::uint8_t>& out = job_.results->decisions;
    const std::size_t W = job_.W;
    const auto n = static_cast<std::size_t>(g_.n);
    const float* HWY_RESTRICT total = w_.total.get();
    if (!ran) {
      for (std::size_t j = 0; j < valid; ++j) {
        for (std::size_t v = 0; v < n; ++v) out(first + j, v) = 0;
      }
      return;
    }
    if (valid == W && out.frame_stride == 1) {
      const DF df;
      const DI di;
      const hn::Rebind<std::uint8_t, DI> d8;
      for (std::size_t v = 0; v < n; ++v) {
        const auto bit = hn::IfThenElseZero(
            hn::RebindMask(di, hn::Load(df, total + v * W) < hn::Zero(df)), hn::Set(di, 1));
        hn::StoreU(hn::DemoteTo(d8, bit), d8, &out(first, v));
      }
      return;
    }
    for (std::size_t j = 0; j < valid; ++j) {
      std::uint8_t* row = &out(first + j, 0);
      const std::ptrdiff_t stride = out.element_stride;
      for (std::size_t v = 0; v < n; ++v) {
        row[static_cast<std::ptrdiff_t>(v) * stride] = total[v * W + j] < 0.0f ? 1 : 0;
      }
    }
  }

  const Job& job_;
  const SparseGraph& g_;
  Workspace& w_;
  float small_ = phi0_small_limit();
};

void DecodeBatch(const Job& job, const Interrupt& interrupt) {
  const std::size_t frames = job.channel.frames;
  const std::size_t groups = (frames + job.W - 1) / job.W;
  const std::size_t workers = parallel_workers(groups, job.params->threads);
  std::vector<Workspace> spaces;
  spaces.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) spaces.push_back(make_workspace(job));
  parallel_for(
      groups, job.params->threads,
      [&](std::size_t group, std::size_t worker, const Interrupt& stop) {
        LdpcGroupDecoder(job, spaces[worker]).run(group, stop);
      },
      interrupt);
}

void Phi0Many(const float* x, float* out, std::size_t count, bool model) {
  const DF df;
  const std::size_t N = hn::Lanes(df);
  constexpr std::size_t kRows = 64;
  alignas(64) float block[kRows * HWY_MAX_BYTES / sizeof(float)];
  alignas(64) std::uint32_t formula[kRows * HWY_MAX_BYTES / sizeof(float)];
  alignas(64) float fix_x[HWY_MAX_BYTES / sizeof(float)];
  alignas(64) float fix_y[HWY_MAX_BYTES / sizeof(float)];
  const float small = phi0_small_limit();
  for (std::size_t start = 0; start < count; start += kRows * N) {
    const std::size_t take = std::min(kRows * N, count - start);
    const std::size_t rows = (take + N - 1) / N;
    std::copy_n(x + start, take, block);
    std::fill(block + take, block + rows * N, 0.0f);
    Phi0Rows(block, rows, N, small, hn::FirstN(df, N), model, formula, fix_x, fix_y);
    std::copy_n(block, take, out + start);
  }
}

std::size_t LdpcLanes() {
  return hn::Lanes(DF());
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

HWY_EXPORT(DecodeBatch);
HWY_EXPORT(Phi0Many);
HWY_EXPORT(LdpcLanes);

namespace ldpc {

namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw ArgumentError("decode_batch: " + message);
}

std::size_t largest_check_degree(const SparseGraph& g) {
  std::size_t largest = 0;
  for (std::size_t i = 0; i + 1 < g.check_offset.size(); ++i) {
    largest = std::max(largest, static_cast<std::size_t>(g.check_offset[i + 1] - g.check_offset[i]));
  }
  return largest;
}

}  // namespace

void decode_batch(const SparseGraph& graph, FrameView<const double> channel,
                  FrameView<const int> data, const BatchDecodeParams& params,
                  const BatchResults& results, const Interrupt& interrupt) {
  const std::size_t F = channel.frames;
  const auto n = static_cast<std::size_t>(graph.n);
  const auto k = static_cast<std::size_t>(std::max(graph.k, 0));
  if (params.max_iter < 0) refuse("max_iter must not be negative");
  const auto iterations = static_cast<std::size_t>(params.max_iter);
  if (channel.length != n) refuse("channel values do not match the code length");
  if (channel.data == nullptr && F * n != 0) refuse("channel values are missing");
  if (!data.empty() && (data.frames != F || data.length != k)) {
    refuse("data must hold k values per frame");
  }
  if (!results.decisions.empty() &&
      (results.decisions.frames != F || results.decisions.length != n)) {
    refuse("decisions must hold n values per frame");
  }
  if (results.errors.frames != F || results.errors.length != iterations ||
      (results.errors.empty() && F * iterations != 0)) {
    refuse("errors must hold max_iter counts per frame");
  }
  if (!results.iterations_run.empty() && results.iterations_run.size() != F) {
    refuse("iterations_run needs one count per frame");
  }
  if (F == 0) return;

  ldpc_detail::Job job{&graph, channel, data, &params, &results,
                       HWY_DYNAMIC_DISPATCH(LdpcLanes)(), largest_check_degree(graph),
                       params.kind == DecoderKind::kSumProduct && ldpc_detail::logf_follows_model()};
  HWY_DYNAMIC_DISPATCH(DecodeBatch)(job, interrupt);
}

std::uint64_t decode_batch_bytes(std::size_t n, std::size_t k, std::size_t edges,
                                 std::size_t max_check_degree, int threads,
                                 std::uint64_t frames) noexcept {
  const std::uint64_t W = ldpc_detail::kAlign / sizeof(float);  // the widest target
  // Floats: channel values and totals per bit, r per edge, four rows per edge of a
  // check, two fix-up rows; bytes per data bit; three rows of ints; the alignment
  // padding of each array.
  std::uint64_t floats = add_sat(mul_sat(2, n), edges);
  floats = add_sat(floats, add_sat(mul_sat(4, max_check_degree), 2));
  std::uint64_t per_thread = add_sat(mul_sat(mul_sat(floats, W), sizeof(float)), mul_sat(k, W));
  per_thread = add_sat(per_thread, mul_sat(3 * W, sizeof(std::int32_t)));
  per_thread = add_sat(per_thread, 11 * ldpc_detail::kAlign + sizeof(ldpc_detail::Workspace));
  per_thread = add_sat(per_thread, W * sizeof(int));  // iterations run per lane
  const std::size_t workers = workers_for_frames(frames, decode_batch_frames_per_pass(), threads);
  return mul_sat(per_thread, static_cast<std::uint64_t>(workers));
}

std::size_t decode_batch_frames_per_pass() {
  return HWY_DYNAMIC_DISPATCH(LdpcLanes)();
}

void phi0_lanes(std::span<const float> x, std::span<float> out) {
  if (x.size() != out.size()) throw ArgumentError("phi0_lanes: sizes differ");
  if (x.empty()) return;
  HWY_DYNAMIC_DISPATCH(Phi0Many)(x.data(), out.data(), x.size(),
                                 ldpc_detail::logf_follows_model());
}

}  // namespace ldpc
}  // namespace linkforge
#endif  // HWY_ONCE
