// [output] = SoftDemap(input, S_matrix, EsNo, demod_type, extrinsic_info, fade_coef, threads)
//
// Soft demapping of F frames of N received samples at once, one frame per row: symbols
// share SIMD lanes and threads. Row f of the output is, bit for bit,
// SymbolBitMetrics(PlaneMetrics(input(f,:), S_matrix, EsNo, fade_coef(f,:)), demod_type,
// extrinsic_info(f,:)).
#include <optional>
#include <stdexcept>
#include <string>

#include "gateway.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/soft_demap.hpp"
#include "modem_args.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: [output] = SoftDemap(input, S_matrix, EsNo, demod_type, extrinsic_info, "
    "fade_coef, threads)";

// An optional F x L argument: absent or [] gives no matrix.
std::optional<Matrix> optional_frames(Call& call, int index, const char* name, std::size_t F,
                                      std::size_t L) {
  if (call.nargin() <= index) return std::nullopt;
  Matrix m(call.arg(index), name);
  if (m.empty() && m.rows() == 0 && m.cols() == 0) return std::nullopt;
  if (m.rows() != F || m.cols() != L) {
    fail(std::string(name) + " must be " + std::to_string(F) + " x " + std::to_string(L) +
         " (one row per row of input), or []");
  }
  return m;
}

FrameView<const double> frames_of(std::span<const double> values, std::size_t F, std::size_t L) {
  return values.empty() ? FrameView<const double>{}
                        : FrameView<const double>::column_major(values.data(), F, L);
}

void soft_demap_gateway(Call& call) {
  if (call.nargin() < 3 || call.nargin() > 7 || call.nargout() > 1) fail(kUsage);
  const Matrix input(call.arg(0), "input");
  const std::size_t F = input.rows(), N = input.cols();
  const Matrix set(call.arg(1), "S_matrix");
  if (set.rows() > 1 && set.cols() > 1) fail("S_matrix should only have one column or row");
  const std::size_t M = set.size();
  if (M == 0 || (M & (M - 1)) != 0) fail("Number of symbols M must be a power of 2");
  const std::size_t coded = compute_total_number_of_bits(N, compute_bits_per_symbol(M));
  SoftDemapParams params;
  params.es_no = read_es_no(call.arg(2));
  params.op = static_cast<MaxStar>(call.nargin() >= 4 ? read_demod_type(call.arg(3)) : 0);
  const std::optional<Matrix> prior = optional_frames(call, 4, "extrinsic_info", F, coded);
  const std::optional<Matrix> fade = optional_frames(call, 5, "fade_coef", F, N);
  if (call.nargin() >= 7) {
    params.threads = scalar_int(call.arg(6), "threads");
    if (params.threads < 0 || params.threads > 1024) fail("threads must be 0 (all) to 1024");
  }
  refuse_nan(input.real(), "input");
  refuse_nan(input.imag(), "input");
  refuse_nan(set.real(), "S_matrix");
  refuse_nan(set.imag(), "S_matrix");
  if (prior) refuse_bad_soft_values(prior->real(), "extrinsic_info");
  if (fade) {
    refuse_nan(fade->real(), "fade_coef");
    refuse_nan(fade->imag(), "fade_coef");
  }
  MemoryEstimate().call(soft_demap_memory(M, N, params.threads, F)).require("the demapper");

  Output output = Output::real_uninit(F, coded);
  if (M >= 2 && F > 0 && N > 0) {
    const ComplexFrames y{frames_of(input.real(), F, N), frames_of(input.imag(), F, N)};
    ComplexFrames a;
    if (fade) a = {frames_of(fade->real(), F, N), frames_of(fade->imag(), F, N)};
    try {
      soft_demap(y, {set.real(), set.imag()}, a,
                 prior ? frames_of(prior->real(), F, coded) : FrameView<const double>{}, params,
                 FrameView<double>::column_major(output.real().data(), F, coded), host_interrupt());
    } catch (const std::domain_error&) {
      fail("the symbol metrics lie beyond the single-precision range (input, S_matrix, fade_coef "
           "or EsNo too large)");
    }
  }
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("SoftDemap", soft_demap_gateway, nlhs, plhs, nrhs, prhs);
}
