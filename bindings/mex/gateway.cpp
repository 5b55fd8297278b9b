#include "gateway.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>

#include <utility>

#include "linkforge/checked.hpp"
#include "linkforge/memory.hpp"

// GNU Octave's own header exposes its pending signals; other hosts build without it.
#if __has_include("quit.h")
#include "quit.h"
#define LINKFORGE_HOST_SIGNALS 1
#else
#define LINKFORGE_HOST_SIGNALS 0
#endif

namespace linkforge::mex {

void fail(std::string message) {
  throw Failure(std::move(message));
}

namespace {

// The message outlives the body's objects in static storage, so raising the host
// error needs no allocation and leaves nothing behind if the host never returns.
char g_message[1024];
char g_identifier[128];

void store(char* buffer, std::size_t size, std::string_view text) noexcept {
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

template <class T>
void widen(const void* data, std::size_t count, std::vector<double>& out) {
  const T* p = static_cast<const T*>(data);
  out.resize(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<double>(p[i]);
}

// Converts the class of `array` to doubles; returns false for non-numeric classes.
bool widen_any(mxClassID id, const void* data, std::size_t count, std::vector<double>& out) {
  switch (id) {
    case mxSINGLE_CLASS:
      widen<float>(data, count, out);
      return true;
    case mxINT8_CLASS:
      widen<std::int8_t>(data, count, out);
      return true;
    case mxUINT8_CLASS:
      widen<std::uint8_t>(data, count, out);
      return true;
    case mxINT16_CLASS:
      widen<std::int16_t>(data, count, out);
      return true;
    case mxUINT16_CLASS:
      widen<std::uint16_t>(data, count, out);
      return true;
    case mxINT32_CLASS:
      widen<std::int32_t>(data, count, out);
      return true;
    case mxUINT32_CLASS:
      widen<std::uint32_t>(data, count, out);
      return true;
    case mxINT64_CLASS:
      widen<std::int64_t>(data, count, out);
      return true;
    case mxUINT64_CLASS:
      widen<std::uint64_t>(data, count, out);
      return true;
    case mxLOGICAL_CLASS:
      widen<mxLogical>(data, count, out);
      return true;
    default:
      return false;
  }
}


#if LINKFORGE_HOST_SIGNALS
// What the host's signal handling threw when a kernel polled during this call: the
// interrupt (or quit) it raises for a pending Ctrl-C, rethrown once the body is gone.
std::exception_ptr g_host_signal;

bool host_signal_pending(void*) noexcept {
  if (octave_signal_caught == 0) return false;
  try {
    octave_quit();  // handles the pending signal; throws for an interrupt
  } catch (...) {
    g_host_signal = std::current_exception();
    return true;
  }
  return false;  // another signal, handled: carry on
}

constexpr Interrupt kHostInterrupt{host_signal_pending};
#else
constexpr Interrupt kHostInterrupt{};
#endif

}  // namespace

const Interrupt& host_interrupt() noexcept {
  return kHostInterrupt;
}

void run(const char* module, Body body, int nlhs, mxArray** plhs, int nrhs, const mxArray** prhs) {
  bool failed = true;
#if LINKFORGE_HOST_SIGNALS
  g_host_signal = nullptr;
#endif
  try {
    Call call(nlhs, plhs, nrhs, prhs);
    body(call);
    failed = false;
  } catch (const Interrupted&) {
#if LINKFORGE_HOST_SIGNALS
    if (g_host_signal) std::rethrow_exception(std::exchange(g_host_signal, nullptr));
#endif
    store(g_message, sizeof g_message, "interrupted");
  } catch (const Failure& f) {
    store(g_message, sizeof g_message, f.message());
  } catch (const std::bad_alloc&) {
    store(g_message, sizeof g_message, "out of memory");
  } catch (const ArgumentError& e) {
    try {
      store(g_message, sizeof g_message, host_message(e));
    } catch (...) {
      store(g_message, sizeof g_message, e.what());
    }
  } catch (const std::exception& e) {
    store(g_message, sizeof g_message, e.what());
  } catch (...) {
    store(g_message, sizeof g_message, "internal error");
  }
  if (!failed) return;
  std::snprintf(g_identifier, sizeof g_identifier, "linkforge:%s", module);
  mexErrMsgIdAndTxt(g_identifier, "%s", g_message);
}

void Call::set_output(int index, Output&& output) {
  const int slots = nlhs_ > 0 ? nlhs_ : 1;
  if (index < slots) plhs_[index] = output.release();
  // otherwise `output` frees the array when it goes out of scope
}

Matrix::Matrix(const mxArray* array, const char* name) : name_(name) {
  if (array == nullptr) fail(std::string(name) + " is missing");
  if (mxIsSparse(array)) fail(std::string(name) + " must be a full matrix, not a sparse one");
  if (!mxIsNumeric(array) && !mxIsLogical(array)) {
    fail(std::string(name) + " must be a numeric or logical array, not " + mxGetClassName(array));
  }
  rows_ = mxGetM(array);
  cols_ = mxGetN(array);
  const std::size_t count = mxGetNumberOfElements(array);
  complex_ = mxIsComplex(array);
  if (count == 0) return;
  const mxClassID id = mxGetClassID(array);
  if (id == mxDOUBLE_CLASS) {
    real_ = {mxGetPr(array), count};
    if (complex_) imag_ = {mxGetPi(array), count};
    return;
  }
  const std::string copy = std::string("the double copy of ") + name;
  require_memory(MemoryEstimate().values<double>(complex_ ? 2 * count : count).total(),
                 copy.c_str());
  if (!widen_any(id, mxGetData(array), count, real_copy_)) {
    fail(std::string(name) + " must be a numeric or logical array, not " + mxGetClassName(array));
  }
  real_ = real_copy_;
  if (complex_) {
    widen_any(id, mxGetImagData(array), count, imag_copy_);
    imag_ = imag_copy_;
  }
}

std::span<const double> Matrix::first(std::size_t count) const {
  if (real_.size() >= count) return real_.first(count);
  if (rows_ == 0)
    fail(std::string(name_) + " has " + std::to_string(cols_) + " columns but no rows");
  fail(std::string(name_) + " must hold at least " + std::to_string(count) + " values");
}

int trunc_to_int(double value) noexcept {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(value);  // in range: truncates toward zero
}

int checked_int(double value, const char* name) {
  if (!std::isfinite(value)) fail(std::string(name) + " must be a finite number");
  // Truncation keeps every value above -2^31 - 1 and below 2^31 inside the int range.
  if (!(value > -2147483649.0 && value < 2147483648.0)) {
    fail(std::string(name) + " is out of range");
  }
  return static_cast<int>(value);
}

int scalar_int(const mxArray* array, const char* name) {
  const Matrix m(array, name);
  if (m.empty()) fail(std::string(name) + " must not be empty");
  return checked_int(m[0], name);
}

double scalar_double(const mxArray* array, const char* name) {
  const Matrix m(array, name);
  if (m.empty()) fail(std::string(name) + " must not be empty");
  return m[0];
}

std::vector<int> read_positions(std::span<const double> values, const char* name) {
  const std::size_t N = values.size();
  std::vector<int> positions(N);
  for (std::size_t k = 0; k < N; ++k) {
    const double a = values[k];
    if (!(a > -1.0 && a < static_cast<double>(N))) {
      // Spelled as the host prints them.
      char value[32];
      if (std::isnan(a)) {
        std::snprintf(value, sizeof value, "NaN");
      } else if (std::isinf(a)) {
        std::snprintf(value, sizeof value, a > 0 ? "Inf" : "-Inf");
      } else {
        std::snprintf(value, sizeof value, "%g", a);
      }
      char message[200];
      std::snprintf(message, sizeof message, "%s(%zu) = %s is not a 0-based index from 0 to %zu",
                    name, k + 1, value, N - 1);
      fail(message);
    }
    positions[k] = static_cast<int>(a);
  }
  return positions;
}

void refuse_nan(std::span<const double> values, const char* name) {
  for (const double v : values) {
    if (std::isnan(v)) fail(std::string(name) + " must not contain NaN");
  }
}

void refuse_non_finite(std::span<const double> values, const char* name) {
  for (const double v : values) {
    if (!std::isfinite(v)) fail(std::string(name) + " must not contain NaN or Inf");
  }
}

namespace {

[[noreturn]] void refuse_soft_value(double value, const char* name) {
  if (std::isnan(value)) fail(std::string(name) + " must not contain NaN");
  fail(std::string(name) + " holds a value beyond the single-precision range");
}

}  // namespace

void refuse_bad_soft_values(std::span<const double> values, const char* name) {
  for (const double v : values) {
    if (!std::isfinite(static_cast<float>(v))) refuse_soft_value(v, name);
  }
}

std::vector<float> soft_to_single(std::span<const double> values, const char* name) {
  std::vector<float> out(values.size());
  bool finite = true;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out[i] = static_cast<float>(values[i]);
    finite &= std::isfinite(out[i]);
  }
  if (!finite) refuse_bad_soft_values(values, name);
  return out;
}

SingleArray single_array(std::size_t count) {
  SingleArray a{ScratchBlock(count * sizeof(float)), {}};
  a.values = a.block.as<float>(count);
  return a;
}

SingleArray single_soft(std::span<const double> values, const char* name) {
  SingleArray a = single_array(values.size());
  bool finite = true;
  for (std::size_t i = 0; i < values.size(); ++i) {
    a.values[i] = static_cast<float>(values[i]);
    finite &= std::isfinite(a.values[i]);
  }
  if (!finite) refuse_bad_soft_values(values, name);
  return a;
}

std::vector<float> to_single(std::span<const double> values) {
  std::vector<float> out(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) out[i] = static_cast<float>(values[i]);
  return out;
}

void require_memory(std::uint64_t bytes, const char* what) {
  // A budget that is not a size throws std::invalid_argument, which run() reports.
  const auto refusal = memory_shortfall(
      bytes, what, std::string("setenv (\"") + kMemoryBudgetVariable + "\", \"8G\")");
  if (refusal) fail(*refusal);
}

Output Output::real(std::size_t rows, std::size_t cols) {
  require_memory(MemoryEstimate().output(rows, cols).total(), "the output");
  mxArray* array = mxCreateDoubleMatrix(rows, cols, mxREAL);
  if (array == nullptr) throw std::bad_alloc();
  return Output(array);
}

Output Output::real_uninit(std::size_t rows, std::size_t cols) {
  require_memory(MemoryEstimate().output(rows, cols).total(), "the output");
  mxArray* array = mxCreateUninitNumericMatrix(rows, cols, mxDOUBLE_CLASS, mxREAL);
  if (array == nullptr) throw std::bad_alloc();
  return Output(array);
}

Output Output::real_pages(std::size_t rows, std::size_t cols, std::size_t pages) {
  require_memory(MemoryEstimate().output(mul_sat(rows, cols), pages).total(), "the output");
  const mwSize dims[3] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols),
                          static_cast<mwSize>(pages)};
  mxArray* array = mxCreateNumericArray(3, dims, mxDOUBLE_CLASS, mxREAL);
  if (array == nullptr) throw std::bad_alloc();
  return Output(array);
}

Output Output::complex(std::size_t rows, std::size_t cols) {
  require_memory(MemoryEstimate().output(rows, cols, true).total(), "the output");
  mxArray* array = mxCreateDoubleMatrix(rows, cols, mxCOMPLEX);
  if (array == nullptr) throw std::bad_alloc();
  return Output(array);
}

Output::~Output() {
  if (array_ != nullptr) mxDestroyArray(array_);
}

std::span<double> Output::real() noexcept {
  return {mxGetPr(array_), mxGetNumberOfElements(array_)};
}

std::span<double> Output::imag() noexcept {
  if (!mxIsComplex(array_)) return {};
  return {mxGetPi(array_), mxGetNumberOfElements(array_)};
}

mxArray* Output::release() noexcept {
  mxArray* array = array_;
  array_ = nullptr;
  return array;
}

}  // namespace linkforge::mex
