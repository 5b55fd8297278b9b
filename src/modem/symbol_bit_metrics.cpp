#include <span>
#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"

#if defined(__SSE2__) || defined(_M_X64)
#define LINKFORGE_MODEM_SSE2 1
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace linkforge {

namespace {

// Symbols are demapped side by side, kLanes at a time, one per lane. Every lane runs the
// operations of demap_one in the same order, so results do not depend on the batching.
// Batch arrays are lane fastest: row r holds value r of the kLanes symbols.
constexpr std::size_t kLanes = 16;

// Folds `rows` rows of label metrics into the accumulators, row by row:
// acc = Op(acc, q), or acc = Op(acc, q - a) for the labels that set the bit.
template <class Op>
struct LaneFold {
  static void run(float* acc, const float* q, std::size_t rows) {
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) acc[lane] = Op::apply(acc[lane], q[lane]);
    }
  }
  static void run_less(float* acc, const float* q, const float* a, std::size_t rows) {
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        acc[lane] = Op::apply(acc[lane], q[lane] - a[lane]);
      }
    }
  }
};

// The operators that compute in double precision (types 0 and 3) or call the
// exponential and the logarithm (4) fold the lanes through max_star_lanes, whose SIMD
// lanes equal the scalar operator value by value.
template <MaxStar kType>
struct DispatchedFold {
  static void run(float* acc, const float* q, std::size_t rows) {
    const std::span<float> a(acc, kLanes);
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) {
      max_star_lanes(kType, a, std::span<const float>(q, kLanes), a);
    }
  }
  static void run_less(float* acc, const float* q, const float* a, std::size_t rows) {
    const std::span<float> x(acc, kLanes);
    float d[kLanes];
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) d[lane] = q[lane] - a[lane];
      max_star_lanes(kType, x, d, x);
    }
  }
};

template <>
struct LaneFold<MaxStarOp<0>> : DispatchedFold<MaxStar::kLinear> {};
template <>
struct LaneFold<MaxStarOp<3>> : DispatchedFold<MaxStar::kPiecewise> {};
template <>
struct LaneFold<MaxStarOp<4>> : DispatchedFold<MaxStar::kExact> {};

#if LINKFORGE_MODEM_SSE2
static_assert(kLanes == 16, "the SSE2 folds hold a batch in four registers");

struct Lanes {
  __m128 v0, v1, v2, v3;
};

inline Lanes load(const float* p) {
  return {_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _mm_loadu_ps(p + 8), _mm_loadu_ps(p + 12)};
}

inline void store(float* p, const Lanes& x) {
  _mm_storeu_ps(p, x.v0);
  _mm_storeu_ps(p + 4, x.v1);
  _mm_storeu_ps(p + 8, x.v2);
  _mm_storeu_ps(p + 12, x.v3);
}

inline Lanes add(const Lanes& x, const Lanes& y) {
  return {_mm_add_ps(x.v0, y.v0), _mm_add_ps(x.v1, y.v1), _mm_add_ps(x.v2, y.v2),
          _mm_add_ps(x.v3, y.v3)};
}

inline Lanes sub(const Lanes& x, const Lanes& y) {
  return {_mm_sub_ps(x.v0, y.v0), _mm_sub_ps(x.v1, y.v1), _mm_sub_ps(x.v2, y.v2),
          _mm_sub_ps(x.v3, y.v3)};
}

// _mm_max_ps(x, y) yields x > y ? x : y in every lane, equal values, signed zeros and
// NaN included: max_star1(x, y) exactly.
inline Lanes max_log(const Lanes& x, const Lanes& y) {
  return {_mm_max_ps(x.v0, y.v0), _mm_max_ps(x.v1, y.v1), _mm_max_ps(x.v2, y.v2),
          _mm_max_ps(x.v3, y.v3)};
}

// Max-log with the accumulators held in registers.
template <>
struct LaneFold<MaxStarOp<1>> {
  static void run(float* acc, const float* q, std::size_t rows) {
    Lanes x = load(acc);
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) x = max_log(x, load(q));
    store(acc, x);
  }
  static void run_less(float* acc, const float* q, const float* a, std::size_t rows) {
    Lanes x = load(acc);
    const Lanes prior = load(a);
    for (std::size_t r = 0; r < rows; ++r, q += kLanes) x = max_log(x, sub(load(q), prior));
    store(acc, x);
  }
};
#endif

// Rounds the M values of each of kLanes symbols (column-major from `column` on) to
// single precision into rows of kLanes lanes.
inline void load_batch(const double* column, std::size_t M, float* metric) {
#if LINKFORGE_MODEM_SSE2
  if (M % 4 == 0) {
    // 4 x 4 blocks: four labels of four symbols, transposed in registers.
    for (std::size_t s = 0; s < kLanes; s += 4) {
      for (std::size_t i = 0; i < M; i += 4) {
        __m128 r[4];
        for (std::size_t t = 0; t < 4; ++t) {
          const double* c = column + (s + t) * M + i;
          r[t] = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(c)), _mm_cvtpd_ps(_mm_loadu_pd(c + 2)));
        }
        _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]);
        for (std::size_t t = 0; t < 4; ++t) _mm_storeu_ps(metric + (i + t) * kLanes + s, r[t]);
      }
    }
    return;
  }
#endif
  for (std::size_t i = 0; i < M; ++i) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      metric[i * kLanes + lane] = static_cast<float>(column[lane * M + i]);
    }
  }
}

// q += a row by row over the rows of `prior` picked by the set bits of `label` (bit
// bits-1-k picks row k), row 0 first.
inline void add_rows(float* q, const float* prior, std::size_t label, std::size_t bits) {
#if LINKFORGE_MODEM_SSE2
  Lanes x = load(q);
  for (std::size_t k = 0; k < bits; ++k) {
    if (((label >> (bits - 1 - k)) & 1) != 0) x = add(x, load(prior + k * kLanes));
  }
  store(q, x);
#else
  for (std::size_t k = 0; k < bits; ++k) {
    if (((label >> (bits - 1 - k)) & 1) == 0) continue;
    for (std::size_t lane = 0; lane < kLanes; ++lane) q[lane] += prior[k * kLanes + lane];
  }
#endif
}

// Working arrays of a batch:
//   metric   M rows: q of every label, its symbol value plus its a-priori sum
//   prior    m rows: the a-priori value of every bit (zeros without a-priori values)
//   acc      2 rows: the accumulators of bit value 0 and 1 of the current bit
struct BatchWork {
  std::vector<float> metric, prior, acc;
};

// kLanes symbols from `column` on (M values each), a-priori values from `apriori` on (m
// each) or none.
template <class Op>
void demap_batch(const double* column, std::size_t M, std::size_t bits, const float* apriori,
                 BatchWork& w, double* out) {
  float* metric = w.metric.data();
  float* prior = w.prior.data();
  for (std::size_t k = 0; k < bits; ++k) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      prior[k * kLanes + lane] = apriori != nullptr ? apriori[lane * bits + k] : 0.0f;
    }
  }
  load_batch(column, M, metric);
  for (std::size_t i = 0; i < M; ++i) {
    float* q = metric + i * kLanes;
    // Without a-priori values every addition adds 0, and x + 0 + ... + 0 = x + 0 (also
    // for x = -0), so one addition of the zero row stands for all of them.
    if (apriori != nullptr) {
      add_rows(q, prior, i, bits);
    } else if (i != 0) {
      add_rows(q, prior, std::size_t{1} << (bits - 1), bits);
    }
  }
  // Bit k of weight v splits the labels into runs of v: run 2r clears the bit, run 2r + 1
  // sets it. Folding the runs in order visits each side's labels in increasing order, as
  // a loop over all labels does.
  float* acc0 = w.acc.data();
  float* acc1 = acc0 + kLanes;
  for (std::size_t k = 0; k < bits; ++k) {
    const std::size_t v = std::size_t{1} << (bits - 1 - k);
    for (std::size_t lane = 0; lane < 2 * kLanes; ++lane) acc0[lane] = kDemapMinusInfinity;
    for (std::size_t base = 0; base < M; base += 2 * v) {
      LaneFold<Op>::run(acc0, metric + base * kLanes, v);
      LaneFold<Op>::run_less(acc1, metric + (base + v) * kLanes, prior + k * kLanes, v);
    }
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      out[lane * bits + k] = static_cast<double>(acc1[lane] - acc0[lane]);
    }
  }
}

// One symbol; `metric` holds M floats of working space.
template <class Op>
void demap_one(const double* column, std::size_t M, std::size_t bits, const float* apriori,
               float* metric, double* out) {
  for (std::size_t i = 0; i < M; ++i) {
    float q = static_cast<float>(column[i]);
    for (std::size_t k = 0; k < bits; ++k) {
      if (((i >> (bits - 1 - k)) & 1) != 0) q += apriori != nullptr ? apriori[k] : 0.0f;
    }
    metric[i] = q;
  }
  for (std::size_t k = 0; k < bits; ++k) {
    const std::size_t v = std::size_t{1} << (bits - 1 - k);
    const float a = apriori != nullptr ? apriori[k] : 0.0f;
    float acc0 = kDemapMinusInfinity;
    float acc1 = kDemapMinusInfinity;
    for (std::size_t base = 0; base < M; base += 2 * v) {
      for (std::size_t i = base; i < base + v; ++i) acc0 = Op::apply(acc0, metric[i]);
      for (std::size_t i = base + v; i < base + 2 * v; ++i) acc1 = Op::apply(acc1, metric[i] - a);
    }
    out[k] = static_cast<double>(acc1 - acc0);
  }
}

template <class Op>
void demap(const double* input, std::size_t M, std::size_t bits, std::size_t N,
           const float* apriori, double* out, const Interrupt& interrupt) {
  InterruptPacer pacer(interrupt);
  const std::size_t batched = N - N % kLanes;
  if (batched > 0) {
    BatchWork w{std::vector<float>(M * kLanes), std::vector<float>(bits * kLanes),
                std::vector<float>(2 * kLanes)};
    for (std::size_t j = 0; j < batched; j += kLanes) {
      pacer.add(kLanes * M * (bits + 1));
      demap_batch<Op>(input + j * M, M, bits, apriori != nullptr ? apriori + j * bits : nullptr, w,
                      out + j * bits);
    }
  }
  if (batched < N) {
    std::vector<float> metric(M);
    for (std::size_t j = batched; j < N; ++j) {
      pacer.add(M * (bits + 1));
      demap_one<Op>(input + j * M, M, bits, apriori != nullptr ? apriori + j * bits : nullptr,
                    metric.data(), out + j * bits);
    }
  }
}

}  // namespace

void symbol_bit_metrics(std::span<const double> input, std::size_t M, MaxStar op,
                        std::span<const float> apriori, std::span<double> out,
                        const Interrupt& interrupt) {
  if (M == 0 || (M & (M - 1)) != 0) {
    throw ArgumentError("symbol_bit_metrics: M must be a power of 2");
  }
  const auto bits = static_cast<std::size_t>(compute_bits_per_symbol(M));
  const std::size_t N = input.size() / M;
  const std::uint64_t total = compute_total_number_of_bits(N, static_cast<int>(bits));
  if (input.size() % M != 0 || out.size() != total ||
      (!apriori.empty() && apriori.size() != total)) {
    throw ArgumentError("symbol_bit_metrics: sizes of input, a-priori values and output disagree");
  }
  const int demod_type = static_cast<int>(op);
  if (!is_max_star_type(demod_type)) throw_bad_max_star_type(demod_type);
  if (bits == 0) return;
  with_max_star(demod_type, [&]<class Op>(Op) {
    demap<Op>(input.data(), M, bits, N, apriori.empty() ? nullptr : apriori.data(), out.data(),
              interrupt);
  });
}

std::uint64_t symbol_bit_metrics_bytes(std::uint64_t M, std::uint64_t N) noexcept {
  const auto bits = static_cast<std::uint64_t>(compute_bits_per_symbol(M));
  std::uint64_t floats = 0;
  if (N >= kLanes) floats = mul_sat(add_sat(add_sat(M, bits), 2), kLanes);  // a batch
  if (N % kLanes != 0) floats = add_sat(floats, M);                          // one symbol
  return mul_sat(floats, sizeof(float));
}

}  // namespace linkforge
