% PolarRateMatch  The E bits sent of each row of polar code bits.
%
%   out = PolarRateMatch(code, K, E)
%   out = PolarRateMatch(code, K, E, interleave)
%
%   Rate matching of 3GPP TS 38.212 5.4.1 for rows of N code bits (N is the column
%   count; PolarCodeLength(K, E) gives the standard one). The row d goes through the
%   sub-block interleaver, y(n) = d(J(n)) with J(n) = P(floor(32n/N)) N/32 + mod(n, N/32)
%   and P = [0 1 2 4 3 5 6 7 8 16 9 17 10 18 11 19 12 20 13 21 14 22 15 23 24 25 26 28
%   27 29 30 31]; then E bits are taken from y:
%     E >= N               repetition: y(0), y(1), ..., round and round;
%     E < N, K/E <= 7/16   puncturing: the last E bits of y (the first N - E not sent);
%     E < N, K/E > 7/16    shortening: the first E bits of y.
%   With interleave = 1 (the uplink's coded-bit interleaving) the E bits are written
%   row by row into the upper triangle of a T x T array, T the least integer with
%   T (T + 1) / 2 >= E, and read column by column.
%
%   Puncturing and shortening change which positions may carry information:
%   PolarConstruct(K, N, E) gives them, and PolarEncode(data, N, E) and
%   PolarDecode(llr, K, N, L, crc, threads, E) use them. A rate-matched chain:
%     N = PolarCodeLength(K, E);
%     sent = PolarRateMatch(PolarEncode(data, N, E), K, E);
%     ... modulation, channel, demapping to LLRs y ...
%     data = PolarDecode(PolarRateRecover(y, K, N), K, N, 8, '11', 0, E);
%
%   Arguments
%     code        F x N rows (any numbers; copied), N a power of two from 32 to 1024.
%                 F may be 0.
%     K           information bits, CRC bits included: 1 to N.
%     E           bits to send: K to 2^20.
%     interleave  0 (default) or 1: the triangular coded-bit interleaver.
%
%   Outputs
%     out         F x E.
%
%   Example
%     out = PolarRateMatch(0:31, 1, 5, 1)   % returns 28 30 27 31 29
%
%   See also PolarRateRecover, PolarCodeLength, PolarConstruct.
