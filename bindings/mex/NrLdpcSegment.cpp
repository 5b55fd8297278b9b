// [bg, Z, C, K_prime, K, E, tb_crc, cb_crc] = NrLdpcSegment(A, R, G, Qm, layers)
//
// The base graph, lifting size and code-block segmentation of an NR transport block of
// A bits at code rate R, and each code block's E where G coded bits are available.
#include <algorithm>
#include <cmath>

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [bg, Z, C, K_prime, K, E, tb_crc, cb_crc] = NrLdpcSegment(A, R, G, Qm, layers)";

void nr_ldpc_segment(Call& call) {
  if (call.nargin() < 2 || call.nargin() > 5 || call.nargout() > 8) fail(kUsage);
  const double a = scalar_double(call.arg(0), "A");
  const double rate = scalar_double(call.arg(1), "R");
  const double g = call.nargin() >= 3 ? scalar_double(call.arg(2), "G") : 0.0;
  if (!(a >= 1.0 && a <= 1073741824.0)) fail("A must be 1 to 2^30");
  if (!(g >= 0.0 && g <= 1099511627776.0)) fail("G must be 0 to 2^40");
  const int qm = call.nargin() >= 4 ? scalar_int(call.arg(3), "Qm") : 1;
  const int layers = call.nargin() >= 5 ? scalar_int(call.arg(4), "layers") : 1;
  const nr_ldpc::Segmentation s = nr_ldpc::segment(static_cast<long long>(a), rate,
                                                   static_cast<long long>(g), qm, layers);
  const double values[8] = {static_cast<double>(s.bg), static_cast<double>(s.z),
                            static_cast<double>(s.code_blocks), static_cast<double>(s.k_prime),
                            static_cast<double>(s.k), 0.0, static_cast<double>(s.tb_crc),
                            static_cast<double>(s.cb_crc)};
  MemoryEstimate().output(1, s.e.size()).require("the segmentation");
  for (int i = 0; i < 8 && i < std::max(call.nargout(), 1); ++i) {
    if (i == 5) {
      Output e = Output::real(s.e.empty() ? 0 : 1, s.e.size());
      e.assign(s.e);
      call.set_output(i, std::move(e));
      continue;
    }
    Output out = Output::real(1, 1);
    out.real()[0] = values[i];
    call.set_output(i, std::move(out));
  }
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("NrLdpcSegment", nr_ldpc_segment, nlhs, plhs, nrhs, prhs);
}
