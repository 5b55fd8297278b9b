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
  for (std::size_t i = 0; i < 128; ++i) {
    box[i] = static_cast<std::uint32_t>(std::ceil(edge[i]));
    width_f[i] = static_cast<float>(width[i]);
  }
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

// The words in their boxes give their values, n words into out; the others are
// appended to word/at (at: base + their index), and the count of those is returned.
std::size_t boxed_scalar(const std::uint32_t* words, std::size_t n, double* out, std::size_t base,
                         std::uint32_t* word, std::uint32_t* at, std::size_t pending) {
  const Ziggurat& z = kZiggurat;
  for (std::size_t j = 0; j < n; ++j) {
    const std::uint32_t w = words[j], layer = w & 127, u = w >> 8;
    if (u < z.box[layer]) {
      const float x = static_cast<float>(u) * z.width_f[layer];
      out[j] = ((w >> 7) & 1) != 0 ? -x : x;
    } else {
      word[pending] = w;
      at[pending++] = static_cast<std::uint32_t>(base + j);
    }
  }
  return pending;
}

// The same, 16 words at a time: the bounds and widths of the layers by table
// permutations, the words outside their boxes and their places compressed out.
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) std::size_t boxed_avx512(
    const std::uint32_t* words, std::size_t n, double* out, std::size_t base, std::uint32_t* word,
    std::uint32_t* at, std::size_t pending) {
  const Ziggurat& z = kZiggurat;
  __m512i box[8];
  __m512 width[8];
  for (std::size_t t = 0; t < 8; ++t) {
    box[t] = _mm512_loadu_si512(z.box.data() + 16 * t);
    width[t] = _mm512_loadu_ps(z.width_f.data() + 16 * t);
  }
  const __m512i layer_bits = _mm512_set1_epi32(127);
  const __m512i bit5 = _mm512_set1_epi32(32), bit6 = _mm512_set1_epi32(64);
  const __m512i sign_bit = _mm512_set1_epi32(static_cast<int>(0x80000000u));
  const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  for (std::size_t j = 0; j < n; j += 16) {
    const auto valid = static_cast<__mmask16>(n - j >= 16 ? 0xFFFF : (1u << (n - j)) - 1);
    const __m512i w = _mm512_maskz_loadu_epi32(valid, words + j);
    const __m512i layer = _mm512_and_si512(w, layer_bits);
    const __m512i u = _mm512_srli_epi32(w, 8);
    // table[layer]: 32 entries per permutation, then bits 5 and 6 of the layer choose.
    const __mmask16 b5 = _mm512_test_epi32_mask(layer, bit5), b6 = _mm512_test_epi32_mask(layer, bit6);
    const __m512i box_lo = _mm512_mask_blend_epi32(b5, _mm512_permutex2var_epi32(box[0], layer, box[1]),
                                                   _mm512_permutex2var_epi32(box[2], layer, box[3]));
    const __m512i box_hi = _mm512_mask_blend_epi32(b5, _mm512_permutex2var_epi32(box[4], layer, box[5]),
                                                   _mm512_permutex2var_epi32(box[6], layer, box[7]));
    const __mmask16 in = _mm512_cmplt_epu32_mask(u, _mm512_mask_blend_epi32(b6, box_lo, box_hi));
    const __m512 width_lo = _mm512_mask_blend_ps(b5, _mm512_permutex2var_ps(width[0], layer, width[1]),
                                                 _mm512_permutex2var_ps(width[2], layer, width[3]));
    const __m512 width_hi = _mm512_mask_blend_ps(b5, _mm512_permutex2var_ps(width[4], layer, width[5]),
                                                 _mm512_permutex2var_ps(width[6], layer, width[7]));
    const __m512 x = _mm512_mul_ps(_mm512_cvtepu32_ps(u), _mm512_mask_blend_ps(b6, width_lo, width_hi));
    // Bit 7 of the word to the sign.
    const __m512 value = _mm512_castsi512_ps(_mm512_xor_si512(
        _mm512_castps_si512(x), _mm512_and_si512(_mm512_slli_epi32(w, 24), sign_bit)));
    const __m256 value_hi = _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(value), 1));
    _mm512_mask_storeu_pd(out + j, static_cast<__mmask8>(valid), _mm512_cvtps_pd(_mm512_castps512_ps256(value)));
    _mm512_mask_storeu_pd(out + j + 8, static_cast<__mmask8>(valid >> 8), _mm512_cvtps_pd(value_hi));
    // Compressed in registers and stored whole (word and at have room for 16 more),
    // with no branch: a 16 holds a word outside its box about every other time.
    const auto outside = static_cast<__mmask16>(valid & ~in);
    const __m512i place = _mm512_add_epi32(iota, _mm512_set1_epi32(static_cast<int>(base + j)));
    _mm512_storeu_si512(word + pending, _mm512_maskz_compress_epi32(outside, w));
    _mm512_storeu_si512(at + pending, _mm512_maskz_compress_epi32(outside, place));
    pending += static_cast<std::size_t>(std::popcount(static_cast<unsigned>(outside)));
  }
  return pending;
}

// What the ziggurat makes of a word outside its box before any stream is asked.
enum Verdict : std::uint8_t { kTail, kBelow, kAbove, kAsk };

// The verdicts of count words outside their boxes, with their uniforms (words of the
// wedge stream): the value x of each (signed in value) and the wedge's y.
void judge_scalar(const std::uint32_t* word, const std::uint32_t* uniform, std::size_t count,
                  double* value, double* y, std::uint8_t* verdict) {
  const Ziggurat& z = kZiggurat;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = word[k] & 127;
    if (i == 0) {
      value[k] = 0;
      verdict[k] = kTail;
      continue;
    }
    const double x = static_cast<double>(word[k] >> 8) * z.width[i];
    const double u = (static_cast<double>(uniform[k]) + 0.5) * 0x1p-32;
    y[k] = z.height[i] + u * (z.height[i - 1] - z.height[i]);
    value[k] = ((word[k] >> 7) & 1) != 0 ? -x : x;
    const int b = z.bounds(i, x, y[k]);
    verdict[k] = b > 0 ? kBelow : b < 0 ? kAbove : kAsk;
  }
}

// The same, 8 words at a time, with the same operations.
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) void judge_avx512(
    const std::uint32_t* word, const std::uint32_t* uniform, std::size_t count, double* value,
    double* y_out, std::uint8_t* verdict) {
  const Ziggurat& z = kZiggurat;
  const __m512d margin = _mm512_set1_pd(Ziggurat::kMargin), one = _mm512_set1_pd(1.0);
  for (std::size_t k = 0; k < count; k += 8) {
    const auto valid = static_cast<__mmask8>(count - k >= 8 ? 0xFF : (1u << (count - k)) - 1);
    const __m256i w = _mm256_maskz_loadu_epi32(valid, word + k);
    const __m256i i = _mm256_and_si256(w, _mm256_set1_epi32(127));
    const __mmask8 wedge = _mm256_mask_test_epi32_mask(valid, i, i);  // layers 1 and up
    const __m512d zero = _mm512_setzero_pd();
#define gather(table, index) _mm512_mask_i32gather_pd(zero, wedge, index, table, 8)
    const __m256i below = _mm256_sub_epi32(i, _mm256_set1_epi32(1));
    const __m512d x = _mm512_mul_pd(_mm512_cvtepu32_pd(_mm256_srli_epi32(w, 8)), gather(z.width.data(), i));
    const __m512d u = _mm512_mul_pd(_mm512_add_pd(_mm512_cvtepu32_pd(_mm256_maskz_loadu_epi32(valid, uniform + k)),
                                                  _mm512_set1_pd(0.5)),
                                    _mm512_set1_pd(0x1p-32));
    const __m512d h = gather(z.height.data(), i), h_up = gather(z.height.data(), below);
    const __m512d y = _mm512_add_pd(h, _mm512_mul_pd(u, _mm512_sub_pd(h_up, h)));
    const __m512d lo = gather(z.x_lo.data(), i), hi = gather(z.x_hi.data(), i);
    const __m512d chord = _mm512_add_pd(h_up, _mm512_mul_pd(_mm512_sub_pd(x, lo), gather(z.slope.data(), i)));
    const __m512d from_lo = _mm512_mul_pd(h_up, _mm512_sub_pd(one, _mm512_mul_pd(lo, _mm512_sub_pd(x, lo))));
    const __m512d from_hi = _mm512_mul_pd(h, _mm512_sub_pd(one, _mm512_mul_pd(hi, _mm512_sub_pd(x, hi))));
    const __m256i shape = _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), wedge, i, z.shape.data(), 4);
    const __mmask8 convex = _mm256_mask_cmpgt_epi32_mask(wedge, shape, _mm256_setzero_si256());
    const __mmask8 concave = _mm256_mask_cmplt_epi32_mask(wedge, shape, _mm256_setzero_si256());
    const __mmask8 convex_above = _mm512_mask_cmp_pd_mask(convex, y, _mm512_add_pd(chord, margin), _CMP_GT_OQ);
    const __mmask8 convex_below = _mm512_mask_cmp_pd_mask(
        convex, y, _mm512_sub_pd(_mm512_max_pd(from_lo, from_hi), margin), _CMP_LT_OQ);
    const __mmask8 concave_below = _mm512_mask_cmp_pd_mask(concave, y, _mm512_sub_pd(chord, margin), _CMP_LT_OQ);
    const __mmask8 concave_above = _mm512_mask_cmp_pd_mask(
        concave, y, _mm512_add_pd(_mm512_min_pd(from_lo, from_hi), margin), _CMP_GT_OQ);
    const auto above = static_cast<__mmask8>(convex_above | (concave_above & ~concave_below));
    const auto below_density = static_cast<__mmask8>(concave_below | (convex_below & ~convex_above));
    const __m512i sign = _mm512_slli_epi64(_mm512_and_si512(_mm512_cvtepu32_epi64(w), _mm512_set1_epi64(128)), 56);
    _mm512_mask_storeu_pd(value + k, valid, _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(x), sign)));
    _mm512_mask_storeu_pd(y_out + k, valid, y);
    // kTail 0, kBelow 1, kAbove 2, kAsk 3.
    __m128i v = _mm_maskz_mov_epi8(wedge, _mm_set1_epi8(kAsk));
    v = _mm_mask_mov_epi8(v, above, _mm_set1_epi8(kAbove));
    v = _mm_mask_mov_epi8(v, below_density, _mm_set1_epi8(kBelow));
    _mm_mask_storeu_epi8(verdict + k, valid, v);
#undef gather
  }
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

void Normals::draw(double* out, std::size_t n) noexcept {
  for (std::size_t j = 0; j < n;) {
    const std::span<const std::uint32_t> words = words_.take(n - j);
    pending_ = has_avx512()
                   ? boxed_avx512(words.data(), words.size(), out + j, j, word_.data(), at_.data(), pending_)
                   : boxed_scalar(words.data(), words.size(), out + j, j, word_.data(), at_.data(), pending_);
    j += words.size();
    if (pending_ >= kPending || j == n) settle(out);
  }
}

void Normals::settle(double* out) noexcept {
  std::array<std::uint32_t, kPending + 4 * Philox::kBatch> uniform;
  for (std::size_t k = 0; k < pending_;) {
    const std::span<const std::uint32_t> words = wedge_.take(pending_ - k);
    std::copy(words.begin(), words.end(), uniform.begin() + static_cast<std::ptrdiff_t>(k));
    k += words.size();
  }
  std::array<double, kPending + 4 * Philox::kBatch> value, y;
  std::array<std::uint8_t, kPending + 4 * Philox::kBatch> verdict;
  if (has_avx512()) {
    judge_avx512(word_.data(), uniform.data(), pending_, value.data(), y.data(), verdict.data());
  } else {
    judge_scalar(word_.data(), uniform.data(), pending_, value.data(), y.data(), verdict.data());
  }
  // Every word's x first, then the rest in the words' order, as the restart stream's
  // draws must be (without a branch per word: about half are below the density).
  std::array<std::uint16_t, kPending + 4 * Philox::kBatch> rest;
  std::size_t count = 0;
  for (std::size_t k = 0; k < pending_; ++k) {
    out[at_[k]] = value[k];
    rest[count] = static_cast<std::uint16_t>(k);
    count += verdict[k] != kBelow ? 1 : 0;
  }
  for (std::size_t r = 0; r < count; ++r) {
    const std::size_t k = rest[r];
    double& v = out[at_[k]];
    if (verdict[k] == kTail) {
      v = ((word_[k] >> 7) & 1) != 0 ? -restart_.tail() : restart_.tail();
    } else if (verdict[k] == kAbove || !(y[k] < std::exp(-0.5 * v * v))) {
      v = restart_.normal();
    }
  }
  pending_ = 0;
}

}  // namespace linkforge::sim
