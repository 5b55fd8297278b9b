% NrLdpcEncode  Encode rows of data bits with a 5G NR LDPC code.
%
%   codeword = NrLdpcEncode(data, bg, Z)
%
%   Encodes F frames, one per row of DATA, with the LDPC code of the NR base graph BG
%   (3GPP TS 38.212 5.3.2) lifted by Z. A row of Kb*Z data bits (Kb = 22 for base
%   graph 1, 10 for base graph 2) becomes a row of 68*Z (base graph 1) or 52*Z (base
%   graph 2) code bits: the data bits first, then the 4Z core parity bits, then one
%   parity bit per row of the extension. Every parity check of the lifted matrix H
%   holds on each row. The first 2Z data bits, which a transmitter does not send, are
%   included in the row; rate matching leaves them out.
%
%   H has Z x Z blocks: the block of row i, column j of the base graph is zero where
%   the table lists nothing, else the identity shifted by P = V(i, j) mod Z, where V is
%   the table's value for the set index of Z (row r of the block has its 1 in column
%   mod(r + P, Z)). The encoder solves the core parity from the double-diagonal block of
%   rows 0..3 and the rest row by row; it never forms a generator matrix.
%
%   Arguments
%     data      F x Kb*Z data bits, 0 or 1 (any other value is refused). F may be 0.
%     bg        base graph: 1 or 2 (truncated toward zero).
%     Z         lifting size, one of the 51 of the standard: a*2^j <= 384 with a in
%               2, 3, 5, 7, 9, 11, 13, 15 (truncated toward zero). Another number is
%               refused with the nearest lifting size in the message.
%
%   Outputs
%     codeword  F x 68*Z (bg = 1) or F x 52*Z (bg = 2) code bits, data first.
%
%   Limits
%     data must not hold NaN. A call that would need more memory than the memory
%     budget (2 GiB, or a quarter of the physical memory where that is less) is refused
%     before it allocates anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the
%     budget, as does the environment variable.
%
%   Example
%     data = [1 0 1 1 0 0 1 0 1 0 zeros(1, 10)];   % base graph 2, Z = 2: 20 data bits
%     c = NrLdpcEncode(data, 2, 2);
%     size(c)                     % returns 1 104
%     isequal(c(1:20), data)      % returns 1
%     c(21:28)                    % returns 1 0 1 0 0 0 1 1
%
%   See also NrLdpcDecode.
