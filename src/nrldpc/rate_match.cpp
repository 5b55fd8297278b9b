// Rate matching of the NR LDPC codes: bit selection from the circular buffer and bit
// interleaving (3GPP TS 38.212 5.4.2), and its soft inverse.
#include <string>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace linkforge::nr_ldpc {

namespace {

std::size_t buffer_bits(const Code& code) {
  return static_cast<std::size_t>(code.cols - 2) * static_cast<std::size_t>(code.z);
}

std::size_t filler_start(const Code& code, const RateMatchParams& p) {
  return p.filler_start < 0 ? code.data_length() : static_cast<std::size_t>(p.filler_start);
}

// The buffer positions d_k of the E bits in the order selected (before interleaving).
std::vector<std::size_t> selection(const Code& code, const RateMatchParams& p) {
  const std::size_t ncb = circular_buffer_length(code, p);
  const std::size_t two_z = 2 * static_cast<std::size_t>(code.z);
  const std::size_t k_filler = filler_start(code, p);
  const std::size_t k_data = code.data_length();
  const auto is_filler = [&](std::size_t d) {
    return d + two_z >= k_filler && d + two_z < k_data;
  };
  std::vector<std::size_t> out;
  out.reserve(static_cast<std::size_t>(p.e));
  std::size_t at = rate_match_start(code, ncb, p.rv);
  while (out.size() < static_cast<std::size_t>(p.e)) {
    if (!is_filler(at)) out.push_back(at);
    if (++at == ncb) at = 0;
  }
  return out;
}

}  // namespace

std::size_t circular_buffer_length(const Code& code, const RateMatchParams& params) {
  const std::size_t n = buffer_bits(code);
  if (params.limited_buffer > 0 && static_cast<unsigned long long>(params.limited_buffer) < n) {
    return static_cast<std::size_t>(params.limited_buffer);
  }
  return n;
}

std::size_t rate_match_start(const Code& code, std::size_t ncb, int rv) {
  // Table 5.4.2.1-2: k0 = floor(a Ncb / (N Z)) Z, a per version and base graph.
  static constexpr std::size_t kBg1[4] = {0, 17, 33, 56};
  static constexpr std::size_t kBg2[4] = {0, 13, 25, 43};
  if (rv < 0 || rv > 3) throw ArgumentError("rv must be 0 to 3");
  const auto z = static_cast<std::size_t>(code.z);
  const std::size_t a = code.bg == 1 ? kBg1[rv] : kBg2[rv];
  const std::size_t columns = static_cast<std::size_t>(code.cols - 2);
  return (a * ncb) / (columns * z) * z;
}

void check_rate_match(const Code& code, const RateMatchParams& p) {
  if (p.rv < 0 || p.rv > 3) throw ArgumentError("rv must be 0 to 3");
  if (p.modulation_order < 1 || p.modulation_order > 8) {
    throw ArgumentError("the modulation order Qm must be 1 to 8");
  }
  if (p.e < 0 || p.e > (1LL << 31)) throw ArgumentError("E must be 0 to 2^31");
  if (p.e % p.modulation_order != 0) {
    throw ArgumentError("E = " + std::to_string(p.e) + " is not a multiple of Qm = " +
                        std::to_string(p.modulation_order));
  }
  const auto k = static_cast<long long>(code.data_length());
  if (p.filler_start != -1 && (p.filler_start < 0 || p.filler_start > k)) {
    throw ArgumentError("the first filler bit K' must be 0 to K = " + std::to_string(k) +
                        " (or -1: no filler bits)");
  }
  if (p.limited_buffer < 0) throw ArgumentError("Nref must be 0 (no limit) or positive");
  // A buffer of filler bits only would never give a bit.
  const std::size_t ncb = circular_buffer_length(code, p);
  const std::size_t two_z = 2 * static_cast<std::size_t>(code.z);
  const std::size_t k_filler = filler_start(code, p);
  std::size_t sendable = 0;
  for (std::size_t d = 0; d < ncb && sendable == 0; ++d) {
    sendable += d + two_z < k_filler || d + two_z >= code.data_length();
  }
  if (p.e > 0 && sendable == 0) throw ArgumentError("the circular buffer holds only filler bits");
}

void rate_match(const Code& code, const RateMatchParams& params,
                FrameView<const double> codeword, FrameView<double> out) {
  check_rate_match(code, params);
  const auto E = static_cast<std::size_t>(params.e);
  if (codeword.length != code.code_length()) {
    throw ArgumentError("codeword must hold " + std::to_string(code.code_length()) +
                        " bits per frame, not " + std::to_string(codeword.length));
  }
  if (out.frames != codeword.frames || out.length != E) {
    throw ArgumentError("rate_match: out must hold E values per frame");
  }
  if (codeword.frames == 0 || E == 0) return;
  const std::vector<std::size_t> at = selection(code, params);
  const auto qm = static_cast<std::size_t>(params.modulation_order);
  const std::size_t rows = E / qm;
  const std::size_t two_z = 2 * static_cast<std::size_t>(code.z);
  for (std::size_t f = 0; f < codeword.frames; ++f) {
    for (std::size_t j = 0; j < rows; ++j) {
      for (std::size_t i = 0; i < qm; ++i) out(f, i + j * qm) = codeword(f, at[i * rows + j] + two_z);
    }
  }
}

void rate_recover(const Code& code, const RateMatchParams& params, FrameView<const double> llr,
                  FrameView<double> out) {
  check_rate_match(code, params);
  const auto E = static_cast<std::size_t>(params.e);
  const std::size_t n = code.code_length();
  if (llr.length != E) {
    throw ArgumentError("llr must hold E = " + std::to_string(E) + " values per frame, not " +
                        std::to_string(llr.length));
  }
  if (out.frames != llr.frames || out.length != n) {
    throw ArgumentError("rate_recover: out must hold code_length() values per frame");
  }
  if (llr.frames == 0) return;
  const std::vector<std::size_t> at = selection(code, params);
  const auto qm = static_cast<std::size_t>(params.modulation_order);
  const std::size_t rows = E / qm;
  const std::size_t two_z = 2 * static_cast<std::size_t>(code.z);
  const std::size_t k_filler = filler_start(code, params);
  for (std::size_t f = 0; f < llr.frames; ++f) {
    for (std::size_t v = 0; v < n; ++v) out(f, v) = 0.0;
    for (std::size_t v = k_filler; v < code.data_length(); ++v) out(f, v) = -kAppLimit;
    // e_{i rows + j} = f_{i + j Qm}, in the order selected.
    for (std::size_t i = 0; i < qm; ++i) {
      for (std::size_t j = 0; j < rows; ++j) out(f, at[i * rows + j] + two_z) += llr(f, i + j * qm);
    }
  }
}

}  // namespace linkforge::nr_ldpc
