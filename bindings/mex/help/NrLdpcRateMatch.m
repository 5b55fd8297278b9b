% NrLdpcRateMatch  Select and interleave the bits sent of NR LDPC codewords.
%
%   out = NrLdpcRateMatch(codeword, bg, Z, E)
%   out = NrLdpcRateMatch(codeword, bg, Z, E, rv, Qm, K_prime, N_ref)
%
%   Rate matching of 3GPP TS 38.212 5.4.2 for F codewords, one per row, of the NR LDPC
%   code of base graph BG lifted by Z (as NrLdpcEncode gives them). The circular buffer
%   is the codeword without its first 2Z bits, N = 66*Z (bg = 1) or 50*Z (bg = 2) bits,
%   of which the first Ncb are used: N, or min(N, N_ref) for a limited buffer. Bit
%   selection starts at position k0 of the redundancy version RV (Table 5.4.2.1-2:
%   k0 = floor(a*Ncb/(N))*Z with a = 0, 17, 33, 56 for base graph 1 and 0, 13, 25, 43 for
%   base graph 2) and takes E bits in buffer order, round and round, passing over the
%   filler bits (codeword bits K_prime..K-1, K = 22*Z or 10*Z). The bit interleaver
%   writes the E bits row by row into Qm rows and reads them column by column, so that
%   the Qm bits of a symbol come from the Qm rows.
%
%   Arguments
%     codeword  F x 68*Z or F x 52*Z code bits (copied as they are). F may be 0.
%     bg, Z     base graph (1 or 2) and lifting size (see NrLdpcEncode).
%     E         bits to send per row, a multiple of Qm.
%     rv        redundancy version 0 to 3 (default 0).
%     Qm        modulation order, bits per symbol, 1 to 8 (default 1: no interleaving).
%     K_prime   the first filler bit (0-based), 0 to K; default K: no filler bits.
%     N_ref     the limited buffer's size; default 0: the whole buffer.
%   Optional arguments may be left off from the end or given as []; counts are
%   truncated toward zero.
%
%   Outputs
%     out       F x E bits in the order sent.
%
%   Limits
%     codeword must not hold NaN. A call that would need more memory than the memory
%     budget is refused before it allocates anything (help NrLdpcDecode).
%
%   Example
%     data = [1 0 1 1 0 0 1 0 1 0 zeros(1, 10)];   % base graph 2, Z = 2
%     c = NrLdpcEncode(data, 2, 2);
%     out = NrLdpcRateMatch(c, 2, 2, 8, 0, 2);
%     isequal(out, c([5 9 6 10 7 11 8 12]))        % returns 1
%     out = NrLdpcRateMatch(c, 2, 2, 4, 2);        % k0 = 25 * 2 = 50
%     isequal(out, c(4 + (51:54)))                 % returns 1
%
%   See also NrLdpcRateRecover, NrLdpcEncode.
