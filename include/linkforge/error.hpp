// Typed refusals. A kernel that refuses its arguments throws ArgumentError: what was
// wrong (a Fault), which argument (the kernel's own parameter name), where (0-based row
// and column) and the numbers involved. what() gives a plain description in the
// kernel's terms, 0-based; each host words the faults its users see in its own table
// (bindings/mex/refusals.cpp, bindings/python/binding.cpp) and falls back on what()
// for the rest.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace linkforge {

// The meaning of Refusal's fields for each fault; `argument` is always the argument at
// fault, `other` the one it is compared with.
enum class Fault : std::uint8_t {
  kOther,             // no fields: what() says it (misuse of the C++ interface itself)
  kNotPosition,       // argument(row, col) = value is not a position in 0..limit-1
  kNotPositionValue,  // argument(row, col) = real, a cell of a matrix of 1-based positions
                      // held as real numbers, is not a position in 1..limit
  kNotIndex,          // argument(row, col) = value lies outside 0..limit-1
  kCellAfterEmpty,    // argument(row, col) is empty, but later cells of the row are listed
  kTooManyEntries,    // a row of argument lists more entries than an int counts
  kTooManyEdges,      // the graph (argument: the state) has more edges than an int counts
  kTooManyRows,       // argument has value rows, more than the limit code bits
  kBadRowCount,       // argument has value rows: neither limit nor in extra..limit
  kBlockSplit,        // z = value rows beyond the extra data columns do not split the limit
                      // parity bits into two or more blocks
  kEmptyRow,          // row `row` of argument lists nothing; the first check (value 0) or
                      // every check of the first and last blocks (value 1) needs one
  kUnmatched,         // row `row` of argument lists value; row value of other does not list row
  kRepeated,          // row `row` of argument lists value twice
  kNotBinary,         // argument(row) = real is not 0 or 1 (row -1: some cell of argument)
  kNotSquare,         // argument is value x limit, not square
  kNoDivide,          // z = value (the rows of argument) does not divide both k = limit and
                      // m = extra, or m < z
  kNegativeDegree,    // node `row` of argument has degree value < 0
  kFewerRows,         // argument has value rows, fewer than the limit elements of other
  kFewerColumns,      // argument has value columns, fewer than the degree limit of other(row)
  kRowPerElement,     // argument has value rows, not one per each of the limit elements of other
  kValuePerElement,   // argument holds value values, not one per each of the limit of other
  kEdgeTarget,        // edge col of node row of argument leads to node value of other,
                      // outside 0..limit-1
  kEdgeSocket,        // edge col of node row of argument has socket value, but node extra
                      // of other has limit edges
  kShortArray,        // node `row` of argument has an array shorter than its degree
  kNotMultiple,       // argument holds value values, not a multiple of limit (the code
                      // bits per trellis step)
  kShorterThanTail,   // argument is shorter than the limit (K - 1) tail steps of a
                      // terminated block (value 0), or holds fewer than limit data bits of
                      // a tail-biting one (value 1)
  kEmptyBlock,        // argument holds no trellis step of a tail-biting block
  kNoModel,           // argument names a model the kernel does not have
  kNotPositive,       // argument = real is not a positive finite number
  kShorterThanCrc,    // argument holds value bits per frame, fewer than the limit parity
                      // bits of CRC `other` (its label) that the frames must pass
  kNotPowerOfTwo,     // argument = value is not a power of two from extra to limit
  kOutOfRange,        // argument = value lies outside extra..limit
  kNaN,               // argument(row, col) is NaN
  kNoDataBeforeCrc,   // argument = value bits leave no data before the limit parity bits of
                      // CRC `other` (its label)
};

struct Refusal {
  Fault fault = Fault::kOther;
  const char* argument = "";  // static strings: the kernel's parameter names
  const char* other = "";
  std::int64_t row = -1;
  std::int64_t col = -1;
  std::int64_t value = 0;
  std::int64_t limit = 0;
  std::int64_t extra = 0;
  double real = 0.0;
};

// The plain description what() returns: the kernel's names, 0-based places.
std::string describe(const Refusal& refusal);

class ArgumentError : public std::invalid_argument {
 public:
  explicit ArgumentError(const Refusal& refusal)
      : std::invalid_argument(describe(refusal)), refusal_(refusal) {}
  // A fault with no fields of its own: `text` says it.
  explicit ArgumentError(const std::string& text) : std::invalid_argument(text) {}
  const Refusal& refusal() const noexcept { return refusal_; }

 private:
  Refusal refusal_;
};

}  // namespace linkforge
