// Working-memory policy: how much one call may take.
//
// Every call adds up what it will hold at its peak (working arrays, converted inputs,
// outputs) before allocating anything, and is refused when that exceeds the limit:
// the smallest of
//   - the budget: LINKFORGE_MEMORY_BUDGET when set (bytes, or a number with a suffix
//     K, M, G or T in powers of 1024, e.g. "8G"), else 2 GiB or a quarter of the
//     physical memory, whichever is smaller;
//   - the memory available now (MemAvailable of /proc/meminfo);
//   - what the process's control group may still take (cgroup v2 memory.max minus
//     memory.current, or the v1 limit minus usage);
//   - what the address-space limit (RLIMIT_AS, `ulimit -v`) leaves beside the process's
//     current size.
// Requests up to kMemoryAlwaysGranted bytes are compared with the budget only, so that
// small calls never read the system's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "linkforge/checked.hpp"

namespace linkforge {

inline constexpr const char* kMemoryBudgetVariable = "LINKFORGE_MEMORY_BUDGET";
inline constexpr std::uint64_t kMemoryAlwaysGranted = std::uint64_t{16} << 20;

// What bounds a call's memory.
enum class MemorySource {
  kBudget,        // the budget (default or LINKFORGE_MEMORY_BUDGET)
  kAvailable,     // memory available on the machine now
  kCgroup,        // the control group's limit
  kAddressSpace,  // RLIMIT_AS
};

struct MemoryLimit {
  std::uint64_t bytes = 0;
  MemorySource source = MemorySource::kBudget;
};

// A size such as "1073741824", "512M", "8G" or "1.5G" (suffixes K, M, G, T, optionally
// followed by "B" or "iB", in powers of 1024); nothing for any other text.
std::optional<std::uint64_t> parse_memory_size(std::string_view text) noexcept;

// 2 GiB or a quarter of `physical_bytes`, whichever is smaller.
std::uint64_t default_memory_budget(std::uint64_t physical_bytes) noexcept;

// The budget now: LINKFORGE_MEMORY_BUDGET or the default. Throws std::invalid_argument
// naming the variable when it is set to something that is not a size.
std::uint64_t memory_budget();

// The limit for a request of `bytes`: the budget, narrowed by the machine's state when
// the request exceeds kMemoryAlwaysGranted. Throws as memory_budget does.
MemoryLimit memory_limit(std::uint64_t bytes);

// "12.5 GiB", "512 MiB", "96 KiB", "100 bytes" (kSizeSaturated: "more than 16 EiB").
std::string format_size(std::uint64_t bytes);

// The refusal of a request of `bytes` for `what` ("the decoder") beyond `limit`:
// "<what> would need <size> of memory, more than <the limit>", where a budget limit adds
// "; raise it with <raise_budget> or in the environment" (raise_budget: the host's way
// of setting LINKFORGE_MEMORY_BUDGET to 8G).
std::string memory_refusal(const char* what, std::uint64_t bytes, const MemoryLimit& limit,
                           std::string_view raise_budget);

// The refusal of a request of `bytes` for `what` when it exceeds memory_limit(bytes),
// nothing when it fits. Throws as memory_budget does.
std::optional<std::string> memory_shortfall(std::uint64_t bytes, const char* what,
                                            std::string_view raise_budget);

// What one call of a module needs, from the call's shape: `working` bytes (tables,
// working arrays, inputs and outputs in the kernel's types) and `results` values the
// call hands back, which each host holds in arrays of its own.
struct CallMemory {
  std::uint64_t working = 0;
  std::uint64_t results = 0;
};

// What a call will hold at its peak, added up before it allocates anything: converted
// inputs, working arrays, kernel outputs and host outputs (saturating). require(what)
// hands the total to Host::require(bytes, what), the host's refusal of a call that would
// hold more than the memory limit; Host::result_bytes(count) is what `count` result
// values take in the host.
template <class Host>
class BasicMemoryEstimate {
 public:
  BasicMemoryEstimate& bytes(std::uint64_t count) {
    total_ = add_sat(total_, count);
    return *this;
  }
  // `count` values of type T.
  template <class T>
  BasicMemoryEstimate& values(std::uint64_t count) {
    return bytes(mul_sat(count, sizeof(T)));
  }
  // A rows x cols host output of doubles, counted twice: the host copies what a module
  // hands it.
  BasicMemoryEstimate& output(std::uint64_t rows, std::uint64_t cols, bool complex = false) {
    return bytes(mul_sat(mul_sat(rows, cols), complex ? 4 * sizeof(double) : 2 * sizeof(double)));
  }
  // A module's own need: its working bytes and its results as the host holds them
  // (Host::result_bytes).
  BasicMemoryEstimate& call(const CallMemory& need) {
    return bytes(need.working).bytes(Host::result_bytes(need.results));
  }
  std::uint64_t total() const noexcept { return total_; }
  void require(const char* what) const { Host::require(total_, what); }

 private:
  std::uint64_t total_ = 0;
};

}  // namespace linkforge
