#include "generator_arg.hpp"

#include "linkforge/trellis.hpp"

namespace linkforge::mex {

GeneratorArg read_generator(const mxArray* array) {
  const Matrix g(array, "g_encoder");
  if (g.rows() == 0 || g.cols() == 0) fail("g_encoder must have at least one row and one column");
  if (g.rows() > kMaxTrellisOutputs || g.cols() - 1 > kMaxTrellisMemory) {
    fail("g_encoder is too large: K - 1 and n must both be below 31");
  }
  GeneratorArg code;
  code.n = static_cast<int>(g.rows());
  code.K = static_cast<int>(g.cols());
  require_memory(trellis_table_bytes(code.K), "the trellis of g_encoder");
  code.g = generator_polynomials(g.real(), code.n, code.K);
  return code;
}

}  // namespace linkforge::mex
