// Runs a test body once on every SIMD target that the build compiled and the CPU runs.
#pragma once

#include <cstdint>
#include <string>

#include "hwy/targets.h"

namespace linkforge {

// Every target the CPU runs, each in turn; the body runs once per target, with its name
// and whether it is the best one (the one the library picks by itself).
template <class Body>
void for_each_target(Body&& body) {
  const auto targets = hwy::SupportedAndGeneratedTargets();
  for (const std::int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    body(std::string(hwy::TargetName(target)), target == targets.front());
  }
  hwy::SetSupportedTargetsForTest(0);
}

}  // namespace linkforge
