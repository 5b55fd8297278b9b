#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/modem.hpp"
#include "modem/tone_lanes.hpp"

namespace linkforge {

namespace {

float magnitude_squared(float re, float im) {
  return re * re + im * im;
}

}  // namespace

float tone_log_i0(float x) {
  // Quadratic fits of ln I0 on [0, 1), [1, 2), [2, 5), [5, 20) and a line beyond.
  struct Piece {
    double a, b, c;
  };
  // clang-format off
  static constexpr Piece kPieces[5] = {
      {0.226,  0.0125, 0.0012},
      {0.1245, 0.2177, 0.108},
      {0.0288, 0.6314, 0.5645},
      {0.002,  0.9048, 1.2997},
      {0.0,    0.9867, 2.2053},
  };
  // clang-format on
  // The row is the number of bounds x is not below: NaN passes all and takes the line,
  // a negative x none. Counting instead of branching keeps the loop over tones free of
  // mispredicted jumps.
  const int row = !(x < 1.0f) + !(x < 2.0f) + !(x < 5.0f) + !(x < 20.0f);
  const Piece& p = kPieces[row];
  const double v = x;
  // The line has no x*x term (0 * x * x would turn an infinite x into NaN); for finite x
  // adding the 0 changes nothing.
  const double square = p.a != 0.0 ? p.a * v * v : 0.0;
  return static_cast<float>(square + p.b * v - p.c);
}

namespace {

// Symbols whose amplitude metrics go to the lanes in one call: a poll's worth of work.
constexpr std::size_t kLaneChunk = 256;

void compute_tone_metrics(ComplexSpan<float> y, std::size_t M, float es_no, ToneCsi csi,
                          ComplexSpan<float> fade, std::span<float> out, const Interrupt& interrupt,
                          bool lanes) {
  const bool faded = !fade.re.empty();
  if (M == 0) {
    // No tones: any number of symbols gives an empty matrix.
    if (!y.re.empty() || !y.im.empty() || !out.empty()) {
      throw ArgumentError("tone_metrics: tone outputs without tones");
    }
    return;
  }
  const std::size_t N = y.re.size() / M;
  if (!y.well_formed() || !fade.well_formed() || y.re.size() % M != 0 ||
      (faded && fade.re.size() != N) || out.size() != y.re.size()) {
    throw ArgumentError("tone_metrics: sizes of tone outputs, fading and output disagree");
  }
  const float two_es_no = 2.0f * es_no;
  const float energy_weight = es_no * es_no / (es_no + 1.0f);
  InterruptPacer pacer(interrupt);
  if (lanes && csi == ToneCsi::kAmplitude) {
    float scale[kLaneChunk];
    for (std::size_t first = 0; first < N; first += kLaneChunk) {
      const std::size_t count = std::min(kLaneChunk, N - first);
      pacer.add(count * (M + 1));
      for (std::size_t i = 0; i < count; ++i) {
        const float a_re = faded ? fade.re[first + i] : 1.0f;
        const float a_im = faded ? fade.imag(first + i) : 0.0f;
        scale[i] = two_es_no * std::sqrt(magnitude_squared(a_re, a_im));
      }
      tone_detail::amplitude_metrics(y.re.data() + first * M,
                                     y.im.empty() ? nullptr : y.im.data() + first * M, M, count,
                                     scale, out.data() + first * M);
    }
    return;
  }
  for (std::size_t i = 0; i < N; ++i) {
    pacer.add(M + 1);
    const float a_re = faded ? fade.re[i] : 1.0f;
    const float a_im = faded ? fade.imag(i) : 0.0f;
    const float* y_re = y.re.data() + i * M;
    const float* y_im = y.im.empty() ? nullptr : y.im.data() + i * M;
    float* column = out.data() + i * M;
    switch (csi) {
      case ToneCsi::kFull:
        for (std::size_t k = 0; k < M; ++k) {
          const float im = y_im != nullptr ? y_im[k] : 0.0f;
          column[k] = two_es_no * (a_re * y_re[k] + a_im * im);
        }
        break;
      case ToneCsi::kAmplitude: {
        const float scale = two_es_no * std::sqrt(magnitude_squared(a_re, a_im));
        for (std::size_t k = 0; k < M; ++k) {
          const float im = y_im != nullptr ? y_im[k] : 0.0f;
          column[k] = tone_log_i0(scale * std::sqrt(magnitude_squared(y_re[k], im)));
        }
        break;
      }
      case ToneCsi::kNone:
        for (std::size_t k = 0; k < M; ++k) {
          const float im = y_im != nullptr ? y_im[k] : 0.0f;
          column[k] = magnitude_squared(y_re[k], im) * energy_weight;
        }
        break;
      case ToneCsi::kOther:
      default:
        for (std::size_t k = 0; k < M; ++k) column[k] = 0.0f;
        break;
    }
  }
}

}  // namespace

void tone_metrics(ComplexSpan<float> y, std::size_t M, float es_no, ToneCsi csi,
                  ComplexSpan<float> fade, std::span<float> out, const Interrupt& interrupt) {
  compute_tone_metrics(y, M, es_no, csi, fade, out, interrupt, true);
}

void tone_metrics_scalar(ComplexSpan<float> y, std::size_t M, float es_no, ToneCsi csi,
                         ComplexSpan<float> fade, std::span<float> out) {
  compute_tone_metrics(y, M, es_no, csi, fade, out, Interrupt{}, false);
}

}  // namespace linkforge
