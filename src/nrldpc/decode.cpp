// Layered decoding of the NR LDPC codes: the scalar reference for one frame, and the
// whole decoder with one frame per single-precision SIMD lane (W = the lanes of the
// target) and the groups of W frames on several threads. A lane performs the
// reference's operations for its frame in the same order and precision, so every frame's
// result is the reference's bit for bit on any target and thread count.
//
// Internally a value is ln(P(0)/P(1)) (the caller's values negated as they are rounded
// to single precision, which is exact); a bit decides 1 where its value is below 0.
//
// Per frame the decoder keeps the a-posteriori value A of every bit (clamped to
// +-kAppLimit on load and after every update) and the check-to-bit message R of every
// edge of the lifted graph, all 0 at the start. A layer is one base-graph row; its Z
// lifted checks r = 0..Z-1 are updated in turn, each over its entries in column order:
//   Q_e = A_v - R_e for the bit v = col_e Z + (r + P_e) mod Z of every entry e,
//   R_e = the check's message to e from the other Q (below),
//   A_v = clamp(Q_e + R_e).
// Min-sum kinds: sign bits of the Q exclusive-or'ed, the smallest and second smallest
// |Q| found in entry order (strictly smaller replaces), the entry holding the smallest
// getting the second; the magnitude m becomes m (min-sum), scale * m (normalised) or
// max(m - offset, 0) (offset). Sum-product: boxplus(a, b) = max*(0, a + b) - max*(a, b)
// with the exact log-MAP max-star of max_star.hpp, folded forwards f_j = boxplus(f_j-1,
// Q_j) and backwards b_j = boxplus(Q_j, b_j+1), and R_e = boxplus(f_e-1, b_e+1) (f_d-2
// and b_1 at the ends).
// Before each iteration (and after the last) the decisions of every frame still running
// are checked against every check of H; a frame that satisfies them all stops with the
// iterations it ran (early_stop).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/scratch.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "nrldpc/decode.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_NRLDPC_DECODE_SHARED
#define LINKFORGE_NRLDPC_DECODE_SHARED
namespace linkforge::nr_ldpc_detail {

using nr_ldpc::Code;
using nr_ldpc::DecodeParams;
using nr_ldpc::DecodeResults;

constexpr std::size_t kAlign = 64;

// An array of `count` values starting on a kAlign boundary, in working memory kept from
// call to call (scratch.hpp; not zero-filled: the decoder writes every value before it
// reads it).
template <class T>
class LaneArray {
 public:
  void resize(std::size_t count) {
    storage_ = ScratchBlock((count + kAlign / sizeof(T)) * sizeof(T));
    T* base = storage_.as<T>(count + kAlign / sizeof(T)).data();
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    data_ = base + ((kAlign - address % kAlign) % kAlign) / sizeof(T);
  }
  T* get() const noexcept { return data_; }

 private:
  ScratchBlock storage_;
  T* data_ = nullptr;
};

// Working memory of one thread: app n x W, r (edges x Z) x W (per layer, check by check),
// three rows of W per entry
// of the largest layer (Q, forward, backward), the lifted indices of a layer's entries.
struct Workspace {
  LaneArray<float> app, r, q, forward, backward;
  std::vector<std::size_t> position;
  std::vector<int> active;  // per lane: 1 while the frame runs
};

struct Job {
  const Code* code;
  FrameView<const double> llr;
  const DecodeParams* params;
  const DecodeResults* results;
  std::size_t W;
};

inline Workspace make_workspace(const Code& code, std::size_t W) {
  Workspace w;
  const auto degree = static_cast<std::size_t>(code.max_row_degree());
  w.app.resize(code.code_length() * W);
  w.r.resize(code.entries.size() * static_cast<std::size_t>(code.z) * W);
  w.q.resize(degree * W);
  w.forward.resize(degree * W);
  w.backward.resize(degree * W);
  w.position.resize(degree);
  w.active.resize(W);
  return w;
}

inline float clamp_app(float x) {
  const float L = nr_ldpc::kAppLimit;
  const float low = x < -L ? -L : x;
  return low > L ? L : low;
}

// The message magnitude of a min-sum kind from the smallest other magnitude.
inline float min_sum_magnitude(const DecodeParams& p, float m) {
  switch (p.algorithm) {
    case nr_ldpc::Algorithm::kNormalizedMinSum:
      return p.scale * m;
    case nr_ldpc::Algorithm::kOffsetMinSum: {
      const float d = m - p.offset;
      return d > 0.0f ? d : 0.0f;
    }
    default:
      return m;
  }
}

inline float boxplus(float a, float b) {
  return max_star4(0.0f, a + b) - max_star4(a, b);
}

inline std::uint32_t sign_of(float x) {
  return std::bit_cast<std::uint32_t>(x) & 0x80000000u;
}

}  // namespace linkforge::nr_ldpc_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace nr_ldpc_detail;

using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using V = hn::Vec<DF>;
using M = hn::Mask<DF>;

HWY_INLINE V Boxplus(DF df, V a, V b) {
  return LaneMaxStar<4>::apply(df, hn::Zero(df), a + b) - LaneMaxStar<4>::apply(df, a, b);
}

// clamp_app in lanes. The values are never NaN, so Max and Min select what the
// comparisons select (at equal values both operands are the same float).
HWY_INLINE V ClampApp(DF df, V x) {
  const V L = hn::Set(df, nr_ldpc::kAppLimit);
  return hn::Min(hn::Max(x, hn::Neg(L)), L);
}

class GroupDecoder {
 public:
  GroupDecoder(const Job& job, Workspace& w)
      : job_(job), code_(*job.code), params_(*job.params), w_(w),
        Z_(static_cast<std::size_t>(code_.z)) {}

  void run(std::size_t group, const Interrupt& interrupt) {
    const std::size_t W = job_.W;
    const std::size_t first = group * W;
    const std::size_t valid = std::min(W, job_.llr.frames - first);
    const std::size_t n = code_.code_length();
    float* HWY_RESTRICT app = w_.app.get();
    std::fill_n(app, n * W, 0.0f);
    for (std::size_t j = 0; j < valid; ++j) {
      for (std::size_t v = 0; v < n; ++v) {
        app[v * W + j] = clamp_app(-static_cast<float>(job_.llr(first + j, v)));
      }
    }
    std::fill_n(w_.r.get(), code_.entries.size() * Z_ * W, 0.0f);
    for (std::size_t j = 0; j < W; ++j) w_.active[j] = j < valid ? 1 : 0;

    InterruptPacer pacer(interrupt);
    const int iterations = params_.max_iterations;
    for (int t = 0;; ++t) {
      if (params_.early_stop || t == iterations) {
        // Lanes whose decisions satisfy H (or every lane after the last iteration) stop.
        const std::uint32_t failing = t == iterations ? 0u : check_lanes(pacer);
        bool any = false;
        for (std::size_t j = 0; j < valid; ++j) {
          if (w_.active[j] == 0) continue;
          if ((failing >> j & 1u) == 0) {
            finish(first, j, t);
          } else {
            any = true;
          }
        }
        if (!any) break;
      }
      if (params_.algorithm == nr_ldpc::Algorithm::kSumProduct) {
        iterate<true>(pacer);
      } else {
        iterate<false>(pacer);
      }
    }
  }

 private:
  // One bit per lane: set where some check of H fails on the lane's decisions.
  std::uint32_t check_lanes(InterruptPacer& pacer) {
    const DF df;
    const DI di;
    const std::size_t W = job_.W;
    const float* HWY_RESTRICT app = w_.app.get();
    auto failed = hn::Zero(di);
    for (int i = 0; i < code_.rows; ++i) {
      const int begin = code_.row_offset[i];
      const int degree = code_.row_offset[i + 1] - begin;
      pacer.add(static_cast<std::uint64_t>(degree) * Z_);
      for (std::size_t r = 0; r < Z_; ++r) {
        auto parity = hn::Zero(di);
        for (int e = 0; e < degree; ++e) {
          const nr_ldpc::Entry& en = code_.entries[static_cast<std::size_t>(begin + e)];
          std::size_t at = r + static_cast<std::size_t>(en.shift);
          if (at >= Z_) at -= Z_;
          const std::size_t v = static_cast<std::size_t>(en.col) * Z_ + at;
          parity = hn::Xor(parity, hn::VecFromMask(di, hn::RebindMask(di, hn::Load(df, app + v * W) <
                                                                           hn::Zero(df))));
        }
        failed = hn::Or(failed, parity);
      }
    }
    alignas(64) std::int32_t lanes[HWY_MAX_BYTES / sizeof(float)] = {};
    hn::Store(failed, di, lanes);
    std::uint32_t bits = 0;
    for (std::size_t j = 0; j < W; ++j) bits |= (lanes[j] != 0 ? 1u : 0u) << j;
    return bits;
  }

  void finish(std::size_t first, std::size_t j, int t) {
    const std::size_t W = job_.W;
    const std::size_t n = code_.code_length();
    const float* HWY_RESTRICT app = w_.app.get();
    const DecodeResults& out = *job_.results;
    const std::size_t f = first + j;
    for (std::size_t v = 0; v < n; ++v) out.bits(f, v) = app[v * W + j] < 0.0f ? 1.0 : 0.0;
    if (!out.app.empty()) {
      for (std::size_t v = 0; v < n; ++v) out.app(f, v) = -app[v * W + j];
    }
    if (!out.iterations.empty()) out.iterations[f] = t;
    w_.active[j] = 0;
  }

  template <bool kSumProduct>
  void iterate(InterruptPacer& pacer) {
    const DF df;
    const DI di;
    const std::size_t W = job_.W;
    float* HWY_RESTRICT app = w_.app.get();
    float* HWY_RESTRICT q = w_.q.get();
    float* HWY_RESTRICT fwd = w_.forward.get();
    float* HWY_RESTRICT bwd = w_.backward.get();
    std::size_t* position = w_.position.data();
    const V sign_bit = hn::Set(df, -0.0f);
    const V infinity = hn::Set(df, std::numeric_limits<float>::infinity());
    const V scale = hn::Set(df, params_.scale);
    const V offset = hn::Set(df, params_.offset);
    const nr_ldpc::Algorithm kind = params_.algorithm;
    for (int i = 0; i < code_.rows; ++i) {
      const int begin = code_.row_offset[i];
      const auto degree = static_cast<std::size_t>(code_.row_offset[i + 1] - begin);
      // A boxplus takes two exact max-star operations per lane.
      pacer.add(static_cast<std::uint64_t>(degree) * Z_ * (kSumProduct ? 6 * W : 1));
      const nr_ldpc::Entry* entries = code_.entries.data() + begin;
      float* HWY_RESTRICT r_layer = w_.r.get() + static_cast<std::size_t>(begin) * Z_ * W;
      for (std::size_t r = 0; r < Z_; ++r) {
        for (std::size_t e = 0; e < degree; ++e) {
          std::size_t at = r + static_cast<std::size_t>(entries[e].shift);
          if (at >= Z_) at -= Z_;
          position[e] = (static_cast<std::size_t>(entries[e].col) * Z_ + at) * W;
        }
        if constexpr (kSumProduct) {
          for (std::size_t e = 0; e < degree; ++e) {
            const V Q = hn::Load(df, app + position[e]) - hn::Load(df, r_layer + (r * degree + e) * W);
            hn::Store(Q, df, q + e * W);
          }
          V f = hn::Load(df, q);
          hn::Store(f, df, fwd);
          for (std::size_t e = 1; e + 1 < degree; ++e) {
            f = Boxplus(df, f, hn::Load(df, q + e * W));
            hn::Store(f, df, fwd + e * W);
          }
          V b = hn::Load(df, q + (degree - 1) * W);
          hn::Store(b, df, bwd + (degree - 1) * W);
          for (std::size_t e = degree - 2; e >= 1; --e) {
            b = Boxplus(df, hn::Load(df, q + e * W), b);
            hn::Store(b, df, bwd + e * W);
          }
          for (std::size_t e = 0; e < degree; ++e) {
            V R;
            if (e == 0) {
              R = hn::Load(df, bwd + W);
            } else if (e + 1 == degree) {
              R = hn::Load(df, fwd + (degree - 2) * W);
            } else {
              R = Boxplus(df, hn::Load(df, fwd + (e - 1) * W), hn::Load(df, bwd + (e + 1) * W));
            }
            hn::Store(R, df, r_layer + (r * degree + e) * W);
            hn::Store(ClampApp(df, hn::Load(df, q + e * W) + R), df, app + position[e]);
          }
        } else {
          V X = hn::Zero(df);
          V min1 = infinity;
          V min2 = infinity;
          auto min1_edge = hn::Set(di, -1);
          for (std::size_t e = 0; e < degree; ++e) {
            const V Q = hn::Load(df, app + position[e]) - hn::Load(df, r_layer + (r * degree + e) * W);
            hn::Store(Q, df, q + e * W);
            X = hn::Xor(X, hn::And(Q, sign_bit));
            // The reference's updates, as minima and maxima: the magnitudes are never
            // NaN and never -0, so equal values are the same float.
            const V value = hn::Abs(Q);
            const M below1 = value < min1;
            min2 = hn::Min(min2, hn::Max(min1, value));
            min1 = hn::Min(min1, value);
            min1_edge = hn::IfThenElse(hn::RebindMask(di, below1),
                                       hn::Set(di, static_cast<int>(e)), min1_edge);
          }
          V out1 = min1, out2 = min2;
          if (kind == nr_ldpc::Algorithm::kNormalizedMinSum) {
            out1 = scale * min1;
            out2 = scale * min2;
          } else if (kind == nr_ldpc::Algorithm::kOffsetMinSum) {
            const V d1 = min1 - offset;
            const V d2 = min2 - offset;
            out1 = hn::IfThenElseZero(d1 > hn::Zero(df), d1);
            out2 = hn::IfThenElseZero(d2 > hn::Zero(df), d2);
          }
          for (std::size_t e = 0; e < degree; ++e) {
            const M own = hn::RebindMask(df, min1_edge == hn::Set(di, static_cast<int>(e)));
            const V Q = hn::Load(df, q + e * W);
            const V R = hn::Xor(hn::IfThenElse(own, out2, out1), hn::Xor(hn::And(Q, sign_bit), X));
            hn::Store(R, df, r_layer + (r * degree + e) * W);
            hn::Store(ClampApp(df, Q + R), df, app + position[e]);
          }
        }
      }
    }
  }

  const Job& job_;
  const Code& code_;
  const DecodeParams& params_;
  Workspace& w_;
  std::size_t Z_;
};

void DecodeGroups(const Job& job, const Interrupt& interrupt) {
  const std::size_t frames = job.llr.frames;
  const std::size_t groups = (frames + job.W - 1) / job.W;
  const std::size_t workers = parallel_workers(groups, job.params->threads);
  std::vector<Workspace> spaces;
  spaces.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) spaces.push_back(make_workspace(*job.code, job.W));
  parallel_for(
      groups, job.params->threads,
      [&](std::size_t group, std::size_t worker, const Interrupt& stop) {
        GroupDecoder(job, spaces[worker]).run(group, stop);
      },
      interrupt);
}

std::size_t NrLanes() {
  return hn::Lanes(DF());
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

HWY_EXPORT(DecodeGroups);
HWY_EXPORT(NrLanes);

namespace nr_ldpc {

using namespace nr_ldpc_detail;

void check_params(const DecodeParams& params) {
  if (params.max_iterations < 0) throw ArgumentError("max_iterations must not be negative");
  const int kind = static_cast<int>(params.algorithm);
  if (kind < 0 || kind > 3) throw ArgumentError("the algorithm must be 0 to 3");
  if (params.algorithm == Algorithm::kNormalizedMinSum &&
      !(params.scale > 0.0f && std::isfinite(params.scale))) {
    throw ArgumentError("the scale of normalised min-sum must be a positive finite number");
  }
  if (params.algorithm == Algorithm::kOffsetMinSum &&
      !(params.offset >= 0.0f && std::isfinite(params.offset))) {
    throw ArgumentError("the offset of offset min-sum must be a finite number, 0 or more");
  }
  if (params.threads < 0) throw ArgumentError("threads must not be negative");
}

namespace {

void check_values(FrameView<const double> llr) {
  for (std::size_t f = 0; f < llr.frames; ++f) {
    for (std::size_t v = 0; v < llr.length; ++v) {
      const double x = llr(f, v);
      if (std::isnan(x)) throw ArgumentError("llr must not contain NaN");
      if (!std::isfinite(static_cast<float>(x))) {
        throw ArgumentError("llr holds a value beyond the single-precision range");
      }
    }
  }
}

}  // namespace

void decode(const Code& code, FrameView<const double> llr, const DecodeParams& params,
            const DecodeResults& results, const Interrupt& interrupt) {
  check_params(params);
  const std::size_t F = llr.frames;
  const std::size_t n = code.code_length();
  if (llr.length != n) {
    throw ArgumentError("llr must hold " + std::to_string(n) + " values per frame (" +
                        std::to_string(code.cols) + " x Z), not " + std::to_string(llr.length));
  }
  if (results.bits.frames != F || results.bits.length != n ||
      (results.bits.empty() && F != 0)) {
    throw ArgumentError("decode: bits must hold code_length() values per frame");
  }
  if (!results.app.empty() && (results.app.frames != F || results.app.length != n)) {
    throw ArgumentError("decode: app must hold code_length() values per frame");
  }
  if (!results.iterations.empty() && results.iterations.size() != F) {
    throw ArgumentError("decode: iterations needs one count per frame");
  }
  if (F == 0) return;
  check_values(llr);
  const Job job{&code, llr, &params, &results, HWY_DYNAMIC_DISPATCH(NrLanes)()};
  HWY_DYNAMIC_DISPATCH(DecodeGroups)(job, interrupt);
}

std::size_t decode_frames_per_pass() {
  return HWY_DYNAMIC_DISPATCH(NrLanes)();
}

int decode_reference(const Code& code, std::span<const float> llr, const DecodeParams& params,
                     std::span<std::uint8_t> bits, std::span<float> app_out) {
  check_params(params);
  const std::size_t n = code.code_length();
  const auto Z = static_cast<std::size_t>(code.z);
  if (llr.size() != n || bits.size() != n || (!app_out.empty() && app_out.size() != n)) {
    throw ArgumentError("decode_reference: llr, bits and app must hold code_length() values");
  }
  std::vector<float> app(n), r(code.entries.size() * Z, 0.0f);
  const auto degree_max = static_cast<std::size_t>(code.max_row_degree());
  std::vector<float> q(degree_max), fwd(degree_max), bwd(degree_max);
  std::vector<std::size_t> position(degree_max);
  for (std::size_t v = 0; v < n; ++v) app[v] = clamp_app(-llr[v]);

  const auto satisfied = [&] {
    for (int i = 0; i < code.rows; ++i) {
      for (std::size_t row = 0; row < Z; ++row) {
        bool parity = false;
        for (int e = code.row_offset[i]; e < code.row_offset[i + 1]; ++e) {
          const Entry& en = code.entries[static_cast<std::size_t>(e)];
          const std::size_t at = (row + static_cast<std::size_t>(en.shift)) % Z;
          parity ^= app[static_cast<std::size_t>(en.col) * Z + at] < 0.0f;
        }
        if (parity) return false;
      }
    }
    return true;
  };

  int t = 0;
  for (;; ++t) {
    if (t == params.max_iterations || (params.early_stop && satisfied())) break;
    for (int i = 0; i < code.rows; ++i) {
      const int begin = code.row_offset[i];
      const auto degree = static_cast<std::size_t>(code.row_offset[i + 1] - begin);
      const Entry* entries = code.entries.data() + begin;
      float* r_layer = r.data() + static_cast<std::size_t>(begin) * Z;
      for (std::size_t row = 0; row < Z; ++row) {
        for (std::size_t e = 0; e < degree; ++e) {
          position[e] = static_cast<std::size_t>(entries[e].col) * Z +
                        (row + static_cast<std::size_t>(entries[e].shift)) % Z;
          q[e] = app[position[e]] - r_layer[e * Z + row];
        }
        if (params.algorithm == Algorithm::kSumProduct) {
          fwd[0] = q[0];
          for (std::size_t e = 1; e + 1 < degree; ++e) fwd[e] = boxplus(fwd[e - 1], q[e]);
          bwd[degree - 1] = q[degree - 1];
          for (std::size_t e = degree - 2; e >= 1; --e) bwd[e] = boxplus(q[e], bwd[e + 1]);
          for (std::size_t e = 0; e < degree; ++e) {
            const float R = e == 0 ? bwd[1]
                            : e + 1 == degree ? fwd[degree - 2]
                                              : boxplus(fwd[e - 1], bwd[e + 1]);
            r_layer[e * Z + row] = R;
            app[position[e]] = clamp_app(q[e] + R);
          }
        } else {
          std::uint32_t X = 0;
          float min1 = std::numeric_limits<float>::infinity();
          float min2 = min1;
          std::size_t min1_edge = degree;
          for (std::size_t e = 0; e < degree; ++e) {
            X ^= sign_of(q[e]);
            const float value = std::fabs(q[e]);
            if (value < min1) {
              min2 = min1;
              min1 = value;
              min1_edge = e;
            } else if (value < min2) {
              min2 = value;
            }
          }
          const float out1 = min_sum_magnitude(params, min1);
          const float out2 = min_sum_magnitude(params, min2);
          for (std::size_t e = 0; e < degree; ++e) {
            const float magnitude = e == min1_edge ? out2 : out1;
            const float R = std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) ^
                                                 sign_of(q[e]) ^ X);
            r_layer[e * Z + row] = R;
            app[position[e]] = clamp_app(q[e] + R);
          }
        }
      }
    }
  }
  for (std::size_t v = 0; v < n; ++v) bits[v] = app[v] < 0.0f ? 1 : 0;
  if (!app_out.empty()) {
    for (std::size_t v = 0; v < n; ++v) app_out[v] = -app[v];
  }
  return t;
}

CallMemory decode_memory(int bg, int z, const DecodeParams& params, std::uint64_t frames,
                         bool with_app) noexcept {
  const std::uint64_t W = kAlign / sizeof(float);  // the widest target
  const std::uint64_t cols = bg == 1 ? 68 : 52;
  const std::uint64_t entries = bg == 1 ? 316 : 197;
  const std::uint64_t degree = bg == 1 ? 19 : 10;
  const std::uint64_t n = mul_sat(cols, static_cast<std::uint64_t>(z));
  // Floats per lane: app per bit, r per lifted edge, three per entry of a layer; the
  // alignment padding and the bookkeeping of a workspace.
  std::uint64_t floats = add_sat(n, mul_sat(entries, static_cast<std::uint64_t>(z)));
  floats = add_sat(floats, mul_sat(3, degree));
  std::uint64_t per_thread = mul_sat(mul_sat(floats, W), sizeof(float));
  per_thread = add_sat(per_thread, 5 * kAlign + sizeof(Workspace) + degree * sizeof(std::size_t) +
                                       W * sizeof(int));
  const std::size_t workers =
      workers_for_frames(frames, decode_frames_per_pass(), params.threads);
  CallMemory need;
  need.working = mul_sat(per_thread, static_cast<std::uint64_t>(workers));
  need.working = add_sat(need.working, add_sat(mul_sat(entries, sizeof(Entry)), sizeof(Code) + 47 * sizeof(int)));
  need.working = add_sat(need.working, parallel_for_bytes(params.threads));
  need.results = add_sat(mul_sat(frames, with_app ? 2 * n : n), frames);
  return need;
}

}  // namespace nr_ldpc
}  // namespace linkforge
#endif  // HWY_ONCE
