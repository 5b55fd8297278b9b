#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/ldpc_graph_state.hpp"
#include "sockets.hpp"

namespace linkforge::ldpc {

namespace {

[[noreturn]] void refuse(const Refusal& refusal) {
  throw ArgumentError(refusal);
}

[[noreturn]] void refuse(const char* text) {
  throw ArgumentError(text);
}

auto i64(std::size_t value) {
  return static_cast<std::int64_t>(value);
}

template <class Records>
void check_degrees(Records records, const char* state) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (*records[i].degree < 0) {
      refuse({.fault = Fault::kNegativeDegree,
              .argument = state,
              .row = i64(i),
              .value = *records[i].degree});
    }
  }
}

// Rows of an index matrix read up to each node's degree: every cell read must lie in
// 0..limit-1.
template <class Records>
void check_index_matrix(Records records, MatrixView<const int> index, const char* index_name,
                        const char* state, int limit) {
  if (index.values.size() != index.rows * index.cols) refuse("index matrix size mismatch");
  if (index.rows < records.size()) {
    refuse({.fault = Fault::kFewerRows,
            .argument = index_name,
            .other = state,
            .value = i64(index.rows),
            .limit = i64(records.size())});
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto d = static_cast<std::size_t>(*records[i].degree);
    if (d > index.cols) {
      refuse({.fault = Fault::kFewerColumns,
              .argument = index_name,
              .other = state,
              .row = i64(i),
              .value = i64(index.cols),
              .limit = i64(d)});
    }
    for (std::size_t j = 0; j < d; ++j) {
      const int cell = index(i, j);
      if (cell < 0 || cell >= limit) {
        refuse({.fault = Fault::kNotIndex,
                .argument = index_name,
                .row = i64(i),
                .col = i64(j),
                .value = cell,
                .limit = limit});
      }
    }
  }
}

// Offsets of the lists of the given records (degrees already checked).
template <class Records>
std::vector<int> list_offsets(Records records) {
  std::vector<int> offset(records.size() + 1, 0);
  long long total = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    total += *records[i].degree;
    if (total > 0x7fffffff) refuse({.fault = Fault::kTooManyEdges, .argument = "state"});
    offset[i + 1] = static_cast<int>(total);
  }
  return offset;
}

std::vector<int> check_lists(std::span<const CnPtrs> cn, const std::vector<int>& offset) {
  std::vector<int> lists(static_cast<std::size_t>(offset.back()));
  for (std::size_t i = 0; i < cn.size(); ++i) {
    for (int j = 0; j < *cn[i].degree; ++j) {
      lists[static_cast<std::size_t>(offset[i] + j)] = cn[i].bits[j];
    }
  }
  return lists;
}

std::vector<int> bit_lists(std::span<const VnPtrs> vn, const std::vector<int>& offset) {
  std::vector<int> lists(static_cast<std::size_t>(offset.back()));
  for (std::size_t v = 0; v < vn.size(); ++v) {
    for (int j = 0; j < *vn[v].degree; ++j) {
      lists[static_cast<std::size_t>(offset[v] + j)] = vn[v].checks[j];
    }
  }
  return lists;
}

void validate_set_cn_ind(std::span<const CnPtrs> cn, MatrixView<const int> check_index, int n) {
  check_degrees(cn, "cn_state");
  if (check_index.rows != cn.size()) {
    refuse({.fault = Fault::kRowPerElement,
            .argument = "check_index",
            .other = "cn_state",
            .value = i64(check_index.rows),
            .limit = i64(cn.size())});
  }
  check_index_matrix(cn, check_index, "check_index", "cn_state", n);
}

void validate_set_vn_st(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
                        MatrixView<const int> var_index, std::span<const double> input) {
  check_degrees(vn, "vn_state");
  check_degrees(cn, "cn_state");
  if (input.size() != vn.size()) {
    refuse({.fault = Fault::kValuePerElement,
            .argument = "input",
            .other = "vn_state",
            .value = i64(input.size()),
            .limit = i64(vn.size())});
  }
  check_index_matrix(vn, var_index, "var_index", "vn_state", static_cast<int>(cn.size()));
}

// Every index and socket a step follows, from the first `bits` bits and `checks`
// checks, must name an existing node and edge.
void validate_step(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn, std::size_t bits,
                   std::size_t checks) {
  check_degrees(vn, "vn_state");
  check_degrees(cn, "cn_state");
  const auto n = i64(vn.size());
  const auto m = i64(cn.size());
  for (std::size_t v = 0; v < bits; ++v) {
    for (int j = 0; j < *vn[v].degree; ++j) {
      const int c = vn[v].checks[j];
      if (c < 0 || c >= m) {
        refuse({.fault = Fault::kEdgeTarget,
                .argument = "vn_state",
                .other = "cn_state",
                .row = i64(v),
                .col = j,
                .value = c,
                .limit = m});
      }
      const int s = vn[v].sockets[j];
      const int d = *cn[static_cast<std::size_t>(c)].degree;
      if (s < 0 || s >= d) {
        refuse({.fault = Fault::kEdgeSocket,
                .argument = "vn_state",
                .other = "cn_state",
                .row = i64(v),
                .col = j,
                .value = s,
                .limit = d,
                .extra = c});
      }
    }
  }
  for (std::size_t i = 0; i < checks; ++i) {
    for (int j = 0; j < *cn[i].degree; ++j) {
      const int v = cn[i].bits[j];
      if (v < 0 || v >= n) {
        refuse({.fault = Fault::kEdgeTarget,
                .argument = "cn_state",
                .other = "vn_state",
                .row = i64(i),
                .col = j,
                .value = v,
                .limit = n});
      }
      const int s = cn[i].sockets[j];
      const int d = *vn[static_cast<std::size_t>(v)].degree;
      if (s < 0 || s >= d) {
        refuse({.fault = Fault::kEdgeSocket,
                .argument = "cn_state",
                .other = "vn_state",
                .row = i64(i),
                .col = j,
                .value = s,
                .limit = d,
                .extra = v});
      }
    }
  }
}

}  // namespace

std::vector<VnState> make_vn_state(std::span<const int> degrees) {
  std::vector<VnState> state(degrees.size());
  for (std::size_t v = 0; v < degrees.size(); ++v) {
    if (degrees[v] < 0) refuse("degrees must not be negative");
    const auto d = static_cast<std::size_t>(degrees[v]);
    state[v].degree = degrees[v];
    state[v].checks.assign(d, 0);
    state[v].sockets.assign(d, 0);
    state[v].q_magnitude.assign(d, 0.0f);
    state[v].q_sign.assign(d, 0);
  }
  return state;
}

std::vector<CnState> make_cn_state(std::span<const int> degrees) {
  std::vector<CnState> state(degrees.size());
  for (std::size_t i = 0; i < degrees.size(); ++i) {
    if (degrees[i] < 0) refuse("degrees must not be negative");
    const auto d = static_cast<std::size_t>(degrees[i]);
    state[i].degree = degrees[i];
    state[i].bits.assign(d, 0);
    state[i].r.assign(d, 0.0f);
    state[i].sockets.assign(d, 0);
  }
  return state;
}

void GetVnPtrs(std::span<VnState> state, std::span<VnPtrs> records) {
  if (records.size() != state.size()) refuse("one record per variable node is needed");
  for (std::size_t v = 0; v < state.size(); ++v) {
    VnState& s = state[v];
    const std::size_t d = s.degree < 0 ? 0 : static_cast<std::size_t>(s.degree);
    if (s.checks.size() < d || s.sockets.size() < d || s.q_magnitude.size() < d ||
        s.q_sign.size() < d) {
      refuse({.fault = Fault::kShortArray, .argument = "vn_state", .row = i64(v)});
    }
    records[v] = {&s.degree,        &s.channel,           s.checks.data(),
                  s.sockets.data(), s.q_magnitude.data(), s.q_sign.data()};
  }
}

void GetCnPtrs(std::span<CnState> state, std::span<CnPtrs> records) {
  if (records.size() != state.size()) refuse("one record per check node is needed");
  for (std::size_t i = 0; i < state.size(); ++i) {
    CnState& s = state[i];
    const std::size_t d = s.degree < 0 ? 0 : static_cast<std::size_t>(s.degree);
    if (s.bits.size() < d || s.r.size() < d || s.sockets.size() < d) {
      refuse({.fault = Fault::kShortArray, .argument = "cn_state", .row = i64(i)});
    }
    records[i] = {&s.degree, s.bits.data(), s.r.data(), s.sockets.data()};
  }
}

void SetCnInd(std::span<const CnPtrs> cn, MatrixView<const int> check_index, int n) {
  validate_set_cn_ind(cn, check_index, n);
  for (std::size_t i = 0; i < cn.size(); ++i) {
    for (int j = 0; j < *cn[i].degree; ++j) {
      cn[i].bits[j] = check_index(i, static_cast<std::size_t>(j));
    }
  }
}

void SetVnSt(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
             MatrixView<const int> var_index, std::span<const double> input) {
  validate_set_vn_st(vn, cn, var_index, input);
  const std::vector<int> bit_offset = list_offsets(vn);
  std::vector<int> bit_list(static_cast<std::size_t>(bit_offset.back()));
  for (std::size_t v = 0; v < vn.size(); ++v) {
    for (int j = 0; j < *vn[v].degree; ++j) {
      bit_list[static_cast<std::size_t>(bit_offset[v] + j)] =
          var_index(v, static_cast<std::size_t>(j));
    }
  }
  const std::vector<int> check_offset = list_offsets(cn);
  std::vector<int> socket(bit_list.size());
  detail::first_positions(bit_offset, bit_list, check_offset, check_lists(cn, check_offset),
                          socket);

  for (std::size_t v = 0; v < vn.size(); ++v) {
    const auto channel = static_cast<float>(input[v]);
    const float magnitude = phi0(std::fabs(channel));
    const std::int32_t negative = input[v] < 0.0 ? 1 : 0;
    const VnPtrs& r = vn[v];
    *r.channel = channel;
    for (int j = 0; j < *r.degree; ++j) {
      const auto e = static_cast<std::size_t>(bit_offset[v] + j);
      r.checks[j] = bit_list[e];
      if (socket[e] >= 0) r.sockets[j] = socket[e];
      r.q_magnitude[j] = magnitude;
      r.q_sign[j] = negative;
    }
  }
}

void SetCnSock(std::span<const CnPtrs> cn, std::span<const VnPtrs> vn) {
  check_degrees(cn, "cn_state");
  check_degrees(vn, "vn_state");
  const auto n = static_cast<int>(vn.size());
  for (std::size_t i = 0; i < cn.size(); ++i) {
    for (int j = 0; j < *cn[i].degree; ++j) {
      if (cn[i].bits[j] < 0 || cn[i].bits[j] >= n) {
        refuse({.fault = Fault::kEdgeTarget,
                .argument = "cn_state",
                .other = "vn_state",
                .row = i64(i),
                .col = j,
                .value = cn[i].bits[j],
                .limit = n});
      }
    }
  }
  const std::vector<int> check_offset = list_offsets(cn);
  const std::vector<int> check_list = check_lists(cn, check_offset);
  const std::vector<int> bit_offset = list_offsets(vn);
  std::vector<int> socket(check_list.size());
  detail::first_positions(check_offset, check_list, bit_offset, bit_lists(vn, bit_offset), socket);
  for (std::size_t i = 0; i < cn.size(); ++i) {
    for (int j = 0; j < *cn[i].degree; ++j) {
      const int found = socket[static_cast<std::size_t>(check_offset[i] + j)];
      if (found >= 0) cn[i].sockets[j] = found;
    }
  }
}

void graph_state_setup(std::span<const double> input, MatrixView<const int> check_index,
                       MatrixView<const int> var_index, std::span<const VnPtrs> vn,
                       std::span<const CnPtrs> cn) {
  // Everything is checked before the first write; the helpers' own checks then pass.
  validate_set_cn_ind(cn, check_index, static_cast<int>(vn.size()));
  validate_set_vn_st(vn, cn, var_index, input);
  SetCnInd(cn, check_index, static_cast<int>(vn.size()));
  SetVnSt(vn, cn, var_index, input);
  SetCnSock(cn, vn);
}

namespace {

// Edges of the first `checks` check records and the first `bits` bit records (negative
// degrees count as none).
std::pair<std::size_t, std::size_t> step_edges(std::span<const VnPtrs> vn,
                                               std::span<const CnPtrs> cn, std::size_t bits,
                                               std::size_t checks) noexcept {
  std::size_t check_edges = 0, bit_edges = 0;
  for (const CnPtrs& check : cn.first(checks)) check_edges += static_cast<std::size_t>(std::max(*check.degree, 0));
  for (const VnPtrs& bit : vn.first(bits)) bit_edges += static_cast<std::size_t>(std::max(*bit.degree, 0));
  return {check_edges, bit_edges};
}

}  // namespace

void graph_state_step(std::span<const double> input, std::span<const VnPtrs> vn,
                      std::span<const CnPtrs> cn, std::size_t checks, std::span<double> output,
                      std::span<int> decisions, const Interrupt& interrupt) {
  const std::size_t n = input.size();
  if (n > vn.size() || output.size() != n || decisions.size() != n) {
    refuse("input, output and decisions must hold one value per bit processed");
  }
  if (checks > cn.size()) refuse("more checks to process than elements of cn_state");
  validate_step(vn, cn, n, checks);

  // Edges of the processed checks and bits: phi0's arguments are gathered for each pass
  // and evaluated side by side in SIMD lanes (phi0_lanes gives the scalar phi0's
  // results). Deferring them changes nothing: the check pass reads only bit-to-check
  // messages and the bit pass only check-to-bit ones, and the reader of the state
  // refuses fields that share storage.
  const auto [check_edges, bit_edges] = step_edges(vn, cn, n, checks);
  std::vector<float> values(std::max(check_edges, bit_edges));
  std::vector<std::int32_t> parity(checks);

  InterruptPacer pacer(interrupt);
  std::size_t e = 0;
  for (std::size_t i = 0; i < checks; ++i) {
    const CnPtrs& check = cn[i];
    const int d = *check.degree;
    pacer.add(2 * static_cast<std::uint64_t>(d) + 1);
    float S = 0.0f;
    std::int32_t X = 0;
    for (int j = 0; j < d; ++j) {
      const VnPtrs& bit = vn[static_cast<std::size_t>(check.bits[j])];
      S += bit.q_magnitude[check.sockets[j]];
      X ^= bit.q_sign[check.sockets[j]];
    }
    parity[i] = X;
    for (int j = 0; j < d; ++j) {
      values[e++] = S - vn[static_cast<std::size_t>(check.bits[j])].q_magnitude[check.sockets[j]];
    }
  }
  phi0_lanes(std::span<float>(values).first(check_edges), std::span<float>(values).first(check_edges));
  e = 0;
  for (std::size_t i = 0; i < checks; ++i) {
    const CnPtrs& check = cn[i];
    for (int j = 0; j < *check.degree; ++j) {
      const float magnitude = values[e++];
      const VnPtrs& bit = vn[static_cast<std::size_t>(check.bits[j])];
      check.r[j] = bit.q_sign[check.sockets[j]] == parity[i] ? magnitude : -magnitude;
    }
  }

  // The bit pass reads only r messages, so each bit's new q messages can follow its
  // output at once.
  e = 0;
  for (std::size_t v = 0; v < n; ++v) {
    const VnPtrs& bit = vn[v];
    const int d = *bit.degree;
    pacer.add(2 * static_cast<std::uint64_t>(d) + 1);
    float R = 0.0f;
    for (int j = 0; j < d; ++j) {
      R += cn[static_cast<std::size_t>(bit.checks[j])].r[bit.sockets[j]];
    }
    const double out = input[v] - static_cast<double>(R);
    output[v] = out;
    decisions[v] = out > 0.0 ? 1 : 0;
    for (int j = 0; j < d; ++j) {
      const float r = cn[static_cast<std::size_t>(bit.checks[j])].r[bit.sockets[j]];
      const auto E = static_cast<float>(-out - static_cast<double>(r));
      values[e++] = std::fabs(E);
      bit.q_sign[j] = E > 0.0f ? 0 : 1;
    }
  }
  phi0_lanes(std::span<float>(values).first(bit_edges), std::span<float>(values).first(bit_edges));
  e = 0;
  for (const VnPtrs& bit : vn.first(n)) {
    for (int j = 0; j < *bit.degree; ++j) bit.q_magnitude[j] = values[e++];
  }
}

std::uint64_t graph_state_step_bytes(std::span<const VnPtrs> vn, std::span<const CnPtrs> cn,
                                     std::size_t bits, std::size_t checks) noexcept {
  const auto [check_edges, bit_edges] =
      step_edges(vn, cn, std::min(bits, vn.size()), std::min(checks, cn.size()));
  return std::max<std::uint64_t>(check_edges, bit_edges) * sizeof(float) +
         checks * sizeof(std::int32_t);
}

}  // namespace linkforge::ldpc
