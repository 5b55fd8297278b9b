// Low-density parity-check codes: parity_check_coder, sparse_graph_solve,
// sparse_graph_decode, graph_state_setup, graph_state_step.
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "binding.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/ldpc_graph_state.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

// Cells of a 1-based, zero-padded index matrix: v > 0 becomes position trunc(v - 1), any
// other cell (0, negative, NaN) -1, empty.
std::vector<int> position_cells(const Matrix& matrix) {
  std::vector<int> cells(matrix.values.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const double v = matrix.values[i];
    if (!(v > 0.0)) {
      cells[i] = -1;
    } else if (v < 1.0) {
      cells[i] = 0;
    } else {
      cells[i] = v - 1.0 >= 2147483647.0 ? INT_MAX : static_cast<int>(v - 1.0);
    }
  }
  return cells;
}

// Cells of a 0-based index matrix, truncated; NaN becomes -1, beyond the int range saturates.
std::vector<int> index_cells(const Matrix& matrix) {
  std::vector<int> cells(matrix.values.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const double v = matrix.values[i];
    cells[i] = std::isnan(v) ? -1 : v >= 2147483647.0 ? INT_MAX : v <= -2147483648.0 ? INT_MIN
                                                                                     : static_cast<int>(v);
  }
  return cells;
}

float read_scale(double value, const char* name) {
  const auto scale = static_cast<float>(value);
  if (!std::isfinite(scale)) fail(std::string(name) + " must be a finite number");
  return scale;
}

struct Code {
  Matrix rows, cols;

  ldpc::SparseGraphShape shape(std::size_t n) const {
    return {n, rows.rows, rows.cols, cols.values.size()};
  }
};

Code read_code(py::handle H_rows, py::handle H_cols) {
  return {matrix(H_rows, "H_rows"), matrix(H_cols, "H_cols")};
}

ldpc::SparseGraph make_graph(int n, const Code& code) {
  const std::vector<int> row_cells = position_cells(code.rows);
  const std::vector<int> col_cells = position_cells(code.cols);
  return ldpc::make_sparse_graph(n, {row_cells, code.rows.rows, code.rows.cols},
                                 {col_cells, code.cols.rows, code.cols.cols});
}

ldpc::DecoderKind read_kind(long long dec_type) {
  if (dec_type == 2) fail("dec_type = 2 is not supported");
  return dec_type == 1 ? ldpc::DecoderKind::kMinSum : ldpc::DecoderKind::kSumProduct;
}

py::array_t<double> parity_check_coder(py::handle data, py::handle H_rows, py::handle P) {
  const Frames bits = frames(data, "data");
  const Matrix h = matrix(H_rows, "H_rows");
  Matrix p;
  if (!P.is_none()) {
    p = matrix(P, "P");
    if (p.rows != p.cols) {
      fail("P must be square, (z, z) (it is (" + std::to_string(p.rows) + ", " +
           std::to_string(p.cols) + "))");
    }
  }
  const ldpc::MatrixView<const double> p_view{p.values, p.rows, p.rows};
  const std::size_t n = bits.length() + h.rows;
  MemoryEstimate().values<double>(mul_sat(bits.frames(), n)).require("the encoder");
  OutFrames out = out_frames(bits.lead, n);
  without_gil([&] {
    std::vector<double> buffer;
    for (std::size_t f = 0; f < bits.frames(); ++f) {
      ldpc::encode(frame_values(bits.re, f, buffer), {h.values, h.rows, h.cols}, p_view,
                   {n > 0 ? &out.view(f, 0) : nullptr, n});
    }
  });
  return out.array;
}

py::tuple sparse_graph_solve(py::handle input, py::handle H_rows, py::handle H_cols,
                             long long max_iter, long long dec_type, double r_scale_factor,
                             double q_scale_factor, py::handle data) {
  const Vector received = vector(input, "input");
  const Code code = read_code(H_rows, H_cols);
  const std::size_t n = received.re.size();
  if (n > static_cast<std::size_t>(INT_MAX)) fail("input is too long");
  ldpc::DecodeParams params;
  params.max_iter = checked_range(max_iter, 0, INT_MAX, "max_iter", "0 or more");
  params.kind = read_kind(dec_type);
  params.r_scale = read_scale(r_scale_factor, "r_scale_factor");
  params.q_scale = read_scale(q_scale_factor, "q_scale_factor");
  const auto iterations = static_cast<std::size_t>(params.max_iter);
  MemoryEstimate()
      .call(ldpc::sparse_graph_solve_memory(code.shape(n), params.max_iter))
      .require("the decoder");
  refuse_bad_soft_values(received.re, "input");
  const ldpc::SparseGraph graph = make_graph(static_cast<int>(n), code);
  const auto k = static_cast<std::size_t>(graph.k);
  std::vector<int> reference(k, 0);
  if (!data.is_none()) {
    const Vector bits = vector(data, "data");
    if (bits.re.size() != k) fail("data must hold the k = n - m data bits");
    refuse_nan(bits.re, "data");
    for (std::size_t v = 0; v < k; ++v) {
      reference[v] = static_cast<int>(std::clamp(bits.re[v], -2147483648.0, 2147483647.0));
    }
  }
  const std::vector<float> channel(received.re.begin(), received.re.end());
  std::vector<std::uint8_t> decisions(iterations * n);
  std::vector<int> errors(iterations);
  without_gil([&] {
    ldpc::decode(graph, channel, params, reference, decisions, errors, python_interrupt());
  });
  // Decisions are iteration-major: row t holds iteration t + 1.
  py::array_t<double> output({static_cast<py::ssize_t>(iterations), static_cast<py::ssize_t>(n)});
  std::copy(decisions.begin(), decisions.end(), output.mutable_data());
  return py::make_tuple(output, to_index_array(errors));
}

py::tuple sparse_graph_decode(py::handle input, py::handle H_rows, py::handle H_cols,
                              long long max_iter, long long dec_type, double r_scale_factor,
                              double q_scale_factor, py::handle data, long long threads) {
  const Frames in = frames(input, "input");
  const Code code = read_code(H_rows, H_cols);
  const std::size_t F = in.frames(), n = in.length();
  if (n > static_cast<std::size_t>(INT_MAX)) fail("input has too many values per frame");
  ldpc::BatchDecodeParams params;
  params.max_iter = checked_range(max_iter, 0, INT_MAX, "max_iter", "0 or more");
  params.kind = read_kind(dec_type);
  params.r_scale = read_scale(r_scale_factor, "r_scale_factor");
  params.q_scale = read_scale(q_scale_factor, "q_scale_factor");
  params.threads = read_threads(threads);
  const auto iterations = static_cast<std::size_t>(params.max_iter);
  // The reference bits are counted as one row per frame, whatever data holds.
  MemoryEstimate()
      .call(ldpc::sparse_graph_decode_memory(code.shape(n), params, F, F))
      .require("the decoder");
  refuse_bad_soft_values(in.re, "input");
  const ldpc::SparseGraph graph = make_graph(static_cast<int>(n), code);
  const auto k = static_cast<std::size_t>(graph.k);
  // The reference: one row for every frame, or one row per frame.
  std::vector<int> reference;
  FrameView<const int> reference_view;
  if (!data.is_none()) {
    const Frames bits = frames(data, "data");
    if (bits.length() != k) fail("data must hold the k = n - m data bits of each frame");
    if (!bits.single() && bits.lead != in.lead) {
      fail("data must be (k,), shared by every frame, or have input's leading axes");
    }
    refuse_nan(bits.re, "data");
    reference.resize(bits.frames() * k);
    for (std::size_t f = 0; f < bits.frames(); ++f) {
      for (std::size_t v = 0; v < k; ++v) {
        reference[f * k + v] = static_cast<int>(std::clamp(bits.re(f, v), -2147483648.0, 2147483647.0));
      }
    }
    reference_view = bits.single() ? FrameView<const int>{reference.data(), F, k, 0, 1}
                                   : FrameView<const int>::row_major(reference.data(), F, k);
  }
  std::vector<std::uint8_t> decisions(F * n);
  std::vector<int> errors(F * iterations);
  std::vector<int> runs(F);
  without_gil([&] {
    ldpc::decode_batch(graph, in.re, reference_view, params,
                       {FrameView<std::uint8_t>::row_major(decisions.data(), F, n),
                        FrameView<int>::row_major(errors.data(), F, iterations), runs},
                       python_interrupt());
  });
  OutFrames output = out_frames(in.lead, n);
  std::copy(decisions.begin(), decisions.end(), output.array.mutable_data());
  py::array_t<std::int64_t> error_counts(shape_of(in.lead, {iterations}));
  std::copy(errors.begin(), errors.end(), error_counts.mutable_data());
  py::array_t<std::int64_t> iterations_run(in.lead);
  std::copy(runs.begin(), runs.end(), iterations_run.mutable_data());
  return py::make_tuple(output.array, error_counts, iterations_run);
}

// The decoder state of graph_state_setup and graph_state_step: one record per bit and
// per check, owned here. A state is stepped by one call at a time.
class GraphState {
 public:
  std::vector<ldpc::VnState> vn;
  std::vector<ldpc::CnState> cn;
  std::vector<ldpc::VnPtrs> vn_ptrs;
  std::vector<ldpc::CnPtrs> cn_ptrs;
  bool busy = false;
};

// Degree of each row of an index matrix: its leading non-negative cells.
std::vector<int> row_degrees(const std::vector<int>& cells, std::size_t rows, std::size_t cols) {
  std::vector<int> degrees(rows, 0);
  for (std::size_t r = 0; r < rows; ++r) {
    while (static_cast<std::size_t>(degrees[r]) < cols && cells[r + degrees[r] * rows] >= 0) {
      ++degrees[r];
    }
  }
  return degrees;
}

// Marks a state busy while a call uses it without the GIL.
class Busy {
 public:
  explicit Busy(GraphState& state) : state_(state) {
    if (state.busy) fail("the state is in use by another thread; give every thread its own state");
    state.busy = true;
  }
  ~Busy() { state_.busy = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  GraphState& state_;
};

template <class T>
py::array_t<T> copy_of(const std::vector<T>& values, std::int32_t degree) {
  py::array_t<T> a(degree);
  std::copy_n(values.begin(), degree, a.mutable_data());
  return a;
}

py::list vn_records(const GraphState& s) {
  py::list records;
  for (const ldpc::VnState& v : s.vn) {
    records.append(py::dict("degree"_a = v.degree, "channel"_a = v.channel,
                            "checks"_a = copy_of(v.checks, v.degree),
                            "sockets"_a = copy_of(v.sockets, v.degree),
                            "q_magnitude"_a = copy_of(v.q_magnitude, v.degree),
                            "q_sign"_a = copy_of(v.q_sign, v.degree)));
  }
  return records;
}

py::list cn_records(const GraphState& s) {
  py::list records;
  for (const ldpc::CnState& c : s.cn) {
    records.append(py::dict("degree"_a = c.degree, "bits"_a = copy_of(c.bits, c.degree),
                            "r"_a = copy_of(c.r, c.degree), "sockets"_a = copy_of(c.sockets, c.degree)));
  }
  return records;
}

std::unique_ptr<GraphState> graph_state_setup(py::handle input, py::handle check_index,
                                              py::handle var_index) {
  const Vector received = vector(input, "input");
  const Matrix checks = matrix(check_index, "check_index");
  const Matrix vars = matrix(var_index, "var_index");
  const std::size_t n = received.re.size(), m = checks.rows;
  if (vars.rows < n) fail("var_index must have a row for each of the n bits of input");
  // The set-up, and the state this module holds: its records and at most two ints per
  // index cell and node beyond what the set-up counts.
  const std::uint64_t items =
      add_sat(add_sat(checks.values.size(), vars.values.size()), add_sat(n, m));
  MemoryEstimate()
      .call(ldpc::graph_state_setup_memory(checks.values.size(), vars.values.size(), n, m))
      .values<int>(mul_sat(items, 2))
      .values<ldpc::VnPtrs>(n)
      .values<ldpc::CnPtrs>(m)
      .require("the decoder state");
  refuse_bad_soft_values(received.re, "input");
  const std::vector<int> check_cells = index_cells(checks);
  const std::vector<int> var_cells = index_cells(vars);
  auto state = std::make_unique<GraphState>();
  const std::vector<int> vn_degrees = row_degrees(var_cells, vars.rows, vars.cols);
  state->vn = ldpc::make_vn_state(std::span<const int>(vn_degrees).first(n));
  state->cn = ldpc::make_cn_state(row_degrees(check_cells, checks.rows, checks.cols));
  state->vn_ptrs.resize(n);
  state->cn_ptrs.resize(m);
  ldpc::GetVnPtrs(state->vn, state->vn_ptrs);
  ldpc::GetCnPtrs(state->cn, state->cn_ptrs);
  without_gil([&] {
    ldpc::graph_state_setup(received.re, {check_cells, checks.rows, checks.cols},
                            {var_cells, vars.rows, vars.cols}, state->vn_ptrs, state->cn_ptrs);
  });
  return state;
}

py::tuple graph_state_step(py::handle input, GraphState& state, py::object m_arg) {
  const Vector received = vector(input, "input");
  const std::size_t n = received.re.size();
  if (n > state.vn.size()) {
    fail("input holds " + std::to_string(n) + " values, more than the state's " +
         std::to_string(state.vn.size()) + " bits");
  }
  std::size_t m = state.cn.size();
  if (!m_arg.is_none()) {
    if (!py::isinstance<py::int_>(m_arg)) fail_type("m must be an int or None");
    const long long value = m_arg.cast<long long>();
    if (value < 0) fail("m must not be negative");
    if (static_cast<unsigned long long>(value) > m) {
      fail("m must be at most the state's " + std::to_string(m) + " checks");
    }
    m = static_cast<std::size_t>(value);
  }
  MemoryEstimate()
      .call(ldpc::graph_state_step_memory(state.vn_ptrs, state.cn_ptrs, n, m))
      .require("the step");
  refuse_bad_soft_values(received.re, "input");
  Busy busy(state);
  py::array_t<double> output(static_cast<py::ssize_t>(n));
  py::array_t<double> bits(static_cast<py::ssize_t>(n));
  std::vector<int> decisions(n);
  const std::span<double> out(output.mutable_data(), n);
  without_gil([&] {
    ldpc::graph_state_step(received.re, state.vn_ptrs, state.cn_ptrs, m, out, decisions,
                           python_interrupt());
  });
  std::copy(decisions.begin(), decisions.end(), bits.mutable_data());
  return py::make_tuple(output, bits);
}

}  // namespace

void add_ldpc(py::module_& m) {
  m.def("parity_check_coder", &parity_check_coder, "data"_a, "H_rows"_a, "P"_a = py::none(),
        R"(parity_check_coder(data, H_rows, P=None) -> ndarray

Systematic encoder of LDPC codes with a (block) staircase parity part: the codeword
is the k data bits followed by m parity bits.

data    (..., k) bits of 0 and 1.
H_rows  (m, any) 1-based positions of the ones of each row of H (data columns and,
        for the block staircase, the first parity block), zero-padded.
P       (z, z) inverse over GF(2) of the first parity block column's blocks, for the
        block staircase; None for the staircase.

Returns (..., k + m) code bits.)");

  m.def("sparse_graph_solve", &sparse_graph_solve, "input"_a, "H_rows"_a, "H_cols"_a,
        "max_iter"_a = 30, "dec_type"_a = 0, "r_scale_factor"_a = 1.0, "q_scale_factor"_a = 1.0,
        "data"_a = py::none(),
        R"(sparse_graph_solve(input, H_rows, H_cols, max_iter=30, dec_type=0, r_scale_factor=1.0, q_scale_factor=1.0, data=None) -> (output, errors)

Flooding LDPC decoder of one block. Its LLRs are ln(P(0)/P(1)): positive favours 0
(the opposite of every other function; sparse_graph_decode takes ln(P(1)/P(0))).

input           (n,) received LLRs ln(P(0)/P(1)).
H_rows          (m, any) 1-based, zero-padded column positions of each row of H.
H_cols          (e, any) 1-based row positions of columns of H; e selects the layout:
                n full, k staircase, k < e < n block staircase.
max_iter        most iterations, 0 or more.
dec_type        1: min-sum; 2: refused; other values: sum-product.
r_scale_factor  multiplies every check-to-bit message.
q_scale_factor  multiplies every bit-to-check magnitude an iteration computes.
data            (k,) sent data bits, or None for all 0. The decoder stops after the
                first iteration without a data-bit error.

Returns output (max_iter, n) decisions, row t after iteration t + 1 (0 for
iterations not run), and errors (max_iter,) int64 data-bit errors.)");

  m.def("sparse_graph_decode", &sparse_graph_decode, "input"_a, "H_rows"_a, "H_cols"_a,
        "max_iter"_a = 30, "dec_type"_a = 0, "r_scale_factor"_a = 1.0, "q_scale_factor"_a = 1.0,
        "data"_a = py::none(), "threads"_a = 0,
        R"(sparse_graph_decode(input, H_rows, H_cols, max_iter=30, dec_type=0, r_scale_factor=1.0, q_scale_factor=1.0, data=None, threads=0) -> (output, errors, iterations_run)

Decodes many LDPC blocks at once; each frame's result equals sparse_graph_solve's for
-input of that frame bit for bit. LLRs are ln(P(1)/P(0)): positive favours 1.

input      (..., n) received LLRs.
H_rows, H_cols, max_iter, dec_type, r_scale_factor, q_scale_factor  as for
           sparse_graph_solve.
data       (k,) data bits shared by every frame, (..., k) one row per frame, or None
           for all 0. A frame stops after its first iteration without a data-bit error.
threads    threads to use, 0 (default) for every core.

Returns output (..., n) decisions after each frame's last iteration, errors
(..., max_iter) int64 data-bit errors after each iteration (0 after the last one run)
and iterations_run (...) int64.)");

  py::class_<GraphState>(m, "GraphState",
                         R"(Decoder state of graph_state_setup and graph_state_step: the edge
lists, sockets and messages of every bit and check, owned by this object. Give every
thread its own state.)")
      .def_property_readonly("bits", [](const GraphState& s) { return s.vn.size(); },
                             "Number of bits (variable nodes).")
      .def_property_readonly("checks", [](const GraphState& s) { return s.cn.size(); },
                             "Number of checks.")
      .def_property_readonly("vn_state", &vn_records,
                             R"(Copies of the bit records, one dict per bit: degree, channel,
checks, sockets, q_magnitude (phi of |q|) and q_sign (1 = negative).)")
      .def_property_readonly("cn_state", &cn_records,
                             R"(Copies of the check records, one dict per check: degree, bits,
r and sockets.)")
      .def("__repr__", [](const GraphState& s) {
        return "<linkforge.GraphState with " + std::to_string(s.vn.size()) + " bits and " +
               std::to_string(s.cn.size()) + " checks>";
      });

  m.def("graph_state_setup", &graph_state_setup, "input"_a, "check_index"_a, "var_index"_a,
        R"(graph_state_setup(input, check_index, var_index) -> GraphState

Loads a received block into a new sum-product decoder state that graph_state_step
advances one iteration at a time. LLRs are ln(P(0)/P(1)) here (positive favours 0),
as sparse_graph_solve takes them; graph_state_step takes the negated values.

input        (n,) received LLRs ln(P(0)/P(1)).
check_index  (m, any) 0-based bit indices: row i lists the bits of check i, then -1.
var_index    (>= n, any) 0-based check indices: row v lists the checks of bit v, then
             -1. A row's degree is its count of leading non-negative cells; both
             matrices must describe the same H.

Returns the state.)");

  m.def("graph_state_step", &graph_state_step, "input"_a, "state"_a, "m"_a = py::none(),
        R"(graph_state_step(input, state, m=None) -> (output, bits)

Runs one flooding sum-product iteration on a state from graph_state_setup, in place.

input  (n,) channel LLRs ln(P(1)/P(0)) (the negated values given to the set-up), n at
       most state.bits; the first n bits are processed.
state  a GraphState.
m      checks to process, the first m; None for all of them.

Returns output (n,), input minus the sum of the messages into each bit (positive
favours 1), and bits (n,), its hard decisions.)");
}

}  // namespace linkforge::python
