// Modulation onto arbitrary signal sets, soft demodulation of complex-plane and
// frequency-shift-keyed signals (also at a two-way relay), and symbol-to-bit soft
// demapping.
//
// Labels: the m bits of a symbol, most significant first, are m consecutive code bits;
// label k names point k of a signal set (or tone k) and row k of a symbol
// log-likelihood matrix. Bit k of a label (k = 0 first) has weight 2^(m-1-k).
//
// Symbol log-likelihood matrix: M rows (labels) by N columns (symbols), column-major,
// natural-log likelihoods up to a per-column constant, larger meaning more likely. The
// relay form holds M*M values per symbol: pair (p, q), user one's label p and user
// two's label q, at offset p*M + q of the symbol's block.
//
// Soft values are log-likelihood ratios ln(P(bit = 1) / P(bit = 0)): positive favours 1.
// Soft arithmetic is single precision in a fixed operation order (built with
// -ffp-contract=off), so results are reproducible bit for bit; the demappers' "minus
// infinity" is the finite value -1e6. The kernels whose work grows with their inputs poll
// an Interrupt (interrupt.hpp) every few milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "linkforge/interrupt.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge {

inline constexpr float kDemapMinusInfinity = -1000000.0f;

// Real and imaginary parts of a run of complex values. An empty `im` stands for all
// imaginary parts 0; otherwise it has the size of `re`.
template <class T>
struct ComplexSpan {
  std::span<const T> re;
  std::span<const T> im;

  // True when im is empty or as long as re.
  bool well_formed() const noexcept { return im.empty() || im.size() == re.size(); }
  // Imaginary part of element i, 0 when im is empty.
  T imag(std::size_t i) const noexcept { return im.empty() ? T{} : im[i]; }
};

// Bits per label of a set of M labels: the number of halvings of M (integer division)
// down to 1, that is floor(log2 M); 0 for M <= 1.
constexpr int compute_bits_per_symbol(std::uint64_t M) noexcept {
  int m = 0;
  while (M > 1) {
    M /= 2;
    ++m;
  }
  return m;
}

// Soft values of N symbols of m bits each.
constexpr std::uint64_t compute_total_number_of_bits(std::uint64_t N, int m) noexcept {
  return N * static_cast<std::uint64_t>(m);
}

// ---------------------------------------------------------------------------------
// Modulation

// Symbols for K bits at m bits per symbol: ceil(K/m). m must be at least 1.
std::size_t modulate_length(std::size_t K, int m);

// Maps bits (each 0 or 1) onto the points of a signal set of `count` points of
// dimension `dim`: point l has coordinates points.re[l*dim .. l*dim + dim - 1] (and
// the same of points.im). Groups of m = compute_bits_per_symbol(count) bits, the first
// most significant, name the points; the last group is padded with 0 bits at its least
// significant end. Fills dim x modulate_length(K, m) column-major coordinates, copied
// unchanged. Throws std::invalid_argument for fewer than 2 points, a bit other than
// 0 or 1, or wrong sizes.
void modulate(std::span<const int> bits, ComplexSpan<double> points, std::size_t count,
              std::size_t dim, std::span<double> out_re, std::span<double> out_im);

// ---------------------------------------------------------------------------------
// Soft demodulation in the complex plane

// Symbol log-likelihoods of N samples y against M points s_k under complex fading a_i
// (empty `fade.re`: every a_i is 1):
//   out[i*M + k] = -es_no * |y_i - a_i*s_k|^2,
// formed in double precision from the single-precision es_no. For points of unit
// average energy and complex noise of variance 1/es_no this is the Gaussian
// log-likelihood up to a per-sample constant.
void plane_metrics(ComplexSpan<double> y, ComplexSpan<double> points, float es_no,
                   ComplexSpan<double> fade, std::span<double> out,
                   const Interrupt& interrupt = {});

// ---------------------------------------------------------------------------------
// Soft demodulation of M-ary orthogonal frequency-shift keying

// Receiver models of tone_metrics (the module's csi_flag 0, 1, 2, and any other flag).
enum class ToneCsi : int {
  kFull = 0,       // the fading coefficient is known: coherent metric
  kAmplitude = 1,  // its amplitude is known
  kNone = 2,       // nothing is known but the average energy
  kOther = 3,      // every metric 0
};

constexpr ToneCsi tone_csi_from_flag(long long flag) noexcept {
  return flag >= 0 && flag <= 2 ? static_cast<ToneCsi>(flag) : ToneCsi::kOther;
}

// Approximation of ln I0(x) used by tone_metrics: a*x*x + b*x - c on five ranges with
// breaks at 1, 2, 5 and 20, evaluated in double and rounded to single precision. NaN
// and x >= 20 take the last range; a negative x takes the first. For x >= 0 it lies
// within 1.4% of max(1, ln I0(x)).
float tone_log_i0(float x);

// Symbol log-likelihoods from the matched-filter outputs of M tones for N symbols
// (y: M*N column-major; fade: N coefficients, empty `fade.re` for all ones):
//   kFull:      2*es_no*Re(conj(a)*y)
//   kAmplitude: tone_log_i0(2*es_no*|a|*|y|)
//   kNone:      |y|^2 * es_no^2/(es_no + 1)
//   kOther:     0
// Every operation is single precision.
// The tones of a symbol run side by side in SIMD lanes (kAmplitude; the compiler
// vectorises the others); tone_metrics_scalar computes one value at a time and is the
// reference the lanes equal bit for bit.
void tone_metrics(ComplexSpan<float> y, std::size_t M, float es_no, ToneCsi csi,
                  ComplexSpan<float> fade, std::span<float> out, const Interrupt& interrupt = {});
void tone_metrics_scalar(ComplexSpan<float> y, std::size_t M, float es_no, ToneCsi csi,
                         ComplexSpan<float> fade, std::span<float> out);

// ---------------------------------------------------------------------------------
// Soft demodulation of two superimposed frequency-shift-keyed users at a relay

// Approximation of ln I0(x) for the relay: a*x*x + b*x - c on nine ranges with breaks
// at 1, 2, 5, 15, 30, 60, 120 and 500, evaluated in double and rounded to single
// precision. NaN and x >= 500 take the last range; a negative x takes the first. For
// x >= 0 it lies within 1.1% of max(1, ln I0(x)).
float logbesseli0(float x);

// What the relay knows of the two users' channels (the module's csi_flag 0, 1, 2, and
// any other flag).
enum class RelayCsi : int {
  kFull = 0,          // full channel knowledge: no model
  kCoefficients = 1,  // both users' fading coefficients
  kEnergies = 2,      // the users' energy parameters only
  kOther = 3,         // every metric 0
};

constexpr RelayCsi relay_csi_from_flag(long long flag) noexcept {
  return flag >= 0 && flag <= 2 ? static_cast<RelayCsi>(flag) : RelayCsi::kOther;
}

// Both users on one tone, with the coefficients known: what adds (the module's
// csi1switch 0 and any other value).
enum class SharedTone : int { kAddCoefficients = 0, kAddEnergies = 1 };

struct RelayToneParams {
  float es_no = 0;  // linear Es/N0
  RelayCsi csi = RelayCsi::kCoefficients;
  float e1 = 0;  // energy parameter of user one (RelayCsi::kEnergies)
  float e2 = 0;  // energy parameter of user two (RelayCsi::kEnergies)
  SharedTone shared_tone = SharedTone::kAddCoefficients;
};

// Refuses parameters the model cannot use on N symbols: full channel knowledge when
// N > 0 (ArgumentError, Fault::kNoModel on "csi") and, for the energy model, an energy
// parameter that is not a positive finite number (Fault::kNotPositive on "e1" or "e2").
void check_relay_tone_params(const RelayToneParams& params, std::size_t N);

// Pair log-likelihoods in the relay form, M*M values per symbol, from the M tone
// outputs of N symbols (y: M*N column-major) and both users' coefficients (N each).
// Single precision throughout, each value widened on output. Refuses what
// check_relay_tone_params refuses, and sizes that disagree.
void relay_frequency_metrics(ComplexSpan<float> y, std::size_t M, ComplexSpan<float> a1,
                             ComplexSpan<float> a2, const RelayToneParams& params,
                             std::span<double> out, const Interrupt& interrupt = {});

// ---------------------------------------------------------------------------------
// Symbol-to-bit soft demapping

// Extrinsic bit log-likelihood ratios of N symbols from an M x N symbol log-likelihood
// matrix (M a power of two, m = log2 M bits per symbol) and m*N a-priori ratios (or
// none: all 0). For every symbol and label i, q = L(i) in single precision plus the
// a-priori values of the bits label i sets (k = 0 first); bit k folds q - A_k over the
// labels that set it and q over the others, in increasing label order, each fold
// acc = max*(acc, metric) from -1e6 with the operator of type demod_type (0..4);
// out[j*m + k] = acc1 - acc0. A bit's own a-priori value never reaches its output.
// Throws std::invalid_argument on wrong sizes, M not a power of two or an unknown type.
void symbol_bit_metrics(std::span<const double> input, std::size_t M, MaxStar op,
                        std::span<const float> apriori, std::span<double> out,
                        const Interrupt& interrupt = {});

// Bytes of working memory symbol_bit_metrics takes for M labels and N symbols
// (saturating).
std::uint64_t symbol_bit_metrics_bytes(std::uint64_t M, std::uint64_t N) noexcept;

// Network-coded label of a pair of user labels.
constexpr std::uint64_t gen_nc_bits(std::uint64_t p, std::uint64_t q) noexcept {
  return p ^ q;
}

// A-priori sum of label f for symbol i: the single-precision sum, least significant bit
// first (t = 0..m-1), of (bit t of f) * apriori[i*m + m-1-t].
float compute_extrinsic_info(std::span<const float> apriori, std::uint64_t f, std::size_t i, int m);

// Bytes of working memory relay_label_metrics takes at most for M labels and N symbols
// (saturating); the pair metrics are needed only when there is a symbol.
std::uint64_t relay_label_metrics_bytes(std::uint64_t M, std::uint64_t N) noexcept;

// Extrinsic log-likelihood ratios of the m = compute_bits_per_symbol(M) bits of the
// network-coded label p XOR q of N relay symbols, from the M*M*N values of `input`
// (pair (p, q) of symbol i at i*M*M + p*M + q) and m*N a-priori ratios (or
// none: all 0). The fold of bit k runs over all pairs, p outer and q inner, as in
// symbol_bit_metrics. With M not a power of two only the low m bits of each label are
// demapped. Throws std::invalid_argument on wrong sizes, M = 0 or an unknown type.
void relay_label_metrics(std::span<const double> input, std::size_t M, MaxStar op,
                         std::span<const float> apriori, std::span<double> out,
                         const Interrupt& interrupt = {});

}  // namespace linkforge
