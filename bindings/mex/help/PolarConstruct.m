% PolarConstruct  Information positions of a 5G polar code.
%
%   positions = PolarConstruct(K, N)
%   positions = PolarConstruct(K, N, E)
%
%   Returns the sorted 0-based positions of the K information bits of the length-N
%   polar code: the K most reliable of the entries below N of the NR reliability
%   sequence (3GPP TS 38.212 Table 5.3.1.2-1). Every other position is frozen to 0.
%
%   With E, the code is rate matched to E bits (PolarRateMatch) and the positions are
%   those of 5.4.1.1: the bits not sent are frozen first. Where shortening leaves out
%   the last N - E bits of the sub-block interleaved row, their positions are frozen;
%   where puncturing leaves out the first N - E, theirs are, and so are positions 0 to
%   ceil(3N/4 - E/2) - 1 (E >= 3N/4) or 0 to ceil(9N/16 - E/4) - 1 (E < 3N/4).
%
%   Arguments
%     K          information bits, 1 to N (CRC bits included).
%     N          code length: a power of two from 32 to 1024 (PolarCodeLength).
%     E          bits sent: K to 2^20 (optional).
%
%   Outputs
%     positions  1 x K, sorted, 0-based.
%
%   Example
%     p = PolarConstruct(4, 32)   % returns 27 29 30 31
%     p = PolarConstruct(12, 32, 20);
%     p(1:3)                     % returns 6 7 9
%
%   See also PolarEncode, PolarDecode, PolarCodeLength, PolarRateMatch.
