% PolarConstruct  Information positions of a 5G polar code.
%
%   positions = PolarConstruct(K, N)
%
%   Returns the sorted 0-based positions of the K information bits of the length-N
%   polar code: the K most reliable of the entries below N of the NR reliability
%   sequence (3GPP TS 38.212 Table 5.3.1.2-1). Every other position is frozen to 0.
%
%   Arguments
%     K          information bits, 1 to N (CRC bits included).
%     N          code length: a power of two from 32 to 1024.
%
%   Outputs
%     positions  1 x K, sorted, 0-based.
%
%   Example
%     p = PolarConstruct(4, 32)   % returns 27 29 30 31
%
%   See also PolarEncode, PolarDecode.
