// 5G polar construction, encoder and successive-cancellation decoder.
#include "linkforge/polar.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "linkforge/error.hpp"
#include "linkforge/parallel.hpp"

namespace linkforge {
namespace polar_detail {
extern const std::uint16_t nr_polar_sequence[1024];
}

namespace {

// Per-frame working memory of the SC decoder: LLRs of every stage (N - 1 in all below
// the channel's N) and the partial sums, plus the frozen mask.
struct ScScratch {
  std::vector<float> alpha;
  std::vector<std::uint8_t> beta;
  std::vector<std::uint8_t> frozen;
  std::vector<std::uint8_t> u;
};

inline float f_min_sum(float a, float b) {
  const float m = std::min(std::fabs(a), std::fabs(b));
  return ((a < 0.0f) != (b < 0.0f)) ? -m : m;
}

inline float g_sum(float a, float b, std::uint8_t u) { return u ? b - a : b + a; }

// Decodes the node whose n LLRs are at a; writes its partial sums to x and the bit
// decisions to u (from position first). work holds n - 1 free floats below a's level.
void sc_node(const float* a, std::size_t n, float* work, std::uint8_t* x, std::uint8_t* xwork,
             const std::uint8_t* frozen, std::uint8_t* u) {
  if (n == 1) {
    const std::uint8_t bit = frozen[0] ? 0 : (a[0] < 0.0f ? 1 : 0);
    x[0] = bit;
    u[0] = bit;
    return;
  }
  const std::size_t h = n / 2;
  float* child = work;
  for (std::size_t i = 0; i < h; ++i) child[i] = f_min_sum(a[i], a[i + h]);
  std::uint8_t* xl = xwork;
  sc_node(child, h, work + h, xl, xwork + h, frozen, u);
  for (std::size_t i = 0; i < h; ++i) child[i] = g_sum(a[i], a[i + h], xl[i]);
  sc_node(child, h, work + h, x + h, xwork + h, frozen + h, u + h);
  for (std::size_t i = 0; i < h; ++i) x[i] = static_cast<std::uint8_t>(xl[i] ^ x[i + h]);
}

void polar_transform(std::span<std::uint8_t> x) {
  const std::size_t N = x.size();
  for (std::size_t h = 1; h < N; h *= 2)
    for (std::size_t b = 0; b < N; b += 2 * h)
      for (std::size_t i = b; i < b + h; ++i) x[i] = static_cast<std::uint8_t>(x[i] ^ x[i + h]);
}

void decode_one(std::span<const float> llr, std::span<const std::uint32_t> info,
                ScScratch& s, std::span<std::uint8_t> data) {
  const std::size_t N = llr.size();
  float* top = s.alpha.data();
  for (std::size_t i = 0; i < N; ++i) {
    if (std::isnan(llr[i])) throw ArgumentError("PolarDecode: the LLRs must not be NaN");
    top[i] = -llr[i];  // ln(P(0)/P(1)) inside
  }
  sc_node(top, N, top + N, s.beta.data(), s.beta.data() + N, s.frozen.data(), s.u.data());
  for (std::size_t k = 0; k < info.size(); ++k) data[k] = s.u[info[k]];
}

ScScratch make_scratch(std::size_t N, std::span<const std::uint32_t> info) {
  ScScratch s;
  s.alpha.assign(2 * N, 0.0f);
  s.beta.assign(2 * N, 0);
  s.u.assign(N, 0);
  s.frozen.assign(N, 1);
  for (std::uint32_t p : info) s.frozen[p] = 0;
  return s;
}

}  // namespace

void check_polar_code(std::size_t K, std::size_t N) {
  if (N < 32 || N > 1024 || (N & (N - 1)) != 0)
    throw ArgumentError("polar code: N must be a power of two from 32 to 1024, got " +
                        std::to_string(N));
  if (K < 1 || K > N)
    throw ArgumentError("polar code: K must be from 1 to N = " + std::to_string(N) + ", got " +
                        std::to_string(K));
}

std::vector<std::uint32_t> polar_construct(std::size_t K, std::size_t N) {
  check_polar_code(K, N);
  std::vector<std::uint32_t> info;
  info.reserve(K);
  // Walk from the most reliable entry down, keeping those below N.
  for (std::size_t i = 1024; i-- > 0 && info.size() < K;)
    if (polar_detail::nr_polar_sequence[i] < N) info.push_back(polar_detail::nr_polar_sequence[i]);
  std::sort(info.begin(), info.end());
  return info;
}

void polar_encode(std::span<const std::uint8_t> data, std::size_t N, std::span<std::uint8_t> code) {
  const auto info = polar_construct(data.size(), N);
  if (code.size() != N) throw ArgumentError("PolarEncode: the code needs N elements");
  std::fill(code.begin(), code.end(), std::uint8_t{0});
  for (std::size_t k = 0; k < info.size(); ++k) {
    if (data[k] > 1) throw ArgumentError("PolarEncode: the data must be bits 0 and 1");
    code[info[k]] = data[k];
  }
  polar_transform(code);
}

void polar_decode_sc(std::span<const float> llr, std::size_t K, std::span<std::uint8_t> data) {
  const auto info = polar_construct(K, llr.size());
  if (data.size() != K) throw ArgumentError("PolarDecode: the data need K elements");
  ScScratch s = make_scratch(llr.size(), info);
  decode_one(llr, info, s, data);
}

void polar_encode_frames(FrameView<const std::uint8_t> data, std::size_t N,
                         FrameView<std::uint8_t> code) {
  const std::size_t K = data.length;
  const auto info = polar_construct(K, N);
  if (code.length != N || code.frames != data.frames)
    throw ArgumentError("PolarEncode: the code must be frames x N");
  std::vector<std::uint8_t> x(N);
  for (std::size_t f = 0; f < data.frames; ++f) {
    std::fill(x.begin(), x.end(), std::uint8_t{0});
    for (std::size_t k = 0; k < K; ++k) {
      const std::uint8_t b = data(f, k);
      if (b > 1) throw ArgumentError("PolarEncode: the data must be bits 0 and 1");
      x[info[k]] = b;
    }
    polar_transform(x);
    for (std::size_t i = 0; i < N; ++i) code(f, i) = x[i];
  }
}

void polar_decode_sc_frames(FrameView<const float> llr, std::size_t K,
                            FrameView<std::uint8_t> data, int threads) {
  const std::size_t N = llr.length;
  const auto info = polar_construct(K, N);
  if (data.length != K || data.frames != llr.frames)
    throw ArgumentError("PolarDecode: the data must be frames x K");
  for (std::size_t f = 0; f < llr.frames; ++f)
    for (std::size_t i = 0; i < N; ++i)
      if (std::isnan(llr(f, i))) throw ArgumentError("PolarDecode: the LLRs must not be NaN");
  const std::size_t workers = parallel_workers(llr.frames, threads);
  std::vector<ScScratch> scratch;
  for (std::size_t w = 0; w < std::max<std::size_t>(workers, 1); ++w)
    scratch.push_back(make_scratch(N, info));
  std::vector<std::vector<float>> rows(scratch.size(), std::vector<float>(N));
  std::vector<std::vector<std::uint8_t>> outs(scratch.size(), std::vector<std::uint8_t>(K));
  parallel_for(llr.frames, threads, [&](std::size_t f, std::size_t w, const Interrupt&) {
    for (std::size_t i = 0; i < N; ++i) rows[w][i] = llr(f, i);
    decode_one(rows[w], info, scratch[w], outs[w]);
    for (std::size_t k = 0; k < K; ++k) data(f, k) = outs[w][k];
  });
}

}  // namespace linkforge
