#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "linkforge/memory.hpp"

namespace linkforge {
namespace {

constexpr std::uint64_t kKiB = 1024, kMiB = kKiB << 10, kGiB = kMiB << 10;

TEST(MemorySize, ReadsBytesAndBinarySuffixes) {
  EXPECT_EQ(parse_memory_size("1073741824"), kGiB);
  EXPECT_EQ(parse_memory_size("512M"), 512 * kMiB);
  EXPECT_EQ(parse_memory_size(" 8g "), 8 * kGiB);
  EXPECT_EQ(parse_memory_size("1.5G"), 3 * kGiB / 2);
  EXPECT_EQ(parse_memory_size("64KiB"), 64 * kKiB);
  EXPECT_EQ(parse_memory_size("2 TB"), 2 * (kGiB << 10));
  EXPECT_EQ(parse_memory_size("0"), 0u);
  for (const char* bad : {"", "G", "-1G", "8X", "8GiBs", "1e9", "lots", "16777216T"}) {
    EXPECT_EQ(parse_memory_size(bad), std::nullopt) << bad;
  }
}

TEST(MemoryBudget, DefaultsToTheSmallerOfTwoGiBAndAQuarterOfMemory) {
  EXPECT_EQ(default_memory_budget(24 * kGiB), 2 * kGiB);
  EXPECT_EQ(default_memory_budget(4 * kGiB), kGiB);
}

// The variable is read at every call, so a host can change it between calls; requests
// up to the always-granted size see the budget alone.
TEST(MemoryBudget, FollowsTheEnvironmentVariable) {
  ASSERT_EQ(setenv(kMemoryBudgetVariable, "3M", 1), 0);
  EXPECT_EQ(memory_budget(), 3 * kMiB);
  const MemoryLimit limit = memory_limit(kMiB);
  EXPECT_EQ(limit.bytes, 3 * kMiB);
  EXPECT_EQ(limit.source, MemorySource::kBudget);
  ASSERT_EQ(setenv(kMemoryBudgetVariable, "a lot", 1), 0);
  EXPECT_THROW(memory_budget(), std::invalid_argument);
  ASSERT_EQ(setenv(kMemoryBudgetVariable, "1T", 1), 0);
  // A large budget is narrowed by what the machine has available.
  EXPECT_LT(memory_limit(kGiB).bytes, kGiB << 10);
  ASSERT_EQ(unsetenv(kMemoryBudgetVariable), 0);
  EXPECT_LE(memory_budget(), 2 * kGiB);
}

}  // namespace
}  // namespace linkforge
