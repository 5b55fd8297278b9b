// Memory needs of the LDPC modules' calls, from their shapes.
#include <algorithm>
#include <cstdint>

#include "linkforge/checked.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace linkforge::ldpc {

namespace {

// The index cells both matrices are read into.
std::uint64_t index_cell_bytes(const SparseGraphShape& s) noexcept {
  return mul_sat(sizeof(int), add_sat(mul_sat(s.m, s.row_width), s.col_cells));
}

}  // namespace

std::uint64_t sparse_graph_edge_bound(const SparseGraphShape& s) noexcept {
  return add_sat(mul_sat(s.m, s.row_width), mul_sat(s.m, 2));
}

CallMemory sparse_graph_solve_memory(const SparseGraphShape& s, int max_iter) noexcept {
  const std::uint64_t edges = sparse_graph_edge_bound(s);
  const auto iterations = static_cast<std::uint64_t>(std::max(max_iter, 0));
  CallMemory need;
  need.working = add_sat(add_sat(index_cell_bytes(s), sparse_graph_bytes(s.n, s.m, edges)),
                         decode_bytes(s.n, edges));
  need.working = add_sat(need.working, mul_sat(s.n, sizeof(float) + sizeof(int)));
  need.working =
      add_sat(need.working, add_sat(mul_sat(iterations, s.n), mul_sat(iterations, sizeof(int))));
  need.results = mul_sat(iterations, add_sat(s.n, 1));
  return need;
}

CallMemory sparse_graph_decode_memory(const SparseGraphShape& s, const BatchDecodeParams& params,
                                      std::uint64_t frames, std::uint64_t data_rows) noexcept {
  const std::uint64_t edges = sparse_graph_edge_bound(s);
  const std::uint64_t k_bound = s.n - std::min(s.n, s.m);
  const auto iterations = static_cast<std::uint64_t>(std::max(params.max_iter, 0));
  CallMemory need;
  need.working = add_sat(index_cell_bytes(s), sparse_graph_bytes(s.n, s.m, edges));
  need.working = add_sat(need.working, decode_batch_bytes(s.n, k_bound, edges, s.row_width + 2,
                                                          params.threads, frames));
  const std::uint64_t reference_rows = std::min(data_rows, std::max<std::uint64_t>(frames, 1));
  need.working = add_sat(need.working, mul_sat(sizeof(int), mul_sat(reference_rows, k_bound)));
  need.working = add_sat(need.working, mul_sat(frames, s.n));  // decisions
  need.working =
      add_sat(need.working, mul_sat(sizeof(int), add_sat(mul_sat(frames, iterations), frames)));
  need.results = add_sat(mul_sat(frames, s.n), add_sat(mul_sat(frames, iterations), frames));
  return need;
}

CallMemory graph_state_setup_memory(std::size_t check_cells, std::size_t var_cells, std::size_t n,
                                    std::size_t m) noexcept {
  const std::uint64_t items = add_sat(add_sat(check_cells, var_cells), add_sat(n, m));
  return {mul_sat(items, 6 * sizeof(int)), 0};
}

CallMemory graph_state_step_memory(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
                                   std::size_t bits, std::size_t checks) noexcept {
  CallMemory need;
  need.working = add_sat(graph_state_step_bytes(vn, cn, bits, checks), mul_sat(bits, sizeof(int)));
  need.results = mul_sat(bits, 2);
  return need;
}

}  // namespace linkforge::ldpc
