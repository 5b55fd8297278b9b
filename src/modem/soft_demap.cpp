// The whole soft demapper: symbols side by side in SIMD lanes, once per target, and
// groups of symbols on several threads.
//
// A pass takes as many symbols as a vector holds single-precision lanes, in frame-major
// order (frame by frame, symbol by symbol), and runs the per-symbol steps of
// plane_metrics and symbol_bit_metrics in every lane: the metrics in double lanes,
// rounded to single precision, the a-priori sums and the per-bit folds in single lanes.
// Symbols do not interact, so the order of passes and threads changes nothing.
#include "linkforge/soft_demap.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/scratch.hpp"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "modem/soft_demap.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "core/max_star-inl.h"
#include "hwy/highway.h"

#ifndef LINKFORGE_MODEM_SOFT_DEMAP_ONCE
#define LINKFORGE_MODEM_SOFT_DEMAP_ONCE
namespace linkforge::soft_demap_detail {

// What every pass of a call shares.
struct Job {
  ComplexFrames y;
  ComplexFrames fade;
  FrameView<const double> apriori;
  FrameView<double> out;
  const double* point_re;  // the M points
  const double* point_im;
  const double* plain_re;  // the points under the coefficient 1: 1*s_re - 0*s_im
  const double* plain_im;  // s_re*0 + 1*s_im
  std::size_t M = 0;
  std::size_t bits = 0;
  std::size_t N = 0;      // symbols per frame
  std::size_t total = 0;  // symbols of the call
  double scale = 0;       // es_no in double precision
};

// Passes per task: enough work to amortise a task, few enough to share it out.
inline constexpr std::size_t kPassesPerTask = 64;

}  // namespace linkforge::soft_demap_detail
#endif

HWY_BEFORE_NAMESPACE();
namespace linkforge {
namespace HWY_NAMESPACE {

using soft_demap_detail::Job;

// Single lanes from the double lanes that fn(dd, half) gives for each half of them.
template <class DF, class Fn>
HWY_INLINE hn::Vec<DF> FromDoubleHalves(DF df, Fn&& fn) {
  const DoubleLanes<DF> dd;
#if HWY_TARGET == HWY_SCALAR
  return RoundToSingle(df, fn(dd, 0));
#else
  const hn::Half<DF> dh;
  return hn::Combine(df, RoundToSingle(dh, fn(dd, 1)), RoundToSingle(dh, fn(dd, 0)));
#endif
}

// The working arrays of one thread, lane fastest: row r holds value r of the pass's
// symbols.
struct Lanes {
  float* metric;    // M rows: the label metrics with their a-priori sums; then bits
                    // rows of results
  float* prior;     // bits rows: the a-priori value of every bit
  double* sample;   // 4 rows: y re, y im, a re, a im
  std::size_t frame[HWY_MAX_BYTES / sizeof(float)];   // each lane's frame
  std::size_t symbol[HWY_MAX_BYTES / sizeof(float)];  // and symbol in it
};

template <int kOp>
class Demapper {
 public:
  using DF = hn::ScalableTag<float>;

  Demapper(const Job& job, Lanes& lanes) : job_(job), w_(lanes) {}

  // Symbols first .. first + count - 1 (count at most one vector of lanes). Returns
  // false when a metric is NaN or beyond single precision.
  bool pass(std::size_t first, std::size_t count) {
    const DF df;
    const std::size_t NL = hn::Lanes(df);
    gather(first, count, NL);
    const bool ok = metrics(df, NL, count);
    fold(df, NL, count);
    return ok;
  }

 private:
  // Each lane's frame and symbol, then its samples, coefficients and a-priori values;
  // one array at a time, so that no loop asks which arrays the call has.
  void gather(std::size_t first, std::size_t count, std::size_t NL) {
    double* y_re = w_.sample;
    double* y_im = y_re + NL;
    double* a_re = y_im + NL;
    double* a_im = a_re + NL;
    std::size_t f = first / job_.N;
    std::size_t j = first % job_.N;
    for (std::size_t l = 0; l < NL; ++l) {
      // Lanes past the last symbol repeat it; their results are not written.
      if (l > 0 && l < count && ++j == job_.N) {
        j = 0;
        ++f;
      }
      w_.frame[l] = f;
      w_.symbol[l] = j;
    }
    const auto read = [&](const FrameView<const double>& v, double* to) {
      if (v.empty()) {
        std::fill(to, to + NL, 0.0);
        return;
      }
      for (std::size_t l = 0; l < NL; ++l) to[l] = v(w_.frame[l], w_.symbol[l]);
    };
    read(job_.y.re, y_re);
    read(job_.y.im, y_im);
    if (!job_.fade.re.empty()) {
      read(job_.fade.re, a_re);
      read(job_.fade.im, a_im);
    }
    if (!job_.apriori.empty()) {
      for (std::size_t l = 0; l < NL; ++l) {
        const double* prior = &job_.apriori(w_.frame[l], w_.symbol[l] * job_.bits);
        for (std::size_t k = 0; k < job_.bits; ++k) {
          w_.prior[k * NL + l] =
              static_cast<float>(prior[static_cast<std::ptrdiff_t>(k) * job_.apriori.element_stride]);
        }
      }
    }
  }

  // metric row i = single(-scale * |y - a*s_i|^2) plus the a-priori values of the bits
  // label i sets, bit 0 first. False when a lane's metric is NaN or infinite.
  bool metrics(DF df, std::size_t NL, std::size_t count) {
    const std::size_t half = NL > 1 ? NL / 2 : 1;
    const double* y_re = w_.sample;
    const double* y_im = y_re + NL;
    const double* a_re = y_im + NL;
    const double* a_im = a_re + NL;
    const auto zero = hn::Zero(df);
    // v*0 is a zero for finite v and NaN otherwise; the bitwise or of those is NaN in
    // exactly the lanes that met a non-finite metric.
    auto bad = zero;
    const auto store = [&](std::size_t i, hn::Vec<DF> v) {
      bad = hn::Or(bad, hn::Mul(v, zero));
      hn::StoreU(v, df, w_.metric + i * NL);
    };
    if (job_.fade.re.empty()) {
      for (std::size_t i = 0; i < job_.M; ++i) {
        store(i, FromDoubleHalves(df, [&](auto dd, std::size_t h) {
                const auto er = hn::Sub(hn::LoadU(dd, y_re + h * half), hn::Set(dd, job_.plain_re[i]));
                const auto ei = hn::Sub(hn::LoadU(dd, y_im + h * half), hn::Set(dd, job_.plain_im[i]));
                return hn::Mul(hn::Set(dd, -job_.scale), hn::Add(hn::Mul(er, er), hn::Mul(ei, ei)));
              }));
      }
    } else {
      for (std::size_t i = 0; i < job_.M; ++i) {
        store(i, FromDoubleHalves(df, [&](auto dd, std::size_t h) {
                const auto ar = hn::LoadU(dd, a_re + h * half);
                const auto ai = hn::LoadU(dd, a_im + h * half);
                const auto sr = hn::Set(dd, job_.point_re[i]);
                const auto si = hn::Set(dd, job_.point_im[i]);
                const auto pr = hn::Sub(hn::Mul(ar, sr), hn::Mul(ai, si));
                const auto pi = hn::Add(hn::Mul(sr, ai), hn::Mul(ar, si));
                const auto er = hn::Sub(hn::LoadU(dd, y_re + h * half), pr);
                const auto ei = hn::Sub(hn::LoadU(dd, y_im + h * half), pi);
                return hn::Mul(hn::Set(dd, -job_.scale), hn::Add(hn::Mul(er, er), hn::Mul(ei, ei)));
              }));
      }
    }
    if (!job_.apriori.empty()) {
      for (std::size_t i = 1; i < job_.M; ++i) {
        auto q = hn::LoadU(df, w_.metric + i * NL);
        for (std::size_t k = 0; k < job_.bits; ++k) {
          if (((i >> (job_.bits - 1 - k)) & 1) != 0) q = hn::Add(q, hn::LoadU(df, w_.prior + k * NL));
        }
        hn::StoreU(q, df, w_.metric + i * NL);
      }
    } else {
      // Without a-priori values every label but 0 adds zeros, and x + 0 + ... + 0 =
      // x + 0; the zero rows stand for the fold's a-priori values.
      for (std::size_t i = 1; i < job_.M; ++i) {
        hn::StoreU(hn::Add(hn::LoadU(df, w_.metric + i * NL), zero), df, w_.metric + i * NL);
      }
      for (std::size_t k = 0; k < job_.bits; ++k) hn::StoreU(zero, df, w_.prior + k * NL);
    }
    return hn::AllFalse(df, hn::And(hn::FirstN(df, count), hn::IsNaN(bad)));
  }

  // Bit k of weight v splits the labels into runs of v: run 2r clears the bit, run
  // 2r + 1 sets it; the runs in order visit each side's labels in increasing order.
  void fold(DF df, std::size_t NL, std::size_t count) {
    const std::size_t bits = job_.bits;
    float* result = w_.metric + job_.M * NL;  // bits rows, written out lane by lane below
    for (std::size_t k = 0; k < bits; ++k) {
      const std::size_t v = std::size_t{1} << (bits - 1 - k);
      const auto a = hn::LoadU(df, w_.prior + k * NL);
      auto acc0 = hn::Set(df, kDemapMinusInfinity);
      auto acc1 = acc0;
      for (std::size_t base = 0; base < job_.M; base += 2 * v) {
        const float* row = w_.metric + base * NL;
        for (std::size_t i = 0; i < v; ++i, row += NL) {
          acc0 = LaneMaxStar<kOp>::apply(df, acc0, hn::LoadU(df, row));
        }
        for (std::size_t i = 0; i < v; ++i, row += NL) {
          acc1 = LaneMaxStar<kOp>::apply(df, acc1, hn::Sub(hn::LoadU(df, row), a));
        }
      }
      hn::StoreU(hn::Sub(acc1, acc0), df, result + k * NL);
    }
    for (std::size_t l = 0; l < count; ++l) {
      double* out = &job_.out(w_.frame[l], w_.symbol[l] * bits);
      for (std::size_t k = 0; k < bits; ++k) {
        out[static_cast<std::ptrdiff_t>(k) * job_.out.element_stride] =
            static_cast<double>(result[k * NL + l]);
      }
    }
  }

  const Job& job_;
  Lanes& w_;
};

template <int kOp>
void RunDemap(const Job& job, int threads, const Interrupt& interrupt) {
  const hn::ScalableTag<float> df;
  const std::size_t NL = hn::Lanes(df);
  const std::size_t per_task = NL * soft_demap_detail::kPassesPerTask;
  const std::size_t tasks = (job.total + per_task - 1) / per_task;
  const std::size_t workers = parallel_workers(tasks, threads);
  const std::size_t floats = (job.M + 2 * job.bits) * NL;
  std::vector<ScratchBlock> blocks;
  blocks.reserve(workers);
  for (std::size_t w = 0; w < workers; ++w) {
    blocks.emplace_back(floats * sizeof(float) + 4 * NL * sizeof(double));
  }
  std::atomic<bool> failed{false};
  parallel_for(
      tasks, threads,
      [&](std::size_t task, std::size_t worker, const Interrupt& stop) {
        double* sample = blocks[worker].as<double>(4 * NL).data();
        float* base = reinterpret_cast<float*>(sample + 4 * NL);
        Lanes lanes{base, base + (job.M + job.bits) * NL, sample, {}, {}};
        Demapper<kOp> demapper(job, lanes);
        InterruptPacer pacer(stop);
        const std::size_t end = std::min(job.total, (task + 1) * per_task);
        for (std::size_t t = task * per_task; t < end; t += NL) {
          pacer.add(NL * job.M * (job.bits + 1));
          if (!demapper.pass(t, std::min(NL, end - t))) failed = true;
        }
      },
      interrupt);
  if (failed) {
    throw std::domain_error(
        "a symbol metric is NaN or beyond the single-precision range (samples, points, "
        "fading coefficients or Es/N0 too large)");
  }
}

void SoftDemapRun(const Job& job, int op, int threads, const Interrupt& interrupt) {
  switch (op) {
    case 0: return RunDemap<0>(job, threads, interrupt);
    case 1: return RunDemap<1>(job, threads, interrupt);
    case 2: return RunDemap<2>(job, threads, interrupt);
    case 3: return RunDemap<3>(job, threads, interrupt);
    default: return RunDemap<4>(job, threads, interrupt);
  }
}

std::size_t SoftDemapLanes() {
  return hn::Lanes(hn::ScalableTag<float>());
}

}  // namespace HWY_NAMESPACE
}  // namespace linkforge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace linkforge {

HWY_EXPORT(SoftDemapRun);
HWY_EXPORT(SoftDemapLanes);

namespace {

bool same_shape(const FrameView<const double>& v, std::size_t F, std::size_t L) {
  return v.frames == F && v.length == L;
}

}  // namespace

void soft_demap(const ComplexFrames& y, ComplexSpan<double> points, const ComplexFrames& fade,
                const FrameView<const double>& apriori, const SoftDemapParams& params,
                const FrameView<double>& out, const Interrupt& interrupt) {
  const std::size_t M = points.re.size();
  if (M < 2 || (M & (M - 1)) != 0) {
    throw ArgumentError("soft_demap: the number of points must be a power of 2");
  }
  const auto bits = static_cast<std::size_t>(compute_bits_per_symbol(M));
  const std::size_t F = y.re.frames;
  const std::size_t N = y.re.length;
  const std::size_t coded = mul_sat(N, bits);
  if (!points.well_formed() || (!y.im.empty() && !same_shape(y.im, F, N)) ||
      (!fade.re.empty() && !same_shape(fade.re, F, N)) ||
      (!fade.im.empty() && (fade.re.empty() || !same_shape(fade.im, F, N))) ||
      (!apriori.empty() && !same_shape(apriori, F, coded)) || out.frames != F ||
      out.length != coded) {
    throw ArgumentError(
        "soft_demap: shapes of samples, fading, a-priori values and output disagree");
  }
  if (!(params.es_no > 0.0f) || !std::isfinite(params.es_no)) {
    throw ArgumentError("soft_demap: es_no must be positive and finite");
  }
  if (!is_max_star_type(static_cast<int>(params.op))) throw_bad_max_star_type(static_cast<int>(params.op));
  if (!apriori.empty()) {
    for (std::size_t f = 0; f < F; ++f) {
      for (std::size_t b = 0; b < coded; ++b) {
        if (!std::isfinite(static_cast<float>(apriori(f, b)))) {
          throw ArgumentError(
              "soft_demap: an a-priori value is NaN or beyond the single-precision range");
        }
      }
    }
  }
  if (F == 0 || N == 0) return;

  std::vector<double> plain(2 * M);
  for (std::size_t i = 0; i < M; ++i) {
    const double s_re = points.re[i];
    const double s_im = points.imag(i);
    plain[i] = 1.0 * s_re - 0.0 * s_im;
    plain[M + i] = s_re * 0.0 + 1.0 * s_im;
  }
  std::vector<double> point_im(M);
  for (std::size_t i = 0; i < M; ++i) point_im[i] = points.imag(i);
  soft_demap_detail::Job job;
  job.y = y;
  job.fade = fade;
  job.apriori = apriori;
  job.out = out;
  job.point_re = points.re.data();
  job.point_im = point_im.data();
  job.plain_re = plain.data();
  job.plain_im = plain.data() + M;
  job.M = M;
  job.bits = bits;
  job.N = N;
  job.total = F * N;
  job.scale = static_cast<double>(params.es_no);
  HWY_DYNAMIC_DISPATCH(SoftDemapRun)(job, static_cast<int>(params.op), params.threads, interrupt);
}

std::uint64_t soft_demap_bytes(std::uint64_t M, int threads, std::uint64_t symbols) noexcept {
  const auto bits = static_cast<std::uint64_t>(compute_bits_per_symbol(M));
  const std::uint64_t lanes = soft_demap_lanes();
  std::uint64_t per_thread = mul_sat(mul_sat(add_sat(M, 2 * bits), lanes), sizeof(float));
  per_thread = add_sat(per_thread, 4 * lanes * sizeof(double));
  const auto workers = static_cast<std::uint64_t>(
      workers_for_frames(symbols, static_cast<std::size_t>(lanes) * soft_demap_detail::kPassesPerTask, threads));
  std::uint64_t bytes = mul_sat(per_thread, workers);
  bytes = add_sat(bytes, mul_sat(M, 3 * sizeof(double)));  // the points' tables
  return add_sat(bytes, parallel_for_bytes(threads));
}

CallMemory soft_demap_memory(std::uint64_t M, std::uint64_t N, int threads,
                             std::uint64_t frames) noexcept {
  const std::uint64_t symbols = mul_sat(frames, N);
  const auto bits = static_cast<std::uint64_t>(compute_bits_per_symbol(M));
  return {soft_demap_bytes(M, threads, symbols), mul_sat(symbols, bits)};
}

std::size_t soft_demap_lanes() {
  return HWY_DYNAMIC_DISPATCH(SoftDemapLanes)();
}

}  // namespace linkforge
#endif  // HWY_ONCE
