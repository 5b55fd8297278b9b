#include "philox.hpp"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "frame_ops.hpp"

namespace linkforge::sim {

Ziggurat::Ziggurat() {
  const double m = 16777216.0;  // 2^24
  double d = kR, t = kR;
  const double q = kV / std::exp(-0.5 * d * d);
  edge[0] = (d / q) * m;
  edge[1] = 0;
  width[0] = q / m;
  width[127] = d / m;
  height[0] = 1.0;
  height[127] = std::exp(-0.5 * d * d);
  for (int i = 126; i >= 1; --i) {
    d = std::sqrt(-2.0 * std::log(kV / d + std::exp(-0.5 * d * d)));
    edge[static_cast<std::size_t>(i) + 1] = (d / t) * m;
    t = d;
    height[static_cast<std::size_t>(i)] = std::exp(-0.5 * d * d);
    width[static_cast<std::size_t>(i)] = d / m;
  }
  for (std::size_t i = 0; i < 128; ++i) box[i] = static_cast<std::uint32_t>(std::ceil(edge[i]));
  for (std::size_t i = 1; i < 128; ++i) {
    x_lo[i] = i == 1 ? 0.0 : width[i - 1] * m;
    x_hi[i] = width[i] * m;
    slope[i] = (height[i] - height[i - 1]) / (x_hi[i] - x_lo[i]);
    shape[i] = x_lo[i] >= 1.0 ? 1 : x_hi[i] <= 1.0 ? -1 : 0;
  }
}

const Ziggurat kZiggurat;

namespace {

// GCC 12's AVX-512 header leaves placeholder operands uninitialised on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The rounds on 8 blocks at a time, each 32-bit word in the low half of a 64-bit lane
// (the high halves are ignored: the products take the low halves only, and the results
// are cut to them).
__attribute__((target("avx512f,avx512vl"))) void batch_avx512(
    std::uint32_t key0, std::uint32_t key1, std::uint32_t lo, std::uint32_t hi,
    std::uint32_t stream, std::uint32_t first, std::uint32_t* out) {
  constexpr std::size_t kGroups = Philox::kBatch / 8;
  __m512i c0[kGroups], c1[kGroups], c2[kGroups], c3[kGroups];
  for (std::size_t g = 0; g < kGroups; ++g) {
    const auto at = [&](std::size_t j) {
      return static_cast<long long>(static_cast<std::uint32_t>(first + 8 * g + j));
    };
    c0[g] = _mm512_set1_epi64(lo);
    c1[g] = _mm512_set1_epi64(hi);
    c2[g] = _mm512_set1_epi64(stream);
    c3[g] = _mm512_set_epi64(at(7), at(6), at(5), at(4), at(3), at(2), at(1), at(0));
  }
  const __m512i m0 = _mm512_set1_epi64(0xD2511F53), m1 = _mm512_set1_epi64(0xCD9E8D57);
  for (int round = 0; round < 10; ++round) {
    const __m512i k0 = _mm512_set1_epi64(key0), k1 = _mm512_set1_epi64(key1);
    for (std::size_t g = 0; g < kGroups; ++g) {
      const __m512i p0 = _mm512_mul_epu32(c0[g], m0);
      const __m512i p1 = _mm512_mul_epu32(c2[g], m1);
      c0[g] = _mm512_xor_si512(_mm512_xor_si512(_mm512_srli_epi64(p1, 32), c1[g]), k0);
      c1[g] = p1;
      c2[g] = _mm512_xor_si512(_mm512_xor_si512(_mm512_srli_epi64(p0, 32), c3[g]), k1);
      c3[g] = p0;
    }
    key0 += 0x9E3779B9u;
    key1 += 0xBB67AE85u;
  }
  // Words 0, 1 of each block in one 64-bit lane, words 2, 3 in another, then the lanes
  // of the two interleaved: blocks 4h .. 4h + 3 in vector h.
  const __m512i low = _mm512_set1_epi64(0xFFFFFFFF);
  const __m512i first_half = _mm512_set_epi64(11, 3, 10, 2, 9, 1, 8, 0);
  const __m512i second_half = _mm512_set_epi64(15, 7, 14, 6, 13, 5, 12, 4);
  for (std::size_t g = 0; g < kGroups; ++g) {
    const __m512i a = _mm512_or_si512(_mm512_and_si512(c0[g], low), _mm512_slli_epi64(c1[g], 32));
    const __m512i b = _mm512_or_si512(_mm512_and_si512(c2[g], low), _mm512_slli_epi64(c3[g], 32));
    _mm512_storeu_si512(out + 32 * g, _mm512_permutex2var_epi64(a, first_half, b));
    _mm512_storeu_si512(out + 32 * g + 16, _mm512_permutex2var_epi64(a, second_half, b));
  }
}

// The boxed values and the box mask of 64 words (FrameStream::form): 16 words at a time,
// the boxes from the integer bounds by table permutations, the widths gathered.
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) std::uint64_t form_avx512(
    const std::uint32_t* words, double* values) {
  const Ziggurat& z = kZiggurat;
  __m512i box[8];
  for (std::size_t t = 0; t < 8; ++t) box[t] = _mm512_loadu_si512(z.box.data() + 16 * t);
  const __m512i layer_bits = _mm512_set1_epi32(127);
  const __m512i bit5 = _mm512_set1_epi32(32), bit6 = _mm512_set1_epi32(64);
  const __m512i sign_bit = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
  std::uint64_t boxed = 0;
  for (std::size_t q = 0; q < 4; ++q) {
    const __m512i word = _mm512_loadu_si512(words + 16 * q);
    const __m512i layer = _mm512_and_si512(word, layer_bits);
    const __m512i u = _mm512_srli_epi32(word, 8);
    // box[layer]: 32 entries per permutation, then bits 5 and 6 of the layer choose.
    const __mmask16 b5 = _mm512_test_epi32_mask(layer, bit5), b6 = _mm512_test_epi32_mask(layer, bit6);
    const __m512i lo = _mm512_mask_blend_epi32(b5, _mm512_permutex2var_epi32(box[0], layer, box[1]),
                                               _mm512_permutex2var_epi32(box[2], layer, box[3]));
    const __m512i hi = _mm512_mask_blend_epi32(b5, _mm512_permutex2var_epi32(box[4], layer, box[5]),
                                               _mm512_permutex2var_epi32(box[6], layer, box[7]));
    const __mmask16 in = _mm512_cmplt_epu32_mask(u, _mm512_mask_blend_epi32(b6, lo, hi));
    boxed |= static_cast<std::uint64_t>(in) << (16 * q);
    for (int h = 0; h < 2; ++h) {
      const __m256i w = h == 0 ? _mm512_castsi512_si256(word) : _mm512_extracti64x4_epi64(word, 1);
      const __m256i l = h == 0 ? _mm512_castsi512_si256(layer) : _mm512_extracti64x4_epi64(layer, 1);
      const __m256i m = h == 0 ? _mm512_castsi512_si256(u) : _mm512_extracti64x4_epi64(u, 1);
      const __m512d width = _mm512_i32gather_pd(l, z.width.data(), 8);
      // Bit 7 of the word to the sign of the double.
      const __m512i sign = _mm512_and_si512(_mm512_slli_epi64(_mm512_cvtepu32_epi64(w), 56), sign_bit);
      const __m512d x = _mm512_castsi512_pd(
          _mm512_xor_si512(_mm512_castpd_si512(_mm512_mul_pd(_mm512_cvtepu32_pd(m), width)), sign));
      _mm512_storeu_pd(values + 16 * q + 8 * h, x);
    }
  }
  return boxed;
}

#pragma GCC diagnostic pop



}  // namespace

void Philox::batch(std::uint32_t lo, std::uint32_t hi, std::uint32_t stream, std::uint32_t first,
                   std::uint32_t* out) const noexcept {
  if (has_avx512()) {
    batch_avx512(key_[0], key_[1], lo, hi, stream, first, out);
    return;
  }
  for (std::size_t j = 0; j < kBatch; ++j) {
    const Block b = (*this)({lo, hi, stream, first + static_cast<std::uint32_t>(j)});
    std::copy(b.begin(), b.end(), out + 4 * j);
  }
}

void FrameStream::form() noexcept {
  formed_ = true;
  if (has_avx512()) {
    for (std::size_t b = 0; b < boxed_.size(); ++b) {
      boxed_[b] = form_avx512(words_.data() + 64 * b, boxed_values_.data() + 64 * b);
    }
    return;
  }
  const Ziggurat& z = kZiggurat;
  boxed_.fill(0);
  for (std::size_t i = 0; i < words_.size(); ++i) {
    const std::uint32_t word = words_[i];
    const std::size_t layer = word & 127;
    const auto u = static_cast<double>(word >> 8);
    const double x = u * z.width[layer];
    boxed_values_[i] = ((word >> 7) & 1) != 0 ? -x : x;
    if (u < z.edge[layer]) boxed_[i / 64] |= std::uint64_t{1} << (i % 64);
  }
}

std::size_t FrameStream::boxed_run() const noexcept {
  std::size_t at = used_, run = 0;
  for (;;) {
    const auto ones = static_cast<std::size_t>(std::countr_one(boxed_[at / 64] >> (at % 64)));
    run += ones;
    at += ones;
    if (ones == 0 || at % 64 != 0 || at == words_.size()) return run;
  }
}

template <class Copy>
inline void FrameStream::normals_loop(double* out, std::size_t n, Copy copy) noexcept {
  for (std::size_t i = 0; i < n;) {
    if (used_ == words_.size()) refill();
    if (!formed_) form();
    const std::size_t run = std::min(boxed_run(), n - i);
    copy(boxed_values_.data() + used_, run, out + i);
    used_ += run;
    i += run;
    if (i < n && used_ < words_.size()) out[i++] = normal();  // from the word that left its box
  }
}

// Runs are short (a word leaves its box about once in 36): a libc call per run costs
// more than the copy.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl,avx512dq,avx512bw")
void FrameStream::normals_avx512(double* out, std::size_t n) noexcept {
  normals_loop(out, n, [](const double* from, std::size_t count, double* to) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) _mm512_storeu_pd(to + i, _mm512_loadu_pd(from + i));
    const auto rest = static_cast<__mmask8>((1u << (count - i)) - 1);
    _mm512_mask_storeu_pd(to + i, rest, _mm512_maskz_loadu_pd(rest, from + i));
  });
}
#pragma GCC pop_options

void FrameStream::normals(double* out, std::size_t n) noexcept {
  if (has_avx512()) {
    normals_avx512(out, n);
    return;
  }
  normals_loop(out, n, [](const double* from, std::size_t count, double* to) { std::copy_n(from, count, to); });
}

}  // namespace linkforge::sim
