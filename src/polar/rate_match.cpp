// Rate matching of the 5G polar codes (3GPP TS 38.212 5.3.1, 5.4.1) and its soft inverse.
#include <algorithm>
#include <string>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/polar.hpp"
#include "linkforge/polar_rate.hpp"
#include "sequence.hpp"

namespace linkforge {
namespace {

// ceil(log2 x) for x >= 1.
std::size_t ceil_log2(std::size_t x) {
  std::size_t n = 0;
  while ((std::size_t{1} << n) < x) ++n;
  return n;
}

bool punctures(std::size_t K, std::size_t E) {
  return 16 * K <= 7 * E;
}  // K/E <= 7/16

}  // namespace

std::size_t polar_code_length(std::size_t K, std::size_t E, PolarLink link) {
  if (K < 1) throw ArgumentError("polar rate matching: K must be 1 or more");
  if (E < K || E > kPolarMaxE) polar_detail::refuse_size(Fault::kOutOfRange, "E", E, K, kPolarMaxE);
  const std::size_t c = ceil_log2(E);
  // E <= (9/8) 2^(c - 1) and K/E < 9/16.
  const bool smaller = c >= 1 && 8 * E <= 9 * (std::size_t{1} << (c - 1)) && 16 * K < 9 * E;
  const std::size_t n1 = smaller ? c - 1 : c;
  const std::size_t n2 = ceil_log2(8 * K);
  const std::size_t n_max = link == PolarLink::kDownlink ? 9 : 10;
  const std::size_t n = std::max<std::size_t>(std::min({n1, n2, n_max}), 5);
  const std::size_t N = std::size_t{1} << n;
  if (K > N) {
    throw ArgumentError("polar rate matching: K = " + std::to_string(K) +
                        " exceeds the longest code, N = " + std::to_string(N));
  }
  return N;
}

void check_polar_rate(const PolarRateParams& p) {
  check_polar_code(p.K, p.N);
  if (p.E < p.K || p.E > kPolarMaxE)
    polar_detail::refuse_size(Fault::kOutOfRange, "E", p.E, p.K, kPolarMaxE);
}

PolarSelection polar_selection(const PolarRateParams& p) {
  if (p.E >= p.N) return PolarSelection::kRepetition;
  return punctures(p.K, p.E) ? PolarSelection::kPuncturing : PolarSelection::kShortening;
}

std::vector<std::uint32_t> polar_subblock_interleaver(std::size_t N) {
  static constexpr std::uint32_t kP[32] = {0,  1,  2,  4,  3,  5,  6,  7,  8,  16, 9,
                                           17, 10, 18, 11, 19, 12, 20, 13, 21, 14, 22,
                                           15, 23, 24, 25, 26, 28, 27, 29, 30, 31};
  check_polar_code(1, N);
  const std::size_t b = N / 32;
  std::vector<std::uint32_t> J(N);
  for (std::size_t n = 0; n < N; ++n) J[n] = static_cast<std::uint32_t>(kP[32 * n / N] * b + n % b);
  return J;
}

std::vector<std::uint32_t> polar_rate_positions(const PolarRateParams& p) {
  check_polar_rate(p);
  const std::vector<std::uint32_t> J = polar_subblock_interleaver(p.N);
  std::vector<std::uint32_t> e(p.E);
  const std::size_t skip = polar_selection(p) == PolarSelection::kPuncturing ? p.N - p.E : 0;
  for (std::size_t k = 0; k < p.E; ++k) e[k] = J[(k + skip) % p.N];
  if (!p.interleave_coded_bits) return e;
  // Row i of the triangle holds T - i entries; read column j down rows 0..T-1-j.
  std::size_t T = 0;
  while (T * (T + 1) / 2 < p.E) ++T;
  std::vector<std::size_t> row_start(T + 1, 0);
  for (std::size_t i = 0; i < T; ++i) row_start[i + 1] = row_start[i] + (T - i);
  std::vector<std::uint32_t> f;
  f.reserve(p.E);
  for (std::size_t j = 0; j < T; ++j) {
    for (std::size_t i = 0; i + j < T; ++i) {
      const std::size_t k = row_start[i] + j;
      if (k < p.E) f.push_back(e[k]);
    }
  }
  return f;
}

std::vector<std::uint32_t> polar_rate_construct(const PolarRateParams& p) {
  check_polar_rate(p);
  const std::size_t N = p.N, E = p.E;
  std::vector<std::uint8_t> excluded(N, 0);
  const std::vector<std::uint32_t> J = polar_subblock_interleaver(N);
  switch (polar_selection(p)) {
    case PolarSelection::kRepetition:
      break;
    case PolarSelection::kPuncturing: {
      for (std::size_t n = 0; n < N - E; ++n) excluded[J[n]] = 1;
      // ceil(3N/4 - E/2) = ceil((3N - 2E) / 4); ceil(9N/16 - E/4) = ceil((9N - 4E) / 16).
      const std::size_t below =
          4 * E >= 3 * N ? (3 * N - 2 * E + 3) / 4 : (9 * N - 4 * E + 15) / 16;
      for (std::size_t i = 0; i < below; ++i) excluded[i] = 1;
      break;
    }
    case PolarSelection::kShortening:
      for (std::size_t n = E; n < N; ++n) excluded[J[n]] = 1;
      break;
  }
  std::vector<std::uint32_t> info = polar_detail::most_reliable(p.K, N, excluded);
  if (info.size() < p.K) {
    throw ArgumentError("polar rate matching: only " + std::to_string(info.size()) +
                        " positions of N = " + std::to_string(N) + " are left for K = " +
                        std::to_string(p.K) + " bits at E = " + std::to_string(E));
  }
  return info;
}

void polar_rate_match(const PolarRateParams& params, FrameView<const double> code,
                      FrameView<double> out) {
  const std::vector<std::uint32_t> at = polar_rate_positions(params);
  if (code.length != params.N) {
    throw ArgumentError("polar rate matching: code must hold N = " + std::to_string(params.N) +
                        " bits per frame, not " + std::to_string(code.length));
  }
  if (out.frames != code.frames || out.length != params.E) {
    throw ArgumentError("polar_rate_match: out must hold E values per frame");
  }
  for (std::size_t f = 0; f < code.frames; ++f)
    for (std::size_t k = 0; k < params.E; ++k) out(f, k) = code(f, at[k]);
}

void polar_rate_recover(const PolarRateParams& params, FrameView<const double> llr,
                        FrameView<double> out) {
  const std::vector<std::uint32_t> at = polar_rate_positions(params);
  if (llr.length != params.E) {
    throw ArgumentError("polar rate recovery: llr must hold E = " + std::to_string(params.E) +
                        " values per frame, not " + std::to_string(llr.length));
  }
  if (out.frames != llr.frames || out.length != params.N) {
    throw ArgumentError("polar_rate_recover: out must hold N values per frame");
  }
  const double fill =
      polar_selection(params) == PolarSelection::kShortening ? kPolarShortenedLlr : 0.0;
  std::vector<std::uint8_t> sent(params.N, 0);
  for (const std::uint32_t i : at) sent[i] = 1;
  for (std::size_t f = 0; f < llr.frames; ++f) {
    for (std::size_t i = 0; i < params.N; ++i) out(f, i) = sent[i] ? 0.0 : fill;
    for (std::size_t k = 0; k < params.E; ++k) out(f, at[k]) += llr(f, k);
  }
}

}  // namespace linkforge
