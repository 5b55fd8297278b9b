// Arguments the NR LDPC modules share.
#pragma once

#include "gateway.hpp"
#include "linkforge/nr_ldpc.hpp"

namespace linkforge::mex {

// The code of (bg, Z): refuses NaN, a bg other than 1 and 2 and a Z that is not a
// lifting size (naming the nearest).
nr_ldpc::Code read_nr_code(const mxArray* bg, const mxArray* z);

// rv, Qm, K_prime and N_ref from argument `first` on (each may be left off or []:
// 0, 1, K and 0); E is left 0.
nr_ldpc::RateMatchParams read_rate_match(const Call& call, int first, const nr_ldpc::Code& code);

}  // namespace linkforge::mex
