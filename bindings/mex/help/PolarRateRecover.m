% PolarRateRecover  Put received LLRs back into rows of polar code bits.
%
%   llr_code = PolarRateRecover(llr, K, N)
%   llr_code = PolarRateRecover(llr, K, N, interleave)
%
%   The soft inverse of PolarRateMatch with the same K, N and interleave: each row of
%   E log-likelihood ratios (E is the column count) is deinterleaved and every value
%   is added to the code bit it was sent for, so that repetitions add up. Punctured
%   bits (not sent, unknown) get 0; shortened bits, which the code makes 0, get
%   -2^20, a certain 0 in ln(P(bit = 1) / P(bit = 0)). The rows are ready for
%   PolarDecode.
%
%   Arguments
%     llr         F x E received LLRs, E from K to 2^20. F may be 0. NaN and values
%                 beyond single precision are refused.
%     K           information bits, CRC bits included: 1 to N.
%     N           code length: a power of two from 32 to 1024 (PolarCodeLength).
%     interleave  0 (default) or 1, as given to PolarRateMatch.
%
%   Outputs
%     llr_code    F x N LLRs.
%
%   Example
%     L = PolarRateRecover([1 2 3 4 5], 1, 32);   % puncturing: 27 bits not sent
%     L(28:32)                                   % returns 2 1 3 4 5
%     L = PolarRateRecover(ones(1, 20), 12, 32);  % shortening: 12 bits certainly 0
%     sum(L == -2^20)                             % returns 12
%
%   See also PolarRateMatch, PolarCodeLength, PolarDecode.
