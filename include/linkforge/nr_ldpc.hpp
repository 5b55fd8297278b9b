// The LDPC codes of 5G NR (3GPP TS 38.212 5.3.2): the two base graphs lifted by any of
// the 51 lifting sizes Z, their systematic encoder and a layered decoder for many
// frames at once (frames in SIMD lanes and on threads), with its scalar reference.
//
// The parity-check matrix H has rows x cols blocks of Z x Z: the block of a listed entry
// (i, j) of the base graph is the identity shifted by P = V_{i,j}(iLS) mod Z, whose row r
// has its 1 in column (r + P) mod Z; other blocks are zero. BG1 has 46 x 68 blocks and
// 22 data columns, BG2 42 x 52 and 10. A codeword is data_cols * Z data bits followed by
// the parity bits, the first 2Z data bits included (a transmitter leaves them out).
//
// Frames are rows (frames.hpp). Soft values are ln(P(1) / P(0)): positive favours 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/parallel.hpp"

namespace linkforge::nr_ldpc {

// The 51 lifting sizes, ascending.
std::span<const int> lifting_sizes() noexcept;
// The set index iLS (0..7) of a lifting size; -1 for any other number.
int set_index(int z) noexcept;
// The lifting size nearest to z (the smaller of two at the same distance).
int nearest_lifting_size(long long z) noexcept;

// One entry of a lifted base graph: its column and its shift P = V mod Z.
struct Entry {
  int col;
  int shift;
};

// A base graph (1 or 2) lifted by Z, its entries row by row in column order.
struct Code {
  int bg = 0;
  int z = 0;
  int set_index = 0;
  int rows = 0;       // base-graph rows: 46 or 42
  int cols = 0;       // base-graph columns: 68 or 52
  int data_cols = 0;  // 22 or 10
  std::vector<int> row_offset;  // rows + 1 offsets into entries
  std::vector<Entry> entries;

  std::size_t data_length() const noexcept { return static_cast<std::size_t>(data_cols) * z; }
  std::size_t code_length() const noexcept { return static_cast<std::size_t>(cols) * z; }
  std::size_t checks() const noexcept { return static_cast<std::size_t>(rows) * z; }
  int max_row_degree() const noexcept;
};

// Throws ArgumentError for a bg other than 1 and 2 or a z that is not a lifting size
// (naming the nearest one).
Code make_code(int bg, long long z);

// The raw table entries of a base graph, as read from the table files: row, column and
// V for the set indices 0..7.
struct TableEntry {
  int row, col;
  int shift[8];
};
std::vector<TableEntry> base_graph_table(int bg);

// Encodes F frames of data_length() bits (each 0 or 1; anything else is refused with
// Fault::kNotBinary) into F codewords of code_length() bits: the data, then the 4Z
// core parity bits solved from the double-diagonal block of rows 0..3, then one bit per
// row of the identity extension. Every parity check of H holds on each codeword.
void encode(const Code& code, FrameView<const double> data, FrameView<double> codeword);

// The bits of one codeword that break a parity check: the number of checks of H that do
// not hold (0 for a codeword).
std::size_t failed_checks(const Code& code, std::span<const std::uint8_t> bits);

enum class Algorithm : int {
  kSumProduct = 0,        // exact check update: pairwise boxplus by the log-MAP max-star
  kMinSum = 1,            // smallest other magnitude
  kNormalizedMinSum = 2,  // smallest other magnitude times scale
  kOffsetMinSum = 3,      // smallest other magnitude minus offset, not below 0
};

struct DecodeParams {
  int max_iterations = 25;
  Algorithm algorithm = Algorithm::kSumProduct;
  float scale = 0.75f;   // kNormalizedMinSum: positive and finite
  float offset = 0.5f;   // kOffsetMinSum: 0 or more, finite
  bool early_stop = true;  // a frame stops after the first iteration on which H holds
  int threads = 0;         // 0: every hardware thread
};

// The a-posteriori values are held within +-kAppLimit after every update.
inline constexpr float kAppLimit = 1048576.0f;

// Results, one row per frame: hard decisions (1 where the a-posteriori value is
// positive) of all code_length() bits, the a-posteriori values (ln(P(1)/P(0)); may be
// empty) and the iterations each frame ran (may be empty). An iteration is one pass
// over the base-graph rows (layers) in order; within a layer the Z lifted checks touch
// disjoint bits. A frame whose decisions satisfy every check after an iteration stops
// there (early_stop); the count is 0 when the channel decisions already satisfy H.
struct DecodeResults {
  FrameView<double> bits;
  FrameView<double> app;
  std::span<int> iterations;
};

// The layered decoder for F frames of code_length() soft values (zeros for bits not
// received), frames side by side in SIMD lanes and groups of frames on threads. Each
// frame's results equal decode_reference's for it bit for bit, on any SIMD target and
// thread count. Throws ArgumentError on shapes that disagree with the code, NaN or
// values beyond single precision, bad parameters; Interrupted when asked to stop.
void decode(const Code& code, FrameView<const double> llr, const DecodeParams& params,
            const DecodeResults& results, const Interrupt& interrupt = {});

// The same decoder for one frame, one value at a time: llr of code_length() values
// (single precision), bits and app of code_length() (app may be empty). Returns the
// iterations run.
int decode_reference(const Code& code, std::span<const float> llr, const DecodeParams& params,
                     std::span<std::uint8_t> bits, std::span<float> app);

// Frames that share one pass of the decoder on this machine.
std::size_t decode_frames_per_pass();

// Throws ArgumentError for parameters decode refuses.
void check_params(const DecodeParams& params);

// What a call of decode on `frames` frames of the code of (bg, z) needs: the code, the
// working memory of the threads and the results (bits, app when `with_app`, counts).
// bg and z must name a code.
CallMemory decode_memory(int bg, int z, const DecodeParams& params, std::uint64_t frames,
                         bool with_app) noexcept;

// ---------------------------------------------------------------------------------
// Rate matching (3GPP TS 38.212 5.4.2)
//
// The circular buffer is the codeword without its first 2Z bits: d_k = c_{k+2Z},
// k = 0..N-1 (N = 66Z for BG1, 50Z for BG2), of which the first Ncb are used. Filler
// bits (c_k for k = K'..K-1, K = data_length(); 0 for the encoder) are never sent.
// Bit selection starts at k0 of the redundancy version (Table 5.4.2.1-2) and takes the
// next non-filler bit of the buffer, round and round, until E bits are taken; the bit
// interleaver then writes them row by row into Qm rows and reads them column by column:
// f_{i + j Qm} = e_{i E/Qm + j}.
struct RateMatchParams {
  long long e = 0;               // E, the bits to send: a multiple of Qm, 0 or more
  int rv = 0;                    // redundancy version 0..3
  int modulation_order = 1;      // Qm, 1..8
  long long filler_start = -1;   // K': the first filler bit; -1 for none (K' = K)
  long long limited_buffer = 0;  // Nref of a limited buffer; 0 for the whole buffer
};

// Ncb: N, or min(N, Nref) for a limited buffer.
std::size_t circular_buffer_length(const Code& code, const RateMatchParams& params);
// k0 of params.rv for a buffer of Ncb bits.
std::size_t rate_match_start(const Code& code, std::size_t ncb, int rv);
// Throws ArgumentError for parameters rate_match refuses (E not a multiple of Qm, rv,
// Qm, K' outside 0..K, a buffer with no bit to send while E > 0).
void check_rate_match(const Code& code, const RateMatchParams& params);

// The E bits sent of each codeword row (code_length() bits each; not checked for 0
// and 1, they are copied).
void rate_match(const Code& code, const RateMatchParams& params,
                FrameView<const double> codeword, FrameView<double> out);
// The inverse for soft values: the E received LLRs of each row, deinterleaved and
// added up where the buffer was sent more than once (in the order sent), make a row
// of code_length() LLRs for the decoder: 0 for the first 2Z bits and every bit not
// sent, -kAppLimit (certainly 0) for the filler bits.
void rate_recover(const Code& code, const RateMatchParams& params, FrameView<const double> llr,
                  FrameView<double> out);

// ---------------------------------------------------------------------------------
// Transport block to code blocks (3GPP TS 38.212 7.2.2 / 6.2.2 base graph selection,
// 5.2.2 code block segmentation, 5.4.2.1 bits per code block)
struct Segmentation {
  int bg = 0;                 // BG2 where A <= 292, or A <= 3824 and R <= 0.67, or R <= 0.25
  int z = 0;                  // the smallest lifting size with Kb Z >= K'
  int tb_crc = 0;             // L of the transport block CRC: 24 where A > 3824, else 16
  int cb_crc = 0;             // L of each code block's CRC: 24 where C > 1, else 0
  long long code_blocks = 0;  // C
  long long k_prime = 0;      // K': bits of a code block with its CRC (the first filler bit)
  long long k = 0;            // K = 22 Z (BG1) or 10 Z (BG2); K - K' filler bits
  std::vector<long long> e;   // E_r of every code block where G > 0, else empty
};

// The segmentation of a transport block of A bits (1 <= A <= 2^30) at code rate R
// (0 < R <= 1). With G > 0 (coded bits available, a multiple of Qm * layers) each code
// block's E follows: Qm layers floor or ceil(G / (Qm layers C)), the larger for the
// last blocks. Throws ArgumentError for values outside these ranges.
Segmentation segment(long long A, double R, long long G = 0, int Qm = 1, int layers = 1);

// What a call of encode on `frames` frames needs (the code, a frame of bytes, results).
CallMemory encode_memory(int bg, int z, std::uint64_t frames) noexcept;

}  // namespace linkforge::nr_ldpc
