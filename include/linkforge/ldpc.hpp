// Low-density parity-check codes: the phi function, the Tanner graph of a parity-check
// matrix given by index matrices, the flooding sum-product and scaled min-sum decoders,
// and the systematic encoder of codes with a staircase parity part.
//
// Sign convention: the decoder takes log-likelihood ratios L = ln(P(bit = 0) / P(bit = 1)),
// positive favouring 0 (the opposite of the trellis decoders and the demappers). Message
// arithmetic is single precision in a fixed order, so results are reproducible bit for bit.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"

namespace linkforge::ldpc {

// A column-major rows x cols view of a matrix.
template <class T>
struct MatrixView {
  std::span<T> values;
  std::size_t rows = 0;
  std::size_t cols = 0;

  T& operator()(std::size_t row, std::size_t col) const { return values[row + col * rows]; }
};

// ---------------------------------------------------------------------------------
// phi(x) = ln((e^x + 1) / (e^x - 1)) = -ln(tanh(x / 2)), for x >= 0.
//
// Clipped to 10 below 9.08e-5 (= phi(10), so the clip is symmetric: phi is its own
// inverse) and to 0 above 10; on (5, 10] a coarse table of the means of phi at the ends
// of each unit interval (5 itself falls through to the formula). Elsewhere y = e^x
// rounded to single precision, and ln((y + 1) / (y - 1)) evaluated in single precision;
// within 7e-5 of phi relative. Negative arguments give 10; NaN gives NaN. Inline so
// that the decoders' loops, which call it once per message, can keep it in line.
inline float phi0(float x) noexcept {
  // Means of phi at the two ends of the unit intervals (5, 6] .. (9, 10], to five
  // significant figures. The comparisons are strict: x = 10 takes the last entry and x = 5
  // falls through to the formula, so (5, 10] maps to ceil(x) - 6.
  constexpr float kCoarse[5] = {0.0092168f, 0.0033906f, 0.0012473f, 0.00045887f, 0.00016881f};
  if (x > 5.0f) return x > 10.0f ? 0.0f : kCoarse[static_cast<int>(std::ceil(x)) - 6];
  if (static_cast<double>(x) < 9.08e-5) return 10.0f;
  // Single precision throughout: the rounding of e^x to single precision dominates the
  // error (up to 7e-5 relative, for small x), so a wider quotient and logarithm would buy
  // no accuracy. NaN falls through to here and stays NaN.
  const float y = std::exp(x);
  return std::log((y + 1.0f) / (y - 1.0f));
}

// ---------------------------------------------------------------------------------
// Tanner graph
//
// H is described by two index matrices whose cells are 0-based positions, or negative
// for an empty cell. The degree of a row is the number of its non-negative cells, and
// its list is its first that-many cells, so empty cells must follow the list:
//   h_rows: m rows; row i lists the columns of the ones of row i of H;
//   h_cols: e rows; row j lists the rows of the ones of column j of H.
// e selects the layout (k = n - m):
//   full            e = n           the matrices describe all of H;
//   staircase       e = k           the data columns; the decoder adds the m x m
//                                   dual-diagonal parity part, ones at (0, 0) and at
//                                   (i, i - 1), (i, i);
//   block staircase k < e < n       the data columns and the first z = e - k parity
//                                   columns; the decoder adds parity columns i = z..m-1
//                                   with ones in rows i - z and i (z must divide m, with
//                                   m / z >= 2).
// In the staircase layouts h_rows lists only the explicit columns 0..e-1.

enum class Layout { kFull, kStaircase, kBlockStaircase };

// Edge order of check i: its listed columns, then the added parity bits (staircase: i = 0
// adds bit k, i >= 1 adds k + i - 1 then k + i; block staircase: the first block adds
// k + i + z, a middle block k + i then k + i + z, the last block k + i). Edge order of bit
// v: its listed rows, or for an added parity bit k + i the checks i then i + 1 (staircase;
// the last bit has only check m - 1) or i - z then i (block staircase).
//
// A socket is the position of an edge in the partner node's list, so a message is
// reached in constant time from either side; every check edge c has the bit edge
// check_q_edge[c] and every bit edge b the check edge bit_r_edge[b].
struct SparseGraph {
  int n = 0;
  int m = 0;
  int k = 0;
  int z = 0;  // explicit parity columns of the block staircase; 0 otherwise
  Layout layout = Layout::kFull;

  std::vector<int> check_offset;   // m + 1: edges of check i are [check_offset[i], [i + 1])
  std::vector<int> check_bits;     // bit of each check edge
  std::vector<int> check_sockets;  // position of the check in that bit's list
  std::vector<int> check_q_edge;   // bit edge of each check edge: bit_offset[v] + socket

  std::vector<int> bit_offset;   // n + 1
  std::vector<int> bit_checks;   // check of each bit edge
  std::vector<int> bit_sockets;  // position of the bit in that check's list
  std::vector<int> bit_r_edge;   // check edge of each bit edge: check_offset[c] + socket

  std::size_t edges() const noexcept { return check_bits.size(); }
};

// Builds the graph of n code bits. Refuses, with an ArgumentError naming the first
// problem (error.hpp: its fault, h_rows or h_cols, the row and column), more checks than
// bits (Fault::kTooManyRows), a row count of h_cols that fits no layout (kBadRowCount),
// a block size that does not split the parity part into at least two blocks
// (kBlockSplit), a staircase row 0 or a block-staircase first- or last-block row with no
// listed column (kEmptyRow), a listed cell outside the explicit columns or the m rows
// (kNotPosition) or after an empty cell (kCellAfterEmpty), a position listed twice in a
// row (kRepeated), and matrices that do not describe the same H (kUnmatched).
SparseGraph make_sparse_graph(int n, MatrixView<const int> h_rows, MatrixView<const int> h_cols);

// Bytes of a graph with the given edge count (saturating).
std::uint64_t sparse_graph_bytes(std::size_t n, std::size_t m, std::size_t edges) noexcept;

// The sizes of a call's code: n bits (values per frame of the channel), m checks (rows
// of h_rows) of up to row_width listed cells, and the cells of h_cols.
struct SparseGraphShape {
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t row_width = 0;
  std::size_t col_cells = 0;
};

// The most edges a graph of this shape can have: every listed cell of h_rows and two
// parity bits per check (saturating).
std::uint64_t sparse_graph_edge_bound(const SparseGraphShape& shape) noexcept;

// ---------------------------------------------------------------------------------
// Flooding decoders

enum class DecoderKind { kSumProduct, kMinSum };

struct DecodeParams {
  int max_iter = 30;
  DecoderKind kind = DecoderKind::kSumProduct;
  float r_scale = 1.0f;    // multiplies every check-to-bit message
  float q_scale = 1.0f;    // multiplies every bit-to-check magnitude an iteration computes
  bool early_stop = true;  // stop after the first iteration without a data-bit error
};

// Messages of one block. The sum-product decoder holds a q magnitude as phi0 of the
// magnitude (the phi domain), the min-sum decoder as the magnitude itself.
struct GraphMessages {
  std::vector<float> channel;        // n channel values L
  std::vector<float> r;              // per check edge: check-to-bit message, signed
  std::vector<float> q_magnitude;    // per bit edge
  std::vector<std::int32_t> q_sign;  // per bit edge: 1 = negative
};

// Sets the channel values and the starting q messages from them (magnitude phi0(|L|) or
// |L|, sign bit 1 for L < 0); the scale factors do not apply to these.
void init_messages(const SparseGraph& graph, std::span<const float> channel, DecoderKind kind,
                   GraphMessages& messages);

// One flooding iteration: every check from the q messages, then every bit. Writes the n
// hard decisions (1 where the total T = L + sum of r is negative).
void iterate(const SparseGraph& graph, const DecodeParams& params, GraphMessages& messages,
             std::span<std::uint8_t> decisions);

// Decodes one block of n channel values. decisions: max_iter rows of n (row t after
// iteration t + 1, rows of iterations not run set to 0); errors: max_iter counts of
// data bits 0..k-1 whose decision differs from data (k values), 0 for iterations not run.
// Returns the number of iterations run. Polls `interrupt` between iterations once every
// few milliseconds of work.
int decode(const SparseGraph& graph, std::span<const float> channel, const DecodeParams& params,
           std::span<const int> data, std::span<std::uint8_t> decisions, std::span<int> errors,
           const Interrupt& interrupt = {});

// Bytes decode takes besides the graph and its outputs (saturating).
std::uint64_t decode_bytes(std::size_t n, std::size_t edges) noexcept;

// What a call of decode on a code of this shape needs: the index cells, the graph, the
// working memory, single-precision channel values, data bits and the decisions and
// error counts of every iteration (results: max_iter x n decisions and max_iter counts).
CallMemory sparse_graph_solve_memory(const SparseGraphShape& shape, int max_iter) noexcept;

// ---------------------------------------------------------------------------------
// Encoder of the staircase layouts
//
// codeword = data (k bits) followed by m parity bits computed row by row by back-
// substitution through the dual-diagonal part. h_rows (m rows): every non-zero cell is a
// 1-based position truncated toward zero, in 1..k+m; rows list the data columns and, for
// the block staircase, the columns of the first parity block. p (z x z, z = 0 for the
// staircase): the inverse over GF(2) of the sum of the z x z blocks of the first parity
// block column, entries read truncated toward zero; it is not tested for being that
// inverse. A listed parity position reads the bit computed so far (0 when not yet
// computed).
//
// Refuses data other than 0 and 1, positions outside 1..k+m, p entries other than 0 and 1
// after truncation, and a z that does not divide k and m (or exceeds m); throws
// std::invalid_argument before writing anything.
void encode(std::span<const double> data, MatrixView<const double> h_rows,
            MatrixView<const double> p, std::span<double> codeword);

}  // namespace linkforge::ldpc
