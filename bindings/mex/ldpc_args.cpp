#include "ldpc_args.hpp"

#include "linkforge/checked.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace linkforge::mex {

using ldpc::CnPtrs;
using ldpc::VnPtrs;

std::vector<int> position_cells(const Matrix& matrix) {
  const std::span<const double> values = matrix.real();
  std::vector<int> cells(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    // Below 1, v - 1 may round to -1 although its truncation is 0.
    cells[i] = v > 0.0 ? (v < 1.0 ? 0 : trunc_to_int(v - 1.0)) : -1;
  }
  return cells;
}

float read_scale_factor(const mxArray* array, const char* name) {
  const auto value = static_cast<float>(scalar_double(array, name));
  if (!std::isfinite(value)) fail(std::string(name) + " must be a finite number");
  return value;
}

ldpc::SparseGraphShape code_shape(std::size_t n, const Matrix& h_rows, const Matrix& h_cols) {
  return {n, h_rows.rows(), h_rows.cols(), h_cols.size()};
}

ldpc::SparseGraph make_code_graph(int n, const Matrix& h_rows, const Matrix& h_cols) {
  const std::vector<int> row_cells = position_cells(h_rows);
  const std::vector<int> col_cells = position_cells(h_cols);
  try {
    return ldpc::make_sparse_graph(n, {row_cells, h_rows.rows(), h_rows.cols()},
                                   {col_cells, h_cols.rows(), h_cols.cols()});
  } catch (const ArgumentError& e) {
    fail("Error: " + host_message(e));
  }
}

std::vector<int> index_cells(const Matrix& matrix) {
  const std::span<const double> values = matrix.real();
  std::vector<int> cells(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    cells[i] = std::isnan(values[i]) ? -1 : trunc_to_int(values[i]);
  }
  return cells;
}

namespace {

enum class Access { kUnused, kRead, kWritten };

struct FieldInfo {
  const char* role;
  mxClassID class_id;
  bool scalar;
  Access setup;
  Access step;
};

// clang-format off
constexpr FieldInfo kVnFields[6] = {
    {"degree",        mxINT32_CLASS,  true,  Access::kRead,    Access::kRead},
    {"channel value", mxSINGLE_CLASS, true,  Access::kWritten, Access::kUnused},
    {"check indices", mxINT32_CLASS,  false, Access::kWritten, Access::kRead},
    {"sockets",       mxINT32_CLASS,  false, Access::kWritten, Access::kRead},
    {"q magnitudes",  mxSINGLE_CLASS, false, Access::kWritten, Access::kWritten},
    {"q sign bits",   mxINT32_CLASS,  false, Access::kWritten, Access::kWritten},
};
constexpr FieldInfo kCnFields[4] = {
    {"degree",        mxINT32_CLASS,  true,  Access::kRead,    Access::kRead},
    {"bit indices",   mxINT32_CLASS,  false, Access::kWritten, Access::kRead},
    {"r messages",    mxSINGLE_CLASS, false, Access::kUnused,  Access::kWritten},
    {"sockets",       mxINT32_CLASS,  false, Access::kWritten, Access::kRead},
};
// clang-format on

// The bytes of one field that the call touches.
struct Extent {
  std::uintptr_t begin;
  std::uintptr_t end;
  bool written;
  const mxArray* state;
  const char* state_name;
  std::size_t element;
  int field;
  const FieldInfo* info;
};

class StateReader {
 public:
  explicit StateReader(StateUse use) : use_(use) {}

  // Data pointers of the fields of one element, in field order; null for unused fields.
  template <std::size_t F>
  void read_element(const mxArray* state, const char* state_name, std::size_t element,
                    const FieldInfo (&info)[F], void* (&data)[F]) {
    const mxArray* degree_field = checked_field(state, state_name, element, 0, info[0], 1);
    const std::int32_t degree = *static_cast<const std::int32_t*>(mxGetData(degree_field));
    if (degree < 0) {
      fail(where(state, state_name, element, 0, info[0]) + " is " + std::to_string(degree) +
           "; a degree must not be negative");
    }
    for (std::size_t f = 0; f < F; ++f) {
      const Access access = use_ == StateUse::kSetup ? info[f].setup : info[f].step;
      data[f] = nullptr;
      if (access == Access::kUnused) continue;
      const std::size_t count = info[f].scalar ? 1 : static_cast<std::size_t>(degree);
      const mxArray* field =
          f == 0 ? degree_field
                 : checked_field(state, state_name, element, static_cast<int>(f), info[f], count);
      data[f] = mxGetData(field);
      const auto begin = reinterpret_cast<std::uintptr_t>(data[f]);
      const std::size_t bytes = count * mxGetElementSize(field);
      if (bytes > 0) {
        extents_.push_back({begin, begin + bytes, access == Access::kWritten, state, state_name,
                            element, static_cast<int>(f), &info[f]});
      }
    }
  }

  // A write through one field must not reach the data of another: sorted by address, every
  // extent that starts before the end of an earlier written one, or is written itself and
  // starts before the end of any earlier one, overlaps it.
  void refuse_shared_storage() {
    std::sort(extents_.begin(), extents_.end(),
              [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
    const Extent* furthest = nullptr;
    const Extent* furthest_written = nullptr;
    for (const Extent& e : extents_) {
      const Extent* other = nullptr;
      if (furthest_written != nullptr && e.begin < furthest_written->end) {
        other = furthest_written;
      } else if (e.written && furthest != nullptr && e.begin < furthest->end) {
        other = furthest;
      }
      if (other != nullptr) {
        // The written one first; of two written ones the later in argument order.
        const bool e_first = e.written && (!other->written || later(e, *other));
        const Extent& written = e_first ? e : *other;
        const Extent& shared = e_first ? *other : e;
        fail(name(written) + " shares its storage with " + name(shared) +
             ", so writing one would change the other; give every field its own array "
             "(GraphStateCreate does)");
      }
      if (furthest == nullptr || e.end > furthest->end) furthest = &e;
      if (e.written && (furthest_written == nullptr || e.end > furthest_written->end)) {
        furthest_written = &e;
      }
    }
  }

 private:
  static std::string where(const mxArray* state, const char* state_name, std::size_t element,
                           int field, const FieldInfo& info) {
    const char* field_name = mxGetFieldNameByNumber(state, field);
    return std::string(state_name) + "(" + std::to_string(element + 1) + ")." +
           (field_name != nullptr ? field_name : "?") + " (field " + std::to_string(field + 1) +
           ", " + info.role + ")";
  }

  static bool later(const Extent& a, const Extent& b) {
    const int a_state = a.state_name[0] == 'c';
    const int b_state = b.state_name[0] == 'c';
    if (a_state != b_state) return a_state > b_state;
    if (a.element != b.element) return a.element > b.element;
    return a.field > b.field;
  }

  static std::string name(const Extent& e) {
    return where(e.state, e.state_name, e.element, e.field, *e.info);
  }

  static const mxArray* checked_field(const mxArray* state, const char* state_name,
                                      std::size_t element, int f, const FieldInfo& info,
                                      std::size_t count) {
    const mxArray* field = mxGetFieldByNumber(state, element, f);
    if (field == nullptr) fail(where(state, state_name, element, f, info) + " is not set");
    const char* type = info.class_id == mxINT32_CLASS ? "int32" : "single";
    if (mxGetClassID(field) != info.class_id || mxIsComplex(field)) {
      fail(where(state, state_name, element, f, info) + " must be a real " + type + " array, not " +
           (mxIsComplex(field) ? "complex " : "") + mxGetClassName(field));
    }
    const std::size_t held = mxGetNumberOfElements(field);
    if (held < count) {
      fail(where(state, state_name, element, f, info) + " holds " + std::to_string(held) +
           (info.scalar ? " values; it must hold one"
                        : " values, fewer than the degree " + std::to_string(count)));
    }
    return field;
  }

  StateUse use_;
  std::vector<Extent> extents_;
};

// The element count of a state: exactly one element per node for a set-up, at least
// one per processed node for a step (the others are read where processed nodes name
// them).
std::size_t check_struct(const mxArray* state, const char* state_name, std::size_t count,
                         const char* node_kind, int fields, StateUse use) {
  if (!mxIsStruct(state)) {
    fail(std::string(state_name) + " must be a structure array, not " + mxGetClassName(state));
  }
  const std::size_t held = mxGetNumberOfElements(state);
  if (use == StateUse::kSetup && held != count) {
    fail(std::string(state_name) + " must have " + std::to_string(count) + " elements, one per " +
         node_kind + " (it has " + std::to_string(held) + ")");
  }
  if (held < count) {
    fail(std::string(state_name) + " has " + std::to_string(held) + " elements, fewer than the " +
         std::to_string(count) + " " + node_kind + "s to process");
  }
  if (mxGetNumberOfFields(state) < fields) {
    fail(std::string(state_name) + " must have at least " + std::to_string(fields) +
         " fields (it has " + std::to_string(mxGetNumberOfFields(state)) + ")");
  }
  return held;
}

// Records of the variable nodes: the data pointers of fields 0..5 of every element.
void GetVnPtrs(const mxArray* vn_state, std::span<VnPtrs> records, StateReader& reader) {
  for (std::size_t v = 0; v < records.size(); ++v) {
    void* data[6];
    reader.read_element(vn_state, "vn_state", v, kVnFields, data);
    records[v] = {static_cast<std::int32_t*>(data[0]), static_cast<float*>(data[1]),
                  static_cast<std::int32_t*>(data[2]), static_cast<std::int32_t*>(data[3]),
                  static_cast<float*>(data[4]),        static_cast<std::int32_t*>(data[5])};
  }
}

// Records of the check nodes: the data pointers of fields 0..3 of every element.
void GetCnPtrs(const mxArray* cn_state, std::span<CnPtrs> records, StateReader& reader) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    void* data[4];
    reader.read_element(cn_state, "cn_state", i, kCnFields, data);
    records[i] = {static_cast<std::int32_t*>(data[0]), static_cast<std::int32_t*>(data[1]),
                  static_cast<float*>(data[2]), static_cast<std::int32_t*>(data[3])};
  }
}

}  // namespace

GraphStateArgs read_graph_state(const mxArray* vn_state, std::size_t n, const mxArray* cn_state,
                                std::size_t m, StateUse use) {
  const std::size_t bits = check_struct(vn_state, "vn_state", n, "bit", 6, use);
  const std::size_t checks = check_struct(cn_state, "cn_state", m, "check", 4, use);
  MemoryEstimate()
      .values<ldpc::VnPtrs>(bits)
      .values<ldpc::CnPtrs>(checks)
      .values<Extent>(add_sat(mul_sat(bits, 6), mul_sat(checks, 4)))
      .require("the records of the decoder state");
  GraphStateArgs args;
  args.vn.resize(bits);
  args.cn.resize(checks);
  StateReader reader(use);
  GetVnPtrs(vn_state, args.vn, reader);
  GetCnPtrs(cn_state, args.cn, reader);
  reader.refuse_shared_storage();
  return args;
}

}  // namespace linkforge::mex
