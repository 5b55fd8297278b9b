// A transport block's base graph, lifting size and code blocks (3GPP TS 38.212 7.2.2,
// 5.2.2 and 5.4.2.1).
#include <cmath>
#include <string>

#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace linkforge::nr_ldpc {

Segmentation segment(long long A, double R, long long G, int Qm, int layers) {
  if (A < 1 || A > (1LL << 30)) throw ArgumentError("the transport block size A must be 1 to 2^30");
  if (!(R > 0.0 && R <= 1.0)) throw ArgumentError("the code rate R must be above 0 and at most 1");
  if (Qm < 1 || Qm > 8) throw ArgumentError("the modulation order Qm must be 1 to 8");
  if (layers < 1 || layers > 8) throw ArgumentError("the number of layers must be 1 to 8");
  if (G < 0 || G > (1LL << 40)) throw ArgumentError("G must be 0 to 2^40");
  const long long per_symbol = static_cast<long long>(Qm) * layers;
  if (G % per_symbol != 0) {
    throw ArgumentError("G = " + std::to_string(G) + " is not a multiple of Qm * layers = " +
                        std::to_string(per_symbol));
  }
  Segmentation s;
  s.bg = A <= 292 || (A <= 3824 && R <= 0.67) || R <= 0.25 ? 2 : 1;
  s.tb_crc = A > 3824 ? 24 : 16;
  const long long B = A + s.tb_crc;
  const long long k_cb = s.bg == 1 ? 8448 : 3840;
  long long b_prime = B;
  if (B <= k_cb) {
    s.code_blocks = 1;
  } else {
    s.cb_crc = 24;
    s.code_blocks = (B + (k_cb - s.cb_crc) - 1) / (k_cb - s.cb_crc);
    b_prime = B + s.code_blocks * s.cb_crc;
  }
  // Transport block sizes of the standard divide evenly; others round up.
  s.k_prime = (b_prime + s.code_blocks - 1) / s.code_blocks;
  const int kb = s.bg == 1 ? 22 : B > 640 ? 10 : B > 560 ? 9 : B > 192 ? 8 : 6;
  for (const int z : lifting_sizes()) {
    if (static_cast<long long>(kb) * z >= s.k_prime) {
      s.z = z;
      break;
    }
  }
  s.k = static_cast<long long>(s.bg == 1 ? 22 : 10) * s.z;
  if (G > 0) {
    const long long C = s.code_blocks;
    const long long symbols = G / per_symbol;
    for (long long r = 0; r < C; ++r) {
      const long long blocks = r <= C - symbols % C - 1 ? symbols / C : (symbols + C - 1) / C;
      s.e.push_back(per_symbol * blocks);
    }
  }
  return s;
}

}  // namespace linkforge::nr_ldpc
