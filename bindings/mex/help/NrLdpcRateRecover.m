% NrLdpcRateRecover  Put received LLRs back into NR LDPC codeword rows.
%
%   llr_code = NrLdpcRateRecover(llr, bg, Z)
%   llr_code = NrLdpcRateRecover(llr, bg, Z, rv, Qm, K_prime, N_ref)
%
%   The soft inverse of NrLdpcRateMatch with the same arguments: each row of E
%   log-likelihood ratios (E is the column count) is deinterleaved and every value is
%   added to the codeword bit it was sent for, so that repetitions round the circular
%   buffer add up. The rows are ready for NrLdpcDecode: bits never sent (the first 2Z
%   among them) get 0, and the filler bits K_prime..K-1, which are known to be 0, get
%   -2^20 (the decoder's certain 0). LLRs are ln(P(bit = 1) / P(bit = 0)).
%
%   Arguments
%     llr       F x E received LLRs, E a multiple of Qm. F may be 0.
%     bg, Z, rv, Qm, K_prime, N_ref   as for NrLdpcRateMatch.
%
%   Outputs
%     llr_code  F x 68*Z or F x 52*Z LLRs of the whole codeword.
%
%   Limits
%     llr must not hold NaN or values beyond the single-precision range. A call that
%     would need more memory than the memory budget is refused before it allocates
%     anything (help NrLdpcDecode).
%
%   Example
%     data = [1 0 1 1 0 0 1 0 1 0 zeros(1, 10)];   % base graph 2, Z = 2
%     c = NrLdpcEncode(data, 2, 2);
%     y = 2 * NrLdpcRateMatch(c, 2, 2, 96, 0, 4) - 1;
%     L = NrLdpcRateRecover(y, 2, 2, 0, 4);
%     L(1:8)                      % returns 0 0 0 0 -1 -1 1 -1
%     isequal(NrLdpcDecode(L, 2, 2), c)             % returns 1
%
%   See also NrLdpcRateMatch, NrLdpcDecode.
