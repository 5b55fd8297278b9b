// The links the simulator runs: a frame's data, its encoding, the channel and the
// decoder, for a chunk of frames at a time. Every frame draws its data and noise from
// the counter-based generator keyed by (seed, point) at its own frame index, so a
// frame's outcome does not depend on the chunk it is decoded in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "philox.hpp"

namespace linkforge::sim {

struct LinkOptions {
  std::string name = "turbo";
  std::size_t K = 1024;       // information bits per frame
  int iterations = 8;         // iterative decoders (the program's default: turbo 8, ldpc 50)
  std::string decoder;         // turbo: exact (default) or max-log; conv: all
  std::string modulation = "bpsk";  // bpsk, qpsk, 16qam or 64qam
  std::string channel = "awgn";     // awgn, rayleigh-fast or rayleigh-block
  std::string rate;                 // the code rate, a/b; empty: the link's own
};

// Bit errors of each frame of a chunk, per curve.
struct ChunkCounts {
  std::vector<std::uint32_t> bit_errors;  // curve-major: curve c, frame f at c * frames + f
};

class Link {
 public:
  virtual ~Link() = default;
  virtual std::size_t info_bits() const = 0;
  // Information bits per code bit of each curve (the code rate).
  virtual std::vector<double> rates() const = 0;
  virtual std::vector<std::string> labels() const = 0;
  // Frames first .. first + count - 1 at `ebn0_db`; counts.bit_errors gets
  // curves * count values.
  virtual void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
                   ChunkCounts& counts) = 0;
  // An upper bound on what the link holds while it runs a chunk of `frames` frames: its
  // own arrays and its decoder's working memory, in bytes (saturating). By default 256
  // bytes per code bit of every frame, more than any of the links' decoders keep per bit.
  virtual std::uint64_t chunk_bytes(std::size_t frames) const;
};

// The link of `options`, or std::invalid_argument naming what is wrong with them.
std::unique_ptr<Link> make_link(const LinkOptions& options);

// The link names make_link knows.
std::vector<std::string> link_names();

// The options a link takes when they are not given: K, iterations, decoder, rate and
// modulation (every link: AWGN).
LinkOptions link_defaults(const std::string& name);

}  // namespace linkforge::sim
