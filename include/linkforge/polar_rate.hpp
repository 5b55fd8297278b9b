// Rate matching of the 5G polar codes (3GPP TS 38.212 5.3.1, 5.4.1): the choice of the
// code length N from K and the bits to send E, the frozen set adjusted for the bits that
// are not sent, the sub-block interleaver, bit selection (repetition, puncturing or
// shortening), the triangular coded-bit interleaver, and the soft inverse.
//
// A codeword d of N bits is sent as E bits: y_n = d_{J(n)} with the sub-block interleaver
// J(n) = P(floor(32 n / N)) N/32 + n mod N/32; then e_k = y_{k mod N} where E >= N
// (repetition), e_k = y_{k + N - E} where E < N and K/E <= 7/16 (puncturing: the first
// N - E bits of y are not sent) and e_k = y_k otherwise (shortening: the last N - E are
// not sent; the frozen set makes them 0). With coded-bit interleaving (the uplink's
// I_BIL = 1) e is written row by row into the upper triangle of a T x T array, T the
// least with T (T + 1) / 2 >= E, and read column by column.
//
// Soft values are ln(P(1)/P(0)): positive favours 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/frames.hpp"

namespace linkforge {

// The largest code length: 2^9 for the downlink, 2^10 for the uplink.
enum class PolarLink : std::uint8_t { kDownlink, kUplink };

// How E bits are taken from the N of a codeword.
enum class PolarSelection : std::uint8_t {
  kRepetition,  // E >= N: all N, then again from the start
  kPuncturing,  // E < N, K/E <= 7/16: the first N - E bits of y are left out
  kShortening,  // E < N, K/E > 7/16: the last N - E bits of y are left out
};

// The shortened bits are certain zeros; rate recovery gives them this LLR.
inline constexpr float kPolarShortenedLlr = -1048576.0f;

// E is at most this many bits.
inline constexpr std::size_t kPolarMaxE = std::size_t{1} << 20;

// The code length N = 2^n of 5.3.1 for K bits (CRC included) sent as E bits:
// n1 = ceil(log2 E) - 1 where E <= (9/8) 2^(ceil(log2 E) - 1) and K/E < 9/16, else
// ceil(log2 E); n2 = ceil(log2 (8 K)); n = max(min(n1, n2, n_max), 5). Refuses K < 1,
// E < K, E > kPolarMaxE and K above the N chosen.
std::size_t polar_code_length(std::size_t K, std::size_t E, PolarLink link);

struct PolarRateParams {
  std::size_t K = 0;                   // information bits, CRC included: 1..min(N, E)
  std::size_t E = 0;                   // bits sent: K..kPolarMaxE
  std::size_t N = 0;                   // code length: a power of two, 32..1024
  bool interleave_coded_bits = false;  // the triangular interleaver (I_BIL = 1)
};

// Refuses what polar_rate_match refuses: N not a power of two in 32..1024, K outside
// 1..N, E outside K..kPolarMaxE.
void check_polar_rate(const PolarRateParams& params);

PolarSelection polar_selection(const PolarRateParams& params);

// The sub-block interleaver of length N: J(n) for n = 0..N-1 (y_n = d_{J(n)}).
std::vector<std::uint32_t> polar_subblock_interleaver(std::size_t N);

// The codeword position d_i sent as each of the E bits, in the order sent.
std::vector<std::uint32_t> polar_rate_positions(const PolarRateParams& params);

// The sorted 0-based positions of the K information bits of the rate-matched code
// (5.4.1.1): the K most reliable positions below N of the NR sequence once the bits
// not sent are frozen; with puncturing, also positions 0..ceil(3N/4 - E/2) - 1 where
// E >= 3N/4, else 0..ceil(9N/16 - E/4) - 1. Without puncturing or shortening it is
// polar_construct(K, N).
std::vector<std::uint32_t> polar_rate_construct(const PolarRateParams& params);

// Rows of N code bits (copied as they are) to rows of the E bits sent.
void polar_rate_match(const PolarRateParams& params, FrameView<const double> code,
                      FrameView<double> out);

// Rows of E received LLRs back to rows of N for the decoder: each bit's LLRs added up
// over its repetitions in the order sent, 0 for a punctured bit, kPolarShortenedLlr for
// a shortened one.
void polar_rate_recover(const PolarRateParams& params, FrameView<const double> llr,
                        FrameView<double> out);

}  // namespace linkforge
