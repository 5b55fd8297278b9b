% PolarEncode  Encode rows of data bits with a 5G polar code.
%
%   code = PolarEncode(data, N)
%   code = PolarEncode(data, N, E)
%
%   Encodes F frames, one per row of DATA: the K = columns(DATA) bits of a row go to
%   the information positions of PolarConstruct(K, N), every other position is 0, and
%   the row u becomes x = u F^(x)n (mod 2) with F = [1 0; 1 1], n = log2(N), in natural
%   order (no bit reversal). With E, the positions are those of PolarConstruct(K, N, E),
%   the code rate matched to E bits (PolarRateMatch).
%
%   Arguments
%     data   F x K bits, 0 or 1 (any other value, NaN included, is refused); K from 1
%            to N. F may be 0.
%     N      code length: a power of two from 32 to 1024.
%     E      bits sent, K to 2^20, for a rate-matched code (optional).
%
%   Outputs
%     code   F x N code bits.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter of
%     the physical memory where that is less) is refused before it allocates anything;
%     setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget.
%
%   Example
%     c = PolarEncode([1 0 1 1], 32);
%     c(1:8)                      % returns 1 0 1 0 0 1 0 1
%     data = [1 0 1 1 0 1 0 0 1 1 0 1];             % K = 12 sent as E = 20 of N = 32
%     sent = PolarRateMatch(PolarEncode(data, 32, 20), 12, 20);
%     L = PolarRateRecover(4 * (2 * sent - 1), 12, 32);
%     isequal(PolarDecode(L, 12, 32, 1, '', 0, 20), data)   % returns 1
%
%   See also PolarConstruct, PolarDecode, PolarRateMatch.
