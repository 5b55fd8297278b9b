% NrLdpcSegment  Base graph, lifting size and code blocks of an NR transport block.
%
%   [bg, Z, C, K_prime, K] = NrLdpcSegment(A, R)
%   [bg, Z, C, K_prime, K, E, tb_crc, cb_crc] = NrLdpcSegment(A, R, G, Qm, layers)
%
%   The parameters of the NR LDPC chain for a transport block of A bits sent at code
%   rate R (3GPP TS 38.212): the base graph (7.2.2 and 6.2.2: base graph 2 where
%   A <= 292, or A <= 3824 and R <= 0.67, or R <= 0.25; else base graph 1), the
%   transport block CRC length, the code-block segmentation (5.2.2: one block up to
%   8448 bits with the CRC for base graph 1, 3840 for base graph 2; beyond that C
%   blocks, each with a 24-bit CRC of its own), the smallest lifting size Z with
%   Kb*Z >= K_prime (Kb = 22 for base graph 1; 10, 9, 8 or 6 for base graph 2 by the
%   size) and, where G coded bits are available for the block, the bits E of every
%   code block (5.4.2.1).
%
%   Arguments
%     A        transport block size in bits, 1 to 2^30 (truncated toward zero).
%     R        code rate, above 0 and at most 1.
%     G        coded bits available for the transport block (default 0: E is not
%              computed); a multiple of Qm*layers.
%     Qm       modulation order, 1 to 8 (default 1).
%     layers   transmission layers, 1 to 8 (default 1).
%
%   Outputs
%     bg       base graph, 1 or 2.
%     Z        lifting size.
%     C        number of code blocks.
%     K_prime  bits of each code block with its CRC: the first filler bit (0-based).
%     K        data bits of the code, 22*Z or 10*Z: K - K_prime filler bits per block.
%     E        1 x C bits to send of each code block (empty when G = 0), for
%              NrLdpcRateMatch.
%     tb_crc   length of the transport block CRC, 16 or 24.
%     cb_crc   length of each code block's CRC, 0 (one block) or 24.
%   Transport block sizes of the standard give code blocks of equal size; for others
%   K_prime is rounded up.
%
%   Example
%     [bg, Z, C, K_prime, K, E] = NrLdpcSegment(10008, 0.2, 12008, 4)
%     % bg = 2, Z = 352, C = 3, K_prime = 3368, K = 3520, E = [4000 4004 4004]
%
%   See also NrLdpcEncode, NrLdpcRateMatch.
