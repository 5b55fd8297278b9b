#include "linkforge/memory.hpp"

#include "linkforge/checked.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace linkforge {

namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::uint64_t read_physical_memory() noexcept {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) {
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
  }
#endif
  return std::uint64_t{8} * kGiB;
}

// Read once: the machine's memory does not change under a running process.
std::uint64_t physical_memory() noexcept {
  static const std::uint64_t bytes = read_physical_memory();
  return bytes;
}

// The first whole number in a file, if it holds one ("max" and unreadable files give
// nothing).
std::optional<std::uint64_t> read_number(const char* path) {
  std::ifstream in(path);
  std::uint64_t value = 0;
  if (in >> value) return value;
  return std::nullopt;
}

// The value in kB of a "Name: value kB" line of a /proc file, in bytes.
std::optional<std::uint64_t> read_kib_field(const char* path, std::string_view name) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, name.size(), name) != 0) continue;
    std::istringstream fields(line.substr(name.size()));
    std::uint64_t kib = 0;
    if (fields >> kib) return kib * 1024;
  }
  return std::nullopt;
}

// Bytes the control group of this process may still take: cgroup v2 first (the
// process's group under the unified hierarchy, as /proc/self/cgroup names it), then v1.
std::optional<std::uint64_t> cgroup_headroom() {
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    if (line.rfind("0::", 0) != 0) continue;
    const std::string dir = "/sys/fs/cgroup" + line.substr(3);
    const std::optional<std::uint64_t> max = read_number((dir + "/memory.max").c_str());
    const std::optional<std::uint64_t> current = read_number((dir + "/memory.current").c_str());
    if (max && current) return *max > *current ? *max - *current : 0;
    return std::nullopt;  // "max": no limit
  }
  const std::optional<std::uint64_t> limit =
      read_number("/sys/fs/cgroup/memory/memory.limit_in_bytes");
  const std::optional<std::uint64_t> usage =
      read_number("/sys/fs/cgroup/memory/memory.usage_in_bytes");
  // v1 reports "no limit" as a number near 2^63.
  if (limit && usage && *limit < (std::uint64_t{1} << 62)) {
    return *limit > *usage ? *limit - *usage : 0;
  }
  return std::nullopt;
}

// Address space RLIMIT_AS still leaves beside the process's current size.
std::optional<std::uint64_t> address_space_headroom() {
#if defined(RLIMIT_AS)
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
  const std::uint64_t size = read_kib_field("/proc/self/status", "VmSize:").value_or(0);
  return cap > size ? cap - size : 0;
#else
  return std::nullopt;
#endif
}

}  // namespace

std::optional<std::uint64_t> parse_memory_size(std::string_view text) noexcept {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty() || !(text.front() >= '0' && text.front() <= '9')) return std::nullopt;

  double value = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = 10 * value + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
      value += (text[i] - '0') * scale;
    }
  }
  while (i < text.size() && blank(text[i])) ++i;
  std::string_view suffix = text.substr(i);
  int shift = 0;
  if (!suffix.empty()) {
    constexpr std::string_view kUnits = "KMGT";
    const char unit = static_cast<char>(suffix.front() & ~0x20);  // upper case
    const std::size_t index = kUnits.find(unit);
    if (index == std::string_view::npos) return std::nullopt;
    shift = 10 * static_cast<int>(index + 1);
    suffix.remove_prefix(1);
    if (suffix != "" && suffix != "B" && suffix != "iB") return std::nullopt;
  }
  const double bytes = std::ldexp(value, shift);
  if (!(bytes < 0x1p64)) return std::nullopt;
  return static_cast<std::uint64_t>(bytes);
}

std::uint64_t default_memory_budget(std::uint64_t physical_bytes) noexcept {
  return std::min(2 * kGiB, physical_bytes / 4);
}

std::uint64_t memory_budget() {
  const char* setting = std::getenv(kMemoryBudgetVariable);
  if (setting == nullptr) return default_memory_budget(physical_memory());
  const std::optional<std::uint64_t> bytes = parse_memory_size(setting);
  if (!bytes) {
    throw std::invalid_argument(std::string(kMemoryBudgetVariable) + " = '" + setting +
                                "' is not a size such as 4G or 512M");
  }
  return *bytes;
}

MemoryLimit memory_limit(std::uint64_t bytes) {
  MemoryLimit limit{memory_budget(), MemorySource::kBudget};
  if (bytes <= kMemoryAlwaysGranted || bytes > limit.bytes) return limit;
  const auto narrow = [&limit](std::optional<std::uint64_t> headroom, MemorySource source) {
    if (headroom && *headroom < limit.bytes) limit = {*headroom, source};
  };
  narrow(read_kib_field("/proc/meminfo", "MemAvailable:"), MemorySource::kAvailable);
  narrow(cgroup_headroom(), MemorySource::kCgroup);
  narrow(address_space_headroom(), MemorySource::kAddressSpace);
  return limit;
}

std::string format_size(std::uint64_t bytes) {
  if (bytes == kSizeSaturated) return "more than 16 EiB";
  constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 6) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.3g %s", value, kUnits[unit]);
  return text;
}

std::optional<std::string> memory_shortfall(std::uint64_t bytes, const char* what,
                                            std::string_view raise_budget) {
  const MemoryLimit limit = memory_limit(bytes);
  if (bytes <= limit.bytes) return std::nullopt;
  return memory_refusal(what, bytes, limit, raise_budget);
}

std::string memory_refusal(const char* what, std::uint64_t bytes, const MemoryLimit& limit,
                           std::string_view raise_budget) {
  std::string message = std::string(what) + " would need " + format_size(bytes) + " of memory, more than ";
  switch (limit.source) {
    case MemorySource::kBudget:
      message += "the memory budget of " + format_size(limit.bytes) + "; raise it with " +
                 std::string(raise_budget) + " or in the environment";
      break;
    case MemorySource::kAvailable:
      message += "the " + format_size(limit.bytes) + " this machine has available now";
      break;
    case MemorySource::kCgroup:
      message += "the " + format_size(limit.bytes) + " left under this process's memory limit";
      break;
    case MemorySource::kAddressSpace:
      message += "the " + format_size(limit.bytes) + " left under the address-space limit";
      break;
  }
  return message;
}

}  // namespace linkforge
