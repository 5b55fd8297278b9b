// Shared gateway layer between the MEX host interface and the kernels.
//
// Every module's mexFunction is one call of run(), which hands a Call to the module's
// body. A body reads and checks its arguments through the helpers below, converts
// them, calls its kernel and hands the results to Call::set_output. Problems are
// reported by throwing (fail(), std::bad_alloc, a kernel's ArgumentError, worded by
// host_message);
// run() catches them once every object of the body has been destroyed and only then
// raises the host error, so nothing the gateway allocated outlives an error whether
// the host's error service unwinds or jumps.
//
// Conventions for host values:
// - Matrices are column-major; a vector's length is its column count unless a module
//   says otherwise, and a scalar argument is the first element of its matrix.
// - Every real numeric or logical class is accepted and read as double; sparse, cell,
//   struct, char and function-handle arguments are refused where a matrix is expected.
// - Doubles become integers by truncation toward zero. trunc_to_int is defined for
//   every double; the checked readers refuse NaN, infinities and values outside the
//   int range wherever the value names a size, count, index or type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/scratch.hpp"
#include "mex.h"

namespace linkforge::mex {

// An argument problem: the one-line message the host shows.
class Failure {
 public:
  explicit Failure(std::string message) : message_(std::move(message)) {}
  const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

[[noreturn]] void fail(std::string message);

// The module's wording of a kernel's refusal (refusals.cpp).
std::string host_message(const ArgumentError& error);

class Output;

// Inputs and output slots of one call. The host provides max(nlhs, 1) output slots.
class Call {
 public:
  Call(int nlhs, mxArray** plhs, int nrhs, const mxArray** prhs)
      : nlhs_(nlhs), plhs_(plhs), nrhs_(nrhs), prhs_(prhs) {}

  int nargin() const noexcept { return nrhs_; }
  int nargout() const noexcept { return nlhs_; }
  const mxArray* arg(int i) const noexcept { return prhs_[i]; }

  // Hands an output to the host if a slot exists for it; otherwise the array is freed.
  void set_output(int index, Output&& output);

 private:
  int nlhs_;
  mxArray** plhs_;
  int nrhs_;
  const mxArray** prhs_;
};

using Body = void (*)(Call&);

// Runs a module body and turns every failure into one host error with identifier
// "linkforge:<module>". No exception of the body reaches the host; the host's own error
// service may unwind through run() (GNU Octave throws from it), so run() must not be
// noexcept.
void run(const char* module, Body body, int nlhs, mxArray** plhs, int nrhs, const mxArray** prhs);

// ---------------------------------------------------------------------------------
// Reading arguments

// Real (and, for complex arguments, imaginary) parts of a numeric or logical argument
// as doubles. Double arrays are viewed in place; other classes are converted.
class Matrix {
 public:
  // Refuses sparse and non-numeric arguments with a message naming `name`.
  Matrix(const mxArray* array, const char* name);
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
  Matrix(Matrix&&) = default;

  std::size_t rows() const noexcept { return rows_; }
  std::size_t cols() const noexcept { return cols_; }
  std::size_t size() const noexcept { return real_.size(); }
  bool empty() const noexcept { return real_.empty(); }
  bool is_complex() const noexcept { return complex_; }
  // All elements in column-major order.
  std::span<const double> real() const noexcept { return real_; }
  // Imaginary parts; empty for a real argument.
  std::span<const double> imag() const noexcept { return imag_; }
  double operator[](std::size_t i) const noexcept { return real_[i]; }

  // The first `count` elements; refuses an argument holding fewer.
  std::span<const double> first(std::size_t count) const;
  // A vector whose length is its column count: the first cols() elements. A matrix with
  // columns but no rows holds none of them and is refused.
  std::span<const double> row() const { return first(cols_); }
  // Imaginary parts of the first `count` elements: empty for a real argument; refuses a
  // complex argument holding fewer.
  std::span<const double> imag_first(std::size_t count) const {
    if (!complex_) return {};
    first(count);
    return imag_.first(count);
  }

 private:
  const char* name_;
  std::size_t rows_ = 0;
  std::size_t cols_ = 0;
  bool complex_ = false;
  std::span<const double> real_;
  std::span<const double> imag_;
  std::vector<double> real_copy_;
  std::vector<double> imag_copy_;
};

// Truncation toward zero defined for every double: NaN gives 0 and values beyond the
// int range saturate at its ends.
int trunc_to_int(double value) noexcept;

// Truncation toward zero for values that name a size, count, index or type: refuses
// NaN, infinities and values outside the int range with a message naming `name`.
int checked_int(double value, const char* name);

// First element of an argument, truncated toward zero as checked_int does; refuses an
// empty argument.
int scalar_int(const mxArray* array, const char* name);

// First element of an argument as a double; refuses an empty argument.
double scalar_double(const mxArray* array, const char* name);

// A permutation vector's entries: each truncated toward zero; refuses entries (NaN
// included) that do not name a position 0..N-1 of a block of N = values.size()
// ("<name>(k) = v is not a 0-based index from 0 to N-1", k counted from 1).
std::vector<int> read_positions(std::span<const double> values, const char* name);

// Refuse NaN ("<name> must not contain NaN") or any non-finite value ("<name> must not
// contain NaN or Inf") among `values`.
void refuse_nan(std::span<const double> values, const char* name);
void refuse_non_finite(std::span<const double> values, const char* name);

// Rounds doubles to single precision, as the soft kernels take them.
std::vector<float> to_single(std::span<const double> values);

// Soft values (log-likelihood ratios and metrics): a NaN is always an upstream fault
// (a 0/0 in a channel estimate) and a value whose single-precision rounding overflows
// (an infinity, or a magnitude of 3.4e38 or more) breaks the decoders' arithmetic, so
// both are refused ("<name> must not contain NaN", "<name> holds a value beyond the
// single-precision range"). soft_to_single converts while it checks.
void refuse_bad_soft_values(std::span<const double> values, const char* name);
std::vector<float> soft_to_single(std::span<const double> values, const char* name);

// Single-precision working values in memory kept from call to call (scratch.hpp): a
// module's inputs and outputs at the kernel's precision cost no fresh pages.
struct SingleArray {
  ScratchBlock block;
  std::span<float> values;
};
SingleArray single_array(std::size_t count);
// The same checks and rounding as soft_to_single.
SingleArray single_soft(std::span<const double> values, const char* name);

// Refuses a call that would hold more than the memory limit (linkforge/memory.hpp: a
// budget settable by LINKFORGE_MEMORY_BUDGET, narrowed by what the machine can give),
// saying how much `what` would need and how to raise the budget.
void require_memory(std::uint64_t bytes, const char* what);

// What a call will hold at its peak (linkforge/memory.hpp); require() refuses the call
// through require_memory.
struct GatewayMemory {
  static void require(std::uint64_t bytes, const char* what) { require_memory(bytes, what); }
  // Doubles, counted twice: the host copies what a module hands it.
  static std::uint64_t result_bytes(std::uint64_t count) noexcept {
    return mul_sat(count, 2 * sizeof(double));
  }
};
using MemoryEstimate = BasicMemoryEstimate<GatewayMemory>;

// The host's interrupt request (Ctrl-C) for kernels to poll. When a kernel stops on
// it, run() ends the call the way the host's own interrupt ends a statement, after every
// object of the body has been destroyed. Hosts without an interrupt interface (the
// standard MEX headers) never interrupt.
const Interrupt& host_interrupt() noexcept;

// ---------------------------------------------------------------------------------
// Creating outputs

// A host double matrix owned by the gateway until Call::set_output hands it over;
// destroyed with the gateway's other objects when an error unwinds the body.
class Output {
 public:
  static Output real(std::size_t rows, std::size_t cols);
  // Not zero-filled: for outputs whose every element the module writes.
  static Output real_uninit(std::size_t rows, std::size_t cols);
  static Output complex(std::size_t rows, std::size_t cols);
  // A rows x cols x pages real array.
  static Output real_pages(std::size_t rows, std::size_t cols, std::size_t pages);

  Output(Output&& other) noexcept : array_(other.array_) { other.array_ = nullptr; }
  Output& operator=(Output&&) = delete;
  Output(const Output&) = delete;
  ~Output();

  std::span<double> real() noexcept;
  std::span<double> imag() noexcept;
  mxArray* release() noexcept;

  // Copies numbers of any arithmetic type into the real part, widening to double.
  template <class Range>
  void assign(const Range& values) {
    const std::span<double> out = real();
    std::size_t i = 0;
    for (const auto& v : values) {
      if (i == out.size()) break;
      out[i++] = static_cast<double>(v);
    }
  }

 private:
  explicit Output(mxArray* array) noexcept : array_(array) {}
  mxArray* array_;
};

}  // namespace linkforge::mex
