// The cyclic redundancy checks of the 3GPP codes (TS 36.212 5.1.1, TS 38.212 5.1).
//
// The L parity bits p_0..p_{L-1} of a block of bits a_0..a_{A-1} under a generator g(D)
// of degree L are the coefficients, highest first, of the remainder of a(D) D^L divided
// by g(D), where a(D) = a_0 D^{A-1} + ... + a_{A-1}: a shift register that starts at zero
// and takes the bits most significant first. The block with its parity bits appended is
// divisible by g(D). The polynomials are built into the library from
// data/standards/crc_polynomials.csv when it is configured.
//
// Frames are rows (frames.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "linkforge/frames.hpp"

namespace linkforge {

// The generators gCRC24A, gCRC24B, gCRC24C, gCRC16, gCRC11, gCRC8 and gCRC6.
enum class CrcName : std::uint8_t { k24A, k24B, k24C, k16, k11, k8, k6 };
inline constexpr int kCrcNameCount = 7;

struct CrcPolynomial {
  const char* label;    // the standard's name without "gCRC": "24A", "16", ...
  int length;           // L, the degree: parity bits per block
  std::uint32_t taps;   // coefficients of D^{L-1}..D^0, the highest first (D^L left out)
};

const CrcPolynomial& crc_polynomial(CrcName name) noexcept;

// The name of a label ("24A", "24B", "24C", "16", "11", "8" or "6"); nothing for any
// other text.
std::optional<CrcName> crc_name(std::string_view label) noexcept;

// The labels as a host lists them in a refusal: "'24A', '24B', ..., '6'".
std::string crc_name_list();

// The parity bits of a block of bits (each byte 0 or 1, any nonzero value read as 1) as
// a number whose bit L-1 is p_0 and bit 0 is p_{L-1}.
std::uint32_t crc_parity(CrcName name, std::span<const std::uint8_t> bits) noexcept;

// Appends the parity bits to every frame: word (F x (A + L)) is data (F x A, A >= 0)
// followed by p_0..p_{L-1}. Data values must be 0 or 1; anything else, NaN included, is
// refused with Fault::kNotBinary on "data". Throws ArgumentError on shapes that disagree.
void crc_attach(CrcName name, FrameView<const double> data, FrameView<double> word);

// Splits every frame of word (F x (A + L)) into its data (F x A; an empty view leaves
// them out) and ok[f]: 1 where the last L bits are the parity bits of the first A, else
// 0. Word values must be 0 or 1 (Fault::kNotBinary on "word"). Throws ArgumentError on a
// word shorter than L or shapes that disagree.
void crc_check(CrcName name, FrameView<const double> word, FrameView<double> data,
               std::span<std::uint8_t> ok);

}  // namespace linkforge
