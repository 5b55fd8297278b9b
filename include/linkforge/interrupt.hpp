// Cooperative interruption of long computations.
//
// A kernel whose run time grows with its arguments (the decoders, the spread
// permutation's search, the demappers and the capacity sums) takes an Interrupt and
// polls it every few milliseconds of work. When the caller's poll function answers
// true, the kernel throws Interrupted; its working memory lives in standard containers
// and is freed as the exception unwinds, and its outputs are then unspecified. What a
// poll looks at is the caller's business: a host's pending Ctrl-C, a thread pool's stop
// flag, a deadline. A default Interrupt never interrupts and costs one test per poll.
#pragma once

#include <cstdint>
#include <exception>

namespace linkforge {

// Thrown by a kernel whose Interrupt asked it to stop.
class Interrupted : public std::exception {
 public:
  const char* what() const noexcept override { return "interrupted"; }
};

class Interrupt {
 public:
  // Answers true when the computation should stop; called from the kernel's thread.
  using Poll = bool (*)(void* context) noexcept;

  constexpr Interrupt() noexcept = default;
  constexpr explicit Interrupt(Poll poll, void* context = nullptr) noexcept
      : poll_(poll), context_(context) {}

  // Throws Interrupted when the poll asks to stop.
  void check() const {
    if (poll_ != nullptr && poll_(context_)) throw Interrupted();
  }

 private:
  Poll poll_ = nullptr;
  void* context_ = nullptr;
};

// Units of kernel work between two polls. A unit is one elementary update (an
// add-compare-select of one state, a max-star of one label, a message of one edge): a
// few nanoseconds, so polls come every few milliseconds at most.
inline constexpr std::uint64_t kInterruptPeriod = std::uint64_t{1} << 20;

// Polls an Interrupt once per kInterruptPeriod units of work, whatever the size of the
// steps a kernel counts them in.
class InterruptPacer {
 public:
  explicit InterruptPacer(const Interrupt& interrupt) noexcept : interrupt_(interrupt) {}

  // Counts `units` of work done; polls once the period is full.
  void add(std::uint64_t units) {
    done_ += units;
    if (done_ >= kInterruptPeriod) {
      done_ = 0;
      interrupt_.check();
    }
  }

 private:
  const Interrupt& interrupt_;
  std::uint64_t done_ = 0;
};

}  // namespace linkforge
