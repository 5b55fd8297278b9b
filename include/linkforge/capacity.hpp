// Constellation-constrained capacity estimated from simulated likelihoods of known data,
// and capacity of faded channels read from a table of the unfaded channel.
//
// Likelihoods follow the modulation kernels (modem.hpp): bit log-likelihood ratios are
// ln(P(bit = 1) / P(bit = 0)), and row l of a symbol log-likelihood matrix belongs to the
// label whose bits, most significant first, are the symbol's data bits. The kernels
// whose work grows with their inputs poll an Interrupt (interrupt.hpp).
#pragma once

#include <cstddef>
#include <span>

#include "linkforge/interrupt.hpp"

namespace linkforge {

// ---------------------------------------------------------------------------------
// Capacity from simulated likelihoods

// Binary form, one ratio L_j per transmitted bit (a bit counts as 1 when it is above 0):
//   1 - sum_j ln(1 + e^h_j) / (N ln 2),   h_j = -L_j for a 1, L_j for a 0,
// with L_j rounded to single precision, each term max_star4(0, h_j) in single
// precision and the sum in double. N = 0 gives NaN (0/0). Throws std::invalid_argument
// when the sizes differ.
double capacity_binary(std::span<const double> llr, std::span<const double> bits,
                       const Interrupt& interrupt = {});

// Label of a symbol from its bits in double arithmetic, the first most significant:
// g = 0, then g = trunc(2*g + bit) for each bit. Bits of 0 and 1 give 0..2^m - 1; other
// values may give any number, NaN included.
double capacity_label(std::span<const double> bits);

// Symbol form over an M x N symbol log-likelihood matrix (column-major, M >= 2) and the
// N*m transmitted bits, m = floor(log2 M):
//   1 - sum_j ln(sum_l e^(L(l,j) - L(g_j,j))) / (N ln M),
// g_j the label of the bits of symbol j. Each term folds the differences (in double,
// rounded to single) over l = 0..M-1 with max_star4 from -1e6 in single precision; the
// sum is a double. N = 0 gives NaN. Throws std::invalid_argument on wrong sizes or a
// label outside 0..M-1.
double capacity_symbol(std::span<const double> input, std::size_t M, std::span<const double> bits,
                       const Interrupt& interrupt = {});

// ---------------------------------------------------------------------------------
// Capacity of faded channels from a table of the unfaded channel

// Capacity at ratio r from the table (E[k], C[k]), k = 0..T-1, with slopes D[k] between
// E[k] and E[k+1]:
//   r >= E[T-1]:  C[T-1]
//   r >  E[0]:    (r - E[k-1])*D[k-1] + C[k-1], k the first index with r <= E[k]
//   otherwise:    0 (also for NaN r).
// E is meant to increase; it is only compared, and the scan ends at T-1 whatever its
// order (a NaN last point cannot run it past the table). Throws std::invalid_argument
// unless C has T values and D has T - 1.
double info_rate_lookup(std::span<const double> E, std::span<const double> C,
                        std::span<const double> D, double r);

// out[i] = sum over j = 0..K-1, in order, of info_rate_lookup(gamma(i, j)) for the
// R x K column-major matrix gamma (R = out.size()). An increasing table is searched by
// bisection, with the results of the scan.
void info_rate_table(std::span<const double> E, std::span<const double> C,
                     std::span<const double> D, std::span<const double> gamma,
                     std::span<double> out, const Interrupt& interrupt = {});

}  // namespace linkforge
