#include "linkforge/error.hpp"

#include <cstdio>

namespace linkforge {

namespace {

std::string num(std::int64_t value) {
  return std::to_string(value);
}

std::string real_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string cell(const Refusal& r) {
  std::string s = r.argument;
  if (r.row < 0) return s;
  s.append("[").append(num(r.row));
  if (r.col >= 0) s.append(", ").append(num(r.col));
  return s.append("]");
}

std::string range(std::int64_t limit) {
  return "0.." + num(limit - 1);
}

}  // namespace

std::string describe(const Refusal& r) {
  const std::string a = r.argument;
  const std::string o = r.other;
  switch (r.fault) {
    case Fault::kOther:
      break;
    case Fault::kNotPosition:
      return cell(r) + " = " + num(r.value) + " is not a position in " + range(r.limit);
    case Fault::kNotPositionValue:
      return cell(r) + " = " + real_text(r.real) + " is not a position in 1.." + num(r.limit);
    case Fault::kNotIndex:
      return cell(r) + " = " + num(r.value) + " lies outside " + range(r.limit);
    case Fault::kCellAfterEmpty:
      return cell(r) + " is empty, but later cells of its row are listed";
    case Fault::kTooManyEntries:
      return "a row of " + a + " lists too many entries";
    case Fault::kTooManyEdges:
      return (a.empty() ? std::string("the graph") : a) + " has too many edges";
    case Fault::kTooManyRows:
      return a + " has " + num(r.value) + " rows, more than the " + num(r.limit) + " code bits";
    case Fault::kBadRowCount:
      return a + " has " + num(r.value) + " rows; it needs " + num(r.limit) + " or " +
             num(r.extra) + ".." + num(r.limit);
    case Fault::kBlockSplit:
      return "z = " + num(r.value) + " (rows of " + a + " beyond the " + num(r.extra) +
             " data columns) does not split the " + num(r.limit) +
             " parity bits into two or more blocks";
    case Fault::kEmptyRow:
      return "row " + num(r.row) + " of " + a + " lists nothing; " +
             (r.value == 0 ? "the first check of the staircase layout needs an entry"
                           : "every check of the first and last blocks needs an entry");
    case Fault::kUnmatched:
      return "row " + num(r.row) + " of " + a + " lists " + num(r.value) + ", but row " +
             num(r.value) + " of " + o + " does not list " + num(r.row);
    case Fault::kRepeated:
      return "row " + num(r.row) + " of " + a + " lists " + num(r.value) + " twice";
    case Fault::kNotBinary:
      return cell(r) + " = " + real_text(r.real) + " is not 0 or 1";
    case Fault::kNotSquare:
      return a + " is " + num(r.value) + " x " + num(r.limit) + ", not square";
    case Fault::kNoDivide:
      return "z = " + num(r.value) + " (the rows of " + a +
             ") must divide both k = " + num(r.limit) + " and m = " + num(r.extra) +
             ", with m >= z";
    case Fault::kNegativeDegree:
      return cell(r) + " has degree " + num(r.value) + " < 0";
    case Fault::kFewerRows:
      return a + " has " + num(r.value) + " rows, fewer than the " + num(r.limit) +
             " elements of " + o;
    case Fault::kFewerColumns:
      return a + " has " + num(r.value) + " columns, fewer than the degree " + num(r.limit) +
             " of " + o + "[" + num(r.row) + "]";
    case Fault::kRowPerElement:
      return a + " has " + num(r.value) + " rows, not one per each of the " + num(r.limit) +
             " elements of " + o;
    case Fault::kValuePerElement:
      return a + " holds " + num(r.value) + " values, not one per each of the " + num(r.limit) +
             " elements of " + o;
    case Fault::kEdgeTarget:
      return "edge " + num(r.col) + " of " + a + "[" + num(r.row) + "] leads to " + o + "[" +
             num(r.value) + "], outside " + range(r.limit);
    case Fault::kEdgeSocket:
      return "edge " + num(r.col) + " of " + a + "[" + num(r.row) + "] has socket " + num(r.value) +
             ", but " + o + "[" + num(r.extra) + "] has " + num(r.limit) + " edges";
    case Fault::kShortArray:
      return cell(r) + " has an array shorter than its degree";
    case Fault::kNotMultiple:
      return "the length of " + a + " must be a multiple of n, the number of rows in g";
    case Fault::kShorterThanTail:
      return r.value == 0 ? a + " is shorter than the K - 1 tail steps of a terminated code"
                          : std::string("a tail-biting block needs at least K - 1 data bits");
    case Fault::kEmptyBlock:
      return "a tail-biting block needs at least one trellis step";
    case Fault::kNoModel:
      return a + " names a model that is not implemented";
    case Fault::kNotPositive:
      return a + " = " + real_text(r.real) + " must be a positive number";
    case Fault::kShorterThanCrc:
      return a + " holds " + num(r.value) + " bits per frame, fewer than the " + num(r.limit) +
             " parity bits of CRC '" + o + "'";
    case Fault::kNotPowerOfTwo:
      return a + " must be a power of two from " + num(r.extra) + " to " + num(r.limit) + ", got " +
             num(r.value);
    case Fault::kOutOfRange:
      return a + " must be from " + num(r.extra) + " to " + num(r.limit) + ", got " + num(r.value);
    case Fault::kNaN:
      return cell(r) + " is NaN";
    case Fault::kNoDataBeforeCrc:
      return a + " = " + num(r.value) + " leaves no data before the " + num(r.limit) +
             " parity bits of CRC " + o;
  }
  return a + " is not valid";
}

}  // namespace linkforge
