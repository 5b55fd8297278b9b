// Modulation and soft demapping: modulate, plane_metrics, tone_metrics,
// relay_frequency_metrics, symbol_bit_metrics, relay_label_metrics, soft_demap.
//
// Matrices of symbol metrics are laid out symbol by symbol: (..., N, M), row j holding
// the M metrics of symbol j (the transpose of the modules' M x N, the same memory order).
// Symbols are independent, so the frames of these functions are simply more symbols.
#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <optional>

#include "binding.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"
#include "linkforge/soft_demap.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

// Every value of a real or complex argument, in row-major order, at precision T.
template <class T>
struct Flat {
  std::vector<T> re, im;  // im empty for a real argument
  ComplexSpan<T> span() const { return {re, im}; }
};

template <class T>
Flat<T> flat(const Frames& f, const char* name) {
  const std::uint64_t count = mul_sat(f.frames(), f.length());
  const std::string copy = std::string("the copy of ") + name;
  require_memory(mul_sat(count, f.complex ? 2 * sizeof(T) : sizeof(T)), copy.c_str());
  Flat<T> out;
  out.re.reserve(count);
  if (f.complex) out.im.reserve(count);
  for (std::size_t r = 0; r < f.frames(); ++r) {
    for (std::size_t k = 0; k < f.length(); ++k) {
      out.re.push_back(static_cast<T>(f.re(r, k)));
      if (f.complex) out.im.push_back(static_cast<T>(f.im(r, k)));
    }
  }
  return out;
}

float read_es_no(double es_no_value) {
  const auto es_no = static_cast<float>(es_no_value);
  if (!(es_no > 0.0f) || !std::isfinite(es_no)) {
    fail("EsNo must be a positive number (a linear ratio, not dB)");
  }
  return es_no;
}

// A set of M points given as a 1-D array (M,).
Flat<double> read_point_vector(py::handle value, const char* name) {
  const Frames f = frames(value, name, Kind::kComplex);
  if (!f.single()) fail(std::string(name) + " must be a 1-D array of signal points");
  return flat<double>(f, name);
}

// An optional argument of the same shape as `like`: None gives nothing.
std::optional<Frames> optional_like(py::handle value, const char* name, const Frames& like,
                                    std::size_t length, Kind kind) {
  if (value.is_none()) return std::nullopt;
  Frames f = frames(value, name, kind);
  if (f.lead != like.lead || f.length() != length) {
    fail(std::string(name) + " must have the shape of the frames it belongs to: leading axes as "
         "input and " + std::to_string(length) + " values per frame, or be None");
  }
  return f;
}

std::size_t power_of_two_bits(std::size_t M) {
  if (M == 0 || (M & (M - 1)) != 0) fail("the number of symbols M must be a power of 2");
  return static_cast<std::size_t>(compute_bits_per_symbol(M));
}

py::array modulate_fn(py::handle input, py::handle S_matrix) {
  const Frames bits_in = frames(input, "input");
  const Frames set = frames(S_matrix, "S_matrix", Kind::kComplex);
  if (set.lead.size() > 1) fail("S_matrix must be (M,) points or (M, D) points of D dimensions");
  const std::size_t M = set.single() ? set.length() : set.frames();
  const std::size_t D = set.single() ? 1 : set.length();
  if (M < 2) fail("S_matrix must hold at least 2 signal points");
  const Flat<double> points = flat<double>(set, "S_matrix");
  const std::size_t K = bits_in.length();
  const std::size_t n = modulate_length(K, compute_bits_per_symbol(M));
  const std::size_t F = bits_in.frames();
  MemoryEstimate()
      .values<int>(K)
      .values<double>(mul_sat(mul_sat(n, D), 2))
      .values<std::complex<double>>(mul_sat(mul_sat(F, n), D))
      .require("the modulator");
  std::vector<py::ssize_t> shape = shape_of(bits_in.lead, {n});
  if (!set.single()) shape.push_back(static_cast<py::ssize_t>(D));
  py::array_t<std::complex<double>> out(shape);
  std::complex<double>* o = out.mutable_data();
  without_gil([&] {
    std::vector<int> bits(K);
    std::vector<double> re(n * D), im(n * D);
    for (std::size_t f = 0; f < F; ++f) {
      for (std::size_t k = 0; k < K; ++k) {
        const double v = bits_in.re(f, k);
        if (!(v > -1.0 && v < 2.0)) fail("input must hold bits of 0 or 1");
        bits[k] = static_cast<int>(v);
      }
      modulate(bits, points.span(), M, D, re, im);
      for (std::size_t i = 0; i < n * D; ++i) o[f * n * D + i] = {re[i], im[i]};
    }
  });
  return out;
}

py::array_t<double> plane_metrics_fn(py::handle input, py::handle S_matrix, double EsNo,
                                     py::handle fade_coef) {
  const Frames y_in = frames(input, "input", Kind::kComplex);
  const Flat<double> points = read_point_vector(S_matrix, "S_matrix");
  const std::optional<Frames> fade_in =
      optional_like(fade_coef, "fade_coef", y_in, y_in.length(), Kind::kComplex);
  const std::size_t M = points.re.size();
  const std::uint64_t samples = mul_sat(y_in.frames(), y_in.length());
  MemoryEstimate().values<double>(mul_sat(samples, M)).require("the demodulator");
  const Flat<double> y = flat<double>(y_in, "input");
  const Flat<double> fade = fade_in ? flat<double>(*fade_in, "fade_coef") : Flat<double>{};
  py::array_t<double> out(shape_of(y_in.lead, {y_in.length(), M}));
  const std::span<double> o(out.mutable_data(), static_cast<std::size_t>(out.size()));
  without_gil([&] {
    plane_metrics(y.span(), points.span(), static_cast<float>(EsNo), fade.span(), o,
                  python_interrupt());
  });
  return out;
}

py::array_t<double> tone_metrics_fn(py::handle input, double EsNo, long long csi_flag,
                                    py::handle fade_coef) {
  const Frames tones = frames(input, "input", Kind::kComplex);
  if (tones.single()) fail("input must be (..., N, M): the M tone outputs of each of N symbols");
  const float es_no = read_es_no(EsNo);
  const std::size_t M = tones.length();
  const std::size_t N = tones.frames();
  std::vector<py::ssize_t> symbols(tones.lead.begin(), tones.lead.end() - 1);
  std::optional<Frames> fade_in;
  if (!fade_coef.is_none()) {
    fade_in = frames(fade_coef, "fade_coef", Kind::kComplex);
    if (shape_of(fade_in->lead, {fade_in->length()}) != tones.lead) {
      fail("fade_coef must hold one coefficient per symbol: the shape of input without its last axis");
    }
  }
  MemoryEstimate()
      .values<float>(mul_sat(mul_sat(M, N), 3))
      .values<float>(mul_sat(N, 2))
      .values<double>(mul_sat(M, N))
      .require("the demodulator");
  const Flat<float> y = flat<float>(tones, "input");
  const Flat<float> fade = fade_in ? flat<float>(*fade_in, "fade_coef") : Flat<float>{};
  py::array_t<double> out(shape_of(tones.lead, {M}));
  double* o = out.mutable_data();
  without_gil([&] {
    std::vector<float> metrics(M * N);
    tone_metrics(y.span(), M, es_no, tone_csi_from_flag(csi_flag), fade.span(), metrics,
                 python_interrupt());
    std::copy(metrics.begin(), metrics.end(), o);
  });
  return out;
}

py::array_t<double> relay_frequency_metrics_fn(py::handle input, double EsNo, long long csi_flag,
                                               py::handle a1_arg, py::handle a2_arg, double sqE1,
                                               double sqE2, long long csi1switch) {
  const Frames tones = frames(input, "input", Kind::kComplex);
  if (tones.single()) fail("input must be (N, M): the M tone outputs of each of N symbols");
  if (tones.lead.size() > 1) fail("input must be (N, M): one frame of N symbols");
  const std::size_t M = tones.length();
  const std::size_t N = tones.frames();
  RelayToneParams params;
  params.es_no = read_es_no(EsNo);
  params.csi = relay_csi_from_flag(csi_flag);
  const Vector a1 = vector(a1_arg, "a1", Kind::kComplex);
  const Vector a2 = vector(a2_arg, "a2", Kind::kComplex);
  if (a1.re.size() != N || a2.re.size() != N) fail("a1 and a2 must hold one coefficient per symbol");
  params.e1 = static_cast<float>(sqE1);
  params.e2 = static_cast<float>(sqE2);
  params.shared_tone = csi1switch == 0 ? SharedTone::kAddCoefficients : SharedTone::kAddEnergies;
  check_relay_tone_params(params, N);
  const std::uint64_t count = mul_sat(mul_sat(M, M), N);
  MemoryEstimate()
      .values<float>(mul_sat(mul_sat(M, N), 2))
      .values<float>(mul_sat(N, 4))
      .values<float>(mul_sat(M, 3))
      .values<double>(count)
      .require("the relay demodulator");
  const Flat<float> y = flat<float>(tones, "input");
  const std::vector<float> c1re(a1.re.begin(), a1.re.end()), c1im(a1.im.begin(), a1.im.end());
  const std::vector<float> c2re(a2.re.begin(), a2.re.end()), c2im(a2.im.begin(), a2.im.end());
  py::array_t<double> out(static_cast<py::ssize_t>(count));
  const std::span<double> o(out.mutable_data(), count);
  without_gil([&] {
    relay_frequency_metrics(y.span(), M, {c1re, c1im}, {c2re, c2im}, params, o, python_interrupt());
  });
  return out;
}

// The a-priori values of frame f (all frames when `prior` is absent: none).
std::vector<float> prior_of(const std::optional<Frames>& prior, std::size_t f) {
  if (!prior) return {};
  std::vector<double> buffer;
  const std::span<const double> v = frame_values(prior->re, f, buffer);
  return std::vector<float>(v.begin(), v.end());
}

py::array_t<double> symbol_bit_metrics_fn(py::handle input, long long demod_type,
                                          py::handle extrinsic_info) {
  const Frames metrics = frames(input, "input");
  if (metrics.single()) fail("input must be (..., N, M): the M label metrics of each of N symbols");
  const std::size_t M = metrics.length();
  const int type = read_max_star(demod_type, "demod_type");
  const std::size_t m = power_of_two_bits(M);
  // Frames: every axis before the last two; a frame holds N symbols.
  const std::vector<py::ssize_t> lead(metrics.lead.begin(), metrics.lead.end() - 1);
  const auto N = static_cast<std::size_t>(metrics.lead.back());
  const std::size_t F = product(lead);
  std::optional<Frames> prior;
  if (!extrinsic_info.is_none()) {
    prior = frames(extrinsic_info, "extrinsic_info");
    if (prior->lead != lead || prior->length() != N * m) {
      fail("extrinsic_info must be (..., N*m): m = log2(M) values per symbol, or None");
    }
  }
  MemoryEstimate()
      .values<float>(mul_sat(N, m))
      .bytes(symbol_bit_metrics_bytes(M, N))
      .values<double>(mul_sat(mul_sat(F, N), add_sat(M, m)))
      .require("the demapper");
  refuse_bad_soft_values(metrics.re, "input");
  if (prior) refuse_bad_soft_values(prior->re, "extrinsic_info");
  const Flat<double> values = flat<double>(metrics, "input");
  OutFrames out = out_frames(lead, N * m);
  without_gil([&] {
    for (std::size_t f = 0; f < F; ++f) {
      const std::span<const double> in(values.re.data() + f * N * M, N * M);
      const std::span<double> o(&out.view(f, 0), N * m);
      symbol_bit_metrics(in, M, static_cast<MaxStar>(type), prior_of(prior, f), o,
                         python_interrupt());
    }
  });
  return out.array;
}

py::array_t<double> relay_label_metrics_fn(py::handle sym_log_likelihood, long long mod_order,
                                           long long demod_type, py::handle extrinsic_info) {
  const Frames values = frames(sym_log_likelihood, "sym_log_likelihood");
  if (mod_order < 1) fail("mod_order must be at least 1");
  if (mod_order > INT_MAX) fail("mod_order is out of range");
  const auto M = static_cast<std::size_t>(mod_order);
  const std::size_t N = values.length() / (M * M);
  const auto m = static_cast<std::size_t>(compute_bits_per_symbol(M));
  const int type = read_max_star(demod_type, "demod_type");
  const std::optional<Frames> prior =
      optional_like(extrinsic_info, "extrinsic_info", values, N * m, Kind::kReal);
  MemoryEstimate()
      .values<float>(mul_sat(N, m))
      .bytes(relay_label_metrics_bytes(M, N))
      .values<double>(add_sat(mul_sat(values.frames(), N * m), M * M * N))
      .require("the relay demapper");
  refuse_bad_soft_values(values.re, "sym_log_likelihood");
  if (prior) refuse_bad_soft_values(prior->re, "extrinsic_info");
  OutFrames out = out_frames(values.lead, N * m);
  without_gil([&] {
    std::vector<double> buffer;
    for (std::size_t f = 0; f < values.frames(); ++f) {
      const std::span<const double> in = frame_values(values.re, f, buffer).first(M * M * N);
      const std::span<double> o(N * m > 0 ? &out.view(f, 0) : nullptr, N * m);
      relay_label_metrics(in, M, static_cast<MaxStar>(type), prior_of(prior, f), o,
                          python_interrupt());
    }
  });
  return out.array;
}

py::array_t<double> soft_demap_fn(py::handle input, py::handle S_matrix, double EsNo,
                                  long long demod_type, py::handle extrinsic_info,
                                  py::handle fade_coef, long long threads) {
  const Frames y = frames(input, "input", Kind::kComplex);
  const Flat<double> points = read_point_vector(S_matrix, "S_matrix");
  const std::size_t M = points.re.size();
  const std::size_t coded = y.length() * power_of_two_bits(M);
  SoftDemapParams params;
  params.es_no = read_es_no(EsNo);
  params.op = static_cast<MaxStar>(read_max_star(demod_type, "demod_type"));
  const std::optional<Frames> prior =
      optional_like(extrinsic_info, "extrinsic_info", y, coded, Kind::kReal);
  const std::optional<Frames> fade =
      optional_like(fade_coef, "fade_coef", y, y.length(), Kind::kComplex);
  params.threads = read_threads(threads);
  MemoryEstimate()
      .call(soft_demap_memory(M, y.length(), params.threads, y.frames()))
      .require("the demapper");
  refuse_nan(y.re, "input");
  if (y.complex) refuse_nan(y.im, "input");
  refuse_nan(points.re, "S_matrix");
  refuse_nan(points.im, "S_matrix");
  if (prior) refuse_bad_soft_values(prior->re, "extrinsic_info");
  if (fade) {
    refuse_nan(fade->re, "fade_coef");
    if (fade->complex) refuse_nan(fade->im, "fade_coef");
  }
  OutFrames out = out_frames(y.lead, coded);
  if (M < 2 || y.frames() == 0 || y.length() == 0) return out.array;
  ComplexFrames a;
  if (fade) a = {fade->re, fade->complex ? fade->im : FrameView<const double>{}};
  without_gil([&] {
    try {
      soft_demap({y.re, y.complex ? y.im : FrameView<const double>{}}, points.span(), a,
                 prior ? prior->re : FrameView<const double>{}, params, out.view,
                 python_interrupt());
    } catch (const std::domain_error&) {
      fail("the symbol metrics lie beyond the single-precision range (input, S_matrix, fade_coef "
           "or EsNo too large)");
    }
  });
  return out.array;
}

}  // namespace

void add_modem(py::module_& m) {
  m.def("modulate", &modulate_fn, "input"_a, "S_matrix"_a,
        R"(modulate(input, S_matrix) -> ndarray (complex)

Maps bits onto signal points: groups of m = floor(log2(M)) bits, the first most
significant, name point l = the group's value; the last group is padded with 0 bits.

input     (..., K) bits: values that truncate to 0 or 1.
S_matrix  (M,) complex points, or (M, D) points of D dimensions (row l is point l).

Returns (..., ceil(K/m)) complex128 symbols, or (..., ceil(K/m), D).)");

  m.def("plane_metrics", &plane_metrics_fn, "input"_a, "S_matrix"_a, "EsNo"_a,
        "fade_coef"_a = py::none(),
        R"(plane_metrics(input, S_matrix, EsNo, fade_coef=None) -> ndarray

Symbol log-likelihoods -EsNo*|y - a*s_l|^2 of received samples against M points.

input      (..., N) received samples, real or complex.
S_matrix   (M,) signal points.
EsNo       linear Es/N0 (not dB), rounded to single precision.
fade_coef  fading coefficients a, the shape of input, or None for all 1.

Returns (..., N, M): row j holds the M metrics of sample j.)");

  m.def("tone_metrics", &tone_metrics_fn, "input"_a, "EsNo"_a, "csi_flag"_a = 0,
        "fade_coef"_a = py::none(),
        R"(tone_metrics(input, EsNo, csi_flag=0, fade_coef=None) -> ndarray

Symbol log-likelihoods of M-ary orthogonal FSK from the M matched-filter outputs of
each symbol, single precision throughout.

input      (..., N, M) complex tone outputs; row j holds symbol j's M tones.
EsNo       linear Es/N0, positive.
csi_flag   0: coherent, 2*EsNo*Re(conj(a)*y); 1: amplitude known, ln I0(2*EsNo*|a||y|);
           2: no channel knowledge, |y|^2*EsNo^2/(EsNo + 1); other values give 0.
fade_coef  (..., N) complex fading coefficients, or None for all 1.

Returns (..., N, M) metrics.)");

  m.def("relay_frequency_metrics", &relay_frequency_metrics_fn, "input"_a, "EsNo"_a,
        "csi_flag"_a, "a1"_a, "a2"_a, "sqE1"_a, "sqE2"_a, "csi1switch"_a,
        R"(relay_frequency_metrics(input, EsNo, csi_flag, a1, a2, sqE1, sqE2, csi1switch) -> ndarray

Pair log-likelihoods at the relay of two superimposed FSK users.

input       (N, M) complex tone outputs, row j for symbol j.
EsNo        linear Es/N0, positive.
csi_flag    1: the coefficients a1, a2 are known; 2: only the energies sqE1, sqE2
            (both positive); 0 (full knowledge) is refused.
a1, a2      (N,) complex fading coefficients of user one and two.
sqE1, sqE2  energy parameters of the users (csi_flag 2).
csi1switch  csi_flag 1, both users on one tone: 0 adds the coefficients, otherwise
            the energies.

Returns (N*M*M,): pair (p, q) of symbol j at j*M*M + p*M + q, as
relay_label_metrics takes them.)");

  m.def("symbol_bit_metrics", &symbol_bit_metrics_fn, "input"_a, "demod_type"_a = 0,
        "extrinsic_info"_a = py::none(),
        R"(symbol_bit_metrics(input, demod_type=0, extrinsic_info=None) -> ndarray

Extrinsic bit LLRs ln(P(1)/P(0)) from symbol log-likelihoods. Bits of a label are read
most significant first.

input           (..., N, M) label metrics, row j for symbol j; M a power of two.
demod_type      max-star operator 0..4 (1 max-log, 4 exact log-MAP).
extrinsic_info  (..., N*m) a-priori LLRs, m = log2(M), or None for none.

Returns (..., N*m): element j*m + k is bit k of symbol j.)");

  m.def("relay_label_metrics", &relay_label_metrics_fn, "sym_log_likelihood"_a, "mod_order"_a,
        "demod_type"_a = 0, "extrinsic_info"_a = py::none(),
        R"(relay_label_metrics(sym_log_likelihood, mod_order, demod_type=0, extrinsic_info=None) -> ndarray

Bit LLRs of the network-coded label p XOR q of relay symbols from pair metrics.

sym_log_likelihood  (..., V) pair metrics, M*M per symbol (pair (p, q) of symbol j at
                    j*M*M + p*M + q); N = V // (M*M) whole symbols are read.
mod_order           M, labels per user, at least 1.
demod_type          max-star operator 0..4.
extrinsic_info      (..., N*m) a-priori LLRs, m = floor(log2(M)), or None.

Returns (..., N*m) bit LLRs ln(P(1)/P(0)).)");

  m.def("soft_demap", &soft_demap_fn, "input"_a, "S_matrix"_a, "EsNo"_a, "demod_type"_a = 0,
        "extrinsic_info"_a = py::none(), "fade_coef"_a = py::none(), "threads"_a = 0,
        R"(soft_demap(input, S_matrix, EsNo, demod_type=0, extrinsic_info=None, fade_coef=None, threads=0) -> ndarray

Bit LLRs ln(P(1)/P(0)) of many frames of received samples at once; each frame's
result equals symbol_bit_metrics(plane_metrics(...)) bit for bit.

input           (..., N) received samples, real or complex.
S_matrix        (M,) signal points, point l carrying label l; M a power of two.
EsNo            linear Es/N0 (not dB), positive.
demod_type      max-star operator 0..4 (1 max-log, 4 exact log-MAP).
extrinsic_info  (..., N*m) a-priori LLRs, m = log2(M), or None.
fade_coef       complex fading coefficients, the shape of input, or None for all 1.
threads         threads to use, 0 (default) for every core.

Returns (..., N*m): element j*m + k is bit k (most significant first) of symbol j.)");
}

}  // namespace linkforge::python
