// Trellis tables of binary convolutional codes given by a generator matrix.
//
// A code has n code bits per step and constraint length K: memory m = K - 1,
// S = 2^m states, O = 2^n output words. Row i of the n x K generator matrix becomes
// the integer g[i] = sum of 2^(K-1-j) over the columns j holding a tap, so column 0 is
// the most significant bit and taps the bit entering the register now.
//
// Register word of a step: w = (entering bit << m) | state; the state is the m older
// bits, bit m-1 the most recent. The successor state is w >> 1.
// Feed-forward codes: code bit i is the parity of (w & g[i]).
// Recursive systematic codes: row 0 is the feedback polynomial (its column 0 is not
// read); the entering bit is data XOR parity(state & g[0]); code bit 0 is the data
// bit and code bits 1..n-1 are the parities of (w & g[i]).
// Output word: n bits, code bit 0 the most significant (bit n-1-i holds code bit i).
// Code streams are step-major: element k*n + i is code bit i of step k.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace linkforge {

// Largest memory (K - 1) and code-bit count n whose states and words fit the int
// shifts of the tables.
inline constexpr int kMaxTrellisMemory = 30;
inline constexpr int kMaxTrellisOutputs = 30;

// How a block ends, from the caller's integer code type.
enum class CodeType {
  kRecursive,    // 0: recursive systematic, m tail steps that return to state 0
  kFeedForward,  // 1 and every negative value: feed-forward, m zero tail steps
  kTailBiting,   // 2 and above: feed-forward, no tail, ends where it started
};

// Encoder and Viterbi decoder reading of a code type number.
constexpr CodeType code_type_from_int(int code_type) noexcept {
  if (code_type == 0) return CodeType::kRecursive;
  if (code_type >= 2) return CodeType::kTailBiting;
  return CodeType::kFeedForward;
}

// True for the memory and output counts the tables can represent.
constexpr bool trellis_fits(int K, int n) noexcept {
  return K >= 1 && n >= 1 && K - 1 <= kMaxTrellisMemory && n <= kMaxTrellisOutputs;
}

// Packs a column-major n x K generator matrix into n integers. Any entry that is not
// equal to 0 (NaN included) is a tap. Requires trellis_fits(K, n).
std::vector<int> generator_polynomials(std::span<const double> g_matrix, int n, int K);

// Output words and successor states of all S states for one input bit (0 or 1).
// `output` and `next_state` must hold at least 2^(K-1) entries; n = g.size().
void nsc_transit(std::span<int> output, std::span<int> next_state, int input,
                 std::span<const int> g, int K);
void rsc_transit(std::span<int> output, std::span<int> next_state, int input,
                 std::span<const int> g, int K);

// Branch metric of an output word: the single-precision sum of values[i] over the code
// bits i that are 1 in the word, added bit 0 of the word (code bit n-1) first.
// n = values.size(). A positive value therefore favours a code bit of 1.
float Gamma(std::span<const float> values, int word);

// Gamma of every word 0..2^n - 1 for one step of n = values.size() values, into
// gamma[0..2^n - 1]. Each entry is built from the entry without its highest set bit,
// which reproduces the addition order of Gamma exactly. Inline: the decoders call it
// once per trellis step.
inline void branch_metrics(std::span<const float> values, float* gamma) {
  const std::size_t n = values.size();
  gamma[0] = 0.0f;
  for (std::size_t b = 0; b < n; ++b) {
    const std::size_t high = std::size_t{1} << b;
    const float v = values[n - 1 - b];
    for (std::size_t w = high; w < 2 * high; ++w) gamma[w] = gamma[w - high] + v;
  }
}

// The four tables of a code, built with one transit function for input 0 and then 1.
struct Trellis {
  int K = 1;           // constraint length
  int n = 1;           // code bits per step
  int m = 0;           // memory, K - 1
  int num_states = 1;  // S = 2^m
  int num_words = 2;   // O = 2^n
  std::vector<int> g;  // generator polynomials, row 0 first
  std::vector<int> out0, next0, out1, next1;
  // Incoming branches, two per state, in the order a loop over states s = 0..S-1 with
  // bit 0 before bit 1 reaches them: branch j (0 or 1) of state t leaves state
  // in_state[2t + j] with data bit in_bit[2t + j] and output word in_word[2t + j].
  // Decoders that work per state visit each state's candidates in this order, which is
  // the order of the per-branch loop and therefore gives the same roundings and ties.
  std::vector<int> in_state, in_bit, in_word;
};

// Builds the tables of a recursive systematic (`recursive`) or feed-forward code.
// Throws std::invalid_argument unless trellis_fits(K, g.size()).
Trellis make_trellis(std::span<const int> g, int K, bool recursive);

// Bytes held by the tables of a code; saturates instead of overflowing.
std::uint64_t trellis_table_bytes(int K) noexcept;

}  // namespace linkforge
