#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/duobinary_turbo.hpp"
#include "linkforge/parallel.hpp"
#include "duobinary/turbo_lanes.hpp"

namespace linkforge {

void duobinary_turbo_decode(const DuobinaryTurboChannel& channel,
                            const DuobinaryTrellis& trellis, const PairPermutation& permutation, const DuobinaryTurboParams& params,
                            const FrameView<double>& app, const Interrupt& interrupt) {
  const std::size_t F = channel.x.frames;
  const std::size_t N = permutation.alpha.size();
  const auto same_shape = [&](const auto& v) { return v.frames == F && v.length == 3 * N; };
  if (!same_shape(channel.x) || !same_shape(channel.z1) || !same_shape(channel.z2) ||
      !same_shape(app)) {
    throw std::invalid_argument(
        "duobinary_turbo_decode: the symbol values must be F x 3N, N the pairs of the permutation");
  }
  if (permutation.swap.size() != N) {
    throw std::invalid_argument("duobinary_turbo_decode: the exchanges must be N flags");
  }
  std::vector<bool> seen(N, false);
  for (const int a : permutation.alpha) {
    if (a < 0 || static_cast<std::size_t>(a) >= N || seen[static_cast<std::size_t>(a)]) {
      throw std::invalid_argument("duobinary_turbo_decode: alpha is not a permutation of 0..N-1");
    }
    seen[static_cast<std::size_t>(a)] = true;
  }
  if (params.iterations < 1) {
    throw std::invalid_argument("duobinary_turbo_decode: iterations must be at least 1");
  }
  if (!is_max_star_type(static_cast<int>(params.max_star))) {
    throw std::invalid_argument("duobinary_turbo_decode: unknown max-star operator");
  }
  if (F == 0 || N == 0) return;
  duobinary_detail::TurboJob job{};
  job.channel = &channel;
  job.permutation = &permutation;
  job.app = &app;
  job.next = trellis.next().data();
  job.word = trellis.word().data();
  job.into = duobinary_detail::group_by(job.next, kDuobinaryStates);
  job.N = N;
  job.iterations = params.iterations;
  job.dec_type = static_cast<int>(params.max_star);
  const std::size_t W = duobinary_detail::turbo_lanes();
  const std::size_t groups = (F + W - 1) / W;
  const std::size_t workers = parallel_workers(groups, params.threads);
  std::vector<duobinary_detail::TurboSpace> spaces;
  spaces.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) spaces.emplace_back(N, W);
  parallel_for(
      groups, params.threads,
      [&](std::size_t group, std::size_t worker, const Interrupt& stop) {
        duobinary_detail::turbo_group(job, group * W, spaces[worker], stop);
      },
      interrupt);
}

std::uint64_t duobinary_turbo_decode_bytes(std::size_t pairs, int threads,
                                           std::uint64_t frames) noexcept {
  const std::size_t W = duobinary_detail::turbo_lanes();
  const std::uint64_t per_thread = duobinary_detail::TurboSpace::bytes(pairs, W);
  const std::size_t workers = workers_for_frames(frames, W, threads);
  return add_sat(
      add_sat(mul_sat(per_thread, static_cast<std::uint64_t>(workers)), (pairs + 7) / 8 + 64),
      parallel_for_bytes(thread_count(threads)));
}

}  // namespace linkforge
