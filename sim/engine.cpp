#include "engine.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "linkforge/parallel.hpp"

namespace linkforge::sim {

namespace {

// Chunks per worker and round: enough to keep the threads busy between two decisions.
constexpr std::size_t kChunksPerWorker = 2;

bool reached(const PointResult& r, std::uint64_t target) {
  return std::all_of(r.frame_errors.begin(), r.frame_errors.end(),
                     [&](std::uint64_t e) { return e >= target; });
}

}  // namespace

std::vector<PointResult> run_sweep(const SweepOptions& options,
                                   const std::function<std::unique_ptr<Link>()>& make,
                                   const Progress& progress, const std::vector<PointResult>& resume,
                                   const StopRequest& stop, Team* team) {
  Team single;
  Team& t = team != nullptr ? *team : single;
  if (options.chunk == 0) throw std::invalid_argument("the chunk must hold at least one frame");
  if (resume.size() > options.ebn0_db.size()) {
    throw std::invalid_argument("the results to resume hold more points than the sweep");
  }
  const std::size_t workers = static_cast<std::size_t>(thread_count(options.threads));
  std::vector<std::unique_ptr<Link>> links;
  for (std::size_t w = 0; w < workers; ++w) links.push_back(make());
  const std::size_t curves = links.front()->labels().size();
  const std::size_t C = options.chunk;
  // Every process runs the same rounds: as many chunks as the busiest one's threads
  // take, times the processes.
  const std::size_t round = t.max(workers) * kChunksPerWorker * static_cast<std::size_t>(t.size());
  const auto mine = [&](std::size_t c) { return c % static_cast<std::size_t>(t.size()) == static_cast<std::size_t>(t.rank()); };
  std::vector<ChunkCounts> counts(round);
  std::vector<std::uint32_t> shared;  // a round's bit errors, chunk by chunk, C * curves each

  std::vector<PointResult> results;
  const auto clean = [](const PointResult& r) {
    return r.frames > 0 && std::all_of(r.frame_errors.begin(), r.frame_errors.end(),
                                       [](std::uint64_t e) { return e == 0; });
  };
  for (std::size_t p = 0; p < options.ebn0_db.size(); ++p) {
    PointResult r;
    r.ebn0_db = options.ebn0_db[p];
    r.bit_errors.assign(curves, 0);
    r.frame_errors.assign(curves, 0);
    if (p < resume.size()) {
      const PointResult& saved = resume[p];
      if (saved.bit_errors.size() != curves || saved.frame_errors.size() != curves ||
          saved.ebn0_db != r.ebn0_db || saved.frames > options.max_frames ||
          (!saved.complete && p + 1 != resume.size()) ||
          (!saved.complete && saved.frames % C != 0)) {
        throw std::invalid_argument("the results to resume do not belong to this sweep");
      }
      r = saved;
    }
    const Philox philox(options.seed, static_cast<std::uint32_t>(p));
    const auto start = std::chrono::steady_clock::now() - std::chrono::duration<double>(r.seconds);
    bool done = r.complete || options.max_frames == 0;
    for (std::uint64_t next = r.frames; !done;) {
      if (t.any(stop && stop())) {
        results.push_back(r);
        return results;
      }
      // The round's chunks: frames next .. next + round * C - 1, cut at max_frames.
      const std::uint64_t left = options.max_frames - next;
      const std::size_t chunks =
          static_cast<std::size_t>(std::min<std::uint64_t>(round, (left + C - 1) / C));
      std::vector<std::size_t> local;
      for (std::size_t c = 0; c < chunks; ++c) {
        if (mine(c)) local.push_back(c);
      }
      parallel_for(local.size(), options.threads, [&](std::size_t i, std::size_t worker, const Interrupt&) {
        const std::size_t c = local[i];
        const std::uint64_t first = next + c * C;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(C, options.max_frames - first));
        links[worker]->run(philox, r.ebn0_db, first, count, counts[c]);
      });
      // Every process's counts in one array, summed over the processes.
      shared.assign(chunks * C * curves, 0);
      for (const std::size_t c : local) {
        std::copy(counts[c].bit_errors.begin(), counts[c].bit_errors.end(), shared.begin() + static_cast<std::ptrdiff_t>(c * C * curves));
      }
      t.sum(shared);
      // Whole chunks in frame order; the first that meets a rule ends the point.
      for (std::size_t c = 0; c < chunks && !done; ++c) {
        const std::uint64_t first = next + c * C;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(C, options.max_frames - first));
        for (std::size_t curve = 0; curve < curves; ++curve) {
          for (std::size_t f = 0; f < count; ++f) {
            const std::uint32_t e = shared[c * C * curves + curve * count + f];
            r.bit_errors[curve] += e;
            r.frame_errors[curve] += e > 0 ? 1 : 0;
          }
        }
        r.frames = first + count;
        done = r.frames >= options.max_frames || reached(r, options.target_errors);
      }
      next = r.frames;
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      // The clocks of the processes differ; the slowest ends the point for all.
      done = t.any(done || (options.max_seconds > 0 && r.seconds >= options.max_seconds));
      r.complete = done;
      if (progress) progress(results, r);
    }
    r.complete = true;
    results.push_back(r);
    if (options.stop_after_clean_point && clean(r)) break;
  }
  return results;
}

}  // namespace linkforge::sim
