#include "philox.hpp"

#include <immintrin.h>

#include <algorithm>
#include <cmath>

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
  alignas(32) std::uint32_t w[4][8];
  for (std::size_t g = 0; g < kGroups; ++g) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(w[0]), _mm512_cvtepi64_epi32(c0[g]));
    _mm256_store_si256(reinterpret_cast<__m256i*>(w[1]), _mm512_cvtepi64_epi32(c1[g]));
    _mm256_store_si256(reinterpret_cast<__m256i*>(w[2]), _mm512_cvtepi64_epi32(c2[g]));
    _mm256_store_si256(reinterpret_cast<__m256i*>(w[3]), _mm512_cvtepi64_epi32(c3[g]));
    for (std::size_t j = 0; j < 8; ++j) {
      for (std::size_t k = 0; k < 4; ++k) out[4 * (8 * g + j) + k] = w[k][j];
    }
  }
}

// The normal values of words[0 .. n) into out while each word lands in its layer's box
// (as FrameStream::normal reads it); returns how many did.
__attribute__((target("avx512f,avx512vl"))) std::size_t boxed_normals_avx512(
    const std::uint32_t* words, std::size_t n, double* out) {
  const Ziggurat& z = kZiggurat;
  const __m256i layer_bits = _mm256_set1_epi32(127);
  const __m512i sign_bit = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ull));
  for (std::size_t i = 0; i < n; i += 8) {
    const auto valid = static_cast<__mmask8>(n - i >= 8 ? 0xFF : (1u << (n - i)) - 1);
    const __m256i word = _mm256_maskz_loadu_epi32(valid, words + i);
    const __m256i layer = _mm256_and_si256(word, layer_bits);
    const __m512d u = _mm512_cvtepu32_pd(_mm256_srli_epi32(word, 8));
    const __m512d edge = _mm512_i32gather_pd(layer, z.edge.data(), 8);
    const __m512d width = _mm512_i32gather_pd(layer, z.width.data(), 8);
    const __mmask8 boxed = _mm512_mask_cmp_pd_mask(valid, u, edge, _CMP_LT_OQ);
    // Bit 7 of the word to the sign of the double.
    const __m512i sign =
        _mm512_and_si512(_mm512_slli_epi64(_mm512_cvtepu32_epi64(word), 56), sign_bit);
    const __m512d x =
        _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(_mm512_mul_pd(u, width)), sign));
    if (boxed == valid) {
      _mm512_mask_storeu_pd(out + i, valid, x);
      continue;
    }
    const auto run = static_cast<unsigned>(__builtin_ctz(~static_cast<unsigned>(boxed)));
    _mm512_mask_storeu_pd(out + i, static_cast<__mmask8>((1u << run) - 1), x);
    return i + run;
  }
  return n;
}

#pragma GCC diagnostic pop

std::size_t boxed_normals(const std::uint32_t* words, std::size_t n, double* out) {
  const Ziggurat& z = kZiggurat;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t word = words[i];
    const std::size_t layer = word & 127;
    const auto u = static_cast<double>(word >> 8);
    if (!(u < z.edge[layer])) return i;
    const double x = u * z.width[layer];
    out[i] = ((word >> 7) & 1) != 0 ? -x : x;
  }
  return n;
}

const bool kHasAvx512 = [] {
  __builtin_cpu_init();  // may run before the runtime's own start-up code
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}();

}  // namespace

void Philox::batch(std::uint32_t lo, std::uint32_t hi, std::uint32_t stream, std::uint32_t first,
                   std::uint32_t* out) const noexcept {
  if (kHasAvx512) {
    batch_avx512(key_[0], key_[1], lo, hi, stream, first, out);
    return;
  }
  for (std::size_t j = 0; j < kBatch; ++j) {
    const Block b = (*this)({lo, hi, stream, first + static_cast<std::uint32_t>(j)});
    std::copy(b.begin(), b.end(), out + 4 * j);
  }
}

void FrameStream::normals(double* out, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n;) {
    if (used_ == words_.size()) {
      out[i++] = normal();  // refills the buffer
      continue;
    }
    const std::size_t end = std::min(words_.size(), used_ + (n - i));
    const std::size_t boxed =
        kHasAvx512 ? boxed_normals_avx512(words_.data() + used_, end - used_, out + i)
                   : boxed_normals(words_.data() + used_, end - used_, out + i);
    used_ += boxed;
    i += boxed;
    if (used_ < end) out[i++] = normal();  // from the word that left its box
  }
}

}  // namespace linkforge::sim
