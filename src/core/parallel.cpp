#include "linkforge/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace linkforge {

namespace {

struct Run {
  const Interrupt* outer = nullptr;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  bool interrupted = false;  // the caller's interrupt asked to stop (caller's thread only)
  std::mutex mutex;
  std::condition_variable finished;
  int running = 0;
  std::exception_ptr error;

  void fail(std::exception_ptr e) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!error) error = e;
    stop = true;
  }

  // Polls the caller's interrupt; from the calling thread only.
  bool poll_outer() noexcept {
    if (!interrupted) {
      try {
        outer->check();
      } catch (const Interrupted&) {
        interrupted = true;
        stop = true;
      }
    }
    return interrupted;
  }
};

bool worker_poll(void* context) noexcept {
  return static_cast<Run*>(context)->stop.load(std::memory_order_relaxed);
}

bool caller_poll(void* context) noexcept {
  Run* run = static_cast<Run*>(context);
  return run->poll_outer() || run->stop.load(std::memory_order_relaxed);
}

void run_tasks(Run& run, std::size_t tasks, std::size_t worker, const ParallelTask& task,
               const Interrupt& interrupt) {
  while (!run.stop.load(std::memory_order_relaxed)) {
    const std::size_t t = run.next.fetch_add(1);
    if (t >= tasks) break;
    try {
      interrupt.check();  // between tasks too, however short they are
      task(t, worker, interrupt);
    } catch (const Interrupted&) {
      run.stop = true;  // stopped by the run's flag: the cause is recorded elsewhere
    } catch (...) {
      run.fail(std::current_exception());
    }
  }
}

}  // namespace

int thread_count(int requested) noexcept {
  if (requested > 0) return requested;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}

std::size_t parallel_workers(std::size_t tasks, int threads) noexcept {
  const auto count = static_cast<std::size_t>(thread_count(threads));
  return std::max<std::size_t>(1, std::min(count, tasks));
}

std::size_t workers_for_frames(std::uint64_t frames, std::size_t per_group, int threads) noexcept {
  const std::uint64_t per = per_group > 0 ? per_group : 1;
  return parallel_workers(static_cast<std::size_t>(frames / per + (frames % per != 0 ? 1 : 0)), threads);
}

void parallel_for(std::size_t tasks, int threads, const ParallelTask& task,
                  const Interrupt& interrupt) {
  const std::size_t count = parallel_workers(tasks, threads);
  if (count <= 1) {
    for (std::size_t t = 0; t < tasks; ++t) {
      interrupt.check();
      task(t, 0, interrupt);
    }
    return;
  }

  Run run;
  run.outer = &interrupt;
  const Interrupt worker_interrupt(worker_poll, &run);
  const Interrupt caller_interrupt(caller_poll, &run);
  std::vector<std::thread> workers;
  workers.reserve(count - 1);
  for (std::size_t w = 1; w < count; ++w) {
    {
      const std::lock_guard<std::mutex> lock(run.mutex);
      ++run.running;
    }
    try {
      workers.emplace_back([&, w] {
        run_tasks(run, tasks, w, task, worker_interrupt);
        const std::lock_guard<std::mutex> lock(run.mutex);
        --run.running;
        run.finished.notify_all();
      });
    } catch (...) {
      // No more threads to be had: the ones started and the caller share the tasks.
      const std::lock_guard<std::mutex> lock(run.mutex);
      --run.running;
      break;
    }
  }
  run_tasks(run, tasks, 0, task, caller_interrupt);
  // Keep answering the caller's interrupt while the other threads finish their tasks.
  {
    std::unique_lock<std::mutex> lock(run.mutex);
    while (run.running > 0) {
      if (run.finished.wait_for(lock, std::chrono::milliseconds(5)) == std::cv_status::timeout) {
        lock.unlock();
        run.poll_outer();
        lock.lock();
      }
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (run.interrupted) throw Interrupted();
  if (run.error) std::rethrow_exception(run.error);
}

}  // namespace linkforge
