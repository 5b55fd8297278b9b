#include "binding.hpp"

#include <cmath>
#include <complex>
#include <cstdio>
#include <new>
#include <string_view>

#include "linkforge/memory.hpp"

namespace linkforge::python {

void fail(const std::string& message) {
  throw ValueFailure(message);
}

void fail_type(const std::string& message) {
  throw TypeFailure(message);
}

namespace {

// The exception a pending signal's handler raised while a kernel polled (the main
// thread's only: only it runs signal handlers), re-raised once the kernel has stopped.
PyObject* g_signal_type = nullptr;
PyObject* g_signal_value = nullptr;
PyObject* g_signal_traceback = nullptr;
unsigned long g_main_thread = 0;

bool python_signal_pending(void*) noexcept {
  if (PyThread_get_thread_ident() != g_main_thread) return false;
  const PyGILState_STATE state = PyGILState_Ensure();
  const bool raised = PyErr_CheckSignals() != 0;
  if (raised) {
    Py_CLEAR(g_signal_type);
    Py_CLEAR(g_signal_value);
    Py_CLEAR(g_signal_traceback);
    PyErr_Fetch(&g_signal_type, &g_signal_value, &g_signal_traceback);
  }
  PyGILState_Release(state);
  return raised;
}

constexpr Interrupt kPythonInterrupt{python_signal_pending};

void raise_interrupt() {
  if (g_signal_type != nullptr) {
    PyErr_Restore(g_signal_type, g_signal_value, g_signal_traceback);
    g_signal_type = g_signal_value = g_signal_traceback = nullptr;
  } else {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
  }
}


std::string dtype_name(const py::array& a) {
  return py::str(a.dtype()).cast<std::string>();
}

py::array as_array(py::handle value, const char* name) {
  if (py::isinstance<py::array>(value)) return py::reinterpret_borrow<py::array>(value);
  try {
    return py::module_::import("numpy").attr("asarray")(value);
  } catch (const py::error_already_set&) {
    fail_type(std::string(name) + " must be an array of numbers");
  }
}

bool aligned_strides(const py::array& a) {
  if (reinterpret_cast<std::uintptr_t>(a.data()) % alignof(double) != 0) return false;
  for (py::ssize_t i = 0; i < a.ndim(); ++i) {
    if (a.strides(i) % static_cast<py::ssize_t>(sizeof(double)) != 0) return false;
  }
  return true;
}

// A float64 or complex128 array (by `complex`) of the argument's values: the argument
// itself when it is one already and its strides are whole elements.
py::array usable_array(py::handle value, const char* name, Kind kind, bool& complex) {
  py::array a = as_array(value, name);
  const char k = a.dtype().kind();
  complex = k == 'c';
  if (complex && kind == Kind::kReal) {
    fail_type(std::string(name) + " must be real, not " + dtype_name(a));
  }
  if (k != 'b' && k != 'i' && k != 'u' && k != 'f' && !complex) {
    fail_type(std::string(name) + " must be an array of numbers, not " + dtype_name(a));
  }
  const bool in_place = complex ? py::array_t<std::complex<double>>::check_(a)
                                : py::array_t<double>::check_(a);
  if (in_place && aligned_strides(a)) return a;
  const std::string copy = std::string("the float64 copy of ") + name;
  require_memory(mul_sat(static_cast<std::uint64_t>(a.size()), complex ? 16 : 8), copy.c_str());
  return py::module_::import("numpy").attr("ascontiguousarray")(
      a, complex ? "complex128" : "float64");
}

[[noreturn]] void refuse_soft_value(double value, const char* name) {
  if (std::isnan(value)) fail(std::string(name) + " must not contain NaN");
  fail(std::string(name) + " holds a value beyond the single-precision range");
}

template <class Check>
void for_each_value(const FrameView<const double>& view, Check check) {
  for (std::size_t f = 0; f < view.frames; ++f) {
    for (std::size_t k = 0; k < view.length; ++k) check(view(f, k));
  }
}

}  // namespace

namespace {

// The Python wording of a kernel's refusal: the functions' argument names, indices from
// 0 as NumPy counts them, and the positions of H_rows and H_cols from 1 as the
// functions take them. Other faults keep the kernel's description under these names.
std::string python_message(const ArgumentError& error) {
  Refusal r = error.refusal();
  if (r.fault == Fault::kOther) return error.what();  // the text is the whole refusal
  const auto name = [](const char* kernel_name) -> const char* {
    const std::string_view n = kernel_name;
    return n == "h_rows"      ? "H_rows"
           : n == "h_cols"    ? "H_cols"
           : n == "p"         ? "P"
           : n == "e1"        ? "sqE1"
           : n == "e2"        ? "sqE2"
           : n == "list_size" ? "L"
                              : kernel_name;
  };
  r.argument = name(r.argument);
  r.other = name(r.other);
  const std::string a = r.argument;
  const std::string o = r.other;
  const auto num = [](std::int64_t v) { return std::to_string(v); };
  const std::string at = a + "[" + num(r.row) + ", " + num(r.col) + "]";
  switch (r.fault) {
    case Fault::kNotPosition:
      return at + " is not a position in 1.." + num(r.limit);
    case Fault::kCellAfterEmpty:
      return at +
             " is empty but later cells of its row list positions; list the positions "
             "first, then zeros";
    case Fault::kUnmatched:
      return "H_rows and H_cols disagree: " + a + "[" + num(r.row) + "] lists position " +
             num(r.value + 1) + ", but " + o + "[" + num(r.value) + "] does not list " +
             num(r.row + 1);
    case Fault::kRepeated:
      return a + "[" + num(r.row) + "] lists position " + num(r.value + 1) + " twice";
    case Fault::kTooManyRows:
      return a + " has " + num(r.value) + " rows, more than the " + num(r.limit) +
             " code bits of input";
    case Fault::kNotMultiple:
      return "the length of " + a + " must be a multiple of n, the number of rows in g_encoder";
    case Fault::kNoModel:
      return "full csi case (csi_flag = 0) not implemented";
    case Fault::kNotPositive:
      return a + " must be a positive number when csi_flag is 2";
    case Fault::kShorterThanCrc:
      return "early_stop '" + o + "' needs frames of at least its " + num(r.limit) +
             " parity bits, not L = " + num(r.value);
    case Fault::kBadRowCount:
      return a + " has " + num(r.value) + " rows; it needs one per code bit (" + num(r.limit) +
             ") or per data bit (" + num(r.extra) + ", or up to " + num(r.limit) +
             " for the block staircase layout)";
    default:
      return describe(r);
  }
}

}  // namespace

const Interrupt& python_interrupt() noexcept {
  return kPythonInterrupt;
}

void register_errors() {
  g_main_thread = py::module_::import("threading")
                      .attr("main_thread")()
                      .attr("ident")
                      .cast<unsigned long>();
  // Local: other pybind11 modules in the process keep their own translations.
  py::register_local_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Interrupted&) {
      raise_interrupt();
    } catch (const TypeFailure& e) {
      PyErr_SetString(PyExc_TypeError, e.what());
    } catch (const MemoryFailure& e) {
      PyErr_SetString(PyExc_MemoryError, e.what());
    } catch (const std::bad_alloc&) {
      PyErr_SetString(PyExc_MemoryError, "out of memory");
    } catch (const std::length_error& e) {
      PyErr_SetString(PyExc_MemoryError, e.what());
    } catch (const ValueFailure& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const ArgumentError& e) {
      PyErr_SetString(PyExc_ValueError, python_message(e).c_str());
    } catch (const std::invalid_argument& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::domain_error& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::out_of_range& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
}

void require_memory(std::uint64_t bytes, const char* what) {
  // A budget that is not a size throws std::invalid_argument: a ValueError.
  const auto refusal = memory_shortfall(
      bytes, what, std::string("os.environ[\"") + kMemoryBudgetVariable + "\"] = \"8G\"");
  if (refusal) throw MemoryFailure(*refusal);
}

Frames frames(py::handle value, const char* name, Kind kind) {
  Frames out;
  py::array a = usable_array(value, name, kind, out.complex);
  if (a.ndim() == 0) fail(std::string(name) + " must be an array of at least one axis, not a scalar");
  const py::ssize_t N = a.shape(a.ndim() - 1);
  for (py::ssize_t i = 0; i + 1 < a.ndim(); ++i) out.lead.push_back(a.shape(i));
  if (a.ndim() > 2) {
    a = a.attr("reshape")(py::make_tuple(static_cast<py::ssize_t>(product(out.lead)), N));
    if (!aligned_strides(a)) fail(std::string(name) + " cannot be viewed as frames");
  }
  const auto* base = static_cast<const double*>(a.data());
  const std::size_t F = a.ndim() == 1 ? 1 : static_cast<std::size_t>(a.shape(0));
  const std::ptrdiff_t es = a.strides(a.ndim() - 1) / 8;
  const std::ptrdiff_t fs = a.ndim() == 1 ? 0 : a.strides(0) / 8;
  out.re = {base, F, static_cast<std::size_t>(N), fs, es};
  if (out.complex) out.im = {base + 1, F, static_cast<std::size_t>(N), fs, es};
  out.keep = std::move(a);
  return out;
}

Vector vector(py::handle value, const char* name, Kind kind) {
  Vector out;
  py::array a = usable_array(value, name, kind, out.complex);
  if (a.ndim() != 1) {
    fail(std::string(name) + " must be a 1-D array, not " + std::to_string(a.ndim()) + "-D");
  }
  const auto n = static_cast<std::size_t>(a.shape(0));
  const py::ssize_t contiguous = out.complex ? 16 : 8;
  if (n > 1 && a.strides(0) != contiguous) {
    a = py::module_::import("numpy").attr("ascontiguousarray")(a);
  }
  const auto* base = static_cast<const double*>(a.data());
  if (out.complex) {
    // Real and imaginary parts interleave; the kernels take them apart.
    const std::string copy = std::string("the parts of ") + name;
    require_memory(mul_sat(n, 16), copy.c_str());
    auto parts = py::array_t<double>(static_cast<py::ssize_t>(2 * n));
    double* p = parts.mutable_data();
    for (std::size_t i = 0; i < n; ++i) {
      p[i] = base[2 * i];
      p[n + i] = base[2 * i + 1];
    }
    out.re = {p, n};
    out.im = {p + n, n};
    out.keep = std::move(parts);
    return out;
  }
  out.re = {base, n};
  out.keep = std::move(a);
  return out;
}

Matrix matrix(py::handle value, const char* name) {
  const Frames f = frames(value, name);
  if (f.lead.size() > 1) fail(std::string(name) + " must be a 1-D or 2-D array");
  Matrix m;
  m.rows = f.frames();
  m.cols = f.length();
  const std::string copy = std::string("the column-major copy of ") + name;
  require_memory(mul_sat(mul_sat(m.rows, m.cols), sizeof(double)), copy.c_str());
  m.values.resize(m.rows * m.cols);
  for (std::size_t r = 0; r < m.rows; ++r) {
    for (std::size_t c = 0; c < m.cols; ++c) m.values[r + c * m.rows] = f.re(r, c);
  }
  return m;
}

std::span<const double> frame_values(const FrameView<const double>& view, std::size_t f,
                                     std::vector<double>& buffer) {
  if (view.length == 0) return {};
  if (view.element_stride == 1) return {&view(f, 0), view.length};
  buffer.resize(view.length);
  for (std::size_t k = 0; k < view.length; ++k) buffer[k] = view(f, k);
  return buffer;
}

void refuse_nan(const FrameView<const double>& view, const char* name) {
  for_each_value(view, [name](double v) {
    if (std::isnan(v)) fail(std::string(name) + " must not contain NaN");
  });
}

void refuse_nan(std::span<const double> values, const char* name) {
  refuse_nan(FrameView<const double>::row_major(values.data(), 1, values.size()), name);
}

void refuse_bad_soft_values(const FrameView<const double>& view, const char* name) {
  for_each_value(view, [name](double v) {
    if (!std::isfinite(static_cast<float>(v))) refuse_soft_value(v, name);
  });
}

void refuse_bad_soft_values(std::span<const double> values, const char* name) {
  refuse_bad_soft_values(FrameView<const double>::row_major(values.data(), 1, values.size()),
                         name);
}

std::vector<float> soft_to_single(std::span<const double> values, const char* name) {
  refuse_bad_soft_values(values, name);
  return std::vector<float>(values.begin(), values.end());
}

std::vector<int> read_positions(std::span<const double> values, const char* name) {
  const std::size_t N = values.size();
  std::vector<int> positions(N);
  for (std::size_t k = 0; k < N; ++k) {
    const double a = values[k];
    if (!(a > -1.0 && a < static_cast<double>(N))) {
      char message[200];
      std::snprintf(message, sizeof message, "%s[%zu] = %g is not a 0-based index from 0 to %zu",
                    name, k, a, N - 1);
      fail(message);
    }
    positions[k] = static_cast<int>(a);
  }
  return positions;
}

int checked_range(long long value, long long low, long long high, const char* name,
                  const char* expected) {
  if (value < low || value > high) fail(std::string(name) + " must be " + expected);
  return static_cast<int>(value);
}

int read_threads(long long threads) {
  return checked_range(threads, 0, 1024, "threads", "0 (all) to 1024");
}

int read_max_star(long long type, const char* name) {
  return checked_range(type, 0, 4, name, "0 through 4");
}

OutFrames out_frames(const std::vector<py::ssize_t>& lead, std::size_t length) {
  std::vector<py::ssize_t> shape = lead;
  shape.push_back(static_cast<py::ssize_t>(length));
  py::array_t<double> array(shape);
  const std::size_t F = product(lead);
  return {array, FrameView<double>::row_major(array.mutable_data(), F, length)};
}

std::vector<py::ssize_t> shape_of(const std::vector<py::ssize_t>& lead,
                                  std::initializer_list<std::size_t> tail) {
  std::vector<py::ssize_t> shape = lead;
  for (const std::size_t d : tail) shape.push_back(static_cast<py::ssize_t>(d));
  return shape;
}

py::array_t<double> to_array(std::span<const double> values) {
  py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

py::array_t<std::int64_t> to_index_array(std::span<const int> values) {
  py::array_t<std::int64_t> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

}  // namespace linkforge::python
