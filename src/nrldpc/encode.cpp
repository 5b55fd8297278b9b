// Systematic encoding of the NR LDPC codes through the structure of the base graphs:
// the data bits, then the 4Z core parity bits from rows 0..3 (whose parity columns
// form a double diagonal beside one column of three shifts a, b, a), then the bits of
// the identity extension, one row at a time.
#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace linkforge::nr_ldpc {

namespace {

// acc[r] ^= src[(r + shift) mod Z] for r = 0..Z-1: the block I_shift applied to src.
void add_shifted(std::uint8_t* acc, const std::uint8_t* src, std::size_t Z, std::size_t shift) {
  const std::size_t head = Z - shift;
  for (std::size_t r = 0; r < head; ++r) acc[r] ^= src[r + shift];
  for (std::size_t r = head; r < Z; ++r) acc[r] ^= src[r - head];
}

// The plan of the core: the shift b left by the column data_cols in the sum of rows 0..3
// (its other two shifts cancel), and the order in which rows 0..3 each give one more
// core column.
struct CorePlan {
  int combined_shift = 0;
  struct Step {
    int row, col, shift;
  };
  std::vector<Step> steps;
};

CorePlan plan_core(const Code& code) {
  const int kb = code.data_cols;
  CorePlan plan;
  // Shifts of each core column over rows 0..3, kept where they occur an odd number of
  // times: the sum of the four rows.
  for (int col = kb; col < kb + 4; ++col) {
    std::map<int, int> count;
    for (int i = 0; i < 4; ++i) {
      for (int e = code.row_offset[i]; e < code.row_offset[i + 1]; ++e) {
        if (code.entries[e].col == col) ++count[code.entries[e].shift];
      }
    }
    std::vector<int> odd;
    for (const auto& [shift, times] : count) {
      if (times % 2 == 1) odd.push_back(shift);
    }
    if (col == kb && odd.size() == 1) {
      plan.combined_shift = odd.front();
    } else if (!odd.empty() || col == kb) {
      throw std::logic_error("nr_ldpc: rows 0..3 of the base graph lack the double diagonal");
    }
  }
  std::vector<bool> known(4, false);
  known[0] = true;
  std::vector<bool> used(4, false);
  for (int found = 1; found < 4;) {
    bool progress = false;
    for (int i = 0; i < 4 && !progress; ++i) {
      if (used[i]) continue;
      int unknown = -1, shift = 0, count = 0;
      for (int e = code.row_offset[i]; e < code.row_offset[i + 1]; ++e) {
        const int c = code.entries[e].col - kb;
        if (c >= 0 && c < 4 && !known[c]) {
          unknown = c;
          shift = code.entries[e].shift;
          ++count;
        }
      }
      if (count == 1) {
        plan.steps.push_back({i, unknown + kb, shift});
        known[unknown] = used[i] = true;
        ++found;
        progress = true;
      }
    }
    if (!progress) throw std::logic_error("nr_ldpc: the core parity cannot be solved row by row");
  }
  return plan;
}

class Encoder {
 public:
  explicit Encoder(const Code& code)
      : code_(code), plan_(plan_core(code)), Z_(static_cast<std::size_t>(code.z)),
        word_(code.code_length()), sum_(Z_), row_(Z_) {}

  // word_ holds the data; fills in the parity.
  void run() {
    const int kb = code_.data_cols;
    std::uint8_t* w = word_.data();
    const auto block = [&](int col) { return w + static_cast<std::size_t>(col) * Z_; };
    // lambda_i of rows 0..3 (data columns only) and their sum.
    std::fill(sum_.begin(), sum_.end(), std::uint8_t{0});
    lambda_.assign(4 * Z_, 0);
    for (int i = 0; i < 4; ++i) {
      std::uint8_t* li = lambda_.data() + static_cast<std::size_t>(i) * Z_;
      for (int e = code_.row_offset[i]; e < code_.row_offset[i + 1]; ++e) {
        const Entry& en = code_.entries[e];
        if (en.col < kb) add_shifted(li, block(en.col), Z_, static_cast<std::size_t>(en.shift));
      }
      for (std::size_t r = 0; r < Z_; ++r) sum_[r] ^= li[r];
    }
    // I_b p = sum: p[t] = sum[(t - b) mod Z].
    std::fill_n(block(kb), Z_, std::uint8_t{0});
    add_shifted(block(kb), sum_.data(), Z_, (Z_ - static_cast<std::size_t>(plan_.combined_shift)) % Z_);
    for (int c = kb + 1; c < kb + 4; ++c) std::fill_n(block(c), Z_, std::uint8_t{0});
    // Each step: the row's sum without its unknown column gives I_s p_col.
    for (const CorePlan::Step& step : plan_.steps) {
      std::copy_n(lambda_.data() + static_cast<std::size_t>(step.row) * Z_, Z_, row_.data());
      for (int e = code_.row_offset[step.row]; e < code_.row_offset[step.row + 1]; ++e) {
        const Entry& en = code_.entries[e];
        if (en.col >= kb && en.col != step.col) {
          add_shifted(row_.data(), block(en.col), Z_, static_cast<std::size_t>(en.shift));
        }
      }
      std::uint8_t* p = block(step.col);
      const auto s = static_cast<std::size_t>(step.shift);
      for (std::size_t r = 0; r < Z_; ++r) p[(r + s) % Z_] = row_[r];
    }
    // The extension: row i holds the column data_cols + i with shift 0 (checked).
    for (int i = 4; i < code_.rows; ++i) {
      const int own = kb + i;
      std::fill(row_.begin(), row_.end(), std::uint8_t{0});
      int own_shift = -1;
      for (int e = code_.row_offset[i]; e < code_.row_offset[i + 1]; ++e) {
        const Entry& en = code_.entries[e];
        if (en.col == own) {
          own_shift = en.shift;
        } else if (en.col > kb + 3) {
          throw std::logic_error("nr_ldpc: an extension row holds another extension column");
        } else {
          add_shifted(row_.data(), block(en.col), Z_, static_cast<std::size_t>(en.shift));
        }
      }
      if (own_shift < 0) throw std::logic_error("nr_ldpc: an extension row lacks its column");
      std::uint8_t* p = block(own);
      const auto s = static_cast<std::size_t>(own_shift);
      for (std::size_t r = 0; r < Z_; ++r) p[(r + s) % Z_] = row_[r];
    }
  }

  std::vector<std::uint8_t>& word() noexcept { return word_; }

 private:
  const Code& code_;
  CorePlan plan_;
  std::size_t Z_;
  std::vector<std::uint8_t> word_, sum_, row_, lambda_;
};

}  // namespace

void encode(const Code& code, FrameView<const double> data, FrameView<double> codeword) {
  const std::size_t k = code.data_length();
  const std::size_t n = code.code_length();
  if (data.length != k) {
    throw ArgumentError("encode: data must hold " + std::to_string(k) + " bits per frame");
  }
  if (codeword.frames != data.frames || codeword.length != n) {
    throw ArgumentError("encode: codeword must hold " + std::to_string(n) + " bits per frame");
  }
  if (data.frames == 0) return;
  Encoder encoder(code);
  std::vector<std::uint8_t>& word = encoder.word();
  for (std::size_t f = 0; f < data.frames; ++f) {
    for (std::size_t v = 0; v < k; ++v) {
      const double bit = data(f, v);
      if (bit != 0.0 && bit != 1.0) {
        Refusal r;
        r.fault = Fault::kNotBinary;
        r.argument = "data";
        r.real = bit;
        throw ArgumentError(r);
      }
      word[v] = bit != 0.0 ? 1 : 0;
    }
    encoder.run();
    for (std::size_t v = 0; v < n; ++v) codeword(f, v) = word[v];
  }
}

}  // namespace linkforge::nr_ldpc
