// The Octave wording of the kernels' typed refusals: the modules' argument names,
// rows, columns and listed positions counted from 1. Faults not worded here show the
// kernel's own description.
#include <cstdio>
#include <cstring>
#include <string>

#include "gateway.hpp"

namespace linkforge::mex {

namespace {

std::string num(std::int64_t value) {
  return std::to_string(value);
}

std::string real_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The module argument a kernel parameter stands for.
std::string host_name(const char* kernel_name) {
  if (std::strcmp(kernel_name, "h_rows") == 0) return "H_rows";
  if (std::strcmp(kernel_name, "h_cols") == 0) return "H_cols";
  if (std::strcmp(kernel_name, "p") == 0) return "P";
  if (std::strcmp(kernel_name, "e1") == 0) return "sqE1";
  if (std::strcmp(kernel_name, "e2") == 0) return "sqE2";
  if (std::strcmp(kernel_name, "list_size") == 0) return "L";
  return kernel_name;
}

// "a bit index" for an index into the bits (vn_state), "a check index" otherwise.
const char* index_kind(const std::string& into) {
  return into == "vn_state" || into == "check_index" ? "bit index" : "check index";
}

}  // namespace

std::string host_message(const ArgumentError& error) {
  const Refusal& r = error.refusal();
  const std::string a = host_name(r.argument);
  const std::string o = host_name(r.other);
  const std::string row = num(r.row + 1);
  const std::string col = num(r.col + 1);
  const std::string value1 = num(r.value + 1);
  switch (r.fault) {
    case Fault::kNotPosition:
      return a + "(" + row + "," + col + ") is not a position in 1.." + num(r.limit);
    case Fault::kNotPositionValue:
      return a + "(" + row + "," + col + ") = " + real_text(r.real) + " is not a position in 1.." +
             num(r.limit);
    case Fault::kNotIndex:
      return a + "(" + row + "," + col + ") is not a " + index_kind(r.argument) + " in 0.." +
             num(r.limit - 1);
    case Fault::kCellAfterEmpty:
      return a + "(" + row + "," + col + ") is empty but later cells of row " + row +
             " list positions; list the positions first, then zeros";
    case Fault::kTooManyEntries:
      return a + " has too many entries";
    case Fault::kTooManyEdges:
      return *r.argument == '\0' ? "the graph has too many edges"
                                 : "the graph state has too many edges";
    case Fault::kTooManyRows:
      return "Number of rows in " + a + " must not exceed number of received bits";
    case Fault::kBadRowCount:
      return "Number of rows in " + a +
             " must equal number of received bits or number of data bits";
    case Fault::kBlockSplit:
      return "Block staircase layout: z = " + num(r.value) + " (rows of " + a + " beyond the " +
             num(r.extra) + " data columns) must split the " + num(r.limit) +
             " parity bits into at least two blocks";
    case Fault::kEmptyRow:
      return "Row " + row + " of " + a +
             (r.value == 0 ? " lists no position; the first check of the staircase layout "
                             "needs one"
                           : " lists no position; every check of the first and last blocks "
                             "of the block staircase layout needs one");
    case Fault::kUnmatched:
      return "H_rows and H_cols disagree: row " + row + " of " + a + " lists position " + value1 +
             ", but row " + value1 + " of " + o + " does not list " + row;
    case Fault::kRepeated:
      return "Row " + row + " of " + a + " lists position " + value1 + " twice";
    case Fault::kNotBinary:
      if (r.row < 0) return a + " must hold only 0 and 1 (" + real_text(r.real) + " found)";
      return a + " must hold only 0 and 1 (" + a + "(" + row + ") is " + real_text(r.real) + ")";
    case Fault::kNotSquare:
      return a + " must be square, z x z (it is " + num(r.value) + " x " + num(r.limit) + ")";
    case Fault::kNoDivide:
      return "z = " + num(r.value) + " (the rows of " + a +
             ") must divide both k = " + num(r.limit) + " and m = " + num(r.extra) +
             ", with m >= z";
    case Fault::kNegativeDegree:
      return a + "(" + row + "): degree " + num(r.value) + " is negative";
    case Fault::kFewerRows:
      return a + " has " + num(r.value) + " rows, fewer than the " + num(r.limit) +
             " elements of " + o;
    case Fault::kFewerColumns:
      return a + " has " + num(r.value) + " columns, fewer than the degree " + num(r.limit) +
             " of " + o + "(" + row + ")";
    case Fault::kRowPerElement:
      return a + " must have one row per element of " + o;
    case Fault::kValuePerElement:
      return a + " must hold one value per element of " + o;
    case Fault::kEdgeTarget:
      return a + "(" + row + "): edge " + col + " leads to " + index_kind(r.other) + " " +
             num(r.value) + ", outside 0.." + num(r.limit - 1);
    case Fault::kEdgeSocket:
      return a + "(" + row + "): edge " + col + " has socket " + num(r.value) + ", but " +
             index_kind(r.other) + " " + num(r.extra) + " has " + num(r.limit) + " edges";
    case Fault::kShortArray:
      return a + "(" + row + "): an array is shorter than the degree";
    case Fault::kNotMultiple:
      return "Length of " + a + " must be a multiple of n, the number of rows in g";
    case Fault::kNoModel:
      return "full csi case (csi = 0) not implemented";
    case Fault::kNotPositive:
      return a + " must be a positive number when csi_flag is 2";
    case Fault::kShorterThanCrc:
      return "early_stop '" + o + "' needs frames of at least its " + num(r.limit) +
             " parity bits, not L = " + num(r.value);
    case Fault::kNaN:
      return a + "(" + row + "," + col + ") is NaN";
    case Fault::kNotPowerOfTwo:
    case Fault::kOutOfRange:
    case Fault::kNoDataBeforeCrc: {
      Refusal named = r;  // the kernel's sentence under the module's names
      named.argument = a.c_str();
      return describe(named);
    }
    case Fault::kShorterThanTail:
    case Fault::kEmptyBlock:
    case Fault::kOther:
      break;
  }
  return error.what();
}

}  // namespace linkforge::mex
