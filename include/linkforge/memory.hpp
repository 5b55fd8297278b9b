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

}  // namespace linkforge
