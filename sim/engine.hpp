// The Monte-Carlo sweep: points of Eb/N0, frames in chunks over a thread pool, and
// stopping rules decided on whole chunks in frame order, so that the counts of a run do
// not depend on the number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link.hpp"

namespace linkforge::sim {

struct SweepOptions {
  std::vector<double> ebn0_db;
  std::uint64_t max_frames = 100000;   // per point
  std::uint64_t target_errors = 100;   // frame errors per point, of every curve
  double max_seconds = 0;              // per point; 0: no limit (the only rule that
                                       // depends on the machine's speed)
  std::uint64_t seed = 1;
  int threads = 0;                     // 0: every core
  std::size_t chunk = 64;              // frames per chunk
  bool stop_after_clean_point = true;  // end the sweep after a point without errors
};

struct PointResult {
  double ebn0_db = 0;
  std::uint64_t frames = 0;
  std::vector<std::uint64_t> bit_errors, frame_errors;  // per curve
  double seconds = 0;
};

// Called after every round of chunks with the point's counts so far.
using Progress = std::function<void(std::size_t point, const PointResult&)>;

// Runs the sweep with one link per thread from `make`; returns the points run.
std::vector<PointResult> run_sweep(const SweepOptions& options,
                                   const std::function<std::unique_ptr<Link>()>& make,
                                   const Progress& progress = {});

}  // namespace linkforge::sim
