#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {

namespace {

float magnitude_squared(float re, float im) {
  return re * re + im * im;
}

}  // namespace

float logbesseli0(float x) {
  // Quadratic fits of ln I0 below 60 and lines above.
  struct Piece {
    double a, b, c;
  };
  // clang-format off
  static constexpr float kBounds[8] = {1, 2, 5, 15, 30, 60, 120, 500};
  static constexpr Piece kPieces[9] = {
      {0.22594,    0.012495, 0.0011272},
      {0.12454,    0.21758,  0.10782},
      {0.028787,   0.63126,  0.56413},
      {0.003012,   0.88523,  1.2115},
      {0.00053203, 0.95304,  1.6829},
      {0.00013134, 0.97674,  2.0388},
      {0.0,        0.9943,   2.6446},
      {0.0,        0.99722,  3.0039},
      {0.0,        0.99916,  3.6114},
  };
  // clang-format on
  // The row is the number of bounds x is not below: NaN passes all and takes the last
  // line, a negative x none.
  int row = 0;
  for (const float bound : kBounds) row += !(x < bound);
  const Piece& p = kPieces[row];
  const double v = x;
  // The lines have no x*x term (0 * x * x would turn an infinite x into NaN); for finite
  // x adding the 0 changes nothing.
  const double square = p.a != 0.0 ? p.a * v * v : 0.0;
  return static_cast<float>(square + p.b * v - p.c);
}

// Per symbol, with Y(k) = |y(k)|^2 and the pair (p, q) at p*M + q:
//
// csi_flag 1, coefficients A1 and A2, e = |A1|^2, c = |A2|^2, f = |A1 + A2|^2 (or e + c):
//   p != q:  -es_no*(e + c) + L(2*es_no*sqrt(e*Y(p))) + L(2*es_no*sqrt(c*Y(q)))
//   p == q:  -es_no*f + L(2*es_no*sqrt(f*Y(p)))
// csi_flag 2, H = 1/es_no:
//   p != q:  -S + E1*Y(p)/(H*(E1 + H)) + E2*Y(q)/(H*(E2 + H))
//   p == q:  (E1 + E2)*Y(p)/(H*H + H*(E1 + E2)) + Z
// with L = logbesseli0. The terms of user one on tone p and user two on tone q are
// formed once per tone (`user1`, `user2`) and summed in the order above, which gives
// the same single-precision values as forming them per pair.
void check_relay_tone_params(const RelayToneParams& params, std::size_t N) {
  if (N > 0 && params.csi == RelayCsi::kFull) {
    throw ArgumentError(Refusal{.fault = Fault::kNoModel, .argument = "csi"});
  }
  if (params.csi != RelayCsi::kEnergies) return;
  for (const auto& [name, e] : {std::pair{"e1", params.e1}, std::pair{"e2", params.e2}}) {
    if (!(e > 0.0f && std::isfinite(e))) {
      throw ArgumentError(Refusal{.fault = Fault::kNotPositive, .argument = name, .real = e});
    }
  }
}

void relay_frequency_metrics(ComplexSpan<float> y, std::size_t M, ComplexSpan<float> a1,
                             ComplexSpan<float> a2, const RelayToneParams& params,
                             std::span<double> out, const Interrupt& interrupt) {
  const std::size_t N = M == 0 ? a1.re.size() : y.re.size() / M;
  const std::uint64_t pairs = mul_sat(M, M);
  if (!y.well_formed() || !a1.well_formed() || !a2.well_formed() ||
      (M == 0 ? !y.re.empty() : y.re.size() % M != 0) || a1.re.size() != N || a2.re.size() != N ||
      out.size() != mul_sat(pairs, N)) {
    throw ArgumentError(
        "relay_frequency_metrics: sizes of tone outputs, coefficients and output disagree");
  }
  check_relay_tone_params(params, N);
  const float es_no = params.es_no;
  const float two_es_no = 2.0f * es_no;
  const float e1 = params.e1;
  const float e2 = params.e2;
  const float h = 1.0f / es_no;
  const double de1 = e1;
  const double de2 = e2;
  const auto s =
      static_cast<float>(std::log((1.0 / (de1 * de2)) * (1.0 / de1 + es_no) * (1.0 / de2 + es_no)));
  const double r = 1.0 / (de1 + de2);
  const auto z = static_cast<float>(std::log(r) - std::log(r + es_no));
  const float den1 = h * (e1 + h);
  const float den2 = h * (e2 + h);
  const float den_same = h * h + h * (e1 + e2);

  std::vector<float> energy(M), user1(M), user2(M);
  InterruptPacer pacer(interrupt);
  for (std::size_t i = 0; i < N; ++i) {
    pacer.add(pairs + 1);
    double* block = out.data() + i * pairs;
    if (params.csi != RelayCsi::kCoefficients && params.csi != RelayCsi::kEnergies) {
      for (std::size_t j = 0; j < pairs; ++j) block[j] = 0.0;
      continue;
    }
    for (std::size_t k = 0; k < M; ++k) {
      energy[k] = magnitude_squared(y.re[i * M + k], y.imag(i * M + k));
    }
    if (params.csi == RelayCsi::kCoefficients) {
      const float a1_re = a1.re[i], a1_im = a1.imag(i);
      const float a2_re = a2.re[i], a2_im = a2.imag(i);
      const float e = magnitude_squared(a1_re, a1_im);
      const float c = magnitude_squared(a2_re, a2_im);
      const float f = params.shared_tone == SharedTone::kAddCoefficients
                          ? magnitude_squared(a1_re + a2_re, a1_im + a2_im)
                          : e + c;
      const float g = -es_no * (e + c);
      for (std::size_t k = 0; k < M; ++k) {
        user1[k] = logbesseli0(two_es_no * std::sqrt(e * energy[k]));
        user2[k] = logbesseli0(two_es_no * std::sqrt(c * energy[k]));
      }
      for (std::size_t p = 0; p < M; ++p) {
        for (std::size_t q = 0; q < M; ++q) {
          block[p * M + q] = p == q ? -es_no * f + logbesseli0(two_es_no * std::sqrt(f * energy[p]))
                                    : g + user1[p] + user2[q];
        }
      }
    } else {
      for (std::size_t k = 0; k < M; ++k) {
        user1[k] = e1 * energy[k] / den1;
        user2[k] = e2 * energy[k] / den2;
      }
      for (std::size_t p = 0; p < M; ++p) {
        for (std::size_t q = 0; q < M; ++q) {
          block[p * M + q] =
              p == q ? (e1 + e2) * energy[p] / den_same + z : -s + user1[p] + user2[q];
        }
      }
    }
  }
}

}  // namespace linkforge
