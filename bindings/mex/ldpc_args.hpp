// Reading the arguments of the sparse-graph code modules: index matrices and the
// caller-held decoder state (two structure arrays written in place).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gateway.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace linkforge::mex {

// Cells of a parity-check index matrix in the 1-based, zero-padded convention: a cell
// v > 0 becomes the 0-based position obtained by truncating v - 1 toward zero (so values
// in (0, 2) name position 0), any other cell (0, negative, NaN) becomes -1, empty.
std::vector<int> position_cells(const Matrix& matrix);

// Cells of a 0-based index matrix, truncated toward zero; NaN becomes -1, which no
// index check accepts, and values beyond the int range saturate.
std::vector<int> index_cells(const Matrix& matrix);

// A scale factor of the decoders, rounded to single precision; refused unless finite.
float read_scale_factor(const mxArray* array, const char* name);

// The shape of the code of n bits that make_code_graph builds from H_rows and H_cols.
ldpc::SparseGraphShape code_shape(std::size_t n, const Matrix& h_rows, const Matrix& h_cols);

// The Tanner graph of a code of n bits from its 1-based index matrices; refuses
// malformed matrices with the graph's own message.
ldpc::SparseGraph make_code_graph(int n, const Matrix& h_rows, const Matrix& h_cols);

// Which fields a module reads and writes: the set-up writes every list, the channel
// value and the q messages; a step reads the lists and writes the q and r messages.
enum class StateUse { kSetup, kStep };

struct GraphStateArgs {
  std::vector<ldpc::VnPtrs> vn;
  std::vector<ldpc::CnPtrs> cn;
};

// Reads the variable-node state (at least 6 fields) and the check-node state (at least 4
// fields) by field number, through GetVnPtrs and GetCnPtrs: one record per element. A
// set-up needs exactly n and m elements; a step at least n and m, the first n bits and m
// checks being the ones it processes. Refuses, before anything is written: other classes
// than structure arrays, other element counts, too few fields, fields the call uses that are unset, of another class,
// complex, or holding fewer values than the node's degree (one for the scalars), negative
// degrees, and fields the call writes whose data overlaps the data of any other field
// the call uses (arrays copied from one value share their storage in the host).
GraphStateArgs read_graph_state(const mxArray* vn_state, std::size_t n, const mxArray* cn_state,
                                std::size_t m, StateUse use);

}  // namespace linkforge::mex
