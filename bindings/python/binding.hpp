// Shared layer of the Python module: NumPy arrays in and out, argument checks, the
// memory budget, running kernels without the GIL, and the one place where C++ errors
// become Python exceptions.
//
// Conventions for Python values:
// - Array arguments take NumPy arrays or anything numpy.asarray takes. Real arguments
//   accept boolean, integer and floating dtypes; float64 arrays are read where they lie
//   (any strides), other dtypes are converted to a float64 copy. Complex arguments
//   (samples, points, fading) also take complex dtypes; complex128 is read in place.
// - Batch first: the last axis holds one frame, every leading axis counts frames. A 1-D
//   array is one frame; an (F, N) array is F frames; (A, B, N) is A*B frames, and the
//   outputs keep the leading axes.
// - Scalars are Python numbers: counts and codes are ints, ratios are floats.
// - Outputs are new float64 arrays (int64 for indices and counts).
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/frames.hpp"
#include "linkforge/interrupt.hpp"
#include "linkforge/memory.hpp"

namespace linkforge::python {

namespace py = pybind11;

// ---------------------------------------------------------------------------------
// Errors: thrown anywhere, turned into Python exceptions by register_errors() only.

// A bad value or shape: ValueError.
class ValueFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A bad type or dtype: TypeError.
class TypeFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A call refused by the memory budget: MemoryError.
class MemoryFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message);
[[noreturn]] void fail_type(const std::string& message);

// The translation of every exception a binding lets escape:
//   ValueFailure, std::invalid_argument, std::domain_error, std::out_of_range  ValueError
//   TypeFailure                                                                 TypeError
//   MemoryFailure, std::bad_alloc, std::length_error                           MemoryError
//   linkforge::Interrupted                      KeyboardInterrupt (or what the signal raised)
void register_errors();

// The interrupt kernels poll: on the main thread, Python's pending signals (Ctrl-C);
// other threads are never interrupted. Call only while the GIL is released.
const Interrupt& python_interrupt() noexcept;

// Runs f() with the GIL released.
template <class F>
void without_gil(F&& f) {
  py::gil_scoped_release release;
  f();
}

// ---------------------------------------------------------------------------------
// Memory

// Refuses (MemoryError) a call that would hold more than linkforge::memory_limit allows,
// saying how much `what` would need and how to raise the budget.
void require_memory(std::uint64_t bytes, const char* what);

// What a call will hold at its peak (linkforge/memory.hpp); require() refuses the call
// through require_memory.
struct BindingMemory {
  static void require(std::uint64_t bytes, const char* what) { require_memory(bytes, what); }
  // Float64 or int64 arrays the function creates and returns.
  static std::uint64_t result_bytes(std::uint64_t count) noexcept { return mul_sat(count, 8); }
};
using MemoryEstimate = BasicMemoryEstimate<BindingMemory>;

// ---------------------------------------------------------------------------------
// Reading arrays

// F frames of N values of a real or complex argument. `re` (and `im` for a complex
// argument, empty otherwise) view the caller's array or a float64 copy held by `keep`.
struct Frames {
  py::array keep;
  FrameView<const double> re;
  FrameView<const double> im;
  std::vector<py::ssize_t> lead;  // leading (frame) axes; empty for a 1-D argument
  bool complex = false;

  std::size_t frames() const noexcept { return re.frames; }
  std::size_t length() const noexcept { return re.length; }
  bool single() const noexcept { return lead.empty(); }
};

enum class Kind { kReal, kComplex };

// Frames of an argument of at least one axis. kReal refuses complex dtypes (TypeError).
Frames frames(py::handle value, const char* name, Kind kind = Kind::kReal);

// A 1-D argument as contiguous values (a view or a copy): refuses other ranks.
struct Vector {
  py::array keep;
  std::span<const double> re;
  std::span<const double> im;  // empty for a real argument
  bool complex = false;
};
Vector vector(py::handle value, const char* name, Kind kind = Kind::kReal);

// A 2-D argument (a 1-D one is one row) as a column-major copy, as the kernels' matrix
// views take it.
struct Matrix {
  std::vector<double> values;
  std::size_t rows = 0;
  std::size_t cols = 0;
};
Matrix matrix(py::handle value, const char* name);

// Contiguous values of frame f (a view where the frame's elements are adjacent, else
// copied into `buffer`).
std::span<const double> frame_values(const FrameView<const double>& view, std::size_t f,
                                     std::vector<double>& buffer);

// Checks on values.
void refuse_nan(const FrameView<const double>& view, const char* name);
void refuse_nan(std::span<const double> values, const char* name);
// NaN, or a value whose single-precision rounding is not finite.
void refuse_bad_soft_values(const FrameView<const double>& view, const char* name);
void refuse_bad_soft_values(std::span<const double> values, const char* name);
std::vector<float> soft_to_single(std::span<const double> values, const char* name);

// Positions 0..N-1 of a permutation of N = values.size(), truncated toward zero.
std::vector<int> read_positions(std::span<const double> values, const char* name);

// Integer scalar checks: `value` within [low, high].
int checked_range(long long value, long long low, long long high, const char* name,
                  const char* expected);
// The thread count of the whole decoders: 0 (all) to 1024.
int read_threads(long long threads);
// The max-star operator number 0..4.
int read_max_star(long long type, const char* name);

// ---------------------------------------------------------------------------------
// Creating outputs

// A C-contiguous float64 array of the given leading axes and a last axis of `length`,
// with its row-major frame view. Count its bytes in the call's estimate first.
struct OutFrames {
  py::array_t<double> array;
  FrameView<double> view;
};
OutFrames out_frames(const std::vector<py::ssize_t>& lead, std::size_t length);

// Shape of leading axes plus the given trailing axes.
std::vector<py::ssize_t> shape_of(const std::vector<py::ssize_t>& lead,
                                  std::initializer_list<std::size_t> tail);

inline py::tuple as_tuple(const std::vector<py::ssize_t>& shape) {
  py::tuple t(shape.size());
  for (std::size_t i = 0; i < shape.size(); ++i) t[i] = py::int_(shape[i]);
  return t;
}

// 1-D arrays of the given values.
py::array_t<double> to_array(std::span<const double> values);
py::array_t<std::int64_t> to_index_array(std::span<const int> values);

// The number of frames of the given leading axes.
inline std::size_t product(const std::vector<py::ssize_t>& lead) {
  std::size_t p = 1;
  for (const py::ssize_t d : lead) p *= static_cast<std::size_t>(d);
  return p;
}

}  // namespace linkforge::python
