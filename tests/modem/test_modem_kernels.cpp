// Modulation and soft demodulation: Modulate, PlaneMetrics, ToneMetrics and
// RelayFrequencyMetrics kernels.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "golden.hpp"
#include "hwy_targets.hpp"
#include "linkforge/error.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {
namespace {

using cd = std::complex<double>;

// ---------------------------------------------------------------------------------
// Modulate

struct Modulated {
  std::vector<double> re, im;
};

Modulated run_modulate(const std::vector<int>& bits, const std::vector<double>& re,
                       const std::vector<double>& im, std::size_t count, std::size_t dim) {
  const std::size_t n = modulate_length(bits.size(), compute_bits_per_symbol(count));
  Modulated out{std::vector<double>(n * dim), std::vector<double>(n * dim)};
  modulate(bits, {re, im}, count, dim, out.re, out.im);
  return out;
}

TEST(Modulate, BitsPerSymbolCountsHalvings) {
  EXPECT_EQ(compute_bits_per_symbol(0), 0);
  EXPECT_EQ(compute_bits_per_symbol(1), 0);
  EXPECT_EQ(compute_bits_per_symbol(2), 1);
  EXPECT_EQ(compute_bits_per_symbol(3), 1);
  EXPECT_EQ(compute_bits_per_symbol(6), 2);
  EXPECT_EQ(compute_bits_per_symbol(64), 6);
  EXPECT_EQ(compute_bits_per_symbol(std::uint64_t{1} << 40), 40);
  EXPECT_EQ(modulate_length(5, 2), 3u);
  EXPECT_EQ(modulate_length(0, 3), 0u);
  EXPECT_THROW(modulate_length(4, 0), std::invalid_argument);
}

// Worked examples: labels 01 and 10 of a four-point set; padding of a short last group;
// two-dimensional points; a set of six points uses only the first four.
TEST(Modulate, WorkedExamples) {
  const std::vector<double> set = {10, 20, 30, 40};
  Modulated out = run_modulate({0, 1, 1, 0}, set, {1, 2, 3, 4}, 4, 1);
  EXPECT_EQ(out.re, (std::vector<double>{20, 30}));
  EXPECT_EQ(out.im, (std::vector<double>{2, 3}));
  out = run_modulate({1, 0, 1, 1, 1}, set, {}, 4, 1);
  EXPECT_EQ(out.re, (std::vector<double>{30, 40, 30}));
  EXPECT_EQ(out.im, (std::vector<double>(3, 0.0)));
  EXPECT_TRUE(run_modulate({}, set, {}, 4, 1).re.empty());
  // Four two-dimensional points, column l = (l, -l).
  out = run_modulate({1, 1, 0, 1}, {0, 0, 1, -1, 2, -2, 3, -3}, {}, 4, 2);
  EXPECT_EQ(out.re, (std::vector<double>{3, -3, 1, -1}));
  out = run_modulate({1, 1, 1, 0, 0, 1}, {0, 1, 2, 3, 4, 5}, {}, 6, 1);
  EXPECT_EQ(out.re, (std::vector<double>{3, 2, 1}));
}

// Every bit sequence of up to 9 bits, for 1 to 4 bits per symbol, names the points
// whose labels its groups spell.
TEST(Modulate, ExhaustiveLabelsReadMostSignificantBitFirst) {
  for (int m = 1; m <= 4; ++m) {
    const std::size_t M = std::size_t{1} << m;
    std::vector<double> re(M), im(M);
    for (std::size_t l = 0; l < M; ++l) {
      re[l] = static_cast<double>(l);
      im[l] = -static_cast<double>(l);
    }
    for (std::size_t K = 0; K <= 9; ++K) {
      for (std::size_t word = 0; word < (std::size_t{1} << K); ++word) {
        std::vector<int> bits(K);
        for (std::size_t k = 0; k < K; ++k) bits[k] = (word >> (K - 1 - k)) & 1;
        const Modulated out = run_modulate(bits, re, im, M, 1);
        ASSERT_EQ(out.re.size(), (K + m - 1) / m);
        for (std::size_t j = 0; j < out.re.size(); ++j) {
          std::size_t label = 0;
          for (std::size_t k = j * m; k < j * m + m; ++k) label = 2 * label + (k < K ? bits[k] : 0);
          EXPECT_EQ(out.re[j], static_cast<double>(label)) << "m " << m << " K " << K;
          EXPECT_EQ(out.im[j], -static_cast<double>(label));
        }
      }
    }
  }
}

TEST(Modulate, RefusesSmallSetsBadBitsAndWrongSizes) {
  std::vector<double> re(2), im(2);
  const std::vector<double> one = {1};
  EXPECT_THROW(modulate(std::vector<int>{1}, {one, {}}, 1, 1, re, im), std::invalid_argument);
  const std::vector<double> set = {1, -1};
  EXPECT_THROW(modulate(std::vector<int>{0, 2}, {set, {}}, 2, 1, re, im), std::invalid_argument);
  EXPECT_THROW(modulate(std::vector<int>{0, -1}, {set, {}}, 2, 1, re, im), std::invalid_argument);
  EXPECT_THROW(modulate(std::vector<int>{0, 1, 1}, {set, {}}, 2, 1, re, im), std::invalid_argument);
  EXPECT_THROW(modulate(std::vector<int>{0, 1}, {set, {}}, 3, 1, re, im), std::invalid_argument);
  EXPECT_THROW(modulate(std::vector<int>{0, 1}, {set, one}, 2, 1, re, im), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// PlaneMetrics

std::vector<double> run_plane(const std::vector<cd>& y, const std::vector<cd>& s, float es_no,
                              const std::vector<cd>& a = {}) {
  std::vector<double> y_re, y_im, s_re, s_im, a_re, a_im;
  for (const cd& v : y) y_re.push_back(v.real()), y_im.push_back(v.imag());
  for (const cd& v : s) s_re.push_back(v.real()), s_im.push_back(v.imag());
  for (const cd& v : a) a_re.push_back(v.real()), a_im.push_back(v.imag());
  std::vector<double> out(y.size() * s.size());
  plane_metrics({y_re, y_im}, {s_re, s_im}, es_no, {a_re, a_im}, out);
  return out;
}

TEST(PlaneMetrics, WorkedExamples) {
  const golden::Set g("plane_metrics");
  const std::vector<double> y = g.row("y"), s = g.row("points"), metrics = g.row("metrics");
  const auto es_no = static_cast<float>(g.scalar("es_no"));
  EXPECT_EQ(run_plane({y[0]}, {s[0], s[1]}, es_no), metrics);
  // Real samples and points need no imaginary arrays.
  std::vector<double> out(2);
  plane_metrics({y, {}}, {s, {}}, es_no, {}, out);
  EXPECT_EQ(out, metrics);
  // EsNo enters as a single-precision value.
  EXPECT_EQ(run_plane({0.0}, {1.0}, 0.1f)[0], -static_cast<double>(0.1f));
  EXPECT_NE(run_plane({0.0}, {1.0}, 0.1f)[0], -0.1);
  EXPECT_EQ(run_plane({0.3, cd(1, 2)}, {1.0, -1.0}, 0.0f), std::vector<double>(4, 0.0));
  EXPECT_TRUE(run_plane({}, {1.0, -1.0}, 1.0f).empty());
  EXPECT_EQ(run_plane({1.0}, {1.0}, -2.0f)[0], 0.0);
}

// Against the complex-arithmetic definition -EsNo*|y - a*s|^2, with and without fading;
// fading by j turns every point by a quarter turn.
TEST(PlaneMetrics, AgreesWithComplexArithmetic) {
  std::mt19937 rng(5);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<cd> y(20), s(8), a(20);
  for (cd& v : y) v = cd(g(rng), g(rng));
  for (cd& v : s) v = cd(g(rng), g(rng));
  for (cd& v : a) v = cd(g(rng), g(rng));
  const float es_no = 3.7f;
  const std::vector<double> faded = run_plane(y, s, es_no, a);
  const std::vector<double> plain = run_plane(y, s, es_no);
  EXPECT_EQ(run_plane(y, s, es_no, std::vector<cd>(20, 1.0)), plain);
  std::vector<cd> turned;
  for (const cd& p : s) turned.push_back(cd(0, 1) * p);
  EXPECT_EQ(run_plane(y, s, es_no, std::vector<cd>(20, cd(0, 1))), run_plane(y, turned, es_no));
  for (std::size_t i = 0; i < y.size(); ++i) {
    for (std::size_t k = 0; k < s.size(); ++k) {
      EXPECT_DOUBLE_EQ(faded[i * s.size() + k], -es_no * std::norm(y[i] - a[i] * s[k]));
      EXPECT_DOUBLE_EQ(plain[i * s.size() + k], -es_no * std::norm(y[i] - s[k]));
    }
  }
}

TEST(PlaneMetrics, RefusesMismatchedSizes) {
  const std::vector<double> y = {1, 2}, s = {1, -1}, one = {1};
  std::vector<double> out(4), short_out(3);
  EXPECT_THROW(plane_metrics({y, {}}, {s, {}}, 1.0f, {}, short_out), std::invalid_argument);
  EXPECT_THROW(plane_metrics({y, one}, {s, {}}, 1.0f, {}, out), std::invalid_argument);
  EXPECT_THROW(plane_metrics({y, {}}, {s, {}}, 1.0f, {one, {}}, out), std::invalid_argument);
}

// ---------------------------------------------------------------------------------
// ToneMetrics

double log_i0(double x) {
  if (x < 500) return std::log(std::cyl_bessel_i(0.0, x));
  // Asymptotic series, far more accurate than the approximations at these arguments.
  return x - 0.5 * std::log(2 * M_PI * x) + std::log1p(1 / (8 * x) + 9 / (128 * x * x));
}

TEST(ToneMetrics, LogI0ApproximationsFollowTheirTables) {
  EXPECT_FLOAT_EQ(tone_log_i0(0.0f), -0.0012f);
  EXPECT_FLOAT_EQ(tone_log_i0(1.0f), 0.2342f);
  EXPECT_FLOAT_EQ(tone_log_i0(100.0f), 96.4647f);
  EXPECT_FLOAT_EQ(tone_log_i0(-3.0f), static_cast<float>(0.226 * 9 - 0.0125 * 3 - 0.0012));
  EXPECT_TRUE(std::isnan(tone_log_i0(std::nanf(""))));
  EXPECT_EQ(tone_log_i0(std::numeric_limits<float>::infinity()),
            std::numeric_limits<float>::infinity());

  EXPECT_FLOAT_EQ(logbesseli0(0.0f), -0.0011272f);
  EXPECT_FLOAT_EQ(logbesseli0(1.0f), 0.2343f);
  EXPECT_FLOAT_EQ(logbesseli0(600.0f), static_cast<float>(0.99916 * 600 - 3.6114));
  EXPECT_FLOAT_EQ(logbesseli0(200.0f), static_cast<float>(0.99722 * 200 - 3.0039));
  EXPECT_FLOAT_EQ(logbesseli0(400.0f), static_cast<float>(0.99722 * 400 - 3.0039));
  EXPECT_FLOAT_EQ(logbesseli0(119.5f), static_cast<float>(0.9943 * 119.5 - 2.6446));
  EXPECT_FLOAT_EQ(logbesseli0(59.0f),
                  static_cast<float>(0.00013134 * 59 * 59 + 0.97674 * 59 - 2.0388));
  EXPECT_TRUE(std::isnan(logbesseli0(std::nanf(""))));
  EXPECT_EQ(logbesseli0(std::numeric_limits<float>::infinity()),
            std::numeric_limits<float>::infinity());

  // Relative to max(1, ln I0), within 1.4% (the tone line's slope 0.9867 sets the limit
  // for large x) and 1.1%.
  for (double x = 0; x < 5000; x += x < 30 ? 0.01 : 0.5) {
    const double exact = log_i0(x);
    const double scale = std::max(1.0, exact);
    EXPECT_NEAR(tone_log_i0(static_cast<float>(x)), exact, 0.014 * scale) << "x " << x;
    EXPECT_NEAR(logbesseli0(static_cast<float>(x)), exact, 0.011 * scale) << "x " << x;
  }
}

std::vector<float> run_tone(const std::vector<std::complex<float>>& y, std::size_t M, float es_no,
                            int csi_flag, const std::vector<std::complex<float>>& a = {}) {
  std::vector<float> y_re, y_im, a_re, a_im;
  for (const auto& v : y) y_re.push_back(v.real()), y_im.push_back(v.imag());
  for (const auto& v : a) a_re.push_back(v.real()), a_im.push_back(v.imag());
  std::vector<float> out(y.size());
  tone_metrics({y_re, y_im}, M, es_no, tone_csi_from_flag(csi_flag), {a_re, a_im}, out);
  return out;
}

// Single precision throughout, against double-precision arithmetic.
TEST(ToneMetrics, AgreesWithDoublePrecisionModels) {
  std::mt19937 rng(8);
  std::normal_distribution<float> g(0.0f, 1.0f);
  const std::size_t M = 8, N = 30;
  std::vector<std::complex<float>> y(M * N), a(N);
  for (auto& v : y) v = {g(rng), g(rng)};
  for (auto& v : a) v = {g(rng), g(rng)};
  const float es_no = 2.5f;
  const std::vector<float> full = run_tone(y, M, es_no, 0, a);
  const std::vector<float> amplitude = run_tone(y, M, es_no, 1, a);
  const std::vector<float> none = run_tone(y, M, es_no, 2, a);
  for (std::size_t i = 0; i < N; ++i) {
    const std::complex<double> ai = a[i];
    for (std::size_t k = 0; k < M; ++k) {
      const std::complex<double> yk = y[i * M + k];
      const std::size_t e = i * M + k;
      EXPECT_NEAR(full[e], 2 * es_no * std::real(std::conj(ai) * yk),
                  1e-5 * (1 + std::abs(full[e])));
      const double x = 2 * es_no * std::abs(ai) * std::abs(yk);
      EXPECT_NEAR(amplitude[e], tone_log_i0(static_cast<float>(x)), 1e-5 * (1 + x));
      EXPECT_NEAR(none[e], std::norm(yk) * es_no * es_no / (es_no + 1), 1e-5 * (1 + none[e]));
    }
  }
}

// The tones in lanes against one value at a time, on every target: tone counts below,
// at and beyond the lane count, with and without imaginary parts and fading, and
// arguments on every piece boundary, negative, huge, infinite and NaN.
TEST(ToneMetrics, LanesEqualTheScalarKernelOnEveryTarget) {
  std::mt19937 rng(17);
  std::normal_distribution<float> g(0.0f, 3.0f);
  const float specials[] = {0.0f, -0.0f, 1.0f, 2.0f, 5.0f, 20.0f, 0.99999994f, 19.999998f,
                            -7.0f, 3e38f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  for_each_target([&](const std::string& target, bool) {
    for (const std::size_t M : {1, 3, 16, 37}) {
      const std::size_t N = 29;
      std::vector<float> y_re(M * N), y_im(M * N), a_re(N), a_im(N), got(M * N), want(M * N);
      for (std::size_t i = 0; i < M * N; ++i) {
        y_re[i] = i % 7 == 0 ? specials[i % 12] : g(rng);
        y_im[i] = g(rng);
      }
      for (std::size_t i = 0; i < N; ++i) a_re[i] = g(rng), a_im[i] = g(rng);
      for (const int csi : {0, 1, 2}) {
        for (const int variant : {0, 1, 2}) {
          const ComplexSpan<float> y{y_re, variant == 1 ? std::span<const float>() : y_im};
          const ComplexSpan<float> a{variant == 2 ? std::span<const float>() : a_re,
                                     variant == 2 ? std::span<const float>() : a_im};
          tone_metrics(y, M, 1.7f, tone_csi_from_flag(csi), a, got);
          tone_metrics_scalar(y, M, 1.7f, tone_csi_from_flag(csi), a, want);
          ASSERT_EQ(0, std::memcmp(got.data(), want.data(), got.size() * sizeof(float)))
              << target << " M " << M << " csi " << csi << " variant " << variant;
        }
      }
    }
  });
}

TEST(ToneMetrics, RefusesMismatchedSizes) {
  const std::vector<float> y(6), a(2), short_a(1);
  std::vector<float> out(6), short_out(5);
  EXPECT_THROW(tone_metrics({y, {}}, 4, 1.0f, tone_csi_from_flag(0), {}, out),
               std::invalid_argument);
  EXPECT_THROW(tone_metrics({y, {}}, 3, 1.0f, tone_csi_from_flag(0), {short_a, {}}, out),
               std::invalid_argument);
  EXPECT_THROW(tone_metrics({y, {}}, 3, 1.0f, tone_csi_from_flag(0), {}, short_out),
               std::invalid_argument);
  EXPECT_THROW(tone_metrics({y, {}}, 0, 1.0f, tone_csi_from_flag(0), {}, out),
               std::invalid_argument);
  EXPECT_NO_THROW(tone_metrics({y, {}}, 3, 1.0f, tone_csi_from_flag(0), {a, {}}, out));
}

// ---------------------------------------------------------------------------------
// RelayFrequencyMetrics

struct Relay {
  std::size_t M;
  std::vector<float> y_re, y_im, a1_re, a1_im, a2_re, a2_im;
};

std::vector<double> run_relay(const Relay& r, const RelayToneParams& p) {
  const std::size_t N = r.a1_re.size();
  std::vector<double> out(r.M * r.M * N);
  relay_frequency_metrics({r.y_re, r.y_im}, r.M, {r.a1_re, r.a1_im}, {r.a2_re, r.a2_im}, p, out);
  return out;
}

// The pair metrics as the triangle of pairs defines them, four logbesseli0 evaluations
// per unordered pair, each formula term by term in single precision.
std::vector<double> relay_oracle(const Relay& r, const RelayToneParams& p) {
  const std::size_t M = r.M, N = r.a1_re.size();
  std::vector<double> out(M * M * N, 0.0);
  const float es = p.es_no, e1 = p.e1, e2 = p.e2;
  const float h = 1.0f / es;
  const auto s = static_cast<float>(
      std::log((1.0 / (static_cast<double>(e1) * e2)) * (1.0 / e1 + es) * (1.0 / e2 + es)));
  const double rr = 1.0 / (static_cast<double>(e1) + e2);
  const auto z = static_cast<float>(std::log(rr) - std::log(rr + es));
  for (std::size_t i = 0; i < N; ++i) {
    std::vector<float> Y(M);
    for (std::size_t k = 0; k < M; ++k) {
      const float re = r.y_re[i * M + k], im = r.y_im.empty() ? 0.0f : r.y_im[i * M + k];
      Y[k] = re * re + im * im;
    }
    const float b1r = r.a1_re[i], b1i = r.a1_im.empty() ? 0.0f : r.a1_im[i];
    const float b2r = r.a2_re[i], b2i = r.a2_im.empty() ? 0.0f : r.a2_im[i];
    const float e = b1r * b1r + b1i * b1i;
    const float c = b2r * b2r + b2i * b2i;
    const float sr = b1r + b2r, si = b1i + b2i;
    const float f = p.shared_tone == SharedTone::kAddCoefficients ? sr * sr + si * si : e + c;
    double* o = out.data() + i * M * M;
    for (std::size_t P = 0; P < M; ++P) {
      for (std::size_t q = 0; q <= P; ++q) {
        if (p.csi == RelayCsi::kCoefficients) {
          if (P == q) {
            o[P * M + P] = -es * f + logbesseli0(2 * es * std::sqrt(f * Y[P]));
          } else {
            const float g = -es * (e + c);
            o[P * M + q] = g + logbesseli0(2 * es * std::sqrt(e * Y[P])) +
                           logbesseli0(2 * es * std::sqrt(c * Y[q]));
            o[q * M + P] = g + logbesseli0(2 * es * std::sqrt(e * Y[q])) +
                           logbesseli0(2 * es * std::sqrt(c * Y[P]));
          }
        } else if (p.csi == RelayCsi::kEnergies) {
          if (P == q) {
            o[P * M + P] = (e1 + e2) * Y[P] / (h * h + h * (e1 + e2)) + z;
          } else {
            o[P * M + q] = -s + e1 * Y[P] / (h * (e1 + h)) + e2 * Y[q] / (h * (e2 + h));
            o[q * M + P] = -s + e1 * Y[q] / (h * (e1 + h)) + e2 * Y[P] / (h * (e2 + h));
          }
        }
      }
    }
  }
  return out;
}

Relay random_relay(std::size_t M, std::size_t N, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> g(0.0f, 1.0f);
  Relay r{M, {}, {}, {}, {}, {}, {}};
  for (std::size_t k = 0; k < M * N; ++k) r.y_re.push_back(g(rng)), r.y_im.push_back(g(rng));
  for (std::size_t i = 0; i < N; ++i) {
    r.a1_re.push_back(g(rng)), r.a1_im.push_back(g(rng));
    r.a2_re.push_back(g(rng)), r.a2_im.push_back(g(rng));
  }
  return r;
}

// The per-tone terms are formed once per symbol instead of once per pair; the values
// are the same bit for bit.
TEST(RelayFrequencyMetrics, MatchesThePairByPairDefinition) {
  for (const std::size_t M : {1u, 2u, 4u, 8u}) {
    const Relay r = random_relay(M, 7, static_cast<unsigned>(M));
    for (const RelayCsi csi : {RelayCsi::kCoefficients, RelayCsi::kEnergies}) {
      for (const SharedTone sw : {SharedTone::kAddCoefficients, SharedTone::kAddEnergies}) {
        RelayToneParams p{3.2f, csi, 0.7f, 1.9f, sw};
        EXPECT_EQ(run_relay(r, p), relay_oracle(r, p))
            << "M " << M << " csi " << static_cast<int>(csi);
      }
    }
  }
}

TEST(RelayFrequencyMetrics, RefusesFullChannelKnowledgeAndWrongSizes) {
  const Relay r = random_relay(2, 3, 1);
  EXPECT_THROW(run_relay(r, {1, RelayCsi::kFull, 1, 1, SharedTone::kAddCoefficients}),
               std::invalid_argument);
  EXPECT_THROW(run_relay(r, {1, RelayCsi::kEnergies, 1, NAN, SharedTone::kAddEnergies}),
               ArgumentError);
  const Relay empty{2, {}, {}, {}, {}, {}, {}};
  EXPECT_TRUE(run_relay(empty, {1, RelayCsi::kFull, 1, 1, SharedTone::kAddCoefficients}).empty());
  std::vector<double> out(12);
  const std::vector<float> short_a(2);
  EXPECT_THROW(relay_frequency_metrics(
                   {r.y_re, r.y_im}, 2, {r.a1_re, r.a1_im}, {short_a, {}},
                   {1, RelayCsi::kCoefficients, 1, 1, SharedTone::kAddCoefficients}, out),
               std::invalid_argument);
  std::vector<double> short_out(11);
  EXPECT_THROW(relay_frequency_metrics(
                   {r.y_re, r.y_im}, 2, {r.a1_re, r.a1_im}, {r.a2_re, r.a2_im},
                   {1, RelayCsi::kCoefficients, 1, 1, SharedTone::kAddCoefficients}, short_out),
               std::invalid_argument);
}

TEST(Interrupt, StopsTheDemodulators) {
  const Interrupt stop([](void*) noexcept { return true; });
  const std::size_t M = 16, N = 100000;
  const std::vector<double> y(N), points(M);
  std::vector<double> out(M * N);
  EXPECT_THROW(plane_metrics({y, {}}, {points, {}}, 1.0f, {}, out, stop), Interrupted);
  const std::vector<float> tones(M * N), fade(N);
  std::vector<float> metrics(M * N);
  EXPECT_THROW(tone_metrics({tones, {}}, M, 1.0f, tone_csi_from_flag(1), {}, metrics, stop),
               Interrupted);
  RelayToneParams params;
  params.es_no = 1.0f;
  std::vector<double> pairs(M * M * N);
  EXPECT_THROW(relay_frequency_metrics({tones, {}}, M, {fade, {}}, {fade, {}}, params, pairs, stop),
               Interrupted);
}

}  // namespace
}  // namespace linkforge
