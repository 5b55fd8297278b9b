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
  std::uint64_t frames = 0;  // frames 0 .. frames - 1 counted (a whole number of chunks
                             // unless cut by max_frames)
  std::vector<std::uint64_t> bit_errors, frame_errors;  // per curve
  double seconds = 0;
  bool complete = false;  // a stopping rule ended the point
};

// Called after every round of chunks with the points ended so far and the current one.
using Progress =
    std::function<void(const std::vector<PointResult>& ended, const PointResult& current)>;

// Asked after every round; true ends the sweep there, its last point not complete.
using StopRequest = std::function<bool()>;

// The processes that run a sweep together (one, or the ranks of an MPI job): each runs
// the chunks whose index in a round is its rank modulo their number, and after every
// round they add up their counts, so that every process takes the same decisions.
class Team {
 public:
  virtual ~Team() = default;
  virtual int rank() const { return 0; }
  virtual int size() const { return 1; }
  // Elementwise sum over the processes, in place.
  virtual void sum(std::vector<std::uint32_t>&) {}
  // True on every process when it is true on any.
  virtual bool any(bool value) { return value; }
  // The largest value over the processes.
  virtual std::size_t max(std::size_t value) { return value; }
};

// Runs the sweep with one link per thread from `make`, from the points of `resume` on
// (an earlier run of the same options: its complete points are kept, an incomplete last
// one continues from its frame count, so the final counts are those of a run never
// stopped); returns the points run.
std::vector<PointResult> run_sweep(const SweepOptions& options,
                                   const std::function<std::unique_ptr<Link>()>& make,
                                   const Progress& progress = {},
                                   const std::vector<PointResult>& resume = {},
                                   const StopRequest& stop = {}, Team* team = nullptr);

}  // namespace linkforge::sim
