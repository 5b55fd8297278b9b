// Running independent tasks on several threads, interruptibly.
//
// The whole decoders split their frames into tasks (a group of frames that share SIMD
// lanes) and run them here. Every task writes only its own frames' outputs, so results
// do not depend on the number of threads or the order in which tasks run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "linkforge/interrupt.hpp"

namespace linkforge {

// The number of threads a caller's request stands for: `requested` when it is positive,
// otherwise every hardware thread of the machine.
int thread_count(int requested) noexcept;

// The threads parallel_for(tasks, threads, ...) uses: thread_count(threads), but no more
// than there are tasks (and at least one).
std::size_t parallel_workers(std::size_t tasks, int threads) noexcept;

// The threads a call of `frames` frames in groups of `per_group` takes on `threads`
// threads: no more than there are groups. kFramesUnknown stands for as many groups as
// threads.
inline constexpr std::uint64_t kFramesUnknown = ~std::uint64_t{0};
std::size_t workers_for_frames(std::uint64_t frames, std::size_t per_group, int threads) noexcept;

// Runs task(t, worker, interrupt) for t = 0..tasks-1 on parallel_workers(tasks, threads)
// threads, the calling thread included (worker 0), and returns once all have run. Each
// thread passes its own worker number, 0..workers-1, so that tasks can share per-thread
// working memory. The interrupt a task receives stops it (by throwing Interrupted at
// its next poll) when `interrupt`, which only the calling thread polls, asks to stop,
// or when another task has failed. The first exception a task throws is rethrown here
// once every thread has stopped; Interrupted when the caller's interrupt stopped the
// run.
//
// Besides what the tasks take, a run holds at most parallel_for_bytes(threads) bytes of
// heap: the threads' handles and the state each new thread starts from.
using ParallelTask = std::function<void(std::size_t task, std::size_t worker, const Interrupt&)>;
void parallel_for(std::size_t tasks, int threads, const ParallelTask& task,
                  const Interrupt& interrupt = {});

// Heap bytes parallel_for itself holds while it runs on `threads` threads (an upper
// bound: a handle and a start record per thread).
constexpr std::uint64_t parallel_for_bytes(int threads) noexcept {
  return threads > 1 ? 128 * static_cast<std::uint64_t>(threads) : 0;
}

}  // namespace linkforge
