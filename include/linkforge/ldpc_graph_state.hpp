// Sum-product decoder over caller-held state: one set-up call per received block and one
// call per flooding iteration, so the caller can do its own work between iterations.
//
// The state is one record per node whose arrays the caller owns (a host keeps them in
// structure arrays and hands over the data pointers of their fields):
//
//   variable node (bit) v                   check node i
//   degree       int32  1                   degree   int32  1
//   channel      single 1                   bits     int32  d_c   0-based bit indices
//   checks       int32  d_v  0-based        r        single d_c   check-to-bit messages
//   sockets      int32  d_v                 sockets  int32  d_c
//   q_magnitude  single d_v  phi0(|q|)
//   q_sign       int32  d_v  1 = negative
//
// A socket is the position of an edge in the partner's list. Degrees are set by the
// caller and only read. The set-up takes values positive favouring 0 (as the flooding
// decoder); a step takes this call's channel values with the opposite sign (positive
// favouring 1): with the negated values, a step is one sum-product iteration of the
// flooding decoder with both scale factors 1, up to rounding.
//
// Messages name nodes by their 1-based element number, as the host numbers them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "linkforge/interrupt.hpp"
#include "linkforge/ldpc.hpp"

namespace linkforge::ldpc {

// Pointers to the arrays of one node, in field order. Each array holds at least as
// many elements as the node's degree (the scalars one).
struct VnPtrs {
  std::int32_t* degree;
  float* channel;
  std::int32_t* checks;
  std::int32_t* sockets;
  float* q_magnitude;
  std::int32_t* q_sign;
};

struct CnPtrs {
  std::int32_t* degree;
  std::int32_t* bits;
  float* r;
  std::int32_t* sockets;
};

// Host-independent storage of the same arrays, one vector per field.
struct VnState {
  std::int32_t degree = 0;
  float channel = 0.0f;
  std::vector<std::int32_t> checks;
  std::vector<std::int32_t> sockets;
  std::vector<float> q_magnitude;
  std::vector<std::int32_t> q_sign;

  bool operator==(const VnState&) const = default;
};

struct CnState {
  std::int32_t degree = 0;
  std::vector<std::int32_t> bits;
  std::vector<float> r;
  std::vector<std::int32_t> sockets;

  bool operator==(const CnState&) const = default;
};

// Zero-filled state of the given degrees (each >= 0).
std::vector<VnState> make_vn_state(std::span<const int> degrees);
std::vector<CnState> make_cn_state(std::span<const int> degrees);

// Records pointing into host-independent state; throws std::invalid_argument when the
// sizes differ or an array is shorter than its node's degree.
void GetVnPtrs(std::span<VnState> state, std::span<VnPtrs> records);
void GetCnPtrs(std::span<CnState> state, std::span<CnPtrs> records);

// ---------------------------------------------------------------------------------
// Set-up helpers, in the order graph_state_setup calls them. Index matrices hold 0-based
// indices already truncated; only the first degree cells of a row are read. Each helper
// checks the indices it follows and throws std::invalid_argument before writing.

// Bit list of every check i from row i of check_index (one row per check); entries in
// 0..n-1.
void SetCnInd(std::span<const CnPtrs> cn, MatrixView<const int> check_index, int n);

// Per bit v: channel = input[v] in single precision; per edge j: check c = var_index(v, j)
// (0..m-1), socket = the first position of v in the bit list of c (left as it was when c
// has no edge to v), q magnitude phi0(|input[v] in single|), sign bit input[v] < 0.
// var_index has at least n rows; its row count is the row stride.
void SetVnSt(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
             MatrixView<const int> var_index, std::span<const double> input);

// Per check edge (i, j): socket = the first position of i in the check list of its bit
// (left as it was when that bit has no edge to i).
void SetCnSock(std::span<const CnPtrs> cn, std::span<const VnPtrs> vn);

// Validates every index first, then runs SetCnInd, SetVnSt and SetCnSock: each searches
// the lists the one before it wrote. The r messages are not touched; the first step
// computes them before reading any.
void graph_state_setup(std::span<const double> input, MatrixView<const int> check_index,
                       MatrixView<const int> var_index, std::span<const VnPtrs> vn,
                       std::span<const CnPtrs> cn);

// ---------------------------------------------------------------------------------
// One iteration over the first `checks` check nodes and the first n = input.size() bits.
// The records may describe more nodes than are processed: a processed node's lists may
// name any record, whose messages are then read but not updated. Checks every index and
// socket of the processed nodes first (they must point at existing records and edges),
// then:
//   checks (degree 0 skipped): S = sum of the q magnitudes in edge order, X = exclusive-or
//     of the sign bits; r_j = phi0(S - q_j), negated when sign bit j differs from X;
//   bits: R = sum of the r messages in edge order from 0 (single precision);
//     output[v] = input[v] - R (double); decisions[v] = output[v] > 0;
//     per edge E = -output[v] - r_j rounded to single; q = phi0(|E|), sign bit E <= 0.
// input, output and decisions hold n <= vn.size() values, checks <= cn.size(); the
// channel field is not read. Polls `interrupt` every few milliseconds (an interrupted
// step leaves the messages part updated).
void graph_state_step(std::span<const double> input, std::span<const VnPtrs> vn,
                      std::span<const CnPtrs> cn, std::size_t checks, std::span<double> output,
                      std::span<int> decisions, const Interrupt& interrupt = {});

// Bytes of working memory graph_state_step takes for the first `bits` and `checks`
// records (a value per edge of either pass, and a parity per check).
std::uint64_t graph_state_step_bytes(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
                                     std::size_t bits, std::size_t checks) noexcept;

// What graph_state_setup needs besides the state for index matrices of the given cell
// counts, n bits and m checks: the index cells, the edge lists, the sockets and their
// search (at most six ints per cell and per node; no results).
CallMemory graph_state_setup_memory(std::size_t check_cells, std::size_t var_cells, std::size_t n,
                                    std::size_t m) noexcept;

// What a step over the first `bits` and `checks` records needs: its working memory and
// the decisions (results: the bits' output values and decisions).
CallMemory graph_state_step_memory(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
                                   std::size_t bits, std::size_t checks) noexcept;

}  // namespace linkforge::ldpc
