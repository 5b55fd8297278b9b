#include "frame_ops.hpp"

#include <immintrin.h>

#include <atomic>
#include <bit>

namespace linkforge::sim {

namespace {

std::atomic<bool> vector_paths{true};

}  // namespace

bool has_avx512() noexcept {
  static const bool cpu = [] {
    __builtin_cpu_init();  // may run before the runtime's own start-up code
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
  }();
  return cpu && vector_paths.load(std::memory_order_relaxed);
}

void set_vector_paths(bool on) noexcept {
  vector_paths.store(on, std::memory_order_relaxed);
}

namespace {

#define LINKFORGE_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))

// GCC 12's AVX-512 header leaves placeholder operands uninitialised on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

LINKFORGE_AVX512 void bpsk_llrs_avx512(const std::uint8_t* bits, const double* noise, std::size_t n,
                                       double sigma, double scale, double* llr) {
  const __m512d one = _mm512_set1_pd(1.0), minus_one = _mm512_set1_pd(-1.0);
  const __m512d s = _mm512_set1_pd(sigma), c = _mm512_set1_pd(scale);
  for (std::size_t i = 0; i < n; i += 8) {
    const auto valid = static_cast<__mmask8>(n - i >= 8 ? 0xFF : (1u << (n - i)) - 1);
    const __m512d level = _mm512_mask_blend_pd(static_cast<__mmask8>(bits[i / 8]), minus_one, one);
    const __m512d y =
        _mm512_add_pd(level, _mm512_mul_pd(s, _mm512_maskz_loadu_pd(valid, noise + i)));
    _mm512_mask_storeu_pd(llr + i, valid, _mm512_mul_pd(c, y));
  }
}

// Eight rows of 8 values (r[j] the 8 values of row j) to eight columns (c[q]: value q of
// every row).
LINKFORGE_AVX512 inline void transpose8(__m512d r[8]) {
  __m512d t[8];
  for (int j = 0; j < 8; j += 2) {
    t[j] = _mm512_unpacklo_pd(r[j], r[j + 1]);      // pairs of values 0, 2, 4, 6
    t[j + 1] = _mm512_unpackhi_pd(r[j], r[j + 1]);  // pairs of values 1, 3, 5, 7
  }
  for (int odd = 0; odd < 2; ++odd) {
    const __m512d a = _mm512_shuffle_f64x2(t[odd], t[2 + odd], _MM_SHUFFLE(2, 0, 2, 0));
    const __m512d b = _mm512_shuffle_f64x2(t[4 + odd], t[6 + odd], _MM_SHUFFLE(2, 0, 2, 0));
    const __m512d a2 = _mm512_shuffle_f64x2(t[odd], t[2 + odd], _MM_SHUFFLE(3, 1, 3, 1));
    const __m512d b2 = _mm512_shuffle_f64x2(t[4 + odd], t[6 + odd], _MM_SHUFFLE(3, 1, 3, 1));
    r[odd] = _mm512_shuffle_f64x2(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    r[4 + odd] = _mm512_shuffle_f64x2(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    r[2 + odd] = _mm512_shuffle_f64x2(a2, b2, _MM_SHUFFLE(2, 0, 2, 0));
    r[6 + odd] = _mm512_shuffle_f64x2(a2, b2, _MM_SHUFFLE(3, 1, 3, 1));
  }
}

template <bool kRatios>
LINKFORGE_AVX512 std::size_t rows_to_columns_avx512(const double* rows, std::size_t stride,
                                                    std::size_t n, const std::uint32_t* row_of,
                                                    std::size_t frames, double* out,
                                                    const BpskRatios* ratios) {
  __m512d one, minus_one, sigma, scale;
  if constexpr (kRatios) {
    one = _mm512_set1_pd(1.0);
    minus_one = _mm512_set1_pd(-1.0);
    sigma = _mm512_set1_pd(ratios->sigma);
    scale = _mm512_set1_pd(ratios->scale);
  }
  std::size_t p = 0;
  for (; p + 8 <= n; p += 8) {
    __m512d r[8];
    for (std::size_t j = 0; j < 8; ++j) {
      r[j] = _mm512_loadu_pd(rows + j * stride + p);
      if constexpr (kRatios) {
        const auto bits = static_cast<__mmask8>(ratios->bits[j * ratios->bit_stride + p / 8]);
        const __m512d level = _mm512_mask_blend_pd(bits, minus_one, one);
        r[j] = _mm512_mul_pd(scale, _mm512_add_pd(level, _mm512_mul_pd(sigma, r[j])));
      }
    }
    transpose8(r);
    for (std::size_t q = 0; q < 8; ++q) _mm512_storeu_pd(out + row_of[p + q] * frames, r[q]);
  }
  return p;
}

LINKFORGE_AVX512 std::uint32_t bit_errors_avx512(const double* app, const std::uint32_t* words,
                                                 std::size_t L) {
  const __m512d zero = _mm512_setzero_pd();
  std::uint32_t errors = 0;
  std::size_t k = 0;
  for (; k + 32 <= L; k += 32) {
    std::uint32_t decided = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      const __mmask8 m = _mm512_cmp_pd_mask(_mm512_loadu_pd(app + k + 8 * b), zero, _CMP_GT_OQ);
      decided |= static_cast<std::uint32_t>(m) << (8 * b);
    }
    errors += static_cast<std::uint32_t>(std::popcount(decided ^ words[k / 32]));
  }
  for (; k < L; ++k)
    errors += (app[k] > 0.0 ? 1u : 0u) != ((words[k / 32] >> (k % 32)) & 1u) ? 1 : 0;
  return errors;
}

LINKFORGE_AVX512 std::size_t permute_bits_avx512(const std::uint32_t* words, const int* alpha,
                                                 std::size_t L, std::uint32_t* out) {
  const __m512i low5 = _mm512_set1_epi32(31), one = _mm512_set1_epi32(1);
  std::size_t k = 0;
  for (; k + 32 <= L; k += 32) {
    std::uint32_t bits = 0;
    for (std::size_t h = 0; h < 2; ++h) {
      const __m512i a = _mm512_loadu_si512(alpha + k + 16 * h);
      const __m512i w = _mm512_i32gather_epi32(_mm512_srli_epi32(a, 5), words, 4);
      const __mmask16 b =
          _mm512_test_epi32_mask(_mm512_srlv_epi32(w, _mm512_and_si512(a, low5)), one);
      bits |= static_cast<std::uint32_t>(b) << (16 * h);
    }
    out[k / 32] = bits;
  }
  return k;
}

#pragma GCC diagnostic pop

}  // namespace

void bpsk_llrs(const std::uint8_t* bits, const double* noise, std::size_t n, double sigma,
               double scale, double* llr) noexcept {
  if (has_avx512()) {
    bpsk_llrs_avx512(bits, noise, n, sigma, scale, llr);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double level = 2.0 * ((bits[i / 8] >> (i % 8)) & 1) - 1.0;
    llr[i] = scale * (level + sigma * noise[i]);
  }
}

void rows_to_columns(const double* rows, std::size_t stride, std::size_t count, std::size_t n,
                     const std::uint32_t* row_of, std::size_t frames, double* out,
                     const BpskRatios* ratios) noexcept {
  std::size_t p = 0;
  if (count == 8 && has_avx512()) {
    p = ratios != nullptr ? rows_to_columns_avx512<true>(rows, stride, n, row_of, frames, out, ratios)
                          : rows_to_columns_avx512<false>(rows, stride, n, row_of, frames, out, ratios);
  }
  for (; p < n; ++p) {
    double* column = out + row_of[p] * frames;
    for (std::size_t j = 0; j < count; ++j) {
      const double x = rows[j * stride + p];
      if (ratios == nullptr) {
        column[j] = x;
        continue;
      }
      const double level = 2.0 * ((ratios->bits[j * ratios->bit_stride + p / 8] >> (p % 8)) & 1) - 1.0;
      column[j] = ratios->scale * (level + ratios->sigma * x);
    }
  }
}

void permute_bits(const std::uint32_t* words, const int* alpha, std::size_t L,
                  std::uint32_t* out) noexcept {
  std::size_t k = has_avx512() ? permute_bits_avx512(words, alpha, L, out) : 0;
  for (; k < L; k += 32) {
    std::uint32_t bits = 0;
    for (std::size_t j = 0; j < 32 && k + j < L; ++j) {
      const auto a = static_cast<std::size_t>(alpha[k + j]);
      bits |= ((words[a / 32] >> (a % 32)) & 1u) << j;
    }
    out[k / 32] = bits;
  }
}

std::uint32_t bit_errors(const double* app, const std::uint32_t* words, std::size_t L) noexcept {
  if (has_avx512()) return bit_errors_avx512(app, words, L);
  std::uint32_t errors = 0;
  for (std::size_t k = 0; k < L; ++k) {
    errors += (app[k] > 0.0 ? 1u : 0u) != ((words[k / 32] >> (k % 32)) & 1u) ? 1 : 0;
  }
  return errors;
}

}  // namespace linkforge::sim
