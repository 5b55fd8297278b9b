// The CRC kernels against the table file and against long division of polynomials
// over GF(2), one bit at a time, with the generators read from the file by the test.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "golden.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/error.hpp"

namespace linkforge {
namespace {

struct FileRow {
  std::string label;
  int length;
  std::uint32_t taps;
};

std::vector<FileRow> read_file() {
  std::ifstream in(std::string(LINKFORGE_STANDARDS_DIR) + "/crc_polynomials.csv");
  std::string line;
  std::getline(in, line);
  std::vector<FileRow> rows;
  while (std::getline(in, line)) {
    const std::size_t a = line.find(','), b = line.find(',', a + 1), c = line.find(',', b + 1);
    rows.push_back({line.substr(4, a - 4), std::stoi(line.substr(a + 1, b - a - 1)),
                    static_cast<std::uint32_t>(std::stoul(line.substr(b + 1, c - b - 1), nullptr, 16))});
  }
  return rows;
}

// The remainder of bits(D) D^L divided by g(D), g's coefficients from D^L down.
std::vector<std::uint8_t> divide(std::vector<std::uint8_t> bits, const FileRow& g) {
  const std::size_t A = bits.size(), L = static_cast<std::size_t>(g.length);
  std::vector<std::uint8_t> generator(L + 1, 1);
  for (std::size_t i = 1; i <= L; ++i) generator[i] = (g.taps >> (L - i)) & 1u;
  bits.resize(A + L, 0);
  for (std::size_t i = 0; i < A; ++i) {
    if (bits[i] == 0) continue;
    for (std::size_t j = 0; j <= L; ++j) bits[i + j] ^= generator[j];
  }
  return {bits.begin() + static_cast<std::ptrdiff_t>(A), bits.end()};
}

CrcName name_of(const FileRow& row) {
  const auto name = crc_name(row.label);
  if (!name) throw std::runtime_error("no CrcName for " + row.label);
  return *name;
}

TEST(Crc, HoldsTheGeneratorsOfTheTableFile) {
  const auto rows = read_file();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kCrcNameCount));
  for (const FileRow& row : rows) {
    const CrcPolynomial& p = crc_polynomial(name_of(row));
    EXPECT_EQ(p.label, row.label);
    EXPECT_EQ(p.length, row.length) << row.label;
    EXPECT_EQ(p.taps, row.taps) << row.label;
  }
  EXPECT_FALSE(crc_name("24a"));
  EXPECT_FALSE(crc_name("gCRC16"));
  EXPECT_FALSE(crc_name(""));
  EXPECT_EQ(crc_name_list(), "'24A', '24B', '24C', '16', '11', '8', '6'");
}

TEST(Crc, GivesTheCatalogueCheckValues) {
  const golden::Set values("crc_check_values");
  std::vector<std::uint8_t> bits;
  for (const int byte : values.row<int>("message")) {
    for (int i = 7; i >= 0; --i) bits.push_back((byte >> i) & 1);
  }
  for (const auto& [key, name] : {std::pair<std::string, CrcName>{"gCRC16", CrcName::k16},
                                  {"gCRC24B", CrcName::k24B},
                                  {"gCRC8", CrcName::k8}}) {
    EXPECT_EQ(crc_parity(name, bits), static_cast<std::uint32_t>(values.scalar(key))) << key;
  }
}

// Frames of random lengths, row-major and column-major, against long division; the
// lengths cover whole bytes, partial ones and the empty block.
TEST(Crc, AttachEqualsLongDivisionForEveryGenerator) {
  std::mt19937 rng(36212);
  for (const FileRow& g : read_file()) {
    const CrcName name = name_of(g);
    const auto L = static_cast<std::size_t>(g.length);
    for (const std::size_t A : {0, 1, 7, 8, 9, 23, 64, 101, 6144}) {
      const std::size_t F = A > 1000 ? 3 : 11;
      std::vector<double> data(F * A);
      for (double& bit : data) bit = rng() & 1u;
      std::vector<double> row_major((A + L) * F, -1.0), column_major((A + L) * F, -1.0);
      crc_attach(name, FrameView<const double>::row_major(data.data(), F, A),
                 FrameView<double>::row_major(row_major.data(), F, A + L));
      // The same frames stored column by column.
      std::vector<double> columns(F * A);
      for (std::size_t f = 0; f < F; ++f)
        for (std::size_t k = 0; k < A; ++k) columns[k * F + f] = data[f * A + k];
      crc_attach(name, FrameView<const double>::column_major(columns.data(), F, A),
                 FrameView<double>::column_major(column_major.data(), F, A + L));
      for (std::size_t f = 0; f < F; ++f) {
        std::vector<std::uint8_t> bits(data.begin() + f * A, data.begin() + (f + 1) * A);
        const std::vector<std::uint8_t> parity = divide(bits, g);
        for (std::size_t k = 0; k < A + L; ++k) {
          const double expected = k < A ? bits[k] : parity[k - A];
          ASSERT_EQ(row_major[f * (A + L) + k], expected) << g.label << ", A " << A << ", bit " << k;
          ASSERT_EQ(column_major[k * F + f], expected) << g.label << ", A " << A << ", bit " << k;
        }
        std::uint32_t packed = 0;
        for (const std::uint8_t p : parity) packed = (packed << 1) | p;
        ASSERT_EQ(crc_parity(name, bits), packed) << g.label << ", A " << A;
      }
    }
  }
}

// A word with its own parity passes and gives its data back; one flipped bit anywhere,
// in the data or in the parity, fails that frame only; so do bursts no longer than L.
TEST(Crc, CheckPassesAttachedWordsAndCatchesFlippedBits) {
  std::mt19937 rng(38212);
  for (int n = 0; n < kCrcNameCount; ++n) {
    const auto name = static_cast<CrcName>(n);
    const auto L = static_cast<std::size_t>(crc_polynomial(name).length);
    const std::size_t A = 45, N = A + L, F = 2 * N + 1;
    std::vector<double> data(F * A), word(F * N), back(F * A, -1.0);
    for (double& bit : data) bit = rng() & 1u;
    crc_attach(name, FrameView<const double>::row_major(data.data(), F, A),
               FrameView<double>::row_major(word.data(), F, N));
    // Frame f < N: bit f flipped; frames N..2N-1: a burst of L bits from bit f - N when
    // it fits (a burst's first and last bits flipped, and any in between); the last
    // frame is left as it was.
    for (std::size_t f = 0; f < N; ++f) word[f * N + f] = 1.0 - word[f * N + f];
    for (std::size_t f = N; f < 2 * N; ++f) {
      const std::size_t start = f - N;
      if (start + L > N) continue;
      word[f * N + start] = 1.0 - word[f * N + start];
      word[f * N + start + L - 1] = 1.0 - word[f * N + start + L - 1];
      for (std::size_t k = start + 1; k + 1 < start + L; ++k)
        if (rng() & 1u) word[f * N + k] = 1.0 - word[f * N + k];
    }
    std::vector<std::uint8_t> ok(F, 9);
    crc_check(name, FrameView<const double>::row_major(word.data(), F, N),
              FrameView<double>::row_major(back.data(), F, A), ok);
    for (std::size_t f = 0; f < F; ++f) {
      const bool untouched = f == F - 1 || (f >= N && f - N + L > N);
      EXPECT_EQ(ok[f], untouched ? 1 : 0) << crc_polynomial(name).label << ", frame " << f;
    }
    for (std::size_t k = 0; k < A; ++k) EXPECT_EQ(back[(F - 1) * A + k], data[(F - 1) * A + k]);
    // The flags alone, without the data.
    std::vector<std::uint8_t> flags(F, 9);
    crc_check(name, FrameView<const double>::row_major(word.data(), F, N), {}, flags);
    EXPECT_EQ(flags, ok);
  }
}

TEST(Crc, RefusesValuesOtherThanZeroAndOneAndShapesThatDisagree) {
  std::vector<double> data = {1, 0, 1, 1, 0, 1, 1, 0};
  std::vector<double> word(24);
  const auto attach = [&] {
    crc_attach(CrcName::k16, FrameView<const double>::row_major(data.data(), 1, 8),
               FrameView<double>::row_major(word.data(), 1, 24));
  };
  for (const double bad : {2.0, -1.0, 0.5, std::nan("")}) {
    data[5] = bad;
    try {
      attach();
      FAIL() << bad << " accepted";
    } catch (const ArgumentError& e) {
      EXPECT_EQ(e.refusal().fault, Fault::kNotBinary);
      EXPECT_STREQ(e.refusal().argument, "data");
    }
  }
  data[5] = -0.0;  // zero, whatever its sign
  attach();
  EXPECT_EQ(word[5], 0.0);
  EXPECT_FALSE(std::signbit(word[5]));
  // A bad parity bit is refused as well, not read as a failed check.
  word[20] = 3.0;
  std::vector<std::uint8_t> ok(1);
  EXPECT_THROW(crc_check(CrcName::k16, FrameView<const double>::row_major(word.data(), 1, 24), {}, ok),
               ArgumentError);
  EXPECT_THROW(crc_check(CrcName::k16, FrameView<const double>::row_major(word.data(), 1, 15), {}, ok),
               ArgumentError);
  EXPECT_THROW(crc_attach(CrcName::k24A, FrameView<const double>::row_major(data.data(), 1, 8),
                          FrameView<double>::row_major(word.data(), 1, 24)),
               ArgumentError);
  std::vector<std::uint8_t> two(2);
  EXPECT_THROW(crc_check(CrcName::k8, FrameView<const double>::row_major(word.data(), 1, 24), {}, two),
               ArgumentError);
}

}  // namespace
}  // namespace linkforge
