// The 3GPP cyclic redundancy checks, a byte at a time: the register is kept in the top L
// bits of 32, and a table per generator gives what eight register shifts add for each
// value of the byte that leaves the register. Bits that do not fill a last byte go
// through one at a time.
#include <array>
#include <string>

#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

struct Row {
  std::string_view label;
  int length;
  std::uint32_t taps;
};

// The generators in the order of the table file.
constexpr Row kRows[] = {
#include "crc_polynomials.inc"
};

// The labels of the CrcName values, in their order.
constexpr std::string_view kLabels[kCrcNameCount] = {"24A", "24B", "24C", "16", "11", "8", "6"};

constexpr int row_of(std::string_view label) {
  for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i) {
    if (kRows[i].label == label) return i;
  }
  return -1;
}

constexpr bool every_name_listed() {
  for (const std::string_view label : kLabels) {
    if (row_of(label) < 0) return false;
  }
  return true;
}
static_assert(every_name_listed(), "crc_polynomials.csv lacks a generator of CrcName");

struct Generator {
  CrcPolynomial polynomial;
  std::uint32_t aligned;  // the taps in the top L bits of the register
  std::array<std::uint32_t, 256> table;
};

constexpr std::uint32_t shift_in(std::uint32_t reg, std::uint32_t aligned, unsigned bit) {
  return ((reg >> 31) ^ bit) != 0 ? (reg << 1) ^ aligned : reg << 1;
}

constexpr std::array<Generator, kCrcNameCount> make_generators() {
  std::array<Generator, kCrcNameCount> generators{};
  for (int n = 0; n < kCrcNameCount; ++n) {
    const Row& row = kRows[row_of(kLabels[n])];
    Generator& g = generators[n];
    g.polynomial = {row.label.data(), row.length, row.taps};
    g.aligned = row.taps << (32 - row.length);
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      std::uint32_t reg = byte << 24;
      for (int i = 0; i < 8; ++i) reg = shift_in(reg, g.aligned, 0);
      g.table[byte] = reg;
    }
  }
  return generators;
}

constexpr std::array<Generator, kCrcNameCount> kGenerators = make_generators();

const Generator& generator(CrcName name) noexcept {
  return kGenerators[static_cast<std::size_t>(name)];
}

// A value of a bit matrix as 0 or 1; refuses anything else.
unsigned read_bit(double value, const char* argument) {
  if (value == 0.0) return 0;
  if (value == 1.0) return 1;
  Refusal r;
  r.fault = Fault::kNotBinary;
  r.argument = argument;
  r.real = value;
  throw ArgumentError(r);
}

// The parity bits of the first A values of frame f of `in` (0 or 1, else refused as
// `argument`), each bit also handed to out(k, bit) as it is read: eight values, checked
// together, make a byte that advances the register by one table step; the bits of a
// last partial byte go through one at a time.
template <class Out>
std::uint32_t frame_parity(const Generator& g, const FrameView<const double>& in, std::size_t f,
                           std::size_t A, const char* argument, Out out) {
  std::uint32_t reg = 0;
  std::size_t k = 0;
  for (; k + 8 <= A; k += 8) {
    std::uint32_t byte = 0;
    bool binary = true;
    for (std::size_t i = 0; i < 8; ++i) {
      const double v = in(f, k + i);
      const bool one = v == 1.0;
      binary &= one || v == 0.0;
      byte = (byte << 1) | static_cast<std::uint32_t>(one);
    }
    if (!binary) {
      for (std::size_t i = 0; i < 8; ++i) read_bit(in(f, k + i), argument);
    }
    for (std::size_t i = 0; i < 8; ++i) out(k + i, (byte >> (7 - i)) & 1u);
    reg = (reg << 8) ^ g.table[(reg >> 24) ^ byte];
  }
  for (; k < A; ++k) {
    const unsigned bit = read_bit(in(f, k), argument);
    out(k, bit);
    reg = shift_in(reg, g.aligned, bit);
  }
  return reg >> (32 - g.polynomial.length);
}

// The parity bits of one-byte bits, the same way.
std::uint32_t byte_parity(const Generator& g, std::span<const std::uint8_t> bits) noexcept {
  std::uint32_t reg = 0;
  std::size_t k = 0;
  for (; k + 8 <= bits.size(); k += 8) {
    std::uint32_t byte = 0;
    for (std::size_t i = 0; i < 8; ++i) byte = (byte << 1) | (bits[k + i] != 0 ? 1u : 0u);
    reg = (reg << 8) ^ g.table[(reg >> 24) ^ byte];
  }
  for (; k < bits.size(); ++k) reg = shift_in(reg, g.aligned, bits[k] != 0 ? 1u : 0u);
  return reg >> (32 - g.polynomial.length);
}

}  // namespace

const CrcPolynomial& crc_polynomial(CrcName name) noexcept {
  return generator(name).polynomial;
}

std::optional<CrcName> crc_name(std::string_view label) noexcept {
  for (int n = 0; n < kCrcNameCount; ++n) {
    if (kLabels[n] == label) return static_cast<CrcName>(n);
  }
  return std::nullopt;
}

std::string crc_name_list() {
  std::string list;
  for (const std::string_view label : kLabels) {
    if (!list.empty()) list += ", ";
    list.append("'").append(label).append("'");
  }
  return list;
}

std::uint32_t crc_parity(CrcName name, std::span<const std::uint8_t> bits) noexcept {
  return byte_parity(generator(name), bits);
}

void crc_attach(CrcName name, FrameView<const double> data, FrameView<double> word) {
  const Generator& g = generator(name);
  const auto L = static_cast<std::size_t>(g.polynomial.length);
  const std::size_t A = data.length;
  if (word.frames != data.frames || word.length != A + L) {
    throw ArgumentError("crc_attach: word must hold the frames of data, each with " +
                        std::to_string(L) + " more bits");
  }
  for (std::size_t f = 0; f < data.frames; ++f) {
    const std::uint32_t p =
        frame_parity(g, data, f, A, "data", [&](std::size_t k, unsigned bit) { word(f, k) = bit; });
    for (std::size_t i = 0; i < L; ++i) word(f, A + i) = (p >> (L - 1 - i)) & 1u;
  }
}

void crc_check(CrcName name, FrameView<const double> word, FrameView<double> data,
               std::span<std::uint8_t> ok) {
  const Generator& g = generator(name);
  const auto L = static_cast<std::size_t>(g.polynomial.length);
  if (word.length < L) {
    throw ArgumentError("crc_check: word must hold at least the " + std::to_string(L) +
                        " parity bits per frame");
  }
  const std::size_t A = word.length - L;
  if (ok.size() != word.frames ||
      (!data.empty() && (data.frames != word.frames || data.length != A))) {
    throw ArgumentError("crc_check: data and ok must hold the frames of word");
  }
  for (std::size_t f = 0; f < word.frames; ++f) {
    const std::uint32_t p =
        data.empty() ? frame_parity(g, word, f, A, "word", [](std::size_t, unsigned) {})
                     : frame_parity(g, word, f, A, "word",
                                    [&](std::size_t k, unsigned bit) { data(f, k) = bit; });
    std::uint32_t received = 0;
    for (std::size_t i = 0; i < L; ++i) received = (received << 1) | read_bit(word(f, A + i), "word");
    ok[f] = received == p ? 1 : 0;
  }
}

}  // namespace linkforge
